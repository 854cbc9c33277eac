// Helpers for the Block M tests: a fresh in-memory staging store with the
// Block M tables, rows staged by plain INSERT statements, the block written to
// a temporary output file, and exact decimal arithmetic on the files' texts.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/test_run.h"
#include "tests/support/staging_database.h"

namespace block_m {

// A decimal amount as a whole number of 10^-6 units: exact for the amounts of
// the files (at most six decimals) and far beyond their magnitudes.
using Micros = __int128;

// A text of digits with an optional sign and at most one decimal comma (at
// most six decimals) becomes its exact value; the empty text is 0. Returns
// false, leaving `out` alone, for any other text.
bool ParseDecimal(std::string_view text, Micros& out);
// The amount written with a decimal comma and no trailing zeros ("10,5", "100").
std::string DecimalText(Micros v);

// The fields of a record line: element 1 the record code, element k field k.
std::vector<std::string> SplitRecord(std::string_view line);

// One Block M run against its own in-memory store. The constructor opens the
// connection (TestRun().connection), creates ###Registros and every staging table and
// opens file number 1 in a temporary folder; the destructor undoes all that.
class BlockMStage {
 public:
  BlockMStage();
  ~BlockMStage();
  BlockMStage(const BlockMStage&) = delete;
  BlockMStage& operator=(const BlockMStage&) = delete;

  // Stages the Block M lines of one file of `cnpj` (a file of its own, with
  // the next Id_Arquivo, even when an earlier one had the same CNPJ) through
  // the block's own loader, in order; "|M001|0|" is staged first when the
  // lines do not start with an M001.
  void StageFile(std::string_view cnpj, const std::vector<std::string>& lines);
  // Stages a Block 0 line (0110, 0111) of the file of `cnpj`.
  void StageBlock0(std::string_view cnpj, std::string_view line);
  // Writes the whole block and returns the lines of the output file.
  std::vector<std::string> Unify();
  // The line counter of `reg` in ###Registros.
  int64_t Count(std::string_view reg);

 private:
  StagingDatabase db_;
  TempFolder dir_;
};

}  // namespace block_m
