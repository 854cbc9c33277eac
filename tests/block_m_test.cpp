// Block M: every record recomputed for the whole company from the staged lines
// of all files.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/block_m_support.h"

using namespace block_m;

namespace {

std::vector<std::string> Sorted(std::vector<std::string> v) {
  std::sort(v.begin(), v.end());
  return v;
}

std::vector<std::string> Codes(const std::vector<std::string>& lines) {
  std::vector<std::string> codes;
  for (const std::string& line : lines) codes.push_back(line.substr(1, 4));
  return codes;
}

}  // namespace

// Amounts of several files are added per key, exactly as decimals.
TEST(BlockM, TotalsOfSeveralFilesAreSummedPerKey) {
  BlockMStage stage;
  stage.Stage("|M001|0|", "11111111000191");
  stage.Stage("|M200|100,10|50,05|0|50,05|0|0|50,05|10|0|0|10|60,05|", "11111111000191");
  stage.Stage("|M200|0,20|0,05|0|0,15|0|0|0,15|0|0|0|0|0,15|", "11111111000272");
  stage.Stage("|M200|0,01|0|0|0,01|0|0|0,01|0|0|0|0|0,01|", "11111111000353");
  stage.Stage("|M205|08|691201|50,05|", "11111111000191");
  stage.Stage("|M205|08|691201|0,15|", "11111111000272");
  stage.Stage("|M205|12|217201|10|", "11111111000191");
  stage.Stage("|M110|A|0,1|01||AJUSTE|01012011|", "11111111000191");
  stage.Stage("|M110|A|0,2|01|77|OUTRO|01012011|", "11111111000272");

  const std::vector<std::string> lines = stage.Unify();
  EXPECT_EQ(LinesOf(lines, "M200"),
            std::vector<std::string>{"|M200|100,31|50,1|0|50,21|0|0|50,21|10|0|0|10|60,21|"});
  EXPECT_EQ(Sorted(LinesOf(lines, "M205")),
            (std::vector<std::string>{"|M205|08|691201|50,2|", "|M205|12|217201|10|"}));
  // Adjustments are grouped by kind, code and date; document and description are dropped.
  EXPECT_EQ(LinesOf(lines, "M110"), std::vector<std::string>{"|M110|A|0,3|01|||01012011|"});
  EXPECT_EQ(stage.Count("M200"), 1);
  EXPECT_EQ(stage.Count("M205"), 2);
}

// One contribution line per code and rate: standard-rate lines of all files
// merge under the standard rate text, other rates keep their own line and text.
TEST(BlockM, ContributionLinesKeepTheirRates) {
  BlockMStage stage;
  stage.Stage("|M001|0|");
  stage.Stage("|M210|01|1000|1000|0|0|1000|1,65|||16,5|0|0|0|0|16,5|", "11111111000191");
  stage.Stage("|M210|01|200,5|200,5|0|0|200,5|1,6500|||3,31|0|0|0|0|3,31|", "11111111000272");
  stage.Stage("|M210|51|500|500|0|0|500|0,65|||3,25|0|0|0|0|3,25|", "11111111000191");
  stage.Stage("|M210|51|500|500|0|0|500|0,65|||3,25|0|0|0|0|3,25|", "11111111000272");
  stage.Stage("|M210|02|100|100|0|0|100|2,2|||2,2|0|0|0|0|2,2|", "11111111000191");
  stage.Stage("|M210|02|100|100|0|0|100|1,8|||1,8|0|0|0|0|1,8|", "11111111000272");
  stage.Stage("|M210|03|10|0|0|0|0||1000,5|0,8|800,4|0|0|0|0|800,4|", "11111111000191");
  stage.Stage("|M210|03|5|0|0|0|0||500|0,8|400|0|0|0|0|400|", "11111111000272");
  stage.Stage("|M610|01|1000|1000|0|0|1000|7,6|||76|0|0|0|0|76|", "11111111000191");
  stage.Stage("|M610|01|200,5|200,5|0|0|200,5|7,60|||15,24|0|0|0|0|15,24|", "11111111000272");
  stage.Stage("|M610|51|500|500|0|0|500|3,00|||15|0|0|0|0|15|", "11111111000191");

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
  EXPECT_EQ(stage.Count("M210"), 5);
  EXPECT_EQ(stage.Count("M610"), 2);
}

// Credits are summed per credit type; the balance is what the period did not use.
TEST(BlockM, CreditsAndTheirBalance) {
  BlockMStage stage;
  stage.Stage("|M001|0|");
  stage.Stage("|M100|101|0|600|1,65|||9,9|0|0|0|60,5|0|60,5|0|", "11111111000191");
  stage.Stage("|M100|101|0|400|1,65|||6,6|0|0|0|39,5|0|39,5|0|", "11111111000272");
  stage.Stage("|M100|201|0|4000|1,65|||66|1|0|0|70,01|1|30|40,01|", "11111111000191");
  stage.Stage("|M100|201|0|2000|1,65|||33|0|0,5|0|29,99|1|10|19,99|", "11111111000272");
  stage.Stage("|M500|101|0|1000|7,6|||76|0|0|0|76|0|20|56|", "11111111000191");
  stage.Stage("|M105|01|50|1000|0|1000|1000||||TEXTO|", "11111111000191");
  stage.Stage("|M105|01|50|500,5|0|500,5|500,5||||OUTRO|", "11111111000272");

  const std::vector<std::string> lines = stage.Unify();
  EXPECT_EQ(Sorted(LinesOf(lines, "M100")),
            (std::vector<std::string>{
                "|M100|101|0|1000|1,65|||16,5|0|0|0|100|0|100|0|",
                "|M100|201|0|6000|1,65|||99|1|0,5|0|100|1|40|60|",
            }));
  EXPECT_EQ(LinesOf(lines, "M500"),
            std::vector<std::string>{"|M500|101|0|1000|7,60|||76|0|0|0|76|1|20|56|"});
  // The partial base and quantities of the merged base are left out, quantity written as 0.
  EXPECT_EQ(LinesOf(lines, "M105"),
            std::vector<std::string>{"|M105|01|50|1500,5||1500,5|1500,5||0||"});
}

