// The company-level records of Blocks 0, 1 and P merged by their rules, end
// to end through the built program: a generated network of three files with
// hand-made company records added to each, and the generated network with
// every record of the layout.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>

#include "blocks/company_writer.h"
#include "staging/output_file.h"
#include "staging/run_state.h"
#include "staging/ui_ports.h"
#include "tests/support/test_run.h"
#include "tests/support/check_support.h"
#include "tests/support/staging_database.h"
#include "tests/support/wizard_fakes.h"
#include "tests/support/writer_support.h"
#include "tools/efdgen/network.h"

namespace fs = std::filesystem;

namespace {

// Adds `block0` before 0990, `blockP` after P001 and `block1` after 1001 (their
// openers then saying the block has data) and counts the file again.
void AddCompanyRecords(const std::string& path, const std::vector<std::string>& block0,
                       const std::vector<std::string>& blockP, const std::vector<std::string>& block1) {
  std::vector<std::string> out;
  for (const std::string& l : ReadCrLfLines(path)) {
    if (l.empty()) continue;
    if (l.rfind("|0990|", 0) == 0) out.insert(out.end(), block0.begin(), block0.end());
    const bool p = l.rfind("|P001|", 0) == 0 && !blockP.empty(), one = l.rfind("|1001|", 0) == 0 && !block1.empty();
    out.push_back(p ? "|P001|0|" : one ? "|1001|0|" : l);
    if (p) out.insert(out.end(), blockP.begin(), blockP.end());
    if (one) out.insert(out.end(), block1.begin(), block1.end());
  }
  WriteFileLines(path, Recounted(out));
}

std::string Process(const std::string& number, const std::string& child) {
  return "|1010|" + number + "|SJ|01|01|DECISAO|01062023|\n" + child;
}
std::string Suspended(const std::string& desc) {
  return "|1011|||||01062023|100,00|01|100|1,65|1,65|01|100|7,6|7,6|01|0|0|0|01|0|0|0|||" + desc + "|";
}
// A 1100 (or 1500) of credit code `cod` whose credit found is `amount`, of
// which `used` is used in this period and `left` left over.
std::string Credit(const std::string& code, const std::string& cod, const std::string& amount,
                   const std::string& used = "0", const std::string& left = "") {
  return "|" + code + "|052023|01||" + cod + "|" + amount + "|0|" + amount + "|0|0|0|" + amount + "|" + used +
         "|0|0|0|0|" + (left.empty() ? amount : left) + "|";
}
std::string LateCredit(const std::string& cnpj, const std::string& desc) {
  return "|1101|||55|1||1|01052023||10,00|1102|01|0|50|10|1,65|0,17|||" + desc + "|052023|" + cnpj + "|";
}

std::vector<std::string> Lines(std::initializer_list<std::string> items) {
  std::vector<std::string> out;
  for (const std::string& item : items)
    for (size_t start = 0; start < item.size();) {
      size_t nl = item.find('\n', start);
      out.push_back(item.substr(start, nl == std::string::npos ? std::string::npos : nl - start));
      start = nl == std::string::npos ? item.size() : nl + 1;
    }
  return out;
}

std::string CnpjOf(const std::string& path) {
  const std::string header = ReadCrLfLines(path).front();
  size_t start = 0;
  for (int i = 0; i < 9; ++i) start = header.find('|', start) + 1;
  return header.substr(start, 14);
}

class CompanyRecords : public ::testing::Test {
 protected:
  // Runs `quelvar merge` with a ledger report on `files`.
  ProcessResult Merge(const std::vector<std::string>& files) {
    std::vector<std::string> args = {"merge", "--no-progress", "--output-dir", out.path(), "--report",
                                     out.File("ledger.csv")};
    args.insert(args.end(), files.begin(), files.end());
    return RunQuelvar(args);
  }
  std::string MergedFile() {
    for (const auto& e : fs::directory_iterator(out.path()))
      if (e.path().string().ends_with("_Unificado.txt")) return e.path().string();
    return {};
  }
  TempFolder in, out;
};

}  // namespace

