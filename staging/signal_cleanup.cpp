// The signal handler only calls async-signal-safe functions (unlink, signal,
// raise) on paths kept in fixed buffers; slots are published with atomics.
#include "staging/signal_cleanup.h"

#include <atomic>
#include <csignal>
#include <cstring>
#include <mutex>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace {

constexpr int kSlots = 32;
constexpr size_t kPathMax = 4096;

struct Slot {
  std::atomic<bool> used{false};
  char path[kPathMax];
};

Slot g_slots[kSlots];
std::mutex g_mutex;  // registrations come from one thread; the lock keeps slots consistent anyway
bool g_installed = false;

extern "C" void RemoveRegisteredAndDie(int sig) {
  for (Slot& s : g_slots)
    if (s.used.load()) {
#ifdef _WIN32
      std::remove(s.path);
#else
      unlink(s.path);
#endif
    }
  std::signal(sig, SIG_DFL);
  std::raise(sig);
}

// Installs the handler for each signal the program does not ignore.
void Install() {
  if (g_installed) return;
  g_installed = true;
  int signals[] = {SIGINT, SIGTERM,
#ifdef SIGHUP
                   SIGHUP
#endif
  };
  for (int sig : signals) {
    auto previous = std::signal(sig, RemoveRegisteredAndDie);
    if (previous == SIG_IGN) std::signal(sig, SIG_IGN);
  }
}

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
