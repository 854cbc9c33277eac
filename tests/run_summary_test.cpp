// The summary of a run per establishment: rows, roles and counts against the
// ledger and the input files, the PIS / COFINS of Block M against the inputs'
// M210 / M610, the CSV bytes for Brazilian spreadsheets, the page's escaping,
// and `merge --summary` writing both files beside the merged one, never over
// an input.
#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <map>
#include <memory>
#include <tuple>

#include "staging/ledger.h"
#include "staging/record_catalogue.h"
#include "tests/support/check_support.h"
#include "tests/support/staging_database.h"
#include "tests/support/wizard_fakes.h"
#include "tools/efdgen/network.h"
#include "wizard/frm_assistente.h"
#include "wizard/run_summary.h"
#include "wizard/spreadsheet_csv.h"

namespace fs = std::filesystem;

namespace {

ExactDecimal Dec(const char* text) { return *ExactDecimal::Parse(text); }

// The lines of `path` with a record (CR LF or LF ended, blank lines left out).
std::vector<std::string> RecordLines(const std::string& path) {
  const std::string bytes = ReadFileBytes(path);
  std::vector<std::string> lines;
  for (size_t at = 0; at < bytes.size();) {
    size_t end = bytes.find('\n', at);
    if (end == std::string::npos) end = bytes.size();
    std::string line = bytes.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find_first_not_of(' ') != std::string::npos) lines.push_back(line);
    at = end + 1;
  }
  return lines;
}

// Field `name` of record line `line` ("|REG|…|"), by its number in the catalogue.
std::string FieldOf(const std::string& line, const char* name) {
  const CatalogueField* field = Layout006().Find(line.substr(1, 4))->Field(name);
  size_t at = 0;
  for (int k = 0; k < field->number; ++k) at = line.find('|', at) + 1;
  return line.substr(at, line.find('|', at) - at);
}

// What one input file says by itself: its lines, documents and the sums of
// VL_CONT_PER of its M210 / M610.
struct FileFacts {
  int64_t lines = 0, c100 = 0, a100 = 0, d100 = 0, f100 = 0;
  ExactDecimal pis, cofins;
};
FileFacts FactsOf(const std::string& path) {
  FileFacts f;
  for (const std::string& line : RecordLines(path)) {
    ++f.lines;
    const std::string code = line.substr(1, 4);
    if (code == "C100") ++f.c100;
    if (code == "A100") ++f.a100;
    if (code == "D100") ++f.d100;
    if (code == "F100") ++f.f100;
    if (code == "M210") f.pis += Dec(FieldOf(line, "VL_CONT_PER").c_str());
    if (code == "M610") f.cofins += Dec(FieldOf(line, "VL_CONT_PER").c_str());
  }
  return f;
}

// Every count of the total row is the sum of the other rows'.
void ExpectTotalIsTheSum(const std::vector<SummaryRow>& rows) {
  ASSERT_FALSE(rows.empty());
  ASSERT_TRUE(rows.back().total);
  SummaryRow sum;
  for (size_t i = 0; i + 1 < rows.size(); ++i) {
    EXPECT_FALSE(rows[i].total);
    sum.read += rows[i].read;
    sum.written += rows[i].written;
    sum.c100 += rows[i].c100;
    sum.a100 += rows[i].a100;
    sum.d100 += rows[i].d100;
    sum.f100 += rows[i].f100;
    sum.pis += rows[i].pis;
    sum.cofins += rows[i].cofins;
    sum.warnings += rows[i].warnings;
  }
  const SummaryRow& t = rows.back();
  EXPECT_EQ(t.file, "Total");
  EXPECT_EQ(std::vector<int64_t>({t.read, t.written, t.c100, t.a100, t.d100, t.f100, t.warnings}),
            std::vector<int64_t>({sum.read, sum.written, sum.c100, sum.a100, sum.d100, sum.f100, sum.warnings}));
  EXPECT_EQ(t.pis, sum.pis);
  EXPECT_EQ(t.cofins, sum.cofins);
}

