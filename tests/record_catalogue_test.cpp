// The record catalogue read from the layout table the program carries.
#include <gtest/gtest.h>

#include <set>
#include <stdexcept>

#include "staging/record_catalogue.h"

TEST(RecordCatalogue, CarriesEveryRecordAndFieldOfTheLayoutAsATree) {
  const RecordCatalogue& cat = Layout006();
  EXPECT_EQ(cat.Version(), "006");
  ASSERT_EQ(cat.Records().size(), 203u);
  size_t fields = 0;
  for (const auto& r : cat.Records()) {
    fields += r.fields.size();
    ASSERT_FALSE(r.fields.empty()) << r.code;
    EXPECT_EQ(r.fields[0].name, "REG") << r.code;
    if (r.parent) {
      EXPECT_EQ(r.parent->level + 1, r.level) << r.code;
      EXPECT_TRUE(r.parent->Contains(r)) << r.code;
    }
  }
  EXPECT_EQ(fields, 1712u);

  const CatalogueRecord* c170 = cat.Find("C170");
  ASSERT_NE(c170, nullptr);
  EXPECT_EQ(c170->parentCode, "C100");
  EXPECT_EQ(c170->parent, cat.Find("C100"));
  EXPECT_EQ(c170->block, 'C');
  EXPECT_TRUE(cat.Find("C010")->Contains(*c170));
  EXPECT_FALSE(cat.Find("D010")->Contains(*c170));
  EXPECT_EQ(cat.Find("M225")->parentCode, "M220");
  EXPECT_EQ(cat.Find("1102")->parentCode, "1101");
  EXPECT_EQ(cat.Find("0000")->parent, nullptr);
  EXPECT_EQ(cat.Find("c170"), nullptr);
  EXPECT_TRUE(cat.Find("0000")->AtMostOne());
  EXPECT_FALSE(c170->AtMostOne());

  const CatalogueField* vl = c170->Field("VL_ITEM");
  ASSERT_NE(vl, nullptr);
  EXPECT_EQ(vl->type, 'N');
  EXPECT_EQ(vl->decimals, 2);
  const CatalogueField* reg = cat.Find("0000")->Field("REG");
  EXPECT_TRUE(reg->exactSize);
  EXPECT_EQ(reg->size, 4);
  EXPECT_TRUE(reg->required);

  std::set<char> blocks;
  for (const auto& r : cat.Records()) blocks.insert(r.block);
  EXPECT_EQ(blocks, (std::set<char>{'0', 'A', 'C', 'D', 'F', 'I', 'M', 'P', '1', '9'}));
  for (const CatalogueRecord* r : cat.BlockRecords('A')) EXPECT_EQ(r->block, 'A');
}

TEST(RecordCatalogue, RefusesAMalformedTableNamingTheLine) {
  const char* head = "block\trecord\tparent\tlevel\toccurrence\tfield_no\tfield\ttype\tsize\tdecimals\trequired\n";
  auto parse = [&](std::string rows) { return RecordCatalogue("x", std::string(head) + rows); };
  EXPECT_NO_THROW(parse("0\t0000\t-\t0\t1\t01\tREG\tC\t004*\t-\tS\n"));
  EXPECT_THROW(parse("0\t0000\t-\t0\t1\t01\tREG\tC\n"), std::runtime_error);            // short row
  EXPECT_THROW(parse("0\t0000\t-\t0\t1\t02\tREG\tC\t004*\t-\tS\n"), std::runtime_error);  // gap
  EXPECT_THROW(parse("0\t0001\t9999\t1\t1\t01\tREG\tC\t004*\t-\tS\n"), std::runtime_error);  // unknown parent
  try {
    parse("0\t0000\t-\t0\t1\t01\tREG\tC\tx4\t-\tS\n");
    FAIL();
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("line 2"), std::string::npos) << e.what();
  }
}
