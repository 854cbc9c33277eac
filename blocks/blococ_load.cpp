// Loading of Block C lines: every document of every file, each line linked to
// its establishment (the C010 above it) and to its parent row.
#include "blocks/blococ.h"
#include "blocks/load_rules.h"

namespace BlocoC {

// Stores C001 and C990 once, every other code of the block always. Throws
// DatabaseError when a check or identity look-up fails.
void md_LoadRecord(std::string_view reg, std::string_view line) {
  if (reg == "C001" || reg == "C990")
    load_rules::StoreIfEmpty(Layouts(), reg, line);
  else if (FindLayoutSpec(Layouts(), reg))
    load_rules::Store(Layouts(), reg, line);
}

}  // namespace BlocoC
