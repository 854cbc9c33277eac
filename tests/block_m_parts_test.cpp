// Block M of the parts of one CNPJ ("Mesmo CNPJ"): every part is a file of
// its own, so each part's base of a common credit (CST 53–56) counts once in
// the company's base before it is apportioned again by the summed 0111. The
// expected values are computed here from the parts' amounts by the guide's
// rule for M105 (VL_BC_PIS_CUM by Receita Bruta Cumulativa / Receita Bruta
// Total, VL_BC_PIS by the revenues of the credit's groups).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "blocks/blocom.h"
#include "tests/support/block_m_support.h"
#include "tests/support/check_support.h"
#include "tests/support/writer_support.h"
#include "tools/efdgen/network.h"

using namespace block_m;

namespace {

using Cents = __int128;

std::string T(Cents c) { return DecimalText(c * 10000); }

// a × b ÷ c rounded half away from zero (all non-negative).
Cents MulDivRound(Cents a, Cents b, Cents c) { return c == 0 ? 0 : (2 * a * b + c) / (2 * c); }

constexpr const char* kCnpj = "11111111000191";

// One part: its 0111 revenues and its bases, in cents.
struct Part {
  Cents rev[4];  // taxed, untaxed, exports (non-cumulative), cumulative
  Cents common;  // CST 56, nature 02
  Cents own;     // CST 50, nature 01 (taxed revenue only)
  Cents sales;   // M210 base
};

struct Tax {
  char d;  // '1' PIS, '5' COFINS
  Cents rate;
  const char* rateText;
  const char* revenueCode;
};

const Tax kTaxes[2] = {{'1', 165, "1,65", "691201"}, {'5', 760, "7,60", "585601"}};

std::string Code(const Tax& t, const char* pis) {
  std::string c = pis;
  c[1] = static_cast<char>(t.d + (c[1] - '1'));
  return c;
}

// The common base of `total` split by the guide: the cumulative part by the
// share of cumulative revenue, the rest over the three groups of CST 56.
struct Split {
  Cents cum, nc, group[3];
};
Split SplitCommon(Cents total, const Cents rev[4]) {
  Split s{};
  const Cents all = rev[0] + rev[1] + rev[2] + rev[3];
  s.cum = MulDivRound(total, rev[3], all);
  s.nc = total - s.cum;
  for (int g = 0; g < 3; ++g) s.group[g] = MulDivRound(s.nc, rev[g], rev[0] + rev[1] + rev[2]);
  return s;
}

// The Block M of one tax of a file with the bases `common` and `own`, the
// revenues `rev`, the contribution on `sales` and credit used `used` (of 101).
struct TaxBlock {
  std::vector<std::string> lines;
  Cents used = 0, apur = 0;
};
TaxBlock BlockOf(const Tax& t, Cents common, Cents own, Cents sales, const Cents rev[4], Cents usedWanted) {
  TaxBlock b;
  const Split s = SplitCommon(common, rev);
  const std::string m105 = "|" + Code(t, "M105") + "|02|56|" + T(common) + "|" + T(s.cum) + "|" + T(s.nc) + "|";
  b.apur = MulDivRound(sales, t.rate, 10000);
  for (int g = 0; g < 3; ++g) {
    const Cents base = s.group[g] + (g == 0 ? own : 0);
    const Cents credit = MulDivRound(base, t.rate, 10000);
    const Cents used = g == 0 ? std::min(credit, usedWanted) : 0;
    if (g == 0) b.used = used;
    b.lines.push_back("|" + Code(t, "M100") + "|" + std::to_string(g + 1) + "01|0|" + T(base) + "|" + t.rateText +
                      "|||" + T(credit) + "|0|0|0|" + T(credit) + "|" + (used == credit ? "0" : "1") + "|" + T(used) +
                      "|" + T(credit - used) + "|");
    if (g == 0) b.lines.push_back("|" + Code(t, "M105") + "|01|50|" + T(own) + "||" + T(own) + "|" + T(own) + "||||");
    b.lines.push_back(m105 + T(s.group[g]) + "||||");
  }
  const Cents due = b.apur - b.used;
  b.lines.push_back("|" + Code(t, "M200") + "|" + T(b.apur) + "|" + T(b.used) + "|0|" + T(due) + "|0|0|" + T(due) +
                    "|0|0|0|0|" + T(due) + "|");
  if (due > 0) b.lines.push_back("|" + Code(t, "M205") + "|08|" + t.revenueCode + "|" + T(due) + "|");
  b.lines.push_back("|" + Code(t, "M210") + "|01|" + T(sales) + "|" + T(sales) + "|0|0|" + T(sales) + "|" +
                    t.rateText + "|||" + T(b.apur) + "|0|0|0|0|" + T(b.apur) + "|");
  return b;
}

// An amount of a file in micro-units (exact); a failure for a text that is no number.
Micros Amount(const std::string& text) {
  Micros v = 0;
  EXPECT_TRUE(ParseDecimal(text, v)) << "not an amount: " << text;
  return v;
}

// a × b ÷ c rounded half away from zero to cents (micro-units in and out, all non-negative).
Micros MulDivCents(Micros a, Micros b, Micros c) {
  if (c == 0) return 0;
  const Micros unit = 10000;  // one cent
  return (2 * a * b / unit + c) / (2 * c) * unit;
}

bool IsCommonCst(const std::string& cst) {
  return cst == "53" || cst == "54" || cst == "55" || cst == "56" || cst == "63" || cst == "64" || cst == "65" ||
         cst == "66";
}

// The revenue groups of a common CST ("12", "13", "23", "123").
std::string GroupsOfCst(const std::string& cst) {
  const char last = cst.back();
  return last == '3' ? "12" : last == '4' ? "13" : last == '5' ? "23" : "123";
}

std::vector<std::string> Body(const std::vector<std::string>& lines) {
  return lines.size() < 2 ? std::vector<std::string>{}
                          : std::vector<std::string>(lines.begin() + 1, lines.end() - 1);
}

}  // namespace

