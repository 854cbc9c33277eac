// A generated network whose files hold every Block M record: two credit
// types each with its own bases and a common base (CST 53) apportioned by
// revenue, adjustments with details, every record below M210, deferrals,
// payroll, two exempt-revenue lines of one CST with different accounts; each
// file with its own 0111. Merged by the built program, every value of the
// merged Block M equals what is computed here from the generated amounts.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "tests/support/block_m_support.h"
#include "tests/support/check_support.h"
#include "tools/efdgen/network.h"

using namespace block_m;
namespace fs = std::filesystem;

namespace {

using Cents = __int128;

std::string T(Cents c) { return DecimalText(c * 10000); }

// a × b ÷ c rounded half away from zero (all non-negative).
Cents MulDivRound(Cents a, Cents b, Cents c) { return c == 0 ? 0 : (2 * a * b + c) / (2 * c); }

void WriteLines(const std::string& path, const std::vector<std::string>& lines) {
  std::ofstream out(path, std::ios::binary);
  for (const std::string& l : lines) out << l << "\r\n";
}

struct FileAmounts {
  Cents rev[4];  // 0111: taxed, untaxed, exports, cumulative
  Cents b50, b51, c53, adjust, used, contribution, exempt1, exempt2, payroll, deferred;
};

struct TaxCodes {
  char d;           // '1' PIS, '5' COFINS (first digit after M)
  Cents rate;       // hundredths of a percent
  const char* rateText;
};

// The Block M of one file, consistent in itself (its own apportionment).
std::vector<std::string> BlockMOf(const FileAmounts& a, const std::string& cnpj, const std::string& date) {
  std::vector<std::string> m = {"|M001|0|"};
  const TaxCodes taxes[2] = {{'1', 165, "1,65"}, {'5', 760, "7,60"}};
  for (const TaxCodes& t : taxes) {
    auto code = [&](const char* pis) { std::string c = pis; c[1] = t.d + (c[1] - '1'); return c; };
    const Cents total = a.rev[0] + a.rev[1] + a.rev[2] + a.rev[3];
    const Cents cum = MulDivRound(a.c53, a.rev[3], total), nc = a.c53 - cum;
    const Cents p1 = MulDivRound(nc, a.rev[0], a.rev[0] + a.rev[1]), p2 = MulDivRound(nc, a.rev[1], a.rev[0] + a.rev[1]);
    const Cents bc1 = a.b50 + p1, bc2 = a.b51 + p2;
    const Cents cred1 = MulDivRound(bc1, t.rate, 10000), cred2 = MulDivRound(bc2, t.rate, 10000);
    const Cents apur = MulDivRound(a.contribution, t.rate, 10000);
    const Cents disp1 = cred1 + a.adjust;
    Cents used = std::min(disp1, a.used);
    used = std::min(used, apur);
    m.push_back("|" + code("M100") + "|101|0|" + T(bc1) + "|" + t.rateText + "|||" + T(cred1) + "|" + T(a.adjust) +
                "|0|0|" + T(disp1) + "|" + (used == disp1 ? "0" : "1") + "|" + T(used) + "|" + T(disp1 - used) + "|");
    m.push_back("|" + code("M105") + "|01|50|" + T(a.b50) + "||" + T(a.b50) + "|" + T(a.b50) + "||||");
    m.push_back("|" + code("M105") + "|02|53|" + T(a.c53) + "|" + T(cum) + "|" + T(nc) + "|" + T(p1) + "||||");
    m.push_back("|" + code("M110") + "|1|" + T(a.adjust) + "|06||AJUSTE " + cnpj + "|" + date + "|");
    m.push_back("|" + code("M115") + "|" + T(a.adjust) + "|50|||" + date + "|DETALHE|3.01.01.01.01||");
    m.push_back("|" + code("M100") + "|201|0|" + T(bc2) + "|" + t.rateText + "|||" + T(cred2) + "|0|0|0|" + T(cred2) +
                "|1|0|" + T(cred2) + "|");
    m.push_back("|" + code("M105") + "|01|51|" + T(a.b51) + "||" + T(a.b51) + "|" + T(a.b51) + "||||");
    m.push_back("|" + code("M105") + "|02|53|" + T(a.c53) + "|" + T(cum) + "|" + T(nc) + "|" + T(p2) + "||||");
    const Cents due = apur - used;
    m.push_back("|" + code("M200") + "|" + T(apur) + "|" + T(used) + "|0|" + T(due) + "|0|0|" + T(due) + "|0|0|0|0|" +
                T(due) + "|");
    if (due > 0) m.push_back("|" + code("M205") + "|08|" + (t.d == '1' ? "691201" : "585601") + "|" + T(due) + "|");
    const std::string bc = T(a.contribution);
    m.push_back("|" + code("M210") + "|01|" + bc + "|" + bc + "|0|0|" + bc + "|" + t.rateText + "|||" + T(apur) +
                "|0|0|" + T(a.deferred) + "|" + T(a.deferred) + "|" + T(apur) + "|");
    m.push_back("|" + code("M211") + "|01|" + bc + "|0|0|" + bc + "|");
    m.push_back("|" + code("M215") + "|1|0|01||BASE|" + date + "|3.01.01.01.01|" + cnpj + "||");
    m.push_back("|" + code("M220") + "|1|0|01||AJUSTE|" + date + "|");
    m.push_back("|" + code("M225") + "|0|50|||" + date + "|X|3.01.01.01.01||");
    m.push_back("|" + code("M230") + "|" + cnpj + "|" + T(a.deferred) + "|" + T(a.deferred) + "|" + T(a.deferred) + "|0|101|");
    m.push_back("|" + code("M300") + "|01|" + T(a.deferred) + "|01|0|" + T(a.deferred) + "|" + date.substr(2) + "|" + date + "|");
    if (t.d == '1') m.push_back("|M350|" + T(a.payroll) + "|0|" + T(a.payroll) + "|1|" + T(a.payroll / 100) + "|");
    m.push_back("|" + code("M400") + "|06|" + T(a.exempt1) + "|3.01.01.01.01||");
    m.push_back("|" + code("M410") + "|401|" + T(a.exempt1) + "|3.01.01.01.01||");
    m.push_back("|" + code("M400") + "|06|" + T(a.exempt2) + "|4.01.01.01.01||");
    m.push_back("|" + code("M410") + "|402|" + T(a.exempt2) + "|4.01.01.01.01||");
  }
  m.push_back("|M990|0|");
  return m;
}

}  // namespace

