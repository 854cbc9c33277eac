// The ODBC connection: one environment and one connection handle for the whole
// run; every Execute allocates a statement handle, runs the text as it is,
// reads the result into memory and frees the handle before returning.
#include "staging/odbc/odbc_backend.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "staging/odbc/odbc_api.h"

namespace {

std::string UpperAscii(std::string_view s) {
  std::string u(s);
  for (char& c : u)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return u;
}

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

// Rows an insert holds before it sends them as one parameter array.
constexpr size_t kInsertBatchRows = 500;

// A bound insert: "INSERT INTO table(cols) VALUES (?,...)" prepared once on
// its own statement handle; rows are kept until kInsertBatchRows are held (or
// the connection flushes them before another statement) and then sent in one
// SQLExecute as a column-wise parameter array of texts. `sent` counts the
// executions (round trips).
class OdbcInsert : public BoundInsert {
 public:
  OdbcInsert(SQLHDBC dbc, std::string_view table, const std::vector<std::string>& columns, int64_t& sent,
             std::function<void(std::string)> fail)
      : table_(table), columns_(columns), sent_(sent), fail_(std::move(fail)), cols_(columns.size()) {
    sql_ = "INSERT INTO " + table_ + "(";
    for (size_t i = 0; i < columns.size(); ++i) sql_.append(i ? "," : "").append(columns[i]);
    sql_ += ") VALUES (";
    for (size_t i = 0; i < columns.size(); ++i) sql_ += i ? ",?" : "?";
    sql_ += ")";
    if (!OdbcOk(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt_))) {
      stmt_ = SQL_NULL_HSTMT;
      fail_(OdbcDiagnostics(SQL_HANDLE_DBC, dbc) + " (statement: " + sql_ + ")");
    }
    if (!OdbcOk(SQLPrepare(stmt_, reinterpret_cast<SQLCHAR*>(sql_.data()), static_cast<SQLINTEGER>(sql_.size())))) {
      std::string diag = OdbcDiagnostics(SQL_HANDLE_STMT, stmt_);
      SQLFreeHandle(SQL_HANDLE_STMT, stmt_);  // no destructor runs for an object not made
      stmt_ = SQL_NULL_HSTMT;
      fail_(diag + " (statement: " + sql_ + ")");
    }
  }
  ~OdbcInsert() override {
    if (stmt_ != SQL_NULL_HSTMT) SQLFreeHandle(SQL_HANDLE_STMT, stmt_);
  }

  void Add(const std::vector<std::string_view>& values) override {
    for (size_t c = 0; c < cols_.size(); ++c) {
      Column& col = cols_[c];
      std::string_view v = c < values.size() ? values[c] : std::string_view();
      col.texts.append(v.data() ? v.data() : "", v.size());
      col.ends.push_back(col.texts.size());
      col.widest = std::max(col.widest, v.size());
    }
    if (++rows_ >= kInsertBatchRows) Flush();
  }

