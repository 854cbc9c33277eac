// Block C writer: establishments, their documents and children in file order,
// the opener and closer, and the staged rows that must not be lost or repeated.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <iterator>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "blocks/subtree_writer.h"
#include "staging/text.h"
#include "tests/support/test_run.h"
#include "tests/support/blocks_cd_support.h"
#include "tests/support/check_support.h"
#include "tools/efdgen/network.h"

using Lines = std::vector<std::string>;

namespace {

constexpr const char* kA = "11111111000191";
constexpr const char* kB = "11111111000272";
constexpr const char* kC = "11111111000353";

std::string C010(const std::string& cnpj) { return "|C010|" + cnpj + "|1|"; }

}  // namespace

TEST(BlockC, EachEstablishmentPassWritesItsOwnDocumentsWithTheirChildrenInOrder) {
  BlocksCdStage stage;
  stage.StageFile(kA, {"|C001|1|", C010(kA), "|C100|a1|", "|C170|a1.1|", "|C100|a2|",
                       "|C500|a3|", "|C505|a3.2|", "|C501|a3.1|", "|C990|9|"});
  stage.StageFile(kB, {"|C001|0|", C010(kB), "|C180|b1|", "|C181|b1.1|", "|C185|b1.2|",
                       "|C190|b2|", "|C191|b2.1|", "|C195|b2.2|"});
  // Children staged out of their writing order come back as C110, C170, C175.
  stage.StageFile(kC, {C010(kC), "|C380|c1|", "|C381|c1.1|", "|C385|c1.2|", "|C100|c2|",
                       "|C175|c2.3|", "|C170|c2.2|", "|C110|c2.1|", "|C170|c2.4|"});

  Lines lines = stage.UnifyC(false);
  EXPECT_EQ(Tags(lines), (Lines{"C001 0",
                                std::string("C010 ") + kA, "C100 a1", "C170 a1.1", "C100 a2",
                                "C500 a3", "C501 a3.1", "C505 a3.2",
                                std::string("C010 ") + kB, "C180 b1", "C181 b1.1", "C185 b1.2",
                                "C190 b2", "C191 b2.1", "C195 b2.2",
                                std::string("C010 ") + kC, "C100 c2", "C110 c2.1", "C170 c2.2",
                                "C170 c2.4", "C175 c2.3", "C380 c1", "C381 c1.1", "C385 c1.2",
                                "C990 25"}));
  // Whole lines: every layout field, empty ones as adjacent bars.
  EXPECT_EQ(lines[1], std::string("|C010|") + kA + "|1|");
  EXPECT_EQ(lines[3], "|C170|a1.1" + std::string(36, '|'));
  // Counters: one per line written, children included, a C100 without items adds nothing.
  EXPECT_EQ(stage.Count("C010"), 3);
  EXPECT_EQ(stage.Count("C100"), 3);
  EXPECT_EQ(stage.Count("C170"), 3);
  EXPECT_EQ(stage.Count("C110"), 1);
  EXPECT_EQ(stage.Count("C001"), 1);
  EXPECT_EQ(stage.Count("C990"), 1);
  EXPECT_EQ(stage.Count("9999"), 25);
}

TEST(BlockC, FiscalPrinterAndC490GroupsKeepTheirChildrenUnderTheirOwnParent) {
  BlocksCdStage stage;
  stage.StageFile(kA, {"|C001|0|", C010(kA),
                       // a C400 with two C405, each with its own C481/C485
                       "|C400|e1|", "|C405|z1|", "|C481|z1.1|", "|C485|z1.3|", "|C481|z1.2|",
                       "|C405|z2|", "|C485|z2.2|", "|C481|z2.1|",
                       "|C400|e2|", "|C405|z3|",
                       // C490 with C491 and C495, one without children
                       "|C490|g1|", "|C495|g1.2|", "|C491|g1.1|", "|C490|g2|", "|C490|g3|",
                       "|C491|g3.1|"});

  EXPECT_EQ(Tags(stage.UnifyC(false)),
            (Lines{"C001 0", std::string("C010 ") + kA,
                   "C400 e1", "C405 z1", "C481 z1.1", "C481 z1.2", "C485 z1.3",
                   "C405 z2", "C481 z2.1", "C485 z2.2", "C400 e2", "C405 z3",
                   "C490 g1", "C491 g1.1", "C495 g1.2", "C490 g2", "C490 g3", "C491 g3.1",
                   "C990 19"}));
  EXPECT_EQ(stage.Count("C405"), 3);
  EXPECT_EQ(stage.Count("C481"), 3);
  EXPECT_EQ(stage.Count("C491"), 2);
  EXPECT_EQ(stage.Count("C495"), 1);
}

TEST(BlockC, CnpjsThatAreNotNumbersSelectTheirOwnDocuments) {
  BlocksCdStage stage;
  const std::string dotted = "11.111.111/0002-72", quoted = "O'11111111000353";
  stage.StageFile(kA, {"|C001|0|", C010(kA), "|C100|a1|"});
  stage.StageFile(dotted, {C010(dotted), "|C100|b1|", "|C170|b1.1|"});
  stage.StageFile(quoted, {C010(quoted), "|C100|c1|"});

  EXPECT_EQ(Tags(stage.UnifyC(false)),
            (Lines{"C001 0", std::string("C010 ") + kA, "C100 a1", "C010 " + dotted, "C100 b1",
                   "C170 b1.1", "C010 " + quoted, "C100 c1", "C990 9"}));
}

