// Values as SQL Server reads, compares and adds them: texts of the single-byte
// code page (Latin-1 / Windows-1252) under the default case-insensitive
// collation, numbers converted from text, decimal sums.
#pragma once

#include <string>
#include <string_view>

namespace tsql {

// The capital of a byte of the code page (the byte itself when it has none).
unsigned char Fold(char c);
// True for bytes that have no other case (digits, punctuation, ...).
bool IsCaseless(char c);

std::string_view TrimRight(std::string_view s);  // trailing blanks removed
std::string_view TrimBoth(std::string_view s);   // blanks around removed

// Text to int as SQL Server converts: blanks around, an optional sign,
// digits; "" is 0. False when the text is no whole number or overflows 64 bits.
bool ParseInt(std::string_view s, long long& out);
// Text to float: blanks around, sign, digits with optional point and
// exponent; "" is 0. False when the text is no number.
bool ParseFloat(std::string_view s, double& out);
// A float as CAST(float AS VARCHAR) writes it: at most six significant
// digits, a three-digit exponent when there is one ("1.23457e+006").
std::string FloatToText(double d);
// x rounded to n decimal places (n < 0: to tens, hundreds...), halves away
// from zero, on the shortest decimal that reads back as x (2.675 gives 2.68).
double RoundDecimal(double x, long long n);

// Compares two texts under the TSQL collation: <0, 0, >0. Equal means equal
// without regard to case once trailing blanks are dropped; accented letters
// sort with their base letter.
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
