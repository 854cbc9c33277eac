// Block M: the blocks of all files merged into the company's block, every
// record under its own parent, amounts summed exactly, derived values
// recomputed by the guide's formulas.
#include <gtest/gtest.h>

#include <algorithm>

#include "blocks/blocom.h"
#include "blocks/blocom_tree.h"
#include "blocks/registry.h"
#include "staging/catalogue_layouts.h"
#include "tests/support/test_run.h"
#include "tests/support/block_m_support.h"

using namespace block_m;

namespace {

constexpr const char* kHead = "11111111000191";
constexpr const char* kBranch = "11111111000272";

std::vector<std::string> Sorted(std::vector<std::string> v) {
  std::sort(v.begin(), v.end());
  return v;
}

std::vector<std::string> Codes(const std::vector<std::string>& lines) {
  std::vector<std::string> codes;
  for (const std::string& line : lines) codes.push_back(line.substr(1, 4));
  return codes;
}

// The lines between the opener and the closer.
std::vector<std::string> Body(const std::vector<std::string>& lines) {
  return lines.size() < 2 ? std::vector<std::string>{}
                          : std::vector<std::string>(lines.begin() + 1, lines.end() - 1);
}

bool Mentions(const std::vector<std::string>& notices, std::string_view text) {
  for (const std::string& n : notices)
    if (n.find(text) != std::string::npos) return true;
  return false;
}

}  // namespace

// Two consistent files: credits, their bases, the consolidation with its debit
// and contribution details all come back as the sums, in tree order.
TEST(BlockM, TwoFilesMergeIntoOneConsistentBlock) {
  BlockMStage stage;
  stage.StageFile(kHead, {"|M001|0|", "|M100|101|0|1000|1,65|||16,5|0|0|0|16,5|0|16,5|0|",
                          "|M105|01|50|1000||1000|1000||||", "|M200|33|16,5|0|16,5|0|0|16,5|0|0|0|0|16,5|",
                          "|M205|08|691201|16,5|", "|M210|01|2000|2000|0|0|2000|1,65|||33|0|0|0|0|33|",
                          "|M990|7|"});
  stage.StageFile(kBranch, {"|M001|0|", "|M100|101|0|500|1,6500|||8,25|0|0|0|8,25|1|5|3,25|",
                            "|M105|01|50|500||500|500||||", "|M200|16,5|5|0|11,5|0|0|11,5|0|0|0|0|11,5|",
                            "|M205|08|691201|11,5|", "|M210|01|1000|1000|0|0|1000|1,65|||16,5|0|0|0|0|16,5|",
                            "|M990|7|"});
  EXPECT_EQ(stage.Unify(), (std::vector<std::string>{
                               "|M001|0|",
                               "|M100|101|0|1500|1,65|||24,75|0|0|0|24,75|1|21,5|3,25|",
                               "|M105|01|50|1500||1500|1500||||",
                               "|M200|49,5|21,5|0|28|0|0|28|0|0|0|0|28|",
                               "|M205|08|691201|28|",
                               "|M210|01|3000|3000|0|0|3000|1,65|||49,5|0|0|0|0|49,5|",
                               "|M990|7|",
                           }));
  EXPECT_EQ(stage.Count("M105"), 1);
  EXPECT_EQ(stage.Count("9999"), 7);
  EXPECT_TRUE(BlocoM::md_LastNotices(TestRun()).empty());
}

