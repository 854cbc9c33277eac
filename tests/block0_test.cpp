// Block 0 of the merged file: establishments in load order with their own
// records, the header fallback, item changes under their item, the merge of
// files of one CNPJ, the 0990 count and exact sums.
#include <gtest/gtest.h>

#include "blocks/bloco0.h"
#include "staging/run_state.h"
#include "tests/support/test_run.h"
#include "tests/support/writer_support.h"

namespace {

const char* kHeadOffice = "11111111000191";
const char* kBranch1 = "11111111000272";
const char* kBranch2 = "11111111000353";

std::string Header(const std::string& cnpj) {
  return "|0000|006|0|||01012024|31012024|EMPRESA|" + cnpj + "|CE|2304400||00|0|";
}
std::string Est(int code, const std::string& cnpj) {
  return "|0140|" + std::to_string(code) + "|LOJA " + std::to_string(code) + "|" + cnpj + "|CE|1|2304400|||";
}
std::string Part(const std::string& code) { return "|0150|" + code + "|NOME " + code + "|1058|||||RUA|1||||"; }

class Block0 : public ::testing::Test {
 protected:
  std::vector<std::string> Unify(bool singleCnpj) {
    return WriteAndRead(dir.File("b0.txt"), [&] { Bloco0::md_UnifyBlock(TestRun(), singleCnpj); });
  }
  StagingDatabase db;
  TempFolder dir;
};

}  // namespace

TEST_F(Block0, ClosingCountAndOrderOfTheFirstRecords) {
  StoreLines({Header(kHeadOffice), "|0001|0|", "|0100|CONTADOR|12345678901||||||||||||",
              "|0110|1|1|1||", Est(1, kHeadOffice), Part("P1"), Part("P2")},
             kHeadOffice);
  auto lines = Unify(false);
  ASSERT_EQ(lines.size(), 8u);
  EXPECT_EQ(lines[0], Header(kHeadOffice));
  EXPECT_EQ(lines[1], "|0001|0|");
  EXPECT_EQ(lines[4], Est(1, kHeadOffice));
  EXPECT_EQ(lines[5], Part("P1"));
  EXPECT_EQ(lines[7], "|0990|8|");
  EXPECT_EQ(CounterOf("0990"), 1);
  EXPECT_EQ(CounterOf("9999"), 8);
}

TEST_F(Block0, EachEstablishmentOnceWithItsOwnRecordsWhateverTheNumbering) {
  // The first establishment keeps its code 5; its branches get 6 and 7.
  StoreLines({Header(kHeadOffice), "|0001|0|", Est(5, kHeadOffice), Part("PA"), "|0190|UN|UNIDADE|",
              "|0450|1|TEXTO|"},
             kHeadOffice);
  StoreLines({Est(6, kBranch1), Part("PB")}, kBranch1);
  StoreLines({Est(7, kBranch2), Part("PC"), "|0190|KG|QUILO|"}, kBranch2);
  auto lines = Unify(false);
  std::vector<std::string> expected = {Est(5, kHeadOffice), Part("PA"), "|0190|UN|UNIDADE|", "|0450|1|TEXTO|",
                                       Est(6, kBranch1),    Part("PB"), Est(7, kBranch2),
                                       Part("PC"),          "|0190|KG|QUILO|"};
  std::vector<std::string> middle(lines.begin() + 2, lines.end() - 1);
  EXPECT_EQ(middle, expected);
  EXPECT_EQ(lines.back(), "|0990|" + std::to_string(lines.size()) + "|");
  EXPECT_EQ(TestRun().currentCNPJ, kBranch2);

  // Identities that no longer start at 1 (rows stored again after a discard).
  TestRun().connection->Execute("DELETE FROM ###0140");
  StoreLine(Est(1, kHeadOffice), kHeadOffice);
  StoreLine(Est(2, kBranch1), kBranch1);
  TestRun().connection->Execute("UPDATE ###Registros SET QtdeReg = 0");
  lines = Unify(false);
  EXPECT_EQ(LinesOf(lines, "0140"), (std::vector<std::string>{Est(1, kHeadOffice), Est(2, kBranch1)}));
  EXPECT_EQ(LinesOf(lines, "0150").size(), 2u);
}

TEST_F(Block0, TwoRecordsOfOneEstablishmentWriteItsRowsOnce) {
  StoreLines({Header(kHeadOffice), "|0001|0|", Est(1, kHeadOffice), Part("PA")}, kHeadOffice);
  StoreLine(Est(2, "011111111000191"), kHeadOffice);  // the same CNPJ with a leading zero
  auto lines = Unify(false);
  EXPECT_EQ(LinesOf(lines, "0140"), std::vector<std::string>{Est(1, kHeadOffice)});  // one per CNPJ
  EXPECT_EQ(LinesOf(lines, "0150"), std::vector<std::string>{Part("PA")});
}

TEST_F(Block0, HeaderOfTheHeadOfficeOrElseTheFirstStored) {
  StoreLines({Header(kBranch1), "|0001|1|", Est(1, kBranch1)}, kBranch1);
  auto lines = Unify(false);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0], Header(kBranch1)) << "a branch chosen first still gives the file its header";
  EXPECT_EQ(LinesOf(lines, "0000").size(), 1u);
  EXPECT_EQ(lines[1], "|0001|0|") << "Block 0 always holds lines";
}