// A form that merges `files` in-process into `out` (summary files saved).
struct FormRun {
  explicit FormRun(bool sameCnpj) {
    frmAssistente::Ports ports;
    ports.ui = UiPorts{&messages, nullptr, &messages};
    form = std::make_unique<frmAssistente>(ports, "memory");
    form->Form_Load();
    if (sameCnpj) {
      form->controls.OptionUnificaArquivo.Value = true;
      form->controls.OptionUnificaMatrizFilial.Value = false;
      form->OptionUnificaArquivo_Click();
      form->controls.checkValidarMatriz.Value = false;
      form->checkValidarMatriz_Click();
    }
  }
  RunResult Merge(const std::vector<std::string>& files, const std::string& out) {
    for (const std::string& f : files) EXPECT_EQ(form->ImportFile(f), ImportOutcome::Imported) << f;
    fs::create_directories(out);
    form->m_CaminhoSalvo = out;
    bool single = form->m_MesmoCNPJ;
    return form->RunUnification(single, "", true);
  }
  RecordingMessages messages;
  std::unique_ptr<frmAssistente> form;
};

// The total row of a run's summary: the sum of its rows, what the ledger
// read and wrote, and the merged file's lines.
void ExpectRunTotals(const RunResult& r) {
  ExpectTotalIsTheSum(r.summary);
  const LedgerSummary ledger = SummarizeLedger(r.ledger);
  EXPECT_EQ(r.summary.back().read, ledger.read);
  EXPECT_EQ(r.summary.back().written, ledger.written);
  EXPECT_EQ(r.summary.back().written, static_cast<int64_t>(RecordLines(r.path).size()));
}

}  // namespace

// The builder alone, on a ledger made by hand: rows per file and
// establishment in list order (the 0000 CNPJ first, then the 0140s in file
// order), roles, documents, the company-level lines written on the head row,
// lines left out on the file's first row, amounts on the file's first row.
TEST(RunSummary, RowsRolesAndCountsFromTheLedger) {
  RecordLedger l;
  // File 1 (head office A, with a second establishment C declared after it),
  // file 2 (branch B).
  for (int i = 0; i < 3; ++i) l.Read("0000", "A", 1), l.Read("0000", "B", 2);
  l.Written("0000", "Z");  // company-level: the writer's establishment means nothing
  for (int i = 0; i < 4; ++i) l.Read("C100", "A", 1), l.Written("C100", "A");
  for (int i = 0; i < 2; ++i) l.Read("C100", "C", 1), l.Written("C100", "C");
  l.Read("D100", "B", 2), l.Written("D100", "B");
  l.Read("F100", "B", 2), l.Read("F100", "B", 2), l.Written("F100", "B"), l.Merged("F100", "B");
  l.Read("A100", "C", 1), l.Written("A100", "C");
  l.Refused("C17O", "registro não unificado", 2);
  l.Refused("C17O", "registro não unificado", 2);
  const std::vector<SummaryInput> files = {{1, "matriz.txt", "A", {"A", "C"}, Dec("10,5"), Dec("20")},
                                           {2, "filial.txt", "B", {"B"}, Dec("1,25"), Dec("0")}};
  const std::vector<SummaryRow> rows = BuildRunSummary(l, files, false);
  ASSERT_EQ(rows.size(), 4u);
  struct Expected {
    const char *file, *cnpj, *role;
    int64_t read, written, c100, a100, d100, f100, warnings;
    const char *pis, *cofins;
  };
  const Expected expected[] = {{"matriz.txt", "A", "Matriz", 7, 5, 4, 0, 0, 0, 0, "10,5", "20"},
                               {"matriz.txt", "C", "Filial", 3, 3, 2, 1, 0, 0, 0, "0", "0"},
                               {"filial.txt", "B", "Filial", 6, 2, 0, 0, 1, 2, 2, "1,25", "0"},
                               {"Total", "", "", 16, 10, 6, 1, 1, 2, 2, "11,75", "20"}};
  for (size_t i = 0; i < rows.size(); ++i) {
    const Expected& e = expected[i];
    const SummaryRow& r = rows[i];
    EXPECT_EQ(r.file + "|" + r.cnpj + "|" + r.role, std::string(e.file) + "|" + e.cnpj + "|" + e.role) << i;
    EXPECT_EQ(std::vector<int64_t>({r.read, r.written, r.c100, r.a100, r.d100, r.f100, r.warnings}),
              std::vector<int64_t>({e.read, e.written, e.c100, e.a100, e.d100, e.f100, e.warnings}))
        << i;
    EXPECT_EQ(r.pis, Dec(e.pis)) << i;
    EXPECT_EQ(r.cofins, Dec(e.cofins)) << i;
  }
  ExpectTotalIsTheSum(rows);
}

