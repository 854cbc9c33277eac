// The SQLite staging backend beyond single statements: targets, results
// walked while the database changes, identities, transactions, exact sums.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>

#include "staging/database.h"
#include "staging/recording_backend.h"
#include "staging/sqlite/sqlite_connection.h"

namespace {

std::unique_ptr<DatabaseConnection> OpenDb(const std::string& target = "memory") {
  auto db = CreateConnection(target);
  db->Open();
  return db;
}

TEST(SqlBackendTargets, FileTargetIsFreshAndRemovedOnClose) {
  auto dir = std::filesystem::temp_directory_path() / ("quelvar_sql_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  std::string path = (dir / "staging.db").string();
  {
    auto db = OpenDb("sqlite:" + path);
    db->Execute("CREATE TABLE ###T(ID INT IDENTITY(1,1), A VARCHAR(MAX))");
    EXPECT_TRUE(std::filesystem::exists(path));
    EXPECT_NE(db->Describe().find(path), std::string::npos);
    db->Close();
    EXPECT_FALSE(std::filesystem::exists(path));
    db->Close();  // idempotent
  }
  {  // the destructor removes it too
    auto db = OpenDb("sqlite:" + path);
    db->Execute("CREATE TABLE ###T(A INT)");
  }
  EXPECT_FALSE(std::filesystem::exists(path));
  // An existing file is never taken over, nor removed.
  std::ofstream(path) << "somebody's data";
  {
    auto db = CreateConnection("sqlite:" + path);
    EXPECT_THROW(db->Open(), DatabaseError);
  }
  EXPECT_TRUE(std::filesystem::exists(path));
  std::filesystem::remove_all(dir);
}

TEST(SqlBackendTargets, TemporaryDatabasesArePrivateAndOtherTargetsRefused) {
  auto a = OpenDb("");
  auto b = OpenDb("sqlite");
  a->Execute("CREATE TABLE ###Registros(ID INT IDENTITY(1,1), Bloco NVARCHAR(MAX),Reg NVARCHAR(MAX),QtdeReg NVARCHAR(MAX))");
  b->Execute("CREATE TABLE ###Registros(ID INT IDENTITY(1,1), Bloco NVARCHAR(MAX),Reg NVARCHAR(MAX),QtdeReg NVARCHAR(MAX))");
  try {
    CreateConnection("postgres://x");
    FAIL();
  } catch (const DatabaseError& e) {
    EXPECT_NE(std::string(e.what()).find("postgres://x"), std::string::npos);
  }
  auto closed = CreateConnection("memory");
  EXPECT_THROW(closed->Execute("SELECT 1"), DatabaseError);
}

// A bound insert stores what the quoted T-SQL text of the same row stores,
// byte for byte and type for type (INT columns given texts included), and
// numbers identities as the text path does.
TEST(SqlBackendBoundInsert, StoresWhatTheQuotedTextStores) {
  auto db = OpenDb();
  for (const char* t : {"###A", "###B"})
    db->Execute(std::string("CREATE TABLE ") + t + "(ID INT IDENTITY(1,1),Num INT,Txt VARCHAR(MAX),Cod VARCHAR(MAX))");
  const std::vector<std::string> columns{"Num", "Txt", "Cod"};
  const std::vector<std::vector<std::string_view>> rows{
      {"0", "", "F1"},  {"12", "1,65", "f1"},        {"", "O'C", "'; DELETE FROM ###A;--"},
      {"-3", "AÇÃO", "x y"}, {"007", "  ", "0,00"}, {"214748364", "\n", "''"},
  };
  BoundInsert& bound = db->Insert("###B", columns);
  for (const auto& row : rows) {
    db->Execute(InsertStatementText("###A", columns, row));
    bound.Add(row);
  }
  EXPECT_EQ(db->LastIdentity("###B"), static_cast<int64_t>(rows.size()));
  auto a = db->Execute("SELECT ID, Num, Txt, Cod FROM ###A ORDER BY ID");
  auto b = db->Execute("SELECT ID, Num, Txt, Cod FROM ###B ORDER BY ID");
  ASSERT_EQ(a->RecordCount(), static_cast<int64_t>(rows.size()));
  ASSERT_EQ(b->RecordCount(), a->RecordCount());
  for (size_t r = 0; r < rows.size(); ++r, a->MoveNext(), b->MoveNext()) {
    for (int c = 0; c < 4; ++c) {
      EXPECT_EQ(b->Column(c).kind(), a->Column(c).kind()) << "row " << r << " column " << c;
      EXPECT_EQ(b->Column(c).AsText(), a->Column(c).AsText()) << "row " << r << " column " << c;
    }
    EXPECT_EQ(b->Column(3).TextRef(), rows[r][2]);  // texts kept as given, quotes and all
  }
  EXPECT_EQ(db->Execute("SELECT COUNT(*) FROM ###A")->Column(0).AsInt(), static_cast<int64_t>(rows.size()));
}

// Bound rows are held and stored in batches: whatever the number of rows
// (one batch and a part, many batches), a parent's identity is the one its
// row is stored with, any other statement sees every row added before it,
// and rows of one table keep the order they were given in, from two inserts too.
TEST(SqlBackendBoundInsert, HeldRowsAreStoredInOrderWithTheirIdentities) {
  for (int parents : {1, 7, 64, 65, 200}) {
    SCOPED_TRACE("parents " + std::to_string(parents));
    auto db = OpenDb("");
    db->Execute("CREATE TABLE ###C100(ID INT IDENTITY(1,1),Id_CNPJ VARCHAR(MAX),Num VARCHAR(MAX))");
    db->Execute("CREATE TABLE ###C170(ID INT,Id_CNPJ VARCHAR(MAX),Num VARCHAR(MAX))");
    db->Execute("BEGIN TRANSACTION");
    BoundInsert& c100 = db->Insert("###C100", {"Id_CNPJ", "Num"});
    BoundInsert& c170 = db->Insert("###C170", {"ID", "Id_CNPJ", "Num"});
    BoundInsert& c170Short = db->Insert("###C170", {"ID", "Num"});  // the same table through another insert
    for (int p = 1; p <= parents; ++p) {
      c100.Add({"1", std::to_string(p)});
      const std::string id = std::to_string(db->LastIdentity("###C100"));
      EXPECT_EQ(id, std::to_string(p));
      for (int k = 1; k <= p % 4; ++k) c170.Add({id, "1", std::to_string(p) + "." + std::to_string(k)});
      if (p % 5 == 0) c170Short.Add({id, std::to_string(p) + ".x"});
    }
    // A read between rows sees them all.
    EXPECT_EQ(db->Execute("SELECT COUNT(*) FROM ###C100")->Column(0).AsInt(), parents);
    c100.Add({"1", "last"});
    EXPECT_EQ(db->LastIdentity("###C100"), parents + 1);
    db->Execute("COMMIT TRANSACTION");
    auto rows = db->Execute("SELECT ID, Num FROM ###C100 ORDER BY ID");
    for (int p = 1; p <= parents; ++p, rows->MoveNext()) {
      ASSERT_FALSE(rows->Eof());
      EXPECT_EQ(rows->Column(0).AsInt(), p);
      EXPECT_EQ(rows->Column(1).AsText(), std::to_string(p));
    }
    EXPECT_EQ(rows->Column(1).AsText(), "last");
    // Children in the order given (the table's own row order), each under its parent.
    std::string expected, got;
    for (int p = 1; p <= parents; ++p) {
      for (int k = 1; k <= p % 4; ++k) expected += std::to_string(p) + ":" + std::to_string(p) + "." + std::to_string(k) + " ";
      if (p % 5 == 0) expected += std::to_string(p) + ":" + std::to_string(p) + ".x ";
    }
    for (auto c = db->Execute("SELECT ID, Num FROM ###C170"); !c->Eof(); c->MoveNext())
      got += c->Column(0).AsText() + ":" + c->Column(1).AsText() + " ";
    EXPECT_EQ(got, expected);
  }
}

// A row refused is reported by the Add that gave it, as a statement, whatever
// rows are held before it; those are kept and the refused row takes no
// identity. After a ROLLBACK the rows held are gone and the next identities
// are SQLite's own again.
TEST(SqlBackendBoundInsert, RefusedRowsAndRollbackAmongHeldRows) {
  auto db = OpenDb("");
  db->Execute("CREATE TABLE ###C100(ID INT IDENTITY(1,1),Num INT,Txt VARCHAR(MAX))");
  BoundInsert& c100 = db->Insert("###C100", {"Num", "Txt"});
  db->Execute("BEGIN TRANSACTION");
  for (int i = 1; i <= 100; ++i) c100.Add({std::to_string(i), "a"});  // batched after the first 64
  try {
    c100.Add({"1x", "b"});
    FAIL() << "a text that is no number must not go into an INT column";
  } catch (const DatabaseError& e) {
    EXPECT_NE(std::string(e.what()).find("INSERT INTO ###C100(Num,Txt) VALUES ('1x','b')"), std::string::npos)
        << e.what();
  }
  EXPECT_EQ(db->LastIdentity("###C100"), 100);
  EXPECT_EQ(db->Execute("SELECT COUNT(*) FROM ###C100")->Column(0).AsInt(), 100);
  c100.Add({"101", "a"});
  EXPECT_EQ(db->LastIdentity("###C100"), 101);
  db->Execute("COMMIT TRANSACTION");
  db->Execute("BEGIN TRANSACTION");
  for (int i = 0; i < 5; ++i) c100.Add({"7", "undone"});
  EXPECT_EQ(db->LastIdentity("###C100"), 106);
  db->Execute("ROLLBACK TRANSACTION");
  c100.Add({"8", "after"});
  c100.Add({"9", "after"});
  const int64_t last = db->LastIdentity("###C100");
  auto r = db->Execute("SELECT MAX(ID) AS m, COUNT(*) AS n FROM ###C100");
  EXPECT_EQ(r->Column(0).AsInt(), last);
  EXPECT_EQ(r->Column(1).AsInt(), 103);
  EXPECT_EQ(db->Execute("SELECT COUNT(*) FROM ###C100 WHERE Txt = 'undone'")->Column(0).AsInt(), 0);
}

// The insert of a table and column list is the same object whatever other
// look-ups come between, and another column list of the table another one.
TEST(SqlBackendBoundInsert, EachTableAndColumnListKeepsItsInsert) {
  auto db = OpenDb();
  for (const char* t : {"###A", "###B", "###C"}) db->Execute(std::string("CREATE TABLE ") + t + "(X INT,Y VARCHAR(MAX))");
  BoundInsert* a = &db->Insert("###A", {"X", "Y"});
  BoundInsert* b = &db->Insert("###B", {"X", "Y"});
  BoundInsert* bY = &db->Insert("###B", {"Y"});
  BoundInsert* c = &db->Insert("###C", {"Y"});
  EXPECT_NE(b, bY);
  EXPECT_THROW(db->Insert("###Nothing", {"Num"}), DatabaseError);
  for (int round = 0; round < 3; ++round) {
    EXPECT_EQ(&db->Insert("###C", {"Y"}), c);
    EXPECT_EQ(&db->Insert("###A", {"X", "Y"}), a);
    EXPECT_EQ(&db->Insert("###B", {"Y"}), bY);
    EXPECT_EQ(&db->Insert("###B", {"X", "Y"}), b);
  }
  bY->Add({"only Y"});
  b->Add({"1", "both"});
  auto r = db->Execute("SELECT X, Y FROM ###B");
  EXPECT_TRUE(r->Column(0).IsNull());
  EXPECT_EQ(r->Column(1).AsText(), "only Y");
}

TEST(SqlBackendIdentity, PerTableAndNeverReused) {
  auto db = OpenDb();
  db->Execute("CREATE TABLE ###C100(ID INT IDENTITY(1,1),Id_CNPJ VARCHAR(MAX),Reg VARCHAR(MAX))");
  db->Execute("CREATE TABLE ###C170(Id_CNPJ VARCHAR(MAX),ID INT,Reg VARCHAR(MAX))");
  db->Execute("CREATE TABLE ###D100(ID INT IDENTITY(1,1),Reg VARCHAR(MAX))");
  EXPECT_EQ(db->LastIdentity("###C100"), 0);
  db->Execute("INSERT INTO ###C100(Id_CNPJ,Reg) VALUES ('1','C100')");
  db->Execute("INSERT INTO ###C100(Id_CNPJ,Reg) VALUES ('1','C100')");
  db->Execute("INSERT INTO ###C170(Id_CNPJ,ID,Reg) VALUES ('1','2','C170')");
  db->Execute("INSERT INTO ###D100(Reg) VALUES ('D100')");
  EXPECT_EQ(db->LastIdentity("###C100"), 2);
  EXPECT_EQ(db->LastIdentity("###d100"), 1);
  EXPECT_THROW(db->LastIdentity("###C170"), DatabaseError);
  EXPECT_THROW(db->LastIdentity("###Nothing"), DatabaseError);
  db->Execute("DELETE FROM ###C100");
  db->Execute("INSERT INTO ###C100(Id_CNPJ,Reg) VALUES ('1','C100')");
  EXPECT_EQ(db->LastIdentity("###C100"), 3);
  // A rejected row takes no identity and leaves the last one as it was.
  EXPECT_THROW(db->Execute("INSERT INTO ###C170(Id_CNPJ,ID,Reg) VALUES ('1','x','C170')"), DatabaseError);
  EXPECT_EQ(db->Execute("SELECT COUNT(*) AS n FROM ###C170")->Column(0).AsInt(), 1);
}

TEST(SqlBackendResults, LongResultsStreamAndCountWhileTheDatabaseChanges) {
  auto db = OpenDb("");
  db->Execute("CREATE TABLE ###C100(ID INT IDENTITY(1,1),Id_CNPJ VARCHAR(MAX),Reg VARCHAR(MAX))");
  db->Execute("CREATE TABLE ###C170(Id_CNPJ VARCHAR(MAX),ID INT,Reg VARCHAR(MAX),Num_Item VARCHAR(MAX))");
  db->Execute("BEGIN TRANSACTION");
  for (int i = 1; i <= 1000; ++i) {
    db->Execute("INSERT INTO ###C100(Id_CNPJ,Reg) VALUES ('" + std::string(i % 2 ? "0" : "") + "12345678000195','C100')");
    for (int k = 1; k <= 2; ++k)
      db->Execute("INSERT INTO ###C170(Id_CNPJ,ID,Reg,Num_Item) VALUES ('12345678000195','" + std::to_string(i) +
                  "','C170','" + std::to_string(k) + "')");
  }
  db->Execute("COMMIT TRANSACTION");
  auto parents = db->Execute("SELECT ID, Reg FROM ###C100 WHERE Id_CNPJ = (12345678000195) ORDER BY ID ASC");
  EXPECT_EQ(parents->RecordCount(), 1000);
  int64_t expected = 1, children = 0;
  for (; !parents->Eof(); parents->MoveNext(), ++expected) {
    ASSERT_EQ((*parents)["ID"].AsInt(), expected);
    // The same shape again while the first one is still being read.
    auto again = db->Execute("SELECT ID, Reg FROM ###C100 WHERE Id_CNPJ = (12345678000195) ORDER BY ID ASC");
    ASSERT_FALSE(again->Eof());
    auto items = db->Execute("SELECT Num_Item FROM ###C170 WHERE (ID = " + (*parents)["ID"].AsText() + ")");
    EXPECT_EQ(items->RecordCount(), 2);
    for (; !items->Eof(); items->MoveNext()) ++children;
    db->Execute("INSERT INTO ###C170(Id_CNPJ,ID,Reg,Num_Item) VALUES ('x','0','C170','9')");
  }
  EXPECT_EQ(expected, 1001);
  EXPECT_EQ(children, 2000);
  EXPECT_THROW((*parents)["Nothing"], DatabaseError);
  // A result still held when the connection closes keeps what it had read.
  auto held = db->Execute("SELECT ID, Reg FROM ###C100 ORDER BY ID ASC");
  db->Close();
  EXPECT_EQ(held->FindColumn("reg"), 1);
  EXPECT_EQ((*held)["ID"].AsInt(), 1);
  for (int i = 0; i < 300 && !held->Eof(); ++i) held->MoveNext();
  EXPECT_TRUE(held->Eof());
}

TEST(SqlBackendResults, CountersUpdatedWhileTheirOwnSelectIsWalked) {
  auto db = OpenDb();
  db->Execute("CREATE TABLE ###Registros(ID INT IDENTITY(1,1), Bloco NVARCHAR(MAX),Reg NVARCHAR(MAX),QtdeReg NVARCHAR(MAX))");
  for (int i = 0; i < 300; ++i)
    db->Execute("INSERT INTO ###Registros VALUES ('C','C" + std::to_string(1000 + i) + "',1)");
  auto rs = db->Execute("SELECT '9900' AS Reg, Reg AS Reg_Blc, CAST(REPLACE(QtdeReg,',','.') AS FLOAT) AS Qtd_Reg_Blc FROM ###Registros WHERE (QtdeReg > 0)");
  int n = 0;
  for (; !rs->Eof(); rs->MoveNext(), ++n) {
    EXPECT_EQ(rs->Column(2).AsDouble(), 1.0);
    db->Execute("UPDATE ###Registros SET QtdeReg = QtdeReg + 1 WHERE (Reg = 'C1299')");
    db->Execute("INSERT INTO ###Registros VALUES ('C','NEW',1)");
  }
  EXPECT_EQ(n, 300);
  EXPECT_EQ(rs->RecordCount(), 300);
}

TEST(SqlBackendTransactions, RollbackDropsTheRowsOfTheFile) {
  auto db = OpenDb("");
  db->Execute("CREATE TABLE ###0000(ID INT IDENTITY(1,1),Reg VARCHAR(MAX))");
  db->Execute("BEGIN TRANSACTION");
  db->Execute("INSERT INTO ###0000(Reg) VALUES ('0000')");
  EXPECT_THROW(db->Execute("INSERT INTO ###0000(Reg) VALUES (1 + 'a')"), DatabaseError);
  db->Execute("ROLLBACK TRANSACTION");
  EXPECT_TRUE(db->Execute("SELECT * FROM ###0000")->Eof());
  EXPECT_THROW(db->Execute("COMMIT TRANSACTION"), DatabaseError);
}

// A staging database that runs out of room says so in Portuguese.
TEST(SqlBackendTransactions, AFullDiskIsToldInPortuguese) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, "CREATE TABLE t(x TEXT); PRAGMA max_page_count = 4;", nullptr, nullptr, nullptr),
            SQLITE_OK);
  int rc = SQLITE_OK;
  for (int i = 0; i < 100 && rc == SQLITE_OK; ++i)
    rc = sqlite3_exec(db, ("INSERT INTO t VALUES ('" + std::string(900, 'x') + "')").c_str(), nullptr, nullptr,
                      nullptr);
  EXPECT_EQ(rc, SQLITE_FULL);
  EXPECT_EQ(SqliteFailureText(db), "não há espaço livre no disco do banco de dados de trabalho");
  sqlite3_close(db);
}

