// The check of a file while it is being written: its bytes arrive in pieces
// on the writing thread and are checked line by line on a second thread,
// through a bounded queue of blocks, so that memory stays flat and the file
// never has to be read again.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "checker/efd_check.h"

class EfdRules;

// Splits bytes that arrive in pieces into lines exactly as LineReader splits
// a file: a line ends in CR LF, LF or CR (a CR LF split between two pieces is
// still one ending); a last line without an ending is still a line, and an
// ending at the very end does not start another one.
class StreamLines {
 public:
  using LineFn = std::function<void(std::string_view line)>;
  // Hands every line completed by `bytes` to `line` (views valid during the call).
  void Feed(std::string_view bytes, const LineFn& line);
  // The input ended: hands the last line when it had no ending.
  void End(const LineFn& line);

 private:
  std::string partial_;      // the start of a line whose end has not arrived yet
  bool afterCr_ = false;     // the last piece ended with a CR: an LF first in the next one belongs to it
};

// A second thread that takes bytes in blocks through a bounded queue and
// hands each line to `line`, then calls `end` once all bytes were seen. The
// writer waits while the queue is full. An exception thrown by `line` or
// `end` stops the work (later bytes are dropped) and is thrown again by
// Finish on the writer's thread. Only the thread that created the object may
// call Add and Finish.
class BackgroundLines {
 public:
  static constexpr size_t kBlocks = 64;
  static constexpr size_t kBlockSize = 64 * 1024;

  BackgroundLines(StreamLines::LineFn line, std::function<void()> end, size_t blocks = kBlocks,
                  size_t blockSize = kBlockSize);
  // Stops the thread (bytes not yet seen are dropped) and waits for it.
  ~BackgroundLines();
  BackgroundLines(const BackgroundLines&) = delete;
  BackgroundLines& operator=(const BackgroundLines&) = delete;

  // Queues `bytes` (copied); waits while the queue holds `blocks` full blocks.
  void Add(std::string_view bytes);
  // Ends the input and waits until every line was handed on and `end` ran;
  // `waiting`, when given, is called on this thread about every 100 ms with
  // the lines handed on so far (an exception it throws leaves Finish, the
  // thread still stops when the object is destroyed). Throws what `line` or
  // `end` threw.
  void Finish(const std::function<void(int64_t lines)>& waiting = {});
  // Lines handed on so far.
  int64_t Lines() const { return lines_.load(std::memory_order_relaxed); }

 private:
  void Push();  // queues the current block (caller holds no lock)
  void Work();  // the second thread

  StreamLines::LineFn line_;
  std::function<void()> end_;
  const size_t blocks_, blockSize_;
  std::string current_;  // the block being filled by the writer

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::string> queue_;
  std::vector<std::string> spare_;  // emptied blocks for reuse
  bool closed_ = false, stop_ = false, done_ = false;
  std::exception_ptr failure_;
  std::atomic<int64_t> lines_{0};
  std::thread thread_;
};

// The structural check (EfdRules, every rule as CheckEfdFile applies them)
// of the bytes written, on a second thread.
class BackgroundCheck {
 public:
  explicit BackgroundCheck(size_t blocks = BackgroundLines::kBlocks, size_t blockSize = BackgroundLines::kBlockSize);
  ~BackgroundCheck();
  // Bytes as they reach the file, in order.
  void Add(std::string_view bytes) { lines_.Add(bytes); }
  // Ends the input and returns the report (see BackgroundLines::Finish).
  const CheckReport& Finish(const std::function<void(int64_t lines)>& waiting = {});

 private:
  CheckReport report_;
  std::unique_ptr<EfdRules> rules_;
  BackgroundLines lines_;
};