// The tax authority's example of three credit types, each with its M105: the
// M105 follow their own M100 and are summed per type, not across types; lines
// of another origin or rate keep their own M100.
TEST(BlockM, BasesStayUnderTheirOwnCreditType) {
  BlockMStage stage;
  for (const char* cnpj : {kHead, kBranch})
    stage.StageFile(cnpj, {"|M100|101|0|500000|1,65|0||8250|0|0|0|8250|0|8250|0|",
                           "|M105|02|56|1000000|200000|800000|500000||0||",
                           "|M100|201|0|200000|1,65|0||3300|0|0|0|3300|1|0|3300|",
                           "|M105|02|56|1000000|200000|800000|200000||0||",
                           "|M100|301|0|100000|1,65|0||1650|0|0|0|1650|1|0|1650|",
                           "|M105|02|56|1000000|200000|800000|100000||0||"});
  stage.StageFile(kBranch, {"|M100|101|1|10|1,65|||0,17|0|0|0|0,17|0|0,17|0|", "|M105|02|50|10||10|10||||",
                            "|M100|101|0|100|0,8|||0,8|0|0|0|0,8|0|0,8|0|", "|M105|02|50|100||100|100||||"});
  const std::vector<std::string> body = Body(stage.Unify());
  EXPECT_EQ(body, (std::vector<std::string>{
                      "|M100|101|0|1000000|1,65|0||16500|0|0|0|16500|0|16500|0|",
                      "|M105|02|56|2000000|400000|1600000|1000000||0||",
                      "|M100|201|0|400000|1,65|0||6600|0|0|0|6600|1|0|6600|",
                      "|M105|02|56|2000000|400000|1600000|400000||0||",
                      "|M100|301|0|200000|1,65|0||3300|0|0|0|3300|1|0|3300|",
                      "|M105|02|56|2000000|400000|1600000|200000||0||",
                      "|M100|101|1|10|1,65|||0,17|0|0|0|0,17|0|0,17|0|",
                      "|M105|02|50|10||10|10||||",
                      "|M100|101|0|100|0,8|||0,8|0|0|0|0,8|0|0,8|0|",
                      "|M105|02|50|100||100|100||||",
                  }));
}

// Apportionment by revenue: each branch apportioned its common credits with
// its own 0111; the merged block apportions them again with the company's
// summed 0111, which here is the guide's worked example (1.250.000 taxed,
// 500.000 untaxed, 250.000 exports, 500.000 cumulative), and recomputes the
// credits from the new bases.
TEST(BlockM, CommonCreditsApportionedWithTheSummedRevenue) {
  BlockMStage stage;
  stage.StageBlock0(kHead, "|0110|3|2|1||");
  stage.StageBlock0(kHead, "|0111|1000000|300000|200000|300000|1800000|");
  stage.StageBlock0(kBranch, "|0111|250000|200000|50000|200000|700000|");
  stage.StageFile(kHead, {"|M100|101|0|333333,33|1,65|||5500|0|0|0|5500|0|5500|0|",
                          "|M105|02|56|600000|100000|500000|333333,33||||",
                          "|M100|201|0|100000|1,65|||1650|0|0|0|1650|0|1650|0|",
                          "|M105|02|56|600000|100000|500000|100000||||",
                          "|M100|301|0|66666,67|1,65|||1100|0|0|0|1100|1|0|1100|",
                          "|M105|02|56|600000|100000|500000|66666,67||||",
                          "|M200|8800|7150|0|1650|0|0|1650|0|0|0|0|1650|",
                          "|M210|01|533333,33|533333,33|0|0|533333,33|1,65|||8800|0|0|0|0|8800|"});
  stage.StageFile(kBranch, {"|M100|101|0|142857,15|1,65|||2357,14|0|0|0|2357,14|0|2357,14|0|",
                            "|M105|02|56|400000|114285,71|285714,29|142857,15||||",
                            "|M100|201|0|114285,72|1,65|||1885,71|0|0|0|1885,71|0|1885,71|0|",
                            "|M105|02|56|400000|114285,71|285714,29|114285,72||||",
                            "|M200|4242,85|4242,85|0|0|0|0|0|0|0|0|0|0|",
                            "|M210|01|257142,42|257142,42|0|0|257142,42|1,65|||4242,85|0|0|0|0|4242,85|"});
  const std::vector<std::string> lines = stage.Unify();
  // The branch listed no export credit, yet its base counts in the company's export part.
  EXPECT_EQ(Body(lines), (std::vector<std::string>{
                             "|M100|101|0|500000|1,65|||8250|0|0|0|8250|1|7857,14|392,86|",
                             "|M105|02|56|1000000|200000|800000|500000||||",
                             "|M100|201|0|200000|1,65|||3300|0|0|0|3300|0|3300|0|",
                             "|M105|02|56|1000000|200000|800000|200000||||",
                             "|M100|301|0|100000|1,65|||1650|0|0|0|1650|1|0|1650|",
                             "|M105|02|56|1000000|200000|800000|100000||||",
                             "|M200|13042,85|11157,14|0|1885,71|0|0|1885,71|0|0|0|0|1885,71|",
                             "|M210|01|790475,75|790475,75|0|0|790475,75|1,65|||13042,85|0|0|0|0|13042,85|",
                         }));
  // The untaxed credit used (1650 + 1885,71) is above what the company's 201 makes available.
  EXPECT_TRUE(Mentions(BlocoM::md_LastNotices(TestRun()), "M100 201: crédito descontado 3535,71 acima do crédito disponível 3300"));
}

