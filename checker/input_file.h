// How an input file is opened and which of its lines carry no record; shared
// by the check, the wizard's input check and its import.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

// Opens `path` for reading when it is a regular file: a folder, a FIFO, a
// device or a socket is refused (null, with `why` set in Portuguese) without
// reading from it, so that neither can block or feed endless bytes. The
// descriptor that was opened is the one checked, so the name cannot be
// swapped between the check and the reading.
std::FILE* OpenRegularFile(const std::string& path, std::string& why);

// True for a line without a record: empty, or spaces and tabs only.
bool IsBlankLine(std::string_view line);
