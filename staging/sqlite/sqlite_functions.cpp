#include "staging/sqlite/sqlite_functions.h"

#include <sqlite3.h>

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace tsql {
namespace {

// The argument as text (numbers converted as SQLite writes them). The bytes are
// read with sqlite3_value_blob: a stored text comes back as it is, where
// sqlite3_value_text would copy it to add a terminator the views never need.
std::string_view TextArg(sqlite3_value* v) {
  const void* p = sqlite3_value_blob(v);
  return std::string_view(static_cast<const char*>(p), static_cast<size_t>(sqlite3_value_bytes(v)));
}

std::string Shorten(std::string_view s) {
  if (s.size() <= 60) return std::string(s);
  return std::string(s.substr(0, 60)) + "...";
}

void ConversionError(sqlite3_context* ctx, std::string_view text, const char* type) {
  std::string msg = "Conversion failed when converting the varchar value '" + Shorten(text) + "' to data type " + type + ".";
  sqlite3_result_error(ctx, msg.c_str(), -1);
}

void FnInt(sqlite3_context* ctx, int, sqlite3_value** argv) {
  switch (sqlite3_value_type(argv[0])) {
    case SQLITE_NULL: sqlite3_result_null(ctx); return;
    case SQLITE_INTEGER: sqlite3_result_int64(ctx, sqlite3_value_int64(argv[0])); return;
    case SQLITE_FLOAT: {
      double d = std::trunc(sqlite3_value_double(argv[0]));
      if (!(d >= -2147483648.0 && d <= 2147483647.0)) {
        sqlite3_result_error(ctx, "Arithmetic overflow error converting expression to data type int.", -1);
        return;
      }
      sqlite3_result_int64(ctx, static_cast<long long>(d));
      return;
    }
    default: {
      std::string_view s = TextArg(argv[0]);
      long long v = 0;
      if (!ParseInt(s, v)) return ConversionError(ctx, s, "int");
      if (v < -2147483648LL || v > 2147483647LL) {
        std::string msg = "The conversion of the varchar value '" + Shorten(s) + "' overflowed an int column.";
        sqlite3_result_error(ctx, msg.c_str(), -1);
        return;
      }
      sqlite3_result_int64(ctx, v);
    }
  }
}

void FnFloat(sqlite3_context* ctx, int, sqlite3_value** argv) {
  switch (sqlite3_value_type(argv[0])) {
    case SQLITE_NULL: sqlite3_result_null(ctx); return;
    case SQLITE_INTEGER: case SQLITE_FLOAT: sqlite3_result_double(ctx, sqlite3_value_double(argv[0])); return;
    default: {
      std::string_view s = TextArg(argv[0]);
      double v = 0;
      if (!ParseFloat(s, v)) {
        sqlite3_result_error(ctx, "Error converting data type varchar to float.", -1);
        return;
      }
      sqlite3_result_double(ctx, v);
    }
  }
}

// A text read as a number for comparisons: integer or real, NULL when the
// text is no number (such a row then matches no condition).
void FnNum(sqlite3_context* ctx, int, sqlite3_value** argv) {
  switch (sqlite3_value_type(argv[0])) {
    case SQLITE_NULL: sqlite3_result_null(ctx); return;
    case SQLITE_INTEGER: sqlite3_result_int64(ctx, sqlite3_value_int64(argv[0])); return;
    case SQLITE_FLOAT: sqlite3_result_double(ctx, sqlite3_value_double(argv[0])); return;
    default: {
      std::string_view s = TextArg(argv[0]);
      long long i = 0;
      if (ParseInt(s, i)) { sqlite3_result_int64(ctx, i); return; }
      double d = 0;
      if (ParseFloat(s, d)) { sqlite3_result_double(ctx, d); return; }
      sqlite3_result_null(ctx);
    }
  }
}

void FnText(sqlite3_context* ctx, int, sqlite3_value** argv) {
  switch (sqlite3_value_type(argv[0])) {
    case SQLITE_NULL: sqlite3_result_null(ctx); return;
    case SQLITE_FLOAT: {
      std::string s = FloatToText(sqlite3_value_double(argv[0]));
      sqlite3_result_text(ctx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
      return;
    }
    default:
      sqlite3_result_value(ctx, argv[0]);
      if (sqlite3_value_type(argv[0]) == SQLITE_INTEGER) {
        std::string s = std::to_string(sqlite3_value_int64(argv[0]));
        sqlite3_result_text(ctx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
      }
  }
}

void FnLike(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
    sqlite3_result_null(ctx);
    return;
  }
  std::string_view text = TextArg(argv[0]);
  std::string_view pattern = TextArg(argv[1]);
  sqlite3_result_int(ctx, LikeMatch(text, pattern) ? 1 : 0);
}

// REPLACE under the TSQL collation: the search text is found without regard to case.
void FnReplace(sqlite3_context* ctx, int, sqlite3_value** argv) {
  for (int i = 0; i < 3; ++i)
    if (sqlite3_value_type(argv[i]) == SQLITE_NULL) { sqlite3_result_null(ctx); return; }
  std::string_view s = TextArg(argv[0]);
  std::string find(TextArg(argv[1]));
  std::string repl(TextArg(argv[2]));
  bool caseless = true;  // no byte of `find` has another case: a plain search will do
  for (char c : find) caseless = caseless && IsCaseless(c);
  if (find.empty() || (caseless && s.find(find) == std::string_view::npos)) {
    sqlite3_result_value(ctx, argv[0]);  // unchanged
    return;
  }
  std::string out;
  out.reserve(s.size());
  size_t i = 0;
  while (i < s.size()) {
    bool hit = i + find.size() <= s.size();
    for (size_t k = 0; hit && k < find.size(); ++k) hit = Fold(s[i + k]) == Fold(find[k]);
    if (hit) {
      out += repl;
      i += find.size();
    } else {
      out += s[i++];
    }
  }
  sqlite3_result_text(ctx, out.data(), static_cast<int>(out.size()), SQLITE_TRANSIENT);
}

// ROUND(x, n): see RoundDecimal; whole numbers stay whole for n >= 0.
void FnRound(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
    sqlite3_result_null(ctx);
    return;
  }
  long long n = sqlite3_value_int64(argv[1]);
  if (sqlite3_value_type(argv[0]) == SQLITE_INTEGER && n >= 0) {
    sqlite3_result_int64(ctx, sqlite3_value_int64(argv[0]));
    return;
  }
  sqlite3_result_double(ctx, RoundDecimal(sqlite3_value_double(argv[0]), n));
}

// a / b and a % b as T-SQL computes them: whole numbers truncated toward
// zero, a zero divisor an error.
void Divide(sqlite3_context* ctx, sqlite3_value** argv, bool modulo) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
    sqlite3_result_null(ctx);
    return;
  }
  if (sqlite3_value_type(argv[0]) == SQLITE_INTEGER && sqlite3_value_type(argv[1]) == SQLITE_INTEGER) {
    long long a = sqlite3_value_int64(argv[0]), b = sqlite3_value_int64(argv[1]);
    if (b == 0) { sqlite3_result_error(ctx, "Divide by zero error encountered.", -1); return; }
    if (b == -1) { sqlite3_result_int64(ctx, modulo ? 0 : static_cast<long long>(0ULL - static_cast<unsigned long long>(a))); return; }
    sqlite3_result_int64(ctx, modulo ? a % b : a / b);
    return;
  }
  double a = sqlite3_value_double(argv[0]), b = sqlite3_value_double(argv[1]);
  if (b == 0) { sqlite3_result_error(ctx, "Divide by zero error encountered.", -1); return; }
  sqlite3_result_double(ctx, modulo ? std::fmod(a, b) : a / b);
}
void FnDiv(sqlite3_context* ctx, int, sqlite3_value** argv) { Divide(ctx, argv, false); }
void FnMod(sqlite3_context* ctx, int, sqlite3_value** argv) { Divide(ctx, argv, true); }

