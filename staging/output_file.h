// The output channel of the run ("file number 1"): lines go to a temporary
// file created exclusively beside the final one, which replaces the final
// name only when the run completes.
#pragma once

#include "staging/system_error_text.h"  // SystemErrorText, for the callers of file writes

#include <cstdint>
#include <cstdio>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>

// A file that could not be created or written: what() names the file and the
// cause, cause() is the cause alone ("permissão negada"), both in Portuguese.
class FileWriteError : public std::runtime_error {
 public:
  FileWriteError(const std::string& message, std::string cause)
      : std::runtime_error(message), cause_(std::move(cause)) {}
  const std::string& cause() const { return cause_; }

 private:
  std::string cause_;
};

class OutputFile {
 public:
  ~OutputFile();
  // Creates a new temporary file ".quelvar-<name>.partial-<pid>-<random>" in
  // the folder of `finalPath` (never an existing name, never through a link)
  // and removes the temporaries that this program's runs no longer running
  // left in that folder (RemoveStalePartials). The temporary is removed if
  // the program is stopped by SIGINT, SIGTERM or SIGHUP. Throws
  // FileWriteError naming the path and the cause when it cannot be created.
  void Open(const std::string& finalPath);
  bool IsOpen() const { return f_ != nullptr; }
  // Writes `line` followed by CR LF. Throws FileWriteError on a write failure.
  void WriteLine(std::string_view line);
  // Writes `bytes` as they are (not counted as lines). Throws
  // FileWriteError on a write failure.
  void Write(std::string_view bytes);
  // Flushes and closes the temporary file, which stays under its temporary
  // name (TempPath) to be read back. Throws FileWriteError on a write
  // failure (the temporary file is removed).
  void Finish();
  // Finishes (when not done yet) and renames the temporary file to the final
  // name (replacing an existing file). Throws FileWriteError on failure
  // (the temporary file is removed).
  void Commit();
  // Finishes (when not done yet) and renames the temporary file to `path`
  // instead of the final name, which stays untouched. Throws
  // FileWriteError on failure (the temporary file is removed).
  void KeepAs(const std::string& path);
  // Closes and removes the temporary file; the final name is untouched. Idempotent.
  void Abort();
  // From now on every byte accepted for the file (lines with their CR LF,
  // and what Write writes) is also handed to `tap`, in file order; an empty
  // function stops it. What `tap` throws leaves the write that called it.
  void SetTap(std::function<void(std::string_view bytes)> tap) { tap_ = std::move(tap); }
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
  std::function<void(std::string_view)> tap_;
};

// Removes from `folder` the temporaries this program left there: plain files
// (never links or folders) named ".quelvar-<name>.partial-<pid>-<random>",
// owned by the user running the program, whose process <pid> no longer runs.
// Files of any other shape or owner are never touched, whatever their name
// resembles. Returns the number removed; errors are ignored (what cannot be
// removed stays).
int RemoveStalePartials(const std::string& folder);

// Writes `bytes` into the file `path` the way the merged file is written: an
// exclusive temporary beside it, renamed over `path` once complete. Refuses
// a `path` that is a symbolic link (even one pointing nowhere) or a folder.
// Throws FileWriteError on any failure; `path` is then untouched.
void ReplaceFileContents(const std::string& path, std::string_view bytes);

// Whether the paths `a` and `b` name the same file: the same device and inode
// when both exist (links followed); otherwise the same resolved folder (links
// followed) and the same name. Never throws.
bool SameFile(const std::string& a, const std::string& b);


// File number 1, the one output channel of a run, is its context's
// OutputFile (RunContext::output).
