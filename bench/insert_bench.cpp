// Benchmark of the staging database's INSERT paths: 1,000,000 C170 rows sent
// as the loader sends them (DatabaseConnection::Insert, values bound), and as
// one T-SQL text per row with every value quoted through
// DatabaseConnection::Execute (the path of backends without binding), against
// the same rows inserted through a raw SQLite prepared statement. Each side
// gets a fresh private database with the same pragmas, table, collation and
// index, and one transaction. Prints the times and their ratios to raw.
#include <sqlite3.h>

#include <charconv>
#include <chrono>
#include <ctime>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "blocks/registry.h"
#include "staging/database.h"
#include "staging/sqlite/sqlite_connection.h"
#include "staging/sqlite/sqlite_functions.h"

namespace {

// Processor time of this thread: the machine may be busy with other work, and
// what is compared is the work each path does.
struct Clock {
  using duration = std::chrono::nanoseconds;
  static std::chrono::time_point<Clock, duration> now() {
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return std::chrono::time_point<Clock, duration>(duration(ts.tv_sec * 1000000000LL + ts.tv_nsec));
  }
};
int kRows = 1000000;  // the first argument may ask for fewer
constexpr int kBatch = 10000;

struct Column {
  std::string name;
  bool integer;
};

// The values of row `r`: varied like a real file's items.
void RowValues(int r, const std::vector<Column>& cols, std::vector<std::string>& out) {
  out.resize(cols.size());
  for (size_t c = 0; c < cols.size(); ++c) {
    const std::string& n = cols[c].name;
    if (n == "Id_CNPJ") out[c] = r % 3 ? "12345678000195" : "12345678000276";
    else if (n == "ID") out[c] = std::to_string(r / 4 + 1);
    else if (n == "Reg") out[c] = "C170";
    else if (n == "Num_Item") out[c] = std::to_string(r % 4 + 1);
    else if (n == "Cod_Item") out[c] = "ITEM" + std::to_string(r % 5000);
    else if (n == "Desc_Com_PL") out[c] = r % 7 ? "" : "D'AGUA MINERAL";
    else if (n.rfind("VL_", 0) == 0) out[c] = std::to_string(r % 1000) + "," + std::to_string(10 + r % 90);
    else if (n.rfind("CST", 0) == 0) out[c] = r % 2 ? "01" : "50";
    else if (n == "CFOP") out[c] = "5102";
    else if (cols[c].integer) out[c] = "1";  // Id_Arquivo and other whole numbers
    else out[c] = (r + static_cast<int>(c)) % 3 ? "" : "1,65";
  }
}

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

double RunExecute(const std::vector<Column>& cols) {
  auto db = CreateConnection("");
  db->Open();
  std::string create = "CREATE TABLE ###C170(", names;
  for (size_t c = 0; c < cols.size(); ++c) {
    create += (c ? "," : "") + cols[c].name + (cols[c].integer ? " INT" : " VARCHAR(MAX)");
    names += (c ? "," : "") + cols[c].name;
  }
  db->Execute(create + ")");
  db->Execute("BEGIN TRANSACTION");
  std::vector<std::string> texts(kBatch), values;
  Clock::duration total{};
  for (int done = 0; done < kRows; done += kBatch) {
    for (int i = 0; i < kBatch; ++i) {
      RowValues(done + i, cols, values);
      std::string& t = texts[static_cast<size_t>(i)];
      t = "INSERT INTO ###C170(" + names + ") VALUES (";
      for (size_t c = 0; c < values.size(); ++c) {
        t += c ? ",'" : "'";
        for (char ch : values[c]) t += ch == '\'' ? std::string("''") : std::string(1, ch);
        t += '\'';
      }
      t += ')';
    }
    auto start = Clock::now();
    for (const std::string& t : texts) db->Execute(t);
    total += Clock::now() - start;
  }
  db->Execute("COMMIT TRANSACTION");
  auto rs = db->Execute("SELECT COUNT(*) AS n FROM ###C170");
  if (rs->Column(0).AsInt() != kRows) std::fprintf(stderr, "Execute path stored %lld rows\n", static_cast<long long>(rs->Column(0).AsInt()));
  return Seconds(total);
}

double RunBound(const std::vector<Column>& cols) {
  auto db = CreateConnection("");
  db->Open();
  std::string create = "CREATE TABLE ###C170(";
  std::vector<std::string> names;
  for (size_t c = 0; c < cols.size(); ++c) {
    create += (c ? "," : "") + cols[c].name + (cols[c].integer ? " INT" : " VARCHAR(MAX)");
    names.push_back(cols[c].name);
  }
  db->Execute(create + ")");
  db->Execute("BEGIN TRANSACTION");
  std::vector<std::vector<std::string>> rows(kBatch);
  std::vector<std::string_view> values;
  Clock::duration total{};
  for (int done = 0; done < kRows; done += kBatch) {
    for (int i = 0; i < kBatch; ++i) RowValues(done + i, cols, rows[static_cast<size_t>(i)]);
    auto start = Clock::now();
    for (const auto& row : rows) {
      values.assign(row.begin(), row.end());
      db->Insert("###C170", names).Add(values);
    }
    total += Clock::now() - start;
  }
  db->Execute("COMMIT TRANSACTION");
  auto rs = db->Execute("SELECT COUNT(*) AS n FROM ###C170");
  if (rs->Column(0).AsInt() != kRows) std::fprintf(stderr, "bound path stored %lld rows\n", static_cast<long long>(rs->Column(0).AsInt()));
  return Seconds(total);
}

double RunRaw(const std::vector<Column>& cols) {
  sqlite3* db = nullptr;
  sqlite3_open_v2("", &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
  tsql::RegisterFunctions(db);
  sqlite3_exec(db, kStagingPragmas, nullptr, nullptr, nullptr);
  std::string create = "CREATE TABLE \"###C170\"(", insert = "INSERT INTO \"###C170\"(", params;
  for (size_t c = 0; c < cols.size(); ++c) {
    create += (c ? ", \"" : "\"") + cols[c].name + (cols[c].integer ? "\" INTEGER" : "\" TEXT COLLATE TSQL");
    insert += (c ? ",\"" : "\"") + cols[c].name + "\"";
    params += c ? ",?" : "?";
  }
  sqlite3_exec(db, (create + ")").c_str(), nullptr, nullptr, nullptr);
  sqlite3_exec(db, "CREATE INDEX \"###C170#ID\" ON \"###C170\"(\"ID\")", nullptr, nullptr, nullptr);
  sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db, (insert + ") VALUES (" + params + ")").c_str(), -1, &st, nullptr);
  std::vector<std::vector<std::string>> rows(kBatch);
  Clock::duration total{};
  for (int done = 0; done < kRows; done += kBatch) {
    for (int i = 0; i < kBatch; ++i) RowValues(done + i, cols, rows[static_cast<size_t>(i)]);
    auto start = Clock::now();
    for (const auto& row : rows) {
      for (size_t c = 0; c < row.size(); ++c) {
        long long n = 0;
        const char* b = row[c].data();
        const char* e = b + row[c].size();
        auto parsed = std::from_chars(b, e, n);
        if (cols[c].integer && parsed.ec == std::errc() && parsed.ptr == e) sqlite3_bind_int64(st, static_cast<int>(c) + 1, n);
        else sqlite3_bind_text(st, static_cast<int>(c) + 1, row[c].data(), static_cast<int>(row[c].size()), SQLITE_STATIC);
      }
      if (sqlite3_step(st) != SQLITE_DONE) std::fprintf(stderr, "raw insert failed: %s\n", sqlite3_errmsg(db));
      sqlite3_reset(st);
    }
    total += Clock::now() - start;
  }
  sqlite3_finalize(st);
  sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_close(db);
  return Seconds(total);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) kRows = std::max(kBatch, std::atoi(argv[1]) / kBatch * kBatch);
  const LayoutSpec* spec = FindAnyLayout("C170");
  if (!spec) {
    std::fprintf(stderr, "no C170 layout\n");
    return 1;
  }
  std::vector<Column> cols;
  for (const FieldSpec& f : spec->fields) cols.push_back(Column{f.name, f.integer});
  double raw = RunRaw(cols);
  double exec = RunExecute(cols);
  double bound = RunBound(cols);
  std::printf("C170 rows: %d, %zu columns\n", kRows, cols.size());
  std::printf("raw SQLite prepared statement: %.3f s CPU (%.2f us/row)\n", raw, raw * 1e6 / kRows);
  std::printf("Execute of T-SQL texts:        %.3f s CPU (%.2f us/row)\n", exec, exec * 1e6 / kRows);
  std::printf("Insert, values bound:          %.3f s CPU (%.2f us/row)\n", bound, bound * 1e6 / kRows);
  std::printf("ratio Execute / raw: %.2f, bound / raw: %.2f\n", exec / raw, bound / raw);
  return 0;
}
