// Block 9: every 9900 line carries the number of lines of its code, Block 9's
// own codes included, and 9990 / 9999 are the real numbers of lines.
#include <gtest/gtest.h>

#include "blocks/bloco9.h"
#include "blocks/registry.h"
#include "staging/resources.h"
#include "staging/run_state.h"
#include "tests/support/test_run.h"
#include "tests/support/writer_support.h"

namespace {

// 25 record codes of Blocks 0 to 1 with 120 lines in all, as the writers would
// have counted them.
void CountTwentyFiveCodes() {
  int codes = 0;
  int32_t total = 0;
  for (const BlockEntry& m : BlockTable()) {
    if (m.letter == '9') continue;
    for (const LayoutSpec& spec : m.layouts()) {
      if (codes == 25) break;
      int32_t n = codes < 24 ? 4 : 120 - total;
      md_AddRecordCount(TestRun(), spec.code, n);
      total += n;
      ++codes;
    }
  }
  ASSERT_EQ(total, 120);
}

class Block9 : public ::testing::Test {
 protected:
  std::vector<std::string> Unify() {
    return WriteAndRead(dir.File("b9.txt"), [&] { Bloco9::md_UnifyBlock(TestRun()); });
  }
  StagingDatabase db;
  TempFolder dir;
};

}  // namespace

TEST_F(Block9, CountsOfEveryCodeIncludingItsOwn) {
  CountTwentyFiveCodes();
  StoreLine("|9001|1|", "111");
  auto lines = Unify();
  ASSERT_EQ(lines.size(), 32u);
  EXPECT_EQ(lines[0], "|9001|0|") << "Block 9 always holds lines";
  auto b9900 = LinesOf(lines, "9900");
  ASSERT_EQ(b9900.size(), 29u);
  EXPECT_EQ(b9900[0], "|9900|0000|4|");
  EXPECT_EQ(b9900[24].rfind("|9900|", 0), 0u);
  EXPECT_EQ(std::vector<std::string>(b9900.end() - 4, b9900.end()),
            (std::vector<std::string>{"|9900|9001|1|", "|9900|9900|29|", "|9900|9990|1|", "|9900|9999|1|"}));
  EXPECT_EQ(lines[30], "|9990|32|");
  EXPECT_EQ(lines[31], "|9999|152|");
}

TEST_F(Block9, WithoutAStoredOpener) {
  CountTwentyFiveCodes();
  auto lines = Unify();
  EXPECT_TRUE(LinesOf(lines, "9001").empty());
  auto b9900 = LinesOf(lines, "9900");
  ASSERT_EQ(b9900.size(), 28u);
  EXPECT_EQ(std::vector<std::string>(b9900.end() - 3, b9900.end()),
            (std::vector<std::string>{"|9900|9900|28|", "|9900|9990|1|", "|9900|9999|1|"}));
  EXPECT_EQ(lines[lines.size() - 2], "|9990|30|");
  EXPECT_EQ(lines.back(), "|9999|150|");
}
