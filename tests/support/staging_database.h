// A fresh staging store for one test: an in-memory database as TestRun().connection
// with ###Registros and every staging table, the run state reset; on
// destruction file number 1 is abandoned, the connection closed and the run
// state reset again.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class StagingDatabase {
 public:
  StagingDatabase();
  ~StagingDatabase();
  StagingDatabase(const StagingDatabase&) = delete;
  StagingDatabase& operator=(const StagingDatabase&) = delete;
};

// The lines of the file at `path` without their CR LF; throws
// std::runtime_error for a line that does not end in CR LF.
std::vector<std::string> ReadCrLfLines(const std::string& path);
// The lines of `lines` whose record code is `reg` ("|reg|..."), in order.
std::vector<std::string> LinesOf(const std::vector<std::string>& lines, std::string_view reg);

// The line counter of `reg` in ###Registros (-1 when the code is not registered).
int64_t RegisteredCount(std::string_view reg);

// A path under the system's temp folder that no other process or test uses:
// `stem`, this process's id and a serial number. Nothing is created.
std::string UniqueTempPath(std::string_view stem);

// Whether this system lets the tests plant symbolic links (Windows needs a
// privilege for them, and wine has none): tests that need one skip without.
bool CanPlantSymlinks();
inline constexpr const char* kNoSymlinks = "symbolic links cannot be created on this system";

// A fresh empty folder under the system's temp folder, removed with everything
// in it on destruction.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::string& path() const { return path_; }
  std::string File(std::string_view name) const;

 private:
  std::string path_;
};
