#include "wizard/reconciliation.h"

#include <exception>
#include <map>
#include <sstream>

#include "blocks/merge_rules.h"
#include "blocks/record_links.h"
#include "staging/output_file.h"
#include "wizard/spreadsheet_csv.h"

namespace {

struct CodeTotals {
  int64_t read = 0, written = 0, refused = 0;
  std::string refusedReason;
  std::vector<std::pair<std::string, RecordLedger::Counts>> establishments;
};

constexpr const char* kNotWritten = "linhas não gravadas";
constexpr const char* kWrittenElsewhere = "linhas gravadas neste estabelecimento sem terem sido lidas nele";

// `n` lines of `code` (of establishment `cnpj` when known) not written.
std::string Shortfall(int64_t n, const std::string& code, const std::string& cnpj) {
  std::string text = std::to_string(n) + (n == 1 ? " linha do registro " : " linhas do registro ") + code;
  if (!cnpj.empty()) text += " de " + cnpj;
  return text + (n == 1 ? " não foi gravada" : " não foram gravadas");
}

// `n` lines of `code` written under establishment `cnpj` beyond those read for it.
std::string Surplus(int64_t n, const std::string& code, const std::string& cnpj) {
  return std::to_string(n) + (n == 1 ? " linha do registro " : " linhas do registro ") + code + " de " + cnpj +
         (n == 1 ? " foi gravada sem ter sido lida" : " foram gravadas sem terem sido lidas") +
         " nesse estabelecimento";
}

// A code with no merge rule whose lines sit under an establishment record:
// each establishment must write exactly the lines read for it. The read side
// keys such a line by the CNPJ of the 0140 / X010 above it in its file, the
// write side by the establishment whose subtree is being written; both are
// the same text of the same CNPJ, in both kinds of merge.
//
// A code table's line (0150, 0200...) left out as the same as the line kept
// for its establishment counts as merged by `rule`; one left out with other
// contents is not written, whatever the rule says.
void BalancePerEstablishment(const std::string& code, const CodeTotals& t, const MergeRuleInfo& rule,
                             LedgerRow& total, std::vector<LedgerRow>& rows, Reconciliation& r) {
  std::vector<std::string> surplus;
  for (const auto& [cnpj, c] : t.establishments) {
    LedgerRow row{code, cnpj, c.read, c.written, c.Merged(), 0, 0, "", false};
    total.merged += c.Merged();
    if (c.read > c.written + c.Merged()) {
      row.missing = c.read - c.written - c.Merged();
      row.reason = kNotWritten;
      total.missing += row.missing;
      r.shortfalls.push_back(Shortfall(row.missing, code, cnpj));
    } else if (c.written + c.Merged() > c.read) {
      row.reason = kWrittenElsewhere;
      surplus.push_back(Surplus(c.written + c.Merged() - c.read, code, cnpj));
    } else if (c.Merged() > 0) {
      row.reason = rule.reason;
    }
    rows.push_back(row);
  }
  if (total.missing > 0) total.reason = kNotWritten;
  else if (!surplus.empty()) total.reason = kWrittenElsewhere;
  else if (total.merged > 0) total.reason = rule.reason;
  r.surpluses.insert(r.surpluses.end(), surplus.begin(), surplus.end());
}

// The place of every input file in the run, from 1, by its number: files are
// staged in the order of the list, so this is the file's place in the list
// (numbers of files removed earlier left no rows behind).
std::map<int64_t, int> FilePlaces(const RecordLedger& ledger) {
  std::map<int64_t, int> places;
  for (const auto& [key, files] : ledger.FileReads())
    for (const auto& [file, n] : files) places.emplace(file, 0);
  int place = 0;
  for (auto& [file, p] : places) p = ++place;
  return places;
}

// The report rows of a company-level code: each file's lines read under its
// 0000 CNPJ, every line written under the merged file's CNPJ `merged` (the
// writer's current establishment means nothing for them). When several files
// share a CNPJ (the parts of one CNPJ) each part gets its own row, named
// "<CNPJ> (parte N)" by its place `places` in the list.
void CompanyRows(const std::string& code, const CodeTotals& t, const std::string& merged,
                 const RecordLedger& ledger, const std::map<int64_t, int>& places,
                 std::vector<LedgerRow>& rows) {
  bool mergedListed = false;
  for (const auto& [cnpj, c] : t.establishments) {
    if (c.read == 0) continue;
    auto files = ledger.FileReads().find(RecordLedger::Key(code, cnpj));
    if (files != ledger.FileReads().end() && files->second.size() > 1) {
      for (const auto& [file, n] : files->second) {
        auto place = places.find(file);
        rows.push_back(LedgerRow{code, cnpj + " (parte " + std::to_string(place->second) + ")", n, 0, 0, 0, 0, "",
                                 false});
      }
      continue;
    }
    mergedListed = mergedListed || cnpj == merged;
    rows.push_back(LedgerRow{code, cnpj, c.read, cnpj == merged ? t.written : 0, 0, 0, 0, "", false});
  }
  if (!mergedListed && t.written > 0) rows.push_back(LedgerRow{code, merged, 0, t.written, 0, 0, 0, "", false});
}

// A company-level code (keyed by its file's 0000 CNPJ when read, written for
// the merged file) or a code with a merge rule: balanced on its totals.
void BalanceTotals(const std::string& code, const CodeTotals& t, bool sameCnpj, const std::string& merged,
                   const RecordLedger& ledger, const std::map<int64_t, int>& places, LedgerRow& total,
                   std::vector<LedgerRow>& rows, Reconciliation& r) {
  if (t.read > t.written) {
    MergeRuleInfo rule = MergeRuleFor(code, sameCnpj);
    if (rule.rule != MergeRule::None) {
      total.merged = t.read - t.written;
      total.reason = rule.reason;
    } else {
      total.missing = t.read - t.written;
      // Named per file when the files' own shortfalls make up the whole;
      // otherwise for the record code.
      int64_t perEstablishment = 0;
      std::vector<std::string> named;
      for (const auto& [cnpj, c] : t.establishments)
        if (c.read > c.written) {
          perEstablishment += c.read - c.written;
          named.push_back(Shortfall(c.read - c.written, code, cnpj));
        }
      if (perEstablishment == total.missing)
        r.shortfalls.insert(r.shortfalls.end(), named.begin(), named.end());
      else
        r.shortfalls.push_back(Shortfall(total.missing, code, ""));
      total.reason = kNotWritten;
    }
  }
  const bool companyLevel = !record_links::IsEstablishmentRecord(code) && record_links::EstablishmentOf(code).empty();
  if (companyLevel && !merged.empty()) {
    CompanyRows(code, t, merged, ledger, places, rows);
    return;
  }
  for (const auto& [cnpj, c] : t.establishments)
    if (!cnpj.empty() || t.establishments.size() > 1)
      rows.push_back(LedgerRow{code, cnpj, c.read, c.written, 0, 0, 0, "", false});
}

}  // namespace

