// How imported lines are stored: openers and closers once, de-duplicated
// records, the links of child rows to their parents, and the stored text.
#include <gtest/gtest.h>

#include "blocks/registry.h"
#include "staging/record_catalogue.h"
#include "staging/resources.h"
#include "staging/run_state.h"
#include "tests/support/import_support.h"

namespace {

const std::string kMatriz = "11111111000191";
const std::string kFilial = "11111111000272";

std::vector<std::string> File(const std::string& cnpj, std::vector<std::string> body) {
  std::vector<std::string> lines{HeaderLine(cnpj), "|0001|0|"};
  lines.insert(lines.end(), body.begin(), body.end());
  lines.insert(lines.end(), {"|0990|9|", "|C001|0|", "|C990|2|", "|M001|0|", "|M990|2|", "|9001|0|",
                             "|9900|0000|1|", "|9990|3|", "|9999|20|"});
  return lines;
}

}  // namespace

TEST(Loading, OpenersAndClosersOnceDocumentsOfEveryFile) {
  ImportStage s;
  ASSERT_EQ(s.Import(s.Write("m.txt", File(kMatriz, {EstablishmentLine("1", kMatriz),
                                                      "|0110|1|1|1||", "|0100|CONTADOR|12345678901|"}))),
            ImportOutcome::Imported);
  ASSERT_EQ(s.Import(s.Write("f.txt", File(kFilial, {EstablishmentLine("1", kFilial), "|0110|1|1|1||",
                                                      "|0100|CONTADOR|12345678901|"}))),
            ImportOutcome::Imported);
  for (const char* once : {"0000", "0001", "0990", "C001", "C990", "M001", "M990", "9001", "9990", "9999",
                           "0110", "0100"})
    EXPECT_EQ(s.Count(once), 1u) << once;
  EXPECT_EQ(s.Column("0000", "CNPJ"), std::vector<std::string>{kMatriz});
  EXPECT_EQ(s.Column("9900", "Id_CNPJ"), (std::vector<std::string>{kMatriz, kFilial}));
  EXPECT_EQ(s.Column("0140", "Id_CNPJ"), (std::vector<std::string>{kMatriz, kFilial}));
  EXPECT_TRUE(s.messages.errors.empty());
}

TEST(Loading, AccountantStoredOncePerCpfAndTaxRegimeMustAgree) {
  ImportStage s;
  s.NoHeadOfficeCheck();
  ASSERT_EQ(s.Import(s.Write("m.txt", File(kMatriz, {"|0100|A|111|", "|0100|B|222|", "|0110|1|1|1||"}))),
            ImportOutcome::Imported);
  s.messages.shown.clear();
  // A later file of another incidence or apportionment method cannot join:
  // its import fails naming both values, and nothing of it is stored.
  ASSERT_EQ(s.Import(s.Write("f.txt", File(kFilial, {"|0100|C|333|", "|0110|2|1|1||"}))), ImportOutcome::Failed);
  ASSERT_EQ(s.messages.shown.size(), 1u);
  EXPECT_NE(s.messages.shown[0].text.find("COD_INC_TRIB 2 (Matriz: 1)"), std::string::npos)
      << s.messages.shown[0].text;
  EXPECT_EQ(s.Column("0100", "CPF"), (std::vector<std::string>{"111", "222"}));
  ASSERT_EQ(s.Import(s.Write("g.txt", File(kFilial, {"|0110|1|2|1||"}))), ImportOutcome::Failed);
  EXPECT_NE(s.messages.shown.back().text.find("IND_APRO_CRED 2 (Matriz: 1)"), std::string::npos);
  s.messages.shown.clear();
  // A known CPF is not stored again, a new one once (not once per stored row);
  // a 0110 that differs only in the contribution type is reported and not stored.
  ASSERT_EQ(s.Import(s.Write("h.txt", File(kFilial, {"|0100|A|111|", "|0100|C|333|", "|0110|1|1|2||"}))),
            ImportOutcome::Imported);
  EXPECT_EQ(s.Column("0100", "CPF"), (std::vector<std::string>{"111", "222", "333"}));
  EXPECT_EQ(s.Column("0110", "Cod_Inc_Trib"), std::vector<std::string>{"1"});
  // Before, only "O registro 0110 DIFERE!": now the file, field and both values.
  int differs = 0;
  for (const ShownMessage& m : s.messages.shown)
    if (m.text.ends_with("h.txt: o registro 0110 informa COD_TIPO_CONT \"2\" (primeiro arquivo: \"1\"); o arquivo "
                         "unificado leva o registro 0110 do primeiro arquivo.") &&
        m.icon == MsgIcon::Critical)
      ++differs;
  EXPECT_EQ(differs, 1);
  // The rest of the file was imported.
  EXPECT_EQ(s.Count("9900"), 2u);
}

