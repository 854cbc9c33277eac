// Numbers as the merged file writes them, and the output channel that only
// replaces the final file once it is complete.
#include <gtest/gtest.h>

#include <filesystem>

#include "staging/output_file.h"
#include "staging/text.h"
#include "tests/support/writer_support.h"

namespace fs = std::filesystem;

TEST(WriterFormatNumber, DecimalCommaNoExponentFifteenDigits) {
  EXPECT_EQ(FormatNumber(10.5), "10,5");
  EXPECT_EQ(FormatNumber(100.0), "100");
  EXPECT_EQ(FormatNumber(0.1 + 0.2), "0,3");
  EXPECT_EQ(FormatNumber(1234567.891), "1234567,891");
  EXPECT_EQ(FormatNumber(-2.5), "-2,5");
  EXPECT_EQ(FormatNumber(-0.3), "-0,3");
  EXPECT_EQ(FormatNumber(1e20), "100000000000000000000");
  EXPECT_EQ(FormatNumber(-0.0), "0");
  EXPECT_EQ(FormatNumber(0.0), "0");
  EXPECT_EQ(FormatNumber(0.000125), "0,000125");
  EXPECT_EQ(FormatNumber(152.0), "152");
  // 15 significant digits: the binary noise of a sum disappears, real digits stay.
  EXPECT_EQ(FormatNumber(100000.000001333), "100000,000001333");
  EXPECT_EQ(FormatNumber(99999.99999999999), "100000");
  EXPECT_EQ(FormatNumber(123456789012.345), "123456789012,345");
  EXPECT_EQ(FormatNumber(9999999999999999.0), "10000000000000000");
  EXPECT_EQ(FormatNumber(12LL), "12");
  EXPECT_EQ(FormatNumber(-7LL), "-7");
}

TEST(WriterOutputFile, WritesUnderATemporaryNameAndReplacesOnCommit) {
  TempFolder dir;
  std::string final = dir.File("out.txt");
  WriteFileLines(final, {"OLD CONTENT"});
  OutputFile f;
  f.Open(final);
  f.WriteLine("|0000|A\xC7\xC3O|");  // Latin-1 bytes pass unchanged
  f.WriteLine("|9999|2|");
  EXPECT_EQ(ReadFile(final), "OLD CONTENT\r\n") << "the final name is untouched while writing";
  int files = 0;
  for (const auto& e : fs::directory_iterator(dir.path())) {
    ++files;
    if (e.path().filename() != "out.txt") {
      EXPECT_EQ(e.path().filename().string().rfind(".quelvar-out.txt.partial-", 0), 0u);
    }
  }
  EXPECT_EQ(files, 2);
  f.Commit();
  EXPECT_EQ(ReadFile(final), "|0000|A\xC7\xC3O|\r\n|9999|2|\r\n");
  EXPECT_EQ(f.LinesWritten(), 2);
  files = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.path())) ++files;
  EXPECT_EQ(files, 1) << "no temporary file left";
}

TEST(WriterOutputFile, AbortKeepsTheExistingFileAndLeavesNothingBehind) {
  TempFolder dir;
  std::string final = dir.File("out.txt");
  WriteFileLines(final, {"KEEP"});
  {
    OutputFile f;
    f.Open(final);
    f.WriteLine("|0000|");
    f.Abort();
    f.Abort();  // idempotent
  }
  {
    OutputFile f;  // destroyed while open: same as Abort
    f.Open(final);
    f.WriteLine("|0000|");
  }
  EXPECT_EQ(ReadFile(final), "KEEP\r\n");
  int files = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.path())) ++files;
  EXPECT_EQ(files, 1);
}
