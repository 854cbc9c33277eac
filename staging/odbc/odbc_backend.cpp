// The ODBC connection: one environment and one connection handle for the whole
// run; every Execute allocates a statement handle, runs the text as it is,
// reads the result into memory and frees the handle before returning.
#include "staging/odbc/odbc_backend.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "staging/odbc/odbc_api.h"

namespace {

// Seconds allowed for reaching the server and logging in, and for any later
// request that is not a statement (statements themselves have no limit: a
// large merge runs long).
constexpr SQLULEN kLoginTimeoutSeconds = 10;

// Frees a statement handle when the statement is done.
struct StatementHandle {
  SQLHSTMT h = SQL_NULL_HSTMT;
  ~StatementHandle() {
    if (h != SQL_NULL_HSTMT) SQLFreeHandle(SQL_HANDLE_STMT, h);
  }
};

class OdbcConnection : public DatabaseConnection {
 public:
  explicit OdbcConnection(std::string cs)
      : cs_(std::move(cs)), passwords_(OdbcPasswords(cs_)), shown_(HideOdbcPasswords(cs_)) {}
  ~OdbcConnection() override { Close(); }

  void Open() override;
  std::unique_ptr<Recordset> Execute(std::string_view sql) override;
  int64_t LastIdentity(std::string_view table) override;
  void Close() override;
  std::string Describe() const override { return "ODBC " + shown_; }

 private:
  // Raises DatabaseError with `message`, passwords scrubbed.
  [[noreturn]] void Fail(const std::string& message) const {
    throw DatabaseError(ScrubSecrets(message, passwords_));
  }
  // Raises the statement handle's diagnostics with the statement.
  [[noreturn]] void FailStatement(SQLHSTMT stmt, std::string_view sql) const {
    Fail(OdbcDiagnostics(SQL_HANDLE_STMT, stmt) + " (statement: " + std::string(sql) + ")");
  }

  std::string cs_;
  std::vector<std::string> passwords_;
  std::string shown_;  // the connection string without passwords
  std::string dbmsName_;
  SQLHENV env_ = SQL_NULL_HENV;
  SQLHDBC dbc_ = SQL_NULL_HDBC;
  bool connected_ = false;
};

// Connects once (a second call on an open connection does nothing) and learns
// the DBMS name for LastIdentity. Any failure frees what was allocated and
// raises one DatabaseError naming the target without its password.
void OdbcConnection::Open() {
  if (connected_) return;
  const std::string failure = "Cannot open " + Describe() + ": ";
  if (!OdbcOk(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_))) {
    env_ = SQL_NULL_HENV;
    Fail(failure + "the ODBC driver manager is not available");
  }
  SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  if (!OdbcOk(SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc_))) {
    std::string diag = OdbcDiagnostics(SQL_HANDLE_ENV, env_);
    dbc_ = SQL_NULL_HDBC;
    Close();
    Fail(failure + diag);
  }
  // Drivers that do not know an attribute refuse it; the connection then
  // keeps the driver's own timeouts.
  SQLSetConnectAttr(dbc_, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(kLoginTimeoutSeconds), 0);
  SQLSetConnectAttr(dbc_, SQL_ATTR_CONNECTION_TIMEOUT, reinterpret_cast<SQLPOINTER>(kLoginTimeoutSeconds), 0);

  SQLCHAR completed[1024];
  SQLSMALLINT completedLen = 0;
  SQLRETURN rc = SQLDriverConnect(dbc_, nullptr, reinterpret_cast<SQLCHAR*>(cs_.data()), SQL_NTS,
                                  completed, sizeof completed,
                                  &completedLen, SQL_DRIVER_NOPROMPT);
  if (!OdbcOk(rc)) {
    std::string diag = OdbcDiagnostics(SQL_HANDLE_DBC, dbc_);
    Close();
    Fail(failure + diag);
  }
  connected_ = true;

  SQLCHAR name[128] = {};
  SQLSMALLINT nameLen = 0;
  if (OdbcOk(SQLGetInfo(dbc_, SQL_DBMS_NAME, name, sizeof name, &nameLen)))
    dbmsName_ = reinterpret_cast<const char*>(name);
}

