// A cleanup that runs when the user or the system stops the program: SIGINT,
// SIGTERM and SIGHUP on Linux (a signal the program ignores stays ignored);
// Ctrl+C, Ctrl+Break, a closed console, logoff and shutdown on Windows. After
// the cleanup the program ends as it would have without it.
#pragma once

namespace platform {

// Installs `cleanup` (once; later calls do nothing). On Linux it runs inside a
// signal handler, so it may only call async-signal-safe functions (such as
// RemoveFileNow); on Windows it runs on a thread of the system's.
void OnStop(void (*cleanup)());

}  // namespace platform