// Three parts of one CNPJ, each with its own CST 56 base (8.834,90, 10.388,40
// and 9.108,75) and its own 0111: the company's VL_BC_PIS_TOT is their sum,
// split by the summed revenues; M100/M500 bases and credits and M200/M600
// follow. Keyed by the CNPJ the three parts would be one file, and only the
// largest base (10.388,40) would count.
TEST(BlockMParts, CommonBasesOfEveryPartOfOneCnpjAreSummed) {
  const Part parts[3] = {
      {{50000000, 20000000, 10000000, 20000000}, 883490, 120000, 9000000},
      {{73000000, 11000000, 6000000, 0}, 1038840, 250050, 12500000},
      {{41000000, 32000000, 17500000, 9500000}, 910875, 0, 7000000},
  };
  BlockMStage stage;
  stage.StageBlock0(kCnpj, "|0110|3|2|1||");
  for (const Part& p : parts) {
    const Cents total = p.rev[0] + p.rev[1] + p.rev[2] + p.rev[3];
    stage.StageBlock0(kCnpj, "|0111|" + T(p.rev[0]) + "|" + T(p.rev[1]) + "|" + T(p.rev[2]) + "|" + T(p.rev[3]) + "|" +
                                 T(total) + "|");
  }
  Cents usedByPart[2][3] = {}, apurByPart[2][3] = {};
  for (int i = 0; i < 3; ++i) {
    std::vector<std::string> lines;
    for (int tax = 0; tax < 2; ++tax) {
      // Each part uses all of its 101 credit it can.
      TaxBlock b = BlockOf(kTaxes[tax], parts[i].common, parts[i].own, parts[i].sales, parts[i].rev, 1000000000);
      usedByPart[tax][i] = b.used, apurByPart[tax][i] = b.apur;
      lines.insert(lines.end(), b.lines.begin(), b.lines.end());
    }
    stage.StageFile(kCnpj, lines);
  }
  const std::vector<std::string> body = Body(stage.Unify());

  // The company: revenues and bases summed, the common base split once.
  Cents rev[4] = {}, common = 0, own = 0, sales = 0;
  for (const Part& p : parts) {
    for (int k = 0; k < 4; ++k) rev[k] += p.rev[k];
    common += p.common, own += p.own, sales += p.sales;
  }
  ASSERT_EQ(T(common), "28332,05");
  const Split s = SplitCommon(common, rev);
  for (int tax = 0; tax < 2; ++tax) {
    const Tax& t = kTaxes[tax];
    SCOPED_TRACE(t.rateText);
    Cents usedSum = 0, apurSum = 0;
    for (int i = 0; i < 3; ++i) usedSum += usedByPart[tax][i], apurSum += apurByPart[tax][i];
    std::vector<std::string> m100, m105;
    Cents used101 = 0;
    for (int g = 0; g < 3; ++g) {
      const Cents base = s.group[g] + (g == 0 ? own : 0);
      const Cents credit = MulDivRound(base, t.rate, 10000);
      const Cents used = g == 0 ? std::min(usedSum, credit) : 0;
      if (g == 0) used101 = used;
      m100.push_back("|" + Code(t, "M100") + "|" + std::to_string(g + 1) + "01|0|" + T(base) + "|" + t.rateText +
                     "|||" + T(credit) + "|0|0|0|" + T(credit) + "|" + (used == credit ? "0" : "1") + "|" + T(used) +
                     "|" + T(credit - used) + "|");
      if (g == 0) m105.push_back("|" + Code(t, "M105") + "|01|50|" + T(own) + "||" + T(own) + "|" + T(own) + "||||");
      m105.push_back("|" + Code(t, "M105") + "|02|56|" + T(common) + "|" + T(s.cum) + "|" + T(s.nc) + "|" +
                     T(s.group[g]) + "||||");
    }
    EXPECT_EQ(LinesOf(body, Code(t, "M100")), m100);
    EXPECT_EQ(LinesOf(body, Code(t, "M105")), m105);
    const Cents due = apurSum - used101;
    EXPECT_EQ(LinesOf(body, Code(t, "M200")),
              std::vector<std::string>{"|" + Code(t, "M200") + "|" + T(apurSum) + "|" + T(used101) + "|0|" + T(due) +
                                       "|0|0|" + T(due) + "|0|0|0|0|" + T(due) + "|"});
    EXPECT_EQ(LinesOf(body, Code(t, "M205")),
              std::vector<std::string>{"|" + Code(t, "M205") + "|08|" + t.revenueCode + "|" + T(due) + "|"});
  }
}

