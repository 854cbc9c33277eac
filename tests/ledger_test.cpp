// The reconciliation ledger: every line read is written or accounted for by a
// merge rule or a refusal; anything else fails the run, naming the record
// code and the establishment. The faults below are caught by the ledger alone,
// with the structure check before import switched off.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "staging/ledger.h"
#include "tests/support/check_support.h"
#include "tests/support/faulty_connection.h"
#include "tests/support/wizard_fakes.h"
#include "tests/support/writer_support.h"
#include "wizard/frm_assistente.h"
#include "wizard/reconciliation.h"

namespace fs = std::filesystem;

TEST(Ledger, ShortfallsNamedPerEstablishmentMergedCodesAccounted) {
  RecordLedger l;
  for (int i = 0; i < 3; ++i) l.Read("C100", "A");
  for (int i = 0; i < 2; ++i) l.Read("C100", "B");
  for (int i = 0; i < 3; ++i) l.Written("C100", "A");
  l.Read("0500", "A");
  l.Read("0500", "B");
  l.Written("0500", "B");
  l.Read("0150", "A");
  l.Written("0150", "B");  // written, but under another establishment: a participant pointed at by others
  l.Refused("A100", "registro não unificado");
  Reconciliation r = Reconcile(l, false);
  EXPECT_EQ(r.shortfalls, (std::vector<std::string>{"1 linha do registro 0150 de A não foi gravada",
                                                    "2 linhas do registro C100 de B não foram gravadas"}));
  EXPECT_EQ(r.surpluses, std::vector<std::string>{
                             "1 linha do registro 0150 de B foi gravada sem ter sido lida nesse estabelecimento"});
  std::ostringstream csv;
  WriteLedgerCsv(r.rows, csv);
  const std::string text = csv.str();
  EXPECT_EQ(text.substr(0, text.find('\n')),
            "\xEF\xBB\xBFregistro;estabelecimento;lidas;gravadas;unificadas_por_regra;recusadas;nao_gravadas;motivo");
  EXPECT_NE(text.find("\n0500;;2;1;1;0;0;conta gravada uma vez no arquivo\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\nC100;;5;3;0;0;2;linhas não gravadas\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\nC100;B;2;0;0;0;2;linhas não gravadas\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\nA100;;0;0;0;1;0;registro não unificado\n"), std::string::npos) << text;
  EXPECT_EQ(LedgerSummaryText(r.rows),
            "Conciliação: 8 linhas lidas, 5 gravadas, 1 unificadas por regra, 1 recusadas, 3 não gravadas");

  // Registers under 0140 are kept once per code in both kinds of merge: a
  // line left out balances only when the writer (or the import) saw it the
  // same as the line kept; one left out with other contents is lost.
  for (bool sameCnpj : {false, true}) {
    RecordLedger s;
    s.Read("0150", "A");
    s.Read("0150", "A");
    s.Written("0150", "A");
    EXPECT_EQ(Reconcile(s, sameCnpj).shortfalls,
              std::vector<std::string>{"1 linha do registro 0150 de A não foi gravada"});
    s.Merged("0150", "A");
    EXPECT_TRUE(Reconcile(s, sameCnpj).Balanced());
    s.Read("0190", "A");
    s.Read("0190", "A");
    s.MergedAtImport("0190", "A");
    s.Written("0190", "A");
    Reconciliation both = Reconcile(s, sameCnpj);
    EXPECT_TRUE(both.Balanced());
    EXPECT_EQ(SummarizeLedger(both.rows).merged, 2);
    // A new run writes again; what the import merged stays merged.
    s.ClearWritten();
    s.Written("0150", "A");
    s.Written("0190", "A");
    EXPECT_FALSE(Reconcile(s, sameCnpj).Balanced());
    s.Merged("0150", "A");
    EXPECT_TRUE(Reconcile(s, sameCnpj).Balanced());
  }
}