// Before, a later file's header was left out without a word, also when it
// was a rectifying file (TIPO_ESCRIT 1, NUM_REC_ANTERIOR) or declared another
// legal nature or activity; now those fields are named with both values. A
// branch's own name and place are not compared.
TEST(Loading, ALaterHeaderThatDiffersInTheCompanysFieldsIsNamed) {
  ImportStage s;
  s.NoHeadOfficeCheck();
  ASSERT_EQ(s.Import(s.Write("m.txt", File(kMatriz, {"|0110|1|1|1||"}))), ImportOutcome::Imported);
  std::vector<std::string> same = File(kFilial, {"|0110|1|1|1||"});
  same[0].replace(same[0].find("|EMPRESA TESTE|"), 15, "|FILIAL|").replace(same[0].find("|SP|"), 4, "|RJ|");
  ASSERT_EQ(s.Import(s.Write("f.txt", same)), ImportOutcome::Imported);
  s.messages.shown.clear();
  std::vector<std::string> other = File("11111111000353", {"|0110|1|1|1||"});
  other[0] = "|0000|006|1||RECIBO1|01012020|31012020|EMPRESA TESTE|11111111000353|SP|3550308||01|2|";
  ASSERT_EQ(s.Import(s.Write("g.txt", other)), ImportOutcome::Imported);
  ASSERT_EQ(s.messages.shown.size(), 1u);
  EXPECT_TRUE(s.messages.shown[0].text.ends_with(
      "g.txt: o registro 0000 informa TIPO_ESCRIT \"1\" (primeiro arquivo: \"0\"), NUM_REC_ANTERIOR \"RECIBO1\" "
      "(primeiro arquivo: \"\"), IND_NAT_PJ \"01\" (primeiro arquivo: \"00\"), IND_ATIV \"2\" (primeiro arquivo: "
      "\"0\"); o arquivo unificado leva o registro 0000 do primeiro arquivo."))
      << s.messages.shown[0].text;
  EXPECT_EQ(s.Count("0000"), 1u);
}

// Accounts are all staged: the writer keeps one per DT_ALT, COD_CTA and COD_CTA_REF.
TEST(Loading, UnitsPerCompanyEveryAccountStaged) {
  ImportStage s;
  ASSERT_EQ(s.Import(s.Write("m.txt", File(kMatriz, {"|0190|UN|UNIDADE|", "|0190|un |UNIDADE|", "|0190|KG|QUILO|",
                                                      "|0190|P'%|PE\xC7" "A|", "|0190|P'%|PE\xC7" "A|",
                                                      "|0500|01012020|01|A|1|1.1|CONTA||"}))),
            ImportOutcome::Imported);
  ASSERT_EQ(s.Import(s.Write("f.txt", File(kFilial, {"|0190|UN|UNIDADE|", "|0500|01012020|01|A|1|1.1|CONTA||",
                                                      "|0500|01012020|01|A|1|1.2|OUTRA||"}))),
            ImportOutcome::Imported);
  EXPECT_EQ(s.Rows("SELECT Id_CNPJ, Unid FROM ###0190 ORDER BY ID"),
            (std::vector<std::vector<std::string>>{{kMatriz, "UN"}, {kMatriz, "KG"}, {kMatriz, "P'%"}, {kFilial, "UN"}}));
  EXPECT_EQ(s.Column("0500", "Cod_Cta"), (std::vector<std::string>{"1.1", "1.1", "1.2"}));
  EXPECT_TRUE(s.messages.errors.empty());
}

