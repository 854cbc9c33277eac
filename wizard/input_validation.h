// The structure an input file must have before anything of it is staged: the
// checker's rules (line shape, block order, openers and closers, X990, 9900,
// 9990 and 9999 counts, each X010's CNPJ among the 0140 records, every
// numeric field as the layout writes it and read exactly, the sums between
// records but Block M's, which the merge recomputes) and the rules of an
// input: 0140 records with CNPJs of 14 digits, one of them the CNPJ of the
// 0000 record. Lines with more or fewer fields than the current layout
// (older layouts) are not refused here; the import reports them.
#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <string>
#include <thread>
#include <vector>

struct InputProblem {
  int64_t line = 0;  // 1-based; 0 for the whole file
  std::string code;  // record code of that line (printable)
  std::string message;
  bool followsOthers = false;  // explained by the other problems (listed after them)
};

struct InputValidation {
  bool readable = true;  // false: the file could not be read (`error` says why)
  std::string error;
  int64_t lines = 0;                  // lines with a record (what the import counts)
  int64_t problemCount = 0;           // every problem, also those not listed
  std::vector<InputProblem> problems;  // the first ones, in line order
  bool Valid() const { return readable && problemCount == 0; }
};

// Reads `path` once and applies every rule. Lines without a record (empty,
// or blanks and tabs only) are skipped: the counts are those of the lines
// with records, and the import names the skipped lines. Never throws for bad
// content; an unreadable file (or one that is not a regular file) comes back
// with readable false. `read`, when given, is told every few thousand lines
// how many bytes were read so far (about: each line's end counted as two).
InputValidation ValidateInputFile(const std::string& path, const std::function<void(double bytes)>& read = {});

// ValidateInputFile of one file on a second thread, started at construction,
// so that the caller's thread can stage the file meanwhile and take the
// verdict at the end. The second thread reads the file and keeps its own
// results only (no port, no global of the engine).
class InputValidationThread {
 public:
  explicit InputValidationThread(std::string path);
  // Stops the check when it still runs (within a few thousand lines) and
  // waits for the thread.
  ~InputValidationThread();
  InputValidationThread(const InputValidationThread&) = delete;
  InputValidationThread& operator=(const InputValidationThread&) = delete;
  // Whether the verdict is ready (Wait returns at once).
  bool Done() const { return done_.load(std::memory_order_acquire); }
  // Waits for the verdict. Throws what the check threw.
  const InputValidation& Wait();

 private:
  std::string path_;
  InputValidation result_;
  std::exception_ptr failure_;
  std::atomic<bool> stop_{false}, done_{false};
  std::thread thread_;
};

// "linha 40 C990: ...; linha 41 ..." for the first `max` problems.
std::string DescribeProblems(const InputValidation& v, size_t max = 5);

