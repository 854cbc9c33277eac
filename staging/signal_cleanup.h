// Files that must not outlive a run stopped by the user or the system: the
// merged file's temporary and a staging database placed by the user. Their
// paths are registered while they exist; SIGINT, SIGTERM and SIGHUP (on
// Windows Ctrl+C, Ctrl+Break and a closed console) remove every registered
// path before the program ends (platform/stop.h).
#pragma once

#include <string>

// Registers `path` for removal on SIGINT, SIGTERM or SIGHUP (handlers are
// installed on first use; a signal the program ignores stays ignored).
// Returns a slot to hand to ForgetOnSignal, or -1 when every slot is taken or
// the path is too long (the file is then simply not removed by a signal).
int RemoveOnSignal(const std::string& path);
// Stops removing the path of `slot` (a slot of -1 is ignored).
void ForgetOnSignal(int slot);
