// Layouts: the collection's rules and the invariants every record layout keeps.
#include <gtest/gtest.h>

#include <set>

#include "blocks/registry.h"
#include "staging/layout.h"
#include "staging/layout_spec.h"

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
  for (const BlockModule& block : BlockModules()) {
    for (const LayoutSpec& spec : block.layouts()) {
      SCOPED_TRACE(spec.code);
      ++tables;
      EXPECT_TRUE(codes.insert(spec.code).second);
      EXPECT_EQ(spec.code[0], block.letter);
      if (!spec.pkIdentity) ++children;
      Objeto_Collection layout = BuildLayout(block.layouts(), spec.code);
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
  // 77 record tables of the eight original modules, plus I001/I990/P001/P990.
  EXPECT_EQ(tables, 81);
  // 19 child layouts, plus 0205 now linked to its 0200.
  EXPECT_EQ(children, 20);
}

TEST(Layouts, UnknownCodesGiveEmptyLayouts) {
  for (const char* code : {"", "0000 ", "c100", "M300", "A100"}) {
    const BlockModule* block = FindBlock(code[0] == 'c' || !code[0] ? 'C' : code[0]);
    ASSERT_NE(block, nullptr);
    Objeto_Collection layout = BuildLayout(block->layouts(), code);
    EXPECT_EQ(layout.Count(), 0) << code;
    EXPECT_FALSE(layout.IsPkIdentity());
  }
  EXPECT_EQ(BuildLayout(FindBlock('C')->layouts(), "C110").Count(), 5);
  EXPECT_EQ(FindAnyLayout("M410")->LineFieldCount(), 5);
  EXPECT_EQ(FindAnyLayout("0200")->LineFieldCount(), 12);
  EXPECT_EQ(FindAnyLayout("C500")->LineFieldCount(), 15);
}