// A code without merge rule under an establishment record balances per
// establishment: lines written under another establishment, or twice, fail
// the run even when the code's totals agree. Company-level codes balance on
// their totals (read under each file's CNPJ, written once for the merged file).
TEST(Ledger, EstablishmentLinesBalancePerEstablishmentCompanyLinesOnTotals) {
  RecordLedger moved;
  for (int i = 0; i < 10; ++i) moved.Read("C100", "A");
  for (int i = 0; i < 10; ++i) moved.Written("C100", "B");
  for (bool sameCnpj : {false, true}) {
    Reconciliation r = Reconcile(moved, sameCnpj);
    EXPECT_EQ(r.shortfalls, std::vector<std::string>{"10 linhas do registro C100 de A não foram gravadas"});
    EXPECT_EQ(r.surpluses, std::vector<std::string>{
                               "10 linhas do registro C100 de B foram gravadas sem terem sido lidas nesse "
                               "estabelecimento"});
    ASSERT_EQ(r.rows.size(), 3u);
    EXPECT_EQ(r.rows[0].missing, 10);
    EXPECT_EQ(r.rows[1].establishment, "A");
    EXPECT_EQ(r.rows[1].missing, 10);
    EXPECT_EQ(r.rows[2].missing, 0);
  }

  RecordLedger twice;
  twice.Read("D100", "A");
  twice.Written("D100", "A");
  twice.Written("D100", "A");
  Reconciliation t = Reconcile(twice, false);
  EXPECT_TRUE(t.shortfalls.empty());
  EXPECT_EQ(t.surpluses.size(), 1u);
  EXPECT_FALSE(t.Balanced());

  RecordLedger company;
  company.Read("1900", "A");
  company.Read("1900", "B");
  company.Written("1900", "B");
  company.Written("1900", "B");
  EXPECT_TRUE(Reconcile(company, false).Balanced());
  company.Read("1900", "A");
  EXPECT_EQ(Reconcile(company, false).shortfalls,
            std::vector<std::string>{"1 linha do registro 1900 não foi gravada"});

  // The report shows company-level lines written under the merged file's
  // CNPJ, whichever establishment the writer passed last.
  RecordLedger summed;
  summed.Read("M200", "A");
  summed.Read("M200", "B");
  summed.Written("M200", "B");
  summed.Written("9999", "B");
  std::ostringstream csv;
  WriteLedgerCsv(Reconcile(summed, false, "A").rows, csv);
  EXPECT_EQ(csv.str().substr(csv.str().find('\n') + 1),
            "9999;;0;1;0;0;0;\n9999;A;0;1;0;0;0;\n"
            "M200;;2;1;1;0;0;apuração somada de todos os arquivos\nM200;A;1;1;0;0;0;\nM200;B;1;0;0;0;0;\n");
}

// The parts of one CNPJ share their 0000 CNPJ: each part's company-level
// lines get a row of their own, named by the part's place in the list
// (files 4 and 6 of the run: an earlier file was removed), the lines written
// a row under the merged CNPJ. A CNPJ read from one file keeps its one row.
TEST(Ledger, EachPartOfOneCnpjHasItsOwnRow) {
  RecordLedger l;
  for (int file : {4, 4, 6}) l.Read("0500", "A", file);
  l.Read("0000", "A", 4);
  l.Read("0000", "A", 6);
  l.Read("C100", "A", 4);
  l.Read("1100", "B", 6);
  l.Written("0000", "A");
  l.Written("0500", "A");
  l.Written("C100", "A");
  l.Written("1100", "A");
  RecordLedger before = l;
  l.ClearWritten();
  l.RestoreRead(before.SaveRead());
  const Reconciliation r = Reconcile(before, true, "A");
  EXPECT_TRUE(r.Balanced());
  std::ostringstream csv;
  WriteLedgerCsv(r.rows, csv);
  EXPECT_EQ(csv.str().substr(csv.str().find('\n') + 1),
            "0000;;2;1;1;0;0;um só para o arquivo unificado\n0000;A (parte 1);1;0;0;0;0;\n"
            "0000;A (parte 2);1;0;0;0;0;\n0000;A;0;1;0;0;0;\n"
            "0500;;3;1;2;0;0;conta gravada uma vez no arquivo\n0500;A (parte 1);2;0;0;0;0;\n"
            "0500;A (parte 2);1;0;0;0;0;\n0500;A;0;1;0;0;0;\n"
            "1100;;1;1;0;0;0;\n1100;B;1;0;0;0;0;\n1100;A;0;1;0;0;0;\n"
            "C100;;1;1;0;0;0;\nC100;A;1;1;0;0;0;\n");
  EXPECT_EQ(l.FileReads(), before.FileReads());  // a failed import gives the per-file counts back too
}

