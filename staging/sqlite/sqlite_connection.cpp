#include "staging/sqlite/sqlite_connection.h"

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <cassert>
#include <charconv>
#include <cmath>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/files.h"
#include "staging/system_error_text.h"
#include "staging/signal_cleanup.h"
#include "staging/sqlite/sqlite_functions.h"
#include "staging/sqlite/sqlite_translate.h"
#include "staging/sqlite/tsql_parser.h"

const char* const kStagingPragmas =
    "PRAGMA journal_mode=MEMORY; PRAGMA synchronous=OFF; PRAGMA locking_mode=EXCLUSIVE; "
    "PRAGMA cache_size=-65536; PRAGMA temp_store=MEMORY;";

std::string SqliteFailureText(sqlite3* db) {
  const int sys = sqlite3_system_errno(db);
  switch (sqlite3_extended_errcode(db) & 0xff) {
    case SQLITE_FULL: return "não há espaço livre no disco do banco de dados de trabalho";
    case SQLITE_IOERR:
    case SQLITE_READONLY:
    case SQLITE_CANTOPEN:
      if (sys) return "banco de dados de trabalho: " + SystemErrorText(sys);
      break;
    default: break;
  }
  return sqlite3_errmsg(db);
}

namespace {

using tsql::SqlType;

constexpr size_t kChunkRows = 256;  // rows a result reads ahead
constexpr size_t kIdleStatements = 4;

[[noreturn]] void Fail(const std::string& message, std::string_view sql) {
  throw DatabaseError(message + " (statement: " + std::string(sql) + ")");
}

// A prepared statement and the values bound to it. The statement reads its
// texts in place (SQLITE_STATIC) from `texts`, which outlive every run; a
// parameter whose new value is the one bound already is not bound again (the
// '|' of line expressions, empty fields, link columns).
struct Prepared {
  sqlite3_stmt* stmt = nullptr;
  std::vector<std::string> texts;      // per parameter: the literal bound (as written)
  std::vector<tsql::TokKind> kinds;    // its kind; End while unbound
};

// One statement shape: its translation and the prepared statements not in use.
struct CachedStatement {
  tsql::Translation tr;
  std::vector<std::unique_ptr<Prepared>> idle;
  int64_t* identity = nullptr;  // the target table's last identity (INSERT)
};

class SqliteRecordset;

// Statements run lately, as patterns (tsql::MatchTemplate): a statement sent
// again with other literals finds its cache entry without a full scan and
// without hashing its shape. The bucket of a statement is chosen from its
// first bytes and the name after its first "###" (the program's statements
// differ mostly by table); a few patterns per bucket, the latest used first.
// A statement that matches no pattern is scanned in full and becomes one.
class TemplateMemo {
 public:
  // The entry of a remembered pattern that `sql` matches, its literals in
  // `literals` and `owned`; null when none matches.
  CachedStatement* Find(std::string_view sql, std::vector<tsql::Literal>& literals, tsql::OwnedTexts& owned) {
    Bucket& b = buckets_[BucketOf(sql)];
    for (size_t k = 0; k < kWays && b[k].entry; ++k) {
      if (!tsql::MatchTemplate(b[k].pattern, sql, literals, owned)) continue;
      std::rotate(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(k), b.begin() + static_cast<std::ptrdiff_t>(k) + 1);
      return b[0].entry;
    }
    return nullptr;
  }

  // Remembers `sql`, scanned into `spans`, as a pattern for `entry` (which
  // must outlive the memo), dropping the pattern of its bucket used longest ago.
  void Remember(std::string_view sql, const std::vector<tsql::LiteralSpan>& spans, CachedStatement* entry) {
    Bucket& b = buckets_[BucketOf(sql)];
    std::rotate(b.begin(), b.end() - 1, b.end());
    b[0].pattern.text.assign(sql);
    b[0].pattern.spans = spans;
    b[0].entry = entry;
  }

 private:
  static constexpr size_t kBuckets = 64, kWays = 4;
  struct Slot {
    tsql::ScanTemplate pattern;
    CachedStatement* entry = nullptr;  // null: free
  };
  using Bucket = std::array<Slot, kWays>;

  static size_t BucketOf(std::string_view sql) {
    uint32_t h = 2166136261u;
    auto mix = [&h](std::string_view part) {
      for (unsigned char c : part) h = (h ^ c) * 16777619u;
    };
    mix(sql.substr(0, 16));
    size_t at = sql.find("###");
    if (at != std::string_view::npos) mix(sql.substr(at, 8));
    return h % kBuckets;
  }