void DsumStep(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return;
  auto** slot = static_cast<DecimalSum**>(sqlite3_aggregate_context(ctx, sizeof(DecimalSum*)));
  if (!slot) { sqlite3_result_error_nomem(ctx); return; }
  if (!*slot) *slot = new DecimalSum();
  switch (sqlite3_value_type(argv[0])) {
    case SQLITE_INTEGER: (*slot)->AddInt(sqlite3_value_int64(argv[0])); break;
    case SQLITE_FLOAT: (*slot)->AddDouble(sqlite3_value_double(argv[0])); break;
    default:
      if (!(*slot)->AddText(TextArg(argv[0])))
        sqlite3_result_error(ctx, "Error converting data type varchar to float.", -1);
  }
}

void DsumFinal(sqlite3_context* ctx) {
  auto** slot = static_cast<DecimalSum**>(sqlite3_aggregate_context(ctx, 0));
  if (!slot || !*slot) { sqlite3_result_null(ctx); return; }
  sqlite3_result_double(ctx, (*slot)->Result());
  delete *slot;
  *slot = nullptr;
}

// Concatenation of texts; NULL when any operand is NULL (as "+" between texts).
// The operands are read with sqlite3_value_blob, which hands out a text's bytes
// as stored; sqlite3_value_text would first copy every column value that is
// not NUL-terminated (all of them) just to add the terminator.
void FnConcat(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  constexpr int kLocal = 64;  // line expressions have at most about 2 x 40 operands
  const char* localPtr[kLocal];
  size_t localLen[kLocal];
  std::vector<const char*> heapPtr;
  std::vector<size_t> heapLen;
  const char** ptr = localPtr;
  size_t* len = localLen;
  if (argc > kLocal) {
    heapPtr.resize(static_cast<size_t>(argc));
    heapLen.resize(static_cast<size_t>(argc));
    ptr = heapPtr.data();
    len = heapLen.data();
  }
  sqlite3_uint64 n = 0;
  for (int i = 0; i < argc; ++i) {
    ptr[i] = static_cast<const char*>(sqlite3_value_blob(argv[i]));
    // No bytes: an empty text, or NULL (only then is the type asked for).
    if (!ptr[i] && sqlite3_value_type(argv[i]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    len[i] = ptr[i] ? static_cast<size_t>(sqlite3_value_bytes(argv[i])) : 0;
    n += len[i];
  }
  char* out = static_cast<char*>(sqlite3_malloc64(n + 1));
  if (!out) return sqlite3_result_error_nomem(ctx);
  char* p = out;
  for (int i = 0; i < argc; ++i) {
    if (len[i]) std::memcpy(p, ptr[i], len[i]);
    p += len[i];
  }
  sqlite3_result_text64(ctx, out, n, sqlite3_free, SQLITE_UTF8);
}

int CollateTsql(void*, int n1, const void* a, int n2, const void* b) {
  return CompareText(std::string_view(static_cast<const char*>(a), static_cast<size_t>(n1)),
                     std::string_view(static_cast<const char*>(b), static_cast<size_t>(n2)));
}

}  // namespace

int RegisterFunctions(sqlite3* db) {
  const int det = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
  struct Scalar {
    const char* name;
    int args;
    void (*fn)(sqlite3_context*, int, sqlite3_value**);
  };
  static const Scalar scalars[] = {
      {"tsql_int", 1, FnInt},       {"tsql_float", 1, FnFloat}, {"tsql_num", 1, FnNum},
      {"tsql_text", 1, FnText},     {"tsql_like", 2, FnLike},   {"tsql_replace", 3, FnReplace},
      {"tsql_round", 2, FnRound},   {"tsql_div", 2, FnDiv},     {"tsql_mod", 2, FnMod},
  };
  int rc = sqlite3_create_collation(db, "TSQL", SQLITE_UTF8, nullptr, CollateTsql);
  for (const Scalar& s : scalars) {
    if (rc != SQLITE_OK) return rc;
    rc = sqlite3_create_function(db, s.name, s.args, det, nullptr, s.fn, nullptr, nullptr);
  }
  if (rc != SQLITE_OK) return rc;
  rc = sqlite3_create_function(db, "tsql_concat", -1, det, nullptr, FnConcat, nullptr, nullptr);
  if (rc != SQLITE_OK) return rc;
  return sqlite3_create_function(db, "tsql_dsum", 1, det, nullptr, nullptr, DsumStep, DsumFinal);
}

}  // namespace tsql
