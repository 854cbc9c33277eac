// Results of ODBC statements, read into memory row by row.
#include <cctype>
#include <charconv>
#include <cstring>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "staging/odbc/odbc_api.h"

namespace {

// How a column is asked for: SQL_C_SBIGINT, SQL_C_DOUBLE, or SQL_C_CHAR (read
// as text, then a whole number or a floating number, or kept as text).
enum class Fetch : uint8_t { Int, Float, Decimal, Text };

// A finished result held in memory.
class MemoryRecordset : public Recordset {
 public:
  MemoryRecordset(std::vector<std::string> names, std::vector<std::vector<Value>> rows)
      : names_(std::move(names)), rows_(std::move(rows)) {}

  bool Eof() const override { return pos_ >= rows_.size(); }
  int64_t RecordCount() override { return static_cast<int64_t>(rows_.size()); }
  void MoveNext() override {
    if (pos_ < rows_.size()) ++pos_;
  }
  int ColumnCount() const override { return static_cast<int>(names_.size()); }
  const std::string& ColumnName(int i) const override { return names_.at(static_cast<size_t>(i)); }
  // ASCII case-insensitive, first match wins.
  int FindColumn(std::string_view name) const override {
    for (size_t c = 0; c < names_.size(); ++c) {
      const std::string& n = names_[c];
      if (n.size() != name.size()) continue;
      bool same = true;
      for (size_t k = 0; k < n.size() && same; ++k)
        same = std::tolower(static_cast<unsigned char>(n[k])) ==
               std::tolower(static_cast<unsigned char>(name[k]));
      if (same) return static_cast<int>(c);
    }
    return -1;
  }
  // Null past the end or for a position out of range.
  const Value& Column(int i) const override {
    static const Value kNull;
    if (Eof() || i < 0 || static_cast<size_t>(i) >= names_.size()) return kNull;
    return rows_[pos_][static_cast<size_t>(i)];
  }

 private:
  std::vector<std::string> names_;
  std::vector<std::vector<Value>> rows_;
  size_t pos_ = 0;
};

// Raises DatabaseError with the statement handle's diagnostics.
[[noreturn]] void FailFetch(SQLHSTMT stmt, const std::string& what) {
  throw DatabaseError("Cannot read the result (" + what + "): " + OdbcDiagnostics(SQL_HANDLE_STMT, stmt));
}

// The way to fetch a column of SQL type `type` with `scale` decimals.
Fetch FetchKindOf(SQLSMALLINT type, SQLSMALLINT scale) {
  switch (type) {
    case SQL_BIT:
    case SQL_TINYINT:
    case SQL_SMALLINT:
    case SQL_INTEGER:
    case SQL_BIGINT:
      return Fetch::Int;
    case SQL_REAL:
    case SQL_FLOAT:
    case SQL_DOUBLE:
      return Fetch::Float;
    case SQL_DECIMAL:
    case SQL_NUMERIC:
      return scale == 0 ? Fetch::Decimal : Fetch::Float;
    default:
      return Fetch::Text;
  }
}

// The column's bytes as SQL_C_CHAR, read in pieces so that texts of any
// length arrive whole; `null` set for SQL NULL.
std::string GetText(SQLHSTMT stmt, SQLUSMALLINT col, bool& null) {
  std::string out;
  char buf[8192];
  null = false;
  for (;;) {
    SQLLEN ind = 0;
    SQLRETURN rc = SQLGetData(stmt, col, SQL_C_CHAR, buf, sizeof buf, &ind);
    if (rc == SQL_NO_DATA) break;
    if (!OdbcOk(rc)) FailFetch(stmt, "column " + std::to_string(col));
    if (ind == SQL_NULL_DATA) {
      null = true;
      return {};
    }
    const bool truncated = rc == SQL_SUCCESS_WITH_INFO &&
                           (ind == SQL_NO_TOTAL || ind >= static_cast<SQLLEN>(sizeof buf));
    if (truncated) {
      // A full piece ends in its terminating zero; a driver that converts
      // between character sets may stop short of a character that does not fit.
      const void* end = std::memchr(buf, '\0', sizeof buf - 1);
      out.append(buf, end ? static_cast<size_t>(static_cast<const char*>(end) - buf) : sizeof buf - 1);
      continue;
    }
    out.append(buf, static_cast<size_t>(ind));
    break;
  }
  return out;
}

// A DECIMAL / NUMERIC without decimals (IDENT_CURRENT gives NUMERIC(38,0)):
// a whole number when it fits 64 bits, else a floating number.
Value DecimalValue(const std::string& text) {
  const char* b = text.data();
  const char* e = b + text.size();
  int64_t i = 0;
  auto [p, ec] = std::from_chars(b, e, i);
  if (ec == std::errc() && p == e) return Value::Int(i);
  double d = 0;
  std::from_chars(b, e, d);
  return Value::Float(d);
}

// Column `col` of the fetched row as a Value; throws DatabaseError (FailFetch).
Value GetValue(SQLHSTMT stmt, SQLUSMALLINT col, Fetch kind) {
  SQLLEN ind = 0;
  switch (kind) {
    case Fetch::Int: {
      SQLBIGINT v = 0;
      if (!OdbcOk(SQLGetData(stmt, col, SQL_C_SBIGINT, &v, sizeof v, &ind)))
        FailFetch(stmt, "column " + std::to_string(col));
      return ind == SQL_NULL_DATA ? Value() : Value::Int(static_cast<int64_t>(v));
    }
    case Fetch::Float: {
      SQLDOUBLE v = 0;
      if (!OdbcOk(SQLGetData(stmt, col, SQL_C_DOUBLE, &v, sizeof v, &ind)))
        FailFetch(stmt, "column " + std::to_string(col));
      return ind == SQL_NULL_DATA ? Value() : Value::Float(v);
    }
    case Fetch::Decimal: {
      bool null = false;
      std::string t = GetText(stmt, col, null);
      return null ? Value() : DecimalValue(t);
    }
    case Fetch::Text: {
      bool null = false;
      std::string t = GetText(stmt, col, null);
      return null ? Value() : Value::Text(std::move(t));
    }
  }
  return Value();
}

}  // namespace