TEST(LedgerReport, SavedAsCsvOrRefusedWithTheFileNamed) {
  TempFolder dir;
  RecordLedger l;
  l.Read("C100", "A;B");
  l.Written("C100", "A;B");
  const std::vector<LedgerRow> rows = Reconcile(l, false).rows;
  std::string error;
  ASSERT_TRUE(SaveLedgerCsv(dir.File("l.csv"), rows, error)) << error;
  EXPECT_NE(ReadFileBytes(dir.File("l.csv")).find("\nC100;\"A;B\";1;1;0;0;0;\n"), std::string::npos);
  EXPECT_FALSE(SaveLedgerCsv(dir.File("missing/l.csv"), rows, error));
  EXPECT_NE(error.find("missing/l.csv"), std::string::npos) << error;
}

namespace {

// The sample network imported by a form without the structure check, then
// merged; the run's error is returned ("" when it succeeded).
class LedgerRun : public ::testing::Test {
 protected:
  void SetUp() override {
    samples_ = std::string(QUELVAR_SOURCE_DIR) + "/samples/network";
    if (!fs::exists(samples_)) GTEST_SKIP() << "samples/network is missing";
    frmAssistente::Ports ports;
    ports.ui = UiPorts{&messages, nullptr, &messages};
    form = std::make_unique<frmAssistente>(ports, "memory");
    form->Form_Load();
    form->m_ValidarEstrutura = false;
  }
  std::string Edited(const std::string& sample, const std::function<std::string(const std::string&)>& edit) {
    std::string bytes = ReadFileBytes(samples_ + "/" + sample), out;
    for (size_t at = 0; at < bytes.size();) {
      size_t end = bytes.find("\r\n", at);
      if (end == std::string::npos) end = bytes.size();
      std::string line = edit(bytes.substr(at, end - at));
      if (!line.empty()) out += line + "\r\n";
      at = end + 2;
    }
    WriteFileBytes(dir.File(sample), out);
    return dir.File(sample);
  }
  RunResult Merge(const std::vector<std::string>& files) {
    for (const std::string& f : files) EXPECT_EQ(form->ImportFile(f), ImportOutcome::Imported) << f;
    fs::create_directories(dir.File("out"));
    form->m_CaminhoSalvo = dir.File("out");
    bool single = false;
    return form->RunUnification(single);
  }
  std::string samples_;
  TempFolder dir;
  RecordingMessages messages;
  std::unique_ptr<frmAssistente> form;
};

}  // namespace

TEST_F(LedgerRun, TheSampleNetworkBalances) {
  RunResult r = Merge({samples_ + "/1-matriz.txt", samples_ + "/2-filial.txt", samples_ + "/3-filial.txt"});
  ASSERT_TRUE(r.ok) << r.error;
  ASSERT_FALSE(r.ledger.empty());
  for (const LedgerRow& row : r.ledger) EXPECT_EQ(row.missing, 0) << row.code;
}

