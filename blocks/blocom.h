// Block M of the merged file: the company's contributions and credits, recomputed by sums.
#pragma once

#include <string_view>
#include <vector>

#include "staging/layout.h"
#include "staging/layout_spec.h"

namespace BlocoM {

const std::vector<LayoutSpec>& Layouts();
Objeto_Collection md_GetLayout(std::string_view reg);
void md_CreateTables();
// Stores one input line of the block by its loading rules.
void md_LoadRecord(std::string_view reg, std::string_view line);
// Writes every line that the aggregate statement of `reg` yields; after each
// M400 / M800 line its M410 / M810 lines of that CST.
void md_WriteRecords(std::string_view reg, Objeto_Collection& layout, std::string_view cstFilter,
                     bool isChild);
// Writes the whole block.
void md_UnifyBlock();

}  // namespace BlocoM
