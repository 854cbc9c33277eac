// Numbers as the merged file writes them: decimal comma, no thousands
// separator, no exponent, at most 15 significant digits, no trailing zeros.
// Built on std::to_chars, which ignores the machine's locale.
#include <charconv>
#include <cmath>
#include <string>
#include <system_error>

#include "staging/text.h"

// Rounds v to 15 significant digits (round-half-even on the shortest exact
// decimal, as to_chars does) and spells the result out in plain positional
// notation. Zero, negative zero and values that round to zero give "0";
// infinities and NaN, which no sum of decimal texts produces, also give "0".
std::string FormatNumber(double v) {
  if (!std::isfinite(v) || v == 0.0) return "0";
  // "d.dddddddddddddde+XX": the 15 significant digits and the exponent.
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, 14);
  if (res.ec != std::errc()) return "0";
  std::string_view sci(buf, static_cast<size_t>(res.ptr - buf));

  bool negative = sci.front() == '-';
  if (negative) sci.remove_prefix(1);
  size_t e = sci.find('e');
  std::string digits;
  digits.reserve(16);
  for (char c : sci.substr(0, e))
    if (c != '.') digits += c;
  int exponent = 0;
  std::from_chars(sci.data() + e + 1 + (sci[e + 1] == '+' ? 1 : 0), sci.data() + sci.size(), exponent);

  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  if (digits == "0") return "0";

  // digits d1 d2 ... dn stand for d1.d2...dn x 10^exponent.
  std::string out;
  if (negative) out += '-';
  const int n = static_cast<int>(digits.size());
  if (exponent < 0) {
    out += "0,";
    out.append(static_cast<size_t>(-exponent - 1), '0');
    out += digits;
  } else if (exponent + 1 >= n) {
    out += digits;
    out.append(static_cast<size_t>(exponent + 1 - n), '0');
  } else {
    out.append(digits, 0, static_cast<size_t>(exponent + 1));
    out += ',';
    out.append(digits, static_cast<size_t>(exponent + 1));
  }
  return out;
}

// Whole numbers in plain decimal digits, with a leading "-" when negative.
std::string FormatNumber(long long v) { return std::to_string(v); }
