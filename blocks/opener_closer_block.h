// Blocks without establishments whose content is company-level records (1):
// the opener, the block's company-level records by their rules
// (company_rules.h), the closer.
#pragma once

#include "blocks/registry.h"

struct RunContext;

// Writes the whole block of `block` (a row of content CompanyRecords of the
// table of blocks): progress "CNPJ: Nenhum", the opener (first stored line,
// Ind_Mov "0" when the block has company-level rows, else "1"), the
// company-level records, the closer (the number of the block's lines written
// before it plus one). Counts every line in ###Registros. Throws
// DatabaseError for a rejected statement and whatever the company-level writer
// and the output writer throw; lines written so far stay in the output.
void UnifyOpenerCloserBlock(RunContext& ctx, const BlockEntry& block);
