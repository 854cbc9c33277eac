// The ODBC backend against Debian's SQLite ODBC driver (no SQL Server runs on
// the build machines): connection, statements, result values, errors and the
// messages that must never show a password.
#ifdef QUELVAR_HAVE_ODBC

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "blocks/registry.h"
#include "staging/database.h"
#include "staging/odbc/odbc_backend.h"
#include "staging/recording_backend.h"
#include "staging/resources.h"
#include "staging/run_state.h"
#include "tests/support/test_run.h"
#include "tests/support/check_support.h"
#include "tests/support/odbc_support.h"

namespace {

constexpr const char* kUnreachable = "Driver=nonexistent;Server=10.255.255.1;UID=a;PWD=secret";

TEST(OdbcConnectionString, PasswordsAreHiddenWhateverTheirSpelling) {
  EXPECT_EQ(HideOdbcPasswords(kUnreachable), "Driver=nonexistent;Server=10.255.255.1;UID=a;PWD=***");
  EXPECT_EQ(HideOdbcPasswords("Server=s; password = hunter2 ;Database=d"), "Server=s; password =***;Database=d");
  // A braced value may hold ";" and "}}"; all of it is hidden, the rest kept.
  EXPECT_EQ(HideOdbcPasswords("Pwd={a;b}}c};UID=u;Password=x"), "Pwd=***;UID=u;Password=***");
  EXPECT_EQ(HideOdbcPasswords("DSN=staging"), "DSN=staging");
  // A key that merely contains the word is not a password.
  EXPECT_EQ(HideOdbcPasswords("PWDX=keep;OldPassword=keep"), "PWDX=keep;OldPassword=keep");

  EXPECT_EQ(OdbcPasswords("Pwd={a;b}}c};PWD=plain"),
            (std::vector<std::string>{"{a;b}}c}", "a;b}c", "plain"}));
  EXPECT_EQ(ScrubSecrets("login for a;b}c failed, a;b}c", {"a;b}c"}), "login for *** failed, ***");
  EXPECT_EQ(ScrubSecrets("a short one stays", {"a"}), "a short one stays");
}

TEST(OdbcConnectionString, IdentityQueryFollowsTheServer) {
  EXPECT_EQ(OdbcIdentityQuery("Microsoft SQL Server", "###C100"), "SELECT IDENT_CURRENT('tempdb..###C100')");
  EXPECT_EQ(OdbcIdentityQuery("Microsoft SQL Server", "dbo.T'x"), "SELECT IDENT_CURRENT('dbo.T''x')");
  EXPECT_EQ(OdbcIdentityQuery("SQLite", "###C100"), "SELECT last_insert_rowid()");
}

class OdbcSqlite : public ::testing::Test {
 protected:
  void SetUp() override {
    driver_ = SqliteOdbcDriverPath();
    if (driver_.empty())
      GTEST_SKIP() << "SQLite ODBC driver not installed (Debian package libsqliteodbc); "
                      "set QUELVAR_TEST_ODBC_DRIVER to its library to run these tests";
    db_ = std::make_unique<ScratchOdbcDatabase>(driver_);
    conn_ = CreateConnection("odbc:" + db_->connectionString);
    ASSERT_EQ(conn_->Describe(), "ODBC " + db_->connectionString);
    conn_->Open();
  }
  void TearDown() override {
    if (conn_) conn_->Close();
  }

