// Writes one EFD-Contribuições file record by record and keeps every count the
// file needs: the closing line of each block (X990), the 9900 lines, 9990 and
// 9999. Lines end in CR LF; text goes out byte for byte (Latin-1).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

class EfdWriter {
 public:
  // Opens `path` for writing (truncates). Throws std::runtime_error when the
  // file cannot be created.
  explicit EfdWriter(const std::string& path);
  ~EfdWriter();
  EfdWriter(const EfdWriter&) = delete;
  EfdWriter& operator=(const EfdWriter&) = delete;

  // Starts a record line with its code. The fields that follow are appended
  // with the calls below; End() pads the line with empty fields up to the
  // record's field count and finishes it. Asserts when a line has more fields
  // than its record.
  EfdWriter& Start(std::string_view code);
  EfdWriter& Text(std::string_view v);
  EfdWriter& Int(int64_t v);
  // An amount in cents, written with two decimals and a decimal comma ("12,30").
  EfdWriter& Money(int64_t cents);
  // `n` empty fields.
  EfdWriter& Empty(int n = 1);
  void End();

  // Writes the opener of block `letter` (X001) with Ind_Mov "0" when the block
  // will hold data, "1" otherwise. CloseBlock writes X990 with the block's count.
  void OpenBlock(char letter, bool withData);
  void CloseBlock();

  // Writes Block 9 (9001, one 9900 per code written, 9990, 9999), flushes and
  // closes the file. Throws std::runtime_error on a write error. Returns the
  // number of lines of the file.
  int64_t Finish();

  int64_t Lines() const { return lines_; }

 private:
  struct CodeCount {
    uint32_t key;
    int fields;
    int64_t count;
  };
  CodeCount& Lookup(std::string_view code);
  void Flush();

  std::FILE* file_ = nullptr;
  std::string path_;
  std::string buffer_;
  std::vector<CodeCount> codes_;   // in order of first appearance
  std::vector<int32_t> slots_;     // open-addressing index into codes_
  int pendingFields_ = 0;          // fields still allowed on the current line
  int64_t lines_ = 0;
  int64_t blockLines_ = 0;
  char block_ = 0;
};

// The number of fields of a record line (code included), for the codes the
// program knows and the few others the generator writes; 0 when unknown.
int EfdFieldCount(std::string_view code);
