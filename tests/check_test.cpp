// quelvar check: each rule rejects a hand-made faulty file and accepts the
// corrected one; line endings and large files; the command's exit status.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "checker/efd_check.h"
#include "checker/line_reader.h"
#include "tests/support/check_support.h"
#include "tools/efdgen/network.h"

namespace {

using Lines = std::vector<std::string>;

// Appends Block 9 (9001, the 9900 lines, 9990, 9999) with true counts.
Lines WithBlock9(Lines body) {
  std::vector<std::string> order;
  std::map<std::string, int> count;
  body.push_back("|9001|0|");
  for (const std::string& l : body) {
    std::string code = l.substr(1, 4);
    if (count[code]++ == 0) order.push_back(code);
  }
  size_t block9 = 1 + order.size() + 3 + 2;
  for (const std::string& code : order) body.push_back("|9900|" + code + "|" + std::to_string(count[code]) + "|");
  body.push_back("|9900|9900|" + std::to_string(order.size() + 3) + "|");
  body.push_back("|9900|9990|1|");
  body.push_back("|9900|9999|1|");
  body.push_back("|9990|" + std::to_string(block9) + "|");
  body.push_back("|9999|" + std::to_string(body.size() + 1) + "|");
  return body;
}

// A small valid file: two establishments, every required block, I and P absent.
Lines Valid() {
  return WithBlock9({
      "|0000|006|0|||01012023|31012023|IND\xDA" "STRIA D'\xC1VILA Ltda|11222333000181|SP|3550308||00|1|",
      "|0001|0|",
      "|0110|1|1|1||",
      "|0140|1|Matriz|11222333000181|SP|1234|3550308|||",
      "|0140|2|Filial S\xE3o Paulo|11222333000262|SP|5678|3550308|||",
      "|0200|IT1|Caf\xE9|||UN|00|09012100||||18,00|",
      "|0205|Caf\xE9 antigo|01012020|31122022||",
      "|0205|Caf\xE9 velho|01012019|31122019||",
      "|0990|9|",
      "|A001|1|",
      "|A990|2|",
      "|C001|0|",
      "|C010|11222333000181|2|",
      "|C010|11222333000262|2|",
      "|C990|4|",
      "|D001|0|",
      "|D010|11222333000262|",
      "|D990|3|",
      "|F001|1|",
      "|F990|2|",
      "|M001|1|",
      "|M990|2|",
      "|1001|1|",
      "|1990|2|",
  });
}

std::string Join(const Lines& lines, const char* ending = "\r\n") {
  std::string s;
  for (const std::string& l : lines) s += l + ending;
  return s;
}

CheckReport Check(const Lines& lines) { return CheckEfdText(Join(lines)); }

// Index of the first line whose text starts with `prefix`.
size_t Find(const Lines& lines, const std::string& prefix) {
  for (size_t i = 0; i < lines.size(); ++i)
    if (lines[i].rfind(prefix, 0) == 0) return i;
  ADD_FAILURE() << "no line starts with " << prefix;
  return 0;
}

std::string Listing(const CheckReport& r) {
  std::string s;
  for (const CheckProblem& p : r.problems)
    s += std::to_string(p.line) + " " + p.code + ": " + (p.warning ? "(warning) " : "") + p.message + "\n";
  return s;
}

// The report has an error at `line` about `code` whose message holds `text`.
::testing::AssertionResult HasError(const CheckReport& r, int64_t line, const std::string& code,
                                    const std::string& text) {
  for (const CheckProblem& p : r.problems)
    if (!p.warning && p.line == line && p.code == code && p.message.find(text) != std::string::npos)
      return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "no error at line " << line << " " << code << " with \"" << text
                                       << "\" in:\n" << Listing(r);
}

::testing::AssertionResult IsValid(const CheckReport& r) {
  if (r.Valid() && r.warnings == 0) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << Listing(r);
}

}  // namespace

