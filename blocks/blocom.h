// Block M of the merged file: the company's contributions and credits. The
// lines of every file are merged record by record under their own parents,
// amounts summed exactly, derived values recomputed (blocom_tree.h).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "staging/layout.h"
#include "staging/layout_spec.h"

struct RunContext;

namespace BlocoM {

// The block's record layouts (its row of the table of blocks, registry.h), in
// staging-table creation order.
const std::vector<LayoutSpec>& Layouts();
// True when `reg` is a Block M record whose parent is itself below M001 (its
// staged rows carry ID_Pai, catalogue_layouts.h).
bool HasParentRow(std::string_view reg);
// Stores one input line of the block by its loading rules.
void md_LoadRecord(RunContext& ctx, std::string_view reg, std::string_view line);
// Writes the company's lines of `reg` (M001, M990 or a record directly below
// M001), each followed by the lines below it. `cstFilter` and `isChild` are
// not used: children are always written under their own parent line.
void md_WriteRecords(RunContext& ctx, std::string_view reg, Objeto_Collection& layout, std::string_view cstFilter,
                     bool isChild);
// Writes the whole block.
void md_UnifyBlock(RunContext& ctx);
// What the last md_UnifyBlock had to correct (one sentence each), also
// reported through the error port while the block is written.
const std::vector<std::string>& md_LastNotices(RunContext& ctx);

}  // namespace BlocoM
