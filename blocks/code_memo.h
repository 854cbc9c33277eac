// A per-record-code memo for facts the loader asks once per input line (the
// parent link of a code, whether the merge carries it, its layout): record
// codes are four characters, so a code is kept as one number and the fact is
// computed once per code and run.
#pragma once

#include <cstdint>
#include <cstring>
#include <mutex>
#include <string_view>
#include <unordered_map>

template <class T>
class CodeMemo {
 public:
  // The fact of `code`, computed by `make(code)` on first use. A code that is
  // not four characters long is computed every time (never cached). `make`'s
  // exceptions pass through and nothing is cached then. Safe to call from
  // several threads (runs side by side share the memo); `make` must not ask
  // the same memo.
  template <class Make>
  T Get(std::string_view code, Make&& make) {
    if (code.size() != 4) return make(code);
    uint32_t key;
    std::memcpy(&key, code.data(), 4);
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = memo_.find(key);
    if (it == memo_.end()) it = memo_.emplace(key, make(code)).first;
    return it->second;
  }

 private:
  std::mutex mutex_;
  std::unordered_map<uint32_t, T> memo_;
};
