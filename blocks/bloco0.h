// Block 0 of the merged file: the file's head, the company-level records and
// one 0140 per establishment with its subtree (bloco0.cpp); its layouts come
// from the table of blocks (registry.h).
#pragma once

#include <string_view>

#include "staging/layout.h"

struct RunContext;

namespace Bloco0 {

// Stores one input line of Block 0 by the block's loading rules; the four
// texts are the last 0100 CPF and 0110 values the import has seen.
void md_LoadRecord(RunContext& ctx, std::string_view reg, std::string_view line, std::string_view cpf,
                   std::string_view codIncTrib, std::string_view codTipoCont,
                   std::string_view indAproCred);
// Writes the lines of one record code for the current establishment pass.
void md_WriteRecords(RunContext& ctx, std::string_view reg, Objeto_Collection& layout, bool singleCnpj, int estIndex);
// Writes all of Block 0.
void md_UnifyBlock(RunContext& ctx, bool& singleCnpj);

}  // namespace Bloco0