TEST(Check, AcceptsAValidFileWithAnyLineEnding) {
  const Lines file = Valid();
  for (const char* ending : {"\r\n", "\n", "\r"}) {
    CheckReport r = CheckEfdText(Join(file, ending));
    EXPECT_TRUE(IsValid(r));
    EXPECT_EQ(r.lines, static_cast<int64_t>(file.size()));
  }
  // No ending after the last line is no extra line either.
  std::string text = Join(file);
  text.resize(text.size() - 2);
  EXPECT_TRUE(IsValid(CheckEfdText(text)));
  CheckReport r = Check(file);
  ASSERT_EQ(r.blocks.size(), 8u);
  EXPECT_EQ(r.blocks[0].letter, '0');
  EXPECT_EQ(r.blocks[0].lines, 9);
  EXPECT_EQ(r.blocks[0].declared, 9);
  EXPECT_EQ(r.blocks[2].letter, 'C');
  EXPECT_EQ(r.blocks[2].firstLine, 12);
}

TEST(Check, LineShape) {
  Lines bad = Valid();
  size_t i = Find(bad, "|C010|11222333000262");
  bad[i].pop_back();  // no closing bar
  EXPECT_TRUE(HasError(Check(bad), i + 1, "C010", "does not start and end"));

  bad = Valid();
  size_t closer = Find(bad, "|C990|");
  bad[closer].pop_back();  // still the closer: one finding, not a block without closer
  CheckReport oneFault = Check(bad);
  EXPECT_TRUE(HasError(oneFault, closer + 1, "C990", "does not start and end"));
  EXPECT_EQ(oneFault.errors, 1) << Listing(oneFault);

  bad = Valid();
  bad[i] = bad[i].substr(1);  // no opening bar: no code can be read
  EXPECT_TRUE(HasError(Check(bad), i + 1, "", "does not start and end"));

  bad = Valid();
  bad.insert(bad.begin() + 3, "");  // an empty line inside Block 0
  CheckReport r = Check(bad);
  EXPECT_TRUE(HasError(r, 4, "", "does not start and end"));
  EXPECT_TRUE(HasError(r, 10, "0990", "0990 says 9 lines, block 0 has 10"));

  bad = Valid();
  bad[i] = "|c010|11222333000262|2|";  // codes are capitals
  EXPECT_TRUE(HasError(Check(bad), i + 1, "c010", "not a record code"));
}

TEST(Check, BlockOrderAndMissingBlocks) {
  // D before C: the C lines come after block D.
  Lines swapped = Valid();
  size_t c = Find(swapped, "|C001|"), d = Find(swapped, "|D001|"), f = Find(swapped, "|F001|");
  std::rotate(swapped.begin() + c, swapped.begin() + d, swapped.begin() + f);
  CheckReport r = Check(swapped);
  EXPECT_TRUE(HasError(r, c + 3 + 1, "C001", "block C comes after block D"));
  EXPECT_EQ(Listing(r).find("missing"), std::string::npos) << "C is out of place, not missing";

  // A block that starts again.
  Lines again = Valid();
  again.insert(again.begin() + Find(again, "|F001|"), "|C500|x|06|00|1||1|01012023|01012023|1,00|0,00||0,00|0,00||");
  EXPECT_TRUE(HasError(Check(again), Find(again, "|C500|") + 1, "C500", "block C starts again"));

  // Block M missing; a block letter that does not exist.
  Lines noM = Valid();
  size_t m = Find(noM, "|M001|");
  noM.erase(noM.begin() + m, noM.begin() + m + 2);
  noM = WithBlock9(Lines(noM.begin(), noM.begin() + Find(noM, "|9001|")));
  EXPECT_TRUE(HasError(Check(noM), m + 1, "M001", "block M is missing"));

  Lines unknown = Valid();
  unknown.insert(unknown.begin() + Find(unknown, "|F001|"), "|E001|1|");
  EXPECT_TRUE(HasError(Check(unknown), Find(unknown, "|E001|") + 1, "E001", "no block E"));

  // I and P may be there, in their places.
  Lines withIP = Valid();
  withIP.insert(withIP.begin() + Find(withIP, "|M001|"), {"|I001|1|", "|I990|2|"});
  withIP.insert(withIP.begin() + Find(withIP, "|1001|"), {"|P001|1|", "|P990|2|"});
  withIP = WithBlock9(Lines(withIP.begin(), withIP.begin() + Find(withIP, "|9001|")));
  EXPECT_TRUE(IsValid(Check(withIP)));
}