TEST_F(CompanyRecords, EachRecordFollowsItsRuleAcrossThreeFiles) {
  auto files = WriteNetwork({.establishments = 3, .targetLines = 300, .seed = 3}, in.path());
  ASSERT_EQ(files.size(), 3u);
  const std::string m = CnpjOf(files[0]), f1 = CnpjOf(files[1]);
  // The head office: an account, the revenue composition (one amount beyond
  // double precision), a payroll period with two adjustments, a judicial
  // process, a credit with its late credit, a late contribution, a withholding.
  AddCompanyRecords(
      files[0],
      Lines({"|0500|01012020|04|A|5|9.9|CONTA NOVE|||",
             "|0900|0,10|0,05|12345678901234567,89||0||0||0||0||12345678901234567,99|0,05|"}),
      Lines({"|P200|062023|0|10,00|15,00|5,00|298501|", "|P210|0|10,00|01|D1|REDUCAO|01062023|",
             "|P210|1|15,00|01|D2|ACRESCIMO|01062023|"}),
      Lines({Process("P1", Suspended("A")), "|1050|01062023|01|" + m + "|1|1|0|0|0|0|0|0|0|0|0|0|01||M|",
             Credit("1100", "101", "0,10", "0,04", "0,06"), LateCredit(m, "M"),
             "|1200|042023|01|10,00|1,00|9,00|0|9,00|0|0|15052023|", "|1220|032023|01|101|1,00|",
             "|1300|01|042023|1,00|0|0|0|1,00|"}));
  // A branch: the same account key under another name and level, the same
  // account of another date, the same process (another detail), the same
  // credit key (with a late credit detailed per revenue), the same late
  // contribution key with two credits, the same withholding.
  AddCompanyRecords(
      files[1],
      Lines({"|0500|01012020|04|A|4|9.9|OUTRO NOME|||", "|0500|02012020|04|A|5|9.9|CONTA NOVE|||",
             "|0900|0,20||0,01||0||0||0||0||0,21||"}),
      Lines({"|P200|062023|0|0|2,50|2,50|298501|", "|P210|1|2,50|01|D3|ACRESCIMO|01062023|"}),
      Lines({Process("P1", Suspended("B")), "|1050|01062023|01|" + f1 + "|2|2|0|0|0|0|0|0|0|0|0|0|01||F|",
             Credit("1100", "101", "0,20", "0,05", "0,15"), LateCredit(f1, "F"), "|1102|0,17|0|0|",
             "|1200|042023|01|20,00|5,00|15,00|0|15,00|0|0|15052023|", "|1220|032023|01|101|2,00|",
             "|1220|022023|01|101|3,00|", "|1300|01|042023|2,00|0|0|0|2,00|"}));
  // Another branch: another process, credit code, recollection date,
  // withholding and payroll period: each its own line.
  // Its payroll line of the head office's period names another revenue code:
  // the first is kept, with a warning.
  const std::string f2 = CnpjOf(files[2]);
  AddCompanyRecords(files[2], {}, Lines({"|P200|052023|0|0|0|0|298501|", "|P200|062023|0|0|0|0|299101|"}),
                    Lines({Process("P2", Suspended("C")), Credit("1100", "201", "5,00"),
                           "|1200|042023|01|1,00|0|1,00|0|1,00|0|0|16052023|", "|1300|02|042023|4,00|0|0|0|4,00|"}));

  ProcessResult r = Merge(files);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err.find("não unificados"), std::string::npos) << r.err;
  // One warning for the account kept with its first name.
  EXPECT_NE(r.err.find("registro 0500 de DT_ALT 01012020, COD_CTA 9.9: NIVEL, NOME_CTA diferente(s) "
                       "no arquivo " + files[1] + "; gravado o do arquivo " + files[0]),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("registro P200 de PER_REF 062023: COD_REC diferente(s) no arquivo " + files[2]),
            std::string::npos)
      << r.err;
  const std::string merged = MergedFile();
  ASSERT_FALSE(merged.empty());
  ExpectValidEfd(merged);
  const auto lines = ReadCrLfLines(merged);

  std::vector<std::string> accounts = LinesOf(lines, "0500");
  EXPECT_EQ(std::count(accounts.begin(), accounts.end(), "|0500|01012020|04|A|5|9.9|CONTA NOVE|||"), 1);
  EXPECT_EQ(std::count(accounts.begin(), accounts.end(), "|0500|02012020|04|A|5|9.9|CONTA NOVE|||"), 1);
  EXPECT_EQ(std::count_if(accounts.begin(), accounts.end(),
                          [](const std::string& l) { return l.find("OUTRO NOME") != std::string::npos; }),
            0);
  EXPECT_EQ(LinesOf(lines, "0900"),
            (std::vector<std::string>{
                "|0900|0,3|0,05|12345678901234567,9||0||0||0||0||12345678901234568,2|0,05|"}));

  auto blockOf = [&](char letter) {
    std::vector<std::string> out;
    for (const std::string& l : lines)
      if (l[1] == letter && l.substr(2, 3) != "001" && l.substr(2, 3) != "990" && l.substr(1, 4) != "P010" &&
          l.substr(1, 2) != "P1")
        out.push_back(l);
    return out;
  };
  EXPECT_EQ(blockOf('P'), (std::vector<std::string>{"|P200|062023|0|10|17,5|7,5|298501|",
                                                    "|P210|0|10,00|01|D1|REDUCAO|01062023|",
                                                    "|P210|1|15,00|01|D2|ACRESCIMO|01062023|",
                                                    "|P210|1|2,50|01|D3|ACRESCIMO|01062023|",
                                                    "|P200|052023|0|0|0|0|298501|"}));
  EXPECT_EQ(blockOf('1'),
            (std::vector<std::string>{
                // The process once, with the details of both files, then the other process.
                "|1010|P1|SJ|01|01|DECISAO|01062023|", Suspended("A"), Suspended("B"),
                "|1010|P2|SJ|01|01|DECISAO|01062023|", Suspended("C"),
                // Adjustments kept as they came.
                "|1050|01062023|01|" + m + "|1|1|0|0|0|0|0|0|0|0|0|0|01||M|",
                "|1050|01062023|01|" + f1 + "|2|2|0|0|0|0|0|0|0|0|0|0|01||F|",
                // 0,10 + 0,20 under one key, the late credits of both under it.
                "|1100|052023|01||101|0,3|0|0,3|0|0|0|0,3|0,09|0|0|0|0|0,21|", LateCredit(m, "M"),
                LateCredit(f1, "F"), "|1102|0,17|0|0|", "|1100|052023|01||201|5|0|5|0|0|0|5|0|0|0|0|0|5|",
                // Late contributions of one key summed, their credits summed by their own key.
                "|1200|042023|01|30|6|24|0|24|0|0|15052023|", "|1220|032023|01|101|3|", "|1220|022023|01|101|3|",
                "|1200|042023|01|1|0|1|0|1|0|0|16052023|",
                "|1300|01|042023|3|0|0|0|3|", "|1300|02|042023|4|0|0|0|4|"}));
  EXPECT_EQ(LinesOf(lines, "1001"), (std::vector<std::string>{"|1001|0|"}));
  // Block M's credit used from earlier periods is the merged 1100 lines' own.
  const std::vector<std::string> m200 = LinesOf(lines, "M200");
  ASSERT_EQ(m200.size(), 1u);
  size_t field4 = 0;
  for (int i = 0; i < 4; ++i) field4 = m200[0].find('|', field4) + 1;
  EXPECT_EQ(m200[0].substr(field4, m200[0].find('|', field4) - field4), "0,09") << m200[0];
  EXPECT_EQ(LinesOf(lines, "1990"), (std::vector<std::string>{"|1990|" + std::to_string(blockOf('1').size() + 2) + "|"}));
}