TEST(SqlBackendSums, AMillionTimesTenCentsIsExactlyOneHundredThousand) {
  auto db = OpenDb();
  db->Execute("CREATE TABLE ###M200(ID INT IDENTITY(1,1),Reg VARCHAR(MAX),VL_Ret_NC VARCHAR(MAX))");
  db->Execute("BEGIN TRANSACTION");
  for (int i = 0; i < 1000000; ++i) db->Execute("INSERT INTO ###M200(Reg,VL_Ret_NC) VALUES ('M200','0,10')");
  db->Execute("COMMIT TRANSACTION");
  auto rs = db->Execute("SELECT Reg, SUM(CAST(REPLACE(VL_Ret_NC,',','.') as FLOAT)) AS VL_Ret_NC FROM ###M200 GROUP BY Reg");
  ASSERT_FALSE(rs->Eof());
  EXPECT_EQ(rs->Column(1).kind(), Value::Kind::Float);
  EXPECT_EQ(rs->Column(1).AsDouble(), 100000.0);
  EXPECT_EQ(rs->Column(1).AsText(), "100000");
  // Mixed scales, signs, blanks and empty texts; still the decimal sum.
  db->Execute("DELETE FROM ###M200");
  for (const char* v : {"0,1", "0,2", " -0,3 ", "", "1234567890123,45", "0,000000000000000001", "1E2"})
    db->Execute(std::string("INSERT INTO ###M200(Reg,VL_Ret_NC) VALUES ('M200','") + v + "')");
  rs = db->Execute("SELECT Reg, SUM(CAST(REPLACE(VL_Ret_NC,',','.') as FLOAT)) AS VL_Ret_NC FROM ###M200 GROUP BY Reg");
  EXPECT_EQ(rs->Column(1).AsDouble(), 1234567890223.45);
}