// A head office whose 0000 CNPJ is not the CNPJ of its 0140: its participants,
// units, items and documents belong to the establishment they sit under, so
// nothing is left out.
TEST_F(LedgerRun, ZeroZeroZeroZeroCnpjOtherThanTheEstablishments) {
  std::string head = Edited("1-matriz.txt", [](const std::string& l) {
    std::string h = l;
    if (h.rfind("|0000|", 0) == 0) h.replace(h.find("42765521000180"), 14, "42765521000199");
    return h;
  });
  RunResult r = Merge({head, samples_ + "/2-filial.txt"});
  ASSERT_TRUE(r.ok) << r.error;
  for (const LedgerRow& row : r.ledger) EXPECT_EQ(row.missing, 0) << row.code;
}

// A branch without 0140, and a head office whose 0140 has no fields.
TEST_F(LedgerRun, EstablishmentRecordMissingOrEmpty) {
  std::string branch = Edited("2-filial.txt", [](const std::string& l) {
    return l.rfind("|0140|", 0) == 0 ? std::string() : l;
  });
  RunResult r = Merge({samples_ + "/1-matriz.txt", branch});
  ASSERT_FALSE(r.ok);
  // Its lines sit under its X010 records, whose CNPJ no 0140 declares: the
  // merge's own check of its output refuses the file.
  EXPECT_NE(r.error.find("42765521000260"), std::string::npos) << r.error;
}

TEST_F(LedgerRun, HeadOfficeEstablishmentWithoutFields) {
  std::string head = Edited("1-matriz.txt", [](const std::string& l) {
    return l.rfind("|0140|", 0) == 0 ? std::string("|0140|") : l;
  });
  RunResult r = Merge({head, samples_ + "/2-filial.txt"});
  ASSERT_FALSE(r.ok);
  // The establishment's lines are written under a 0140 without CNPJ, which the
  // merge's own check of its output refuses.
  EXPECT_NE(r.error.find("42765521000180"), std::string::npos) << r.error;
}

// Two participants of one code in one establishment (the structure check
// off): before, the second was left out as "unificada por regra" and the run
// succeeded; a line left out with other contents is a loss. The same line
// twice is merged.
TEST_F(LedgerRun, ALineOfACodeLeftOutWithOtherContentsIsALoss) {
  for (bool differing : {true, false}) {
    std::string branch = Edited("2-filial.txt", [&](const std::string& l) {
      if (l.rfind("|0150|F000002|", 0) != 0) return l;
      return l + "\r\n" + (differing ? "|0150|F000002|OUTRA EMPRESA LTDA|01058|||||||||" : l);
    });
    form->ClearImports();
    RunResult r = Merge({samples_ + "/1-matriz.txt", branch});
    if (differing) {
      ASSERT_FALSE(r.ok);
      EXPECT_NE(r.error.find("1 linha do registro 0150 de 42765521000260 não foi gravada"), std::string::npos)
          << r.error;
    } else {
      EXPECT_TRUE(r.ok) << r.error;
    }
  }
}

// Storing and placing faults of the import, made on purpose in front of the
// database: each fails the run by the ledger alone, before the merge's own
// check of its output, and nothing is written.
namespace {

constexpr const char* kHead = "42765521000180";
constexpr const char* kBranch = "42765521000260";

// True for the statement storing a line of Block C below C010.
bool StoresBlockCDetail(const std::string& sql) {
  return sql.rfind("INSERT INTO ###C", 0) == 0 && sql.rfind("INSERT INTO ###C010", 0) != 0;
}

// Every occurrence of `from` in `text` replaced by `to`.
void ReplaceAllIn(std::string& text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
}

}  // namespace

TEST_F(LedgerRun, AStoringFailureSwallowedFailsTheRun) {
  // The branch's C170 rows are never stored, yet no error reaches the import:
  // the file is accepted as if every line had been stored.
  InstallFaultyConnection(form->Run(), [](std::string& sql) {
    return !(sql.rfind("INSERT INTO ###C170", 0) == 0 && sql.find(std::string("'") + kBranch + "'") != std::string::npos);
  });
  RunResult r = Merge({samples_ + "/1-matriz.txt", samples_ + "/2-filial.txt"});
  ASSERT_FALSE(r.ok);
  EXPECT_EQ(r.error.rfind("Linhas lidas e não gravadas: 7 linhas do registro C170 de 42765521000260 não foram "
                          "gravadas.", 0), 0u) << r.error;
  EXPECT_TRUE(fs::is_empty(dir.File("out")));
}

