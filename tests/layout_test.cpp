// Layouts: the collection's rules and the invariants every record layout keeps.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <set>

#include "blocks/registry.h"
#include "staging/layout.h"
#include "staging/catalogue_layouts.h"
#include "staging/layout_spec.h"
#include "staging/record_catalogue.h"
#include "staging/text.h"
#include "tests/support/test_run.h"

TEST(ObjetoCollection, ItemByPositionAndKeyNeverThrows) {
  Objeto_Collection c;
  c.Add("Reg", "String", std::string(), 1);
  c.Add("Id_CNPJ", "String", std::string(), -1);
  EXPECT_EQ(c.Count(), 2);
  EXPECT_EQ(c.Item(3), nullptr);
  EXPECT_EQ(c.Item(0), nullptr);
  EXPECT_EQ(c.Item(2)->Nome_Campo, "Id_CNPJ");
  EXPECT_EQ(c.Item("1")->Nome_Campo, "Reg");
  EXPECT_EQ(c.Item("-1"), nullptr);  // Key -1 is reachable by position only
  EXPECT_EQ(c.Item("7"), nullptr);
}

TEST(ObjetoCollection, KeyFindsFieldIndependentlyOfPosition) {
  Objeto_Collection c;
  c.Add("A", "String", std::string(), -1);
  c.Add("B", "String", std::string(), 7);
  EXPECT_EQ(c.Item("7")->Nome_Campo, "B");
  EXPECT_THROW(c.Add("C", "String", std::string(), 7), std::invalid_argument);
  EXPECT_EQ(c.Count(), 2);
  c.Add("D", "String", std::string(), 0);  // no key
  c.Remove("7");
  EXPECT_EQ(c.Count(), 2);
  c.Remove(1);
  EXPECT_EQ(c.Item(1)->Nome_Campo, "D");
}

TEST(CamposCollection, LetNeverWritesThroughReference) {
  std::string runState = "41";
  Objeto_Collection c;
  Campos_Collection& f = c.Add("ID", "Integer", &runState, -1, "mask");
  EXPECT_TRUE(f.Mask.empty());
  EXPECT_EQ(f.Valor_Campo(), "41");
  runState = "42";
  EXPECT_EQ(f.Valor_Campo(), "42");
  f.LetValor_Campo("7");
  EXPECT_EQ(f.Valor_Campo(), "7");
  EXPECT_EQ(runState, "42");
  EXPECT_FALSE(f.HoldsReference());
}

TEST(Layouts, EveryLayoutKeepsTheInvariants) {
  int tables = 0, children = 0;
  std::set<std::string> codes;
  for (const BlockEntry& block : BlockTable()) {
    for (const LayoutSpec& spec : block.layouts()) {
      SCOPED_TRACE(spec.code);
      ++tables;
      EXPECT_TRUE(codes.insert(spec.code).second);
      EXPECT_EQ(spec.code[0], block.letter);
      if (!spec.pkIdentity) ++children;
      Objeto_Collection layout = BuildLayout(TestRun(), block.layouts(), spec.code);
      bool seenLine = false, hasIdCnpj = false;
      int next = 1;
      for (const Campos_Collection& f : layout) {
        if (f.Nome_Campo == "Id_CNPJ") hasIdCnpj = true;
        if (f.Key > 0) {
          seenLine = true;
          EXPECT_EQ(f.Key, next++);
        } else {
          EXPECT_FALSE(seenLine) << "link column after a line field: " << f.Nome_Campo;
          EXPECT_EQ(f.Key, -1);
        }
      }
      EXPECT_EQ(layout.Item("1")->Nome_Campo, "Reg");
      EXPECT_EQ(hasIdCnpj, std::string(spec.code) != "0000");
    }
  }
  // Every record of the layout has its table (Block M: those its module stages).
  const int blockM = static_cast<int>(FindBlock('M')->layouts().size());
  EXPECT_EQ(tables - blockM,
            static_cast<int>(Layout006().Records().size() - Layout006().BlockRecords('M').size()));
  // 19 child layouts of the first version, plus 0205 linked to its 0200; every
  // record added since has its own identity.
  EXPECT_EQ(children, 20);
}