TEST(Loading, ChildRowsLinkToTheirParents) {
  ImportStage s;
  const std::string c100 = "|C100|0|1|P1|55|00|1|1||01012020|01012020|10,00|0|0|0|10,00|0|0|0|0|0|0|0|0|0|0|0|0|0|";
  const std::string c170 = "|C170|1|I1||1|UN|10,00|0|0|000|1102||0|0|0|0|0|0||0|0|0|0|0|0|50|10,00|1,65|||0,17|50|10,00|7,6|||0,76||";
  ASSERT_EQ(s.Import(s.Write("m.txt", File(kMatriz, {
      "|C010|" + kMatriz + "|1|", c170 /* before any parent */, c100, c170, c170, c100, c170,
      "|0200|I1|ITEM UM|||UN|00|||||||", "|0205|ANTIGA|01012019|31122019||",
      "|C400|2D|ECF|123|1|", "|C405|01012020|1|1|1|100|100|", "|C481|01|100|0|0|0|0|0|I1||",
      "|C490|01012020|31012020|02|", "|C491|I1|01|5102|100|100|0|1,65|||1,65||",
      "|M400|06|100|1.1|", "|M410|999|100|1.1||", "|M800|07|100|1.1|", "|M810|999|100|1.1||"}))),
            ImportOutcome::Imported);
  auto c100ids = s.Column("C100", "ID");
  ASSERT_EQ(c100ids.size(), 2u);
  EXPECT_EQ(s.Column("C170", "ID"), (std::vector<std::string>{"0", c100ids[0], c100ids[0], c100ids[1]}));
  EXPECT_EQ(s.Column("0205", "ID"), s.Column("0200", "ID"));
  EXPECT_EQ(s.Column("C405", "IDECF"), s.Column("C400", "ID"));
  EXPECT_EQ(s.Rows("SELECT IDECF, IDCaixa FROM ###C481"),
            (std::vector<std::vector<std::string>>{{s.Column("C400", "ID")[0], s.Column("C405", "ID")[0]}}));
  EXPECT_EQ(s.Column("C491", "ID"), s.Column("C490", "ID"));
  EXPECT_EQ(s.Column("M410", "CST"), std::vector<std::string>{"06"});
  EXPECT_EQ(s.Column("M810", "CST"), std::vector<std::string>{"07"});
  EXPECT_TRUE(s.messages.errors.empty());
}

TEST(Loading, TextIsUpperCasedTrimmedAndStoredAsItIs) {
  ImportStage s;
  ASSERT_EQ(s.Import(s.Write("m.txt", File(kMatriz, {
      "|0150|P1| a\xE7\xE3o |1058||||||RUA D'AVILA; --DROP|50%_[x]|||",
  }))), ImportOutcome::Imported);
  EXPECT_EQ(s.Rows("SELECT Nome, Ende, Num FROM ###0150"),
            (std::vector<std::vector<std::string>>{{"A\xC7\xC3O", "RUA D'AVILA; --DROP", "50%_[X]"}}));
  EXPECT_TRUE(s.messages.errors.empty());
}

TEST(Loading, ShortLinesStoredWithEmptyFieldsLongLinesCutBothReported) {
  ImportStage s;
  ASSERT_EQ(s.Import(s.Write("m.txt", File(kMatriz, {"|0110|1|1|1|", "|0110|1|1|1|", "|0150|P1|NOME|",
                                                      "|0001|0|extra|"}))),
            ImportOutcome::Imported);
  EXPECT_EQ(s.Rows("SELECT Cod_Inc_Trib, Cod_Tipo_Cont, Ind_Reg_Cum FROM ###0110"),
            (std::vector<std::vector<std::string>>{{"1", "1", ""}}));
  EXPECT_EQ(s.Rows("SELECT Nome, Cod_Pais, Ende FROM ###0150"),
            (std::vector<std::vector<std::string>>{{"NOME", "", ""}}));
  EXPECT_EQ(s.form->m_LinhasCurtas["0110"], 2);
  EXPECT_EQ(s.form->m_LinhasCurtas["0150"], 1);
  EXPECT_EQ(s.form->m_LinhasLongas["0001"], 1);
  auto shown = s.TakeMessages();
  ASSERT_EQ(shown.size(), 3u);  // once per code, after the file
  EXPECT_NE(shown[0].find("0110"), std::string::npos);
  EXPECT_NE(shown[0].find("2 "), std::string::npos);
  EXPECT_TRUE(s.messages.errors.empty());
}