  std::array<Bucket, kBuckets> buckets_;
};

// State shared by the connection and the results it handed out.
struct Engine {
  sqlite3* db = nullptr;
  tsql::Catalog catalog;
  std::unordered_map<std::string, std::unique_ptr<CachedStatement>> cache;
  std::unordered_map<std::string, int64_t> identities;  // key: upper-cased table name
  std::unordered_set<SqliteRecordset*> live;
  tsql::Lexed lexed;                     // tokens of a statement being translated
  std::vector<tsql::Literal> literals;   // literals of the statement being run
  tsql::OwnedTexts owned;                // their undoubled texts
  std::string shape;                     // its look-up key
  std::vector<tsql::LiteralSpan> spans;  // where its literals stand
  TemplateMemo memo;
  int64_t statements = 0;  // statements run, a batch of bound rows counting once (StatementsSent)

  // Bound inserts hold rows and store them as one multi-row INSERT (see
  // SqliteInsert). Per table: the insert holding rows now, and whether the
  // table's identity is known from a row this connection stored since the
  // last ROLLBACK (`epoch` counts the ROLLBACKs), so that held rows can be
  // given theirs.
  struct TableSlot {
    BoundInsert* holder = nullptr;
    bool known = false;
    uint64_t epoch = 0;
  };
  std::unordered_map<std::string, TableSlot> tables;  // key: upper-cased table name
  std::vector<BoundInsert*> holders;                  // inserts that hold rows
  uint64_t epoch = 0;

  // Stores the rows every insert holds, before any other statement runs so
  // that it sees them. Throws the first DatabaseError; the rows of a rejected
  // batch are dropped, the other inserts' rows are stored all the same.
  void FlushHeld() {
    if (holders.empty()) return;
    std::exception_ptr first;
    std::vector<BoundInsert*> now;
    now.swap(holders);
    for (BoundInsert* h : now) {
      try {
        h->Flush();
      } catch (...) {
        if (!first) first = std::current_exception();
      }
    }
    if (first) std::rethrow_exception(first);
  }
  // Drops the rows every insert holds (before a ROLLBACK, which would undo them).
  void DiscardHeld() {
    std::vector<BoundInsert*> now;
    now.swap(holders);
    for (BoundInsert* h : now) h->Discard();
  }

  // A prepared statement of `entry` that nobody is reading. Throws DatabaseError.
  std::unique_ptr<Prepared> Borrow(CachedStatement& entry, std::string_view sql) {
    if (!entry.idle.empty()) {
      std::unique_ptr<Prepared> p = std::move(entry.idle.back());
      entry.idle.pop_back();
      return p;
    }
    sqlite3_stmt* s = nullptr;
    int rc = sqlite3_prepare_v3(db, entry.tr.sql.c_str(), static_cast<int>(entry.tr.sql.size()),
                                SQLITE_PREPARE_PERSISTENT, &s, nullptr);
    if (rc != SQLITE_OK) Fail(std::string("cannot prepare the translated statement: ") + sqlite3_errmsg(db) + " [" + entry.tr.sql + "]", sql);
    auto p = std::make_unique<Prepared>();
    p->stmt = s;
    // Sized once: the bound texts must never move.
    const size_t count = static_cast<size_t>(sqlite3_bind_parameter_count(s));
    p->texts.resize(count);
    p->kinds.assign(count, tsql::TokKind::End);
    return p;
  }
  // Resets `p` and keeps it for the next run of `entry` (its values stay bound).
  void Return(CachedStatement& entry, std::unique_ptr<Prepared> p) {
    sqlite3_reset(p->stmt);
    if (entry.idle.size() < kIdleStatements) entry.idle.push_back(std::move(p));
    else sqlite3_finalize(p->stmt);
  }
};

std::string UpperName(std::string_view s) {
  std::string u(s);
  for (char& c : u)
    if (c >= 'a' && c <= 'z') c -= 32;
  return u;
}

// Binds literal `lit` as parameter i + 1 of `s`; a text is bound in place and
// must stay as it is while the statement may read it.
void BindLiteral(sqlite3_stmt* s, int i, const tsql::Literal& lit) {
  std::string_view v = lit.value;
  switch (lit.kind) {
    case tsql::TokKind::String:
      sqlite3_bind_text(s, i + 1, v.data() ? v.data() : "", static_cast<int>(v.size()), SQLITE_STATIC);
      break;
    case tsql::TokKind::Integer: {
      long long n = 0;
      auto r = std::from_chars(v.data(), v.data() + v.size(), n);
      if (r.ec == std::errc()) {
        sqlite3_bind_int64(s, i + 1, n);
        break;
      }
      [[fallthrough]];
    }
    default: {
      double d = 0;
      std::from_chars(v.data(), v.data() + v.size(), d);
      sqlite3_bind_double(s, i + 1, d);
    }
  }
}

// Binds the literals of the statement as parameters ?1..?n, each kept in `p`;
// those equal to what is bound already are left as they are.
void BindLiterals(Prepared& p, const std::vector<tsql::Literal>& lits) {
  const size_t count = std::min(p.texts.size(), lits.size());
  for (size_t i = 0; i < count; ++i) {
    const tsql::Literal& lit = lits[i];
    if (p.kinds[i] == lit.kind && p.texts[i] == lit.value) continue;
    p.kinds[i] = lit.kind;
    p.texts[i].assign(lit.value.data(), lit.value.size());
    BindLiteral(p.stmt, static_cast<int>(i), tsql::Literal{lit.kind, p.texts[i]});
  }
}

// Sets `out` to column i of the current row, as a Value of the column's T-SQL type.
void ReadColumn(sqlite3_stmt* s, int i, SqlType type, Value& out) {
  int st = sqlite3_column_type(s, i);
  if (st == SQLITE_NULL || type == SqlType::Null) return out.SetNull();
  switch (type) {
    case SqlType::Int:
      if (st == SQLITE_FLOAT) return out.SetInt(static_cast<int64_t>(std::trunc(sqlite3_column_double(s, i))));
      return out.SetInt(sqlite3_column_int64(s, i));
    case SqlType::Float: case SqlType::Decimal:
      return out.SetFloat(sqlite3_column_double(s, i));
    default: {
      if (st == SQLITE_INTEGER) return out.SetText(std::to_string(sqlite3_column_int64(s, i)));
      // Read as a blob: the text's bytes without the terminator sqlite3_column_text may have to add.
      const void* p = sqlite3_column_blob(s, i);
      return out.SetText(std::string_view(static_cast<const char*>(p), static_cast<size_t>(sqlite3_column_bytes(s, i))));
    }
  }
}

class SqliteRecordset : public Recordset {
 public:
  SqliteRecordset(std::shared_ptr<Engine> engine, CachedStatement* entry, std::unique_ptr<Prepared> prep)
      : engine_(std::move(engine)), entry_(entry), prep_(std::move(prep)), width_(entry->tr.columns.size()) {
    engine_->live.insert(this);
  }
  ~SqliteRecordset() override {
    Release();
    engine_->live.erase(this);
  }

