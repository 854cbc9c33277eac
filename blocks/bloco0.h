// Block 0 of the merged file.
#pragma once

#include <string_view>
#include <vector>

#include "staging/layout.h"
#include "staging/layout_spec.h"

namespace Bloco0 {

// The block's record layouts, in staging-table creation order.
const std::vector<LayoutSpec>& Layouts();
// A new layout for `reg` (empty for a code the block does not know).
Objeto_Collection md_GetLayout(std::string_view reg);
// Creates (and registers) the block's staging tables.
void md_CreateTables();
// Stores one input line of Block 0 by the block's loading rules; the four
// texts are the last 0100 CPF and 0110 values the import has seen.
void md_LoadRecord(std::string_view reg, std::string_view line, std::string_view cpf,
                   std::string_view codIncTrib, std::string_view codTipoCont,
                   std::string_view indAproCred);
// Writes the lines of one record code for the current establishment pass.
void md_WriteRecords(std::string_view reg, Objeto_Collection& layout, bool singleCnpj, int estIndex);
// Writes all of Block 0.
void md_UnifyBlock(bool& singleCnpj);

}  // namespace Bloco0
