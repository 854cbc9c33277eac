// The output channel of the run ("file number 1"): lines go to a temporary
// file beside the final one, which replaces the final name only when the run
// completes.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

class OutputFile {
 public:
  ~OutputFile();
  // Creates a temporary file in the folder of `finalPath`. Throws
  // std::runtime_error naming the path and the cause when it cannot.
  void Open(const std::string& finalPath);
  bool IsOpen() const { return f_ != nullptr; }
  // Writes `line` followed by CR LF. Throws std::runtime_error on a write failure.
  void WriteLine(std::string_view line);
  // Flushes, closes and renames the temporary file to the final name
  // (replacing an existing file). Throws std::runtime_error on failure (the
  // temporary file is removed).
  void Commit();
  // Closes and removes the temporary file; the final name is untouched. Idempotent.
  void Abort();
  int64_t LinesWritten() const { return lines_; }
  const std::string& FinalPath() const { return final_; }

 private:
  std::FILE* f_ = nullptr;
  std::string final_, temp_;
  int64_t lines_ = 0;
};

// File number 1: the one output channel of the run.
OutputFile& FileNumber1();
