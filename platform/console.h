// The program's arguments and its console.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace platform {

// The program's arguments as UTF-8: argv as it is on Linux; on Windows the
// wide command line (GetCommandLineW), converted, whatever the code page.
std::vector<std::string> Utf8Arguments(int argc, char** argv);
// The UTF-8 value of the environment variable `name` (on Windows read wide),
// or nothing when it is not set.
std::optional<std::string> Utf8Environment(const char* name);
// Makes the console show UTF-8 output as such ("ç", "ã") until the program
// exits (the console's code page is then given back); nothing on Linux.
void PrepareConsole();
// True when the standard error is a terminal (a console on Windows).
bool StderrIsTerminal();

}  // namespace platform
