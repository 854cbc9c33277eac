// The tax authority's 2011 example (two establishments, credits apportioned by
// revenue) split into a head-office file and a branch file, each holding part
// of every amount of Block M and of the 0111: merged again, the company's
// Block M is the example's, every M105 under its own M100.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "blocks/blocom.h"
#include "staging/record_catalogue.h"
#include "staging/text.h"
#include "tests/support/test_run.h"
#include "tests/support/block_m_support.h"

using namespace block_m;

namespace {

const std::string kSample =
    std::string(QUELVAR_SOURCE_DIR) + "/../shared/samples/official-multi-establishment-2011.txt";

std::vector<std::string> SampleLines() {
  std::ifstream in(kSample, std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

// True when field k of `code` is an amount (a number with decimals, not a rate).
bool IsAmount(const std::string& code, size_t k) {
  const CatalogueRecord* r = Layout006().Find(code);
  if (!r || k < 2 || k > r->fields.size()) return false;
  const CatalogueField& f = r->fields[k - 1];
  return f.type == 'N' && f.decimals >= 0 && f.name.find("ALIQ") == std::string::npos;
}

// The line's share of one establishment: every amount split into a first part
// (half, to the cent below) and the rest, so that the two add up exactly.
std::string Share(const std::string& line, bool first) {
  std::vector<std::string> f = SplitRecord(line);
  const std::string code = f[1];
  // M210 / M610 of this layout have 13 fields: their amounts are those of the current layout's form.
  const bool shortContribution = (code == "M210" || code == "M610") && f.size() == 15;
  std::string out = "|";
  for (size_t k = 1; k + 1 < f.size(); ++k) {
    std::string v = f[k];
    const bool amount = shortContribution ? (k != 2 && k != 5 && k != 7) : IsAmount(code, k);
    Micros m = 0;
    if (amount && !v.empty() && ParseDecimal(v, m)) {
      const Micros half = (m / 20000) * 10000;  // half, whole cents
      v = DecimalText(first ? half : m - half);
    }
    out += v + "|";
  }
  return out;
}

}  // namespace

TEST(BlockMSample, SplitExampleMergesBackWithEachBaseUnderItsCredit) {
  if (!std::filesystem::exists(kSample)) GTEST_SKIP() << "the public sample is not present at " << kSample;
  const std::vector<std::string> sample = SampleLines();
  std::vector<std::string> blockM;
  std::string line0110, line0111;
  for (const std::string& l : sample) {
    if (l.rfind("|M", 0) == 0) blockM.push_back(l);
    if (l.rfind("|0110|", 0) == 0) line0110 = l;
    if (l.rfind("|0111|", 0) == 0) line0111 = l;
  }
  ASSERT_EQ(line0110, "|0110|3|2|2|");  // apportionment by revenue
  BlockMStage stage;
  const char* cnpjs[2] = {"99999999000191", "99999999000272"};
  for (int e = 0; e < 2; ++e) {
    stage.StageBlock0(cnpjs[e], line0110);
    stage.StageBlock0(cnpjs[e], Share(line0111, e == 0));
    std::vector<std::string> file;
    for (const std::string& l : blockM) file.push_back(Share(l, e == 0));
    stage.StageFile(cnpjs[e], file);
  }
  const std::vector<std::string> merged = stage.Unify();

  // The credits and their bases come back as the example has them, in its order.
  auto creditsOf = [](const std::vector<std::string>& lines) {
    std::vector<std::string> out;
    for (const std::string& l : lines)
      for (const char* code : {"|M100|", "|M105|", "|M500|", "|M505|"})
        if (l.rfind(code, 0) == 0) out.push_back(l);
    return out;
  };
  // Stored texts are upper-cased, the standard COFINS rate is written "7,60".
  auto asWritten = [](std::vector<std::string> lines) {
    for (std::string& l : lines) {
      l = UpperLatin1(l);
      if (l.rfind("|M500|", 0) == 0 && l.find("|7,6|") != std::string::npos) l.replace(l.find("|7,6|"), 5, "|7,60|");
    }
    return lines;
  };
  const std::vector<std::string> expected = asWritten(creditsOf(blockM));
  ASSERT_EQ(expected.size(), 48u);
  EXPECT_EQ(creditsOf(merged), expected);
  EXPECT_TRUE(BlocoM::md_LastNotices(TestRun()).empty()) << BlocoM::md_LastNotices(TestRun()).front();
  // The consolidation and the exempt revenue too (contribution lines in the current layout's form).
  for (const char* code : {"M200", "M400", "M410", "M600", "M800", "M810"}) {
    std::vector<std::string> want;
    for (const std::string& l : blockM)
      if (l.rfind("|" + std::string(code) + "|", 0) == 0) want.push_back(l);
    EXPECT_EQ(LinesOf(merged, code), asWritten(want)) << code;
  }
  EXPECT_EQ(LinesOf(merged, "M210").front(), "|M210|01|10200000|10000000|0|0|10000000|1,65|0||165000|0|0|0|0|165000|");
}