  // Binds the statement's literals and reads the first chunk (or everything
  // when `all`); throws DatabaseError. The bound values live in the prepared
  // statement; the text is kept only when rows are left to fetch (messages).
  void Start(std::string_view sql, bool all) {
    BindLiterals(*prep_, engine_->literals);
    Fetch(sql, all);
    if (prep_) sql_.assign(sql);
  }

  bool Eof() const override { return pos_ >= count_; }
  int64_t RecordCount() override {
    if (!prep_) return fetched_;
    if (total_ < 0) total_ = CountRows();
    return total_;
  }
  void MoveNext() override {
    if (pos_ >= count_) return;
    if (++pos_ == count_ && prep_) Fetch(sql_, false);
  }
  int ColumnCount() const override { return static_cast<int>(width_); }
  const std::string& ColumnName(int i) const override { return entry_->tr.columns[static_cast<size_t>(i)].name; }
  int FindColumn(std::string_view name) const override {
    for (size_t i = 0; i < width_; ++i)
      if (tsql::SameName(entry_->tr.columns[i].name, name)) return static_cast<int>(i);
    return -1;
  }
  const Value& Column(int i) const override {
    if (Eof() || i < 0 || static_cast<size_t>(i) >= width_) return null_;
    return rows_[pos_ * width_ + static_cast<size_t>(i)];
  }

  // Gives the statement back (or finalizes it when the connection closes).
  void Release(bool finalize = false) {
    if (!prep_) return;
    if (finalize) {
      sqlite3_finalize(prep_->stmt);
      prep_.reset();
    } else {
      engine_->Return(*entry_, std::move(prep_));
    }
  }

 private:
  // Reads the next chunk of rows (all of them when `all`) into rows_, whose
  // values are refilled in place; throws DatabaseError.
  void Fetch(std::string_view sql, bool all) {
    engine_->FlushHeld();  // later chunks too see the rows added meanwhile
    pos_ = 0;
    count_ = 0;
    const auto& cols = entry_->tr.columns;
    sqlite3_stmt* stmt = prep_->stmt;
    for (;;) {
      if (!all && count_ == kChunkRows) return;
      int rc = sqlite3_step(stmt);
      if (rc == SQLITE_ROW) {
        size_t at = count_ * width_;
        if (rows_.size() < at + width_) rows_.resize(at + width_);
        for (size_t c = 0; c < width_; ++c) ReadColumn(stmt, static_cast<int>(c), cols[c].type, rows_[at + c]);
        ++count_;
        ++fetched_;
        continue;
      }
      if (rc == SQLITE_DONE) {
        Release();
        return;
      }
      std::string msg = SqliteFailureText(engine_->db);
      Release();
      rows_.clear();
      count_ = 0;
      Fail(msg, sql);
    }
  }

