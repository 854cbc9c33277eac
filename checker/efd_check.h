// A structural validator for EFD-Contribuições files: line shape, block order,
// closing counts, Block 9 counts, and what the record catalogue says of each
// record (field count, parent, occurrence, the codes it refers to).
#pragma once

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

// One finding: the line (1-based, the file's own line number; 0 when it
// concerns the whole file), the record code of that line as read, and what is
// wrong. A warning does not make the file invalid.
struct CheckProblem {
  int64_t line = 0;
  std::string code;
  std::string message;
  bool warning = false;
  // A line the layout does not describe as it stands: its number of fields
  // differs from its record's, or its code is no record of the layout.
  bool fieldCount = false;
  // A code without its 9900 line: every code of a truncated file lacks one,
  // so the finding follows from the faults that explain it.
  bool missing9900 = false;
};

// One block as found in the file, in file order.
struct CheckBlock {
  char letter = 0;
  int64_t firstLine = 0;
  int64_t lines = 0;      // lines of the block, opener and closer included
  int64_t declared = -1;  // what its X990 says; -1 without a readable X990
};

struct CheckReport {
  int64_t lines = 0;       // lines that carry a record (what 9999 counts)
  int64_t blankLines = 0;  // lines without a record: empty, or blanks and tabs only
  std::vector<int64_t> blankLineNumbers;  // the first kMaxBlankListed of them
  int64_t errors = 0;    // every error found, also those beyond `problems`
  int64_t fieldCountErrors = 0;  // of `errors`, those marked fieldCount
  int64_t warnings = 0;
  std::vector<CheckProblem> problems;  // the first kMaxListed findings, in line order per rule
  std::vector<CheckBlock> blocks;
  std::string layout;          // the layout the file was checked against: "006"
  std::string declaredLayout;  // COD_VER of the file's 0000 line ("" without one)
  bool Valid() const { return errors == 0; }
  // Counts a finding and lists it while the list has room. An error about a
  // line the layout does not describe (`fieldCount`) is also counted in
  // fieldCountErrors.
  void Add(int64_t line, std::string_view code, std::string message, bool warning = false, bool fieldCount = false);
  // The same for a finding whose flags are all set by the caller.
  void Add(CheckProblem problem);
  static constexpr size_t kMaxListed = 1000;
  static constexpr size_t kMaxBlankListed = 10;
};

// "linha 7" or "linhas 7, 9, 12" for the numbers `listed` of `count` lines,
// ending in ", ..." when some of them are not listed.
std::string LineNumbersText(const std::vector<int64_t>& listed, int64_t count);

// Checks the bytes of a whole file held in memory.
CheckReport CheckEfdText(std::string_view bytes);

// Checks the file at `path` in one pass. Returns false (with `error` set and
// `report` incomplete) when the file cannot be opened or read. `lines`, when
// given, is told every few thousand lines how many were read so far.
bool CheckEfdFile(const std::string& path, CheckReport& report, std::string& error,
                  const std::function<void(int64_t lines)>& lines = {});

// Writes the findings (one line each: line number, record code, message), the
// per-block summary (block, lines, X990 said) and the verdict to `out`, in
// Portuguese.
void PrintCheckReport(const CheckReport& report, std::ostream& out);

// Checks the file at `path`, writes one line per problem found (line number and
// record code) and a per-block summary to `out`. Returns 0 when the file is
// valid, 1 when it is not, 2 when it cannot be read or is not a regular file
// (message on `err`).
int RunCheckCommand(const std::string& path, std::ostream& out, std::ostream& err);
