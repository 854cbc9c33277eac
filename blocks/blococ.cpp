// Placeholder, replaced by the block's writer.
#include <stdexcept>
#include "blocks/blococ.h"

namespace BlocoC {
void md_WriteRecords(std::string_view, Objeto_Collection&, bool, int, bool) { throw std::logic_error("not built yet: BlocoC::md_WriteRecords"); }
void md_UnifyBlock(bool&) { throw std::logic_error("not built yet: BlocoC::md_UnifyBlock"); }
}  // namespace BlocoC
