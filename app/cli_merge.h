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
  bool summary = false;            // the summary per establishment beside the merged file (CSV and page)
};

// The exit status of a merge that wrote its file but left input lines out
// of it (codes outside the layout or not merged): "gravado, com linhas
// deixadas de fora".
constexpr int kExitLinesLeftOut = 3;

// Imports the files, writes the merged file (and the report and the summary
// files, when asked), prints its path on stdout, then the summary files'
// paths (one a line) when they were written. Returns 0 when every file was accepted and every
// input line is in the merged file or merged by a rule, kExitLinesLeftOut when
// the file was written with lines left out, 1 when nothing was written (a
// file refused, a failed run, a report or merged file that would be written
// over an input or over each other, a report or summary that could not be
// written).
int RunMergeCommand(const MergeOptions& options);
