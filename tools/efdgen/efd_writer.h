// Writes one EFD-Contribuições file record by record and keeps every count the
// file needs: the closing line of each block (X990), the 9900 lines, 9990 and
// 9999. Lines end in CR LF; text goes out byte for byte (Latin-1).
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
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

  // From the next block on, hands each block's lines (its opener and closer
  // excluded; not Block 9) to `rewrite` before the closer is written; it may
  // add lines and reorder them. The opener's Ind_Mov, the closer and Block 9
  // count the lines it leaves. A block is held in memory until its closer.
  void RewriteBlocks(std::function<void(char letter, std::vector<std::string>& lines)> rewrite) {
    rewrite_ = std::move(rewrite);
  }

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
  std::function<void(char, std::vector<std::string>&)> rewrite_;
  bool collecting_ = false;  // the current block is held for rewrite_
  size_t openerAt_ = 0;      // where the opener line starts in buffer_
  size_t blockStart_ = 0;    // where the block's lines after the opener start
};

// The number of fields of a record line (code included): the staged layout's
// for the codes the program stages, the record catalogue's for the others; 0
// for a code of neither.
int EfdFieldCount(std::string_view code);
