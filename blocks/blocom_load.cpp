// Loading of Block M lines: every line of every file (the run sums them), the
// details of M400 and M800 carrying the CST of their parent line.
#include "blocks/blocom.h"
#include "blocks/load_rules.h"
#include "staging/run_state.h"

namespace BlocoM {

using namespace load_rules;

// Stores M001 and M990 once, every other known code always; M400 and M800 set
// the CST that their M410 / M810 details carry. Ignores codes without a layout.
// Throws DatabaseError when a check fails.
void md_LoadRecord(std::string_view reg, std::string_view line) {
  if (reg == "M001" || reg == "M990") {
    StoreIfEmpty(Layouts(), reg, line);
    return;
  }
  if (reg == "M400" || reg == "M800") g_CurrentCST = StoredField(line, 2);
  if (OneOf(reg, {"M100", "M105", "M110", "M200", "M205", "M210", "M400", "M410", "M500", "M505", "M510",
                  "M600", "M605", "M610", "M800", "M810"}))
    Store(Layouts(), reg, line);
}

}  // namespace BlocoM