TEST(Loading, DroppedLinesAreCountedPerCode) {
  ImportStage s;
  ASSERT_EQ(s.Import(s.Write("m.txt", File(kMatriz, {"|0035|X|Y|Z|", "|0400|N|NAT|", "|A100|0|", "|A100|1|",
                                                      "|X123|1|", "|c100|0|", "", "sem barras"}))),
            ImportOutcome::Imported);
  EXPECT_EQ(s.form->m_Descartados,
            (std::map<std::string, int64_t>{{"X123", 1}, {"c100", 1}}));
  EXPECT_EQ(s.Count("0400"), 1u);  // every record of the layout is stored
  EXPECT_EQ(s.Count("A100"), 2u);
  EXPECT_EQ(s.Count("0035"), 1u);
  EXPECT_EQ(s.Count("C100"), 0u);
  // Codes outside the layout are told with where their first line was.
  EXPECT_EQ(s.form->m_ForaDoLeiaute,
            (std::map<std::string, std::string>{{"X123", "m.txt, linha 7"}, {"c100", "m.txt, linha 8"}}));
  RunResult r;
  r.dropped = {{"1100", 3}, {"X123", 2}};
  r.unknownFirstLine = {{"X123", "m.txt, linha 7"}};
  EXPECT_EQ(DroppedCodesText(r), "1100 (3), X123 (2; fora do leiaute 006, primeira: m.txt, linha 7)");
}

TEST(InsertTable, BoundValuesStoredAsWrittenAndFailuresReportedNotThrown) {
  ImportStage s;
  s.form->Run().currentCNPJ = "O'C";
  s.form->Run().currentParentID.clear();
  s.form->Run().BeginStagedFile();
  // Values are bound, quotes and all: trimmed and upper-cased, but for codes.
  Objeto_Collection l0001 = BuildLayout(s.form->Run(), FindBlock('0')->layouts(), "0001");
  EXPECT_TRUE(md_InsertTable(s.form->Run(), "|0001| x'y |", "0001", l0001));
  EXPECT_EQ(s.Rows("SELECT Id_CNPJ, Id_Arquivo, Reg, Ind_Mov FROM ###0001"),
            (std::vector<std::vector<std::string>>{{"O'C", "1", "0001", "X'Y"}}));
  // A child before any parent links to 0; the identity column of a parent is not sent.
  Objeto_Collection c170 = BuildLayout(s.form->Run(), FindBlock('C')->layouts(), "C170");
  // C170 is only carried: staged whole, one text of the fields as their columns
  // would hold them (trimmed, upper-cased but for codes), every field of the
  // layout present.
  EXPECT_TRUE(md_InsertTable(s.form->Run(), "|C170|1| it'em ;--| caixa \xe7\xe3o |", "C170", c170));
  EXPECT_EQ(s.Column("C170", "ID"), std::vector<std::string>{"0"});
  const size_t c170Fields = Layout006().Find("C170")->fields.size();
  EXPECT_EQ(s.Column("C170", "Linha"),
            std::vector<std::string>{"|C170|1|it'em ;--|CAIXA \xc7\xc3O|" + std::string(c170Fields - 4, '|')});
  // A table that does not exist: reported, kept in s.form->Run().lastError, nothing thrown.
  EXPECT_FALSE(md_InsertTable(s.form->Run(), "|ZZZZ|1|", "ZZZZ", l0001));
  ASSERT_EQ(s.messages.errors.size(), 1u);
  EXPECT_NE(s.messages.errors[0].find(".md_InsertTable()"), std::string::npos);
  EXPECT_FALSE(s.form->Run().lastError.empty());
  Objeto_Collection empty;
  EXPECT_FALSE(md_InsertTable(s.form->Run(), "|0001|0|", "0001", empty));
  EXPECT_EQ(s.Count("0001"), 1u);
}

