// Every line of every establishment subtree of the inputs reaches the merged
// file under the same establishment and the same parent, in both merge kinds,
// from files of one or of several establishments, and a real file cut per
// establishment merges back into itself.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "tests/support/subtree_support.h"
#include "tests/support/writer_support.h"
#include "tools/efdgen/network.h"

namespace fs = std::filesystem;

namespace {

// Runs `quelvar merge [flags]` on `files` into a new folder; returns the
// merged file's lines (empty when none was written) and the program's output.
std::vector<std::string> MergeFiles(const std::vector<std::string>& files, const std::string& flags,
                                    std::string& output) {
  static int run = 0;
  const std::string out = fs::temp_directory_path() / ("quelvar_carried_" + std::to_string(getpid()) + "_" +
                                                       std::to_string(++run));
  fs::create_directories(out);
  std::string cmd = std::string("'") + QUELVAR_BINARY + "' merge --no-progress " + flags + " --output-dir '" + out + "'";
  for (const std::string& f : files) cmd += " '" + f + "'";
  cmd += " 2>&1";
  output.clear();
  if (std::FILE* p = popen(cmd.c_str(), "r")) {
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) output.append(buf, n);
    pclose(p);
  }
  std::vector<std::string> lines;
  for (const auto& e : fs::directory_iterator(out))
    if (e.path().string().ends_with("_Unificado.txt")) {
      lines = ReadLines(e.path().string());
      ExpectValidFile(e.path().string());
    }
  fs::remove_all(out);
  return lines;
}

std::map<std::string, int> PlacedIn(const std::vector<std::string>& files) {
  std::map<std::string, int> all;
  for (const std::string& f : files)
    for (const auto& [key, n] : PlacedSubtreeLines(ReadLines(f))) all[key] += n;
  return all;
}

// The keys of `want` missing from `got` or with fewer lines there, for the message.
std::string Missing(const std::map<std::string, int>& want, const std::map<std::string, int>& got, bool once) {
  std::string text;
  int shown = 0;
  for (const auto& [key, n] : want) {
    auto it = got.find(key);
    const int have = it == got.end() ? 0 : it->second;
    if (once ? have != 1 : have != n) {
      if (++shown <= 5) text += "\n  " + key + " (" + std::to_string(have) + " of " + std::to_string(n) + ")";
    }
  }
  return shown ? std::to_string(shown) + " misplaced:" + text : std::string();
}

}  // namespace

TEST(SubtreesCarried, GeneratedNetworksWithEveryRecordOfBothKinds) {
  struct Case {
    NetworkOptions options;
    const char* flags;
  };
  const Case cases[] = {
      {{.establishments = 4, .targetLines = 6000, .seed = 21, .everyRecord = true}, ""},
      {{.establishments = 5, .targetLines = 6000, .seed = 22, .everyRecord = true, .establishmentsPerFile = 2}, ""},
      {{.targetLines = 4000, .seed = 23, .sameCnpjParts = 3, .everyRecord = true}, "--same-cnpj"},
  };
  for (const Case& c : cases) {
    TempFolder in;
    const std::vector<std::string> files = WriteNetwork(c.options, in.path());
    std::string output;
    const std::vector<std::string> merged = MergeFiles(files, c.flags, output);
    ASSERT_FALSE(merged.empty()) << output;
    const std::map<std::string, int> placed = PlacedSubtreeLines(merged);
    const std::map<std::string, int> given = PlacedIn(files);
    if (c.options.sameCnpjParts == 0) {
      EXPECT_EQ(Missing(given, placed, false), "") << c.flags;
      EXPECT_EQ(placed.size(), given.size()) << "lines written that no input has";
    } else {
      // One establishment for all parts: documents all kept; the records
      // under 0140 that have a code of their own are written once by code.
      std::map<std::string, int> documents, registers;
      for (const auto& [key, n] : given) (key.find("\n|0") != std::string::npos ? registers : documents)[key] = n;
      EXPECT_EQ(Missing(documents, placed, false), "");
      for (const auto& [key, n] : placed)
        if (key.find("\n|0") != std::string::npos) EXPECT_TRUE(given.count(key)) << key;
    }
  }
}

TEST(SubtreesCarried, RealFileCutPerEstablishmentMergesBackIntoItself) {
  const std::string sample = std::string(QUELVAR_SOURCE_DIR) + "/../shared/samples/official-multi-establishment-2011.txt";
  if (!fs::exists(sample)) GTEST_SKIP() << "the public sample is not present at " << sample;
  std::vector<std::string> original;  // its last line has no line end
  std::ifstream text(sample, std::ios::binary);
  for (std::string l; std::getline(text, l);) original.push_back(l.ends_with('\r') ? l.substr(0, l.size() - 1) : l);
  TempFolder in;
  std::vector<std::string> files;
  for (const std::vector<std::string>& part : SplitPerEstablishment(original)) {
    files.push_back(in.path() + "/" + std::to_string(files.size() + 1) + ".txt");
    WriteFileLines(files.back(), part);
  }
  ASSERT_EQ(files.size(), 2u);
  std::string output;
  const std::vector<std::string> merged = MergeFiles(files, "", output);
  ASSERT_FALSE(merged.empty()) << output;
  EXPECT_EQ(output.find("não unificados"), std::string::npos) << output;
  EXPECT_EQ(Missing(PlacedSubtreeLines(original), PlacedSubtreeLines(merged), false), "");
  EXPECT_EQ(PlacedSubtreeLines(merged).size(), PlacedSubtreeLines(original).size());
  // Company-level records outside Block M come back as they were.
  std::map<std::string, int> want, got;
  for (const auto& [line, n] : CompanyLevelLines(original))
    if (line.rfind("|M", 0) != 0) want[line] = n;
  for (const auto& [line, n] : CompanyLevelLines(merged))
    if (line.rfind("|M", 0) != 0) got[line] = n;
  EXPECT_EQ(got, want);
  EXPECT_EQ(merged.size(), original.size());
}
