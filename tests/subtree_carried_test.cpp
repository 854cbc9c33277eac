// Every line of every establishment subtree of the inputs reaches the merged
// file under the same establishment and the same parent, in both merge kinds,
// from files of one or of several establishments, and a real file cut per
// establishment merges back into itself.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <fstream>

#include "blocks/company_rules.h"
#include "blocks/efd_amount.h"
#include "blocks/exact_decimal.h"
#include "staging/record_catalogue.h"
#include "staging/text.h"
#include "tests/support/check_support.h"
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
  const MergeResult m = RunMerge(files, out, flags.empty() ? std::vector<std::string>{} : std::vector<std::string>{flags});
  output = m.err + m.out;
  std::vector<std::string> lines;
  if (!m.file.empty()) {
    lines = ReadCrLfLines(m.file);
    ExpectValidFile(m.file);
  }
  fs::remove_all(out);
  return lines;
}

std::map<std::string, int> PlacedIn(const std::vector<std::string>& files) {
  std::map<std::string, int> all;
  for (const std::string& f : files)
    for (const auto& [key, n] : PlacedSubtreeLines(ReadCrLfLines(f))) all[key] += n;
  return all;
}

// The parts `files` with the codes the merge said it renamed ("Arquivo
// <name>, linha N: ... "old" ... passa a ser "new"") renamed in every field,
// written into `dir`: what the merged file must carry of each part.
std::vector<std::string> WithRenames(const std::vector<std::string>& files, const std::string& output,
                                     const std::string& dir) {
  std::vector<std::string> out;
  for (const std::string& f : files) {
    const std::string name = fs::path(f).filename().string();
    std::vector<std::pair<std::string, std::string>> renames;
    for (size_t at = output.find("Arquivo " + name + ", linha"); at != std::string::npos;
         at = output.find("Arquivo " + name + ", linha", at + 1)) {
      const std::string line = output.substr(at, output.find('\n', at) - at);
      const size_t o = line.find('"'), oe = line.find('"', o + 1);
      const size_t n = line.find("passa a ser \""), ne = line.find('"', n + 13);
      if (o != std::string::npos && n != std::string::npos)
        renames.emplace_back(line.substr(o + 1, oe - o - 1), line.substr(n + 13, ne - n - 13));
    }
    std::vector<std::string> lines = ReadCrLfLines(f);
    for (std::string& l : lines) {
      std::vector<std::string_view> fields = SplitBars(l);
      std::string rewritten;
      for (size_t k = 1; k < fields.size(); ++k) {
        std::string v(fields[k]);
        for (const auto& [from, to] : renames)
          if (v == from && k > 1) v = to;
        rewritten += "|" + v;
      }
      l = rewritten;
    }
    out.push_back(dir + "/" + name);
    WriteFileLines(out.back(), lines);
  }
  return out;
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

// Company-level lines of `files` per record code (upper-cased, with repeats).
std::map<std::string, std::vector<std::string>> CompanyLinesByCode(const std::vector<std::vector<std::string>>& files) {
  std::map<std::string, std::vector<std::string>> byCode;
  for (const auto& lines : files)
    for (const auto& [line, n] : CompanyLevelLines(lines))
      for (int i = 0; i < n; ++i) byCode[line.substr(1, 4)].push_back(line);
  return byCode;
}

// Each company-level record of the merged file against its rule over the
// inputs: lines kept all, once, once per key, or summed per key with every
// summed field's total unchanged. "" when all hold, else what differs.
std::string CompanyRulesBroken(const std::vector<std::vector<std::string>>& inputs,
                               const std::vector<std::string>& merged) {
  std::string broken;
  const auto given = CompanyLinesByCode(inputs);
  const auto written = CompanyLinesByCode({merged});
  for (const auto& [code, in] : given) {
    const CompanyRule* rule = CompanyRuleFor(code);
    const CatalogueRecord* record = Layout006().Find(code);
    if (!rule || !record) continue;
    const auto it = written.find(code);
    const std::vector<std::string> out = it == written.end() ? std::vector<std::string>{} : it->second;
    auto keyOf = [&](const std::string& line) {
      if (rule->keys.empty()) return rule->kind == CompanyMerge::FirstOfKey ? line : std::string();
      std::vector<std::string_view> f = SplitBars(line);
      std::string key;
      for (const char* k : rule->keys) {
        const size_t n = static_cast<size_t>(record->Field(k)->number);
        key.append(n < f.size() ? f[n] : std::string_view()).append("|");
      }
      return key;
    };
    std::set<std::string> keysIn, keysOut;
    for (const std::string& l : in) keysIn.insert(keyOf(l));
    for (const std::string& l : out) keysOut.insert(keyOf(l));
    const bool topLevel = record->level == 2;
    switch (rule->kind) {
      case CompanyMerge::KeepAll: {
        std::multiset<std::string> a(in.begin(), in.end()), b(out.begin(), out.end());
        if (a != b) broken += code + " not kept line by line; ";
        break;
      }
      case CompanyMerge::Once:
        if (out.size() != 1) broken += code + " written " + std::to_string(out.size()) + " times; ";
        break;
      case CompanyMerge::FirstOfKey:
      case CompanyMerge::SumByKey:
        if (keysIn != keysOut || (topLevel && out.size() != keysIn.size()))
          broken += code + ": " + std::to_string(out.size()) + " lines for " + std::to_string(keysIn.size()) + " keys; ";
        break;
    }
    if (rule->kind != CompanyMerge::SumByKey) continue;
    for (const CatalogueField& field : record->fields) {
      if (!IsSummedField(*rule, field.name, field.type, field.decimals)) continue;
      auto total = [&](const std::vector<std::string>& lines) {
        ExactDecimal sum;
        for (const std::string& l : lines) {
          std::vector<std::string_view> f = SplitBars(l);
          if (static_cast<size_t>(field.number) < f.size()) sum += EfdAmount(f[field.number], *record, field);
        }
        return sum;
      };
      if (total(in) != total(out)) broken += code + " " + field.name + " total changed; ";
    }
  }
  return broken;
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
    EXPECT_EQ(output.find("não unificados"), std::string::npos) << output;
    std::vector<std::vector<std::string>> inputs;
    for (const std::string& f : files) inputs.push_back(ReadCrLfLines(f));
    EXPECT_EQ(CompanyRulesBroken(inputs, merged), "") << c.flags;
    const std::map<std::string, int> placed = PlacedSubtreeLines(merged);
    // Parts of one CNPJ that give a code other contents (an item with its
    // 0205 in one part, without it in another) keep it under a new name.
    TempFolder renamed;
    const std::map<std::string, int> given =
        PlacedIn(c.options.sameCnpjParts == 0 ? files : WithRenames(files, output, renamed.path()));
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