// Sends `sql` unchanged through SQLExecDirect and returns its first result
// set, read in full. Throws DatabaseError (diagnostics + statement) when the
// connection is not open or the database rejects the statement.
std::unique_ptr<Recordset> OdbcConnection::Execute(std::string_view sql) {
  if (!connected_) Fail("The database connection is not open (statement: " + std::string(sql) + ")");
  StatementHandle stmt;
  if (!OdbcOk(SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &stmt.h))) {
    stmt.h = SQL_NULL_HSTMT;
    Fail(OdbcDiagnostics(SQL_HANDLE_DBC, dbc_) + " (statement: " + std::string(sql) + ")");
  }
  std::string text(sql);
  SQLRETURN rc = SQLExecDirect(stmt.h, reinterpret_cast<SQLCHAR*>(text.data()),
                               static_cast<SQLINTEGER>(text.size()));
  // SQL_NO_DATA: a searched UPDATE or DELETE that touched no row.
  if (!OdbcOk(rc) && rc != SQL_NO_DATA) FailStatement(stmt.h, sql);

  // A batch may start with row counts before its first result set; the
  // first result with columns is the statement's result. Errors of later
  // statements of the batch surface while the rest is drained.
  std::unique_ptr<Recordset> result;
  for (;;) {
    SQLSMALLINT cols = 0;
    if (!OdbcOk(SQLNumResultCols(stmt.h, &cols))) FailStatement(stmt.h, sql);
    if (cols > 0 && !result) {
      try {
        result = FetchOdbcResult(stmt.h);
      } catch (const DatabaseError& e) {
        Fail(std::string(e.what()) + " (statement: " + std::string(sql) + ")");
      }
    }
    rc = SQLMoreResults(stmt.h);
    if (rc == SQL_NO_DATA) break;
    if (!OdbcOk(rc)) FailStatement(stmt.h, sql);
  }
  return result ? std::move(result) : EmptyOdbcResult();
}

// The identity last generated in `table` (OdbcIdentityQuery); throws
// DatabaseError when the server gives none (NULL: no row inserted yet).
int64_t OdbcConnection::LastIdentity(std::string_view table) {
  std::string sql = OdbcIdentityQuery(dbmsName_, table);
  std::unique_ptr<Recordset> rs = Execute(sql);
  const Value null;
  const Value& v = rs->Eof() || rs->ColumnCount() == 0 ? null : rs->Column(0);
  switch (v.kind()) {
    case Value::Kind::Int:
      return v.AsInt();
    case Value::Kind::Float:
      return static_cast<int64_t>(v.AsDouble());
    case Value::Kind::Text: {
      const std::string& t = v.TextRef();
      try {
        size_t used = 0;
        long long n = std::stoll(t, &used);
        if (used == t.size()) return n;
      } catch (const std::exception&) {
      }
      break;
    }
    case Value::Kind::Null:
      break;
  }
  Fail("No identity generated in '" + std::string(table) + "' (statement: " + sql + ")");
}

// Disconnects and frees the handles; safe to call at any time, any number of times.
void OdbcConnection::Close() {
  if (connected_) SQLDisconnect(dbc_);
  connected_ = false;
  if (dbc_ != SQL_NULL_HDBC) SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
  dbc_ = SQL_NULL_HDBC;
  if (env_ != SQL_NULL_HENV) SQLFreeHandle(SQL_HANDLE_ENV, env_);
  env_ = SQL_NULL_HENV;
}

}  // namespace

std::unique_ptr<DatabaseConnection> CreateOdbcConnection(std::string connectionString) {
  return std::make_unique<OdbcConnection>(std::move(connectionString));
}
