// The sums `quelvar check` verifies between records: each rule rejects a
// hand-made file whose sum is wrong, naming the line, and accepts the file
// once corrected.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "checker/efd_rules.h"
#include "checker/sum_rules.h"

namespace {

struct Finding {
  int64_t line;
  std::string code, message;
};

// The findings of the sum rules over `lines` (line numbers from 1).
std::vector<Finding> Sums(const std::vector<std::string>& lines) {
  std::vector<Finding> found;
  SumRules rules([&](int64_t line, std::string_view code, std::string message) {
    found.push_back({line, std::string(code), std::move(message)});
  });
  int64_t n = 0;
  for (const std::string& l : lines) rules.Line(++n, l.substr(1, 4), l);
  rules.Finish();
  return found;
}

std::string Listing(const std::vector<Finding>& found) {
  std::string s;
  for (const Finding& f : found) s += std::to_string(f.line) + " " + f.code + ": " + f.message + "\n";
  return s;
}

// Expects exactly one finding, on `line` of `code`, whose message has `text`.
void ExpectOne(const std::vector<std::string>& lines, int64_t line, const std::string& code, const std::string& text) {
  const std::vector<Finding> found = Sums(lines);
  ASSERT_EQ(found.size(), 1u) << Listing(found);
  EXPECT_EQ(found[0].line, line);
  EXPECT_EQ(found[0].code, code);
  EXPECT_NE(found[0].message.find(text), std::string::npos) << found[0].message;
}

const std::string k0000 = "|0000|006|0|||01012023|31012023|EMPRESA|11222333000181|SP|3550308||00|1|";

}  // namespace

TEST(CheckSums, CreditBaseIsTheSumOfItsDetails) {
  std::vector<std::string> file = {k0000, "|M001|0|", "|M100|101|0|150|1,65|||2,48|0|0|0|2,48|1|0|2,48|",
                                   "|M105|01|50|100||100|100||||", "|M105|02|50|40||40|40||||",
                                   "|M500|101|0|100|7,6|||7,6|0|0|0|7,6|1|0|7,6|", "|M505|01|50|100||100|100||||",
                                   "|M990|7|"};
  ExpectOne(file, 3, "M100", "o campo 04 (VL_BC_PIS) vale 150 e difere da soma de VL_BC_PIS das linhas M105: 140");
  file[2] = "|M100|101|0|140|1,65|||2,31|0|0|0|2,31|1|0|2,31|";
  EXPECT_TRUE(Sums(file).empty()) << Listing(Sums(file));
  file[6] = "|M505|01|50|99,99||99,99|99,99||||";
  ExpectOne(file, 6, "M500", "o campo 04 (VL_BC_COFINS) vale 100 e difere da soma de VL_BC_COFINS das linhas M505: 99,99");
}

TEST(CheckSums, ConsolidationAgainstContributionsCreditsAndDebits) {
  std::vector<std::string> file = {
      k0000,
      "|0110|1|1|1||",
      "|M001|0|",
      "|M100|101|0|100|1,65|||1,65|0|0|0|1,65|0|1,65|0|",
      "|M200|30|1,65|0|28,35|0|0|28,35|5|0|0|5|33,35|",
      "|M205|08|691201|28,35|",
      "|M205|12|810902|5|",
      "|M210|01|1000|1000|0|0|1000|1,65|||16,5|0|0|0|0|16,5|",
      "|M210|32|100|100|0|0|100|1|||13,5|0|0|0|0|13,5|",
      "|M210|51|100|100|0|0|100|0,65|||5|0|0|0|0|5|",
      "|M990|10|"};
  EXPECT_TRUE(Sums(file).empty()) << Listing(Sums(file));
  // Field 02 sums codes 01 and 32 only (51 is cumulative).
  std::vector<std::string> bad = file;
  bad[4] = "|M200|35|1,65|0|33,35|0|0|33,35|0|0|0|0|33,35|";
  bad[5] = "|M205|08|691201|33,35|";
  bad.erase(bad.begin() + 6);
  ExpectOne(bad, 5, "M200", "o campo 02 (VL_TOT_CONT_NC_PER) vale 35 e difere da soma de VL_CONT_PER das linhas M210 de COD_CONT 01, 02, 03, 04, 32 e 71: 30");
  // Field 03 is the credit used of the M100 lines.
  bad = file;
  bad[3] = "|M100|101|0|100|1,65|||1,65|0|0|0|1,65|1|1|0,65|";
  ExpectOne(bad, 5, "M200", "o campo 03 (VL_TOT_CRED_DESC) vale 1,65 e difere da soma de VL_CRED_DESC das linhas M100: 1");
  // The debits by revenue code add up to fields 08 and 12.
  bad = file;
  bad[6] = "|M205|12|810902|4|";
  ExpectOne(bad, 5, "M200", "o campo 12 (VL_CONT_CUM_REC) vale 5 e difere da soma de VL_DEBITO das linhas M205 de NUM_CAMPO 12: 4");
  // Before April 2014 a file without debit details is accepted; from then on not.
  bad = file;
  bad.erase(bad.begin() + 5);
  ExpectOne(bad, 5, "M200", "o campo 08 (VL_CONT_NC_REC) vale 28,35 e difere da soma de VL_DEBITO das linhas M205 de NUM_CAMPO 08: 0");
  bad = file;
  bad.erase(bad.begin() + 5, bad.begin() + 7);
  EXPECT_EQ(Sums(bad).size(), 2u);
  bad[0] = "|0000|003|0|||01032014|31032014|EMPRESA|11222333000181|SP|3550308||00|1|";
  EXPECT_TRUE(Sums(bad).empty()) << Listing(Sums(bad));
}

