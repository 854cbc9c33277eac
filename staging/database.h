// The staging database as the program sees it: one DatabaseConnection that
// executes T-SQL texts and returns Recordset results. Backends: embedded SQLite
// (default), a recording backend for tests, ODBC.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// A column value of the current row: SQL NULL, a whole number, a floating
// number or a text (bytes as stored: the input files' single-byte code page).
class Value {
 public:
  enum class Kind : uint8_t { Null, Int, Float, Text };

  Value() = default;
  static Value Int(int64_t v) { Value x; x.kind_ = Kind::Int; x.i_ = v; return x; }
  static Value Float(double v) { Value x; x.kind_ = Kind::Float; x.d_ = v; return x; }
  static Value Text(std::string v) { Value x; x.kind_ = Kind::Text; x.s_ = std::move(v); return x; }

  // Reassign in place; a text reuses the storage this value already holds
  // (results that read many rows refill the same values).
  void SetNull() { Set(Kind::Null, 0, 0); }
  void SetInt(int64_t v) { Set(Kind::Int, v, 0); }
  void SetFloat(double v) { Set(Kind::Float, 0, v); }
  void SetText(std::string_view v) {
    kind_ = Kind::Text;
    i_ = 0;
    d_ = 0;
    s_.assign(v.data(), v.size());
  }

  Kind kind() const { return kind_; }
  bool IsNull() const { return kind_ == Kind::Null; }
  int64_t AsInt() const;        // numbers truncated, texts parsed (0 when not a number)
  double AsDouble() const;      // texts parsed with '.' or ',' as decimal mark (0 when not a number)
  // The value as output text: texts as they are, numbers as FormatNumber
  // writes them (decimal comma, at most 15 significant digits), NULL empty.
  std::string AsText() const;
  const std::string& TextRef() const { return s_; }  // the text of a Text value

 private:
  void Set(Kind k, int64_t i, double d) {
    kind_ = k;
    i_ = i;
    d_ = d;
    s_.clear();
  }

  Kind kind_ = Kind::Null;
  int64_t i_ = 0;
  double d_ = 0;
  std::string s_;
};

// A statement the database rejected, a connection that failed: the message
// names the cause and, for statements, quotes the statement.
class DatabaseError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The result of one statement, positioned on its first row. Statements without
// result give an empty Recordset (Eof() true at once).
class Recordset {
 public:
  virtual ~Recordset() = default;
  // True when there is no current row.
  virtual bool Eof() const = 0;
  // Number of rows of the whole result (may run a count the first time).
  virtual int64_t RecordCount() = 0;
  virtual void MoveNext() = 0;
  virtual int ColumnCount() const = 0;
  // The column's name as the statement gave it.
  virtual const std::string& ColumnName(int i) const = 0;
  // Position of the column named `name`, compared without regard to case; -1 when none.
  virtual int FindColumn(std::string_view name) const = 0;
  // Value of column i of the current row (Null when Eof()).
  virtual const Value& Column(int i) const = 0;

  // Value of the named column of the current row; throws DatabaseError when
  // the result has no such column.
  const Value& operator[](std::string_view name) const;
};

// A reusable insert of rows into one table, with a fixed column list; values
// are bound as texts (never written into a statement), so a value may hold any
// byte. Obtained from DatabaseConnection::Insert, owned by the connection.
class BoundInsert {
 public:
  virtual ~BoundInsert() = default;
  // Stores one row: values[i] goes to column i (as text; the database converts
  // it as it would a quoted literal). A backend may hold the row until Flush.
  // Throws DatabaseError (message and the row as a statement) when the row, or
  // a batch it completes, is rejected; a rejected row is not stored.
  virtual void Add(const std::vector<std::string_view>& values) = 0;
  // Sends the rows still held; nothing to do for a backend that stores each
  // row in Add. Throws DatabaseError when the batch is rejected (its rows are
  // then dropped).
  virtual void Flush() {}
  // Drops the rows still held without sending them.
  virtual void Discard() {}
};

class DatabaseConnection {
 public:
  virtual ~DatabaseConnection() = default;
  // Opens the connection; throws DatabaseError with a clear message on failure.
  virtual void Open() = 0;
  // Runs one T-SQL text. Statements without result take effect before it
  // returns; a SELECT gives its rows. Throws DatabaseError (server's message and
  // the statement) when the statement is rejected.
  virtual std::unique_ptr<Recordset> Execute(std::string_view sql) = 0;
  // The identity generated for the row just inserted into `table` ("###C100").
  virtual int64_t LastIdentity(std::string_view table) = 0;
  // Releases the connection; the staging tables vanish with it. Idempotent.
  virtual void Close() = 0;
  // A short description of the target for messages (never a password).
  virtual std::string Describe() const = 0;

  // The insert of `columns` into `table`, prepared on first use and kept by
  // the connection until Close (the same object for the same table and
  // columns). Throws DatabaseError when the database refuses it (no such
  // table or column).
  BoundInsert& Insert(std::string_view table, const std::vector<std::string>& columns);
  // Statements sent to the database (round trips) since the connection was
  // made, for backends that count them; -1 for the others.
  virtual int64_t StatementsSent() const { return -1; }

 protected:
  // Makes the insert for Insert. The default composes one T-SQL text per row,
  // every value quoted (quotes doubled), and runs it through Execute: a
  // backend without a bound path (or a test double in front of another
  // connection) sees exactly the statements it always saw.
  virtual std::unique_ptr<BoundInsert> MakeInsert(std::string_view table, const std::vector<std::string>& columns);
  // Sends the rows every insert still holds (batching backends call it before
  // any other statement, so that reads see every row added). Throws
  // DatabaseError from the first batch rejected; the rows of every insert are
  // dropped either way.
  void FlushInserts();
  // Drops the rows every insert holds (before a rollback).
  void DiscardInserts();
  // Releases every insert (backends call it in Close, before their handles go).
  void DropInserts() {
    inserts_.clear();
    insertsOfTable_.clear();
  }

 private:
  struct InsertEntry {
    std::string table;
    std::vector<std::string> columns;
    std::unique_ptr<BoundInsert> insert;
  };
  // Hashes a table name given as any kind of text (look-ups without a copy).
  struct NameHash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const noexcept { return std::hash<std::string_view>{}(s); }
  };
  std::vector<InsertEntry> inserts_;  // one per record code loaded, in the order made
  std::unordered_map<std::string, std::vector<size_t>, NameHash, std::equal_to<>> insertsOfTable_;  // into inserts_
  size_t lastInsert_ = 0;             // where the previous look-up found its entry
};

// The T-SQL text that stores one row: "INSERT INTO table(c1,c2) VALUES
// ('v1','v2')", every value quoted with its quotes doubled. Used by the
// default insert and in messages about a rejected row.
std::string InsertStatementText(std::string_view table, const std::vector<std::string>& columns,
                                const std::vector<std::string_view>& values);

// A connection for `target`: "" or "sqlite" (a private temporary database),
// "sqlite:PATH" (a fresh database file at PATH, removed on Close), "memory"
// (in memory), "odbc:CONNECTION STRING". Not yet opened. Throws DatabaseError
// for an unknown kind of target.
std::unique_ptr<DatabaseConnection> CreateConnection(const std::string& target);

// An empty result, for statements that yield no rows.
std::unique_ptr<Recordset> MakeEmptyRecordset();
