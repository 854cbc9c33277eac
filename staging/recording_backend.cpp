#include "staging/recording_backend.h"

#include <cctype>

namespace {

std::string Upper(std::string_view s) {
  std::string u(s);
  for (char& c : u) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return u;
}

class TableRecordset : public Recordset {
 public:
  explicit TableRecordset(RecordingConnection::Result r) : r_(std::move(r)) {}
  bool Eof() const override { return pos_ >= r_.rows.size(); }
  int64_t RecordCount() override { return static_cast<int64_t>(r_.rows.size()); }
  void MoveNext() override {
    if (pos_ < r_.rows.size()) ++pos_;
  }
  int ColumnCount() const override { return static_cast<int>(r_.columns.size()); }
  const std::string& ColumnName(int i) const override { return r_.columns[static_cast<size_t>(i)]; }
  int FindColumn(std::string_view name) const override {
    for (size_t i = 0; i < r_.columns.size(); ++i)
      if (Upper(r_.columns[i]) == Upper(name)) return static_cast<int>(i);
    return -1;
  }
  const Value& Column(int i) const override {
    if (Eof() || i < 0 || static_cast<size_t>(i) >= r_.rows[pos_].size()) return null_;
    return r_.rows[pos_][static_cast<size_t>(i)];
  }

 private:
  RecordingConnection::Result r_;
  size_t pos_ = 0;
  Value null_;
};

}  // namespace

std::unique_ptr<Recordset> MakeTableRecordset(RecordingConnection::Result result) {
  return std::make_unique<TableRecordset>(std::move(result));
}

void RecordingConnection::SetResultFor(std::string fragment, Result result) {
  fixed_.emplace_back(std::move(fragment), std::move(result));
}

std::unique_ptr<Recordset> RecordingConnection::Execute(std::string_view sql) {
  if (!open_) throw DatabaseError("The database connection is not open. (statement: " + std::string(sql) + ")");
  statements_.emplace_back(sql);
  for (const auto& [fragment, result] : fixed_)
    if (sql.find(fragment) != std::string_view::npos) return MakeTableRecordset(result);
  size_t i = sql.find_first_not_of(" \t\r\n");
  std::string head = i == std::string_view::npos ? "" : Upper(sql.substr(i, 6));
  if (head == "SELECT" && !queued_.empty()) {
    Result r = std::move(queued_.front());
    queued_.pop_front();
    return MakeTableRecordset(std::move(r));
  }
  if (head == "INSERT") {
    // "INSERT INTO ###C100(..." : the table name ends at "(" or a blank.
    size_t into = Upper(sql).find("INTO");
    if (into != std::string::npos) {
      size_t b = sql.find_first_not_of(' ', into + 4);
      size_t e = b == std::string_view::npos ? b : sql.find_first_of(" (", b);
      if (b != std::string_view::npos) ++inserts_[Upper(sql.substr(b, e == std::string_view::npos ? e : e - b))];
    }
  }
  return MakeEmptyRecordset();
}

int64_t RecordingConnection::LastIdentity(std::string_view table) {
  auto it = inserts_.find(Upper(table));
  return it == inserts_.end() ? 0 : it->second;
}
