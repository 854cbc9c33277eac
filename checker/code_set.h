// A set of codes (participants, items, accounts...) kept as 64-bit hashes in
// one open-addressed array: a look-up reads one slot, not a chain of nodes and
// a string. Two different codes share a hash with a chance of about one in
// 2^64 per pair; the check accepts that chance of taking an unknown code for
// a known one.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

class CodeSet {
 public:
  // Adds `code` (nothing when it is already there).
  void Insert(std::string_view code) {
    if ((size_ + 1) * 2 > slots_.size()) Grow();
    const uint64_t h = HashOf(code);
    for (size_t i = h & (slots_.size() - 1);; i = (i + 1) & (slots_.size() - 1)) {
      if (slots_[i] == h) return;
      if (slots_[i] == 0) {
        slots_[i] = h;
        ++size_;
        return;
      }
    }
  }
  // True when `code` was inserted.
  bool Contains(std::string_view code) const {
    if (size_ == 0) return false;
    const uint64_t h = HashOf(code);
    for (size_t i = h & (slots_.size() - 1);; i = (i + 1) & (slots_.size() - 1)) {
      if (slots_[i] == h) return true;
      if (slots_[i] == 0) return false;
    }
  }
  size_t size() const { return size_; }

 private:
  // The code's hash, never 0 (0 marks an empty slot).
  static uint64_t HashOf(std::string_view code) {
    const uint64_t h = std::hash<std::string_view>{}(code);
    return h ? h : 1;
  }
  void Grow() {
    std::vector<uint64_t> old;
    old.swap(slots_);
    slots_.assign(old.empty() ? 16 : old.size() * 2, 0);
    for (uint64_t h : old)
      if (h != 0)
        for (size_t i = h & (slots_.size() - 1);; i = (i + 1) & (slots_.size() - 1))
          if (slots_[i] == 0) {
            slots_[i] = h;
            break;
          }
  }

  std::vector<uint64_t> slots_;  // a power of two in size, at most half full
  size_t size_ = 0;
};
