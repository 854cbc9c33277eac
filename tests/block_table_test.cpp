// The table of blocks: its rows agree with the record catalogue and the
// company rules (a wrong code or kind would lose or misplace a block's lines),
// and the common loading rules keep the first file's opener and closer and
// every other line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "blocks/company_writer.h"
#include "blocks/load_rules.h"
#include "blocks/record_links.h"
#include "blocks/registry.h"
#include "staging/record_catalogue.h"
#include "staging/run_state.h"
#include "tests/support/test_run.h"
#include "tests/support/staging_database.h"

namespace {

int64_t Rows(const std::string& reg) {
  auto rs = TestRun().connection->Execute("SELECT COUNT(*) FROM ###" + reg);
  return rs->Column(0).AsInt();
}

}  // namespace

TEST(BlockTable, RowsFollowTheCatalogueInFileOrder) {
  std::string catalogueOrder, tableOrder;
  for (const CatalogueRecord& r : Layout006().Records())
    if (catalogueOrder.find(r.block) == std::string::npos) catalogueOrder += r.block;
  for (const BlockEntry& b : BlockTable()) tableOrder += b.letter;
  EXPECT_EQ(tableOrder, catalogueOrder);

  for (const BlockEntry& b : BlockTable()) {
    SCOPED_TRACE(std::string(1, b.letter));
    for (const char* code : {b.opener, b.closer}) {
      const CatalogueRecord* r = Layout006().Find(code);
      ASSERT_NE(r, nullptr) << code;
      EXPECT_EQ(r->block, b.letter);
      EXPECT_EQ(r->level, 1);
    }
    EXPECT_EQ(std::string(b.opener).substr(1), "001");
    EXPECT_EQ(std::string(b.closer).substr(1), "990");
    // The closer's count field is a column of its layout.
    const LayoutSpec* closer = FindLayoutSpec(b.layouts(), b.closer);
    ASSERT_NE(closer, nullptr);
    bool hasCount = false;
    for (const FieldSpec& f : closer->fields) hasCount = hasCount || f.name == b.countName;
    EXPECT_TRUE(hasCount) << b.countName;
    // The establishment record is the block's own, under its opener.
    std::string establishment;
    for (const CatalogueRecord* r : Layout006().BlockRecords(b.letter))
      if (record_links::IsEstablishmentRecord(r->code)) establishment = r->code;
    EXPECT_EQ(b.establishment ? std::string(b.establishment) : std::string(), establishment);
    if (b.establishment) EXPECT_EQ(Layout006().Find(b.establishment)->parentCode, b.opener);
    EXPECT_EQ(b.content == BlockContent::Establishments, b.establishment && b.letter != '0');
    // Blocks 1 and P write their company-level records through the table's
    // flag; Block 0 writes its own (bloco0.cpp).
    if (b.letter != '0') EXPECT_EQ(b.companyRecords, !CompanyLevelCodes(b.letter).empty());
  }
}

TEST(BlockTable, CommonLoadingKeepsTheFirstOpenerAndCloserAndEveryOtherLine) {
  StagingDatabase db;
  struct Case {
    char block;
    std::vector<const char*> lines;  // two files' lines of the block, in load order
    std::vector<std::pair<std::string, int64_t>> rows;
  };
  const Case cases[] = {
      {'9',
       {"|9001|0|", "|9900|0000|1|", "|9990|3|", "|9999|10|", "|9001|0|", "|9900|0000|1|", "|9900|9999|1|",
        "|9990|4|", "|9999|12|"},
       {{"9001", 1}, {"9900", 3}, {"9990", 1}, {"9999", 1}}},
      {'1', {"|1001|0|", "|1990|2|", "|1001|1|", "|1990|2|"}, {{"1001", 1}, {"1990", 1}}},
      {'A', {"|A001|1|", "|A990|2|", "|A001|1|", "|A999|x|", "|A990|2|"}, {{"A001", 1}, {"A990", 1}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(1, c.block));
    for (const char* line : c.lines) {
      const std::string code = std::string(line).substr(1, 4);
      load_rules::StoreBlockLine(TestRun(), *FindBlock(c.block), code, line);
    }
    for (const auto& [reg, n] : c.rows) EXPECT_EQ(Rows(reg), n) << reg;
  }
}

// Only the lines under an X010 are staged whole: a record a rule reads field
// by field (Block 0's tables and 0145, the establishment records, Block M,
// the company-level records of Blocks 1 and P) staged whole would be read as
// empty columns. The layouts say the same as IsCarriedRecord.
TEST(BlockTable, OnlyTheRecordsUnderAnEstablishmentOfBlocksAToPAreStagedWhole) {
  const char* carried[] = {"A100", "A170", "C100", "C170", "C181", "C405", "C481", "C500",
                           "D100", "D105", "D500", "F100", "F600", "I100", "P100", "P110"};
  const char* split[] = {"0000", "0110", "0111", "0140", "0145", "0150", "0190", "0200", "0205", "0500",
                         "A010", "C010", "D010", "F010", "I010", "P010", "C001", "C990",
                         "M100", "M105", "M210", "M610", "P200", "P210", "1100", "1500", "9900"};
  for (const char* code : carried) {
    EXPECT_TRUE(IsCarriedRecord(code)) << code;
    ASSERT_NE(FindAnyLayout(code), nullptr) << code;
    EXPECT_TRUE(FindAnyLayout(code)->wholeLine) << code;
  }
  for (const char* code : split) {
    EXPECT_FALSE(IsCarriedRecord(code)) << code;
    ASSERT_NE(FindAnyLayout(code), nullptr) << code;
    EXPECT_FALSE(FindAnyLayout(code)->wholeLine) << code;
  }
  // Every record of the catalogue: staged whole exactly when carried.
  for (const CatalogueRecord& r : Layout006().Records())
    if (const LayoutSpec* spec = FindAnyLayout(r.code)) EXPECT_EQ(spec->wholeLine, IsCarriedRecord(r.code)) << r.code;
}