  int64_t CountRows() {
    const std::string& plain = entry_->tr.countSql;
    std::string sql = plain.empty() ? "SELECT count(*) FROM (" + entry_->tr.sql + ")" : plain;
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(engine_->db, sql.c_str(), -1, &s, nullptr) != SQLITE_OK)
      Fail(SqliteFailureText(engine_->db), sql_);
    const size_t params = std::min(prep_->texts.size(), static_cast<size_t>(sqlite3_bind_parameter_count(s)));
    for (size_t i = 0; i < params; ++i)
      if (prep_->kinds[i] != tsql::TokKind::End)
        BindLiteral(s, static_cast<int>(i), tsql::Literal{prep_->kinds[i], prep_->texts[i]});
    int64_t n = 0;
    int rc = sqlite3_step(s);
    if (rc == SQLITE_ROW) n = sqlite3_column_int64(s, 0);
    std::string msg = rc == SQLITE_ROW ? "" : SqliteFailureText(engine_->db);
    sqlite3_finalize(s);
    if (rc != SQLITE_ROW) Fail(msg, sql_);
    return n;
  }

  std::shared_ptr<Engine> engine_;
  CachedStatement* entry_;
  std::unique_ptr<Prepared> prep_;  // null once every row is read
  size_t width_;
  std::vector<Value> rows_;
  size_t pos_ = 0, count_ = 0;
  int64_t fetched_ = 0, total_ = -1;
  std::string sql_;
  Value null_;
};

// Whether `v`, given to a column that converts texts to numbers (tsql_int,
// tsql_float), converts without fail: 1 to 9 digits after an optional minus.
bool SafeNumberText(std::string_view v) {
  size_t i = !v.empty() && v[0] == '-' ? 1 : 0;
  if (v.size() == i || v.size() - i > 9) return false;
  for (; i < v.size(); ++i)
    if (v[i] < '0' || v[i] > '9') return false;
  return true;
}

// The value expressions of the single-row INSERT `sql` ("INSERT INTO t(c1,c2)
// VALUES (e1,e2)"), split at their top-level commas, after `head` set to the
// text up to and including "VALUES"; empty when the text has another shape.
std::vector<std::string> ValueExpressions(const std::string& sql, std::string& head) {
  const size_t at = sql.rfind(" VALUES (");
  if (at == std::string::npos || sql.back() != ')') return {};
  head = sql.substr(0, at + 7);
  std::vector<std::string> out(1);
  int depth = 0;
  bool quoted = false;
  for (size_t i = at + 9; i + 1 < sql.size(); ++i) {
    const char c = sql[i];
    if (c == '\'') quoted = !quoted;
    if (!quoted && c == '(') ++depth;
    if (!quoted && c == ')' && --depth < 0) return {};
    if (!quoted && depth == 0 && c == ',') {
      out.emplace_back();
      continue;
    }
    out.back() += c;
  }
  if (quoted || depth != 0) return {};
  return out;
}

// `expr` with each parameter ?N renumbered ?(N + shift); quoted texts kept as they are.
std::string ShiftParameters(std::string_view expr, int shift) {
  std::string out;
  bool quoted = false;
  for (size_t i = 0; i < expr.size(); ++i) {
    const char c = expr[i];
    if (c == '\'') quoted = !quoted;
    if (quoted || c != '?' || i + 1 >= expr.size() || expr[i + 1] < '1' || expr[i + 1] > '9') {
      out += c;
      continue;
    }
    size_t j = i + 1;
    int n = 0;
    while (j < expr.size() && expr[j] >= '0' && expr[j] <= '9') n = n * 10 + (expr[j++] - '0');
    out += '?' + std::to_string(n + shift);
    i = j - 1;
  }
  return out;
}

// A bound insert: one prepared statement for a row and one for a batch of
// rows ("INSERT ... VALUES (...),(...),..."), kept for the connection's life.
// Rows are held and stored as one statement when the batch is full, or row
// by row when they are needed sooner: before any other statement of the
// connection runs (Engine::FlushHeld) and before another insert into the same
// table adds a row (so rows keep the order they were given in). A held row of a table with an identity gets the
// identity it will be stored with (the last one + 1: SQLite numbers them so
// when nothing else inserts in between), which LastIdentity gives at once; a
// row is stored at once, not held, when the table's identity is not known yet
// (first row, after a ROLLBACK) or when one of its values goes to a numeric
// column and might be refused (so a refused row is reported by the Add that
// gave it). A batch SQLite refuses is stored row by row, so that the message
// names the row refused.
class SqliteInsert : public BoundInsert {
 public:
  SqliteInsert(std::shared_ptr<Engine> engine, CachedStatement* entry, std::unique_ptr<Prepared> prep,
               std::string_view table, const std::vector<std::string>& columns)
      : engine_(std::move(engine)), entry_(entry), prep_(std::move(prep)), table_(table), columns_(columns),
        slot_(&engine_->tables[UpperName(entry->tr.table)]) {}
  ~SqliteInsert() override {
    Release();
    if (batch_) sqlite3_finalize(batch_);
    sqlite3_finalize(prep_->stmt);
  }

