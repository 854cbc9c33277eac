// Progress: the labels of each bar and the fill percentage.
#include <gtest/gtest.h>

#include "staging/ui_ports.h"

namespace {
ProgressEvent Event(int kind, std::string_view text, double done, double total) {
  ProgressEvent e;
  e.kind = kind;
  e.text = text;
  e.done = done;
  e.total = total;
  return e;
}
}  // namespace

TEST(ProgressLabel, TextOfEveryBar) {
  // Between imports the import bar says what it waits for, without counts.
  EXPECT_EQ(Event(0, "Aguardando Próximo arquivo...", 0, 0).Label(), "Aguardando Próximo arquivo...");
  EXPECT_EQ(Event(0, "Arquivo: matriz.txt", 12, 3400).Label(), "Arquivo: matriz.txt (12/3400) Registros...");
  EXPECT_EQ(Event(1, "Unificando Bloco C...", 3, 9).Label(), "Unificando Bloco C... (3/9)");
  EXPECT_EQ(Event(2, "", 0, 0).Label(), "Empresas (0/0) => ");
  EXPECT_EQ(Event(3, "C100", 5, 20).Label(), "Registros (5/20) => C100");
  EXPECT_EQ(Event(4, "C170", 1000000, 2500000).Label(), "Registros Interno (1000000/2500000) => C170");
  EXPECT_EQ(Event(7, "x", 1, 2).Label(), "");
}

TEST(ProgressPercent, WholeAndClampedNeverDividingByZero) {
  EXPECT_EQ(Event(3, "", 5, 20).Percent(), 25);
  EXPECT_EQ(Event(0, "", 0, 0).Percent(), 0);
  EXPECT_EQ(Event(0, "", 0, 7).Percent(), 0);
  EXPECT_EQ(Event(0, "", 3, 0).Percent(), 100);  // something done of no total
  EXPECT_EQ(Event(0, "", 1, 8).Percent(), 13);   // 12.5 rounds away from zero
  EXPECT_EQ(Event(0, "", 1, 3).Percent(), 33);
  EXPECT_EQ(Event(0, "", 11, 10).Percent(), 100);
  EXPECT_EQ(Event(0, "", -1, 10).Percent(), 0);
}
