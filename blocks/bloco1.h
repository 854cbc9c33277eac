// Block 1 of the merged file.
#pragma once

#include <string_view>
#include <vector>

#include "staging/layout.h"
#include "staging/layout_spec.h"

namespace Bloco1 {

// The block's record layouts, in staging-table creation order.
const std::vector<LayoutSpec>& Layouts();
// A new layout for `reg` (empty for a code the block does not know).
Objeto_Collection md_GetLayout(std::string_view reg);
// Creates (and registers) the block's staging tables.
void md_CreateTables();
// Stores one input line of the block by its loading rules.
void md_LoadRecord(std::string_view reg, std::string_view line);
// Writes the lines of one record code.
void md_WriteRecords(std::string_view reg, Objeto_Collection& layout);
// Writes the whole block (the flag is not read).
void md_UnifyBlock(bool& singleCnpj);

}  // namespace Bloco1