  // Holds the row (storing the batch it completes), or stores it at once (see
  // the class); the batch statement is prepared once the insert has been given
// kBatchRows rows. Throws DatabaseError with the refused row as a statement.
  void Add(const std::vector<std::string_view>& values) override {
    assert(values.size() == columns_.size());
    if (slot_->holder && slot_->holder != this) slot_->holder->Flush();
    if (added_ < kBatchRows && ++added_ == kBatchRows) PrepareBatch();  // tables of a few rows are never batched
    const bool identityKnown = !entry_->identity || (slot_->known && slot_->epoch == engine_->epoch);
    if (!batch_ || !identityKnown || !Holdable(values)) {
      Flush();
      StoreNow(values);
      return;
    }
    const size_t width = columns_.size();
    for (size_t i = 0; i < width; ++i) held_[held_rows_ * width + i].assign(values[i].data(), values[i].size());
    if (held_rows_++ == 0) {
      engine_->holders.push_back(this);
      slot_->holder = this;
    }
    if (entry_->identity) ++*entry_->identity;
    if (held_rows_ == batch_rows_) Flush();
  }

  // Stores the rows held: a full batch as one statement, fewer row by row.
  // Throws DatabaseError for the first row refused (the rows after it are
  // dropped), or when the identities SQLite gave differ from those handed out.
  void Flush() override {
    if (held_rows_ == 0) return;
    const size_t rows = held_rows_;
    held_rows_ = 0;
    Release();
    const int64_t expected = entry_->identity ? *entry_->identity : 0;
    if (rows == batch_rows_) {
      for (size_t k = 0; k < rows * columns_.size(); ++k)
        sqlite3_bind_text(batch_, static_cast<int>(k) + 1, held_[k].data(), static_cast<int>(held_[k].size()),
                          SQLITE_STATIC);
      ++engine_->statements;
      const int rc = sqlite3_step(batch_);
      sqlite3_reset(batch_);
      if (rc == SQLITE_DONE || rc == SQLITE_ROW) {
        if (entry_->identity) CheckIdentity(expected, sqlite3_last_insert_rowid(engine_->db));
        return;
      }
      // Nothing of the batch is stored: the rows are stored one by one below.
    }
    if (entry_->identity) *entry_->identity = expected - static_cast<int64_t>(rows);
    std::vector<std::string_view> row(columns_.size());
    for (size_t r = 0; r < rows; ++r) {
      for (size_t i = 0; i < row.size(); ++i) row[i] = held_[r * row.size() + i];
      StoreNow(row);
    }
    if (entry_->identity) CheckIdentity(expected, *entry_->identity);
  }

  // Drops the rows held, and the identities they were given.
  void Discard() override {
    if (entry_->identity) *entry_->identity -= static_cast<int64_t>(held_rows_);
    held_rows_ = 0;
    Release();
  }

