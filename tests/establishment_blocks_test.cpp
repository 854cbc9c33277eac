// Blocks C and D, written by the establishment writer: one pass per
// establishment with data, documents each followed by their details in the
// layout's order, the opener and closer, and the staged rows that must not
// be lost or repeated; what both blocks share is told once, per block.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "blocks/subtree_writer.h"
#include "staging/text.h"
#include "tests/support/blocks_cd_support.h"
#include "tests/support/check_support.h"
#include "tests/support/test_run.h"
#include "tools/efdgen/network.h"

using Lines = std::vector<std::string>;

namespace {

const std::string kA = "11111111000191";
const std::string kB = "11111111000272";
const std::string kC = "11111111000353";

std::string C010(const std::string& cnpj) { return "|C010|" + cnpj + "|1|"; }
std::string D010(const std::string& cnpj) { return "|D010|" + cnpj + "|"; }
std::string O140(const char* code, const char* name, const std::string& cnpj) {
  return std::string("|0140|") + code + "|" + name + "|" + cnpj + "|";
}

// One staged input file: the CNPJ of its 0000 and its lines.
struct StagedFile {
  std::string cnpj;
  Lines lines;
};

// A run of Block C or D: the files staged in order, the block written alone
// (`singleCnpj` as for files of one CNPJ), the lines expected as Tags, the
// counters expected in ###Registros and whole lines expected by index.
struct BlockCase {
  const char* name;
  char block;
  bool singleCnpj;
  std::vector<StagedFile> files;
  Lines tags;
  std::map<std::string, int64_t> counts = {};
  std::map<size_t, std::string> wholeLines = {};
};

}  // namespace

