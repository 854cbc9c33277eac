// SQL Server behaviour inside SQLite: the TSQL collation (case-insensitive
// over the single-byte Latin-1 / Windows-1252 texts, trailing blanks ignored)
// and the tsql_* functions the translated statements call.
#pragma once

#include <string_view>

struct sqlite3;

namespace tsql {

// Registers the collation and the functions on `db`. Returns an SQLite error
// code (SQLITE_OK on success).
int RegisterFunctions(sqlite3* db);

// Compares two texts under the TSQL collation: <0, 0, >0.
int CompareText(std::string_view a, std::string_view b);

// T-SQL LIKE of `text` against `pattern` (%, _, [abc], [a-z], [^a]), under the
// TSQL collation.
bool LikeMatch(std::string_view text, std::string_view pattern);

// Adds decimal texts exactly; Result() gives the double nearest the exact sum.
class DecimalSum {
 public:
  // Adds the number written in `text` (blanks around it allowed, "" is 0).
  // Returns false when the text is no number.
  bool AddText(std::string_view text);
  void AddInt(long long v);
  void AddDouble(double v) { extra_ += v; }
  double Result() const;

 private:
  void Spill();
  __int128 units_ = 0;  // sum in units of 10^-18
  double extra_ = 0;    // what did not fit the exact sum
};

}  // namespace tsql
