// Block M of a merged network: every value equals the decimal sum, over the
// input files, of the lines of its group, computed here from the files' texts.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>

#include "staging/text.h"
#include "tests/support/block_m_support.h"
#include "tests/support/check_support.h"
#include "tests/support/staging_database.h"
#include "tools/efdgen/network.h"

using namespace block_m;
namespace fs = std::filesystem;

namespace {

// How the lines of one record code are grouped and summed (field numbers).
struct GroupRule {
  std::vector<int> keys;
  std::vector<int> sums;
  std::vector<int> rates;  // keys compared as numbers
};

const std::map<std::string, GroupRule>& Rules() {
  static const std::map<std::string, GroupRule> rules = [] {
    std::map<std::string, GroupRule> r;
    const GroupRule credit{{2}, {4, 8, 9, 10, 11, 12, 14}, {}};
    const GroupRule base{{2, 3}, {4, 6, 7}, {}};
    const GroupRule total{{}, {2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}, {}};
    const GroupRule debit{{2, 3}, {4}, {}};
    const GroupRule contribution{{2}, {3, 4, 5, 6, 7, 9, 11, 12, 13, 14, 15, 16}, {8, 10}};
    const GroupRule exempt{{2, 4}, {3}, {}};
    const GroupRule detail{{0, 2, 4}, {3}, {}};  // field 0: the CST of the parent line
    for (const char* tax : {"1", "5"}) {
      const std::string t = tax;
      r["M" + t + "00"] = credit, r["M" + t + "05"] = base;
    }
    r["M200"] = r["M600"] = total;
    r["M205"] = r["M605"] = debit;
    r["M210"] = r["M610"] = contribution;
    r["M400"] = r["M800"] = exempt;
    r["M410"] = r["M810"] = detail;
    return r;
  }();
  return rules;
}

// Sums of one group: per summed field the total, and whether any line had a value.
struct GroupSums {
  std::map<int, Micros> total;
  std::map<int, bool> present;
};

// The Block M lines of `lines` as field lists, M410/M810 with the CST of their parent in field 0.
std::vector<std::vector<std::string>> BlockMRecords(const std::vector<std::string>& lines) {
  std::vector<std::vector<std::string>> out;
  std::string cst;
  for (const std::string& line : lines) {
    if (line.rfind("|M", 0) != 0) continue;
    std::vector<std::string> f = SplitRecord(line);
    if (f[1] == "M400" || f[1] == "M800") cst = f[2];
    if (f[1] == "M410" || f[1] == "M810") f[0] = cst;
    out.push_back(std::move(f));
  }
  return out;
}

// The line of a record's fields (field 0 left out).
std::string RecordText(const std::vector<std::string>& f) {
  std::string line;
  for (size_t k = 1; k < f.size(); ++k) line += "|" + f[k];
  return line;
}

std::string GroupKey(const std::vector<std::string>& f, const GroupRule& rule) {
  std::string key = f[1];
  for (int k : rule.keys) key += "|" + f[k];
  for (int k : rule.rates) {
    Micros v = 0;
    EXPECT_TRUE(ParseDecimal(f[k], v)) << f[k];
    key += "|" + DecimalText(v);
  }
  return key;
}

// Decimal places of a number text ("10,25" has 2).
int Decimals(const std::string& text) {
  const size_t comma = text.find(',');
  return comma == std::string::npos ? 0 : static_cast<int>(text.size() - comma - 1);
}

void ExpectBlockMIsTheSumOfTheInputs(const NetworkOptions& options) {
  if (!fs::exists(QUELVAR_BINARY)) GTEST_SKIP() << "quelvar not built: " << QUELVAR_BINARY;
  const fs::path dir =
      UniqueTempPath("quelvar-block-m-net-" + std::to_string(options.seed) + (options.cumulative ? "c" : "n"));
  fs::remove_all(dir);
  const std::vector<std::string> files = WriteNetwork(options, (dir / "in").string());
  fs::create_directories(dir / "out");
  const MergeResult run = RunMerge(files, (dir / "out").string());
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const std::string merged = run.file;
  ExpectValidEfd(merged);

  // Expected sums, from the input texts; credit adjustments come back as they came.
  std::multiset<std::string> adjustmentsIn, adjustmentsOut;
  std::map<std::string, GroupSums> expected;
  std::set<std::string> parentCsts;
  for (const std::string& file : files)
    for (const std::vector<std::string>& f : BlockMRecords(ReadCrLfLines(file))) {
      if (f[1] == "M110" || f[1] == "M510") adjustmentsIn.insert(UpperLatin1(RecordText(f)));  // stored upper-cased
      auto rule = Rules().find(f[1]);
      if (rule == Rules().end()) continue;
      if (f[1] == "M400" || f[1] == "M800") parentCsts.insert(f[1] + f[2]);
      GroupSums& g = expected[GroupKey(f, rule->second)];
      for (int k : rule->second.sums) {
        Micros v = 0;
        ASSERT_TRUE(ParseDecimal(f[k], v)) << f[1] << " field " << k << ": " << f[k];
        g.total[k] += v;
        g.present[k] = g.present[k] || !f[k].empty();
      }
    }

  const std::vector<std::string> lines = ReadCrLfLines(merged);
  std::set<std::string> written;
  int blockLines = 0;
  for (const std::vector<std::string>& f : BlockMRecords(lines)) {
    ++blockLines;
    SCOPED_TRACE(f[1]);
    if (f[1] == "M110" || f[1] == "M510") adjustmentsOut.insert(RecordText(f));
    if (f[1] == "M990") {
      EXPECT_EQ(f[2], std::to_string(blockLines));
      continue;
    }
    auto rule = Rules().find(f[1]);
    if (rule == Rules().end()) continue;
    const std::string key = GroupKey(f, rule->second);
    written.insert(key);
    auto group = expected.find(key);
    ASSERT_NE(group, expected.end()) << "a group no input has: " << key;
    for (int k : rule->second.sums) {
      SCOPED_TRACE("field " + std::to_string(k));
      if (!group->second.present[k]) {
        EXPECT_EQ(f[k], "");
        continue;
      }
      Micros v = 0;
      ASSERT_TRUE(ParseDecimal(f[k], v)) << f[k];
      EXPECT_EQ(DecimalText(v), DecimalText(group->second.total[k]));
      EXPECT_LE(Decimals(f[k]), 2) << f[k];
    }
    for (int k : rule->second.rates) EXPECT_LE(Decimals(f[k]), 4) << f[k];
    if (f[1] == "M100" || f[1] == "M500") {
      const Micros balance = group->second.total[12] - group->second.total[14];
      EXPECT_EQ(f[13], balance > 0 ? "1" : "0");
      Micros sld = 0;
      ASSERT_TRUE(ParseDecimal(f[15], sld)) << f[15];
      EXPECT_EQ(DecimalText(sld), DecimalText(balance > 0 ? balance : 0));
      EXPECT_LE(Decimals(f[15]), 3);
    }
  }
  // Every group of the inputs is written; details only under a written parent.
  for (const auto& [key, sums] : expected) {
    const std::string reg = key.substr(0, 4);
    if (reg == "M410" || reg == "M810") {
      const std::string cst = key.substr(5, key.find('|', 5) - 5);
      const std::string parent = reg == "M410" ? "M400" : "M800";
      if (!parentCsts.count(parent + cst)) continue;
    }
    EXPECT_TRUE(written.count(key)) << "group not written: " << key;
  }
  EXPECT_GT(written.size(), 5u);
  EXPECT_EQ(adjustmentsOut, adjustmentsIn);
  fs::remove_all(dir);
}

}  // namespace

// A network of the non-cumulative regime and one of the cumulative regime
// (whose rates the merged lines keep).
TEST(BlockMNetwork, NetworksOfBothRegimesSumExactly) {
  for (const NetworkOptions& options :
       {NetworkOptions{.establishments = 7, .targetLines = 2500, .seed = 11},
        NetworkOptions{.establishments = 5, .targetLines = 1500, .seed = 23, .cumulative = true}}) {
    SCOPED_TRACE(options.cumulative ? "cumulative" : "non-cumulative");
    ExpectBlockMIsTheSumOfTheInputs(options);
  }
}
