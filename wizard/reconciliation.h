// The reconciliation of a run: the ledger's lines read and written per record
// code set against the merge rules. A line neither written nor accounted for
// by a rule or a refusal is a shortfall, which fails the run.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "staging/ledger.h"

// One row of the ledger report: a record code's totals (codeTotal, the
// establishment empty) or its lines of one establishment (read, written and,
// for codes balanced per establishment, the lines of it not written).
struct LedgerRow {
  std::string code;
  std::string establishment;
  int64_t read = 0, written = 0, merged = 0, refused = 0, missing = 0;
  std::string reason;  // the merge rule, the refusal or the imbalance
  bool codeTotal = false;
};

struct Reconciliation {
  std::vector<LedgerRow> rows;          // per code: the totals row, then one row per establishment
  std::vector<std::string> shortfalls;  // "… linhas do registro C100 de <CNPJ> não foram gravadas"
  // Lines written under an establishment that did not read them: "… linhas do
  // registro C100 de <CNPJ> foram gravadas sem terem sido lidas nesse estabelecimento".
  std::vector<std::string> surpluses;
  bool Balanced() const { return shortfalls.empty() && surpluses.empty(); }
};

// Sets what the ledger read against what it saw written, for a merge of
// head office and branches (`sameCnpj` false) or of files of one CNPJ. A
// code without merge rule that sits under an establishment record (0140 or
// an X010) balances per establishment: each establishment writes exactly the
// lines read for it, so a line written under another establishment is a
// shortfall of its own. So do the code tables under 0140 kept once per code
// (0150, 0200...): a line of them left out counts as merged only when the
// ledger saw it left out as the same as the line kept. Other codes with a
// rule and company-level codes balance on their totals. The lines of company-level codes are read under their file's
// 0000 CNPJ and written for the merged file: with `mergedCnpj` (the merged
// file's 0000 CNPJ) their report rows show them written under it, and the
// lines each part of one CNPJ read get a row of that part ("<CNPJ> (parte
// N)"). Never fails; the imbalances come back in the result.
Reconciliation Reconcile(const RecordLedger& ledger, bool sameCnpj, const std::string& mergedCnpj = "");

// The ledger's grand totals: the sums of the codes' totals rows.
struct LedgerSummary {
  int64_t read = 0, written = 0, merged = 0, refused = 0, missing = 0;
};
LedgerSummary SummarizeLedger(const std::vector<LedgerRow>& rows);
// "Conciliação: N linhas lidas, N gravadas, N unificadas por regra, N
// recusadas", followed by ", N não gravadas" when lines are missing.
std::string LedgerSummaryText(const std::vector<LedgerRow>& rows);

// The rows as CSV for Brazilian spreadsheets (spreadsheet_csv.h: a UTF-8
// byte-order mark, a header line, fields separated by ';', texts quoted when
// needed).
void WriteLedgerCsv(const std::vector<LedgerRow>& rows, std::ostream& out);
// Writes the rows as CSV to the file `path` through an exclusive temporary
// beside it, renamed over `path` once complete (never through a link: a
// `path` that is a symbolic link is refused). False with `error` set (in
// Portuguese, naming the file and the cause) when it cannot be written; a
// file already at `path` is then untouched.
bool SaveLedgerCsv(const std::string& path, const std::vector<LedgerRow>& rows, std::string& error);
