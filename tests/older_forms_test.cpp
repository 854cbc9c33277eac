// Lines of older layouts: stored in the current layout's columns and written
// back in the form the input files had.
#include <gtest/gtest.h>

#include "staging/older_forms.h"

TEST(OlderForms, ContributionLinesGoBothWaysAndOtherLinesLoseTheirNewerEnd) {
  const std::string old210 = "|M210|01|10200000|10000000|1,65|0||165000|0|0|0|0|165000|";
  const std::string now210 = CurrentFormOf("M210", old210);
  EXPECT_EQ(now210, "|M210|01|10200000|10000000|0|0|10000000|1,65|0||165000|0|0|0|0|165000|");
  EXPECT_EQ(OlderFormOf("M210", now210, 13), old210);
  EXPECT_EQ(OlderFormOf("M610", CurrentFormOf("M610", old210), 13), old210);
  // A line already of the current layout, or of another record, stays as it is.
  EXPECT_EQ(CurrentFormOf("M210", now210), now210);
  EXPECT_EQ(CurrentFormOf("M100", old210), old210);
  // Other records grew at their end.
  EXPECT_EQ(OlderFormOf("0110", "|0110|3|2|2||", 4), "|0110|3|2|2|");
  EXPECT_EQ(OlderFormOf("C500", "|C500|a|b|", 2), "|C500|a|");
  // Never longer than it was.
  EXPECT_EQ(OlderFormOf("0110", "|0110|3|2|", 4), "|0110|3|2|");
  EXPECT_EQ(OlderFormOf("0110", "|0110|3|2|2||", 5), "|0110|3|2|2||");
}
