// Values as SQL Server reads, compares and adds them, for the text of the
// single-byte code page.
#include "staging/sqlite/tsql_values.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>

namespace tsql {
namespace {

// Case folding of the single-byte code page: ASCII letters, the accented
// Latin-1 letters and the Windows-1252 pairs Š/š, Œ/œ, Ž/ž, Ÿ/ÿ.
struct FoldTable {
  std::array<unsigned char, 256> up;
  FoldTable() {
    for (int i = 0; i < 256; ++i) up[i] = static_cast<unsigned char>(i);
    for (int c = 'a'; c <= 'z'; ++c) up[c] = static_cast<unsigned char>(c - 32);
    for (int c = 0xE0; c <= 0xFE; ++c)
      if (c != 0xF7) up[c] = static_cast<unsigned char>(c - 32);
    up[0x9A] = 0x8A;
    up[0x9C] = 0x8C;
    up[0x9E] = 0x8E;
    up[0xFF] = 0x9F;
  }
};
const FoldTable kFold;

// Primary sort weight of a folded byte: accented capitals sort with their base
// letter ("Á" with "A", before "B"); ties are then broken by the folded bytes.
struct BaseTable {
  std::array<unsigned char, 256> base;
  BaseTable() {
    for (int i = 0; i < 256; ++i) base[i] = static_cast<unsigned char>(i);
    auto set = [&](int from, int to, char letter) {
      for (int c = from; c <= to; ++c) base[c] = static_cast<unsigned char>(letter);
    };
    set(0xC0, 0xC6, 'A');
    set(0xC7, 0xC7, 'C');
    set(0xC8, 0xCB, 'E');
    set(0xCC, 0xCF, 'I');
    set(0xD0, 0xD0, 'D');
    set(0xD1, 0xD1, 'N');
    set(0xD2, 0xD6, 'O');
    set(0xD8, 0xD8, 'O');
    set(0xD9, 0xDC, 'U');
    set(0xDD, 0xDD, 'Y');
    set(0x8A, 0x8A, 'S');
    set(0x8C, 0x8C, 'O');
    set(0x8E, 0x8E, 'Z');
    set(0x9F, 0x9F, 'Y');
  }
};
const BaseTable kBase;

inline unsigned char FoldOf(char c) { return kFold.up[static_cast<unsigned char>(c)]; }

// True for bytes without another case (digits, punctuation, ...).
struct CaselessTable {
  std::array<bool, 256> caseless;
  CaselessTable() {
    std::array<int, 256> sharing{};
    for (int b = 0; b < 256; ++b) ++sharing[kFold.up[b]];
    for (int b = 0; b < 256; ++b) caseless[b] = sharing[kFold.up[b]] == 1;
  }
};
const CaselessTable kCaseless;

}  // namespace

std::string_view TrimRight(std::string_view s) {
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}
std::string_view TrimBoth(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  return TrimRight(s);
}

namespace {

// LIKE of t[ti..] against p[pi..].
bool LikeAt(std::string_view t, size_t ti, std::string_view p, size_t pi) {
  while (pi < p.size()) {
    char pc = p[pi];
    if (pc == '%') {
      while (pi < p.size() && p[pi] == '%') ++pi;
      if (pi == p.size()) return true;
      for (size_t k = ti; k <= t.size(); ++k)
        if (LikeAt(t, k, p, pi)) return true;
      return false;
    }
    if (ti >= t.size()) return false;
    if (pc == '_') {
      ++pi;
      ++ti;
      continue;
    }
    if (pc == '[') {
      size_t close = p.find(']', pi + 1);
      if (close != std::string_view::npos) {
        std::string_view set = p.substr(pi + 1, close - pi - 1);
        bool negate = !set.empty() && set[0] == '^';
        if (negate) set.remove_prefix(1);
        unsigned char c = FoldOf(t[ti]);
        bool in = false;
        for (size_t k = 0; k < set.size(); ++k) {
          if (k + 2 < set.size() && set[k + 1] == '-') {
            if (c >= FoldOf(set[k]) && c <= FoldOf(set[k + 2])) in = true;
            k += 2;
          } else if (c == FoldOf(set[k])) {
            in = true;
          }
        }
        if (in == negate) return false;
        pi = close + 1;
        ++ti;
        continue;
      }
    }
    if (FoldOf(pc) != FoldOf(t[ti])) return false;
    ++pi;
    ++ti;
  }
  return ti == t.size();
}

}  // namespace

unsigned char Fold(char c) { return FoldOf(c); }
bool IsCaseless(char c) { return kCaseless.caseless[static_cast<unsigned char>(c)]; }

static bool AllDigits(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

// Parses T-SQL's text-to-int: blanks around, optional sign, digits; "" is 0.
bool ParseInt(std::string_view s, long long& out) {
  s = TrimBoth(s);
  bool neg = false;
  if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
    neg = s[0] == '-';
    s.remove_prefix(1);
  }
  if (s.empty()) { out = 0; return true; }
  if (!AllDigits(s)) return false;
  unsigned long long v = 0;
  auto r = std::from_chars(s.data(), s.data() + s.size(), v);
  if (r.ec != std::errc() || v > 9223372036854775808ULL) return false;
  out = neg ? static_cast<long long>(0 - v) : static_cast<long long>(v);
  if (!neg && v > 9223372036854775807ULL) return false;
  return true;
}

// Parses T-SQL's text-to-float: blanks around, sign, digits with an optional
// point and exponent; "" is 0.
bool ParseFloat(std::string_view s, double& out) {
  s = TrimBoth(s);
  if (s.empty()) { out = 0; return true; }
  size_t i = 0;
  bool neg = false;
  if (s[0] == '+' || s[0] == '-') { neg = s[0] == '-'; ++i; }
  size_t digits = 0, start = i;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') { ++i; ++digits; }
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') { ++i; ++digits; }
  }
  if (digits == 0) return false;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    size_t e = i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i;
    if (i == e) return false;
  }
  if (i != s.size()) return false;
  std::string_view body = s.substr(start);
  double v = 0;
  if (body[0] == '.') {  // from_chars wants a digit first
    std::string t = "0" + std::string(body);
    if (std::from_chars(t.data(), t.data() + t.size(), v).ec != std::errc()) return false;
  } else if (std::from_chars(body.data(), body.data() + body.size(), v).ec != std::errc()) {
    return false;
  }
  out = neg ? -v : v;
  return true;
}

