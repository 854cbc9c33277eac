// Blocks made of establishments (A, C, D, F, I, P): the opener; one pass per
// establishment CNPJ (the first stored X010 row of that CNPJ, then its whole
// subtree, see subtree_writer.h); the block's company-level records, if any;
// the closer with the block's line count. Files of one CNPJ, or several files
// of the same establishment, give one X010 with every document of them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "blocks/registry.h"

struct RunContext;

// Writes the whole block of `block` (a row of content Establishments of the
// table of blocks); its company-level records, when it has any, follow the
// establishments. Throws DatabaseError for a rejected statement and whatever
// the output writer throws; lines written so far stay in the output.
void UnifyEstablishmentBlock(RunContext& ctx, const BlockEntry& block);

// The establishments of `establishment`'s table ("C010", "0140"), one per CNPJ
// in load order: the identity of its first stored row and its CNPJ as stored.
// Throws DatabaseError.
struct EstablishmentRow {
  long long id;
  std::string cnpj;
};
std::vector<EstablishmentRow> EstablishmentsByCnpj(RunContext& ctx, std::string_view establishment);

// Names in a notice each later line of `kept`'s CNPJ in `establishment`'s
// table (the parts of one CNPJ each give one) whose fields differ from the
// written line `kept`: the field, both values and both files. The written
// line stays the first's. Throws DatabaseError.
void NoteDifferingEstablishmentLines(RunContext& ctx, std::string_view establishment, const EstablishmentRow& kept);
