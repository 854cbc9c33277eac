// Blocks written with their opener and closer only (A, F, I, P, 1): the opener
// says the block holds no lines, the closer counts, and the blocks that older
// layouts lack are left out when no file had them.
#include <gtest/gtest.h>

#include "blocks/registry.h"
#include "staging/resources.h"
#include "staging/run_state.h"
#include "staging/ui_ports.h"
#include "tests/support/test_run.h"
#include "tests/support/writer_support.h"

namespace {

class Block2Progress : public ProgressPort {
 public:
  std::vector<std::string> labels;
  void Progress(const ProgressEvent& e) override {
    if (e.kind == 2) labels.push_back(e.Label());
  }
};

class OpenerCloserBlocks : public ::testing::Test {
 protected:
  // Writes the block of `letter` as the run does, from the table of blocks.
  std::vector<std::string> Unify(char letter) {
    bool notSingle = false;
    return WriteAndRead(dir.File("b.txt"), [&] { WriteBlock(TestRun(), *FindBlock(letter), notSingle); });
  }
  StagingDatabase db;
  TempFolder dir;
};

}  // namespace

TEST_F(OpenerCloserBlocks, OpenerOfTheFirstFileSaysTheBlockIsEmpty) {
  StoreLine("|A001|0|", "111");  // its A100 lines are not carried over
  StoreLine("|F001|0|", "111");
  StoreLine("|F001|1|", "222");
  StoreLine("|1001|1|", "111");
  Block2Progress progress;
  TestRun().ports.progress = &progress;
  EXPECT_EQ(Unify('A'), (std::vector<std::string>{"|A001|1|", "|A990|2|"}));
  EXPECT_EQ(Unify('F'), (std::vector<std::string>{"|F001|1|", "|F990|2|"}));
  EXPECT_EQ(Unify('1'), (std::vector<std::string>{"|1001|1|", "|1990|2|"}));
  TestRun().ports.progress = nullptr;
  EXPECT_EQ(progress.labels, std::vector<std::string>(3, "Empresas (1/1) => CNPJ: Nenhum"));
  EXPECT_EQ(CounterOf("A001"), 1);
  EXPECT_EQ(CounterOf("9999"), 6);
}

TEST_F(OpenerCloserBlocks, NoOpenerAnywhere) {
  EXPECT_EQ(Unify('A'), (std::vector<std::string>{"|A990|1|"}));
  // Blocks I and P, absent from older layouts, are left out entirely.
  EXPECT_TRUE(Unify('I').empty());
  EXPECT_TRUE(Unify('P').empty());
  EXPECT_EQ(CounterOf("I990"), 0);
  EXPECT_EQ(CounterOf("P990"), 0);
  StoreLine("|I001|0|", "111");
  StoreLine("|P001|1|", "111");
  EXPECT_EQ(Unify('I'), (std::vector<std::string>{"|I001|1|", "|I990|2|"}));
  EXPECT_EQ(Unify('P'), (std::vector<std::string>{"|P001|1|", "|P990|2|"}));
}
