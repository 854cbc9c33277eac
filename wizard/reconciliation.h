// The reconciliation of a run: the ledger's lines read and written per record
// code set against the merge rules. A line neither written nor accounted for
// by a rule or a refusal is a shortfall, which fails the run.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "staging/ledger.h"

// One row of the ledger report: a record code's totals (establishment empty)
// or its lines of one establishment (read and written only).
struct LedgerRow {
  std::string code;
  std::string establishment;
  int64_t read = 0, written = 0, merged = 0, refused = 0, missing = 0;
  std::string reason;  // the merge rule or the refusal
};

struct Reconciliation {
  std::vector<LedgerRow> rows;          // per code: the totals row, then one row per establishment
  std::vector<std::string> shortfalls;  // "… linhas do registro C100 de <CNPJ> não foram gravadas"
  bool Balanced() const { return shortfalls.empty(); }
};

// Sets what the ledger read against what it saw written, for a merge of
// head office and branches (`sameCnpj` false) or of files of one CNPJ.
Reconciliation Reconcile(const RecordLedger& ledger, bool sameCnpj);

// The rows as CSV (header line, comma-separated, texts quoted when needed).
void WriteLedgerCsv(const std::vector<LedgerRow>& rows, std::ostream& out);