// In "Mesmo CNPJ" the parts share their establishment: each part is a row
// "Parte N" with what it read, and the lines written for the establishment
// go to the parts in list order, each up to what it read.
TEST(RunSummary, PartsOfOneCnpjShareWhatWasWritten) {
  RecordLedger l;
  for (int64_t part : {1, 2, 3}) l.Read("C010", "A", part), l.Read("0000", "A", part);
  l.Written("C010", "A"), l.Written("0000", "A");
  for (int i = 0; i < 5; ++i) l.Read("0150", "A", 1 + i % 2);  // parts 1 and 2: 3 and 2 lines
  for (int i = 0; i < 4; ++i) l.Written("0150", "A");           // one left out as the same
  const std::vector<SummaryInput> files = {
      {1, "p1.txt", "A", {"A"}, {}, {}}, {2, "p2.txt", "A", {"A"}, {}, {}}, {3, "p3.txt", "A", {"A"}, {}, {}}};
  const std::vector<SummaryRow> rows = BuildRunSummary(l, files, true);
  ASSERT_EQ(rows.size(), 4u);
  const std::vector<std::pair<int64_t, int64_t>> readWritten = {{5, 5}, {4, 1}, {2, 0}, {11, 6}};
  for (size_t i = 0; i < rows.size(); ++i)
    EXPECT_EQ(std::make_pair(rows[i].read, rows[i].written), readWritten[i]) << i;
  EXPECT_EQ(rows[0].role, "Parte 1");
  EXPECT_EQ(rows[2].role, "Parte 3");
  EXPECT_EQ(rows[2].file, "p3.txt");
  ExpectTotalIsTheSum(rows);
}

// The CSV bytes: a byte-order mark, ';' between fields, amounts with two
// decimals after a comma, a field holding ';' or '"' quoted; the ledger CSV
// in the same form.
TEST(RunSummary, CsvForBrazilianSpreadsheets) {
  SummaryRow row{"filial; \"sul\".txt", "42765521000260", "Filial", 1234, 1200, 3, 0, 0, 1,
                 Dec("1234,5"), Dec("0,07"), 2, false};
  SummaryRow total{"Total", "", "", 1234, 1200, 3, 0, 0, 1, Dec("1234,5"), Dec("0,07"), 2, true};
  EXPECT_EQ(SummaryCsv({row, total}),
            "\xEF\xBB\xBF"
            "arquivo;cnpj;papel;linhas_lidas;linhas_gravadas;c100;a100;d100;f100;pis_m210_vl_cont_per;"
            "cofins_m610_vl_cont_per;avisos\n"
            "\"filial; \"\"sul\"\".txt\";42765521000260;Filial;1234;1200;3;0;0;1;1234,50;0,07;2\n"
            "Total;;;1234;1200;3;0;0;1;1234,50;0,07;2\n");
  const std::pair<const char*, const char*> amounts[] = {
      {"0", "0,00"}, {"-0,01", "-0,01"}, {"10", "10,00"}, {"1000000,1", "1000000,10"}, {"7,125", "7,13"}};
  for (const auto& [in, out] : amounts) EXPECT_EQ(CsvAmount(Dec(in)), out) << in;
  for (const auto& [in, out] : std::vector<std::pair<std::string, std::string>>{
           {"a,b", "a,b"}, {"a;b", "\"a;b\""}, {"a\"b", "\"a\"\"b\""}, {"a\nb", "\"a\nb\""}, {"", ""}})
    EXPECT_EQ(CsvCell(in), out) << in;
}

