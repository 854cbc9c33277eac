// Blocks C and D, written by the establishment writer: one pass per
// establishment with data, documents each followed by their details, the
// opener and closer; what both blocks share is told once, per block.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "tests/support/blocks_cd_support.h"

using Lines = std::vector<std::string>;

namespace {

constexpr const char* kA = "11111111000191";
constexpr const char* kB = "11111111000272";
constexpr const char* kC = "11111111000353";

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
// (`singleCnpj` as for files of one CNPJ), the lines expected as Tags and the
// counters expected in ###Registros.
struct BlockCase {
  char block;
  bool singleCnpj;
  std::vector<StagedFile> files;
  Lines tags;
  std::map<std::string, int64_t> counts = {};
};

void ExpectBlock(const BlockCase& c) {
  SCOPED_TRACE(std::string("Block ") + c.block);
  BlocksCdStage stage;
  for (const StagedFile& f : c.files) stage.StageFile(f.cnpj, f.lines);
  EXPECT_EQ(Tags(c.block == 'C' ? stage.UnifyC(c.singleCnpj) : stage.UnifyD(c.singleCnpj)), c.tags);
  for (const auto& [code, n] : c.counts) EXPECT_EQ(stage.Count(code), n) << code;
}

}  // namespace

// Three establishments in 0140, the middle one without data in the block: it
// gets no pass, and nothing of the others is repeated.
TEST(EstablishmentBlocks, AnEstablishmentWithoutDataInTheBlockAddsNoPass) {
  const std::string a = kA, c = kC;
  ExpectBlock({'C', false,
               {{kA, {O140("1", "MATRIZ", kA), "|C001|0|", C010(kA), "|C100|a1|", "|C170|a1.1|"}},
                {kB, {O140("2", "FILIAL B", kB), "|C001|1|"}},
                {kC, {O140("3", "FILIAL C", kC), C010(kC), "|C100|c1|", "|C170|c1.1|"}}},
               {"C001 0", "C010 " + a, "C100 a1", "C170 a1.1", "C010 " + c, "C100 c1", "C170 c1.1", "C990 8"}});
  ExpectBlock({'D', false,
               {{kA, {O140("1", "MATRIZ", kA), "|D001|0|", D010(kA), "|D100|a1|"}},
                {kB, {O140("2", "FILIAL B", kB)}},
                {kC, {O140("3", "FILIAL C", kC), D010(kC), "|D500|c1|", "|D501|c1.1|"}}},
               {"D001 0", "D010 " + a, "D100 a1", "D010 " + c, "D500 c1", "D501 c1.1", "D990 7"}});
}

// Files of one CNPJ: one establishment record per CNPJ followed by every
// document of its files, each with its own details; a file of the same root
// under another branch number keeps its establishment, its fiscal-printer
// group under its own.
TEST(EstablishmentBlocks, FilesOfOneCnpjGiveOneEstablishmentFollowedByEveryDocument) {
  const std::string a = kA, b = kB;
  ExpectBlock({'C', true,
               {{kA, {"|C001|0|", C010(kA), "|C100|x1|", "|C170|x1.1|", "|C400|e1|", "|C405|z1|", "|C481|z1.1|",
                      "|C485|z1.2|"}},
                {kA, {"|C001|0|", C010(kA), "|C100|x2|", "|C110|x2.1|", "|C490|g1|", "|C491|g1.1|"}},
                {kB, {C010(kB), "|C400|e2|", "|C405|z2|", "|C485|z2.1|"}}},
               {"C001 0", "C010 " + a, "C100 x1", "C170 x1.1", "C100 x2", "C110 x2.1", "C400 e1", "C405 z1",
                "C481 z1.1", "C485 z1.2", "C490 g1", "C491 g1.1", "C010 " + b, "C400 e2", "C405 z2", "C485 z2.1",
                "C990 17"},
               {{"C010", 2}}});
  ExpectBlock({'D', true,
               {{kA, {"|D001|0|", D010(kA), "|D100|x1|", "|D101|x1.1|", "|D500|y1|"}},
                {kA, {"|D001|0|", D010(kA), "|D100|x2|", "|D105|x2.2|"}}},
               {"D001 0", "D010 " + a, "D100 x1", "D101 x1.1", "D100 x2", "D105 x2.2", "D500 y1", "D990 8"}});
}

TEST(BlockD, DetailsFollowTheirOwnDocumentInItsEstablishmentsPass) {
  BlocksCdStage stage;
  // Six documents of the head office without details, so that the branch's
  // documents have the identities 7 and 8.
  stage.StageFile(kA, {"|D001|0|", D010(kA), "|D100|a1|", "|D100|a2|", "|D100|a3|",
                       "|D100|a4|", "|D100|a5|", "|D100|a6|"});
  stage.StageFile(kB, {"|D001|0|", D010(kB), "|D100|b7|", "|D105|b7.2|", "|D101|b7.1|",
                       "|D100|b8|", "|D101|b8.1|", "|D105|b8.2|"});

  Lines tags = Tags(stage.UnifyD(false));
  ASSERT_EQ(tags.size(), 16u);
  EXPECT_EQ(Lines(tags.begin() + 8, tags.end()),
            (Lines{std::string("D010 ") + kB, "D100 b7", "D101 b7.1", "D105 b7.2", "D100 b8",
                   "D101 b8.1", "D105 b8.2", "D990 16"}));
  EXPECT_EQ(stage.Count("D101"), 2);
  EXPECT_EQ(stage.Count("D105"), 2);
  EXPECT_EQ(stage.Count("D100"), 8);
}

TEST(BlockD, ClosingCountOfOneEstablishmentWithTwoDocuments) {
  BlocksCdStage stage;
  stage.StageFile(kA, {"|D001|1|", D010(kA), "|D100|a1|", "|D101|a1.1|", "|D105|a1.2|",
                       "|D100|a2|", "|D101|a2.1|", "|D105|a2.2|"});
  Lines lines = stage.UnifyD(false);
  ASSERT_EQ(lines.size(), 9u);
  EXPECT_EQ(lines.front(), "|D001|0|");
  EXPECT_EQ(lines.back(), "|D990|9|");
  EXPECT_EQ(lines[2], "|D100|a1" + std::string(22, '|'));
}

TEST(BlockD, D500WithAndWithoutDetails) {
  BlocksCdStage stage;
  stage.StageFile(kA, {"|D001|0|", D010(kA), "|D500|s1|", "|D500|s2|", "|D505|s2.2|",
                       "|D501|s2.1|", "|D500|s3|"});
  EXPECT_EQ(Tags(stage.UnifyD(false)),
            (Lines{"D001 0", std::string("D010 ") + kA, "D500 s1", "D500 s2", "D501 s2.1",
                   "D505 s2.2", "D500 s3", "D990 8"}));
}

