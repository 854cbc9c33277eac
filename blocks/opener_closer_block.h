// Blocks that the merged file carries with their opener and closer only
// (A, F, I, P and 1): one implementation, parametrised by the record codes.
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
};

// Writes the lines of one record code of the block: the opener (first stored
// line, Ind_Mov "1" since the merged block holds no other lines) or the closer
// (number of the block's lines written before it plus one); any other code
// runs the plain statement. Counts them in ###Registros. Throws on a failing
// statement or write.
void WriteOpenerCloserRecords(const OpenerCloserBlock& block, std::string_view reg,
                              Objeto_Collection& layout);
// Writes the whole block: progress "CNPJ: Nenhum", opener, closer. Throws as
// WriteOpenerCloserRecords.
void UnifyOpenerCloserBlock(const OpenerCloserBlock& block);
