// Block 9 of the merged file: the line counts of every record code written
// (bloco9.cpp tells how the counters of ###Registros are read). Its lines are
// loaded by the common rules (load_rules.h).
#pragma once

#include <string_view>

#include "staging/layout.h"

struct RunContext;

namespace Bloco9 {

// Writes the lines of one record code of the block (9001, 9900, 9990, 9999)
// and counts them. Throws DatabaseError for a rejected statement and whatever
// the output writer throws.
void md_WriteRecords(RunContext& ctx, std::string_view reg, Objeto_Collection& layout);
// Writes the whole block; throws as md_WriteRecords.
void md_UnifyBlock(RunContext& ctx);

}  // namespace Bloco9