// The page escapes every text from a file and fetches nothing.
TEST(RunSummary, PageEscapesNamesAndIsSelfContained) {
  SummaryRow row{"a<b&c\"d.txt", "42765521000260", "Matriz", 10, 8, 1, 0, 0, 0, Dec("1234567,8"), {}, 0, false};
  SummaryRow total{"Total", "", "", 10, 8, 1, 0, 0, 0, Dec("1234567,8"), {}, 0, true};
  const std::string page = SummaryHtml({row, total}, "x<y>&\".txt");
  EXPECT_NE(page.find("a&lt;b&amp;c&quot;d.txt"), std::string::npos);
  EXPECT_NE(page.find("x&lt;y&gt;&amp;&quot;.txt"), std::string::npos);
  EXPECT_EQ(page.find("a<b"), std::string::npos);
  EXPECT_EQ(page.find("x<y"), std::string::npos);
  EXPECT_NE(page.find("<html lang=\"pt-BR\">"), std::string::npos);
  EXPECT_NE(page.find("<meta charset=\"utf-8\">"), std::string::npos);
  EXPECT_NE(page.find("42.765.521/0002-60"), std::string::npos);
  EXPECT_NE(page.find("1.234.567,80"), std::string::npos);
  EXPECT_NE(page.find("width:100.0%"), std::string::npos);  // the longest bar
  EXPECT_NE(page.find("width:80.0%"), std::string::npos);
  for (const char* never : {"<script", "http:", "https:", "src=", "@import", "url("})
    EXPECT_EQ(page.find(never), std::string::npos) << never;
}

class SampleSummary : public SampleNetworkTest {};

// The sample network: one row per file (one establishment each), roles, every
// count equal to the ledger's rows of the establishment and to the file's own
// lines, PIS / COFINS equal to the file's M210 / M610 VL_CONT_PER, the total
// written equal to the merged file's lines; both files saved beside it.
TEST_F(SampleSummary, TheSampleNetworkPerEstablishment) {
  TempFolder dir;
  FormRun run(false);
  const std::vector<std::string> files = {Sample(0), Sample(1), Sample(2)};
  const RunResult r = run.Merge(files, dir.File("out"));
  ASSERT_TRUE(r.ok) << r.error;
  ASSERT_EQ(r.summary.size(), 4u);
  ExpectRunTotals(r);
  const char* roles[] = {"Matriz", "Filial", "Filial"};
  for (size_t i = 0; i < files.size(); ++i) {
    const SummaryRow& row = r.summary[i];
    const FileFacts facts = FactsOf(files[i]);
    EXPECT_EQ(row.file, fs::path(files[i]).filename().string());
    EXPECT_EQ(row.role, roles[i]);
    EXPECT_EQ(row.cnpj, FieldOf(RecordLines(files[i]).front(), "CNPJ"));
    EXPECT_EQ(row.read, facts.lines) << i;
    EXPECT_EQ(std::vector<int64_t>({row.c100, row.a100, row.d100, row.f100}),
              std::vector<int64_t>({facts.c100, facts.a100, facts.d100, facts.f100}))
        << i;
    EXPECT_EQ(row.pis, facts.pis) << i;
    EXPECT_EQ(row.cofins, facts.cofins) << i;
    EXPECT_GT(row.pis, ExactDecimal()) << i;
    EXPECT_EQ(row.warnings, 0) << i;
    // The ledger's rows of the establishment (company-level lines written
    // under the merged file's CNPJ, the head office's).
    int64_t read = 0, written = 0, c100 = 0;
    for (const LedgerRow& l : r.ledger)
      if (!l.codeTotal && l.establishment == row.cnpj) {
        read += l.read;
        written += l.written;
        if (l.code == "C100") c100 = l.read;
      }
    EXPECT_EQ(std::make_tuple(row.read, row.written, row.c100), std::make_tuple(read, written, c100)) << i;
  }
  // Saved beside the merged file.
  const std::string base = r.path.substr(0, r.path.size() - 4);
  EXPECT_EQ(r.summaryCsv, base + "_Resumo.csv");
  EXPECT_EQ(r.summaryHtml, base + "_Resumo.html");
  EXPECT_EQ(ReadFileBytes(r.summaryCsv), SummaryCsv(r.summary));
  EXPECT_EQ(ReadFileBytes(r.summaryHtml), SummaryHtml(r.summary, fs::path(r.path).filename().string()));
}

