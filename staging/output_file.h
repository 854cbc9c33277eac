// The output channel of the run ("file number 1"): lines go to a temporary
// file created exclusively beside the final one, which replaces the final
// name only when the run completes.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

class OutputFile {
 public:
  ~OutputFile();
  // Creates a new temporary file ".<name>.partial-<pid>-<random>" in the
  // folder of `finalPath` (never an existing name, never through a link) and
  // removes the temporaries that processes no longer running left in that
  // folder. The temporary is removed if the program is stopped by SIGINT,
  // SIGTERM or SIGHUP. Throws std::runtime_error naming the path and the
  // cause when it cannot be created.
  void Open(const std::string& finalPath);
  bool IsOpen() const { return f_ != nullptr; }
  // Writes `line` followed by CR LF. Throws std::runtime_error on a write failure.
  void WriteLine(std::string_view line);
  // Flushes and closes the temporary file, which stays under its temporary
  // name (TempPath) to be read back. Throws std::runtime_error on a write
  // failure (the temporary file is removed).
  void Finish();
  // Finishes (when not done yet) and renames the temporary file to the final
  // name (replacing an existing file). Throws std::runtime_error on failure
  // (the temporary file is removed).
  void Commit();
  // Finishes (when not done yet) and renames the temporary file to `path`
  // instead of the final name, which stays untouched. Throws
  // std::runtime_error on failure (the temporary file is removed).
  void KeepAs(const std::string& path);
  // Closes and removes the temporary file; the final name is untouched. Idempotent.
  void Abort();
  int64_t LinesWritten() const { return lines_; }
  const std::string& FinalPath() const { return final_; }
  const std::string& TempPath() const { return temp_; }

 private:
  void MoveTo(const std::string& path);
  void Forget();

  std::FILE* f_ = nullptr;
  std::string final_, temp_;
  int signalSlot_ = -1;
  int64_t lines_ = 0;
};

// Removes from `folder` the temporaries ".<name>.partial-<pid>[-<random>]"
// whose process <pid> no longer runs. Returns the number removed; errors are
// ignored (what cannot be removed stays).
int RemoveStalePartials(const std::string& folder);

// File number 1: the one output channel of the run.
OutputFile& FileNumber1();
