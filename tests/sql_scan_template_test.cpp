// Statement patterns: a statement matched against one scanned earlier must
// get exactly the literals and shape a full scan gives it, or its values
// would be bound to another statement's translation.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "staging/database.h"
#include "staging/sqlite/tsql_lexer.h"

namespace {

struct Scan {
  bool ok = false;
  std::string shape;
  std::vector<std::string> values;
  std::vector<tsql::TokKind> kinds;
  tsql::ScanTemplate pattern;
};

Scan FullScan(const std::string& sql) {
  Scan s;
  std::vector<tsql::Literal> lits;
  tsql::OwnedTexts owned;
  std::string error;
  s.ok = tsql::ScanLiterals(sql, lits, owned, s.shape, error, &s.pattern.spans);
  s.pattern.text = sql;
  for (const auto& l : lits) {
    s.values.emplace_back(l.value);
    s.kinds.push_back(l.kind);
  }
  return s;
}

// Matches `sql` against the pattern of `pattern`; on a match, the result
// must be the full scan's. Returns whether it matched.
bool MatchesLikeAFullScan(const std::string& pattern, const std::string& sql) {
  Scan p = FullScan(pattern);
  EXPECT_TRUE(p.ok) << pattern;
  std::vector<tsql::Literal> lits;
  tsql::OwnedTexts owned;
  if (!tsql::MatchTemplate(p.pattern, sql, lits, owned)) return false;
  Scan full = FullScan(sql);
  EXPECT_TRUE(full.ok) << sql;
  EXPECT_EQ(full.shape, p.shape) << pattern << " matched " << sql;
  EXPECT_EQ(full.values.size(), lits.size()) << sql;
  for (size_t i = 0; i < lits.size() && i < full.values.size(); ++i) {
    EXPECT_EQ(full.values[i], lits[i].value) << sql << " literal " << i;
    EXPECT_EQ(full.kinds[i], lits[i].kind) << sql << " literal " << i;
  }
  return true;
}

TEST(SqlScanTemplate, OtherLiteralsInTheSamePlacesMatch) {
  EXPECT_TRUE(MatchesLikeAFullScan("INSERT INTO ###C170(Reg,ID) VALUES ('C170','17')",
                                   "INSERT INTO ###C170(Reg,ID) VALUES ('IT''S ''Q''','')"));
  EXPECT_TRUE(MatchesLikeAFullScan("SELECT  ID,'|' + Reg + '|' AS Linha FROM ###C190 WHERE (ID = 5)",
                                   "SELECT  ID,'|' + Reg + '|' AS Linha FROM ###C190 WHERE (ID = 123456)"));
  EXPECT_TRUE(MatchesLikeAFullScan("SELECT N'a', .5, 1.5, 2e3 FROM t", "SELECT n'', .25, 10.0, 7E+1 FROM t"));
  EXPECT_TRUE(MatchesLikeAFullScan("SELECT ID FROM ###C010 ORDER BY ID ASC", "SELECT ID FROM ###C010 ORDER BY ID ASC"));
  EXPECT_TRUE(MatchesLikeAFullScan("SELECT 1 FROM t -- 'x' 2\n WHERE a = 'b'", "SELECT 9 FROM t -- 'x' 2\n WHERE a = ''"));
}

TEST(SqlScanTemplate, AnythingElseFallsBackToAFullScan) {
  const char* cases[][2] = {
      {"SELECT x FROM t WHERE a = 5", "SELECT x FROM t WHERE a = 5.5"},      // another kind
      {"SELECT x FROM t WHERE a = 5 AND", "SELECT x FROM t WHERE a = 5e3 AND"},
      {"SELECT x FROM t WHERE a = 5", "SELECT x FROM t WHERE a = 5 ORDER BY x"},
      {"SELECT x FROM t WHERE a = 5", "SELECT x FROM t WHERE a = 'b'"},
      {"SELECT lst.5 FROM t", "SELECT lst5 FROM t"},                          // a name, no literal
      {"SELECT lst.5 FROM t", "SELECT lst5.5 FROM t"},                        // a name, then .5
      {"SELECT a.b, .5 FROM t", "SELECT a.b, x5 FROM t"},
      {"SELECT N'a' FROM t", "SELECT 'a' FROM t"},
      {"SELECT 'a' FROM t", "SELECT N'a' FROM t"},
      {"SELECT 'a', 'b' FROM t", "SELECT 'a'', ''b' FROM t"},                 // one literal, not two
      {"SELECT 'a' FROM t", "SELECT 'a FROM t"},                              // unterminated
      {"SELECT 'a' FROM t", "SELECT 'a' FROM u"},
      {"INSERT INTO ###C170(Reg) VALUES ('x')", "INSERT INTO ###C190(Reg) VALUES ('x')"},
      {"SELECT 1", "SELECT 1 "},
      {"SELECT 1", ""},
  };
  for (const auto& c : cases) EXPECT_FALSE(MatchesLikeAFullScan(c[0], c[1])) << c[0] << " / " << c[1];
}

// Every pair of a set of look-alike statements: a match, whenever it happens,
// agrees with the full scan.
TEST(SqlScanTemplate, LookAlikesNeverMatchWrongly) {
  const std::vector<std::string> texts = {
      "SELECT a FROM t WHERE b = 12",  "SELECT a FROM t WHERE b = 1.2", "SELECT a FROM t WHERE b = .12",
      "SELECT a FROM t WHERE b = 1e2", "SELECT a FROM t WHERE b = '12'", "SELECT a FROM t WHERE b = N'12'",
      "SELECT a FROM t WHERE b = x12", "SELECT a FROM t WHERE b = t.12", "SELECT a FROM t WHERE b = t12",
      "SELECT a FROM t WHERE bN'1'",   "SELECT a FROM t WHERE b N'1'",  "SELECT a FROM t WHERE b = 12 --'\n",
      "SELECT a FROM t WHERE b = -12", "SELECT a FROM t WHERE b = --12\n1",
  };
  for (const auto& a : texts)
    for (const auto& b : texts) MatchesLikeAFullScan(a, b);
}

// Through the connection: statements found by their pattern bind their own values.
TEST(SqlScanTemplate, RepeatedStatementsGiveTheirOwnValues) {
  auto db = CreateConnection("memory");
  db->Open();
  db->Execute("CREATE TABLE ###T(ID INT IDENTITY(1,1), A VARCHAR(MAX), N INT)");
  for (int i = 1; i <= 300; ++i)
    db->Execute("INSERT INTO ###T(A,N) VALUES ('v" + std::to_string(i) + (i % 7 ? "" : "''q") + "','" +
                std::to_string(i) + "')");
  for (int i : {1, 7, 299, 14}) {
    auto rs = db->Execute("SELECT A, N + 1 AS M FROM ###T WHERE (ID = " + std::to_string(i) + ")");
    ASSERT_FALSE(rs->Eof());
    EXPECT_EQ(rs->Column(0).AsText(), "v" + std::to_string(i) + (i % 7 ? "" : "'q"));
    EXPECT_EQ(rs->Column(1).AsInt(), i + 1);
  }
  // A result read in chunks outlives the text it was given: its literals too.
  auto all = db->Execute(std::string("SELECT A FROM ###T WHERE (A >= '") + "v2" + "') ORDER BY ID ASC");
  std::vector<std::string> reuse(64, std::string(200, 'z'));  // likely to land on the freed text
  int k = 0;
  for (; !all->Eof(); all->MoveNext()) ++k;
  EXPECT_EQ(k, 189);  // v2..v9, v20..v99, v200..v300
  EXPECT_EQ(all->RecordCount(), 189);
}

// Values stay bound between runs of a prepared statement and are bound again
// only when they change: a value going back and forth, and two results of one
// statement read at the same time, each keep their own.
TEST(SqlScanTemplate, BoundValuesFollowEachRun) {
  auto db = CreateConnection("memory");
  db->Open();
  db->Execute("CREATE TABLE ###T(ID INT IDENTITY(1,1), A VARCHAR(MAX), N INT)");
  for (int i = 1; i <= 600; ++i)
    db->Execute("INSERT INTO ###T(A,N) VALUES ('" + std::string(i % 2 ? "x" : "") + "','" + std::to_string(i) + "')");
  auto count = [&](const std::string& a) {
    auto rs = db->Execute("SELECT ID FROM ###T WHERE (A = '" + a + "') AND (N > 0)");
    return rs->RecordCount();
  };
  EXPECT_EQ(count("x"), 300);
  EXPECT_EQ(count(""), 300);
  EXPECT_EQ(count("x"), 300);
  EXPECT_EQ(count("y"), 0);
  auto above = [&](int n) { return db->Execute("SELECT N FROM ###T WHERE (N > " + std::to_string(n) + ") ORDER BY ID ASC"); };
  auto first = above(10);   // streamed: holds its statement
  auto second = above(550);
  EXPECT_EQ(first->RecordCount(), 590);
  EXPECT_EQ(second->RecordCount(), 50);
  EXPECT_EQ(first->Column(0).AsInt(), 11);
  EXPECT_EQ(second->Column(0).AsInt(), 551);
  int k = 0;
  for (; !first->Eof(); first->MoveNext()) ++k;
  EXPECT_EQ(k, 590);
  // Counts of results read in chunks: a plain select is counted without its
  // columns; TOP and grouping are counted as written.
  EXPECT_EQ(db->Execute("SELECT TOP(300) N FROM ###T WHERE (N > 10) ORDER BY ID ASC")->RecordCount(), 300);
  EXPECT_EQ(db->Execute("SELECT N, COUNT(*) AS C FROM ###T GROUP BY N")->RecordCount(), 600);
  EXPECT_EQ(db->Execute("SELECT A + '|' AS L FROM ###T WHERE (N <= 400) ORDER BY ID ASC")->RecordCount(), 400);
}

}  // namespace
