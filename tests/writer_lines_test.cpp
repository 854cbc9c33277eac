// Output lines and their counters: line expressions, lines from "Linha" or
// from the layout, openers that tell whether their block holds lines, and the
// counters of ###Registros.
#include <gtest/gtest.h>

#include "blocks/block_statement.h"
#include "blocks/registry.h"
#include "staging/resources.h"
#include "staging/run_state.h"
#include "staging/ui_ports.h"
#include "tests/support/test_run.h"
#include "tests/support/wizard_fakes.h"
#include "tests/support/writer_support.h"

TEST(WriterLineExpr, LinkColumnsThenConcatenatedFields) {
  Objeto_Collection l0001 = BlockLayout(TestRun(), "0001");
  EXPECT_EQ(md_BuildLineExpr("0001", &l0001), "Id_CNPJ,'|' + Reg + '|' + Ind_Mov + '|'  {NAMECOL} ");
  Objeto_Collection l0140 = BlockLayout(TestRun(), "0140");
  EXPECT_EQ(md_BuildLineExpr("0140", &l0140),
            "Id_CNPJ,'|' + Reg + '|' + CAST(Cod_Est AS VARCHAR(MAX)) + '|' + Nome + '|' + CNPJ + '|' + "
            "UF + '|' + IE + '|' + Cod_Mun + '|' + IM + '|' + Suframa + '|'  {NAMECOL} ");
  Objeto_Collection l0205 = BlockLayout(TestRun(), "0205");
  EXPECT_EQ(md_BuildLineExpr("0205", &l0205).rfind("Id_CNPJ,ID,'|' + Reg + '|' + ", 0), 0u);
  EXPECT_EQ(md_BuildLineExpr("0001", nullptr), "*");
}

class WriterLines : public ::testing::Test {
 protected:
  StagingDatabase db;
  TempFolder dir;
};

TEST_F(WriterLines, LinhaColumnOrLayoutFieldsOrNull) {
  StoreLine("|0001|0|", "111");
  StoreLine("|0150|P1||1058|||||RUA|||||", "111");
  Objeto_Collection l0001 = BlockLayout(TestRun(), "0001");
  Objeto_Collection l0150 = BlockLayout(TestRun(), "0150");
  auto lines = WriteAndRead(dir.File("a.txt"), [&] {
    auto rs = TestRun().connection->Execute("SELECT Id_CNPJ,'|' + Reg + '|' + Ind_Mov + '|'   AS Linha  FROM ###0001 ");
    md_WriteLine(TestRun(), "0001", *rs, l0001);
    auto all = TestRun().connection->Execute("SELECT * FROM ###0150");  // no Linha: composed from the layout
    md_WriteLine(TestRun(), "0150", *all, l0150);
    auto null = TestRun().connection->Execute("SELECT NULL AS Linha FROM ###0001");
    md_WriteLine(TestRun(), "0001", *null, l0001);
  });
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "|0001|0|");
  EXPECT_EQ(lines[1], "|0150|P1||1058|||||RUA|||||");
  EXPECT_EQ(lines[2], "|0001||") << "a NULL line keeps the record's shape with empty fields";
}

// Before, the notice of a NULL line named the program's function
// (".md_WriteLine()") as its place.
TEST_F(WriterLines, ANullLineIsNamedInWords) {
  StoreLine("|0001|0|", "111");
  Objeto_Collection l0001 = BlockLayout(TestRun(), "0001");
  RecordingMessages messages;
  TestRun().ports.errors = &messages;
  WriteAndRead(dir.File("a.txt"), [&] {
    auto null = TestRun().connection->Execute("SELECT NULL AS Linha FROM ###0001");
    md_WriteLine(TestRun(), "0001", *null, l0001);
  });
  TestRun().ports.errors = nullptr;
  EXPECT_EQ(messages.errors,
            std::vector<std::string>{"gravação do arquivo unificado: Linha nula no registro 0001: gravada com os campos vazios"});
}

TEST_F(WriterLines, OpenerTellsWhetherItsBlockHoldsLines) {
  StoreLine("|C001|1|", "111");
  Objeto_Collection layout = BlockLayout(TestRun(), "C001");
  std::string sql = "SELECT TOP(1) " + ReplaceAll(md_BuildLineExpr("C001", &layout), "{NAMECOL}", " AS Linha ") +
                    " FROM ###C001 ";
  auto lines = WriteAndRead(dir.File("a.txt"), [&] {
    md_WriteOpener(TestRun(), "C001", *TestRun().connection->Execute(sql), layout, true);
    md_WriteOpener(TestRun(), "C001", *TestRun().connection->Execute(sql), layout, false);
    md_WriteOpener(TestRun(), "C001", *TestRun().connection->Execute("SELECT * FROM ###C001"), layout, true);
  });
  EXPECT_EQ(lines, (std::vector<std::string>{"|C001|0|", "|C001|1|", "|C001|0|"}));
}

TEST_F(WriterLines, CountersOfRecordCodesTotalAndBlockNine) {
  md_AddRecordCount(TestRun(), "C170", 5);
  md_AddRecordCount(TestRun(), "C170", 0);
  md_AddRecordCount(TestRun(), "0150", 2);
  EXPECT_EQ(CounterOf("C170"), 5);
  EXPECT_EQ(CounterOf("9999"), 7);
  // Two 9900 lines raise the 9900 and 9990 counters by two, besides md_AddRecordCount.
  Objeto_Collection layout = BlockLayout(TestRun(), "9900");
  WriteAndRead(dir.File("a.txt"), [&] {
    auto rs = TestRun().connection->Execute(
        "SELECT '9900' AS Reg, Reg AS Reg_Blc, QtdeReg AS Qtd_Reg_Blc FROM ###Registros WHERE (QtdeReg > 0) "
        "AND (Reg <> '9999')");
    for (; !rs->Eof(); rs->MoveNext()) md_WriteLine(TestRun(), "9900", *rs, layout);
  });
  EXPECT_EQ(CounterOf("9900"), 2);
  EXPECT_EQ(CounterOf("9990"), 2);
  EXPECT_EQ(CounterOf("9999"), 7);
}

TEST_F(WriterLines, HighestValueOfAColumn) {
  EXPECT_EQ(md_MaxCodEst(TestRun()), "0") << "empty table";
  StoreLine("|0140|5|A|11111111000191|CE|1|2|||", "111");
  StoreLine("|0140|12|B|11111111000272|CE|1|2|||", "111");
  EXPECT_EQ(md_MaxCodEst(TestRun()), "12");
  EXPECT_EQ(md_MaxColumn(TestRun(), "0140", "Cod_Est"), "12");
}
