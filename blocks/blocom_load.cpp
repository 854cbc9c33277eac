// Loading of Block M lines: every line of every file (the writer merges them),
// each child linked to the nearest parent row stored before it from the same
// file, the details of M400 and M800 also carrying the CST of their parent.
#include <map>
#include <string>
#include <vector>

#include "blocks/blocom.h"
#include "blocks/load_rules.h"
#include "staging/record_catalogue.h"
#include "staging/run_state.h"
#include "staging/text.h"

namespace BlocoM {
namespace {

// Identity of the last row stored per record code of the current file's
// Block M; emptied at each M001 (the start of a file's block).
std::map<std::string, std::string, std::less<>>& LastIdentity() {
  static std::map<std::string, std::string, std::less<>> last;
  return last;
}

// An M210 / M610 line in the 13 fields of the layouts before 2019 in the 16
// fields of the current one: the base adjustments (new fields 05 and 06) are
// zero and the adjusted base (new field 07) is the base; the other fields move
// three places on. Any other line is returned as it is.
std::string ContributionLineOfTheCurrentLayout(std::string_view reg, std::string_view line) {
  if (reg != "M210" && reg != "M610") return std::string(line);
  const std::vector<std::string_view> f = SplitBars(line);
  // "|M210|f2|...|f13|" splits into 15 pieces: empty, the code, 12 fields, empty.
  if (f.size() != 15 || !f.back().empty()) return std::string(line);
  std::string out = "|";
  for (size_t k = 1; k <= 4; ++k) out.append(f[k]).append("|");
  out.append("0|0|").append(f[4]).append("|");
  for (size_t k = 5; k <= 13; ++k) out.append(f[k]).append("|");
  return out;
}

}  // namespace

using namespace load_rules;

// Stores M001 and M990 once, every other code of the block always. A child
// whose parent sits below M001 takes that parent's last identity as ID_Pai
// (0 when none was stored); a record with children remembers its identity for
// them. M400 and M800 set the CST that their M410 / M810 carry; M210 / M610
// lines of the older, shorter layout are stored in the current one. Codes without
// a layout are ignored. Throws DatabaseError when a check fails.
void md_LoadRecord(std::string_view reg, std::string_view line) {
  if (reg == "M001" || reg == "M990") {
    if (reg == "M001") LastIdentity().clear();
    StoreIfEmpty(Layouts(), reg, line);
    return;
  }
  const CatalogueRecord* record = Layout006().Find(reg);
  if (!record || record->block != 'M' || !FindLayoutSpec(Layouts(), reg)) return;
  if (reg == "M400" || reg == "M800") g_CurrentCST = StoredField(line, 2);
  if (HasParentRow(reg)) {
    auto it = LastIdentity().find(record->parentCode);
    g_CurrentIdPai = it == LastIdentity().end() ? std::string() : it->second;
  }
  const std::string stored = ContributionLineOfTheCurrentLayout(reg, line);
  if (record->children.empty()) {
    Store(Layouts(), reg, stored);
  } else {
    std::string id;
    StoreParent(Layouts(), reg, stored, id);
    LastIdentity()[std::string(reg)] = id;
  }
}

}  // namespace BlocoM
