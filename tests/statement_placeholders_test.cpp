// Values taken from input files never pass through the statement templates:
// a CNPJ, a code or a name holding "{TOP}", "{COLUMNS}", "{NAMECOL}",
// "{SELECTSUM}" or "{Tipo}" reaches the merged file as it is and changes no
// statement.
#include <gtest/gtest.h>

#include "blocks/block_statement.h"
#include "blocks/bloco0.h"
#include "staging/run_state.h"
#include "tests/support/test_run.h"
#include "tests/support/block_m_support.h"
#include "tests/support/writer_support.h"

namespace {

const std::vector<std::string> kPlaceholders = {"{TOP}", "{COLUMNS}", "{NAMECOL}", "{SELECTSUM}",
                                                "{Tipo}"};

}  // namespace

TEST(StatementPlaceholders, ReplacedOutsideQuotedValuesOnly) {
  EXPECT_EQ(ReplaceAll("SELECT {TOP} {COLUMNS} FROM ###0150 WHERE (Id_CNPJ = '{COLUMNS}''{TOP}')", "{COLUMNS}",
                       "Reg"),
            "SELECT {TOP} Reg FROM ###0150 WHERE (Id_CNPJ = '{COLUMNS}''{TOP}')");
  EXPECT_EQ(ReplaceAll("'it''s' {TOP} 'x'", "{TOP}", "TOP(1)"), "'it''s' TOP(1) 'x'");
  EXPECT_EQ(ReplaceAll("{TOP}{TOP}", "{TOP}", "{TOP}"), "{TOP}{TOP}") << "a replacement is not read again";
}

// A CNPJ is compared as a number only when a 64-bit integer holds it; any
// other text is quoted and escaped.
TEST(StatementPlaceholders, CnpjOperandQuotesWhatIsNotANumber) {
  EXPECT_EQ(CnpjOperand("00012345000195"), "00012345000195");
  EXPECT_EQ(CnpjOperand("123456789012345678"), "123456789012345678");
  EXPECT_EQ(CnpjOperand("1234567890123456789"), "'1234567890123456789'");
  EXPECT_EQ(CnpjOperand("12.345'678"), "'12.345''678'");
  EXPECT_EQ(CnpjOperand(""), "''");
}

// Before, an establishment CNPJ holding a placeholder was expanded inside the
// condition that selects its participants, units, items and texts: they were
// silently left out, or the statement broke.
TEST(StatementPlaceholders, EstablishmentCnpjsHoldingPlaceholdersKeepTheirRecords) {
  StagingDatabase db;
  TempFolder dir;
  const std::string head = "11111111000191";
  StoreLines({"|0000|006|0|||01012024|31012024|EMPRESA|" + head + "|CE|2304400||00|0|", "|0001|0|"}, head);
  int code = 1;
  for (const std::string& p : kPlaceholders) {
    const std::string cnpj = "1111" + p;
    StoreLines({"|0140|" + std::to_string(code++) + "|LOJA|" + cnpj + "|CE|1|2304400|||",
                "|0150|" + p + "|NOME " + p + "|1058|||||RUA|1||||", "|0190|" + p + "|UNIDADE|",
                "|0200|" + p + "|ITEM " + p + "||||UN|00||||||", "|0205|" + p + "|01012024|31012024|X|",
                "|0450|" + p + "|TEXTO|"},
               cnpj);
  }
  bool single = false;
  std::vector<std::string> lines = WriteAndRead(dir.File("b0.txt"), [&] { Bloco0::md_UnifyBlock(TestRun(), single); });
  for (const char* reg : {"0140", "0150", "0190", "0200", "0205", "0450"})
    EXPECT_EQ(LinesOf(lines, reg).size(), kPlaceholders.size()) << reg;
  for (const std::string& p : kPlaceholders)
    EXPECT_NE(std::find(lines.begin(), lines.end(), "|0150|" + p + "|NOME " + p + "|1058|||||RUA|1||||"),
              lines.end())
        << p;
}

// The CST that selects M410 / M810 rows enters the statement quoted; before,
// a CST holding "{TOP}" or "{Tipo}" was expanded there.
TEST(StatementPlaceholders, BlockMCstHoldingPlaceholdersSelectsItsOwnDetails) {
  block_m::BlockMStage stage;
  std::vector<std::string> file = {"|M001|0|"};
  for (const std::string& p : kPlaceholders) {
    file.push_back("|M400|" + p + "|100|3.01.01||");
    file.push_back("|M410|401|100|3.01.01||");
  }
  stage.StageFile("11111111000191", file);
  const std::vector<std::string> lines = stage.Unify();
  EXPECT_EQ(LinesOf(lines, "M400").size(), kPlaceholders.size());
  EXPECT_EQ(LinesOf(lines, "M410").size(), kPlaceholders.size());
}
