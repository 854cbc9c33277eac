// Process ids, as the names of the program's temporaries carry them, and
// the local time.
#pragma once

#include <ctime>

namespace platform {

// The id of this process.
long CurrentProcessId();
// True when process `pid` is known not to run any more (false when it runs or
// when that cannot be told).
bool ProcessGone(long pid);
// Fills `out` with the local time of `t` (thread-safe). False when it cannot.
bool LocalTime(std::time_t t, std::tm& out);

}  // namespace platform