// A generated "Mesmo CNPJ" network of three parts with every record and
// common credits (CST 53 and 56, each part its own bases and 0111), merged
// by the built program: every M105/M505, M100/M500 and M200/M600 equals what
// is computed here from the parts' lines, and the merged file is valid.
TEST(BlockMParts, GeneratedPartsWithCommonCreditsAreApportionedAgain) {
  if (!std::filesystem::exists(QUELVAR_BINARY)) GTEST_SKIP() << "quelvar not built: " << QUELVAR_BINARY;
  TempFolder dir;
  NetworkOptions options;
  options.sameCnpjParts = 3;
  options.everyRecord = true;
  options.commonCredits = true;
  options.targetLines = 900;
  options.seed = 41;
  const std::vector<std::string> files = WriteNetwork(options, dir.File("in"));
  ASSERT_EQ(files.size(), 3u);

  // What the parts say: revenues, each part's common bases (once per part),
  // the other bases and the credit amounts per credit type, the contributions.
  Micros revenue[5] = {};  // 0111 fields 02..06
  std::map<std::string, std::vector<Micros>> commonTotals;  // tax|nature|CST -> each part's VL_BC_PIS_TOT
  std::map<std::string, Micros> otherBases;                  // tax|COD_CRED|nature|CST -> Σ VL_BC_PIS
  std::map<std::string, std::map<int, Micros>> creditSums;   // tax|COD_CRED -> field -> Σ
  std::map<std::string, Micros> contribution;                // tax -> Σ VL_CONT_PER of COD_CONT 01
  std::set<std::string> commonPerCredit;                     // tax|COD_CRED|nature|CST of the inputs
  for (const std::string& file : files) {
    ExpectValidEfd(file);
    std::map<std::string, Micros> own;  // this part's common totals
    std::string credit;
    for (const std::string& line : ReadCrLfLines(file)) {
      const std::vector<std::string> f = SplitRecord(line);
      if (f.size() < 3) continue;
      const std::string& reg = f[1];
      if (reg == "0111")
        for (int k = 0; k < 5; ++k) revenue[k] += Amount(f[2 + k]);
      if (reg.size() != 4 || reg[0] != 'M') continue;
      const std::string tax = reg[1] >= '5' ? "C" : "P";
      if (reg == "M100" || reg == "M500") {
        credit = tax + "|" + f[2];
        ASSERT_EQ(f[3], "0");
        for (int k : {9, 10, 11, 14}) creditSums[credit][k] += Amount(f[k]);
      } else if (reg == "M105" || reg == "M505") {
        if (IsCommonCst(f[3])) {
          const std::string key = tax + "|" + f[2] + "|" + f[3];
          if (own.count(key)) EXPECT_EQ(DecimalText(own[key]), DecimalText(Amount(f[4]))) << "one base per part";
          own[key] = Amount(f[4]);
          commonPerCredit.insert(credit + "|" + f[2] + "|" + f[3]);
        } else {
          otherBases[credit + "|" + f[2] + "|" + f[3]] += Amount(f[7]);
        }
      } else if ((reg == "M210" || reg == "M610") && f[2] == "01") {
        contribution[tax] += Amount(f[16]);
      }
    }
    for (const auto& [key, total] : own) commonTotals[key].push_back(total);
  }
  ASSERT_FALSE(commonTotals.empty());
  for (const auto& [key, totals] : commonTotals) {
    ASSERT_EQ(totals.size(), files.size()) << key;
    EXPECT_NE(DecimalText(totals[0]), DecimalText(totals[1])) << "the parts' bases differ";
  }

  std::filesystem::create_directories(dir.File("out"));
  const MergeResult run = RunMerge(files, dir.File("out"), {"--same-cnpj", "--report", dir.File("conciliacao.csv")});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const std::string merged = run.file;
  ExpectValidEfd(merged);
  // The ledger names what each part's 0111 brought.
  const std::string report = ReadFileBytes(dir.File("conciliacao.csv"));
  const std::string cnpj = SplitRecord(ReadCrLfLines(files[0])[0])[9];
  for (const char* part : {"1", "2", "3"})
    EXPECT_NE(report.find("\n0111;" + cnpj + " (parte " + part + ");1;0;"), std::string::npos) << report;

  // The company's block by the guide: each common base split over its groups
  // by the summed revenues (no cumulative revenue: VL_BC_PIS_NC is the total).
  ASSERT_EQ(DecimalText(revenue[3]), "0");
  std::map<std::string, Micros> creditBase;  // tax|COD_CRED -> Σ VL_BC_PIS of its M105
  std::set<std::string> commonWritten;
  std::string credit;
  const Micros rate[2] = {Amount("1,65"), Amount("7,6")};
  std::map<std::string, Micros> usedTotal;
  const std::vector<std::string> lines = ReadCrLfLines(merged);
  for (const std::string& line : lines) {
    const std::vector<std::string> f = SplitRecord(line);
    if (f.size() < 3 || f[1].size() != 4 || f[1][0] != 'M') continue;
    const std::string& reg = f[1];
    const std::string tax = reg[1] >= '5' ? "C" : "P";
    if (reg == "M105" || reg == "M505") {
      SCOPED_TRACE(credit + " " + line);
      const std::string key = credit + "|" + f[2] + "|" + f[3];
      Micros bc;
      if (IsCommonCst(f[3])) {
        commonWritten.insert(key);
        Micros total = 0;
        for (Micros t : commonTotals[tax + "|" + f[2] + "|" + f[3]]) total += t;
        Micros groups = 0;
        for (char g : GroupsOfCst(f[3])) groups += revenue[g - '1'];
        const char group = credit[2];
        bc = MulDivCents(total, revenue[group - '1'], groups);
        EXPECT_EQ(DecimalText(Amount(f[4])), DecimalText(total));
        EXPECT_EQ(f[5], "");
        EXPECT_EQ(DecimalText(Amount(f[6])), DecimalText(total));
      } else {
        bc = otherBases[key];
      }
      EXPECT_EQ(DecimalText(Amount(f[7])), DecimalText(bc));
      creditBase[credit] += bc;
    } else if (reg == "M100" || reg == "M500") {
      credit = tax + "|" + f[2];
    }
  }
  EXPECT_EQ(commonWritten, commonPerCredit);
  // The credits from the bases just checked.
  for (const std::string& line : lines) {
    const std::vector<std::string> f = SplitRecord(line);
    if (f.size() < 3 || (f[1] != "M100" && f[1] != "M500")) continue;
    SCOPED_TRACE(line);
    const std::string tax = f[1] == "M500" ? "C" : "P";
    const std::string key = tax + "|" + f[2];
    std::map<int, Micros>& in = creditSums[key];
    const Micros base = creditBase[key];
    const Micros value = MulDivCents(base, rate[tax == "C"], Amount("100"));
    const Micros disp = value + in[9] - in[10] - in[11];
    const Micros used = std::min(in[14], disp < 0 ? Micros(0) : disp);
    usedTotal[tax] += used;
    EXPECT_EQ(DecimalText(Amount(f[4])), DecimalText(base));
    EXPECT_EQ(DecimalText(Amount(f[8])), DecimalText(value));
    EXPECT_EQ(DecimalText(Amount(f[12])), DecimalText(disp));
    EXPECT_EQ(DecimalText(Amount(f[14])), DecimalText(used));
    EXPECT_EQ(DecimalText(Amount(f[15])), DecimalText(disp - used));
  }
  // The consolidations from the credits used and the contributions.
  int consolidations = 0;
  for (const std::string& line : lines) {
    const std::vector<std::string> f = SplitRecord(line);
    if (f.size() < 3 || (f[1] != "M200" && f[1] != "M600")) continue;
    SCOPED_TRACE(line);
    ++consolidations;
    const std::string tax = f[1] == "M600" ? "C" : "P";
    const Micros due = contribution[tax] - usedTotal[tax];
    EXPECT_EQ(DecimalText(Amount(f[2])), DecimalText(contribution[tax]));
    EXPECT_EQ(DecimalText(Amount(f[3])), DecimalText(usedTotal[tax]));
    EXPECT_EQ(DecimalText(Amount(f[5])), DecimalText(due));
    EXPECT_EQ(DecimalText(Amount(f[8])), DecimalText(due - Amount(f[6]) - Amount(f[7])));
  }
  EXPECT_EQ(consolidations, 2);
}
