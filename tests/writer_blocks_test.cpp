// Blocks written with their opener and closer only (A, F, I, P, 1): the opener
// says the block holds no lines, the closer counts, and the blocks that older
// layouts lack are left out when no file had them.
#include <gtest/gtest.h>

#include "blocks/bloco1.h"
#include "blocks/blocoa.h"
#include "blocks/blocof.h"
#include "blocks/blocoi.h"
#include "blocks/blocop.h"
#include "staging/resources.h"
#include "staging/run_state.h"
#include "staging/ui_ports.h"
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
  std::vector<std::string> Unify(void (*unify)(bool&)) {
    bool notSingle = false;
    return WriteAndRead(dir.File("b.txt"), [&] { unify(notSingle); });
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
  Ports().progress = &progress;
  EXPECT_EQ(Unify(&BlocoA::md_UnifyBlock), (std::vector<std::string>{"|A001|1|", "|A990|2|"}));
  EXPECT_EQ(Unify(&BlocoF::md_UnifyBlock), (std::vector<std::string>{"|F001|1|", "|F990|2|"}));
  EXPECT_EQ(Unify(&Bloco1::md_UnifyBlock), (std::vector<std::string>{"|1001|1|", "|1990|2|"}));
  Ports().progress = nullptr;
  EXPECT_EQ(progress.labels, std::vector<std::string>(3, "Empresas (1/1) => CNPJ: Nenhum"));
  EXPECT_EQ(CounterOf("A001"), 1);
  EXPECT_EQ(CounterOf("9999"), 6);
}

TEST_F(OpenerCloserBlocks, NoOpenerAnywhere) {
  EXPECT_EQ(Unify(&BlocoA::md_UnifyBlock), (std::vector<std::string>{"|A990|1|"}));
  // Blocks I and P, absent from older layouts, are left out entirely.
  EXPECT_TRUE(Unify(&BlocoI::md_UnifyBlock).empty());
  EXPECT_TRUE(Unify(&BlocoP::md_UnifyBlock).empty());
  EXPECT_EQ(CounterOf("I990"), 0);
  EXPECT_EQ(CounterOf("P990"), 0);
  StoreLine("|I001|0|", "111");
  StoreLine("|P001|1|", "111");
  EXPECT_EQ(Unify(&BlocoI::md_UnifyBlock), (std::vector<std::string>{"|I001|1|", "|I990|2|"}));
  EXPECT_EQ(Unify(&BlocoP::md_UnifyBlock), (std::vector<std::string>{"|P001|1|", "|P990|2|"}));
}