// A branch with a line of a code outside the layout (C17O, a typo of C170):
// the line is left out of the merged file and counted as a warning on the
// branch's row, not read; the other rows have none.
TEST_F(SampleSummary, LinesLeftOutAreTheFilesWarnings) {
  TempFolder dir;
  std::vector<std::string> lines = RecordLines(Sample(1)), edited;
  bool planted = false;
  for (const std::string& line : lines) {
    edited.push_back(line);
    if (!planted && line.rfind("|C170|", 0) == 0) {
      edited.push_back("|C17O" + line.substr(5));
      planted = true;
    }
  }
  ASSERT_TRUE(planted);
  std::string bytes;
  for (const std::string& line : Recounted(edited)) bytes += line + "\r\n";
  const std::string branch = dir.File("2-filial.txt");
  WriteFileBytes(branch, bytes);
  FormRun run(false);
  const RunResult r = run.Merge({Sample(0), branch, Sample(2)}, dir.File("out"));
  ASSERT_TRUE(r.ok) << r.error;
  ASSERT_EQ(r.summary.size(), 4u);
  EXPECT_EQ(r.summary[0].warnings, 0);
  EXPECT_EQ(r.summary[1].warnings, 1);
  EXPECT_EQ(r.summary[1].read, static_cast<int64_t>(RecordLines(branch).size()) - 1);
  EXPECT_EQ(r.summary[2].warnings, 0);
  EXPECT_EQ(r.summary.back().warnings, SummarizeLedger(r.ledger).refused);
  ExpectTotalIsTheSum(r.summary);
}