TEST_F(Block0, ItemChangesFollowTheirItem) {
  StoreLines({Header(kHeadOffice), "|0001|0|", Est(1, kHeadOffice),
              "|0200|I1|ITEM 1||||00||||||", "|0205|NOME ANTIGO 1|01012020|31122020||",
              "|0205|NOME ANTIGO 2|01012021|31122021||", "|0200|I2|ITEM 2||||00||||||",
              "|0205|NOME ANTIGO 3|01012022|31122022||"},
             kHeadOffice);
  auto lines = Unify(false);
  std::vector<std::string> items(lines.begin() + 3, lines.begin() + 8);
  EXPECT_EQ(items, (std::vector<std::string>{"|0200|I1|ITEM 1||||00||||||", "|0205|NOME ANTIGO 1|01012020|31122020||",
                                             "|0205|NOME ANTIGO 2|01012021|31122021||",
                                             "|0200|I2|ITEM 2||||00||||||",
                                             "|0205|NOME ANTIGO 3|01012022|31122022||"}));
  EXPECT_EQ(CounterOf("0205"), 3);
}

TEST_F(Block0, FilesOfOneCnpjGiveEachRecordOnce) {
  StoreLines({Header(kHeadOffice), "|0001|0|", Est(1, kHeadOffice), Part("P1"), "|0190|UN|UNIDADE|",
              "|0200|I1|ITEM 1||||00||||||", "|0205|ANTIGO|01012020|31122020||", "|0450|1|TEXTO|"},
             kHeadOffice);
  StoreLines({Est(2, kHeadOffice), Part("P1"), Part("P2"), "|0190|UN|UNIDADE|", "|0190|KG|QUILO|",
              "|0200|I1|ITEM 1||||00||||||", "|0205|ANTIGO|01012020|31122020||",
              "|0205|OUTRO|01012021|31122021||", "|0200|I2|ITEM 2||||00||||||", "|0450|1|TEXTO|"},
             kHeadOffice);
  auto lines = Unify(true);
  std::vector<std::string> middle(lines.begin() + 2, lines.end() - 1);
  EXPECT_EQ(middle, (std::vector<std::string>{
                        Est(1, kHeadOffice), Part("P1"), Part("P2"), "|0190|UN|UNIDADE|", "|0190|KG|QUILO|",
                        "|0200|I1|ITEM 1||||00||||||", "|0205|ANTIGO|01012020|31122020||",
                        "|0200|I2|ITEM 2||||00||||||", "|0450|1|TEXTO|"}));  // the kept item's own changes
  EXPECT_EQ(lines.back(), "|0990|" + std::to_string(lines.size()) + "|");
}

TEST_F(Block0, ChildrenMatchTheirEstablishmentSafely) {
  // Leading zeros do not matter in the CNPJ; a CNPJ that is no number is
  // compared as text, quotes and all.
  StoreLines({Header("01234567000191"), "|0001|0|", Est(1, "1234567000191")}, "01234567000191");
  StoreLine(Part("P1"), "01234567000191");
  StoreLines({Est(2, "X'1 OR 1=1"), Part("P2")}, "X'1 OR 1=1");
  auto lines = Unify(false);
  EXPECT_EQ(LinesOf(lines, "0150"), (std::vector<std::string>{Part("P1"), Part("P2")}));
}

TEST_F(Block0, RevenueSplitIsTheExactSumOfManyRows) {
  // Summed as doubles, 100000 times 0,10 is 10000,0000000188 to 15 digits.
  TestRun().connection->Execute("BEGIN TRANSACTION");
  for (int i = 0; i < 100000; ++i)
    TestRun().connection->Execute(
        "INSERT INTO ###0111(Id_CNPJ,Reg,Rec_Bru_NCum_Trib_Mi,Rec_Bru_NCum_Nt_Mi,Rec_Bru_NCum_Exp,Rec_Bru_Cum,"
        "Rec_Bru_Total) VALUES ('1','0111','0,10','0','1,5','0,01','0,3')");
  TestRun().connection->Execute("COMMIT TRANSACTION");
  auto lines = Unify(false);
  EXPECT_EQ(LinesOf(lines, "0111"), (std::vector<std::string>{"|0111|10000|0|150000|1000|30000|"}));
}

// Before, the revenue split was summed as doubles: amounts of 17 digits and
// more lost their cents.
TEST_F(Block0, RevenueSplitBeyondDoublePrecisionAndEmptyFields) {
  for (const char* values : {"'12345678901234567,89','0,10','','1','12345678901234569,99'",
                             "'0,01','0,20','','2','3,21'"})
    TestRun().connection->Execute(
        std::string("INSERT INTO ###0111(Id_CNPJ,Reg,Rec_Bru_NCum_Trib_Mi,Rec_Bru_NCum_Nt_Mi,Rec_Bru_NCum_Exp,"
                    "Rec_Bru_Cum,Rec_Bru_Total) VALUES ('1','0111',") + values + ")");
  auto lines = Unify(false);
  EXPECT_EQ(LinesOf(lines, "0111"),
            (std::vector<std::string>{"|0111|12345678901234567,9|0,3||3|12345678901234573,2|"}));
}