 private:
  // Prepares the batch statement, batch_rows_ rows of parameters (within
  // SQLite's limit); leaves batch_ null, every row stored at once, when the
  // insert's text has an unexpected shape or SQLite refuses the statement.
  void PrepareBatch() {
    std::string head;
    const std::vector<std::string> exprs = ValueExpressions(entry_->tr.sql, head);
    const size_t width = columns_.size();
    if (width == 0 || exprs.size() != width) return;
    const int limit = sqlite3_limit(engine_->db, SQLITE_LIMIT_VARIABLE_NUMBER, -1);
    const size_t rows = std::min(kBatchRows, std::min(kBatchValues, static_cast<size_t>(limit > 0 ? limit : 0)) / width);
    if (rows < 2) return;
    checked_.resize(width);
    for (size_t i = 0; i < width; ++i) checked_[i] = exprs[i] != "?" + std::to_string(i + 1);
    std::string sql = head;
    for (size_t r = 0; r < rows; ++r) {
      sql += r ? ",(" : " (";
      for (size_t i = 0; i < width; ++i) {
        if (i) sql += ',';
        sql += ShiftParameters(exprs[i], static_cast<int>(r * width));
      }
      sql += ')';
    }
    if (sqlite3_prepare_v3(engine_->db, sql.c_str(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT,
                           &batch_, nullptr) != SQLITE_OK) {
      sqlite3_finalize(batch_);
      batch_ = nullptr;
      return;
    }
    held_.resize(rows * width);
    batch_rows_ = rows;
  }

  // Whether every value that goes to a numeric column converts without fail.
  bool Holdable(const std::vector<std::string_view>& values) const {
    for (size_t i = 0; i < values.size(); ++i)
      if (checked_[i] && !SafeNumberText(values[i])) return false;
    return true;
  }

  // Stores one row now: binds each value that differs from the one bound
  // already (the texts kept in prep_, which the statement reads in place),
  // steps once and notes the identity. Throws DatabaseError with the row as a
  // statement.
  void StoreNow(const std::vector<std::string_view>& values) {
    ++engine_->statements;
    sqlite3_stmt* st = prep_->stmt;
    for (size_t i = 0; i < values.size(); ++i) {
      std::string& bound = prep_->texts[i];
      if (prep_->kinds[i] == tsql::TokKind::String && bound == values[i]) continue;
      prep_->kinds[i] = tsql::TokKind::String;
      bound.assign(values[i].data(), values[i].size());
      sqlite3_bind_text(st, static_cast<int>(i) + 1, bound.data(), static_cast<int>(bound.size()), SQLITE_STATIC);
    }
    const int rc = sqlite3_step(st);
    if (rc != SQLITE_DONE && rc != SQLITE_ROW) {
      std::string msg = sqlite3_errmsg(engine_->db);
      sqlite3_reset(st);
      Fail(msg, InsertStatementText(table_, columns_, values));
    }
    if (entry_->identity) {
      *entry_->identity = sqlite3_last_insert_rowid(engine_->db);
      slot_->known = true;
      slot_->epoch = engine_->epoch;
    }
    sqlite3_reset(st);
  }

  // Notes `got`, the last identity SQLite gave; throws DatabaseError when it
  // is not `expected`, the last one handed out (the children of the held rows
  // carry the identities handed out: they must not differ silently).
  void CheckIdentity(int64_t expected, int64_t got) {
    assert(expected == got && "a held row was given another identity than SQLite's");
    if (expected != got)
      throw DatabaseError("the identities of " + table_ + " went out of step (" + std::to_string(expected) +
                          " handed out, " + std::to_string(got) + " stored)");
    *entry_->identity = got;
  }

  // This insert no longer holds rows: off the table's slot and the engine's list.
  void Release() {
    if (slot_->holder == this) slot_->holder = nullptr;
    auto& h = engine_->holders;
    h.erase(std::remove(h.begin(), h.end(), static_cast<BoundInsert*>(this)), h.end());
  }

  static constexpr size_t kBatchRows = 64;     // the most rows of a batch, and the rows stored before batching
  static constexpr size_t kBatchValues = 640;  // the most values of a batch (wide records: fewer rows)

  std::shared_ptr<Engine> engine_;
  CachedStatement* entry_;
  std::unique_ptr<Prepared> prep_;
  std::string table_;
  std::vector<std::string> columns_;
  Engine::TableSlot* slot_;
  sqlite3_stmt* batch_ = nullptr;  // null: every row stored at once
  size_t batch_rows_ = 0;
  std::vector<bool> checked_;      // per column: its value converts to a number
  std::vector<std::string> held_;  // batch_rows_ rows of values, the first held_rows_ held
  size_t held_rows_ = 0;
  size_t added_ = 0;               // rows given to Add, up to kBatchRows
};

class SqliteConnection : public DatabaseConnection {
 public:
  SqliteConnection(SqliteTarget target, std::string path) : target_(target), path_(std::move(path)) {}
  ~SqliteConnection() override { Close(); }

  void Open() override {
    if (engine_) return;
    if (target_ == SqliteTarget::File) CreateNewFile();
    const char* name = target_ == SqliteTarget::Memory ? ":memory:" : target_ == SqliteTarget::File ? path_.c_str() : "";
    sqlite3* db = nullptr;
    // Memory statistics cost a global mutex on every allocation; the staging
    // database does not use them. Only possible before SQLite starts up.
    static const int memstatus = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
    (void)memstatus;
    int rc = sqlite3_open_v2(name, &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc == SQLITE_OK) rc = tsql::RegisterFunctions(db);
    if (rc == SQLITE_OK) rc = sqlite3_exec(db, kStagingPragmas, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
      std::string msg = db ? sqlite3_errmsg(db) : "out of memory";
      sqlite3_close_v2(db);
      RemoveFiles();
      throw DatabaseError("Não foi possível abrir o " + Describe() + ": " + msg);
    }
    engine_ = std::make_shared<Engine>();
    engine_->db = db;
  }

