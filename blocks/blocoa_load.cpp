// Loading of Block A lines: the block's opener and closer from the first file
// that has them; every other line of every file, linked to its establishment
// and its parent row.
#include "blocks/blocoa.h"
#include "blocks/load_rules.h"

namespace BlocoA {

// Stores A001 and A990 when their table is still empty, any other code of
// the block always. Throws DatabaseError when the check fails; a failing
// insert is reported by md_InsertTable and skipped.
void md_LoadRecord(std::string_view reg, std::string_view line) {
  if (reg == "A001" || reg == "A990")
    load_rules::StoreIfEmpty(Layouts(), reg, line);
  else if (FindLayoutSpec(Layouts(), reg))
    load_rules::Store(Layouts(), reg, line);
}

}  // namespace BlocoA