TEST_F(CompanyRecords, AnAmountToBeSummedThatIsNoNumberRefusesItsFile) {
  auto files = WriteNetwork({.establishments = 2, .targetLines = 200, .seed = 4}, in.path());
  AddCompanyRecords(files[1], {}, {}, Lines({Credit("1100", "101", "1O,00")}));
  ProcessResult r = Merge(files);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("linha 106 1100: o campo 06 (VL_CRED_APU) não é um número (só algarismos e uma vírgula decimal): \"1O,00\""), std::string::npos) << r.err;
  EXPECT_TRUE(MergedFile().empty());
}

// Before, the company-level records of Blocks 1 and P and the 0900 were
// left out of the merged file as records it does not carry.
TEST_F(CompanyRecords, EveryRecordOfTheLayoutIsMergedAndTheLedgerBalances) {
  auto files = WriteNetwork(
      {.establishments = 3, .targetLines = 3000, .seed = 7, .everyRecord = true, .establishmentsPerFile = 2},
      in.path());
  ProcessResult r = Merge(files);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err.find("não unificados"), std::string::npos) << r.err;
  ExpectValidEfd(MergedFile());
  std::vector<std::string> ledger;
  const std::string csv = ReadFile(out.File("ledger.csv"));
  for (size_t start = 0, nl; (nl = csv.find('\n', start)) != std::string::npos; start = nl + 1)
    ledger.push_back(csv.substr(start, nl - start));
  ASSERT_GT(ledger.size(), 1u);
  std::set<std::string> codes;
  for (size_t i = 1; i < ledger.size(); ++i) {
    if (ledger[i].empty()) continue;
    codes.insert(ledger[i].substr(0, 4));
    // registro;estabelecimento;lidas;gravadas;unificadas_por_regra;recusadas;nao_gravadas;motivo
    std::vector<std::string> f;
    for (size_t start = 0; f.size() < 7;) {
      const size_t comma = ledger[i].find(';', start);
      ASSERT_NE(comma, std::string::npos) << ledger[i];
      f.push_back(ledger[i].substr(start, comma - start));
      start = comma + 1;
    }
    EXPECT_EQ(f[5], "0") << ledger[i];
    EXPECT_EQ(f[6], "0") << ledger[i];
  }
  for (const char* code : {"0900", "1010", "1011", "1100", "1102", "1220", "1809", "1900", "P200", "P210"})
    EXPECT_TRUE(codes.count(code)) << code;
}

