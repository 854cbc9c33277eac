// Blocks made of establishments (A, C, D, F, I, P): the opener; one pass per
// establishment CNPJ (the first stored X010 row of that CNPJ, then its whole
// subtree, see subtree_writer.h); the block's company-level records, if any;
// the closer with the block's line count. Files of one CNPJ, or several files
// of the same establishment, give one X010 with every document of them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "staging/layout.h"

struct EstablishmentBlock {
  char letter;                // as in ###Registros.Bloco
  const char* opener;         // "C001"
  const char* establishment;  // "C010"
  const char* closer;         // "C990"
  const char* countName;      // "Qtd_Lin_C"
  Objeto_Collection (*getLayout)(std::string_view reg);
  // True for blocks that older layouts lack (I, P): when no input file had the
  // block (no stored opener), the block is left out of the merged file.
  bool omitWhenAbsent;
  // Writes the block's company-level records after the establishments and
  // returns true when it wrote any line (nullptr: the block has none).
  bool (*companyLevel)() = nullptr;
  // True when the block holds company-level rows to write (decides the
  // opener's Ind_Mov before they are written; nullptr: none).
  bool (*hasCompanyLevel)() = nullptr;
};

// Writes the whole block. Throws DatabaseError for a rejected statement and
// whatever the output writer throws; lines written so far stay in the output.
void UnifyEstablishmentBlock(const EstablishmentBlock& block);

// Writes the opener or the closer of the block (other codes are written with
// their establishment by UnifyEstablishmentBlock and are ignored here).
void WriteEstablishmentBlockRecords(const EstablishmentBlock& block, std::string_view reg,
                                    Objeto_Collection& layout);

// The establishments of `establishment`'s table ("C010", "0140"), one per CNPJ
// in load order: the identity of its first stored row and its CNPJ as stored.
// Throws DatabaseError.
struct EstablishmentRow {
  long long id;
  std::string cnpj;
};
std::vector<EstablishmentRow> EstablishmentsByCnpj(std::string_view establishment);

// Names in a notice each later line of `kept`'s CNPJ in `establishment`'s
// table (the parts of one CNPJ each give one) whose fields differ from the
// written line `kept`: the field, both values and both files. The written
// line stays the first's. Throws DatabaseError.
void NoteDifferingEstablishmentLines(std::string_view establishment, const EstablishmentRow& kept);