TEST(SqlBackendValues, ConversionsOfValues) {
  EXPECT_EQ(Value::Text(" 12,7 ").AsInt(), 12);
  EXPECT_EQ(Value::Text("1.5").AsDouble(), 1.5);
  EXPECT_EQ(Value::Text("abc").AsDouble(), 0);
  EXPECT_EQ(Value::Float(-2.9).AsInt(), -2);
  EXPECT_EQ(Value::Float(10.5).AsText(), "10,5");
  EXPECT_EQ(Value::Int(42).AsText(), "42");
  EXPECT_EQ(Value().AsText(), "");
  EXPECT_TRUE(MakeEmptyRecordset()->Eof());
}

TEST(RecordingConnection, KeepsStatementsAndAnswersFromItsQueue) {
  RecordingConnection db;
  EXPECT_THROW(db.Execute("SELECT 1"), DatabaseError);
  db.Open();
  db.SetResultFor("###0140", {{"retorna"}, {{Value::Int(3)}}});
  db.QueueResult({{"Reg", "n"}, {{Value::Text("C100"), Value::Int(1)}, {Value::Text("C170"), Value::Int(2)}}});
  db.Execute("INSERT INTO ###C100(Reg) VALUES ('C100')");
  db.Execute("INSERT INTO ###C100(Reg) VALUES ('C100')");
  EXPECT_EQ(db.LastIdentity("###C100"), 2);
  EXPECT_EQ(db.LastIdentity("###C170"), 0);
  EXPECT_EQ((*db.Execute("SELECT Max(Cod_Est) as retorna FROM ###0140"))["retorna"].AsInt(), 3);
  auto rs = db.Execute("  select Reg, n FROM x");
  EXPECT_EQ(rs->RecordCount(), 2);
  rs->MoveNext();
  EXPECT_EQ((*rs)["N"].AsInt(), 2);
  EXPECT_TRUE(db.Execute("SELECT again")->Eof());
  ASSERT_EQ(db.Statements().size(), 5u);
  EXPECT_EQ(db.Statements()[0], "INSERT INTO ###C100(Reg) VALUES ('C100')");
}

}  // namespace
