// Tokenizing, the shape look-up key and the text functions of the staging
// database, tested below the connection.
#include <gtest/gtest.h>

#include "staging/database.h"
#include "staging/sqlite/sqlite_functions.h"
#include "staging/sqlite/tsql_lexer.h"
#include "staging/sqlite/tsql_parser.h"

namespace {

// The literal scan that keys the statement cache must find exactly the
// literals the tokenizer finds, or bound values would land in wrong places.
TEST(SqlShapes, ScanFindsTheTokenizersLiterals) {
  const char* texts[] = {
      "INSERT INTO ###C170(Id_CNPJ,ID,Reg) VALUES ('0123','17','C170')",
      "SELECT N'a''b', 'it''s', '', .5, 1.5, 2e3, 7 FROM ###T1 WHERE Cod_Est2 = 3",
      "SELECT [we'ird 1], \"q'2\" FROM t -- it's a comment 5\n WHERE a = 'x' /* 'y' 6 */ AND b=-4",
      "SELECT TOP(1) Reg,(CAST(REPLACE(QtdeReg,',','.') AS FLOAT) + 1) AS Qtd_Lin FROM ###Registros WHERE (Reg = '9999')",
      "SELECT x FROM t WHERE IN'a' = 1ex",
      "SELECT lst.5, a.b, ROUND(x, 3) FROM t",
  };
  for (const char* sql : texts) {
    tsql::Lexed lexed;
    std::vector<tsql::Literal> scanned;
    tsql::OwnedTexts owned;
    std::string shape, error;
    ASSERT_TRUE(tsql::Lex(sql, lexed, error)) << sql << ": " << error;
    ASSERT_TRUE(tsql::ScanLiterals(sql, scanned, owned, shape, error)) << sql << ": " << error;
    ASSERT_EQ(lexed.literals.size(), scanned.size()) << sql;
    for (size_t i = 0; i < scanned.size(); ++i) {
      EXPECT_EQ(lexed.literals[i].kind, scanned[i].kind) << sql << " literal " << i;
      EXPECT_EQ(lexed.literals[i].value, scanned[i].value) << sql << " literal " << i;
    }
  }
  std::vector<tsql::Literal> lits;
  tsql::OwnedTexts owned;
  std::string a, b, error;
  ASSERT_TRUE(tsql::ScanLiterals("UPDATE ###Registros SET QtdeReg = QtdeReg + 5 WHERE (Reg = 'C170')", lits, owned, a, error));
  ASSERT_TRUE(tsql::ScanLiterals("UPDATE ###Registros SET QtdeReg = QtdeReg + 12 WHERE (Reg = 'D''X')", lits, owned, b, error));
  EXPECT_EQ(a, b);
  EXPECT_EQ(lits[1].value, "D'X");
  // A literal of another kind is another shape: its translation differs.
  ASSERT_TRUE(tsql::ScanLiterals("UPDATE ###Registros SET QtdeReg = QtdeReg + '12' WHERE (Reg = 'D''X')", lits, owned, b, error));
  EXPECT_NE(a, b);
  EXPECT_FALSE(tsql::ScanLiterals("SELECT 'open", lits, owned, a, error));
}

TEST(SqlShapes, SameShapeWithOtherLiteralsGivesTheirOwnResults) {
  auto db = CreateConnection("memory");
  db->Open();
  db->Execute("CREATE TABLE ###T(ID INT IDENTITY(1,1), A VARCHAR(MAX), N INT)");
  db->Execute("INSERT INTO ###T(A,N) VALUES ('x','1')");
  db->Execute("INSERT INTO ###T(A,N) VALUES ('it''s','')");
  db->Execute("INSERT INTO ###T(A,N) VALUES ('z', 3)");  // a number into INT: another shape
  auto rs = db->Execute("SELECT A, N + 10 AS M FROM ###T WHERE (ID = 2)");
  EXPECT_EQ(rs->Column(0).AsText(), "it's");
  EXPECT_EQ(rs->Column(1).AsInt(), 10);
  rs = db->Execute("SELECT A, N + 10 AS M FROM ###T WHERE (ID = 3)");
  EXPECT_EQ(rs->Column(0).AsText(), "z");
  EXPECT_EQ(rs->Column(1).AsInt(), 13);
  EXPECT_EQ(rs->Column(1).kind(), Value::Kind::Int);
  rs = db->Execute("SELECT TOP(2) A FROM ###T ORDER BY ID DESC");
  EXPECT_EQ(rs->RecordCount(), 2);
  rs = db->Execute("SELECT TOP(1) A FROM ###T ORDER BY ID DESC");
  EXPECT_EQ(rs->RecordCount(), 1);
  rs = db->Execute("SELECT ROUND(2.675, 2) AS r, ROUND(1250, -2) AS h, ROUND(-0.0005, 3) AS n");
  EXPECT_EQ(rs->Column(0).AsDouble(), 2.68);
  EXPECT_EQ(rs->Column(1).AsInt(), 1300);
  EXPECT_EQ(rs->Column(2).AsDouble(), -0.001);
  EXPECT_THROW(db->Execute("SELECT CAST(1234567.0 AS FLOAT) + 'x' AS bad"), DatabaseError);
}

TEST(SqlCollation, CaseAndAccentsOfTheSingleByteCodePage) {
  using tsql::CompareText;
  EXPECT_EQ(CompareText("a\xE7\xE3o", "A\xC7\xC3O"), 0);  // ação = AÇÃO
  EXPECT_EQ(CompareText("abc  ", "ABC"), 0);
  EXPECT_NE(CompareText(" abc", "abc"), 0);
  EXPECT_NE(CompareText("a", "\xE1"), 0);                 // accents count
  EXPECT_LT(CompareText("a", "\xE1"), 0);
  EXPECT_LT(CompareText("\xC1rvore", "Bola"), 0);         // Árvore before Bola
  EXPECT_LT(CompareText("Ab", "\xC1" "c"), 0);
  EXPECT_LT(CompareText("ab", "abc"), 0);
  EXPECT_EQ(CompareText("\x9A\xFF", "\x8A\x9F"), 0);       // šÿ = ŠŸ
  EXPECT_TRUE(tsql::LikeMatch("12345678000195", "%0001%"));
  EXPECT_FALSE(tsql::LikeMatch("12345678000295", "%0001%"));
  EXPECT_TRUE(tsql::LikeMatch("A\xC7\xC3O", "_\xE7[\xE3\xE1]o"));
  EXPECT_TRUE(tsql::LikeMatch("50%", "50[%]"));
  EXPECT_FALSE(tsql::LikeMatch("500", "50[%]"));
  EXPECT_TRUE(tsql::LikeMatch("b", "[^a]"));
  EXPECT_FALSE(tsql::LikeMatch("", "_"));
  EXPECT_TRUE(tsql::LikeMatch("", "%"));
}

TEST(SqlSums, DecimalSumIsExact) {
  tsql::DecimalSum sum;
  for (int i = 0; i < 10; ++i) EXPECT_TRUE(sum.AddText("0.1"));
  EXPECT_EQ(sum.Result(), 1.0);
  EXPECT_TRUE(sum.AddText(" -1.0 "));
  EXPECT_TRUE(sum.AddText(""));
  EXPECT_EQ(sum.Result(), 0.0);
  EXPECT_FALSE(sum.AddText("1,5"));
  EXPECT_FALSE(sum.AddText("abc"));
  EXPECT_FALSE(sum.AddText("-"));
  tsql::DecimalSum big;
  EXPECT_TRUE(big.AddText("99999999999999999.99"));
  EXPECT_TRUE(big.AddText("0.01"));
  EXPECT_EQ(big.Result(), 1e17);
}

}  // namespace
