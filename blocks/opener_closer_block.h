// Blocks without establishments (1): the opener, the block's company-level
// records when it has any, the closer; one implementation, parametrised by
// the record codes.
#pragma once

#include <string_view>

#include "staging/layout.h"

struct OpenerCloserBlock {
  char letter;            // the block's letter or digit, as in ###Registros.Bloco
  const char* opener;     // "A001"
  const char* closer;     // "A990"
  const char* countName;  // the closer's count field, "Qtd_Lin_A"
  Objeto_Collection (*getLayout)(std::string_view reg);
  // True for blocks that older layouts lack (I, P): when no input file had the
  // block (no stored opener), the block is left out of the merged file.
  bool omitWhenAbsent;
  // Writes the block's company-level records between opener and closer
  // (nullptr: the block has none).
  void (*companyLevel)() = nullptr;
  // True when the block holds company-level rows to write (decides the
  // opener's Ind_Mov before they are written; nullptr: none).
  bool (*hasCompanyLevel)() = nullptr;
};

// Writes the lines of one record code of the block: the opener (first stored
// line, Ind_Mov "0" when the block has company-level rows, else "1") or the closer
// (number of the block's lines written before it plus one); any other code
// runs the plain statement. Counts them in ###Registros. Throws on a failing
// statement or write.
void WriteOpenerCloserRecords(const OpenerCloserBlock& block, std::string_view reg,
                              Objeto_Collection& layout);
// Writes the whole block: progress "CNPJ: Nenhum", opener, company-level
// records, closer. Throws as WriteOpenerCloserRecords and the company-level writer.
void UnifyOpenerCloserBlock(const OpenerCloserBlock& block);
