// The fuzzer's judgement of one mutated merge: what `quelvar merge --report`
// did with the files, and, when it wrote a merged file, what `quelvar check`
// and the ledger said of it. A verdict beginning with "finding" is kept.
#pragma once

#include <cstdlib>
#include <string>

struct FuzzRound {
  int exitCode = -1;  // of the merge; -1: it did not exit normally
  int signal = 0;
  bool timedOut = false;
  std::string err;         // the merge's stderr
  int outputs = 0;         // merged files under their final name
  bool leftovers = false;  // a temporary left in the output folder
  int checkExitCode = 0;   // of `quelvar check` on the merged file (exit 0 with one output)
  std::string checkErr;    // its stderr
  std::string ledger;      // the ledger CSV the merge wrote
};

// True when a sanitizer reported on `err`: AddressSanitizer (and its leak
// check) stops the program with an exit status that passes for a refusal,
// UndefinedBehaviorSanitizer goes on and may end in a merge.
inline bool SanitizerReported(const std::string& err) {
  return err.find("ERROR: AddressSanitizer") != std::string::npos ||
         err.find("ERROR: LeakSanitizer") != std::string::npos || err.find(" runtime error: ") != std::string::npos;
}

// Lines the ledger CSV shows refused (left out of the merged file), summed
// over its code totals rows (those without an establishment). The CSV is the
// program's (a byte-order mark and a header line first, fields separated by
// ';'; the fields read here are never quoted).
inline long long LedgerRefusedLines(const std::string& ledger) {
  long long refused = 0;
  size_t at = ledger.find('\n');  // after the header
  while (at != std::string::npos && at + 1 < ledger.size()) {
    const size_t end = ledger.find('\n', at + 1);
    const std::string row = ledger.substr(at + 1, end == std::string::npos ? std::string::npos : end - at - 1);
    at = end;
    std::string field[6];
    size_t start = 0;
    for (int i = 0; i < 6 && start != std::string::npos; ++i) {
      const size_t comma = row.find(';', start);
      field[i] = row.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
      start = comma == std::string::npos ? comma : comma + 1;
    }
    if (field[1].empty()) refused += std::atoll(field[5].c_str());
  }
  return refused;
}

// "merged", "merged with lines left out", "refused or failed with a
// message", or "finding: …" naming what went wrong: a timeout, a signal, a
// sanitizer report, a temporary left behind, an exit 0 or 3 without a valid
// merged file or with lines not written, an exit 0 with lines left out (or 3
// without any, or without saying so), an exit 1 without a message or with a
// merged file, any other exit status.
inline std::string JudgeFuzzRound(const FuzzRound& r) {
  if (r.timedOut) return "finding: timeout";
  if (r.signal) return "finding: signal " + std::to_string(r.signal);
  if (SanitizerReported(r.err) || SanitizerReported(r.checkErr)) return "finding: sanitizer report";
  if (r.leftovers) return "finding: temporary left behind";
  if (r.exitCode == 0 || r.exitCode == 3) {
    const std::string exit = "finding: exit " + std::to_string(r.exitCode);
    if (r.outputs != 1) return exit + " without the merged file";
    if (r.checkExitCode != 0) return exit + ", check rejects the output";
    if (r.ledger.find(";linhas não gravadas") != std::string::npos) return exit + " with lines not written";
    const bool leftOut = LedgerRefusedLines(r.ledger) > 0;
    if (r.exitCode == 0) return leftOut ? exit + " with lines left out" : "merged";
    if (!leftOut) return exit + " without lines left out";
    if (r.err.find("gravado, com linhas deixadas de fora") == std::string::npos) return exit + " without saying so";
    return "merged with lines left out";
  }
  if (r.exitCode == 1) {
    if (r.err.empty()) return "finding: exit 1 without a message";
    if (r.outputs != 0) return "finding: exit 1 with a merged file";
    return "refused or failed with a message";
  }
  return "finding: exit " + std::to_string(r.exitCode);
}