TEST(Check, ClosersAndOpeners) {
  Lines bad = Valid();
  size_t i = Find(bad, "|C990|");
  bad[i] = "|C990|5|";
  EXPECT_TRUE(HasError(Check(bad), i + 1, "C990", "C990 says 5 lines, block C has 4"));
  bad[i] = "|C990|four|";
  EXPECT_TRUE(HasError(Check(bad), i + 1, "C990", "not a number"));

  // Ind_Mov against the content of the block, both ways.
  bad = Valid();
  i = Find(bad, "|C001|");
  bad[i] = "|C001|1|";
  EXPECT_TRUE(HasError(Check(bad), i + 1, "C001", "Ind_Mov is \"1\""));
  bad = Valid();
  i = Find(bad, "|F001|");
  bad[i] = "|F001|0|";
  EXPECT_TRUE(HasError(Check(bad), i + 1, "F001", "Ind_Mov is \"0\""));

  // A block without its opener, a line after a closer.
  bad = Valid();
  i = Find(bad, "|D001|");
  bad.erase(bad.begin() + i);
  bad = WithBlock9(Lines(bad.begin(), bad.begin() + Find(bad, "|9001|")));
  bad[Find(bad, "|D990|")] = "|D990|2|";
  EXPECT_TRUE(HasError(Check(bad), i + 1, "D010", "does not begin with its opener D001"));
  bad = Valid();
  i = Find(bad, "|A990|");
  std::swap(bad[i - 1], bad[i]);
  CheckReport r = Check(bad);
  EXPECT_TRUE(HasError(r, i + 1, "A001", "line after the closer"));
}

TEST(Check, Block9Counts) {
  const Lines good = Valid();
  // A wrong count, a missing 9900, a 9900 for a code the file does not hold.
  Lines bad = good;
  size_t i = Find(bad, "|9900|0140|");
  bad[i] = "|9900|0140|3|";
  EXPECT_TRUE(HasError(Check(bad), i + 1, "9900", "9900 says 3 lines of 0140, the file has 2"));

  bad = good;
  bad[i] = "|9900|C100|2|";
  CheckReport r = Check(bad);
  EXPECT_TRUE(HasError(r, i + 1, "9900", "9900 for C100, a record the file does not hold"));
  EXPECT_TRUE(HasError(r, Find(bad, "|0140|") + 1, "0140", "no 9900 line for 0140 (2 lines)"));

  bad = good;
  bad[i] = "|9900|0200|1|";  // before the real 9900 of 0200, which becomes the second
  EXPECT_TRUE(HasError(Check(bad), Find(good, "|9900|0200|") + 1, "9900", "a second 9900 for 0200"));

  // The 9900 lines of Block 9's own codes count their own lines.
  bad = good;
  i = Find(bad, "|9900|9900|");
  bad[i] = "|9900|9900|1|";
  EXPECT_TRUE(HasError(Check(bad), i + 1, "9900", "9900 says 1 lines of 9900"));

  // 9990 and 9999 against the real numbers.
  bad = good;
  i = Find(bad, "|9990|");
  bad[i] = "|9990|3|";
  EXPECT_TRUE(HasError(Check(bad), i + 1, "9990", "9990 says 3 lines, block 9 has"));
  bad = good;
  i = bad.size() - 1;
  bad[i] = "|9999|" + std::to_string(good.size() - 1) + "|";
  EXPECT_TRUE(HasError(Check(bad), i + 1, "9999", "the file has " + std::to_string(good.size())));
}