// A generated "Mesmo CNPJ" network of three parts and one of two
// establishments per file: rows, roles and counts against the files' own
// lines, totals against the ledger and the merged file.
TEST(RunSummaryGenerated, PartsOfOneCnpjAndFilesOfSeveralEstablishments) {
  struct Case {
    const char* name;
    NetworkOptions options;
    bool sameCnpj;
    size_t rows;  // without the total
  };
  const Case cases[] = {
      {"three parts", {.establishments = 1, .targetLines = 900, .seed = 5, .sameCnpjParts = 3}, true, 3},
      {"two per file",
       {.establishments = 4, .targetLines = 1200, .seed = 9, .establishmentsPerFile = 2},
       false,
       4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder dir;
    const std::vector<std::string> files = WriteNetwork(c.options, dir.File("in"));
    FormRun run(c.sameCnpj);
    const RunResult r = run.Merge(files, dir.File("out"));
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_EQ(r.summary.size(), c.rows + 1);
    ExpectRunTotals(r);
    // Per file: its rows together read its lines, its documents and its Block M.
    for (size_t i = 0; i < files.size(); ++i) {
      const FileFacts facts = FactsOf(files[i]);
      const std::string name = fs::path(files[i]).filename().string();
      FileFacts rows;
      int first = -1;
      for (size_t k = 0; k + 1 < r.summary.size(); ++k) {
        const SummaryRow& row = r.summary[k];
        if (row.file != name) continue;
        if (first < 0) first = static_cast<int>(k);
        rows.lines += row.read;
        rows.c100 += row.c100, rows.a100 += row.a100, rows.d100 += row.d100, rows.f100 += row.f100;
        rows.pis += row.pis, rows.cofins += row.cofins;
        if (c.sameCnpj) EXPECT_EQ(row.role, "Parte " + std::to_string(i + 1));
        else EXPECT_EQ(row.role, i == 0 && static_cast<int>(k) == first ? "Matriz" : "Filial");
      }
      ASSERT_GE(first, 0) << name;
      EXPECT_EQ(r.summary[first].cnpj, FieldOf(RecordLines(files[i]).front(), "CNPJ"));
      EXPECT_EQ(r.summary[first].pis, facts.pis) << name;  // Block M on the file's first row
      EXPECT_EQ(rows.lines, facts.lines) << name;
      EXPECT_EQ(std::vector<int64_t>({rows.c100, rows.a100, rows.d100, rows.f100}),
                std::vector<int64_t>({facts.c100, facts.a100, facts.d100, facts.f100}))
          << name;
      EXPECT_EQ(rows.pis, facts.pis) << name;
      EXPECT_EQ(rows.cofins, facts.cofins) << name;
      EXPECT_GT(rows.c100, 0) << name;
    }
  }
}

class SummaryCommand : public SampleNetworkTest {};

// `merge --summary` writes both files beside the merged one and prints their
// paths after it; a summary name that is an input's stops the merge before
// anything is written, the input untouched.
TEST_F(SummaryCommand, WritesBothFilesAndNeverOverAnInput) {
  TempFolder dir;
  ProcessResult r = RunMerge({Sample(0), Sample(1), Sample(2)}, dir.File("out"), {"--summary"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  // Paths as the program prints them: the folder given, then the system's separator.
  auto inOut = [&](const char* name) { return (std::filesystem::path(dir.File("out")) / name).string(); };
  const std::string merged = inOut("EFDPISCOFINS_42765521000180_01082023_31082023_Unificado.txt");
  const std::string csv = inOut("EFDPISCOFINS_42765521000180_01082023_31082023_Unificado_Resumo.csv");
  const std::string html = inOut("EFDPISCOFINS_42765521000180_01082023_31082023_Unificado_Resumo.html");
  EXPECT_EQ(r.out, merged + "\n" + csv + "\n" + html + "\n");
  const std::string bytes = ReadFileBytes(csv);
  EXPECT_EQ(bytes.rfind("\xEF\xBB\xBF" "arquivo;cnpj;papel;", 0), 0u) << bytes;
  EXPECT_NE(bytes.find("\n1-matriz.txt;42765521000180;Matriz;439;"), std::string::npos) << bytes;
  EXPECT_NE(bytes.find(";4554,46;20978,12;0\n"), std::string::npos) << bytes;  // the totals of the M210 / M610
  EXPECT_NE(ReadFileBytes(html).find("<td>1-matriz.txt</td>"), std::string::npos);

  // Without --summary only the merged file is written (MergeEndToEnd.GeneratedNetworksOfBothKinds).

  // An input named as the summary would be.
  TempFolder clash;
  fs::create_directories(clash.File("out"));
  const std::string input = clash.File("out/EFDPISCOFINS_42765521000180_01082023_31082023_Unificado_Resumo.html");
  fs::copy_file(Sample(1), input);
  r = RunMerge({Sample(0), input}, clash.File("out"), {"--summary"});
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_NE(r.err.find("resumo por estabelecimento"), std::string::npos) << r.err;
  EXPECT_EQ(ReadFileBytes(input), ReadFileBytes(Sample(1)));
  EXPECT_EQ(std::distance(fs::directory_iterator(clash.File("out")), fs::directory_iterator()), 1);
}
