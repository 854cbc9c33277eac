// Exact decimal amounts for the computations of the merged file: the numbers
// of the records (amounts, rates, quantities) read from their decimal-comma
// texts, added and subtracted without loss, multiplied and divided with one
// rounding to the places the layout gives the result. The amounts of a file
// are read through efd_amount.h, which holds them to the layout first.
#pragma once

#include <optional>
#include <string>
#include <string_view>

class ExactDecimal {
 public:
  // Places kept exactly: more than any field of the layout has (at most five).
  static constexpr int kPlaces = 6;
  // Whole digits a value may have: every sized field of the layout has far
  // fewer, and a field without size is read up to here. The sum of more than
  // a hundred values of this size leaves the range and throws.
  static constexpr int kWholeDigits = 30;

  ExactDecimal() = default;

  // The number written in `text`: optional sign, digits, at most one decimal
  // comma (a point is taken as the comma too), at most kPlaces decimals; the
  // empty text is 0. nullopt for anything else or more than kWholeDigits
  // whole digits. For texts of the program itself (rates it compares, values
  // it wrote); the amounts of a file are read by ReadEfdAmount.
  static std::optional<ExactDecimal> Parse(std::string_view text);
  static ExactDecimal FromInt(long long v);

  // Sums and differences are exact; one that leaves the range of the
  // representation throws std::overflow_error (never wraps).
  ExactDecimal operator+(ExactDecimal o) const { return Raw(Add(units_, o.units_)); }
  ExactDecimal operator-(ExactDecimal o) const { return Raw(Add(units_, -o.units_)); }
  ExactDecimal& operator+=(ExactDecimal o) { units_ = Add(units_, o.units_); return *this; }
  ExactDecimal& operator-=(ExactDecimal o) { units_ = Add(units_, -o.units_); return *this; }
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
  // a + b; throws std::overflow_error when it leaves the range of __int128.
  static __int128 Add(__int128 a, __int128 b);
  static ExactDecimal Raw(__int128 u) {
    ExactDecimal d;
    d.units_ = u;
    return d;
  }
  __int128 units_ = 0;  // the value in units of 10^-kPlaces
};
