// Text helpers: splitting record lines, Latin-1 case, blanks, SQL literals and
// LIKE patterns, rounding, whole numbers.
#include <gtest/gtest.h>

#include "staging/text.h"

TEST(SplitBars, ElementsAreTheFieldNumbers) {
  auto e = SplitBars("|C100|0|1||");
  ASSERT_EQ(e.size(), 6u);
  EXPECT_EQ(e[0], "");
  EXPECT_EQ(e[1], "C100");
  EXPECT_EQ(e[2], "0");
  EXPECT_EQ(e[4], "");
  EXPECT_EQ(SplitBars("").size(), 1u);
  EXPECT_EQ(SplitBars("no bars").size(), 1u);
  std::vector<std::string_view> reused{"old", "old"};
  SplitBars("|9999|3|", reused);
  EXPECT_EQ(reused.size(), 4u);
  EXPECT_EQ(reused[2], "3");
}

TEST(Latin1Case, AccentedLettersAndTheExceptions) {
  EXPECT_EQ(UpperLatin1("a\xE7\xE3o z"), "A\xC7\xC3O Z");  // ação z -> AÇÃO Z
  EXPECT_EQ(UpperLatin1('\xF7'), '\xF7');                  // ÷ is no letter
  EXPECT_EQ(UpperLatin1('\xFF'), '\xFF');                  // ÿ has no Latin-1 capital
  EXPECT_EQ(UpperLatin1('\xDF'), '\xDF');                  // ß stays
  EXPECT_EQ(UpperLatin1('\xFE'), '\xDE');                  // þ -> Þ
  EXPECT_EQ(UpperLatin1("1|,'%"), "1|,'%");
  for (int c = 0; c < 256; ++c) {
    char ch = static_cast<char>(c);
    if (UpperLatin1(ch) != ch) {
      EXPECT_EQ(LowerLatin1(UpperLatin1(ch)), ch) << c;
    }
  }
  EXPECT_EQ(LowerLatin1('\xD7'), '\xD7');  // × is no letter
  EXPECT_EQ(LowerLatin1('\xDF'), '\xDF');
}

TEST(TrimBlanks, OnlyTheSpaceCharacter) {
  EXPECT_EQ(TrimBlanks("  ab c  "), "ab c");
  EXPECT_EQ(TrimBlanks("   "), "");
  EXPECT_EQ(TrimBlanks("\tx\t"), "\tx\t");
  EXPECT_EQ(TrimBlanks("\xA0x"), "\xA0x");  // no-break space is kept
}

TEST(SqlTexts, QuotesAndWildcardsMatchOnlyThemselves) {
  EXPECT_EQ(PrepareSqlText("D'AVILA ''"), "D''AVILA ''''");
  EXPECT_EQ(PrepareSqlText("50%; --x"), "50%; --x");
  EXPECT_EQ(PrepareLikeText("1_2%3[4'"), "1[_]2[%]3[[]4''");
  EXPECT_EQ(PrepareLikeText("99999999000191"), "99999999000191");
}

TEST(RoundValue, HalvesAwayFromZero) {
  EXPECT_EQ(RoundValue(2.5, 0), 3);
  EXPECT_EQ(RoundValue(-2.5, 0), -3);
  EXPECT_EQ(RoundValue(2.4999, 0), 2);
  EXPECT_DOUBLE_EQ(RoundValue(1.25, 1), 1.3);
  EXPECT_DOUBLE_EQ(RoundValue(1234.5, -1), 1230);
}

TEST(IsWholeNumber, SignAndDigitsOnly) {
  EXPECT_TRUE(IsWholeNumber("5"));
  EXPECT_TRUE(IsWholeNumber("-12"));
  EXPECT_TRUE(IsWholeNumber("+007"));
  EXPECT_FALSE(IsWholeNumber(""));
  EXPECT_FALSE(IsWholeNumber("-"));
  EXPECT_FALSE(IsWholeNumber("CE0000001"));
  EXPECT_FALSE(IsWholeNumber("1,5"));
  EXPECT_FALSE(IsWholeNumber(" 1"));
}