  std::unique_ptr<Recordset> Execute(std::string_view sql) override {
    if (!engine_) Fail("The database connection is not open.", sql);
    Engine& e = *engine_;
    ++e.statements;
    CachedStatement* entry = Lookup(sql);
    if (!entry) return MakeEmptyRecordset();
    e.FlushHeld();  // the statement sees every row added
    std::unique_ptr<Prepared> p = e.Borrow(*entry, sql);
    if (entry->tr.kind == tsql::StmtKind::Select) {
      auto rs = std::make_unique<SqliteRecordset>(engine_, entry, std::move(p));
      rs->Start(sql, entry->tr.readsControlTable);
      return rs;
    }
    BindLiterals(*p, e.literals);
    int rc = sqlite3_step(p->stmt);
    if (rc != SQLITE_DONE && rc != SQLITE_ROW) {
      std::string msg = SqliteFailureText(e.db);
      e.Return(*entry, std::move(p));
      Fail(msg, sql);
    }
    if (entry->identity) {
      *entry->identity = sqlite3_last_insert_rowid(e.db);
      e.tables[UpperName(entry->tr.table)].known = false;  // the bound inserts learn it again
    }
    e.Return(*entry, std::move(p));
    return MakeEmptyRecordset();
  }

  // Texts run plus rows stored through bound inserts (each one statement of
  // SQLite), since the connection was opened; -1 when it is not open.
  int64_t StatementsSent() const override { return engine_ ? engine_->statements : -1; }

  int64_t LastIdentity(std::string_view table) override {
    if (!engine_) throw DatabaseError("The database connection is not open.");
    const tsql::CatalogTable* t = engine_->catalog.Find(table);
    if (!t) throw DatabaseError("Invalid object name '" + std::string(table) + "'.");
    if (!t->hasIdentity) throw DatabaseError("Table '" + t->name + "' has no identity column.");
    auto it = engine_->identities.find(UpperName(t->name));
    return it == engine_->identities.end() ? 0 : it->second;
  }

  void Close() override {
    DropInserts();
    if (!engine_) return;
    Engine& e = *engine_;
    for (SqliteRecordset* rs : e.live) rs->Release(true);
    // The entries stay: results still held by callers read their column names.
    for (auto& [shape, entry] : e.cache) {
      for (auto& p : entry->idle) sqlite3_finalize(p->stmt);
      entry->idle.clear();
    }
    sqlite3_close_v2(e.db);
    e.db = nullptr;
    engine_.reset();
    RemoveFiles();
  }

  std::string Describe() const override {
    switch (target_) {
      case SqliteTarget::Memory: return "banco de dados SQLite em memória";
      case SqliteTarget::File: return "banco de dados SQLite no arquivo \"" + path_ + "\"";
      default: return "banco de dados SQLite temporário";
    }
  }

 protected:
  // A bound insert on the statement "INSERT INTO table(columns) VALUES
  // ('',...)" translated like any other, every value bound as the text
  // literal it replaces; the default text path when the translation does not
  // take one parameter per column. Throws DatabaseError.
  std::unique_ptr<BoundInsert> MakeInsert(std::string_view table, const std::vector<std::string>& columns) override {
    std::vector<std::string_view> blanks(columns.size());
    const std::string sql = InsertStatementText(table, columns, blanks);
    if (!engine_) Fail("The database connection is not open.", sql);
    CachedStatement* entry = Lookup(sql);
    if (!entry || entry->tr.kind != tsql::StmtKind::Insert) return DatabaseConnection::MakeInsert(table, columns);
    std::unique_ptr<Prepared> p = engine_->Borrow(*entry, sql);
    if (static_cast<size_t>(sqlite3_bind_parameter_count(p->stmt)) != columns.size()) {
      engine_->Return(*entry, std::move(p));
      return DatabaseConnection::MakeInsert(table, columns);
    }
    return std::make_unique<SqliteInsert>(engine_, entry, std::move(p), table, columns);
  }

 private:
  // The cache entry of `sql` (translated and prepared on first sight), its
  // literals in engine_->literals; null for a statement run here at once
  // (CREATE TABLE, transactions). Throws DatabaseError.
  CachedStatement* Lookup(std::string_view sql) {
    Engine& e = *engine_;
    std::string error;
    CachedStatement* entry = e.memo.Find(sql, e.literals, e.owned);
    if (entry) {
      // found by its pattern
    } else if (!tsql::ScanLiterals(sql, e.literals, e.owned, e.shape, error, &e.spans)) {
      Fail("Incorrect syntax: " + error + ".", sql);
    } else if (auto it = e.cache.find(e.shape); it != e.cache.end()) {
      entry = it->second.get();
      e.memo.Remember(sql, e.spans, entry);
    } else {
      if (!tsql::Lex(sql, e.lexed, error)) Fail("Incorrect syntax: " + error + ".", sql);
      bool same = e.lexed.literals.size() == e.literals.size();
      for (size_t i = 0; same && i < e.literals.size(); ++i) same = e.lexed.literals[i].kind == e.literals[i].kind;
      assert(same && "the scan and the tokenizer must find the same literals");
      if (!same) Fail("the literals of the statement could not be told apart", sql);
      tsql::Translation tr;
      try {
        tsql::Statement st = tsql::Parse(e.lexed);
        tr = tsql::Translate(st, e.lexed, e.catalog);
      } catch (const tsql::SqlError& err) {
        Fail(err.what(), sql);
      }
      switch (tr.kind) {
        case tsql::StmtKind::Create:
          e.FlushHeld();
          Create(tr, sql);
          return nullptr;
        case tsql::StmtKind::Begin: case tsql::StmtKind::Commit:
          e.FlushHeld();
          Exec(tr.sql, sql);
          return nullptr;
        case tsql::StmtKind::Rollback:
          // The rows held are undone with the rest; the identities SQLite
          // gives next are those before the transaction.
          e.DiscardHeld();
          ++e.epoch;
          Exec(tr.sql, sql);
          return nullptr;
        default: break;
      }
      auto owned = std::make_unique<CachedStatement>();
      owned->tr = std::move(tr);
      if (owned->tr.kind == tsql::StmtKind::Insert && owned->tr.identityTarget)
        owned->identity = &e.identities[UpperName(owned->tr.table)];
      entry = owned.get();
      e.cache.emplace(e.shape, std::move(owned));
      e.memo.Remember(sql, e.spans, entry);
    }
    return entry;
  }