  // Binds each column as an array of fixed-width texts (the widest of the
  // batch) with their lengths and runs the statement once for every row held.
  void Flush() override {
    if (rows_ == 0) return;
    const size_t rows = rows_;
    for (size_t c = 0; c < cols_.size(); ++c) {
      Column& col = cols_[c];
      const size_t width = std::max<size_t>(col.widest, 1);
      col.buffer.assign(width * rows, '\0');
      col.lengths.resize(rows);
      size_t from = 0;
      for (size_t r = 0; r < rows; ++r) {
        const size_t to = col.ends[r];
        col.texts.copy(col.buffer.data() + r * width, to - from, from);
        col.lengths[r] = static_cast<SQLLEN>(to - from);
        from = to;
      }
      SQLRETURN rc = SQLBindParameter(stmt_, static_cast<SQLUSMALLINT>(c + 1), SQL_PARAM_INPUT, SQL_C_CHAR,
                                      width > 8000 ? SQL_LONGVARCHAR : SQL_VARCHAR, width, 0, col.buffer.data(), static_cast<SQLLEN>(width),
                                      col.lengths.data());
      if (!OdbcOk(rc)) {
        Discard();
        Failed("");
      }
    }
    status_.assign(rows, SQL_PARAM_UNUSED);
    SQLSetStmtAttr(stmt_, SQL_ATTR_PARAM_BIND_TYPE, reinterpret_cast<SQLPOINTER>(SQL_PARAM_BIND_BY_COLUMN), 0);
    SQLSetStmtAttr(stmt_, SQL_ATTR_PARAMSET_SIZE, reinterpret_cast<SQLPOINTER>(rows), 0);
    SQLSetStmtAttr(stmt_, SQL_ATTR_PARAM_STATUS_PTR, status_.data(), 0);
    ++sent_;
    SQLRETURN rc = SQLExecute(stmt_);
    std::string diag = OdbcOk(rc) ? std::string() : OdbcDiagnostics(SQL_HANDLE_STMT, stmt_);
    SQLFreeStmt(stmt_, SQL_CLOSE);
    size_t failed = 0;
    for (SQLUSMALLINT st : status_)
      if (st == SQL_PARAM_ERROR) ++failed;
    Discard();
    if (!OdbcOk(rc) || failed > 0)
      Failed(diag + " (" + std::to_string(failed ? failed : rows) + " of " + std::to_string(rows) +
             " rows rejected)");
  }

  void Discard() override {
    rows_ = 0;
    for (Column& col : cols_) {
      col.texts.clear();
      col.ends.clear();
      col.widest = 0;
    }
  }

 private:
  struct Column {
    std::string texts;          // the values of the rows held, one after another
    std::vector<size_t> ends;   // where each row's value ends in `texts`
    size_t widest = 0;
    std::string buffer;         // the bound array: rows x widest
    std::vector<SQLLEN> lengths;
  };

  [[noreturn]] void Failed(const std::string& diag) {
    fail_((diag.empty() ? OdbcDiagnostics(SQL_HANDLE_STMT, stmt_) : diag) + " (statement: " + sql_ + ")");
    std::abort();  // fail_ always throws
  }

  std::string table_;
  std::vector<std::string> columns_;
  int64_t& sent_;
  std::function<void(std::string)> fail_;
  std::string sql_;
  SQLHSTMT stmt_ = SQL_NULL_HSTMT;
  std::vector<Column> cols_;
  size_t rows_ = 0;
  std::vector<SQLUSMALLINT> status_;
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
  int64_t StatementsSent() const override { return sent_; }

 protected:
  // A batching insert (OdbcInsert); rows held are sent before any other
  // statement, so every read sees them. Throws DatabaseError when the
  // connection is not open or the driver refuses the statement.
  std::unique_ptr<BoundInsert> MakeInsert(std::string_view table, const std::vector<std::string>& columns) override {
    if (!connected_) Fail("The database connection is not open (insert into " + std::string(table) + ")");
    return std::make_unique<OdbcInsert>(dbc_, table, columns, sent_,
                                        [this](std::string message) { Fail(message); });
  }

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
  int64_t sent_ = 0;  // statements executed (round trips)
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
  // Rows held by inserts go first, so that this statement sees them; a
  // rollback drops them instead (they belong to the transaction it undoes).
  size_t head = sql.find_first_not_of(" \t\r\n");
  if (head != std::string_view::npos && sql.size() - head >= 8 && UpperAscii(sql.substr(head, 8)) == "ROLLBACK")
    DiscardInserts();
  else
    FlushInserts();
  StatementHandle stmt;
  if (!OdbcOk(SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &stmt.h))) {
    stmt.h = SQL_NULL_HSTMT;
    Fail(OdbcDiagnostics(SQL_HANDLE_DBC, dbc_) + " (statement: " + std::string(sql) + ")");
  }
  std::string text(sql);
  ++sent_;
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
  FlushInserts();  // the identity asked for may be that of a row still held
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
  DropInserts();  // rows still held are not sent: the staging tables go with the connection
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