std::unique_ptr<Recordset> FetchOdbcResult(SQLHSTMT stmt) {
  SQLSMALLINT cols = 0;
  if (!OdbcOk(SQLNumResultCols(stmt, &cols))) FailFetch(stmt, "columns");
  std::vector<std::string> names;
  std::vector<Fetch> kinds;
  for (SQLUSMALLINT c = 1; c <= static_cast<SQLUSMALLINT>(cols); ++c) {
    SQLCHAR name[256];
    SQLSMALLINT nameLen = 0, type = 0, scale = 0, nullable = 0;
    SQLULEN size = 0;
    if (!OdbcOk(SQLDescribeCol(stmt, c, name, sizeof name, &nameLen, &type, &size, &scale, &nullable)))
      FailFetch(stmt, "column " + std::to_string(c));
    size_t n = nameLen < static_cast<SQLSMALLINT>(sizeof name) ? static_cast<size_t>(nameLen) : sizeof name - 1;
    names.emplace_back(reinterpret_cast<const char*>(name), n);
    kinds.push_back(FetchKindOf(type, scale));
  }
  std::vector<std::vector<Value>> rows;
  for (;;) {
    SQLRETURN rc = SQLFetch(stmt);
    if (rc == SQL_NO_DATA) break;
    if (!OdbcOk(rc)) FailFetch(stmt, "row " + std::to_string(rows.size() + 1));
    std::vector<Value> row;
    row.reserve(kinds.size());
    for (size_t c = 0; c < kinds.size(); ++c)
      row.push_back(GetValue(stmt, static_cast<SQLUSMALLINT>(c + 1), kinds[c]));
    rows.push_back(std::move(row));
  }
  return std::make_unique<MemoryRecordset>(std::move(names), std::move(rows));
}

std::unique_ptr<Recordset> EmptyOdbcResult() {
  return std::make_unique<MemoryRecordset>(std::vector<std::string>{}, std::vector<std::vector<Value>>{});
}
