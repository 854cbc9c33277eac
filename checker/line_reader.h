// Reads a file line by line in large chunks; a line ends in CR LF, LF or CR.
// Lines are handed out as views valid until the next call.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "checker/input_file.h"

class LineReader {
 public:
  LineReader() = default;
  ~LineReader();
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  // Opens `path` (a regular file only, see OpenRegularFile); false (with
  // Error() set, naming the file) when it cannot be opened.
  bool Open(const std::string& path);
  // The next line without its ending; false at the end of the file or on a
  // read error (then Error() is not empty). A last line without an ending is
  // still a line; an ending at the very end does not start another one.
  bool Next(std::string_view& line);
  const std::string& Error() const { return error_; }

 private:
  bool Fill();

  std::FILE* file_ = nullptr;
  std::string path_;
  std::string buffer_;
  size_t pos_ = 0, end_ = 0;
  bool eof_ = false;
  std::string error_;
};

// Splits bytes held in memory the same way.
class TextLines {
 public:
  explicit TextLines(std::string_view text) : text_(text) {}
  bool Next(std::string_view& line);

 private:
  std::string_view text_;
  size_t pos_ = 0;
};