TEST(Check, FirstAndLastLine) {
  Lines bad = Valid();
  std::swap(bad[0], bad[1]);
  EXPECT_TRUE(HasError(Check(bad), 1, "0001", "first line is not the 0000"));
  bad = Valid();
  bad.pop_back();
  EXPECT_TRUE(HasError(Check(bad), bad.size(), "9990", "last line is not the 9999"));
  CheckReport empty = CheckEfdText("");
  EXPECT_FALSE(empty.Valid());
}

TEST(Check, FieldCountsAndTheTwoOlderForms) {
  Lines bad = Valid();
  size_t i = Find(bad, "|C010|11222333000181");
  bad[i] = "|C010|11222333000181|2||";
  EXPECT_TRUE(HasError(Check(bad), i + 1, "C010", "4 fields, the layout of C010 has 3"));

  // 0110 with four fields and C500 with fourteen: warnings, the file stays valid.
  Lines old = Valid();
  old[Find(old, "|0110|")] = "|0110|1|1|1|";
  old.insert(old.begin() + Find(old, "|C990|"), "|C500|P1|06|00|1||1|01012023|01012023|1,00|0,00||0,00|0,00|");
  old[Find(old, "|C990|")] = "|C990|5|";
  old = WithBlock9(Lines(old.begin(), old.begin() + Find(old, "|9001|")));
  CheckReport r = Check(old);
  EXPECT_TRUE(r.Valid()) << Listing(r);
  EXPECT_EQ(r.warnings, 2);
  // Other short forms are errors.
  old[Find(old, "|0110|")] = "|0110|1|1|";
  EXPECT_TRUE(HasError(Check(old), Find(old, "|0110|") + 1, "0110", "3 fields"));
}

TEST(Check, ItemChangesFollowTheirItem) {
  Lines bad = Valid();
  size_t i = Find(bad, "|0205|");
  std::swap(bad[i - 1], bad[i]);  // 0205 before its 0200
  EXPECT_TRUE(HasError(Check(bad), i, "0205", "0205 does not stand directly after"));
}

TEST(Check, EstablishmentCnpjMustBeAn0140) {
  Lines bad = Valid();
  size_t i = Find(bad, "|C010|11222333000262");
  bad[i] = "|C010|11222333000343|2|";
  EXPECT_TRUE(HasError(Check(bad), i + 1, "C010", "\"11222333000343\" is not the CNPJ of any 0140"));
  bad = Valid();
  i = Find(bad, "|D010|");
  bad[i] = "|D010|99999999000191|";
  EXPECT_TRUE(HasError(Check(bad), i + 1, "D010", "not the CNPJ of any 0140"));
}

TEST(CheckCommand, ExitStatusAndOutput) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "quelvar_check_test";
  std::filesystem::remove_all(dir);
  NetworkOptions options;
  options.establishments = 2;
  options.targetLines = 600;
  options.seed = 11;
  std::vector<std::string> files = WriteNetwork(options, (dir / "net").string());
  ASSERT_EQ(files.size(), 2u);

  ProcessResult ok = RunQuelvar({"check", files[1]});
  EXPECT_EQ(ok.exitCode, 0) << ok.out << ok.err;
  EXPECT_NE(ok.out.find("valid"), std::string::npos);
  EXPECT_NE(ok.out.find("block  lines  X990"), std::string::npos);

  // One wrong 9900 count: rejected, and the output names the line.
  std::string text = ReadFileBytes(files[1]);
  size_t at = text.find("|9900|C170|");
  ASSERT_NE(at, std::string::npos);
  size_t lineNo = std::count(text.begin(), text.begin() + at, '\n') + 1;
  size_t end = text.find('|', at + 11);
  text.replace(at + 11, end - at - 11, "999999");
  const std::string broken = (dir / "broken.txt").string();
  WriteFileBytes(broken, text);
  ProcessResult bad = RunQuelvar({"check", broken});
  EXPECT_EQ(bad.exitCode, 1);
  EXPECT_NE(bad.out.find("line " + std::to_string(lineNo) + " 9900: 9900 says 999999 lines of C170"), std::string::npos)
      << bad.out;

  // Unreadable: missing file, a folder.
  EXPECT_EQ(RunQuelvar({"check", (dir / "none.txt").string()}).exitCode, 2);
  ProcessResult folder = RunQuelvar({"check", dir.string()});
  EXPECT_EQ(folder.exitCode, 2);
  EXPECT_NE(folder.err.find("cannot read"), std::string::npos);
  std::filesystem::remove_all(dir);
}