Reconciliation Reconcile(const RecordLedger& ledger, bool sameCnpj, const std::string& mergedCnpj) {
  std::map<std::string, CodeTotals> codes;
  for (const auto& [key, counts] : ledger.Entries()) {
    CodeTotals& t = codes[key.first];
    t.read += counts.read;
    t.written += counts.written;
    t.establishments.emplace_back(key.second, counts);
  }
  for (const auto& [code, reasons] : ledger.RefusedLines()) {
    CodeTotals& t = codes[code];
    for (const auto& [reason, n] : reasons) {
      t.refused += n;
      t.refusedReason += (t.refusedReason.empty() ? "" : "; ") + reason;
    }
  }

  Reconciliation r;
  const std::map<int64_t, int> places = FilePlaces(ledger);
  for (const auto& [code, t] : codes) {
    LedgerRow total{code, "", t.read, t.written, 0, t.refused, 0, t.refusedReason, true};
    std::vector<LedgerRow> establishments;
    // Codes under an establishment balance per establishment: those without
    // rule, the code tables kept once per code (Deduplicated) and the lines
    // summed per establishment (0145).
    const MergeRuleInfo rule = MergeRuleFor(code, sameCnpj);
    const bool perEstablishment = (rule.rule == MergeRule::None || rule.rule == MergeRule::Deduplicated ||
                                   rule.rule == MergeRule::Summed) &&
                                  !record_links::EstablishmentOf(code).empty();
    if (perEstablishment)
      BalancePerEstablishment(code, t, rule, total, establishments, r);
    else
      BalanceTotals(code, t, sameCnpj, mergedCnpj, ledger, places, total, establishments, r);
    r.rows.push_back(total);
    r.rows.insert(r.rows.end(), establishments.begin(), establishments.end());
  }
  return r;
}

LedgerSummary SummarizeLedger(const std::vector<LedgerRow>& rows) {
  LedgerSummary s;
  for (const LedgerRow& row : rows) {
    if (!row.codeTotal) continue;
    s.read += row.read;
    s.written += row.written;
    s.merged += row.merged;
    s.refused += row.refused;
    s.missing += row.missing;
  }
  return s;
}

std::string LedgerSummaryText(const std::vector<LedgerRow>& rows) {
  const LedgerSummary s = SummarizeLedger(rows);
  std::string text = "Conciliação: " + std::to_string(s.read) + " linhas lidas, " + std::to_string(s.written) +
                     " gravadas, " + std::to_string(s.merged) + " unificadas por regra, " +
                     std::to_string(s.refused) + " recusadas";
  if (s.missing > 0) text += ", " + std::to_string(s.missing) + " não gravadas";
  return text;
}

void WriteLedgerCsv(const std::vector<LedgerRow>& rows, std::ostream& out) {
  const char sep = kCsvSeparator;
  out << kCsvBom << "registro;estabelecimento;lidas;gravadas;unificadas_por_regra;recusadas;nao_gravadas;motivo\n";
  for (const LedgerRow& row : rows)
    out << CsvCell(row.code) << sep << CsvCell(row.establishment) << sep << row.read << sep << row.written << sep
        << row.merged << sep << row.refused << sep << row.missing << sep << CsvCell(row.reason) << '\n';
}

bool SaveLedgerCsv(const std::string& path, const std::vector<LedgerRow>& rows, std::string& error) {
  std::ostringstream csv;
  WriteLedgerCsv(rows, csv);
  try {
    ReplaceFileContents(path, csv.str());
    return true;
  } catch (const FileWriteError& e) {
    error = "não foi possível gravar o relatório " + path + ": " + e.cause();
    return false;
  }
}