  void Exec(const std::string& translated, std::string_view sql) {
    char* err = nullptr;
    if (sqlite3_exec(engine_->db, translated.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
      std::string msg = err ? err : "unknown error";
      sqlite3_free(err);
      Fail(msg, sql);
    }
  }

  // Creates the table and its indexes as one step: all or nothing.
  void Create(tsql::Translation& tr, std::string_view sql) {
    Exec("SAVEPOINT create_table", sql);
    try {
      Exec(tr.sql, sql);
      for (const std::string& index : tr.indexSql) Exec(index, sql);
    } catch (...) {
      sqlite3_exec(engine_->db, "ROLLBACK TO create_table; RELEASE create_table", nullptr, nullptr, nullptr);
      throw;
    }
    Exec("RELEASE create_table", sql);
    engine_->catalog.Add(std::move(*tr.created));
  }

  // The database file of a File target, created empty and exclusively before
  // SQLite opens it: nothing that already has the name (a file, a link, even
  // one pointing nowhere) is ever opened or written. A file already named like
  // one of SQLite's companions ("-journal", "-wal", "-shm") refuses the target
  // too: SQLite would take it for its own, read it into the new database and
  // delete it. The database file is registered for removal on SIGINT, SIGTERM
  // and SIGHUP. Throws DatabaseError when a name is taken or the file cannot
  // be created.
  void CreateNewFile() {
    std::error_code ec;
    std::filesystem::file_status st = std::filesystem::symlink_status(platform::PathFromUtf8(path_), ec);
    if (!ec && st.type() != std::filesystem::file_type::not_found)
      throw DatabaseError("O banco de dados de trabalho \"" + path_ +
                          "\" não foi criado: o arquivo já existe, e o banco de dados de trabalho precisa de um "
                          "arquivo novo; escolha outro nome.");
    for (const char* suffix : kCompanions) {
      std::error_code companionError;
      st = std::filesystem::symlink_status(platform::PathFromUtf8(path_ + suffix), companionError);
      if (!companionError && st.type() != std::filesystem::file_type::not_found)
        throw DatabaseError("O banco de dados de trabalho \"" + path_ + "\" não foi criado: já existe o arquivo \"" +
                            path_ + suffix + "\", que o SQLite tomaria como seu e apagaria; escolha outro nome.");
    }
    std::FILE* created = platform::CreateNewFile(path_, true);
    if (!created) {
      int err = errno;
      throw DatabaseError("O banco de dados de trabalho \"" + path_ + "\" não pôde ser criado: " + SystemErrorText(err));
    }
    std::fclose(created);
    created_ = true;
    signalSlots_.push_back(RemoveOnSignal(path_));
  }

  // Removes the database file, only when this connection created it. SQLite's
  // companions are never removed: the staging pragmas keep the journal in
  // memory, so SQLite creates none, and a file of such a name is someone else's.
  void RemoveFiles() {
    if (target_ != SqliteTarget::File || !created_) return;
    std::error_code ec;
    std::filesystem::remove(platform::PathFromUtf8(path_), ec);
    for (int slot : signalSlots_) ForgetOnSignal(slot);
    signalSlots_.clear();
    created_ = false;
  }

  static constexpr const char* kCompanions[] = {"-journal", "-wal", "-shm"};

  SqliteTarget target_;
  std::string path_;
  bool created_ = false;
  std::vector<int> signalSlots_;
  std::shared_ptr<Engine> engine_;
};

}  // namespace

std::unique_ptr<DatabaseConnection> MakeSqliteConnection(SqliteTarget target, std::string path) {
  return std::make_unique<SqliteConnection>(target, std::move(path));
}