TEST(BlockM, ApportionedBaseFollowsTheGuide) {
  BlocoM::CompanyFacts facts;
  facts.recTribMi = ExactDecimal::FromInt(1250000);
  facts.recNtMi = ExactDecimal::FromInt(500000);
  facts.recExp = ExactDecimal::FromInt(250000);
  const ExactDecimal nc = ExactDecimal::FromInt(800000);
  auto part = [&](const char* cst, char group) {
    auto v = BlocoM::ApportionedBase(nc, cst, group, facts);
    return v ? v->Text(2) : std::string("-");
  };
  EXPECT_EQ(part("56", '1'), "500000");
  EXPECT_EQ(part("56", '2'), "200000");
  EXPECT_EQ(part("66", '3'), "100000");
  EXPECT_EQ(part("53", '1'), "571428,57");  // 800000 × 1.250.000 / 1.750.000
  EXPECT_EQ(part("54", '3'), "133333,33");
  EXPECT_EQ(part("55", '2'), "533333,33");
  EXPECT_EQ(part("53", '3'), "-");  // exports are not a group of CST 53
  EXPECT_EQ(part("50", '1'), "-");  // a credit of one group only is not apportioned
  facts.recTribMi = facts.recNtMi = ExactDecimal();
  EXPECT_EQ(part("53", '1'), "-");  // no revenue to apportion by
}

// Two exempt-revenue lines of one CST with different accounts: each keeps its
// own details, so the details add up to their parent; the CST is a staged
// text and never enters a statement.
TEST(BlockM, ExemptRevenueDetailsStayUnderTheirOwnLine) {
  BlockMStage stage;
  stage.StageFile(kHead, {"|M400|06|1000|3.01.01|X|", "|M410|401|600|3.01.01|A|", "|M410|402|400|3.01.01||",
                          "|M400|06|500|3.01.02||", "|M410|401|500|3.01.02||", "|M800|0'6|10|4||",
                          "|M810|401|10|4||"});
  stage.StageFile(kBranch, {"|M400|06|500|3.01.02||", "|M410|401|200|3.01.02||", "|M410|403|300|3.01.02||"});
  EXPECT_EQ(Body(stage.Unify()), (std::vector<std::string>{
                                     "|M400|06|1000|3.01.01|X|",
                                     "|M410|401|600|3.01.01|A|",
                                     "|M410|402|400|3.01.01||",
                                     "|M400|06|1000|3.01.02||",
                                     "|M410|401|700|3.01.02||",
                                     "|M410|403|300|3.01.02||",
                                     "|M800|0'6|10|4||",
                                     "|M810|401|10|4||",
                                 }));
  EXPECT_EQ(stage.Count("M410"), 4);
}

// A total that its details do not add up to is replaced by their sum.
TEST(BlockM, ExemptRevenueTotalIsTheSumOfItsDetails) {
  BlockMStage stage;
  stage.StageFile(kHead, {"|M400|06|1000|3.01||", "|M410|401|600|3.01||", "|M410|402|300|3.01||"});
  stage.StageFile(kBranch, {"|M400|06|10|3.01||"});  // no details: its total counts as it is
  EXPECT_EQ(LinesOf(stage.Unify(), "M400"), std::vector<std::string>{"|M400|06|900|3.01||"});
  EXPECT_TRUE(Mentions(BlocoM::md_LastNotices(TestRun()), "M400 06: receita total 1010 substituída pela soma dos M410, 900"));
}