TEST_F(LedgerRun, LinesStoredUnderAnotherEstablishmentFailTheRun) {
  // The branch's documents are stored under the head office: written whole,
  // in a valid file, but under the wrong establishment.
  InstallFaultyConnection(form->Run(), [](std::string& sql) {
    if (StoresBlockCDetail(sql)) ReplaceAllIn(sql, std::string("'") + kBranch + "'", std::string("'") + kHead + "'");
    return true;
  });
  RunResult r = Merge({samples_ + "/1-matriz.txt", samples_ + "/2-filial.txt"});
  ASSERT_FALSE(r.ok);
  EXPECT_NE(r.error.find("2 linhas do registro C100 de 42765521000260 não foram gravadas"), std::string::npos)
      << r.error;
  EXPECT_NE(r.error.find("Linhas gravadas a mais: "), std::string::npos) << r.error;
  EXPECT_NE(r.error.find(" de 42765521000180 foram gravadas sem terem sido lidas nesse estabelecimento"),
            std::string::npos)
      << r.error;
  EXPECT_TRUE(fs::is_empty(dir.File("out")));
  bool named = false;
  for (const LedgerRow& row : r.ledger)
    if (row.code == "C100" && row.establishment == kBranch) named = row.read == 2 && row.written == 0 && row.missing == 2;
  EXPECT_TRUE(named);
}

TEST_F(LedgerRun, LinesOfAFileLeftOutFailTheRun) {
  // The branch's documents are stored under a CNPJ no establishment declares:
  // the writer never reaches them.
  InstallFaultyConnection(form->Run(), [](std::string& sql) {
    if (StoresBlockCDetail(sql)) ReplaceAllIn(sql, std::string("'") + kBranch + "'", "'42765521000999'");
    return true;
  });
  RunResult r = Merge({samples_ + "/1-matriz.txt", samples_ + "/2-filial.txt"});
  ASSERT_FALSE(r.ok);
  EXPECT_EQ(r.error.rfind("Linhas lidas e não gravadas: ", 0), 0u) << r.error;
  EXPECT_NE(r.error.find("2 linhas do registro C100 de 42765521000260 não foram gravadas"), std::string::npos)
      << r.error;
  EXPECT_TRUE(fs::is_empty(dir.File("out")));
}

TEST(LedgerReport, TheCommandLineWritesTheLedgerAsCsv) {
  const std::string samples = std::string(QUELVAR_SOURCE_DIR) + "/samples/network";
  if (!fs::exists(samples)) GTEST_SKIP() << "samples/network is missing";
  TempFolder dir;
  ProcessResult ok = RunMerge({samples + "/1-matriz.txt", samples + "/2-filial.txt"}, dir.File("out"),
                              {"--report", dir.File("ok.csv")});
  ASSERT_EQ(ok.exitCode, 0) << ok.err;
  const std::string csv = ReadFileBytes(dir.File("ok.csv"));
  EXPECT_EQ(csv.rfind("\xEF\xBB\xBFregistro;estabelecimento;lidas;gravadas;", 0), 0u) << csv;
  EXPECT_NE(csv.find("\nC100;42765521000260;"), std::string::npos) << csv;
  EXPECT_NE(csv.find("\n0000;;2;1;1;0;0;"), std::string::npos) << csv;
  // The merged file's 0000 is the head office's.
  EXPECT_NE(csv.find("\n0000;42765521000180;1;1;0;0;0;\n0000;42765521000260;1;0;0;0;0;\n"), std::string::npos)
      << csv;
}