TEST(EstablishmentBlocks, EachEstablishmentPassWritesItsOwnDocumentsWithTheirDetailsInLayoutOrder) {
  const std::vector<BlockCase> cases = {
      // Children staged out of their writing order come back in the layout's
      // order (C110, C170, C175); whole lines carry every layout field, empty
      // ones as adjacent bars; counters count every line written, children
      // included, a C100 without items adds nothing.
      {"three establishments", 'C', false,
       {{kA, {"|C001|1|", C010(kA), "|C100|a1|", "|C170|a1.1|", "|C100|a2|", "|C500|a3|", "|C505|a3.2|",
              "|C501|a3.1|", "|C990|9|"}},
        {kB, {"|C001|0|", C010(kB), "|C180|b1|", "|C181|b1.1|", "|C185|b1.2|", "|C190|b2|", "|C191|b2.1|",
              "|C195|b2.2|"}},
        {kC, {C010(kC), "|C380|c1|", "|C381|c1.1|", "|C385|c1.2|", "|C100|c2|", "|C175|c2.3|", "|C170|c2.2|",
              "|C110|c2.1|", "|C170|c2.4|"}}},
       {"C001 0", "C010 " + kA, "C100 a1", "C170 a1.1", "C100 a2", "C500 a3", "C501 a3.1", "C505 a3.2",
        "C010 " + kB, "C180 b1", "C181 b1.1", "C185 b1.2", "C190 b2", "C191 b2.1", "C195 b2.2", "C010 " + kC,
        "C100 c2", "C110 c2.1", "C170 c2.2", "C170 c2.4", "C175 c2.3", "C380 c1", "C381 c1.1", "C385 c1.2",
        "C990 25"},
       {{"C010", 3}, {"C100", 3}, {"C170", 3}, {"C110", 1}, {"C001", 1}, {"C990", 1}, {"9999", 25}},
       {{1, "|C010|" + kA + "|1|"}, {3, "|C170|a1.1" + std::string(36, '|')}}},
      // A C400 with two C405, each with its own C481/C485; C490 with C491 and
      // C495, one without children.
      {"fiscal printer and C490 groups", 'C', false,
       {{kA, {"|C001|0|", C010(kA), "|C400|e1|", "|C405|z1|", "|C481|z1.1|", "|C485|z1.3|", "|C481|z1.2|",
              "|C405|z2|", "|C485|z2.2|", "|C481|z2.1|", "|C400|e2|", "|C405|z3|", "|C490|g1|", "|C495|g1.2|",
              "|C491|g1.1|", "|C490|g2|", "|C490|g3|", "|C491|g3.1|"}}},
       {"C001 0", "C010 " + kA, "C400 e1", "C405 z1", "C481 z1.1", "C481 z1.2", "C485 z1.3", "C405 z2",
        "C481 z2.1", "C485 z2.2", "C400 e2", "C405 z3", "C490 g1", "C491 g1.1", "C495 g1.2", "C490 g2",
        "C490 g3", "C491 g3.1", "C990 19"},
       {{"C405", 3}, {"C481", 3}, {"C491", 2}, {"C495", 1}}},
      // C111 and C120 between C110 and C170, C188 after C185, C489 after the
      // C405 groups, C509 after C505.
      {"records of the whole layout", 'C', false,
       {{kA, {"|C001|0|", C010(kA), "|C100|x1|", "|C170|x1.1|", "|C111|x1.2|", "|C120|x1.3|", "|C110|x1.4|",
              "|C100|x2|", "|C111|x2.1|", "|C180|b1|", "|C188|b1.1|", "|C181|b1.2|", "|C400|e1|", "|C489|e1.1|",
              "|C405|z1|", "|C481|z1.1|", "|C500|s1|", "|C509|s1.1|", "|C505|s1.2|"}},
        {kB, {C010(kB), "|C100|y1|", "|C111|y1.1|"}}},
       {"C001 0", "C010 " + kA, "C100 x1", "C110 x1.4", "C111 x1.2", "C120 x1.3", "C170 x1.1", "C100 x2",
        "C111 x2.1", "C180 b1", "C181 b1.2", "C188 b1.1", "C400 e1", "C405 z1", "C481 z1.1", "C489 e1.1",
        "C500 s1", "C505 s1.2", "C509 s1.1", "C010 " + kB, "C100 y1", "C111 y1.1", "C990 23"},
       {{"C111", 3}}},
      {"CNPJs that are not numbers", 'C', false,
       {{kA, {"|C001|0|", C010(kA), "|C100|a1|"}},
        {"11.111.111/0002-72", {C010("11.111.111/0002-72"), "|C100|b1|", "|C170|b1.1|"}},
        {"O'11111111000353", {C010("O'11111111000353"), "|C100|c1|"}}},
       {"C001 0", "C010 " + kA, "C100 a1", "C010 11.111.111/0002-72", "C100 b1", "C170 b1.1",
        "C010 O'11111111000353", "C100 c1", "C990 9"}},
      {"without establishments only opener and closer", 'C', false,
       {{kA, {"|C001|0|", "|C100|orphan|"}}},
       {"C001 1", "C990 2"}},
      // Six documents of the head office without details, so that the
      // branch's documents have the identities 7 and 8.
      {"details of the branch's documents", 'D', false,
       {{kA, {"|D001|0|", D010(kA), "|D100|a1|", "|D100|a2|", "|D100|a3|", "|D100|a4|", "|D100|a5|", "|D100|a6|"}},
        {kB, {"|D001|0|", D010(kB), "|D100|b7|", "|D105|b7.2|", "|D101|b7.1|", "|D100|b8|", "|D101|b8.1|",
              "|D105|b8.2|"}}},
       {"D001 0", "D010 " + kA, "D100 a1", "D100 a2", "D100 a3", "D100 a4", "D100 a5", "D100 a6", "D010 " + kB,
        "D100 b7", "D101 b7.1", "D105 b7.2", "D100 b8", "D101 b8.1", "D105 b8.2", "D990 16"},
       {{"D101", 2}, {"D105", 2}, {"D100", 8}}},
      {"D100 and D500 with and without details", 'D', false,
       {{kA, {"|D001|1|", D010(kA), "|D100|a1|", "|D101|a1.1|", "|D105|a1.2|", "|D100|a2|", "|D101|a2.1|",
              "|D105|a2.2|", "|D500|s1|", "|D500|s2|", "|D505|s2.2|", "|D501|s2.1|", "|D500|s3|"}}},
       {"D001 0", "D010 " + kA, "D100 a1", "D101 a1.1", "D105 a1.2", "D100 a2", "D101 a2.1", "D105 a2.2",
        "D500 s1", "D500 s2", "D501 s2.1", "D505 s2.2", "D500 s3", "D990 14"},
       {},
       {{2, "|D100|a1" + std::string(22, '|')}}},
      // Three establishments in 0140, the middle one without data in the
      // block: it gets no pass, and nothing of the others is repeated.
      {"an establishment without data adds no pass", 'C', false,
       {{kA, {O140("1", "MATRIZ", kA), "|C001|0|", C010(kA), "|C100|a1|", "|C170|a1.1|"}},
        {kB, {O140("2", "FILIAL B", kB), "|C001|1|"}},
        {kC, {O140("3", "FILIAL C", kC), C010(kC), "|C100|c1|", "|C170|c1.1|"}}},
       {"C001 0", "C010 " + kA, "C100 a1", "C170 a1.1", "C010 " + kC, "C100 c1", "C170 c1.1", "C990 8"}},
      {"an establishment without data adds no pass", 'D', false,
       {{kA, {O140("1", "MATRIZ", kA), "|D001|0|", D010(kA), "|D100|a1|"}},
        {kB, {O140("2", "FILIAL B", kB)}},
        {kC, {O140("3", "FILIAL C", kC), D010(kC), "|D500|c1|", "|D501|c1.1|"}}},
       {"D001 0", "D010 " + kA, "D100 a1", "D010 " + kC, "D500 c1", "D501 c1.1", "D990 7"}},
      // Files of one CNPJ: one establishment record per CNPJ followed by every
      // document of its files, each with its own details; a file of the same
      // root under another branch number keeps its establishment, its
      // fiscal-printer group under its own.
      {"files of one CNPJ", 'C', true,
       {{kA, {"|C001|0|", C010(kA), "|C100|x1|", "|C170|x1.1|", "|C400|e1|", "|C405|z1|", "|C481|z1.1|",
              "|C485|z1.2|"}},
        {kA, {"|C001|0|", C010(kA), "|C100|x2|", "|C110|x2.1|", "|C490|g1|", "|C491|g1.1|"}},
        {kB, {C010(kB), "|C400|e2|", "|C405|z2|", "|C485|z2.1|"}}},
       {"C001 0", "C010 " + kA, "C100 x1", "C170 x1.1", "C100 x2", "C110 x2.1", "C400 e1", "C405 z1",
        "C481 z1.1", "C485 z1.2", "C490 g1", "C491 g1.1", "C010 " + kB, "C400 e2", "C405 z2", "C485 z2.1",
        "C990 17"},
       {{"C010", 2}}},
      {"files of one CNPJ", 'D', true,
       {{kA, {"|D001|0|", D010(kA), "|D100|x1|", "|D101|x1.1|", "|D500|y1|"}},
        {kA, {"|D001|0|", D010(kA), "|D100|x2|", "|D105|x2.2|"}}},
       {"D001 0", "D010 " + kA, "D100 x1", "D101 x1.1", "D100 x2", "D105 x2.2", "D500 y1", "D990 8"}},
  };
  for (const BlockCase& c : cases) {
    SCOPED_TRACE(std::string("Block ") + c.block + ", " + c.name);
    BlocksCdStage stage;
    for (const StagedFile& f : c.files) stage.StageFile(f.cnpj, f.lines);
    const Lines lines = c.block == 'C' ? stage.UnifyC(c.singleCnpj) : stage.UnifyD(c.singleCnpj);
    EXPECT_EQ(Tags(lines), c.tags);
    for (const auto& [code, n] : c.counts) EXPECT_EQ(stage.Count(code), n) << code;
    for (const auto& [at, line] : c.wholeLines) EXPECT_EQ(at < lines.size() ? lines[at] : "", line) << at;
  }
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
    for (const std::string& line : ReadCrLfLines(f)) inputLines.push_back(UpperLatin1(line));  // stored in capitals
  const MergeResult m = RunMerge(files, (dir / "out").string());
  ASSERT_EQ(m.exitCode, 0) << m.err;
  ASSERT_FALSE(m.file.empty());
  const ProcessResult check = RunQuelvar({"check", m.file});
  EXPECT_EQ(check.exitCode, 0) << check.out << check.err;

  const std::vector<std::string> expected = PlacedDocumentLines(inputLines);
  const std::vector<std::string> got = PlacedDocumentLines(ReadCrLfLines(m.file));
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
