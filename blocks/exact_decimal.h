// Exact decimal amounts for the computations of the merged file: the numbers
// of the records (amounts, rates, quantities) read from their decimal-comma
// texts, added and subtracted without loss, multiplied and divided with one
// rounding to the places the layout gives the result.
#pragma once

#include <optional>
#include <string>
#include <string_view>

class ExactDecimal {
 public:
  // Places kept exactly: enough for every field of the layout (at most four).
  // Products of two values of up to about 10^13 stay exact.
  static constexpr int kPlaces = 6;

  ExactDecimal() = default;

  // The number written in `text`: optional sign, digits, at most one decimal
  // comma (a point is taken as the comma too), at most kPlaces decimals; the
  // empty text is 0. nullopt for anything else or a magnitude beyond 10^18.
  static std::optional<ExactDecimal> Parse(std::string_view text);
  // Like Parse, but a text that is no number counts as 0 (used for staged
  // values that the import already accepted as they came).
  static ExactDecimal ParseOrZero(std::string_view text);
  static ExactDecimal FromInt(long long v);

  ExactDecimal operator+(ExactDecimal o) const { return Raw(units_ + o.units_); }
  ExactDecimal operator-(ExactDecimal o) const { return Raw(units_ - o.units_); }
  ExactDecimal& operator+=(ExactDecimal o) { units_ += o.units_; return *this; }
  ExactDecimal& operator-=(ExactDecimal o) { units_ -= o.units_; return *this; }
  bool operator==(const ExactDecimal& o) const = default;
  auto operator<=>(const ExactDecimal& o) const = default;

  bool IsZero() const { return units_ == 0; }
  bool IsNegative() const { return units_ < 0; }

  // this × num ÷ den rounded to `places` decimals, halves away from zero.
  // Throws std::domain_error when den is 0 and std::overflow_error when the
  // product leaves the exact range.
  ExactDecimal MulDiv(ExactDecimal num, ExactDecimal den, int places) const;
  // this × factor ÷ 100 rounded to `places` (a base times a percentage rate).
  ExactDecimal Percent(ExactDecimal rate, int places) const;
  // this × factor rounded to `places` (a quantity times a rate per unit).
  ExactDecimal Times(ExactDecimal factor, int places) const;
  // This rounded to `places` decimals, halves away from zero.
  ExactDecimal Rounded(int places) const;

  // The number with a decimal comma, rounded to `places` (0..kPlaces), without
  // trailing zeros in the decimals ("10,5", "100", "-0,01").
  std::string Text(int places = 2) const;

 private:
  static ExactDecimal Raw(__int128 u) {
    ExactDecimal d;
    d.units_ = u;
    return d;
  }
  __int128 units_ = 0;  // the value in units of 10^-kPlaces
};
