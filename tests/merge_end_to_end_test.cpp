// The built program end to end: `quelvar merge` on networks of files, then
// `quelvar check` on every merged file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

#include "tests/support/check_support.h"
#include "tests/support/writer_support.h"
#include "tools/efdgen/network.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> SortedFiles(const std::string& dir) {
  std::vector<std::string> files;
  for (const auto& e : fs::directory_iterator(dir))
    if (e.path().extension() == ".txt") files.push_back(e.path().string());
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace

// Networks of one establishment, of many, of the cumulative regime and the
// parts of one CNPJ: each merged file passes the check, alone in its folder,
// with one 0000, one 0140 per establishment and every document line.
TEST(MergeEndToEnd, GeneratedNetworksOfBothKinds) {
  struct Case {
    NetworkOptions options;
    std::vector<std::string> mergeOptions;
  };
  const Case cases[] = {
      {{.establishments = 1, .targetLines = 200, .seed = 3}, {}},
      {{.establishments = 12, .targetLines = 8000, .seed = 11}, {}},
      {{.establishments = 4, .targetLines = 3000, .seed = 5, .cumulative = true}, {}},
      {{.targetLines = 2000, .seed = 9, .sameCnpjParts = 4}, {"--same-cnpj"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.mergeOptions) + " " + std::to_string(c.options.establishments));
    TempFolder in, out;
    auto files = WriteNetwork(c.options, in.path());
    MergeResult m = RunMerge(files, out.path(), c.mergeOptions);
    ASSERT_EQ(m.exitCode, 0) << m.err;
    ASSERT_FALSE(m.file.empty()) << m.err;
    ExpectValidFile(m.file);
    EXPECT_EQ(std::distance(fs::directory_iterator(out.path()), fs::directory_iterator()), 1)
        << "only the merged file is written";
    auto lines = ReadCrLfLines(m.file);
    size_t est = c.options.sameCnpjParts > 0 ? 1 : static_cast<size_t>(c.options.establishments);
    EXPECT_EQ(LinesOf(lines, "0140").size(), est);
    EXPECT_EQ(LinesOf(lines, "0000").size(), 1u);
    // Every document and item reaches the merged file; tables and establishments are there.
    std::map<std::string, size_t> given;
    for (const std::string& f : files)
      for (const char* code : {"C010", "C100", "C170", "0150", "0200"}) given[code] += LinesOf(ReadCrLfLines(f), code).size();
    EXPECT_EQ(LinesOf(lines, "C100").size(), given["C100"]);
    EXPECT_EQ(LinesOf(lines, "C170").size(), given["C170"]);
    for (const char* code : {"C010", "0150", "0200"}) {
      if (given[code] > 0) EXPECT_FALSE(LinesOf(lines, code).empty()) << code;
    }
  }
}

TEST(MergeEndToEnd, RealSampleOfTheTaxAuthority) {
  std::string sample = std::string(QUELVAR_SOURCE_DIR) + "/../shared/samples/official-multi-establishment-2011.txt";
  if (!fs::exists(sample)) GTEST_SKIP() << "the public sample is not present at " << sample;
  TempFolder out;
  MergeResult m = RunMerge({sample}, out.path());
  ASSERT_FALSE(m.file.empty()) << m.err;
  ExpectValidFile(m.file);
  EXPECT_EQ(m.err.find("não unificados"), std::string::npos) << m.err;
  auto lines = ReadCrLfLines(m.file);
  // Every line of the sample but those of Block M, which is recomputed.
  std::map<std::string, size_t> given, written;
  std::ifstream in(sample, std::ios::binary);
  for (std::string l; std::getline(in, l);) ++given[l.substr(0, 6)];
  for (const std::string& l : lines) ++written[l.substr(0, 6)];
  for (const auto& [code, n] : given)
    if (code[1] != 'M') EXPECT_EQ(written[code], n) << code;
  EXPECT_EQ(LinesOf(lines, "0140").size(), 2u);
  EXPECT_EQ(LinesOf(lines, "0500").size(), 31u);
  // Layout 002: the lines keep their own number of fields.
  EXPECT_EQ(LinesOf(lines, "0110"), std::vector<std::string>{"|0110|3|2|2|"});
  EXPECT_EQ(LinesOf(lines, "M210").front(), "|M210|01|10200000|10000000|1,65|0||165000|0|0|0|0|165000|");
  for (const std::string& l : LinesOf(lines, "C500")) EXPECT_EQ(std::count(l.begin(), l.end(), '|'), 15) << l;
}

