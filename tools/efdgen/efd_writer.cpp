#include "tools/efdgen/efd_writer.h"

#include <cassert>
#include <charconv>
#include <cstring>
#include <stdexcept>

#include "blocks/registry.h"
#include "platform/files.h"
#include "staging/record_catalogue.h"

namespace {

constexpr size_t kFlushAt = 1 << 20;
constexpr size_t kSlots = 512;

// A record code as one number (the key of the code table).
uint32_t PackCode(std::string_view code) {
  uint32_t k = 0;
  for (size_t i = 0; i < 4 && i < code.size(); ++i) k = (k << 8) | static_cast<unsigned char>(code[i]);
  return k;
}

// The code packed by PackCode.
std::string UnpackCode(uint32_t k) {
  std::string s(4, ' ');
  for (int i = 3; i >= 0; --i, k >>= 8) s[i] = static_cast<char>(k & 0xFF);
  return s;
}

}  // namespace

int EfdFieldCount(std::string_view code) {
  if (const LayoutSpec* spec = FindAnyLayout(code)) return spec->LineFieldCount();
  if (const CatalogueRecord* record = Layout006().Find(code)) return static_cast<int>(record->fields.size());
  return 0;
}

EfdWriter::EfdWriter(const std::string& path) : path_(path), slots_(kSlots, -1) {
  file_ = platform::OpenFile(path, "wb");
  if (!file_) throw std::runtime_error("cannot create " + path);
  buffer_.reserve(kFlushAt + 4096);
}

EfdWriter::~EfdWriter() {
  if (file_) std::fclose(file_);
}

// The counter of `code`, added (with its field count) on first use.
EfdWriter::CodeCount& EfdWriter::Lookup(std::string_view code) {
  uint32_t key = PackCode(code);
  size_t slot = (key * 2654435761u) % kSlots;
  while (slots_[slot] >= 0) {
    if (codes_[slots_[slot]].key == key) return codes_[slots_[slot]];
    slot = (slot + 1) % kSlots;
  }
  int fields = EfdFieldCount(code);
  assert(fields > 0 && "record code without a known field count");
  assert(codes_.size() < kSlots / 2);
  slots_[slot] = static_cast<int32_t>(codes_.size());
  codes_.push_back({key, fields, 0});
  return codes_.back();
}

EfdWriter& EfdWriter::Start(std::string_view code) {
  assert(pendingFields_ == 0 && "previous line not ended");
  CodeCount& c = Lookup(code);
  ++c.count;
  ++lines_;
  ++blockLines_;
  buffer_ += '|';
  buffer_.append(code);
  buffer_ += '|';
  pendingFields_ = c.fields - 1;
  return *this;
}

EfdWriter& EfdWriter::Text(std::string_view v) {
  assert(pendingFields_ > 0 && "more fields than the record has");
  --pendingFields_;
  buffer_.append(v);
  buffer_ += '|';
  return *this;
}

EfdWriter& EfdWriter::Int(int64_t v) {
  char tmp[24];
  auto r = std::to_chars(tmp, tmp + sizeof tmp, v);
  return Text(std::string_view(tmp, r.ptr - tmp));
}

EfdWriter& EfdWriter::Money(int64_t cents) {
  char tmp[32];
  char* p = tmp;
  if (cents < 0) {
    *p++ = '-';
    cents = -cents;
  }
  p = std::to_chars(p, tmp + 24, cents / 100).ptr;
  *p++ = ',';
  *p++ = static_cast<char>('0' + (cents % 100) / 10);
  *p++ = static_cast<char>('0' + cents % 10);
  return Text(std::string_view(tmp, p - tmp));
}

EfdWriter& EfdWriter::Empty(int n) {
  for (int i = 0; i < n; ++i) Text({});
  return *this;
}

void EfdWriter::End() {
  while (pendingFields_ > 0) Text({});
  buffer_ += "\r\n";
  if (!collecting_ && buffer_.size() >= kFlushAt) Flush();
}

void EfdWriter::OpenBlock(char letter, bool withData) {
  block_ = letter;
  if (letter != '0') blockLines_ = 0;  // Block 0 counts the 0000 line written before its opener
  char code[5] = {letter, '0', '0', '1', 0};
  collecting_ = rewrite_ && letter != '9';
  openerAt_ = buffer_.size();
  Start(code).Text(withData ? "0" : "1").End();
  blockStart_ = buffer_.size();
}

void EfdWriter::CloseBlock() {
  if (collecting_) {
    std::vector<std::string> lines;
    for (size_t pos = blockStart_; pos < buffer_.size();) {
      size_t end = buffer_.find("\r\n", pos);
      lines.push_back(buffer_.substr(pos, end - pos));
      pos = end + 2;
      --Lookup(std::string_view(lines.back()).substr(1, 4)).count;
      --lines_;
      --blockLines_;
    }
    rewrite_(block_, lines);
    buffer_.resize(blockStart_);
    for (const std::string& l : lines) {
      ++Lookup(std::string_view(l).substr(1, 4)).count;
      ++lines_;
      ++blockLines_;
      buffer_ += l;
      buffer_ += "\r\n";
    }
    buffer_[openerAt_ + 6] = lines.empty() ? '1' : '0';  // "|X001|" then Ind_Mov
    collecting_ = false;
  }
  char code[5] = {block_, '9', '9', '0', 0};
  const int64_t count = blockLines_ + 1;  // with the closer itself
  Start(code).Int(count).End();
}

int64_t EfdWriter::Finish() {
  OpenBlock('9', true);
  // One 9900 per code written so far, plus 9900, 9990 and 9999 themselves.
  std::vector<CodeCount> written = codes_;
  const int64_t n9900 = static_cast<int64_t>(written.size()) + 3;
  for (const CodeCount& c : written) Start("9900").Text(UnpackCode(c.key)).Int(c.count).End();
  Start("9900").Text("9900").Int(n9900).End();
  Start("9900").Text("9990").Int(1).End();
  Start("9900").Text("9999").Int(1).End();
  const int64_t block9 = blockLines_ + 2;  // with 9990 and 9999
  const int64_t total = lines_ + 2;        // with 9990 and 9999
  Start("9990").Int(block9).End();
  Start("9999").Int(total).End();
  Flush();
  int rc = std::fclose(file_);
  file_ = nullptr;
  if (rc != 0) throw std::runtime_error("cannot write " + path_);
  return lines_;
}

// Writes the buffered lines; std::runtime_error on a write error.
void EfdWriter::Flush() {
  if (!buffer_.empty() && std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size())
    throw std::runtime_error("cannot write " + path_);
  buffer_.clear();
}
