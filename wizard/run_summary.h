// The summary of a run per establishment: what each input file brought and
// what went into the merged file, for the accountant who merges many branch
// files. Built from the run's reconciliation ledger (lines read and written,
// documents, lines left out) and the staged Block M lines (the PIS and COFINS
// of the period), saved beside the merged file as CSV and as a page.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "blocks/exact_decimal.h"
#include "staging/ledger.h"

struct RunContext;

// One row of the summary: an establishment of an input file, or the total.
struct SummaryRow {
  std::string file;  // the input file's name (without folder); "Total" on the total row
  std::string cnpj;  // the establishment's CNPJ (14 digits); empty on the total row
  std::string role;  // "Matriz", "Filial" or "Parte N"; empty on the total row
  int64_t read = 0, written = 0;
  // Document lines read for the establishment: C100, A100, D100, F100.
  int64_t c100 = 0, a100 = 0, d100 = 0, f100 = 0;
  // The file's contribution of the period in Block M (sum of M210 / M610
  // VL_CONT_PER), on the file's first row only (zero on its other rows).
  ExactDecimal pis, cofins;
  // Lines of the file left out of the merged file (refused at import, codes
  // not merged), on the file's first row.
  int64_t warnings = 0;
  bool total = false;
};

// One input file of the run, in the order of the list.
struct SummaryInput {
  int64_t id = 0;            // the number its staged rows carry (Id_Arquivo)
  std::string name;          // its name, without folder
  std::string cnpj;          // its 0000 CNPJ
  std::vector<std::string> establishments;  // its 0140 CNPJs in file order (may be empty)
  ExactDecimal pis, cofins;  // sum of its M210 / M610 VL_CONT_PER
};

// The summary rows of a run: one per establishment of each input file that
// read lines (the file's 0000 CNPJ first, then its other establishments in
// the order of its 0140 records), then the total row, the sum of the rows.
//
// Lines read and documents are the ledger's read side per file and
// establishment. Lines written: an establishment's record lines written for
// it; the company-level lines of the merged file (0000, Blocks M, P, 1 and 9…)
// are the merged file's, on the first file's first row (the head office, or
// part 1). In "Mesmo CNPJ" (`sameCnpj`) the parts share their establishments:
// the lines written for one are given to its parts in list order, each up to
// what it read (the line kept of a repeated one is the first part's). Roles:
// "Parte N" in "Mesmo CNPJ" (N the file's place), otherwise "Matriz" for the
// first file's 0000 CNPJ and "Filial" for every other establishment. Reads of
// a file not in `files` get a row without a file name. Never fails.
std::vector<SummaryRow> BuildRunSummary(const RecordLedger& ledger, const std::vector<SummaryInput>& files,
                                        bool sameCnpj);

// The contribution of the period staged per input file (Id_Arquivo): the sums
// of M210 and M610 VL_CONT_PER (field named in the record catalogue), read
// exactly. Throws DatabaseError when the staging tables cannot be read and
// std::runtime_error naming the record and field when an amount cannot be
// read exactly.
struct StagedContribution {
  ExactDecimal pis, cofins;
};
std::map<int64_t, StagedContribution> StagedContributions(const RunContext& run);

// The summary's columns as a reader sees them (a window's table, the page):
// "Arquivo", "CNPJ", "Papel", "Linhas lidas", "Linhas gravadas", "C100",
// "A100", "D100", "F100", "PIS (M210 VL_CONT_PER)", "COFINS (M610
// VL_CONT_PER)", "Avisos". Columns from kFirstNumberColumn on are numbers.
const std::vector<std::string>& SummaryColumns();
inline constexpr int kFirstNumberColumn = 3;
// The texts of `row` in those columns: the CNPJ as "12.345.678/0001-90",
// counts with a dot between thousands, amounts as "1.234,50".
std::vector<std::string> SummaryCells(const SummaryRow& row);

// The summary as CSV for Brazilian spreadsheets (spreadsheet_csv.h): a header
// line, then one line per row, amounts with two decimals after a comma.
std::string SummaryCsv(const std::vector<SummaryRow>& rows);

// The summary as one self-contained page (UTF-8, lang="pt-BR", no script and
// nothing fetched): a title naming `mergedName`, a table of the rows and a
// horizontal bar chart of the lines read and written per establishment drawn
// with CSS. Every text from a file is escaped.
std::string SummaryHtml(const std::vector<SummaryRow>& rows, const std::string& mergedName);

// The summary files' paths beside the merged file `mergedPath`: its name
// without ".txt" followed by "_Resumo.csv" and "_Resumo.html".
std::string SummaryCsvPath(const std::string& mergedPath);
std::string SummaryHtmlPath(const std::string& mergedPath);

// Writes both summary files beside `mergedPath`, each through an exclusive
// temporary renamed over its name once complete (never through a link).
// False with `error` set (in Portuguese, naming the file and the cause) when
// one cannot be written; the CSV is then possibly written, the page not.
bool SaveSummaryFiles(const std::string& mergedPath, const std::vector<SummaryRow>& rows, std::string& error);