  std::string driver_;
  std::unique_ptr<ScratchOdbcDatabase> db_;
  std::unique_ptr<DatabaseConnection> conn_;
};

TEST_F(OdbcSqlite, RowsComeBackWithTypedValuesNullsAndColumnsByName) {
  EXPECT_TRUE(conn_->Execute("CREATE TABLE t(ID INTEGER PRIMARY KEY, Qtd INT, VL FLOAT, Nome VARCHAR(100))")->Eof());
  conn_->Execute("INSERT INTO t(Qtd, VL, Nome) VALUES (7, 2.5, 'um')");
  conn_->Execute("INSERT INTO t(Qtd, VL, Nome) VALUES (NULL, NULL, NULL)");
  conn_->Execute("INSERT INTO t(Qtd, VL, Nome) VALUES (-3, 0.125, '')");

  auto rs = conn_->Execute("SELECT Qtd, VL, Nome AS Retorna FROM t ORDER BY ID");
  ASSERT_EQ(rs->RecordCount(), 3);
  ASSERT_EQ(rs->ColumnCount(), 3);
  EXPECT_EQ(rs->ColumnName(2), "Retorna");
  EXPECT_EQ(rs->FindColumn("retorna"), 2);
  EXPECT_EQ(rs->FindColumn("QTD"), 0);
  EXPECT_EQ(rs->FindColumn("missing"), -1);

  ASSERT_FALSE(rs->Eof());
  EXPECT_EQ(rs->Column(0).kind(), Value::Kind::Int);
  EXPECT_EQ(rs->Column(1).kind(), Value::Kind::Float);
  EXPECT_EQ(rs->Column(2).kind(), Value::Kind::Text);
  EXPECT_EQ(rs->Column(2).TextRef(), "um");
  rs->MoveNext();
  EXPECT_TRUE(rs->Column(0).IsNull());
  EXPECT_TRUE(rs->Column(1).IsNull());
  EXPECT_TRUE(rs->Column(2).IsNull());
  rs->MoveNext();
  EXPECT_EQ(rs->Column(2).kind(), Value::Kind::Text);  // an empty text is not NULL
  EXPECT_EQ(rs->Column(2).TextRef(), "");
  rs->MoveNext();
  EXPECT_TRUE(rs->Eof());
  EXPECT_TRUE(rs->Column(0).IsNull());
  rs->MoveNext();  // past the end stays at the end
  EXPECT_TRUE(rs->Eof());
}

TEST_F(OdbcSqlite, TextsKeepTheirBytesWhateverTheirLength) {
  const std::string accents = "A\xc7\xc3O DE S\xc3O JO\xc3O - \xe9\xea\xe7\xf5";  // Latin-1
  std::string longText;
  for (int i = 0; longText.size() < 20000; ++i) longText += "linha " + std::to_string(i) + " \xe1|";
  conn_->Execute("CREATE TABLE t(Txt TEXT)");
  conn_->Execute("INSERT INTO t VALUES ('" + accents + "')");
  conn_->Execute("INSERT INTO t VALUES ('" + longText + "')");
  auto rs = conn_->Execute("SELECT Txt FROM t ORDER BY rowid");
  EXPECT_EQ(rs->Column(0).TextRef(), accents);
  rs->MoveNext();
  EXPECT_EQ(rs->Column(0).TextRef().size(), longText.size());
  EXPECT_EQ(rs->Column(0).TextRef(), longText);
}

TEST_F(OdbcSqlite, StatementsWithoutRowsAndTheIdentityJustGenerated) {
  conn_->Execute("CREATE TABLE c100(ID INTEGER PRIMARY KEY, Reg TEXT)");
  // An UPDATE or DELETE that touches nothing is not a failure.
  EXPECT_TRUE(conn_->Execute("DELETE FROM c100")->Eof());
  EXPECT_TRUE(conn_->Execute("UPDATE c100 SET Reg = 'x' WHERE ID = 99")->Eof());
  conn_->Execute("INSERT INTO c100(Reg) VALUES ('C100')");
  conn_->Execute("INSERT INTO c100(Reg) VALUES ('C100')");
  EXPECT_EQ(conn_->LastIdentity("c100"), 2);
  EXPECT_EQ(conn_->Execute("SELECT * FROM c100 WHERE ID = 0")->RecordCount(), 0);
}

// Bound inserts go out as parameter arrays: 10,000 rows are 20 executions of
// 500 rows, and whatever reads the table next (a SELECT, the identity) sees
// every row, in order, with its bytes (quotes, Latin-1, empty texts) intact.
TEST_F(OdbcSqlite, BoundInsertsSendFiveHundredRowsPerRoundTrip) {
  conn_->Execute("PRAGMA synchronous=OFF");  // the scratch file need not survive a crash
  conn_->Execute("CREATE TABLE c170(ID INTEGER PRIMARY KEY, Reg TEXT, Num_Item INT, Descr TEXT)");
  const std::vector<std::string> columns{"Reg", "Num_Item", "Descr"};
  const int64_t before = conn_->StatementsSent();
  ASSERT_GE(before, 0);
  BoundInsert& insert = conn_->Insert("c170", columns);
  EXPECT_EQ(&insert, &conn_->Insert("c170", columns));  // prepared once
  for (int i = 1; i <= 10000; ++i) {
    std::string n = std::to_string(i);
    std::string descr = i % 3 == 0 ? "" : i % 3 == 1 ? "D'\xc1GUA; DROP TABLE c170;--" + n : std::string(i % 700, 'x');
    insert.Add({"C170", n, descr});
  }
  EXPECT_EQ(conn_->StatementsSent() - before, 20);
  EXPECT_EQ(conn_->LastIdentity("c170"), 10000);
  auto rs = conn_->Execute("SELECT ID, Num_Item, Descr FROM c170 ORDER BY ID");
  ASSERT_EQ(rs->RecordCount(), 10000);
  for (int i = 1; i <= 10000 && !rs->Eof(); ++i, rs->MoveNext()) {
    std::string descr = i % 3 == 0 ? "" : i % 3 == 1 ? "D'\xc1GUA; DROP TABLE c170;--" + std::to_string(i) : std::string(i % 700, 'x');
    ASSERT_EQ(rs->Column(0).AsInt(), i);
    ASSERT_EQ(rs->Column(1).AsInt(), i);
    ASSERT_EQ(rs->Column(2).AsText(), descr) << "row " << i;
  }
  // Rows held when a statement comes are sent before it, one round trip.
  const int64_t mid = conn_->StatementsSent();
  insert.Add({"C170", "1", "a"});
  insert.Add({"C170", "2", "b"});
  EXPECT_EQ(conn_->StatementsSent(), mid);
  EXPECT_EQ(conn_->Execute("SELECT COUNT(*) FROM c170")->Column(0).AsInt(), 10002);
  EXPECT_EQ(conn_->StatementsSent(), mid + 2);
}

// A rollback drops the rows still held; a rejected batch raises with the
// statement and leaves the connection usable, its rows not counted as stored.
TEST_F(OdbcSqlite, HeldRowsGoWithARollbackAndARejectedBatchRaises) {
  conn_->Execute("CREATE TABLE u(ID INTEGER PRIMARY KEY, Cod TEXT UNIQUE)");
  BoundInsert& insert = conn_->Insert("u", {"Cod"});
  conn_->Execute("BEGIN TRANSACTION");
  insert.Add({"a"});
  conn_->Execute("ROLLBACK TRANSACTION");
  EXPECT_EQ(conn_->Execute("SELECT COUNT(*) FROM u")->Column(0).AsInt(), 0);
  insert.Add({"x"});
  insert.Add({"x"});
  try {
    conn_->Execute("SELECT COUNT(*) FROM u");
    FAIL() << "a batch the database rejects must raise";
  } catch (const DatabaseError& e) {
    EXPECT_NE(std::string(e.what()).find("(statement: INSERT INTO u(Cod) VALUES (?))"), std::string::npos) << e.what();
  }
  insert.Add({"y"});
  EXPECT_EQ(conn_->Execute("SELECT COUNT(*) FROM u WHERE Cod = 'y'")->Column(0).AsInt(), 1);
}

TEST_F(OdbcSqlite, RejectedStatementRaisesTheDriversMessageAndTheStatement) {
  const std::string bad = "SELECT x FROM no_such_table";
  try {
    conn_->Execute(bad);
    FAIL() << "a statement the database rejects must raise";
  } catch (const DatabaseError& e) {
    std::string what = e.what();
    EXPECT_NE(what.find("no such table: no_such_table"), std::string::npos) << what;
    EXPECT_NE(what.find("(statement: " + bad + ")"), std::string::npos) << what;
  }
  // T-SQL goes out as composed: SQLite itself trips over the "###" names.
  const std::string tsql =
      "CREATE TABLE ###Registros(ID INT IDENTITY(1,1), Bloco NVARCHAR(MAX),Reg NVARCHAR(MAX),QtdeReg NVARCHAR(MAX))";
  try {
    conn_->Execute(tsql);
    FAIL() << "SQLite does not take \"###\" names";
  } catch (const DatabaseError& e) {
    std::string what = e.what();
    EXPECT_NE(what.find("unrecognized token: \"#\""), std::string::npos) << what;
    EXPECT_NE(what.find("(statement: " + tsql + ")"), std::string::npos) << what;
  }
  // The connection stays usable after a rejected statement.
  EXPECT_EQ(conn_->Execute("SELECT 1 AS um")->RecordCount(), 1);
}

TEST_F(OdbcSqlite, CloseIsIdempotentAndLaterStatementsFailClearly) {
  conn_->Close();
  conn_->Close();
  EXPECT_THROW(conn_->Execute("SELECT 1"), DatabaseError);
}

TEST(OdbcOpen, UnreachableTargetFailsAtOnceNamingItWithoutThePassword) {
  auto conn = CreateOdbcConnection(kUnreachable);
  EXPECT_EQ(conn->Describe().find("secret"), std::string::npos);
  try {
    conn->Open();
    FAIL() << "a connection through a driver that does not exist must not open";
  } catch (const DatabaseError& e) {
    std::string what = e.what();
    EXPECT_EQ(what.find("secret"), std::string::npos) << what;
    EXPECT_NE(what.find("Driver=nonexistent;Server=10.255.255.1;UID=a;PWD=***"), std::string::npos) << what;
  }
  conn->Close();  // nothing open: still fine
  EXPECT_THROW(conn->Execute("SELECT 1"), DatabaseError);
}

// The texts an ODBC connection receives at start, recorded instead of sent:
// the control table and every staging table in T-SQL, each registered right
// after its creation, in the blocks' order.
TEST(OdbcStatements, StartOfRunSendsTheProgramsTsqlTexts) {
  auto previous = std::move(TestRun().connection);
  auto recording = std::make_unique<RecordingConnection>();
  RecordingConnection* rec = recording.get();
  TestRun().connection = std::move(recording);
  TestRun().connection->Open();
  md_CreateControlTable(TestRun());
  for (const BlockEntry& block : BlockTable()) CreateTablesOf(TestRun(), block.layouts());
  std::vector<std::string> sent = rec->Statements();
  TestRun().connection = std::move(previous);

  std::vector<std::string> codes;
  for (const BlockEntry& block : BlockTable())
    for (const LayoutSpec& layout : block.layouts()) codes.push_back(layout.code);
  ASSERT_EQ(sent.size(), 1 + 2 * codes.size());
  EXPECT_EQ(sent[0],
            "CREATE TABLE ###Registros(ID INT IDENTITY(1,1), Bloco NVARCHAR(MAX),Reg NVARCHAR(MAX),QtdeReg NVARCHAR(MAX))");
  for (size_t i = 0; i < codes.size(); ++i) {
    const std::string& code = codes[i];
    EXPECT_EQ(sent[1 + 2 * i].rfind("CREATE TABLE ###" + code + "(", 0), 0u) << sent[1 + 2 * i];
    EXPECT_EQ(sent[2 + 2 * i], "INSERT INTO ###Registros VALUES ('" + code.substr(0, 1) + "','" + code + "',0)");
  }
  auto created = [&](const std::string& code) {
    for (size_t i = 0; i < codes.size(); ++i)
      if (codes[i] == code) return sent[1 + 2 * i];
    return std::string();
  };
  EXPECT_EQ(created("0001"),
            "CREATE TABLE ###0001(ID INT IDENTITY(1,1),Id_CNPJ VARCHAR(MAX),Id_Arquivo INT,Reg VARCHAR(MAX),"
            "Ind_Mov VARCHAR(MAX))");
  // A record that is only carried: its line in one column.
  EXPECT_EQ(created("C170"), "CREATE TABLE ###C170(Id_CNPJ VARCHAR(MAX),ID INT,Id_Arquivo INT,Linha VARCHAR(MAX))");
  EXPECT_EQ(created("0000").rfind("CREATE TABLE ###0000(ID INT IDENTITY(1,1),Id_Arquivo INT,Reg VARCHAR(MAX),", 0), 0u);
  EXPECT_EQ(created("M105").rfind("CREATE TABLE ###M105(ID INT IDENTITY(1,1),Id_CNPJ VARCHAR(MAX),Id_Arquivo INT,ID_Pai INT,", 0),
            0u) << created("M105");
  EXPECT_NE(created("0140").find("Cod_Est INT"), std::string::npos) << created("0140");
}

// The whole program: the connection is opened before any file is read, so a
// target that cannot be reached ends the merge at once, with status 1, one
// message without the password, and nothing written.
TEST(OdbcOpen, MergeAgainstAnUnreachableTargetStopsBeforeAnyFile) {
  namespace fs = std::filesystem;
  if (!fs::exists(QUELVAR_BINARY)) GTEST_SKIP() << "quelvar not built: " << QUELVAR_BINARY;
  fs::path dir = fs::temp_directory_path() / ("quelvar-odbc-cli-" + std::to_string(std::random_device{}()));
  fs::create_directories(dir / "out");
  std::ofstream(dir / "in.txt") << "|0000|006|0|||01012020|31012020|EMPRESA|11222333000181|SP|3550308||00|0|\r\n";

  ProcessResult r = RunQuelvar({"merge", "--no-progress", "--database", std::string("odbc:") + kUnreachable,
                                "--output-dir", (dir / "out").string(), (dir / "in.txt").string()});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("Driver=nonexistent;Server=10.255.255.1;UID=a;PWD=***"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("secret"), std::string::npos) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_TRUE(fs::is_empty(dir / "out"));
  fs::remove_all(dir);
}

}  // namespace

#endif  // QUELVAR_HAVE_ODBC