TEST(CheckSums, CofinsConsolidationAndOlderContributionLines) {
  // M610 in the 13 fields of the older layouts: VL_CONT_PER is its last field.
  std::vector<std::string> file = {"|0000|003|0|||01042012|30042012|EMPRESA|11222333000181|SP|3550308||00|1|",
                                   "|M001|0|", "|M600|76|0|0|76|0|0|76|0|0|0|0|76|",
                                   "|M610|01|1000|1000|7,6|||76|0|0|0|0|76|", "|M990|4|"};
  EXPECT_TRUE(Sums(file).empty()) << Listing(Sums(file));
  file[3] = "|M610|01|1000|1000|7,6|||76|0|0|0|0|75|";
  ExpectOne(file, 3, "M600", "o campo 02 (VL_TOT_CONT_NC_PER) vale 76 e difere da soma de VL_CONT_PER das linhas M610");
}

TEST(CheckSums, ExemptRevenueIsTheSumOfItsDetails) {
  std::vector<std::string> file = {k0000, "|M001|0|", "|M400|06|1000|3.01||", "|M410|401|600|3.01||",
                                   "|M410|402|300|3.01||", "|M400|07|5|3.02||", "|M410|101|5|3.02||",
                                   "|M800|06|10|3.01||", "|M810|401|10|3.01||", "|M990|10|"};
  ExpectOne(file, 3, "M400", "o campo 03 (VL_TOT_REC) vale 1000 e difere da soma de VL_REC das linhas M410: 900");
  file[4] = "|M410|402|400|3.01||";
  EXPECT_TRUE(Sums(file).empty()) << Listing(Sums(file));
  file.erase(file.begin() + 8);
  ExpectOne(file, 8, "M800", "o campo 03 (VL_TOT_REC) vale 10 e difere da soma de VL_REC das linhas M810: 0");
}

TEST(CheckSums, CreditControlTotalIsBothCredits) {
  std::vector<std::string> file = {k0000, "|1001|0|",
                                   "|1100|122022|01||101|1000|10|1000|0|0|0|1010|100|0|0|0|0|910|",
                                   "|1500|122022|01||101|2000|0|2000|0|0|0|2000|0|0|0|0|0|2000|", "|1990|4|"};
  ExpectOne(file, 3, "1100", "o campo 08 (VL_TOT_CRED_APU) vale 1000 e difere da soma dos campos 06 (VL_CRED_APU) e 07 (VL_CRED_EXT_APU): 1010");
  file[2] = "|1100|122022|01||101|1000|10|1010|0|0|0|1010|100|0|0|0|0|910|";
  EXPECT_TRUE(Sums(file).empty()) << Listing(Sums(file));
}

TEST(CheckSums, PayrollTotalPerPeriod) {
  std::vector<std::string> file = {k0000,
                                   "|P001|0|",
                                   "|P010|11222333000181|",
                                   "|P100|01012023|31012023|1000|12345678|1000|0|1000|1,5|15|||",
                                   "|P010|11222333000262|",
                                   "|P100|01012023|31012023|500|12345678|500|0|500|1,5|7,5|||",
                                   "|P200|012023|20|0|0|20|299101|",
                                   "|P990|8|"};
  ExpectOne(file, 7, "P200", 
            "o campo 03 (VL_TOT_CONT_APU) vale 20 e difere da soma de VL_CONT_APU das linhas P100 do período 012023: 22,5");
  file[6] = "|P200|012023|22,5|0|0|22,5|299101|";
  EXPECT_TRUE(Sums(file).empty()) << Listing(Sums(file));
}

// An input of a merge is checked without Block M's sums, which the merge
// recomputes, but with those of the records it sums or keeps as they came
// (1100: field 08 is fields 06 + 07).
TEST(CheckSums, InputsLeaveOutOnlyBlockM) {
  const std::vector<std::string> lines = {k0000, "|M001|0|", "|M400|06|1000|3.01||", "|M410|401|1|3.01||",
                                          "|M990|4|", "|1001|0|",
                                          "|1100|122022|01||101|1000|10|1000|0|0|0|1010|100|0|0|0|0|910|",
                                          "|1990|3|"};
  for (SumScope scope : {SumScope::kAll, SumScope::kInput}) {
    CheckReport report;
    EfdRules rules(report, scope);
    for (const std::string& l : lines) rules.Line(l);
    rules.Finish();
    std::string blockM, credits;
    for (const CheckProblem& p : report.problems) {
      if (p.code == "M400" && p.message.find("VL_TOT_REC") != std::string::npos) blockM += p.message;
      if (p.code == "1100" && p.line == 7) credits += p.message;
    }
    EXPECT_EQ(blockM.empty(), scope == SumScope::kInput) << blockM;
    EXPECT_NE(credits.find("o campo 08 (VL_TOT_CRED_APU) vale 1000"), std::string::npos) << credits;
  }
}

// An amount that cannot be read leaves its sum unchecked (the amount is the
// finding), and a sum beyond the exact range is named instead of wrapping.
TEST(CheckSums, UnreadableAmountsAndSumsBeyondTheExactRange) {
  std::vector<std::string> file = {k0000, "|M001|0|", "|M400|06|1000|3.01||", "|M410|401|600|3.01||",
                                   "|M410|402|4OO|3.01||", "|M990|5|"};
  EXPECT_TRUE(Sums(file).empty()) << Listing(Sums(file));
  const std::string huge(30, '9');
  file = {k0000, "|M001|0|", "|M400|06|" + huge + "|3.01||"};
  for (int i = 0; i < 200; ++i) file.push_back("|M410|401|" + huge + "|3.01||");
  ExpectOne(file, 3, "M400",
            "a soma de VL_REC das linhas M410 passa do alcance exato do programa; o campo 03 (VL_TOT_REC) não pôde "
            "ser conferido");
}
