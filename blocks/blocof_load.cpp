// Loading of Block F lines: only the block's opener and closer are kept, from
// the first file that has them; the block's other records are not stored.
#include "blocks/blocof.h"
#include "blocks/load_rules.h"

namespace BlocoF {

// Stores F001 and F990 when their table is still empty; ignores other codes.
// Throws DatabaseError when the check fails.
void md_LoadRecord(std::string_view reg, std::string_view line) {
  if (reg == "F001" || reg == "F990") load_rules::StoreIfEmpty(Layouts(), reg, line);
}

}  // namespace BlocoF
