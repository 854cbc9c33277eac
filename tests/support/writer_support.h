// Helpers for the tests of the output writer, the block writers and the run:
// a staging database with every table, rows stored by plain INSERT statements,
// a block written into a file and read back, and the validator on a result.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/staging_database.h"

namespace writer_support {

// Stores `line` ("|0150|P1|NOME|...|") in ###<its code> with Id_CNPJ = idCnpj
// and, for child layouts, ID = parentId. Returns the new row's identity (0 for
// child tables). Missing trailing fields are stored empty.
int64_t StoreLine(std::string_view line, std::string_view idCnpj, int64_t parentId = 0);
// Stores every line of `lines` as StoreLine does, each 0200 becoming the parent
// of the 0205 lines after it.
void StoreLines(const std::vector<std::string>& lines, std::string_view idCnpj);

// The QtdeReg of `reg` in ###Registros as a number.
double CounterOf(std::string_view reg);

// Opens file number 1 at `path`, runs `write`, commits, and returns the lines
// written (without their CR LF). Fails the test when a line does not end in CR LF.
std::vector<std::string> WriteAndRead(const std::string& path, const std::function<void()>& write);
// The whole content of a file ("" when it cannot be read).
std::string ReadFile(const std::string& path);
// Writes `lines`, each followed by CR LF, to `path`.
void WriteFileLines(const std::string& path, const std::vector<std::string>& lines);

// Runs the built program's validator on `path` and returns its exit status;
// `output` receives what it printed.
int RunCheck(const std::string& path, std::string* output = nullptr);
// Expects the validator to accept `path` (exit status 0), printing its report otherwise.
void ExpectValidFile(const std::string& path);

}  // namespace writer_support

using namespace writer_support;
