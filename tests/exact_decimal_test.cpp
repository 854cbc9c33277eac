// Exact decimals: the amounts of the files read, added and rounded without
// the errors of binary floating point.
#include <gtest/gtest.h>

#include "blocks/exact_decimal.h"

namespace {

std::string Sum(std::initializer_list<const char*> texts) {
  ExactDecimal s;
  for (const char* t : texts) s += *ExactDecimal::Parse(t);
  return s.Text(6);
}

}  // namespace

TEST(ExactDecimal, ReadsAndWritesTheFilesNumbers) {
  EXPECT_EQ(ExactDecimal::Parse("1,6500")->Text(4), "1,65");
  EXPECT_EQ(ExactDecimal::Parse("-0,01")->Text(), "-0,01");
  EXPECT_EQ(ExactDecimal::Parse("")->Text(), "0");
  EXPECT_EQ(ExactDecimal::Parse(" 12.5 ")->Text(), "12,5");
  EXPECT_EQ(ExactDecimal::Parse("123456789012,34")->Text(), "123456789012,34");
  for (const char* bad : {"1,2,3", "abc", "1e5", "-", "0,1234567", "1000000000000000000000000000000"})
    EXPECT_FALSE(ExactDecimal::Parse(bad).has_value()) << bad;
}

// Texts of up to 19 characters are read in 64 bits, longer ones in 128: both
// give the same values and refuse the same texts, at the border too.
TEST(ExactDecimal, ShortAndLongTextsReadAlike) {
  struct Case {
    const char* text;
    const char* value;  // nullptr: refused
  };
  const Case cases[] = {
      {"9999999999999999999", "9999999999999999999"},        // 19 digits, the most of the short path
      {"99999999999999999999", "99999999999999999999"},      // 20: the long path
      {"-999999999999,999999", "-999999999999,999999"},      // 19 characters after the sign
      {"9999999999999,999999", "9999999999999,999999"},      // 20 characters
      {"  0000000000000000001,5  ", "1,5"},                  // blanks are trimmed before the count
      {"+12.000001", "12,000001"},
      {"0,0000001", nullptr},                                // 7 decimals
      {"00000000000000,0000001", nullptr},
      {"1..2", nullptr},
      {"12 3", nullptr},
      {"-", nullptr},
      {",", "0"},
      {"18446744073709551615", "18446744073709551615"},      // 2^64 - 1, long path
  };
  for (const Case& c : cases) {
    std::optional<ExactDecimal> v = ExactDecimal::Parse(c.text);
    if (!c.value) {
      EXPECT_FALSE(v.has_value()) << c.text;
      continue;
    }
    ASSERT_TRUE(v.has_value()) << c.text;
    EXPECT_EQ(v->Text(6), c.value) << c.text;
  }
}

// Values up to 30 whole digits are held exactly (an amount without size in
// the layout is read that far); a sum beyond the representation throws
// instead of wrapping, and a quotient by such a value stays defined.
TEST(ExactDecimal, LargeValuesAreExactAndOverflowThrows) {
  const std::string nines(30, '9');
  EXPECT_EQ(ExactDecimal::Parse(nines + ",999999")->Text(6), nines + ",999999");
  EXPECT_EQ(Sum({"999999999999999999999999999999,999999", "0,000001"}), "1000000000000000000000000000000");
  EXPECT_EQ(Sum({"10000000000000000000", "0,01"}), "10000000000000000000,01");
  const ExactDecimal big = *ExactDecimal::Parse(nines);
  ExactDecimal up, down;
  EXPECT_THROW(for (int i = 0; i < 200; ++i) up += big, std::overflow_error);
  EXPECT_THROW(for (int i = 0; i < 200; ++i) down = down - big, std::overflow_error);
  EXPECT_EQ(ExactDecimal::FromInt(1).MulDiv(ExactDecimal::FromInt(1), *ExactDecimal::Parse("1" + std::string(29, '0')), 2)
                .Text(),
            "0");
}

TEST(ExactDecimal, SumsAreExact) {
  // 0,1 + 0,2 is 0,3 here, not 0,30000000000000004.
  EXPECT_EQ(Sum({"0,1", "0,2"}), "0,3");
  EXPECT_EQ(Sum({"100,10", "0,20", "0,01"}), "100,31");
  EXPECT_EQ(Sum({"99999999999,99", "0,01"}), "100000000000");
  EXPECT_EQ(Sum({"5", "-7,25"}), "-2,25");
}

TEST(ExactDecimal, ProductsRoundHalfAwayFromZeroOnce) {
  const ExactDecimal base = *ExactDecimal::Parse("333333,33");
  EXPECT_EQ(base.Percent(*ExactDecimal::Parse("1,65"), 2).Text(), "5500");  // 5499,999945
  EXPECT_EQ(ExactDecimal::Parse("0,5")->Rounded(0).Text(), "1");
  EXPECT_EQ(ExactDecimal::Parse("-0,5")->Rounded(0).Text(), "-1");
  EXPECT_EQ(ExactDecimal::Parse("2,675")->Rounded(2).Text(), "2,68");
  EXPECT_EQ(ExactDecimal::FromInt(800000).MulDiv(ExactDecimal::FromInt(1), ExactDecimal::FromInt(3), 2).Text(),
            "266666,67");
  EXPECT_EQ(ExactDecimal::Parse("10,5")->Times(*ExactDecimal::Parse("0,8"), 2).Text(), "8,4");
  EXPECT_EQ(ExactDecimal::Parse("1,2345")->Text(2), "1,23");
  EXPECT_THROW(ExactDecimal::FromInt(1).MulDiv(ExactDecimal::FromInt(1), ExactDecimal(), 2), std::domain_error);
  // The largest amounts of a file times the largest revenues stay exact.
  EXPECT_EQ(ExactDecimal::Parse("9999999999999,99")
                ->MulDiv(*ExactDecimal::Parse("9999999999999,99"), *ExactDecimal::Parse("9999999999999,99"), 2)
                .Text(),
            "9999999999999,99");
}
