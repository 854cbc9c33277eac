// Helpers for the Block C and D tests: a fresh in-memory staging store, input
// files staged the way the import links their rows (establishment CNPJ,
// parent identities), the blocks written to a temporary file, and lines
// reduced to short tags for comparisons.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/test_run.h"
#include "tests/support/staging_database.h"

// One run against its own in-memory store. The constructor opens the
// connection (TestRun().connection), creates ###Registros and every staging table and
// opens file number 1 in a temporary folder; the destructor undoes all that.
class BlocksCdStage {
 public:
  BlocksCdStage();
  ~BlocksCdStage();
  BlocksCdStage(const BlocksCdStage&) = delete;
  BlocksCdStage& operator=(const BlocksCdStage&) = delete;

  // Stages the record lines of one input file whose 0000 carries `cnpj`, by
  // plain INSERT statements (a carried record as one line, LayoutSpec::wholeLine): Id_CNPJ = cnpj; a child's ID = the identity of the
  // last parent staged (C100, C180, C190, C380, C490, C500, D100, D500);
  // IDECF / IDCaixa = the last C400 / C405. Missing trailing fields are
  // staged empty. Lines of codes without a layout are ignored.
  void StageFile(std::string_view cnpj, const std::vector<std::string>& lines);
  // Writes Block C (or D) alone and returns the lines of the output file.
  std::vector<std::string> UnifyC(bool singleCnpj);
  std::vector<std::string> UnifyD(bool singleCnpj);
  // The line counter of `reg` in ###Registros.
  int64_t Count(std::string_view reg);

 private:
  StagingDatabase db_;
  std::vector<std::string> Finish();
  TempFolder dir_;
  std::map<std::string, int64_t> lastOf_;  // identity of the last row of each code
  int64_t parent_ = 0, ecf_ = 0, caixa_ = 0;
};

// Each line reduced to its record code and first field: "|C100|a1|...|" gives
// "C100 a1".
std::vector<std::string> Tags(const std::vector<std::string>& lines);
// The fields of a record line: element 1 the record code, element k field k.
std::vector<std::string> RecordFields(std::string_view line);

// Every Block C and D document line of `lines` (openers and closers left
// out) with its place: "establishment line > parent line(s) > line", the
// parents being the document a child follows and, for C481/C485, the C405.
// Sorted, so that two files compare as multisets of placed lines.
std::vector<std::string> PlacedDocumentLines(const std::vector<std::string>& lines);
