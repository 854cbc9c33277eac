// quelvar merge: the wizard's work without a window.
#pragma once

#include <string>
#include <vector>

struct MergeOptions {
  bool sameCnpj = false;           // "Unifica Arquivo (Mesmo CNPJ)"
  bool noHeadOfficeCheck = false;  // "Validar CNPJ Matriz" unticked
  std::string outputDir;
  std::string database;            // staging database target ("" = temporary SQLite file)
  std::vector<std::string> files;  // in import order; the first is the head office
  bool progress = true;
  std::string report;              // when set: the reconciliation ledger as CSV into this file
};

// Imports the files, writes the merged file, prints its path on stdout.
// Returns 0 when every file was accepted and the file was written, 1 otherwise.
int RunMergeCommand(const MergeOptions& options);
