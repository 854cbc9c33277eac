// What the block loaders share: one layout per record code, built once and
// reused for every line, and the storing rules common to several blocks.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "blocks/registry.h"
#include "staging/layout.h"
#include "staging/layout_spec.h"

struct RunContext;

namespace load_rules {

// The layout of `reg` from `table`, built on first use and kept for the run
// (layouts only refer to run-state texts, so one instance serves every line).
Objeto_Collection& CachedLayout(RunContext& ctx, const std::vector<LayoutSpec>& table, std::string_view reg);

// Stores `line` as a row of ###reg with the links record_links prepared, and
// remembers the new row's identity when `reg` has children. True when the row
// was stored; false when the insert failed (already reported by
// md_InsertTable; the children that follow then link to no row).
bool Store(RunContext& ctx, const std::vector<LayoutSpec>& table, std::string_view reg, std::string_view line);

// Stores `line` only when ###reg holds no row yet (block openers and closers:
// the first file's line is the one kept). Throws DatabaseError from the check.
void StoreIfEmpty(RunContext& ctx, const std::vector<LayoutSpec>& table, std::string_view reg, std::string_view line);

// Stores `line` and then sets `target` to the identity of the new row, so that
// the child lines that follow link to it; when the insert failed, `target` is
// emptied (the children then link to no row rather than to another parent).
void StoreParent(RunContext& ctx, const std::vector<LayoutSpec>& table, std::string_view reg, std::string_view line,
                 std::string& target);

// Field `k` of `line` (element k of its split on "|"), upper-cased and trimmed
// as it is stored; empty when the line has no such field.
std::string StoredField(std::string_view line, size_t k);

// Stores one input line of a block whose lines follow the common rules (every
// block but 0 and M): the opener, the closer and the file's closer 9999 only
// when their table is still empty (the first file's line is kept), any other
// code of the block always, linked to its establishment and parent row; a code
// the block has no layout of is ignored. Throws DatabaseError when a check or
// identity look-up fails; a failing insert is reported by md_InsertTable and
// skipped.
void StoreBlockLine(RunContext& ctx, const BlockEntry& block, std::string_view reg, std::string_view line);

// True when `reg` is one of `codes`.
bool OneOf(std::string_view reg, std::initializer_list<std::string_view> codes);

}  // namespace load_rules
