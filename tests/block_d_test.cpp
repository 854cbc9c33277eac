// Block D writer: establishments, D100/D500 documents each followed by their
// details, the opener and closer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/blocks_cd_support.h"

using Lines = std::vector<std::string>;

namespace {

constexpr const char* kA = "11111111000191";
constexpr const char* kB = "11111111000272";
constexpr const char* kC = "11111111000353";

std::string D010(const std::string& cnpj) { return "|D010|" + cnpj + "|"; }

}  // namespace

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

TEST(BlockD, AnEstablishmentWithoutBlockDDataAddsNoPass) {
  BlocksCdStage stage;
  stage.StageFile(kA, {"|0140|1|MATRIZ|" + std::string(kA) + "|", "|D001|0|", D010(kA),
                       "|D100|a1|"});
  stage.StageFile(kB, {"|0140|2|FILIAL B|" + std::string(kB) + "|"});
  stage.StageFile(kC, {"|0140|3|FILIAL C|" + std::string(kC) + "|", D010(kC), "|D500|c1|",
                       "|D501|c1.1|"});
  EXPECT_EQ(Tags(stage.UnifyD(false)),
            (Lines{"D001 0", std::string("D010 ") + kA, "D100 a1", std::string("D010 ") + kC,
                   "D500 c1", "D501 c1.1", "D990 7"}));
}

TEST(BlockD, FilesOfOneCnpjGiveOneEstablishmentFollowedByEveryDocument) {
  BlocksCdStage stage;
  stage.StageFile(kA, {"|D001|0|", D010(kA), "|D100|x1|", "|D101|x1.1|", "|D500|y1|"});
  stage.StageFile(kA, {"|D001|0|", D010(kA), "|D100|x2|", "|D105|x2.2|"});
  EXPECT_EQ(Tags(stage.UnifyD(true)),
            (Lines{"D001 0", std::string("D010 ") + kA, "D100 x1", "D101 x1.1", "D100 x2",
                   "D105 x2.2", "D500 y1", "D990 8"}));
}
