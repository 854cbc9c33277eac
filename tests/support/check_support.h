// Test helpers around EFD files: the structural check run in-process, and the
// quelvar binary run as a user would.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

// Runs the structural check on `path`; a gtest failure (non-fatal) lists the
// findings when the file is not valid or cannot be read.
void ExpectValidEfd(const std::string& path);

// The findings of the check of `path` as printed by `quelvar check` (empty
// text when the file is valid and has no warning).
std::string CheckFindings(const std::string& path);

struct ProcessResult {
  int exitCode = -1;  // exit status; -1 when the process did not exit normally
  std::string out;
  std::string err;
  bool timedOut = false;  // killed after the time it was given
};

// Runs the built quelvar (QUELVAR_BINARY) with `args` and captures stdout,
// stderr and the exit status. Arguments are passed without a shell. With
// `timeoutSeconds` above 0, a run still going after that time is killed
// (timedOut), so that a program that hangs fails its test instead of
// hanging the suite.
ProcessResult RunQuelvar(const std::vector<std::string>& args, int timeoutSeconds = 0);

// What `quelvar merge` did: its exit status and output, and the merged file.
struct MergeResult : ProcessResult {
  std::string file;  // the merged file (*_Unificado.txt) in the output folder, "" when there is none
};

// Runs `quelvar merge --no-progress OPTIONS --output-dir outDir FILES...` as
// RunQuelvar does (no shell: any name goes as it is) and looks for the merged
// file in `outDir`.
MergeResult RunMerge(const std::vector<std::string>& files, const std::string& outDir,
                     const std::vector<std::string>& options = {});

// Reads a whole file as bytes; "" when it cannot be read.
std::string ReadFileBytes(const std::string& path);
// Writes `bytes` to `path` (replacing it); a fatal-free gtest failure when it cannot.
void WriteFileBytes(const std::string& path, const std::string& bytes);

// `body` (no Block 9 lines) followed by Block 9: 9001, one 9900 per record
// code in order of first appearance (Block 9's own codes last), 9990 and 9999,
// every count true.
std::vector<std::string> WithBlock9(std::vector<std::string> body);
// `lines` with every block closer (X990) counted again and Block 9 (its old
// lines dropped) written again by WithBlock9. Empty lines are dropped.
std::vector<std::string> Recounted(const std::vector<std::string>& lines);

// A test on the bundled sample network (samples/network): skipped when the
// samples or the built program are missing. Sample(0) is the head office,
// Sample(1) and Sample(2) its branches.
class SampleNetworkTest : public ::testing::Test {
 protected:
  void SetUp() override;
  static std::string Sample(int i);
};
