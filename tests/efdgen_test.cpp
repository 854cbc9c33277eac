// The network generator: every generated file passes the structural check,
// the network holds together (one company, one period, head office first),
// the output is reproducible, and the parts of one company's file overlap.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "checker/size_rules.h"
#include "staging/record_catalogue.h"
#include "staging/text.h"
#include "tests/support/check_support.h"
#include "tests/support/staging_database.h"
#include "tools/efdgen/efd_writer.h"
#include "tools/efdgen/gen_data.h"
#include "tools/efdgen/network.h"

namespace {

class EfdgenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = UniqueTempPath("quelvar_efdgen_" +
                          std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::filesystem::remove_all(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string Dir(const std::string& name) const { return (dir_ / name).string(); }
  std::filesystem::path dir_;
};

// The lines of `text` whose record code is `code`.
std::vector<std::string> LinesOf(const std::string& text, const std::string& code) {
  std::vector<std::string> out;
  const std::string start = "|" + code + "|";
  for (size_t pos = 0; pos < text.size();) {
    size_t end = text.find("\r\n", pos);
    if (end == std::string::npos) end = text.size();
    if (text.compare(pos, start.size(), start) == 0) out.push_back(text.substr(pos, end - pos));
    pos = end + 2;
  }
  return out;
}

std::string FieldOf(const std::string& line, size_t k) {
  auto f = SplitBars(line);
  return k < f.size() ? std::string(f[k]) : std::string();
}

bool CnpjDigitsRight(const std::string& cnpj) {
  return cnpj.size() == 14 && MakeCnpj(static_cast<uint32_t>(std::stoul(cnpj.substr(0, 8))),
                                       std::stoi(cnpj.substr(8, 4))) == cnpj;
}

}  // namespace

TEST_F(EfdgenTest, EveryFileOfSeveralNetworksPassesTheCheck) {
  struct Case {
    int establishments;
    int64_t lines;
    uint32_t seed;
    bool cumulative;
  };
  for (const Case& c : {Case{1, 50, 1, false}, Case{3, 1000, 2, false}, Case{5, 20000, 3, false},
                        Case{4, 3000, 4, true}, Case{12, 2400, 5, false}}) {
    NetworkOptions o;
    o.establishments = c.establishments;
    o.targetLines = c.lines;
    o.seed = c.seed;
    o.cumulative = c.cumulative;
    std::string dir = Dir("net" + std::to_string(c.seed));
    std::vector<std::string> files = WriteNetwork(o, dir);
    ASSERT_EQ(files.size(), static_cast<size_t>(c.establishments));
    for (const std::string& f : files) ExpectValidEfd(f);
  }
}

TEST_F(EfdgenTest, OneCompanyOnePeriodHeadOfficeFirst) {
  NetworkOptions o{.establishments = 12, .targetLines = 60000, .seed = 8};
  std::vector<std::string> files = WriteNetwork(o, Dir("net"));
  ASSERT_EQ(files.size(), 12u);
  std::vector<std::string> sorted = files;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(sorted, files) << "names sort head office first";

  int64_t total = 0;
  std::set<std::string> cnpjs;
  std::string root, start, end;
  for (size_t i = 0; i < files.size(); ++i) {
    std::string text = ReadFileBytes(files[i]);
    total += std::count(text.begin(), text.end(), '\n');
    std::string header = LinesOf(text, "0000").at(0);
    std::string cnpj = FieldOf(header, 9);
    EXPECT_TRUE(CnpjDigitsRight(cnpj)) << cnpj;
    EXPECT_EQ(cnpj.substr(8, 4), Digits(i + 1, 4)) << "branch number of file " << i;
    if (i > 0) {
      EXPECT_EQ(cnpj.substr(0, 8), root);
      EXPECT_EQ(FieldOf(header, 6), start);
      EXPECT_EQ(FieldOf(header, 7), end);
    } else {
      root = cnpj.substr(0, 8);
      start = FieldOf(header, 6);
      end = FieldOf(header, 7);
    }
    cnpjs.insert(cnpj);
    // The file's own establishment, everywhere it is named.
    EXPECT_EQ(FieldOf(LinesOf(text, "0140").at(0), 4), cnpj);
    EXPECT_EQ(FieldOf(LinesOf(text, "0140").at(0), 2), "1");
    EXPECT_EQ(FieldOf(LinesOf(text, "C010").at(0), 2), cnpj);
    EXPECT_EQ(FieldOf(LinesOf(text, "D010").at(0), 2), cnpj);
  }
  EXPECT_EQ(cnpjs.size(), files.size());
  EXPECT_GT(total, o.targetLines * 8 / 10);
  EXPECT_LT(total, o.targetLines * 12 / 10);
}

TEST_F(EfdgenTest, RealisticContent) {
  NetworkOptions o{.establishments = 2, .targetLines = 20000, .seed = 21};
  std::vector<std::string> files = WriteNetwork(o, Dir("net"));
  std::string head = ReadFileBytes(files[0]), branch = ReadFileBytes(files[1]);
  // Latin-1 single bytes, lower-case letters, a quote in a name; no UTF-8.
  EXPECT_NE(head.find("D'\xC1VILA"), std::string::npos);
  EXPECT_NE(head.find("\xE7\xE3o"), std::string::npos);
  EXPECT_NE(head.find("Gra\xE7" "as Contabilista"), std::string::npos);
  EXPECT_EQ(head.find("\xC3\x81"), std::string::npos);
  EXPECT_EQ(head.find("\xC3\xA3"), std::string::npos);
  // Every record the program stages is there, the bulk where it belongs.
  for (const char* code : {"0100", "0110", "0150", "0190", "0200", "0205", "0450", "0500", "C100", "C110", "C170",
                           "C175", "C180", "C181", "C185", "C190", "C191", "C195", "C380", "C381", "C385", "C400",
                           "C405", "C481", "C485", "C490", "C491", "C495", "C500", "C501", "C505", "D100", "D101",
                           "D105", "D500", "D501", "D505", "M100", "M105", "M200", "M205", "M210", "M400", "M410",
                           "M500", "M505", "M600", "M605", "M610", "M800", "M810", "I001", "P001"})
    EXPECT_FALSE(LinesOf(head, code).empty()) << code;
  size_t bulk = 0;
  for (const char* code : {"C100", "C110", "C170", "C175", "C405", "C481", "C485", "0150", "0200", "0205"})
    bulk += LinesOf(head, code).size();
  EXPECT_GT(bulk, static_cast<size_t>(std::count(head.begin(), head.end(), '\n')) * 8 / 10);
  // Amounts with two decimals and a comma; M210 under code 01 at 1,65.
  std::string m210 = LinesOf(head, "M210").at(0);
  EXPECT_EQ(FieldOf(m210, 2), "01");
  EXPECT_EQ(FieldOf(m210, 8), "1,65");
  EXPECT_EQ(FieldOf(m210, 9), "");
  std::string vl = FieldOf(LinesOf(head, "C100").at(0), 12);
  ASSERT_GE(vl.size(), 4u);
  EXPECT_EQ(vl[vl.size() - 3], ',');
  // Participants shared between the files are written alike in both.
  std::vector<std::string> p1 = LinesOf(head, "0150"), p2 = LinesOf(branch, "0150");
  std::set<std::string> s1(p1.begin(), p1.end());
  size_t shared = std::count_if(p2.begin(), p2.end(), [&](const std::string& l) { return s1.count(l) > 0; });
  EXPECT_GT(shared, 0u);
  EXPECT_LT(shared, p2.size());
  // Each 0205 follows its 0200 (the check would say otherwise), and the
  // documents refer to participants of their own file.
  std::set<std::string> codes;
  for (const std::string& l : p2) codes.insert(FieldOf(l, 2));
  for (const std::string& l : LinesOf(branch, "D100")) EXPECT_TRUE(codes.count(FieldOf(l, 4))) << l;
}

TEST_F(EfdgenTest, CumulativeRegime) {
  NetworkOptions o{.establishments = 1, .targetLines = 2000, .cumulative = true};
  std::string text = ReadFileBytes(WriteNetwork(o, Dir("net"))[0]);
  std::string m210 = LinesOf(text, "M210").at(0);
  EXPECT_EQ(FieldOf(m210, 2), "51");
  EXPECT_EQ(FieldOf(m210, 8), "0,65");
  EXPECT_EQ(FieldOf(LinesOf(text, "M610").at(0), 8), "3,00");
  EXPECT_TRUE(LinesOf(text, "M100").empty());
  EXPECT_EQ(FieldOf(LinesOf(text, "0110").at(0), 2), "2");
}

TEST_F(EfdgenTest, SameSeedSameBytesOtherSeedOtherCompany) {
  NetworkOptions o{.establishments = 2, .targetLines = 3000, .seed = 77};
  std::vector<std::string> a = WriteNetwork(o, Dir("a")), b = WriteNetwork(o, Dir("b"));
  for (size_t i = 0; i < a.size(); ++i) EXPECT_EQ(ReadFileBytes(a[i]), ReadFileBytes(b[i]));
  o.seed = 78;
  std::vector<std::string> c = WriteNetwork(o, Dir("c"));
  EXPECT_NE(std::filesystem::path(a[0]).filename(), std::filesystem::path(c[0]).filename());
}

TEST_F(EfdgenTest, PartsOfOneCompanysFile) {
  NetworkOptions o{.targetLines = 6000, .seed = 5, .sameCnpjParts = 3};
  std::vector<std::string> parts = WriteNetwork(o, Dir("parts"));
  ASSERT_EQ(parts.size(), 3u);
  std::vector<std::string> texts;
  for (const std::string& p : parts) {
    ExpectValidEfd(p);
    texts.push_back(ReadFileBytes(p));
  }
  std::string header0 = LinesOf(texts[0], "0000").at(0);
  EXPECT_EQ(FieldOf(header0, 9).substr(8, 4), "0001");
  std::set<std::string> docs;
  size_t docCount = 0;
  for (const std::string& t : texts) {
    std::string header = LinesOf(t, "0000").at(0);
    EXPECT_EQ(FieldOf(header, 9), FieldOf(header0, 9));
    EXPECT_EQ(FieldOf(header, 6), FieldOf(header0, 6));
    for (const std::string& l : LinesOf(t, "C100")) docs.insert(FieldOf(l, 8)), ++docCount;
  }
  EXPECT_EQ(docs.size(), docCount) << "document numbers differ between parts";
  // Overlapping participants and items between neighbouring parts.
  for (const char* code : {"0150", "0200", "0190"}) {
    std::vector<std::string> x = LinesOf(texts[0], code), y = LinesOf(texts[1], code);
    std::set<std::string> sx(x.begin(), x.end());
    EXPECT_TRUE(std::any_of(y.begin(), y.end(), [&](const std::string& l) { return sx.count(l) > 0; })) << code;
  }
}

TEST_F(EfdgenTest, OptionsOutOfRangeAndUnwritableFolder) {
  NetworkOptions o;
  o.establishments = 0;
  EXPECT_THROW(WriteNetwork(o, Dir("x")), std::invalid_argument);
  o.establishments = 1;
  o.sameCnpjParts = -1;
  EXPECT_THROW(WriteNetwork(o, Dir("x")), std::invalid_argument);
  o.sameCnpjParts = 0;
  o.establishmentsPerFile = 0;
  EXPECT_THROW(WriteNetwork(o, Dir("x")), std::invalid_argument);
  o.establishmentsPerFile = 1;
  o.commonCredits = o.cumulative = true;  // common credits are non-cumulative only
  EXPECT_THROW(WriteNetwork(o, Dir("x")), std::invalid_argument);
  o.commonCredits = o.cumulative = false;
  std::filesystem::create_directories(dir_);
  WriteFileBytes(Dir("file"), "x");
  EXPECT_THROW(WriteNetwork(o, Dir("file") + "/sub"), std::runtime_error);
}

TEST_F(EfdgenTest, EveryRecordOfTheLayoutWithItsReferencesResolved) {
  // Every file holds every record of the catalogue and passes the check,
  // whose rules include parents, occurrences and references resolved in the
  // establishment's own tables; in both regimes and with two establishments
  // in a file.
  struct Case {
    int establishments, perFile;
    bool cumulative;
    uint32_t seed;
  };
  for (const Case& c : {Case{2, 1, false, 21}, Case{3, 1, true, 22}, Case{4, 2, false, 23}}) {
    NetworkOptions o;
    o.establishments = c.establishments;
    o.establishmentsPerFile = c.perFile;
    o.targetLines = 1500 * c.establishments;
    o.seed = c.seed;
    o.cumulative = c.cumulative;
    o.everyRecord = true;
    std::vector<std::string> files = WriteNetwork(o, Dir("net" + std::to_string(c.seed)));
    ASSERT_EQ(files.size(), static_cast<size_t>(c.establishments / c.perFile));
    for (const std::string& f : files) {
      ExpectValidEfd(f);
      const std::string text = ReadFileBytes(f);
      std::set<std::string> codes;
      for (size_t pos = 0; pos < text.size();) {
        codes.insert(text.substr(pos + 1, 4));
        const size_t end = text.find('\n', pos);
        if (end == std::string::npos) break;
        pos = end + 1;
      }
      for (const CatalogueRecord& r : Layout006().Records()) EXPECT_TRUE(codes.count(r.code)) << r.code << " in " << f;
      // Every field of fixed size the generator fills has exactly its size (the
      // check says so too; this names the field). Before, the two-digit
      // indicators (I010 IND_ATIV, F200 IND_OPER, ...) were written "0".
      int filled = 0;
      for (size_t pos = 0; pos < text.size();) {
        size_t end = text.find("\r\n", pos);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(pos, end - pos);
        pos = end + 2;
        const CatalogueRecord* r = Layout006().Find(line.substr(1, 4));
        if (!r) continue;
        const std::vector<std::string_view> v = SplitBars(line);
        for (const CatalogueField& fd : r->fields) {
          if (!fd.exactSize || static_cast<size_t>(fd.number) + 1 >= v.size()) continue;
          const std::string_view value = v[static_cast<size_t>(fd.number)];
          EXPECT_EQ(DescribeSizeFault(fd, value), "") << r->code << " in " << f;
          filled += !value.empty() && fd.size == 2 && fd.name.rfind("IND_", 0) == 0;
        }
      }
      EXPECT_GT(filled, 0) << f;
    }
  }
}

TEST_F(EfdgenTest, TwoEstablishmentsInAFile) {
  NetworkOptions o{.establishments = 3, .targetLines = 3000, .seed = 31, .establishmentsPerFile = 2};
  std::vector<std::string> files = WriteNetwork(o, Dir("net"));
  ASSERT_EQ(files.size(), 2u);  // establishments 0 and 1, then 2 alone
  const std::string text = ReadFileBytes(files[0]);
  ExpectValidEfd(files[0]);
  ExpectValidEfd(files[1]);
  const std::string head = FieldOf(LinesOf(text, "0000").at(0), 9);
  std::vector<std::string> e0140 = LinesOf(text, "0140"), c010 = LinesOf(text, "C010"), d010 = LinesOf(text, "D010");
  ASSERT_EQ(e0140.size(), 2u);
  ASSERT_EQ(c010.size(), 2u);
  ASSERT_EQ(d010.size(), 2u);
  EXPECT_EQ(FieldOf(e0140[0], 4), head);
  EXPECT_NE(FieldOf(e0140[1], 4), head);
  EXPECT_EQ(FieldOf(e0140[1], 4).substr(0, 8), head.substr(0, 8));
  for (int k = 0; k < 2; ++k) {
    EXPECT_EQ(FieldOf(c010[k], 2), FieldOf(e0140[k], 4));
    EXPECT_EQ(FieldOf(d010[k], 2), FieldOf(e0140[k], 4));
  }
  EXPECT_EQ(LinesOf(ReadFileBytes(files[1]), "0140").size(), 1u);
  // Each establishment has participants of its own besides the shared pool.
  EXPECT_NE(text.find("|0150|E0001P"), std::string::npos);
  EXPECT_NE(text.find("|0150|E0000P"), std::string::npos);
}

TEST(EfdFieldCount, KnownCodesFromTheLayoutsOthersFromThePublicLayout) {
  EXPECT_EQ(EfdFieldCount("C170"), 37);
  EXPECT_EQ(EfdFieldCount("C500"), 15);
  EXPECT_EQ(EfdFieldCount("0110"), 5);
  EXPECT_EQ(EfdFieldCount("A100"), 21);
  EXPECT_EQ(EfdFieldCount("A170"), 18);
  EXPECT_EQ(EfdFieldCount("F100"), 19);
  EXPECT_EQ(EfdFieldCount("1101"), 22);
  EXPECT_EQ(EfdFieldCount("Z999"), 0);
}