// Every record of the block comes back, under its own parent and in layout
// order: adjustments and their details kept as they came, cooperative bases,
// base adjustments, deferrals and payroll summed by their keys.
TEST(BlockM, EveryRecordOfTheBlockUnderItsParent) {
  BlockMStage stage;
  const std::vector<std::string> pis = {
      "|M100|101|0|100|1,65|||1,65|1|0|0|2,65|0|2,65|0|", "|M105|01|50|100||100|100||||",
      "|M110|1|1|06||AJUSTE|01012023|", "|M115|1|50|60,606|1,65|01012023|X|3.01||",
      "|M200|10|2,65|0|7,35|0|0|7,35|0|0|0|0|7,35|", "|M205|08|691201|7,35|",
      "|M210|01|606,06|606,06|0|0|606,06|1,65|||10|1|1|1|1|10|", "|M211|01|600|0|0|606,06|",
      "|M215|1|0|01||BASE|01012023|3.01|11111111000191||", "|M220|1|1|01||AJ|01012023|",
      "|M225|1|50|60,6|1,65|01012023|X|3.01||", "|M230|22222222000191|100|50|1|0|101|",
      "|M300|01|5|01|0|1|122022|15012023|", "|M350|1000|0|1000|1|10|", "|M400|06|5|3.01||",
      "|M410|401|5|3.01||"};
  std::vector<std::string> cofins;
  for (const std::string& line : pis) {
    std::string mirror = line;
    mirror[2] = static_cast<char>(mirror[2] + 4);
    if (line.rfind("|M350|", 0) != 0) cofins.push_back(mirror);
  }
  std::vector<std::string> file = pis;
  file.insert(file.end(), cofins.begin(), cofins.end());
  stage.StageFile(kHead, file);
  stage.StageFile(kBranch, file);
  const std::vector<std::string> lines = stage.Unify();
  std::vector<std::string> expectedCodes = {"M001", "M100", "M105", "M110", "M115", "M110", "M115", "M200",
                                            "M205", "M210", "M211", "M215", "M220", "M225", "M220", "M225",
                                            "M230", "M230", "M300", "M350", "M400", "M410"};
  const size_t pisCodes = expectedCodes.size();
  for (size_t i = 1; i < pisCodes; ++i)
    if (expectedCodes[i] != "M350") {
      std::string c = expectedCodes[i];
      c[1] = static_cast<char>(c[1] + 4);
      expectedCodes.push_back(c);
    }
  expectedCodes.push_back("M990");
  EXPECT_EQ(Codes(lines), expectedCodes);
  EXPECT_EQ(LinesOf(lines, "M211"), std::vector<std::string>{"|M211|01|1200|0|0|1212,12|"});
  EXPECT_EQ(LinesOf(lines, "M215"), std::vector<std::string>{"|M215|1|0|01||BASE|01012023|3.01|11111111000191||"});
  EXPECT_EQ(LinesOf(lines, "M300"), std::vector<std::string>{"|M300|01|10|01|0|2|122022|15012023|"});
  EXPECT_EQ(LinesOf(lines, "M350"), std::vector<std::string>{"|M350|2000|0|2000|1|20|"});
  EXPECT_EQ(LinesOf(lines, "M115").size(), 2u);
  EXPECT_EQ(LinesOf(lines, "M100"), std::vector<std::string>{"|M100|101|0|200|1,65|||3,3|2|0|0|5,3|0|5,3|0|"});
  EXPECT_EQ(LinesOf(lines, "M200"), std::vector<std::string>{"|M200|20|5,3|0|14,7|0|0|14,7|0|0|0|0|14,7|"});
  EXPECT_EQ(lines.back(), "|M990|" + std::to_string(lines.size()) + "|");
  EXPECT_EQ(stage.Count("M990"), 1);
}

