#include "checker/line_reader.h"

#include <cerrno>
#include <cstring>

#include "platform/files.h"

namespace {

constexpr size_t kChunk = 1 << 20;

// Finds the end of the line starting at `from` in [from, size): the index of
// its CR or LF, or npos.
size_t FindEnd(const char* data, size_t from, size_t size) {
  for (size_t i = from; i < size; ++i)
    if (data[i] == '\n' || data[i] == '\r') return i;
  return std::string::npos;
}

}  // namespace

LineReader::~LineReader() {
  if (file_) std::fclose(file_);
}

bool LineReader::Open(const std::string& path) {
  path_ = path;
  if (platform::IsFolder(path)) {
    error_ = path + ": is a folder";
    return false;
  }
  file_ = platform::OpenFile(path, "rb");
  if (!file_) {
    error_ = path + ": " + std::strerror(errno);
    return false;
  }
  buffer_.resize(kChunk * 2);
  return true;
}

// Moves the unread bytes to the front and reads more; false when nothing new came.
bool LineReader::Fill() {
  if (eof_ || !file_) return false;
  if (pos_ > 0) {
    std::memmove(buffer_.data(), buffer_.data() + pos_, end_ - pos_);
    end_ -= pos_;
    pos_ = 0;
  }
  if (buffer_.size() - end_ < kChunk) buffer_.resize(buffer_.size() * 2);
  size_t n = std::fread(buffer_.data() + end_, 1, buffer_.size() - end_, file_);
  if (n == 0) {
    if (std::ferror(file_)) error_ = path_ + ": read error";
    eof_ = true;
    return false;
  }
  end_ += n;
  return true;
}

// Scans for the line end from where the last scan stopped, reading more
// when the buffer holds no complete line.
bool LineReader::Next(std::string_view& line) {
  size_t scanned = pos_;
  for (;;) {
    size_t e = FindEnd(buffer_.data(), scanned, end_);
    if (e != std::string::npos) {
      // A CR at the end of the buffer may be followed by an LF not read yet.
      if (buffer_[e] == '\r' && e + 1 == end_ && !eof_) {
        size_t offset = e - pos_;
        Fill();
        e = pos_ + offset;
      }
      line = std::string_view(buffer_.data() + pos_, e - pos_);
      size_t next = e + 1;
      if (buffer_[e] == '\r' && next < end_ && buffer_[next] == '\n') ++next;
      pos_ = next;
      return true;
    }
    size_t offset = end_ - pos_;
    if (!Fill()) {
      if (!error_.empty() || pos_ == end_) return false;
      line = std::string_view(buffer_.data() + pos_, end_ - pos_);
      pos_ = end_;
      return true;
    }
    scanned = pos_ + offset;
  }
}

bool TextLines::Next(std::string_view& line) {
  if (pos_ >= text_.size()) return false;
  size_t e = FindEnd(text_.data(), pos_, text_.size());
  if (e == std::string::npos) e = text_.size();
  line = text_.substr(pos_, e - pos_);
  pos_ = e + 1;
  if (e < text_.size() && text_[e] == '\r' && pos_ < text_.size() && text_[pos_] == '\n') ++pos_;
  return true;
}
