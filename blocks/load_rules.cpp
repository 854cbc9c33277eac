#include "blocks/load_rules.h"

#include <map>

#include "blocks/code_memo.h"
#include "blocks/record_links.h"
#include "staging/resources.h"
#include "staging/run_state.h"
#include "staging/text.h"

namespace load_rules {

Objeto_Collection& CachedLayout(const std::vector<LayoutSpec>& table, std::string_view reg) {
  static std::map<std::string, Objeto_Collection, std::less<>> cache;
  auto it = cache.find(reg);
  if (it == cache.end()) it = cache.emplace(std::string(reg), BuildLayout(table, reg)).first;
  return it->second;
}

bool Store(const std::vector<LayoutSpec>& table, std::string_view reg, std::string_view line) {
  const bool stored = md_InsertTable(line, reg, CachedLayout(table, reg));
  record_links::RememberRow(reg, stored);
  return stored;
}

void StoreIfEmpty(const std::vector<LayoutSpec>& table, std::string_view reg, std::string_view line) {
  if (!md_TableHasRows(reg)) Store(table, reg, line);
}

void StoreParent(const std::vector<LayoutSpec>& table, std::string_view reg, std::string_view line,
                 std::string& target) {
  if (Store(table, reg, line))
    target = std::to_string(ProcessRun().connection->LastIdentity("###" + std::string(reg)));
  else
    target.clear();
}

std::string StoredField(std::string_view line, size_t k) {
  std::vector<std::string_view> elems;
  SplitBars(line, elems);
  return k < elems.size() ? UpperLatin1(TrimBlanks(elems[k])) : std::string();
}

void StoreBlockLine(const BlockEntry& block, std::string_view reg, std::string_view line) {
  const std::vector<LayoutSpec>& table = block.layouts();
  if (reg == block.opener || reg == block.closer || reg == "9999") {
    StoreIfEmpty(table, reg, line);
    return;
  }
  // The layout of every other code, looked up once per code (asked per line).
  static CodeMemo<Objeto_Collection*> layouts;
  Objeto_Collection* layout = layouts.Get(reg, [&](std::string_view r) {
    return FindLayoutSpec(table, r) ? &CachedLayout(table, r) : nullptr;
  });
  if (!layout) return;
  record_links::RememberRow(reg, md_InsertTable(line, reg, *layout));
}

bool OneOf(std::string_view reg, std::initializer_list<std::string_view> codes) {
  for (std::string_view c : codes)
    if (reg == c) return true;
  return false;
}

}  // namespace load_rules
