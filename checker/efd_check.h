// A structural validator for EFD-Contribuições files: line shape, block order,
// closing counts, Block 9 counts, field counts of known records.
#pragma once

#include <ostream>
#include <string>

// Checks the file at `path`, writes one line per problem found (line number and
// record code) and a per-block summary to `out`. Returns 0 when the file is
// valid, 1 when it is not, 2 when it cannot be read (message on `err`).
int RunCheckCommand(const std::string& path, std::ostream& out, std::ostream& err);
