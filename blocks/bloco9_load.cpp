// Loading of Block 9 lines: the opener and the closers once; every 9900 line.
#include "blocks/bloco9.h"
#include "blocks/load_rules.h"

namespace Bloco9 {

// Stores 9001, 9990 and 9999 when their table is still empty and every 9900
// line; ignores other codes. Throws DatabaseError when a check fails.
void md_LoadRecord(std::string_view reg, std::string_view line) {
  if (reg == "9001" || reg == "9990" || reg == "9999")
    load_rules::StoreIfEmpty(Layouts(), reg, line);
  else if (reg == "9900")
    load_rules::Store(Layouts(), reg, line);
}

}  // namespace Bloco9