// A float as SQL Server's CAST(float AS VARCHAR) writes it: at most six
// significant digits, exponent of at least three digits ("1.23457e+006").
std::string FloatToText(double d) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.6g", d);
  std::string s = buf;
  size_t e = s.find('e');
  if (e != std::string::npos) {
    std::string mant = s.substr(0, e), sign = s.substr(e + 1, 1), digits = s.substr(e + 2);
    while (digits.size() < 3) digits = "0" + digits;
    s = mant + "e" + sign + digits;
  }
  return s;
}

double RoundDecimal(double x, long long n) {
  if (!std::isfinite(x) || n > 30) return x;
  char buf[512];
  auto r = std::to_chars(buf, buf + sizeof buf, std::fabs(x), std::chars_format::fixed);
  std::string digits(buf, r.ptr);
  size_t point = digits.find('.');
  std::string ip = point == std::string::npos ? digits : digits.substr(0, point);
  std::string fp = point == std::string::npos ? "" : digits.substr(point + 1);
  // Keep ip.size() + n digits of ip+fp, rounding on the next one.
  std::string all = ip + fp;
  long long keep = static_cast<long long>(ip.size()) + n;
  if (keep < 0) return 0.0;
  if (static_cast<size_t>(keep) >= all.size()) return x;
  bool up = all[static_cast<size_t>(keep)] >= '5';
  std::string kept = all.substr(0, static_cast<size_t>(keep));
  if (kept.empty()) kept = "0", keep = 0, ip = "";
  if (up) {
    int k = static_cast<int>(kept.size()) - 1;
    while (k >= 0 && kept[k] == '9') kept[k--] = '0';
    if (k < 0) { kept = "1" + kept; ++keep; ip += "0"; }
    else ++kept[k];
  }
  // Rebuild: kept digits, then zeros up to the integer part, with the point.
  std::string text;
  long long intLen = static_cast<long long>(kept.size()) - (n > 0 ? n : 0);
  if (n >= 0) {
    text = kept.substr(0, static_cast<size_t>(intLen)) + "." + kept.substr(static_cast<size_t>(intLen));
    if (intLen == 0) text = "0" + text;
  } else {
    text = kept + std::string(static_cast<size_t>(-n), '0');
  }
  double v = 0;
  std::from_chars(text.data(), text.data() + text.size(), v);
  return x < 0 ? -v : v;
}

