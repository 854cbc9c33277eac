// Loading of Block C lines: every document of every file, each child linked to
// the parent row stored just before it.
#include "blocks/blococ.h"
#include "blocks/load_rules.h"
#include "staging/run_state.h"

namespace BlocoC {

using namespace load_rules;

// Stores C001 and C990 once, every other known code always; after a parent
// (C100, C180, C190, C380, C490, C500) its identity becomes the link of the
// children that follow, after C400 the link of its reductions and after C405
// the link of their items. Ignores codes without a layout. Throws DatabaseError
// when a check or identity look-up fails.
void md_LoadRecord(std::string_view reg, std::string_view line) {
  if (reg == "C001" || reg == "C990") {
    StoreIfEmpty(Layouts(), reg, line);
  } else if (OneOf(reg, {"C100", "C180", "C190", "C380", "C490", "C500"})) {
    StoreParent(Layouts(), reg, line, g_CurrentParentID);
  } else if (reg == "C400") {
    StoreParent(Layouts(), reg, line, g_CurrentEcfID);
  } else if (reg == "C405") {
    StoreParent(Layouts(), reg, line, g_CurrentCaixaID);
  } else if (OneOf(reg, {"C010", "C110", "C170", "C175", "C181", "C185", "C191", "C195", "C381", "C385",
                         "C481", "C485", "C491", "C495", "C501", "C505"})) {
    Store(Layouts(), reg, line);
  }
}

}  // namespace BlocoC
