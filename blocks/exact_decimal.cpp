#include "blocks/exact_decimal.h"

#include <cstdint>
#include <stdexcept>

namespace {

constexpr __int128 Pow10(int n) {
  __int128 p = 1;
  for (int i = 0; i < n; ++i) p *= 10;
  return p;
}

constexpr __int128 kScale = Pow10(ExactDecimal::kPlaces);
// Magnitudes below 10^kWholeDigits.
constexpr __int128 kMaxUnits = Pow10(ExactDecimal::kWholeDigits + ExactDecimal::kPlaces);
// The largest product of two values in units (__int128 holds about 1.7 * 10^38).
constexpr __int128 kMaxProduct = Pow10(38);
// The largest __int128.
constexpr __int128 kInt128Max = static_cast<__int128>((~static_cast<unsigned __int128>(0)) >> 1);

__int128 Abs(__int128 v) { return v < 0 ? -v : v; }

// n / d rounded to a whole number, halves away from zero (d > 0).
__int128 DivRound(__int128 n, __int128 d) {
  const __int128 q = Abs(n) / d, r = Abs(n) % d;
  const __int128 m = (2 * r >= d) ? q + 1 : q;
  return n < 0 ? -m : m;
}

}  // namespace

std::optional<ExactDecimal> ExactDecimal::Parse(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  bool negative = false;
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
    if (text.empty()) return std::nullopt;
  }
  int decimals = -1;  // -1: no comma seen
  // At most 19 characters hold at most 19 digits, below 2^64: the amounts of
  // the files, read millions of times, are added up in 64 bits.
  if (text.size() <= 19) {
    uint64_t small = 0;
    for (char c : text) {
      if ((c == ',' || c == '.') && decimals < 0) {
        decimals = 0;
      } else if (c >= '0' && c <= '9') {
        if (decimals >= kPlaces) return std::nullopt;
        small = small * 10 + static_cast<uint64_t>(c - '0');
        if (decimals >= 0) ++decimals;
      } else {
        return std::nullopt;
      }
    }
    static constexpr int64_t kScales[] = {1, 10, 100, 1000, 10000, 100000, 1000000};
    static_assert(sizeof(kScales) / sizeof(kScales[0]) == kPlaces + 1);
    const __int128 v = static_cast<__int128>(small) * kScales[kPlaces - (decimals < 0 ? 0 : decimals)];
    return Raw(negative ? -v : v);  // below 10^25, far within kMaxUnits
  }
  __int128 v = 0;
  for (char c : text) {
    if ((c == ',' || c == '.') && decimals < 0) {
      decimals = 0;
    } else if (c >= '0' && c <= '9') {
      if (decimals >= kPlaces) return std::nullopt;
      v = v * 10 + (c - '0');
      if (decimals >= 0) ++decimals;
      if (v >= kMaxUnits) return std::nullopt;
    } else {
      return std::nullopt;
    }
  }
  v *= Pow10(kPlaces - (decimals < 0 ? 0 : decimals));
  if (v >= kMaxUnits) return std::nullopt;
  return Raw(negative ? -v : v);
}

__int128 ExactDecimal::Add(__int128 a, __int128 b) {
  __int128 r;
  if (__builtin_add_overflow(a, b, &r))
    throw std::overflow_error("soma de valores além do alcance exato do programa (mais de 38 algarismos)");
  return r;
}

ExactDecimal ExactDecimal::FromInt(long long v) { return Raw(static_cast<__int128>(v) * kScale); }

ExactDecimal ExactDecimal::MulDiv(ExactDecimal num, ExactDecimal den, int places) const {
  if (den.units_ == 0) throw std::domain_error("divisão por zero num cálculo de valores");
  if (Abs(units_) != 0 && Abs(num.units_) > kMaxProduct / Abs(units_))
    throw std::overflow_error("produto de valores além do alcance exato do programa");
  // (a/S)(b/S)/(c/S) = ab/(cS); in units of 10^-places: ab*10^places/(c*S).
  __int128 n = units_ * num.units_;
  __int128 d = den.units_;
  if (d < 0) n = -n, d = -d;
  if (places < 0) places = 0;
  if (places > kPlaces) places = kPlaces;
  const int drop = kPlaces - places;
  // ab / d is the value in units of 10^-kPlaces; one rounded division by
  // d * 10^drop gives it in units of 10^-places.
  const __int128 p = Pow10(drop);
  if (d > kInt128Max / p) {
    // d * 10^drop exceeds |n| (< 10^38): the quotient rounds to 0 or to one
    // unit, by whether 2|n| reaches d * 10^drop (floor(2|n| / p) >= d).
    const unsigned __int128 twice = 2 * static_cast<unsigned __int128>(Abs(n));
    const __int128 one = twice / static_cast<unsigned __int128>(p) >= static_cast<unsigned __int128>(d) ? 1 : 0;
    return Raw((n < 0 ? -one : one) * p);
  }
  const __int128 r = DivRound(n, d * p);
  return Raw(r * p);
}

ExactDecimal ExactDecimal::Percent(ExactDecimal rate, int places) const {
  return MulDiv(rate, FromInt(100), places);
}

ExactDecimal ExactDecimal::Times(ExactDecimal factor, int places) const {
  return MulDiv(factor, FromInt(1), places);
}

ExactDecimal ExactDecimal::Rounded(int places) const {
  const __int128 p = Pow10(kPlaces - places);
  return Raw(DivRound(units_, p) * p);
}

std::string ExactDecimal::Text(int places) const {
  if (places < 0) places = 0;
  if (places > kPlaces) places = kPlaces;
  const __int128 v = Rounded(places).units_;
  __int128 a = Abs(v);
  std::string digits;
  for (; a > 0; a /= 10) digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(a % 10)));
  if (digits.size() < static_cast<size_t>(kPlaces + 1)) digits.insert(0, kPlaces + 1 - digits.size(), '0');
  std::string whole = digits.substr(0, digits.size() - kPlaces);
  std::string frac = digits.substr(digits.size() - kPlaces);
  while (!frac.empty() && frac.back() == '0') frac.pop_back();
  std::string s = v < 0 ? "-" : "";
  s += whole;
  if (!frac.empty()) s += "," + frac;
  return s;
}
