// The fuzzer's judgement of one mutated merge: what `quelvar merge --report`
// did with the files, and, when it wrote a merged file, what `quelvar check`
// and the ledger said of it. A verdict beginning with "finding" is kept.
#pragma once

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

// "merged", "refused or failed with a message", or "finding: …" naming what
// went wrong: a timeout, a signal, a sanitizer report, a temporary left
// behind, an exit 0 without a valid merged file or with lines not written,
// an exit 1 without a message or with a merged file, any other exit status.
inline std::string JudgeFuzzRound(const FuzzRound& r) {
  if (r.timedOut) return "finding: timeout";
  if (r.signal) return "finding: signal " + std::to_string(r.signal);
  if (SanitizerReported(r.err) || SanitizerReported(r.checkErr)) return "finding: sanitizer report";
  if (r.leftovers) return "finding: temporary left behind";
  if (r.exitCode == 0) {
    if (r.outputs != 1) return "finding: exit 0 without the merged file";
    if (r.checkExitCode != 0) return "finding: exit 0, check rejects the output";
    if (r.ledger.find(",linhas não gravadas") != std::string::npos) return "finding: exit 0 with lines not written";
    return "merged";
  }
  if (r.exitCode == 1) {
    if (r.err.empty()) return "finding: exit 1 without a message";
    if (r.outputs != 0) return "finding: exit 1 with a merged file";
    return "refused or failed with a message";
  }
  return "finding: exit " + std::to_string(r.exitCode);
}