// A file with two establishments: every line belongs to the establishment it
// sits under (0140's CNPJ for 0140's children, C010's for Block C), and a
// record added since the first version links to the nearest row of its parent
// code (ID_Pai).
TEST(Loading, EachLineLinksToItsOwnEstablishmentAndParent) {
  ImportStage s;
  std::vector<std::string> lines{HeaderLine(kMatriz), "|0001|0|", EstablishmentLine("1", kMatriz),
                                 "|0150|P1|NOME 1|1058||||||RUA|1|||", "|0200|I1|ITEM 1||||00||||||",
                                 "|0206|COMB1|", EstablishmentLine("2", kFilial),
                                 "|0150|P2|NOME 2|1058||||||RUA|1|||", "|0200|I2|ITEM 2||||00||||||",
                                 "|0206|COMB2|", "|0990|9|", "|C001|0|", "|C010|" + kMatriz + "|1|",
                                 "|C100|0|1|P1|55|00|1|1||01012020|01012020|10,00|0|0|0|10,00|9|0|0|0|0|0|0|0|0|0|0|0|0|",
                                 "|C111|PROC1|1|", "|C170|1|I1||1|UN|10,00|0|0|00|5102||0|0|0|0|0|0|0||||0|0|0|01|10,00|1,65|||0,17|01|10,00|7,60|||0,76||",
                                 "|C010|" + kFilial + "|1|",
                                 "|C100|0|1|P2|55|00|1|2||01012020|01012020|20,00|0|0|0|20,00|9|0|0|0|0|0|0|0|0|0|0|0|0|",
                                 "|C111|PROC2|1|", "|C990|9|", "|M001|0|", "|M990|2|", "|9001|0|",
                                 "|9900|0000|1|", "|9990|3|", "|9999|20|"};
  ASSERT_EQ(s.Import(s.Write("m.txt", lines)), ImportOutcome::Imported);
  EXPECT_EQ(s.Rows("SELECT Id_CNPJ, Cod_Part FROM ###0150 ORDER BY ID"),
            (std::vector<std::vector<std::string>>{{kMatriz, "P1"}, {kFilial, "P2"}}));
  EXPECT_EQ(s.Rows("SELECT Id_CNPJ, ID_Pai, Cod_Comb FROM ###0206 ORDER BY ID"),
            (std::vector<std::vector<std::string>>{{kMatriz, "1", "COMB1"}, {kFilial, "2", "COMB2"}}));
  EXPECT_EQ(s.Column("C100", "Id_CNPJ"), (std::vector<std::string>{kMatriz, kFilial}));
  EXPECT_EQ(s.Rows("SELECT Id_CNPJ, ID_Pai, Linha FROM ###C111 ORDER BY ID"),
            (std::vector<std::vector<std::string>>{{kMatriz, "1", "|C111|PROC1|1|"}, {kFilial, "2", "|C111|PROC2|1|"}}));
  EXPECT_EQ(s.Rows("SELECT Id_CNPJ, ID FROM ###C170"), (std::vector<std::vector<std::string>>{{kMatriz, "1"}}));
}

// Every staged row carries the number of its input file. The parts of one
// CNPJ share Id_CNPJ but not Id_Arquivo, and a number is not given again in
// the run: after a removal the remaining part is imported again under a new one.
TEST(Loading, EveryPartOfOneCnpjKeepsItsOwnFileNumber) {
  ImportStage s;
  s.SameCnpj();
  auto part = [&](const std::string& name, const std::string& revenue) {
    return s.Write(name, File(kMatriz, {EstablishmentLine("1", kMatriz), "|0111|" + revenue + "|0|0|0|" + revenue + "|"}));
  };
  ASSERT_EQ(s.Import(part("parte1.txt", "100")), ImportOutcome::Imported);
  ASSERT_EQ(s.Import(part("parte2.txt", "200")), ImportOutcome::Imported);
  EXPECT_EQ(s.Rows("SELECT Id_CNPJ, Id_Arquivo, Rec_Bru_NCum_Trib_Mi FROM ###0111 ORDER BY ID"),
            (std::vector<std::vector<std::string>>{{kMatriz, "1", "100"}, {kMatriz, "2", "200"}}));
  EXPECT_EQ(s.Column("0140", "Id_Arquivo"), (std::vector<std::string>{"1", "2"}));
  EXPECT_EQ(s.Column("0000", "Id_Arquivo"), std::vector<std::string>{"1"});
  ASSERT_TRUE(s.form->RemoveFile(0));
  EXPECT_EQ(s.Rows("SELECT Id_Arquivo, Rec_Bru_NCum_Trib_Mi FROM ###0111 ORDER BY ID"),
            (std::vector<std::vector<std::string>>{{"3", "200"}}));
}
