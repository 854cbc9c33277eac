// Loading of Block D lines: every document of every file, each child linked to
// the parent row stored just before it.
#include "blocks/blocod.h"
#include "blocks/load_rules.h"
#include "staging/run_state.h"

namespace BlocoD {

using namespace load_rules;

// Stores D001 and D990 once, every other known code always; after D100 or D500
// its identity becomes the link of the children that follow. Ignores codes
// without a layout. Throws DatabaseError when a check or look-up fails.
void md_LoadRecord(std::string_view reg, std::string_view line) {
  if (reg == "D001" || reg == "D990") {
    StoreIfEmpty(Layouts(), reg, line);
  } else if (reg == "D100" || reg == "D500") {
    StoreParent(Layouts(), reg, line, g_CurrentParentID);
  } else if (OneOf(reg, {"D010", "D101", "D105", "D501", "D505"})) {
    Store(Layouts(), reg, line);
  }
}

}  // namespace BlocoD
