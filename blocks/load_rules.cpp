#include "blocks/load_rules.h"

#include <map>

#include "blocks/code_memo.h"
#include "blocks/record_links.h"
#include "staging/resources.h"
#include "staging/run_state.h"
#include "staging/text.h"

namespace load_rules {

Objeto_Collection& CachedLayout(RunContext& ctx, const std::vector<LayoutSpec>& table, std::string_view reg) {
  auto& cache = ctx.layouts;
  auto it = cache.find(reg);
  if (it == cache.end()) it = cache.emplace(std::string(reg), BuildLayout(ctx, table, reg)).first;
  return it->second;
}

bool Store(RunContext& ctx, const std::vector<LayoutSpec>& table, std::string_view reg, std::string_view line) {
  const bool stored = md_InsertTable(ctx, line, reg, CachedLayout(ctx, table, reg));
  record_links::RememberRow(ctx, reg, stored);
  return stored;
}

void StoreIfEmpty(RunContext& ctx, const std::vector<LayoutSpec>& table, std::string_view reg, std::string_view line) {
  if (!md_TableHasRows(ctx, reg)) Store(ctx, table, reg, line);
}

void StoreParent(RunContext& ctx, const std::vector<LayoutSpec>& table, std::string_view reg, std::string_view line,
                 std::string& target) {
  if (Store(ctx, table, reg, line))
    target = std::to_string(ctx.connection->LastIdentity("###" + std::string(reg)));
  else
    target.clear();
}

std::string StoredField(std::string_view line, size_t k) {
  std::vector<std::string_view> elems;
  SplitBars(line, elems);
  return k < elems.size() ? UpperLatin1(TrimBlanks(elems[k])) : std::string();
}

void StoreBlockLine(RunContext& ctx, const BlockEntry& block, std::string_view reg, std::string_view line) {
  const std::vector<LayoutSpec>& table = block.layouts();
  if (reg == block.opener || reg == block.closer || reg == "9999") {
    StoreIfEmpty(ctx, table, reg, line);
    return;
  }
  // The layout of every other code, built once per run (asked per line).
  auto it = ctx.layouts.find(reg);
  Objeto_Collection* layout = it != ctx.layouts.end()              ? &it->second
                              : FindLayoutSpec(table, reg) ? &CachedLayout(ctx, table, reg)
                                                           : nullptr;
  if (!layout) return;
  record_links::RememberRow(ctx, reg, md_InsertTable(ctx, line, reg, *layout));
}

bool OneOf(std::string_view reg, std::initializer_list<std::string_view> codes) {
  for (std::string_view c : codes)
    if (reg == c) return true;
  return false;
}

}  // namespace load_rules