TEST(Layouts, UnknownCodesGiveEmptyLayouts) {
  for (const char* code : {"", "0000 ", "c100", "C999", "A200"}) {
    const BlockEntry* block = FindBlock(code[0] == 'c' || !code[0] ? 'C' : code[0]);
    ASSERT_NE(block, nullptr);
    Objeto_Collection layout = BuildLayout(TestRun(), block->layouts(), code);
    EXPECT_EQ(layout.Count(), 0) << code;
    EXPECT_FALSE(layout.IsPkIdentity());
  }
  EXPECT_EQ(BuildLayout(TestRun(), FindBlock('C')->layouts(), "C110").Count(), 6);  // Id_CNPJ, ID, Id_Arquivo and three fields
  EXPECT_EQ(FindAnyLayout("M410")->LineFieldCount(), 5);
  EXPECT_EQ(FindAnyLayout("0200")->LineFieldCount(), 12);
  EXPECT_EQ(FindAnyLayout("C500")->LineFieldCount(), 15);
}

// Each layout's line fields are the catalogue's, in its order, spelled by the
// spelling table: the same name but for case, except the six columns that have
// always been named otherwise.
TEST(Layouts, LineFieldsAreTheCataloguesModuloSpelling) {
  const std::map<std::string, std::string> renamed = {
      {"0100 END", "Ende"},         {"0150 END", "Ende"},       {"0205 DT_FIM", "Dt_Fin"},
      {"C170 DESCR_COMPL", "Desc_Com_PL"}, {"D100 TP_CT-e", "TP_CT_e"},
      {"M500 VL_CRED_DIFER", "VL_Cred_Dif"}};
  int checked = 0;
  for (const CatalogueRecord& r : Layout006().Records()) {
    SCOPED_TRACE(r.code);
    const LayoutSpec* spec = FindAnyLayout(r.code);
    if (r.block == 'M' && !spec) continue;  // the records Block M does not stage
    ASSERT_NE(spec, nullptr);
    std::vector<const FieldSpec*> line;
    for (const FieldSpec& f : spec->fields)
      if (f.key > 0) line.push_back(&f);
    ASSERT_EQ(line.size(), r.fields.size());
    for (size_t i = 0; i < line.size(); ++i) {
      const CatalogueField& cf = r.fields[i];
      EXPECT_EQ(line[i]->key, cf.number);
      EXPECT_EQ(line[i]->name, ColumnSpelling(r.code, cf.name));
      auto it = renamed.find(r.code + " " + cf.name);
      if (it != renamed.end())
        EXPECT_EQ(line[i]->name, it->second);
      else
        EXPECT_EQ(UpperLatin1(line[i]->name), UpperLatin1(cf.name));
      for (char c : line[i]->name)
        EXPECT_TRUE(std::isalnum(static_cast<unsigned char>(c)) || c == '_') << line[i]->name;
      ++checked;
    }
  }
  EXPECT_GE(checked, 1712 - 300);
}

// Records staged since the first version keep their link columns; the others
// carry Id_CNPJ, their own identity and, below a record of level 2 or deeper,
// ID_Pai. Every record's rows name their input file (Id_Arquivo, INT).
TEST(Layouts, LinkColumnsFollowTheConvention) {
  for (const CatalogueRecord& r : Layout006().Records()) {
    if (const LayoutSpec* any = FindAnyLayout(r.code)) {
      const auto file = std::find_if(any->fields.begin(), any->fields.end(),
                                     [](const FieldSpec& f) { return f.name == "Id_Arquivo"; });
      ASSERT_NE(file, any->fields.end()) << r.code;
      EXPECT_TRUE(file->integer && file->key == -1) << r.code;
    }
    if (StagedLinks(r.code)) continue;
    SCOPED_TRACE(r.code);
    const LayoutSpec* spec = FindAnyLayout(r.code);
    if (r.block == 'M' && !spec) continue;
    ASSERT_NE(spec, nullptr);
    EXPECT_TRUE(spec->pkIdentity);
    const bool underRecord = r.parent && r.parent->level >= 2;
    ASSERT_EQ(spec->fields[0].name, "Id_CNPJ");
    EXPECT_EQ(spec->fields[1].name == "ID_Pai", underRecord);
    EXPECT_EQ(ParentLinkColumn(r.code), underRecord ? "ID_Pai" : "");
  }
  EXPECT_EQ(ParentLinkColumn("C170"), "ID");
  EXPECT_EQ(ParentLinkColumn("C405"), "IDECF");
  EXPECT_EQ(ParentLinkColumn("C481"), "IDCaixa");
  EXPECT_EQ(ParentLinkColumn("D105"), "ID");
  EXPECT_EQ(ParentLinkColumn("C100"), "");
  EXPECT_EQ(ParentLinkColumn("0150"), "");
  EXPECT_EQ(ParentLinkColumn("0206"), "ID_Pai");
  EXPECT_EQ(ParentLinkColumn("0145"), "ID_Pai");
}