// One contribution line per code and rate: standard-rate lines of all files
// merge under the standard rate text, other rates keep their own line and text.
TEST(BlockM, ContributionLinesKeepTheirRates) {
  BlockMStage stage;
  stage.StageFile(kHead, {"|M200|0|0|0|0|0|0|0|0|0|0|0|0|",
                          "|M210|01|1000|1000|0|0|1000|1,65|||16,5|0|0|0|0|16,5|",
                          "|M210|51|500|500|0|0|500|0,65|||3,25|0|0|0|0|3,25|",
                          "|M210|02|100|100|0|0|100|2,2|||2,2|0|0|0|0|2,2|",
                          "|M210|03|10|0|0|0|0||1000,5|0,8|800,4|0|0|0|0|800,4|",
                          "|M600|0|0|0|0|0|0|0|0|0|0|0|0|",
                          "|M610|01|1000|1000|0|0|1000|7,6|||76|0|0|0|0|76|",
                          "|M610|51|500|500|0|0|500|3,00|||15|0|0|0|0|15|"});
  stage.StageFile(kBranch, {"|M200|0|0|0|0|0|0|0|0|0|0|0|0|",
                            "|M210|01|200,5|200,5|0|0|200,5|1,6500|||3,31|0|0|0|0|3,31|",
                            "|M210|51|500|500|0|0|500|0,65|||3,25|0|0|0|0|3,25|",
                            "|M210|02|100|100|0|0|100|1,8|||1,8|0|0|0|0|1,8|",
                            "|M210|03|5|0|0|0|0||500|0,8|400|0|0|0|0|400|",
                            "|M600|0|0|0|0|0|0|0|0|0|0|0|0|",
                            "|M610|01|200,5|200,5|0|0|200,5|7,60|||15,24|0|0|0|0|15,24|"});
  const std::vector<std::string> lines = stage.Unify();
  EXPECT_EQ(Sorted(LinesOf(lines, "M210")),
            (std::vector<std::string>{
                "|M210|01|1200,5|1200,5|0|0|1200,5|1,65|||19,81|0|0|0|0|19,81|",
                "|M210|02|100|100|0|0|100|1,8|||1,8|0|0|0|0|1,8|",
                "|M210|02|100|100|0|0|100|2,2|||2,2|0|0|0|0|2,2|",
                "|M210|03|15|0|0|0|0||1500,5|0,8|1200,4|0|0|0|0|1200,4|",
                "|M210|51|1000|1000|0|0|1000|0,65|||6,5|0|0|0|0|6,5|",
            }));
  EXPECT_EQ(Sorted(LinesOf(lines, "M610")),
            (std::vector<std::string>{
                "|M610|01|1200,5|1200,5|0|0|1200,5|7,60|||91,24|0|0|0|0|91,24|",
                "|M610|51|500|500|0|0|500|3,00|||15|0|0|0|0|15|",
            }));
  // Fields 02 and 09 of the consolidation come from the details: 01, 02, 03 non-cumulative, 51 cumulative.
  EXPECT_EQ(LinesOf(lines, "M200"),
            std::vector<std::string>{"|M200|1224,21|0|0|1224,21|0|0|1224,21|6,5|0|0|6,5|1230,71|"});
}

// Credit used beyond what the merged credit makes available is reduced to it;
// the balance and the use indicator follow.
TEST(BlockM, CreditUsedIsCappedAndTheBalanceFollows) {
  BlockMStage stage;
  stage.StageFile(kHead, {"|M100|101|0|600|1,65|||9,9|0|0|0|9,9|0|9,9|0|"});
  stage.StageFile(kBranch, {"|M100|101|0|400|1,65|||6,6|0|0|0|6,6|0|8|0|",
                            "|M100|201|0|4000|1,65|||66|1|0,5|0|66,5|1|30|36,5|"});
  const std::vector<std::string> lines = stage.Unify();
  EXPECT_EQ(LinesOf(lines, "M100"), (std::vector<std::string>{
                                        "|M100|101|0|1000|1,65|||16,5|0|0|0|16,5|0|16,5|0|",
                                        "|M100|201|0|4000|1,65|||66|1|0,5|0|66,5|1|30|36,5|",
                                    }));
  EXPECT_TRUE(Mentions(BlocoM::md_LastNotices(TestRun()), "M100 101: crédito descontado 17,9 acima do crédito disponível 16,5"));
}

