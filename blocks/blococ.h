// Block C of the merged file: documents per establishment with their children.
#pragma once

#include <string_view>
#include <vector>

#include "staging/layout.h"
#include "staging/layout_spec.h"

namespace BlocoC {

const std::vector<LayoutSpec>& Layouts();
Objeto_Collection md_GetLayout(std::string_view reg);
void md_CreateTables();
// Stores one input line of the block by its loading rules.
void md_LoadRecord(std::string_view reg, std::string_view line);
// Writes the opener or the closer of the block; every other code is written
// with its establishment by md_UnifyBlock (the extra arguments are not read).
void md_WriteRecords(std::string_view reg, Objeto_Collection& layout, bool singleCnpj, int estIndex,
                     bool isChild);
// Writes the whole block.
void md_UnifyBlock(bool& singleCnpj);

}  // namespace BlocoC
