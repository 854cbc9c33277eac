// Loading of Block M lines: every line of every file (the writer merges them),
// each child linked to the nearest parent row stored before it from the same
// file, the details of M400 and M800 also carrying the CST of their parent.
#include <map>
#include <string>
#include <vector>

#include "blocks/blocom.h"
#include "blocks/load_rules.h"
#include "staging/older_forms.h"
#include "staging/record_catalogue.h"
#include "staging/run_state.h"
#include "staging/text.h"

namespace BlocoM {
namespace {

// Identity of the last row stored per record code of the current file's
// Block M; emptied at each M001 (the start of a file's block).
std::map<std::string, std::string, std::less<>>& LastIdentity(RunContext& ctx) { return ctx.blockMLastIdentity; }

}  // namespace

using namespace load_rules;

const std::vector<LayoutSpec>& Layouts() { return FindBlock('M')->layouts(); }

bool HasParentRow(std::string_view reg) {
  const CatalogueRecord* r = Layout006().Find(reg);
  return r && r->block == 'M' && r->parent && r->parent->level >= 2;
}

// Stores M001 and M990 once, every other code of the block always. A child
// whose parent sits below M001 takes that parent's last identity as ID_Pai
// (0 when none was stored); a record with children remembers its identity for
// them. M400 and M800 set the CST that their M410 / M810 carry; M210 / M610
// lines of the older, shorter layout are stored in the current one. Codes without
// a layout are ignored. Throws DatabaseError when a check fails.
void md_LoadRecord(RunContext& ctx, std::string_view reg, std::string_view line) {
  if (reg == "M001" || reg == "M990") {
    if (reg == "M001") LastIdentity(ctx).clear();
    StoreIfEmpty(ctx, Layouts(), reg, line);
    return;
  }
  const CatalogueRecord* record = Layout006().Find(reg);
  if (!record || record->block != 'M' || !FindLayoutSpec(Layouts(), reg)) return;
  if (reg == "M400" || reg == "M800") ctx.currentCST = StoredField(line, 2);
  if (HasParentRow(reg)) {
    auto it = LastIdentity(ctx).find(record->parentCode);
    ctx.currentIdPai = it == LastIdentity(ctx).end() ? std::string() : it->second;
  }
  const std::string stored = CurrentFormOf(reg, line);
  if (record->children.empty()) {
    Store(ctx, Layouts(), reg, stored);
  } else {
    std::string id;
    StoreParent(ctx, Layouts(), reg, stored, id);
    LastIdentity(ctx)[std::string(reg)] = id;
  }
}

}  // namespace BlocoM