// Files of an older layout are written in their own form: no empty fields of
// the newer layout added, the contribution lines with their fields in the
// older order.
TEST(MergeEndToEnd, OlderLayoutKeepsItsOwnFields) {
  TempFolder in, out;
  auto files = WriteNetwork({.establishments = 2, .targetLines = 400, .seed = 4}, in.path());
  std::map<std::string, std::vector<std::string>> given;
  for (const std::string& f : files) {
    std::vector<std::string> lines = ReadCrLfLines(f);
    for (std::string& l : lines) {
      if (l.rfind("|0000|", 0) == 0) l.replace(0, 10, "|0000|005|");
      if (l.rfind("|0110|", 0) == 0) l = l.substr(0, l.find_last_of('|', l.size() - 2) + 1);
      if (l.rfind("|M210|", 0) == 0 || l.rfind("|M610|", 0) == 0) {
        // The 13-field form of layouts before 2019: no base adjustments.
        std::vector<std::string> f;
        for (size_t a = 1, b; (b = l.find('|', a)) != std::string::npos; a = b + 1) f.push_back(l.substr(a, b - a));
        l = "|";
        for (size_t k = 0; k < f.size(); ++k)
          if (k < 4 || k > 6) l += f[k] + "|";
      }
      given[l.substr(1, 4)].push_back(l);
    }
    std::ofstream(f, std::ios::binary | std::ios::trunc) << [&] {
      std::string text;
      for (const std::string& l : lines) text += l + "\r\n";
      return text;
    }();
  }
  MergeResult m = RunMerge(files, out.path());
  ASSERT_EQ(m.exitCode, 0) << m.err;
  ExpectValidFile(m.file);
  auto lines = ReadCrLfLines(m.file);
  EXPECT_EQ(LinesOf(lines, "0000").front().substr(0, 10), "|0000|005|");
  EXPECT_EQ(LinesOf(lines, "0110"), std::vector<std::string>{given["0110"].front()});
  ASSERT_FALSE(LinesOf(lines, "M210").empty());
  for (const std::string& l : LinesOf(lines, "M210")) EXPECT_EQ(std::count(l.begin(), l.end(), '|'), 14) << l;
  // Records of the current form are untouched.
  EXPECT_EQ(LinesOf(lines, "C100").size(), given["C100"].size());
  for (const std::string& l : LinesOf(lines, "C100"))
    EXPECT_EQ(std::count(l.begin(), l.end(), '|'), std::count(given["C100"][0].begin(), given["C100"][0].end(), '|'));
}

// The sample network (samples/network) and generated networks of both kinds
// with every record of the layout, merged byte for byte as the reviewed files
// under tests/golden/ give them, each passing the check without a blank line
// to tell of: any change to what the merge writes (how the staging tables hold
// the lines included) shows here first. The generated inputs come from the
// generator's fixed seeds. QUELVAR_WRITE_GOLDEN=1 writes the golden files from
// the current program instead of comparing (only after a reviewed change of
// the output).
TEST(MergeEndToEnd, NetworksGiveTheirGoldenFiles) {
  struct Case {
    const char* golden;
    NetworkOptions options;
    std::vector<std::string> mergeOptions;
    bool sample = false;  // the files of samples/network instead of a generated network
  };
  const Case cases[] = {
      {"every-record-network-merged.txt",
       {.establishments = 8, .targetLines = 1600, .seed = 21, .everyRecord = true, .establishmentsPerFile = 2}, {}},
      {"same-cnpj-every-record-merged.txt",
       {.targetLines = 1200, .seed = 22, .sameCnpjParts = 3, .everyRecord = true, .commonCredits = true},
       {"--same-cnpj"}},
      {"sample-network-merged.txt", {}, {}, true},
  };
  const std::string samples = std::string(QUELVAR_SOURCE_DIR) + "/samples/network";
  const bool write = std::getenv("QUELVAR_WRITE_GOLDEN") != nullptr;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.golden);
    if (c.sample && !fs::exists(samples)) GTEST_SKIP() << "samples/network is missing";
    TempFolder in, out;
    MergeResult m = RunMerge(c.sample ? SortedFiles(samples) : WriteNetwork(c.options, in.path()), out.path(),
                             c.mergeOptions);
    ASSERT_EQ(m.exitCode, 0) << m.err;
    ASSERT_FALSE(m.file.empty()) << m.err;
    ExpectValidFile(m.file);
    EXPECT_EQ(m.err.find("em branco"), std::string::npos) << m.err;
    const std::string path = std::string(QUELVAR_SOURCE_DIR) + "/tests/golden/" + c.golden;
    if (write) {
      std::ofstream(path, std::ios::binary) << ReadFile(m.file);
      continue;
    }
    const std::string expected = ReadFile(path);
    ASSERT_FALSE(expected.empty()) << path;
    const std::string got = ReadFile(m.file);
    if (got == expected) continue;
    // The first differing line, to show what changed.
    size_t at = 0;
    while (at < got.size() && at < expected.size() && got[at] == expected[at]) ++at;
    const size_t from = expected.rfind('\n', at) == std::string::npos ? 0 : expected.rfind('\n', at) + 1;
    ADD_FAILURE() << "the merged file differs from tests/golden/" << c.golden << " at byte " << at
                  << "; expected line: " << expected.substr(from, expected.find('\n', from) - from)
                  << "\nwritten line: " << got.substr(from, got.find('\n', from) - from);
  }
}