// When the recomputed consolidation differs from the summed debit details,
// the largest detail of that field takes the difference.
TEST(BlockM, DebitDetailsAddUpToTheConsolidation) {
  BlockMStage stage;
  stage.StageFile(kHead, {"|M100|101|0|100|1,65|||1,65|0|0|0|1,65|0|1,65|0|",
                          "|M200|10|1,65|0|8,35|0|0|8,35|0|0|0|0|8,35|", "|M205|08|691201|8,35|",
                          "|M210|01|606,06|606,06|0|0|606,06|1,65|||10|0|0|0|0|10|"});
  stage.StageFile(kBranch, {"|M100|101|0|100|1,65|||1,65|0|0|0|1,65|0|5|0|",
                            "|M200|10|5|0|5|0|0|5|0|0|0|0|5|", "|M205|08|691201|4|", "|M205|08|691202|1|",
                            "|M210|01|606,06|606,06|0|0|606,06|1,65|||10|0|0|0|0|10|"});
  const std::vector<std::string> lines = stage.Unify();
  // Credit used 1,65 + 5 is capped to 3,3: field 08 becomes 20 - 3,3 = 16,7.
  EXPECT_EQ(LinesOf(lines, "M200"), std::vector<std::string>{"|M200|20|3,3|0|16,7|0|0|16,7|0|0|0|0|16,7|"});
  EXPECT_EQ(LinesOf(lines, "M205"), (std::vector<std::string>{"|M205|08|691201|15,7|", "|M205|08|691202|1|"}));
  EXPECT_TRUE(Mentions(BlocoM::md_LastNotices(TestRun()), "M205 691201: débito ajustado de 12,35 para 15,7"));
}

TEST(BlockM, WithoutDataOnlyOpenerAndCloser) {
  BlockMStage stage;
  stage.StageFile(kHead, {"|M001|0|"});
  stage.StageFile(kBranch, {"|M001|0|", "|M410|401|1|3||"});  // a detail without its parent line is not written
  EXPECT_EQ(stage.Unify(), (std::vector<std::string>{"|M001|1|", "|M990|2|"}));
  EXPECT_TRUE(Mentions(BlocoM::md_LastNotices(TestRun()), "1 linha(s) do registro M410 sem o registro pai (M400)"));
}

// Field numbers by the PIS twin's names; a name the layout lacks is a programming error.
TEST(BlockM, FieldNumbersComeFromTheCatalogue) {
  EXPECT_EQ(BlocoM::FieldNo("M105", "VL_BC_PIS"), 7);
  EXPECT_EQ(BlocoM::FieldNo("M505", "VL_BC_PIS"), 7);
  EXPECT_EQ(BlocoM::FieldNo("M500", "VL_CRED_DIF"), 11);
  EXPECT_EQ(BlocoM::FieldNo("M610", "VL_CONT_PER"), 16);
  EXPECT_THROW(BlocoM::FieldNo("M100", "NO_SUCH_FIELD"), std::logic_error);
  EXPECT_EQ(BlockLayout(TestRun(), "M700").Count(), 2 + 8);  // Id_CNPJ, Id_Arquivo and its eight fields
}

// The loader links a row to its parent exactly when the block's staging table
// has the ID_Pai column, and the writer reads that column back: a record of
// the first version (M105, M410...) has it after Id_Arquivo, the others after
// Id_CNPJ.
TEST(BlockM, ParentLinkColumnWhereTheParentIsBelowM001) {
  auto linksOf = [](std::string_view code) {
    std::vector<std::string> links;
    for (const FieldSpec& f : FindAnyLayout(code)->fields)
      if (f.key < 0) links.push_back(f.name);
    return links;
  };
  EXPECT_TRUE(BlocoM::HasParentRow("M115"));
  EXPECT_FALSE(BlocoM::HasParentRow("M100"));
  for (const LayoutSpec& spec : FindBlock('M')->layouts()) {
    SCOPED_TRACE(spec.code);
    const std::vector<std::string> links = linksOf(spec.code);
    const bool linked = std::find(links.begin(), links.end(), "ID_Pai") != links.end();
    EXPECT_EQ(linked, BlocoM::HasParentRow(spec.code));
    EXPECT_EQ(ParentLinkColumn(spec.code), linked ? "ID_Pai" : "");
    EXPECT_TRUE(spec.pkIdentity);  // rows are read back in input order
  }
  EXPECT_EQ(linksOf("M210"), (std::vector<std::string>{"Id_CNPJ", "Id_Arquivo", "ID_Pai"}));
  EXPECT_EQ(linksOf("M410"), (std::vector<std::string>{"Id_CNPJ", "CST", "Id_Arquivo", "ID_Pai"}));
  EXPECT_EQ(linksOf("M211"), (std::vector<std::string>{"Id_CNPJ", "ID_Pai", "Id_Arquivo"}));
}