TEST(CheckFile, ChunkBoundariesWithEveryLineEnding) {
  // Files of several megabytes: lines and CR LF pairs fall across the reader's chunks.
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "quelvar_check_chunks";
  std::filesystem::remove_all(dir);
  NetworkOptions options;
  options.establishments = 1;
  options.targetLines = 40000;
  options.seed = 3;
  std::string path = WriteNetwork(options, (dir / "net").string())[0];
  const std::string crlf = ReadFileBytes(path);
  const int64_t lines = std::count(crlf.begin(), crlf.end(), '\n');
  ASSERT_GT(crlf.size(), 3u << 20);
  for (const char* ending : {"\r\n", "\n", "\r"}) {
    std::string text;
    text.reserve(crlf.size());
    for (size_t i = 0; i < crlf.size(); ++i) {
      if (crlf[i] == '\r') continue;
      if (crlf[i] == '\n') text += ending;
      else text += crlf[i];
    }
    const std::string file = (dir / "endings.txt").string();
    WriteFileBytes(file, text);
    CheckReport r;
    std::string error;
    ASSERT_TRUE(CheckEfdFile(file, r, error)) << error;
    EXPECT_TRUE(r.Valid()) << Listing(r);
    EXPECT_EQ(r.lines, lines);
  }
  std::filesystem::remove_all(dir);
}

TEST(CheckFile, LineEndSplitByTheFirstRead) {
  // The first read takes 2 MiB: put the CR of the first line's CR LF (or CR)
  // just before, at and after that edge.
  const std::string path = (std::filesystem::temp_directory_path() / "quelvar_line_edge.txt").string();
  const size_t edge = 2u << 20;
  for (const char* ending : {"\r\n", "\r", "\n"}) {
    for (size_t length : {edge - 2, edge - 1, edge, edge + 1}) {
      WriteFileBytes(path, std::string(length, 'x') + ending + "second" + ending);
      LineReader reader;
      ASSERT_TRUE(reader.Open(path)) << reader.Error();
      std::vector<std::string> lines;
      std::string_view line;
      while (reader.Next(line)) lines.emplace_back(line);
      EXPECT_TRUE(reader.Error().empty());
      ASSERT_EQ(lines.size(), 2u) << "length " << length;
      EXPECT_EQ(lines[0].size(), length);
      EXPECT_EQ(lines[1], "second");
    }
  }
  std::filesystem::remove(path);
}

TEST(CheckFile, TheOfficialMultiEstablishmentSample) {
  const std::string path = std::string(QUELVAR_SOURCE_DIR) + "/../shared/samples/official-multi-establishment-2011.txt";
  if (!std::filesystem::exists(path)) GTEST_SKIP() << "sample not present: " << path;
  CheckReport r;
  std::string error;
  ASSERT_TRUE(CheckEfdFile(path, r, error)) << error;
  EXPECT_EQ(r.lines, 308);
  // Its counts are consistent; what it lacks is the newer layout: 0110 and
  // C500 in their older forms (warnings), M210 and M610 without the base
  // adjustment fields (errors: their fields would be read in wrong places).
  std::map<std::string, int> errors, warnings;
  for (const CheckProblem& p : r.problems) (p.warning ? warnings : errors)[p.code]++;
  EXPECT_EQ(warnings, (std::map<std::string, int>{{"0110", 1}, {"C500", 1}})) << Listing(r);
  EXPECT_EQ(errors, (std::map<std::string, int>{{"M210", 3}, {"M610", 3}})) << Listing(r);
  for (const CheckBlock& b : r.blocks) EXPECT_EQ(b.lines, b.declared) << b.letter;
}
