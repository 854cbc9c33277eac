#include "checker/stream_check.h"

#include <chrono>

#include "checker/efd_rules.h"

namespace {

// The index of the first CR or LF in [from, size) of `data`, or npos.
size_t FindEnd(std::string_view data, size_t from) {
  for (size_t i = from; i < data.size(); ++i)
    if (data[i] == '\n' || data[i] == '\r') return i;
  return std::string_view::npos;
}

}  // namespace

void StreamLines::Feed(std::string_view bytes, const LineFn& line) {
  size_t i = 0;
  if (afterCr_ && !bytes.empty()) {
    if (bytes[0] == '\n') i = 1;
    afterCr_ = false;
  }
  while (i < bytes.size()) {
    const size_t e = FindEnd(bytes, i);
    if (e == std::string_view::npos) {
      partial_.append(bytes.substr(i));
      return;
    }
    if (partial_.empty()) {
      line(bytes.substr(i, e - i));
    } else {
      partial_.append(bytes.substr(i, e - i));
      line(partial_);
      partial_.clear();
    }
    i = e + 1;
    if (bytes[e] == '\r') {
      if (i == bytes.size())
        afterCr_ = true;
      else if (bytes[i] == '\n')
        ++i;
    }
  }
}

void StreamLines::End(const LineFn& line) {
  if (!partial_.empty()) line(partial_);
  partial_.clear();
  afterCr_ = false;
}

BackgroundLines::BackgroundLines(StreamLines::LineFn line, std::function<void()> end, size_t blocks,
                                 size_t blockSize)
    : line_(std::move(line)), end_(std::move(end)), blocks_(blocks ? blocks : 1), blockSize_(blockSize ? blockSize : 1) {
  current_.reserve(blockSize_);
  thread_ = std::thread([this] { Work(); });
}

BackgroundLines::~BackgroundLines() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
    closed_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void BackgroundLines::Push() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [&] { return queue_.size() < blocks_ || failure_ || stop_; });
  if (failure_ || stop_) {
    current_.clear();  // the work stopped: nothing will read this block
    return;
  }
  queue_.push_back(std::move(current_));
  if (!spare_.empty()) {
    current_ = std::move(spare_.back());
    spare_.pop_back();
  } else {
    current_ = std::string();
    current_.reserve(blockSize_);
  }
  lock.unlock();
  changed_.notify_all();
}

void BackgroundLines::Add(std::string_view bytes) {
  // A block never grows past its size unless one piece alone is larger.
  if (!current_.empty() && current_.size() + bytes.size() > blockSize_) Push();
  current_.append(bytes);
  if (current_.size() >= blockSize_) Push();
}

void BackgroundLines::Finish(const std::function<void(int64_t lines)>& waiting) {
  if (!current_.empty()) Push();
  std::unique_lock<std::mutex> lock(mutex_);
  closed_ = true;
  changed_.notify_all();
  while (!done_) {
    if (waiting) {
      if (!changed_.wait_for(lock, std::chrono::milliseconds(100), [&] { return done_; })) {
        lock.unlock();
        waiting(Lines());
        lock.lock();
      }
    } else {
      changed_.wait(lock, [&] { return done_; });
    }
  }
  if (failure_) std::rethrow_exception(failure_);
}

void BackgroundLines::Work() {
  StreamLines splitter;
  int64_t count = 0;
  const StreamLines::LineFn each = [&](std::string_view l) {
    line_(l);
    ++count;
  };
  std::string block;
  for (;;) {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      if (block.capacity() > 0) {  // hand the block read last back to the writer
        block.clear();
        spare_.push_back(std::move(block));
        block = std::string();
      }
      changed_.wait(lock, [&] { return !queue_.empty() || closed_ || stop_; });
      if (stop_) break;
      if (queue_.empty()) break;  // closed and drained
      block = std::move(queue_.front());
      queue_.pop_front();
    }
    changed_.notify_all();
    try {
      splitter.Feed(block, each);
    } catch (...) {
      std::lock_guard<std::mutex> lock(mutex_);
      failure_ = std::current_exception();
      break;
    }
    lines_.store(count, std::memory_order_relaxed);
  }
  std::unique_lock<std::mutex> lock(mutex_);
  if (!failure_ && !stop_) {
    lock.unlock();
    try {
      splitter.End(each);
      lines_.store(count, std::memory_order_relaxed);
      if (end_) end_();
    } catch (...) {
      lock.lock();
      failure_ = std::current_exception();
      lock.unlock();
    }
    lock.lock();
  }
  queue_.clear();
  done_ = true;
  lock.unlock();
  changed_.notify_all();
}

BackgroundCheck::BackgroundCheck(size_t blocks, size_t blockSize)
    : rules_(std::make_unique<EfdRules>(report_)),
      lines_([this](std::string_view line) { rules_->Line(line); }, [this] { rules_->Finish(); }, blocks,
             blockSize) {}

BackgroundCheck::~BackgroundCheck() = default;

const CheckReport& BackgroundCheck::Finish(const std::function<void(int64_t lines)>& waiting) {
  lines_.Finish(waiting);
  return report_;
}
