// The stop hook only calls async-signal-safe functions (unlink, signal,
// raise) on paths kept in fixed buffers; slots are published with atomics.
// On Windows the hook is the console's (Ctrl+C, Ctrl+Break, a closed console).
#include "staging/signal_cleanup.h"

#include <atomic>
#include <cstring>
#include <mutex>

#include "platform/files.h"
#include "platform/stop.h"

namespace {

constexpr int kSlots = 32;
constexpr size_t kPathMax = 4096;

struct Slot {
  std::atomic<bool> used{false};
  char path[kPathMax];
};

Slot g_slots[kSlots];
std::mutex g_mutex;  // registrations come from one thread; the lock keeps slots consistent anyway

// Run when the program is stopped (platform::OnStop): removes every registered path.
void RemoveRegistered() {
  for (Slot& s : g_slots)
    if (s.used.load()) platform::RemoveFileNow(s.path);
}

// Installs the stop hook (once).
void Install() { platform::OnStop(RemoveRegistered); }

}  // namespace

int RemoveOnSignal(const std::string& path) {
  if (path.empty() || path.size() >= kPathMax) return -1;
  std::lock_guard<std::mutex> lock(g_mutex);
  Install();
  for (int i = 0; i < kSlots; ++i) {
    Slot& s = g_slots[i];
    if (s.used.load()) continue;
    std::memcpy(s.path, path.c_str(), path.size() + 1);
    s.used.store(true);
    return i;
  }
  return -1;
}

void ForgetOnSignal(int slot) {
  if (slot < 0 || slot >= kSlots) return;
  std::lock_guard<std::mutex> lock(g_mutex);
  g_slots[slot].used.store(false);
}