TEST(BlockMNetwork, EveryRecordApportionedByTheSummedRevenue) {
  if (!fs::exists(QUELVAR_BINARY)) GTEST_SKIP() << "quelvar not built: " << QUELVAR_BINARY;
  TempFolder dir;
  NetworkOptions options{.establishments = 3, .targetLines = 600, .seed = 31};
  const std::vector<std::string> files = WriteNetwork(options, dir.File("in"));
  std::vector<FileAmounts> amounts;
  uint64_t state = 12345;
  auto next = [&](Cents lo, Cents hi) {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return lo + static_cast<Cents>((state >> 33) % static_cast<uint64_t>(hi - lo + 1));
  };
  for (const std::string& file : files) {
    FileAmounts a{};
    for (Cents& r : a.rev) r = next(100000, 900000000);
    a.b50 = next(1000, 90000000), a.b51 = next(1000, 9000000), a.c53 = next(100000, 50000000);
    a.adjust = next(0, 100000), a.used = next(0, 2000000), a.contribution = next(10000000, 900000000);
    a.exempt1 = next(100, 9000000), a.exempt2 = next(100, 9000000), a.payroll = next(10000, 90000000);
    a.deferred = next(0, 10000);
    amounts.push_back(a);
    std::vector<std::string> lines = ReadCrLfLines(file), out;
    bool placed = false;
    const std::string cnpj = SplitRecord(lines[0])[9], date = SplitRecord(lines[0])[6];
    for (const std::string& l : lines) {
      if (l.rfind("|0111|", 0) == 0 || (l.rfind("|M", 0) == 0)) continue;
      if (l.rfind("|0110|", 0) == 0) {
        std::vector<std::string> f = SplitRecord(l);
        out.push_back("|0110|" + f[2] + "|2|" + f[4] + "|" + f[5] + "|");
        out.push_back("|0111|" + T(a.rev[0]) + "|" + T(a.rev[1]) + "|" + T(a.rev[2]) + "|" + T(a.rev[3]) + "|" +
                      T(a.rev[0] + a.rev[1] + a.rev[2] + a.rev[3]) + "|");
        continue;
      }
      if ((l.rfind("|P001|", 0) == 0 || l.rfind("|1001|", 0) == 0) && !placed) {
        placed = true;
        const std::vector<std::string> m = BlockMOf(a, cnpj, date);
        out.insert(out.end(), m.begin(), m.end());
        out.back() = "|M990|" + std::to_string(m.size()) + "|";
      }
      out.push_back(l);
    }
    WriteLines(file, Recounted(out));
    ExpectValidEfd(file);
  }

  fs::create_directories(dir.File("out"));
  const MergeResult run = RunMerge(files, dir.File("out"));
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const std::string merged = run.file;
  ExpectValidEfd(merged);
  const std::vector<std::string> lines = ReadCrLfLines(merged);

  // What the company's block must say, from the generated amounts.
  FileAmounts s{};
  for (const FileAmounts& a : amounts) {
    for (int i = 0; i < 4; ++i) s.rev[i] += a.rev[i];
    s.b50 += a.b50, s.b51 += a.b51, s.c53 += a.c53, s.adjust += a.adjust, s.contribution += a.contribution;
    s.exempt1 += a.exempt1, s.exempt2 += a.exempt2, s.payroll += a.payroll, s.deferred += a.deferred;
  }
  const TaxCodes taxes[2] = {{'1', 165, "1,65"}, {'5', 760, "7,60"}};
  for (const TaxCodes& t : taxes) {
    SCOPED_TRACE(t.rateText);
    auto code = [&](const char* pis) { std::string c = pis; c[1] = t.d + (c[1] - '1'); return c; };
    Cents usedSum = 0, apurSum = 0;
    for (const FileAmounts& a : amounts) {
      const Cents total = a.rev[0] + a.rev[1] + a.rev[2] + a.rev[3];
      const Cents cum = MulDivRound(a.c53, a.rev[3], total), nc = a.c53 - cum;
      const Cents bc1 = a.b50 + MulDivRound(nc, a.rev[0], a.rev[0] + a.rev[1]);
      const Cents apur = MulDivRound(a.contribution, t.rate, 10000);
      usedSum += std::min(std::min(MulDivRound(bc1, t.rate, 10000) + a.adjust, a.used), apur);
      apurSum += apur;
    }
    const Cents total = s.rev[0] + s.rev[1] + s.rev[2] + s.rev[3];
    const Cents cum = MulDivRound(s.c53, s.rev[3], total), nc = s.c53 - cum;
    const Cents p1 = MulDivRound(nc, s.rev[0], s.rev[0] + s.rev[1]), p2 = MulDivRound(nc, s.rev[1], s.rev[0] + s.rev[1]);
    const Cents bc1 = s.b50 + p1, bc2 = s.b51 + p2;
    const Cents cred1 = MulDivRound(bc1, t.rate, 10000), cred2 = MulDivRound(bc2, t.rate, 10000);
    const Cents disp1 = cred1 + s.adjust, used = std::min(usedSum, disp1);
    EXPECT_EQ(LinesOf(lines, code("M100")),
              (std::vector<std::string>{
                  "|" + code("M100") + "|101|0|" + T(bc1) + "|" + t.rateText + "|||" + T(cred1) + "|" + T(s.adjust) +
                      "|0|0|" + T(disp1) + "|" + (used == disp1 ? "0" : "1") + "|" + T(used) + "|" + T(disp1 - used) + "|",
                  "|" + code("M100") + "|201|0|" + T(bc2) + "|" + t.rateText + "|||" + T(cred2) + "|0|0|0|" + T(cred2) +
                      "|1|0|" + T(cred2) + "|"}));
    EXPECT_EQ(LinesOf(lines, code("M105")),
              (std::vector<std::string>{
                  "|" + code("M105") + "|01|50|" + T(s.b50) + "||" + T(s.b50) + "|" + T(s.b50) + "||||",
                  "|" + code("M105") + "|02|53|" + T(s.c53) + "|" + T(cum) + "|" + T(nc) + "|" + T(p1) + "||||",
                  "|" + code("M105") + "|01|51|" + T(s.b51) + "||" + T(s.b51) + "|" + T(s.b51) + "||||",
                  "|" + code("M105") + "|02|53|" + T(s.c53) + "|" + T(cum) + "|" + T(nc) + "|" + T(p2) + "||||"}));
    const Cents due = apurSum - used;
    EXPECT_EQ(LinesOf(lines, code("M200")),
              std::vector<std::string>{"|" + code("M200") + "|" + T(apurSum) + "|" + T(used) + "|0|" + T(due) + "|0|0|" +
                                       T(due) + "|0|0|0|0|" + T(due) + "|"});
    EXPECT_EQ(LinesOf(lines, code("M205")),
              std::vector<std::string>{"|" + code("M205") + "|08|" + (t.d == '1' ? "691201" : "585601") + "|" + T(due) + "|"});
    EXPECT_EQ(LinesOf(lines, code("M400")),
              (std::vector<std::string>{"|" + code("M400") + "|06|" + T(s.exempt1) + "|3.01.01.01.01||",
                                        "|" + code("M400") + "|06|" + T(s.exempt2) + "|4.01.01.01.01||"}));
    EXPECT_EQ(LinesOf(lines, code("M410")),
              (std::vector<std::string>{"|" + code("M410") + "|401|" + T(s.exempt1) + "|3.01.01.01.01||",
                                        "|" + code("M410") + "|402|" + T(s.exempt2) + "|4.01.01.01.01||"}));
    const std::string bc = T(s.contribution);
    EXPECT_EQ(LinesOf(lines, code("M211")), std::vector<std::string>{"|" + code("M211") + "|01|" + bc + "|0|0|" + bc + "|"});
    EXPECT_EQ(LinesOf(lines, code("M110")).size(), files.size());
    EXPECT_EQ(LinesOf(lines, code("M115")).size(), files.size());
    EXPECT_EQ(LinesOf(lines, code("M220")).size(), files.size());
    EXPECT_EQ(LinesOf(lines, code("M225")).size(), files.size());
    EXPECT_EQ(LinesOf(lines, code("M230")).size(), files.size());
    EXPECT_EQ(LinesOf(lines, code("M215")).size(), files.size());  // one CNPJ per file: no two alike
    EXPECT_EQ(LinesOf(lines, code("M300")).size(), 1u);
  }
  EXPECT_EQ(LinesOf(lines, "M350").size(), 1u);
}