int CompareText(std::string_view a, std::string_view b) {
  a = TrimRight(a);
  b = TrimRight(b);
  size_t n = a.size() < b.size() ? a.size() : b.size();
  int tie = 0;  // first difference of the folded bytes, used when the base letters agree
  for (size_t i = 0; i < n; ++i) {
    unsigned char x = FoldOf(a[i]), y = FoldOf(b[i]);
    if (x == y) continue;
    unsigned char bx = kBase.base[x], by = kBase.base[y];
    if (bx != by) return bx < by ? -1 : 1;
    if (!tie) tie = x < y ? -1 : 1;
  }
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  return tie;
}

bool LikeMatch(std::string_view text, std::string_view pattern) { return LikeAt(text, 0, pattern, 0); }

void DecimalSum::Spill() {
  extra_ += static_cast<double>(units_) / 1e18;
  units_ = 0;
}

void DecimalSum::AddInt(long long v) {
  __int128 add = static_cast<__int128>(v) * static_cast<__int128>(1000000000000000000LL);
  if (v > 99999999999999999LL || v < -99999999999999999LL || __builtin_add_overflow(units_, add, &units_))
    extra_ += static_cast<double>(v);
}

bool DecimalSum::AddText(std::string_view text) {
  std::string_view s = TrimBoth(text);
  if (s.empty()) return true;
  size_t i = 0;
  bool neg = false;
  if (s[0] == '+' || s[0] == '-') { neg = s[0] == '-'; ++i; }
  __int128 v = 0;
  int intDigits = 0, fracDigits = 0;
  bool exact = true;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
    if (v != 0 || s[i] != '0') ++intDigits;
    v = v * 10 + (s[i] - '0');
    if (intDigits > 18) exact = false;
    if (!exact) break;
    ++i;
  }
  if (exact && i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
      if (fracDigits == 18) { exact = false; break; }
      v = v * 10 + (s[i] - '0');
      ++fracDigits;
      ++i;
    }
  }
  if (exact && i == s.size() && (intDigits + fracDigits > 0 || s.size() > i - 0)) {
    for (int k = fracDigits; k < 18; ++k) v *= 10;
    if (neg) v = -v;
    if (__builtin_add_overflow(units_, v, &units_)) {
      Spill();
      units_ = v;
    }
    return true;
  }
  double d = 0;
  if (!ParseFloat(s, d)) return false;
  extra_ += d;
  return true;
}

double DecimalSum::Result() const {
  __int128 u = units_;
  bool neg = u < 0;
  unsigned __int128 m = neg ? static_cast<unsigned __int128>(-u) : static_cast<unsigned __int128>(u);
  char digits[64];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + static_cast<int>(m % 10));
    m /= 10;
  } while (m);
  while (n < 19) digits[n++] = '0';
  std::string text = neg ? "-" : "";
  for (int k = n - 1; k >= 18; --k) text += digits[k];
  text += '.';
  for (int k = 17; k >= 0; --k) text += digits[k];
  double v = 0;
  std::from_chars(text.data(), text.data() + text.size(), v);
  return v + extra_;
}

}  // namespace tsql