TEST(BlockC, WithoutEstablishmentsOnlyOpenerAndCloserAreWritten) {
  BlocksCdStage stage;
  stage.StageFile(kA, {"|C001|0|", "|C100|orphan|"});
  EXPECT_EQ(stage.UnifyC(false), (Lines{"|C001|1|", "|C990|2|"}));
}

// A generated network holding every Block C and D record, merged by the built
// program: the result passes the checker, and every document line of every
// input is there exactly once, under its own establishment and parent.
TEST(BlocksCdEndToEnd, EveryDocumentLineOnceUnderItsOwnEstablishmentAndParent) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("quelvar-cd-e2e-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  NetworkOptions options{.establishments = 4, .targetLines = 12000, .seed = 5};
  const std::vector<std::string> files = WriteNetwork(options, (dir / "in").string());
  fs::create_directories(dir / "out");

  std::vector<std::string> inputLines;
  for (const std::string& f : files)
    for (const std::string& line : ReadLines(f)) inputLines.push_back(UpperLatin1(line));  // stored in capitals
  const MergeResult m = RunMerge(files, (dir / "out").string());
  ASSERT_EQ(m.exitCode, 0) << m.err;
  ASSERT_FALSE(m.file.empty());
  const ProcessResult check = RunQuelvar({"check", m.file});
  EXPECT_EQ(check.exitCode, 0) << check.out << check.err;

  const std::vector<std::string> expected = PlacedDocumentLines(inputLines);
  const std::vector<std::string> got = PlacedDocumentLines(ReadLines(m.file));
  std::set<std::string> codes;
  for (const std::string& placed : expected) codes.insert(placed.substr(placed.rfind(" > |") + 4, 4));
  EXPECT_EQ(codes.size(), 29u) << "the network should hold every document code of Blocks C and D";
  EXPECT_EQ(got.size(), expected.size());
  std::vector<std::string> missing, extra;
  std::set_difference(expected.begin(), expected.end(), got.begin(), got.end(),
                      std::back_inserter(missing));
  std::set_difference(got.begin(), got.end(), expected.begin(), expected.end(),
                      std::back_inserter(extra));
  EXPECT_TRUE(missing.empty() && extra.empty())
      << missing.size() << " placed lines lost, " << extra.size() << " misplaced or repeated; first lost: "
      << (missing.empty() ? "" : missing.front()) << "; first extra: " << (extra.empty() ? "" : extra.front());
  fs::remove_all(dir);
}

// Records added since the first version sit under their own parent, in the
// layout's order of the parent's children: C111 and C120 between C110 and
// C170, C188 after C185, C489 after the C405 groups, C509 after C505.
TEST(BlockC, RecordsOfTheWholeLayoutFollowTheirParentInLayoutOrder) {
  BlocksCdStage stage;
  stage.StageFile(kA, {"|C001|0|", C010(kA), "|C100|x1|", "|C170|x1.1|", "|C111|x1.2|", "|C120|x1.3|",
                       "|C110|x1.4|", "|C100|x2|", "|C111|x2.1|", "|C180|b1|", "|C188|b1.1|", "|C181|b1.2|",
                       "|C400|e1|", "|C489|e1.1|", "|C405|z1|", "|C481|z1.1|", "|C500|s1|", "|C509|s1.1|",
                       "|C505|s1.2|"});
  stage.StageFile(kB, {C010(kB), "|C100|y1|", "|C111|y1.1|"});
  EXPECT_EQ(Tags(stage.UnifyC(false)),
            (Lines{"C001 0", std::string("C010 ") + kA, "C100 x1", "C110 x1.4", "C111 x1.2", "C120 x1.3",
                   "C170 x1.1", "C100 x2", "C111 x2.1", "C180 b1", "C181 b1.2", "C188 b1.1", "C400 e1",
                   "C405 z1", "C481 z1.1", "C489 e1.1", "C500 s1", "C505 s1.2", "C509 s1.1",
                   std::string("C010 ") + kB, "C100 y1", "C111 y1.1", "C990 23"}));
  EXPECT_EQ(stage.Count("C111"), 3);
}

// The statements of an establishment's pass do not grow with its documents:
// children are read per record code, not per parent row.
TEST(BlockC, StatementsPerEstablishmentDoNotGrowWithItsDocuments) {
  auto statementsFor = [](int documents) {
    BlocksCdStage stage;
    Lines lines{"|C001|0|", C010(kA)};
    for (int i = 0; i < documents; ++i)
      for (const char* l : {"|C100|d|", "|C110|t|", "|C170|i|", "|C170|j|", "|C175|k|"}) lines.push_back(l);
    stage.StageFile(kA, lines);
    ResetEstablishmentPassTotals(TestRun());
    stage.UnifyC(false);
    PassTotals t = EstablishmentPassTotals(TestRun());
    EXPECT_EQ(t.passes, 1);
    return t.statements;
  };
  const int64_t few = statementsFor(2);
  EXPECT_EQ(statementsFor(200), few);
  EXPECT_LE(few, 12);
}
