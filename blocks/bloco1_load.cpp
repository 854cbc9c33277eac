// Loading of Block 1 lines: only the block's opener and closer are kept, from
// the first file that has them; the block's other records are not stored.
#include "blocks/bloco1.h"
#include "blocks/load_rules.h"

namespace Bloco1 {

// Stores 1001 and 1990 when their table is still empty; ignores other codes.
// Throws DatabaseError when the check fails.
void md_LoadRecord(std::string_view reg, std::string_view line) {
  if (reg == "1001" || reg == "1990") load_rules::StoreIfEmpty(Layouts(), reg, line);
}

}  // namespace Bloco1
