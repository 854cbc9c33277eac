// Loading of Block D lines: every document of every file, each line linked to
// its establishment (the D010 above it) and to its parent row.
#include "blocks/blocod.h"
#include "blocks/load_rules.h"

namespace BlocoD {

// Stores D001 and D990 once, every other code of the block always. Throws
// DatabaseError when a check or identity look-up fails.
void md_LoadRecord(std::string_view reg, std::string_view line) {
  if (reg == "D001" || reg == "D990")
    load_rules::StoreIfEmpty(Layouts(), reg, line);
  else if (FindLayoutSpec(Layouts(), reg))
    load_rules::Store(Layouts(), reg, line);
}

}  // namespace BlocoD