// Before, a later file's 0035, 0120 or 0600 whose key was already written lost
// its descriptive fields without a word; now each is named in a warning, as
// the 0500 and P200 are: the key, the fields that differ, the file that had
// them and the file whose line was kept. A later line equal to the kept one
// gives no warning. Files are named by their names: before, by their CNPJ,
// which the parts of one CNPJ share ("no arquivo de CNPJ" of the first part).
TEST_F(CompanyRecords, LaterDescriptionsOfAKeptKeyAreNamedInAWarning) {
  for (const bool parts : {false, true}) {
    TempFolder partsIn;
    auto files = parts ? WriteNetwork({.targetLines = 200, .seed = 5, .sameCnpjParts = 2}, partsIn.path())
                       : WriteNetwork({.establishments = 2, .targetLines = 200, .seed = 5}, in.path());
    ASSERT_EQ(files.size(), 2u);
    AddCompanyRecords(files[0],
                      Lines({"|0035|00000000000001|SCP UM|INFO|", "|0120|052023|SEM RECEITA|",
                             "|0600|01012020|CC1|CENTRO UM|", "|0600|01012020|CC2|CENTRO DOIS|"}),
                      {}, {});
    AddCompanyRecords(files[1],
                      Lines({"|0035|00000000000001|SCP OUTRA|OUTRA INFO|", "|0120|052023|OUTRO MOTIVO|",
                             "|0600|01012020|CC1|OUTRO CENTRO|", "|0600|01012020|CC2|CENTRO DOIS|"}),
                      {}, {});
    std::vector<std::string> args = files;
    if (parts) args.insert(args.begin(), "--same-cnpj");
    ProcessResult r = Merge(args);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string where = " diferente(s) no arquivo " + files[1] + "; gravado o do arquivo " + files[0];
    std::vector<std::string> warnings = {"registro 0035 de COD_SCP 00000000000001: DESC_SCP, INF_COMP" + where,
                                         "registro 0120 de MES_REFER 052023: INF_COMP" + where};
    // Parts rename a cost centre of other contents instead (part_codes.h).
    if (!parts) warnings.push_back("registro 0600 de DT_ALT 01012020, COD_CCUS CC1: CCUS" + where);
    for (const std::string& warning : warnings)
      EXPECT_NE(r.err.find(warning), std::string::npos) << warning << "\n" << r.err;
    EXPECT_EQ(r.err.find("arquivo de CNPJ"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("COD_CCUS CC2"), std::string::npos) << r.err;
    const std::string merged = MergedFile();
    ASSERT_FALSE(merged.empty());
    const auto lines = ReadCrLfLines(merged);
    EXPECT_EQ(LinesOf(lines, "0035"), std::vector<std::string>{"|0035|00000000000001|SCP UM|INFO|"});
    EXPECT_EQ(LinesOf(lines, "0120"), std::vector<std::string>{"|0120|052023|SEM RECEITA|"});
    std::vector<std::string> centres = {"|0600|01012020|CC1|CENTRO UM|", "|0600|01012020|CC2|CENTRO DOIS|"};
    if (parts) centres.push_back("|0600|01012020|CC1_2|OUTRO CENTRO|");
    EXPECT_EQ(LinesOf(lines, "0600"), centres);
    fs::remove(merged);
  }
}

// Before, a company-level child line whose parent line was missing was named
// in a notice that gave the program's function ("WriteCompanyRecords()") as
// its place; now the notice is in words and names the parent record.
TEST(CompanyRecordNotices, AChildWithoutItsParentIsNamedWithItsParentRecord) {
  StagingDatabase db;
  TempFolder dir;
  RecordingMessages messages;
  TestRun().ports.errors = &messages;
  TestRun().output.Open(dir.File("out.txt"));
  TestRun().connection->Execute("INSERT INTO ###1010 (Id_CNPJ) VALUES ('42765521000180')");
  TestRun().connection->Execute("INSERT INTO ###1011 (ID_Pai) VALUES (999)");
  WriteCompanyRecords(TestRun(), "1010");
  TestRun().output.Abort();
  TestRun().ports.errors = nullptr;
  ASSERT_EQ(messages.errors.size(), 1u);
  EXPECT_EQ(messages.errors[0],
            "registros da empresa: 1 linha(s) do registro 1011 sem o registro pai (1010) no seu arquivo; não gravadas");
}
