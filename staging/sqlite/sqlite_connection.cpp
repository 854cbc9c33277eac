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
  int64_t statements = 0;  // texts run and bound rows stored (StatementsSent)

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

// A bound insert: one prepared statement kept for the connection's life, each
// row's values bound and stored at once.
class SqliteInsert : public BoundInsert {
 public:
  SqliteInsert(std::shared_ptr<Engine> engine, CachedStatement* entry, std::unique_ptr<Prepared> prep,
               std::string_view table, const std::vector<std::string>& columns)
      : engine_(std::move(engine)), entry_(entry), prep_(std::move(prep)), table_(table), columns_(columns) {}
  ~SqliteInsert() override { sqlite3_finalize(prep_->stmt); }

  // Binds each value that differs from the one bound already (the texts kept
  // in prep_, which the statement reads in place), steps once and notes the
  // identity. Throws DatabaseError with the row as a statement.
  void Add(const std::vector<std::string_view>& values) override {
    assert(values.size() == columns_.size());
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
    if (entry_->identity) *entry_->identity = sqlite3_last_insert_rowid(engine_->db);
    sqlite3_reset(st);
  }

 private:
  std::shared_ptr<Engine> engine_;
  CachedStatement* entry_;
  std::unique_ptr<Prepared> prep_;
  std::string table_;
  std::vector<std::string> columns_;
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
    if (entry->identity) *entry->identity = sqlite3_last_insert_rowid(e.db);
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
        case tsql::StmtKind::Create: Create(tr, sql); return nullptr;
        case tsql::StmtKind::Begin: case tsql::StmtKind::Commit: case tsql::StmtKind::Rollback:
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
