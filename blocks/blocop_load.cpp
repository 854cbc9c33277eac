// Loading of Block P lines: the block's opener and closer from the first file
// that has them; every other line of every file, linked to its establishment
// and its parent row.
#include "blocks/blocop.h"
#include "blocks/load_rules.h"

namespace BlocoP {

// Stores P001 and P990 when their table is still empty, any other code of
// the block always. Throws DatabaseError when the check fails; a failing
// insert is reported by md_InsertTable and skipped.
void md_LoadRecord(std::string_view reg, std::string_view line) {
  if (reg == "P001" || reg == "P990")
    load_rules::StoreIfEmpty(Layouts(), reg, line);
  else if (FindLayoutSpec(Layouts(), reg))
    load_rules::Store(Layouts(), reg, line);
}

}  // namespace BlocoP