// Every M400 line is followed by the M410 lines of its CST; the CST is a
// staged text and enters the statement quoted.
TEST(BlockM, ReceiptDetailsFollowEachLineOfTheirCst) {
  BlockMStage stage;
  stage.Stage("|M001|0|");
  stage.Stage("|M400|06|1000|3.01.01|X|", "11111111000191");
  stage.Stage("|M400|06|500|3.01.02||", "11111111000272");
  stage.Stage("|M410|401|600|3.01.01|A|", "11111111000191", "06");
  stage.Stage("|M410|401|900|3.01.01||", "11111111000272", "06");
  stage.Stage("|M410|999|5|3.01.01||", "11111111000191", "07");
  stage.Stage("|M800|0'6|10|4||", "11111111000191");
  stage.Stage("|M810|401|10|4||", "11111111000191", "0'6");

  const std::vector<std::string> lines = stage.Unify();
  std::vector<std::string> pis(lines.begin() + 1, lines.begin() + 5);
  ASSERT_EQ(Codes(pis), (std::vector<std::string>{"M400", "M410", "M400", "M410"}));
  EXPECT_EQ(Sorted({pis[0], pis[2]}),
            (std::vector<std::string>{"|M400|06|1000|3.01.01||", "|M400|06|500|3.01.02||"}));
  EXPECT_EQ(pis[1], "|M410|401|1500|3.01.01||");
  EXPECT_EQ(pis[3], "|M410|401|1500|3.01.01||");
  EXPECT_EQ(LinesOf(lines, "M800"), std::vector<std::string>{"|M800|0'6|10|4||"});
  EXPECT_EQ(LinesOf(lines, "M810"), std::vector<std::string>{"|M810|401|10|4||"});
  EXPECT_EQ(stage.Count("M410"), 2);
  EXPECT_EQ(stage.Count("M810"), 1);
}

// The block comes in file order, one opener, the closer counting every line.
TEST(BlockM, OrderOpenerAndCloser) {
  BlockMStage stage;
  stage.Stage("|M001|1|", "11111111000191");
  stage.Stage("|M001|1|", "11111111000272");
  const char* kLines[] = {
      "|M100|101|0|100|1,65|||1,65|0|0|0|1,65|0|1,65|0|", "|M105|01|50|100|0|100|100||||x|",
      "|M110|A|1|01||x|01012011|", "|M200|1|0|0|1|0|0|1|0|0|0|0|1|", "|M205|08|691201|1|",
      "|M210|01|100|100|0|0|100|1,65|||1,65|0|0|0|0|1,65|", "|M400|06|1|3||",
      "|M500|101|0|100|7,60|||7,6|0|0|0|7,6|0|7,6|0|", "|M505|01|50|100|0|100|100||||x|",
      "|M510|A|1|01||x|01012011|", "|M600|1|0|0|1|0|0|1|0|0|0|0|1|", "|M605|08|585601|1|",
      "|M610|01|100|100|0|0|100|7,60|||7,6|0|0|0|0|7,6|", "|M800|06|1|3||"};
  for (const char* line : kLines) stage.Stage(line);
  stage.Stage("|M410|401|1|3||", "11111111000191", "06");
  stage.Stage("|M810|401|1|3||", "11111111000191", "06");

  const std::vector<std::string> lines = stage.Unify();
  EXPECT_EQ(Codes(lines), (std::vector<std::string>{"M001", "M100", "M105", "M110", "M200", "M205",
                                                    "M210", "M400", "M410", "M500", "M505", "M510",
                                                    "M600", "M605", "M610", "M800", "M810",
                                                    "M990"}));
  EXPECT_EQ(lines.front(), "|M001|0|");
  EXPECT_EQ(lines.back(), "|M990|18|");
  EXPECT_EQ(stage.Count("M001"), 1);
  EXPECT_EQ(stage.Count("M990"), 1);
  EXPECT_EQ(stage.Count("9999"), 18);
}

TEST(BlockM, WithoutDataOnlyOpenerAndCloser) {
  BlockMStage stage;
  stage.Stage("|M001|0|", "11111111000191");
  stage.Stage("|M001|0|", "11111111000272");
  stage.Stage("|M410|401|1|3||", "11111111000191", "06");  // a detail without parent is not written
  EXPECT_EQ(stage.Unify(), (std::vector<std::string>{"|M001|1|", "|M990|2|"}));
}
