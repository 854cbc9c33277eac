// Value, the empty result and the choice of backend for a target text.
#include "staging/database.h"

#include <charconv>
#include <cmath>
#include <exception>

#include "staging/sqlite/sqlite_connection.h"
#ifdef QUELVAR_HAVE_ODBC
#include "staging/odbc/odbc_backend.h"
#endif
#include "staging/text.h"

namespace {

// Reads a number written with '.' or ',' as decimal mark, blanks around it
// allowed; false when the text is no number.
bool ParseDecimalText(std::string_view s, double& out) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  if (s.empty()) return false;
  std::string t(s);
  for (char& c : t)
    if (c == ',') c = '.';
  const char* b = t.data();
  const char* e = b + t.size();
  if (*b == '+') ++b;
  auto r = std::from_chars(b, e, out);
  return r.ec == std::errc() && r.ptr == e;
}

class EmptyRecordset : public Recordset {
 public:
  bool Eof() const override { return true; }
  int64_t RecordCount() override { return 0; }
  void MoveNext() override {}
  int ColumnCount() const override { return 0; }
  const std::string& ColumnName(int) const override { return empty_; }
  int FindColumn(std::string_view) const override { return -1; }
  const Value& Column(int) const override { return null_; }

 private:
  std::string empty_;
  Value null_;
};

// The default insert: one quoted T-SQL text per row through Execute.
class TextInsert : public BoundInsert {
 public:
  TextInsert(DatabaseConnection& db, std::string_view table, const std::vector<std::string>& columns)
      : db_(db) {
    head_.assign("INSERT INTO ").append(table).append("(");
    for (size_t i = 0; i < columns.size(); ++i) head_.append(i ? "," : "").append(columns[i]);
    head_.append(") VALUES (");
  }
  void Add(const std::vector<std::string_view>& values) override {
    sql_.assign(head_);
    for (size_t i = 0; i < values.size(); ++i) AppendQuoted(sql_.append(i ? ",'" : "'"), values[i]) += '\'';
    sql_ += ')';
    db_.Execute(sql_);
  }
  static std::string& AppendQuoted(std::string& out, std::string_view v) {
    for (char c : v) {
      out += c;
      if (c == '\'') out += '\'';
    }
    return out;
  }

 private:
  DatabaseConnection& db_;
  std::string head_, sql_;  // reused for every row
};

}  // namespace

std::string InsertStatementText(std::string_view table, const std::vector<std::string>& columns,
                                const std::vector<std::string_view>& values) {
  std::string sql = "INSERT INTO " + std::string(table) + "(";
  for (size_t i = 0; i < columns.size(); ++i) sql.append(i ? "," : "").append(columns[i]);
  sql += ") VALUES (";
  for (size_t i = 0; i < values.size(); ++i) TextInsert::AppendQuoted(sql.append(i ? ",'" : "'"), values[i]) += '\'';
  return sql += ')';
}

BoundInsert& DatabaseConnection::Insert(std::string_view table, const std::vector<std::string>& columns) {
  if (lastInsert_ < inserts_.size() && inserts_[lastInsert_].table == table && inserts_[lastInsert_].columns == columns)
    return *inserts_[lastInsert_].insert;
  if (auto it = insertsOfTable_.find(table); it != insertsOfTable_.end())
    for (size_t i : it->second)
      if (inserts_[i].columns == columns) {
        lastInsert_ = i;
        return *inserts_[i].insert;
      }
  std::unique_ptr<BoundInsert> made = MakeInsert(table, columns);
  inserts_.push_back(InsertEntry{std::string(table), columns, std::move(made)});
  lastInsert_ = inserts_.size() - 1;
  insertsOfTable_[std::string(table)].push_back(lastInsert_);
  return *inserts_.back().insert;
}

std::unique_ptr<BoundInsert> DatabaseConnection::MakeInsert(std::string_view table,
                                                            const std::vector<std::string>& columns) {
  return std::make_unique<TextInsert>(*this, table, columns);
}

void DatabaseConnection::FlushInserts() {
  std::exception_ptr first;
  for (InsertEntry& e : inserts_) {
    try {
      e.insert->Flush();
    } catch (...) {
      if (!first) first = std::current_exception();
    }
  }
  if (first) std::rethrow_exception(first);
}

void DatabaseConnection::DiscardInserts() {
  for (InsertEntry& e : inserts_) e.insert->Discard();
}

int64_t Value::AsInt() const {
  switch (kind_) {
    case Kind::Int: return i_;
    case Kind::Float:
      if (!std::isfinite(d_)) return 0;
      return static_cast<int64_t>(std::trunc(d_));
    case Kind::Text: {
      double d = 0;
      if (!ParseDecimalText(s_, d) || !std::isfinite(d)) return 0;
      return static_cast<int64_t>(std::trunc(d));
    }
    default: return 0;
  }
}

double Value::AsDouble() const {
  switch (kind_) {
    case Kind::Int: return static_cast<double>(i_);
    case Kind::Float: return d_;
    case Kind::Text: {
      double d = 0;
      return ParseDecimalText(s_, d) ? d : 0;
    }
    default: return 0;
  }
}

std::string Value::AsText() const {
  switch (kind_) {
    case Kind::Int: return FormatNumber(static_cast<long long>(i_));
    case Kind::Float: return FormatNumber(d_);
    case Kind::Text: return s_;
    default: return std::string();
  }
}

const Value& Recordset::operator[](std::string_view name) const {
  int i = FindColumn(name);
  if (i < 0) throw DatabaseError("The result has no column named \"" + std::string(name) + "\".");
  return Column(i);
}

std::unique_ptr<DatabaseConnection> CreateConnection(const std::string& target) {
  if (target.empty() || target == "sqlite") return MakeSqliteConnection(SqliteTarget::Temporary);
  if (target == "memory") return MakeSqliteConnection(SqliteTarget::Memory);
  if (target.rfind("sqlite:", 0) == 0) {
    std::string path = target.substr(7);
    if (path.empty()) throw DatabaseError("O destino \"sqlite:\" do banco de dados de trabalho não nomeia arquivo: use sqlite:CAMINHO.");
    // SQLite would read "file:..." as a URI naming any database, existing ones included.
    if (path.size() >= 5 && UpperLatin1(path.substr(0, 5)) == "FILE:")
      throw DatabaseError("O destino \"" + target +
                          "\" do banco de dados de trabalho é um URI: dê o caminho de um arquivo novo (sqlite:CAMINHO).");
    return MakeSqliteConnection(SqliteTarget::File, path);
  }
  if (target.rfind("odbc:", 0) == 0) {
#ifdef QUELVAR_HAVE_ODBC
    return CreateOdbcConnection(target.substr(5));
#else
    throw DatabaseError("Este programa foi compilado sem suporte a ODBC: use \"sqlite\", \"memory\" ou \"sqlite:CAMINHO\".");
#endif
  }
  // A mistyped connection string may hold a password: such a target is not repeated.
  std::string shown = target.find('=') == std::string::npos ? " \"" + target + "\"" : "";
  throw DatabaseError("Destino do banco de dados de trabalho desconhecido" + shown +
                      " (use \"sqlite\", \"memory\", \"sqlite:CAMINHO\" ou \"odbc:CONNECTION\").");
}

std::unique_ptr<Recordset> MakeEmptyRecordset() { return std::make_unique<EmptyRecordset>(); }
