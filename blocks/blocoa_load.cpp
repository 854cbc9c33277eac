// Loading of Block A lines: only the block's opener and closer are kept, from
// the first file that has them; the block's other records are not stored.
#include "blocks/blocoa.h"
#include "blocks/load_rules.h"

namespace BlocoA {

// Stores A001 and A990 when their table is still empty; ignores other codes.
// Throws DatabaseError when the check fails.
void md_LoadRecord(std::string_view reg, std::string_view line) {
  if (reg == "A001" || reg == "A990") load_rules::StoreIfEmpty(Layouts(), reg, line);
}

}  // namespace BlocoA
