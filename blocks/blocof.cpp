// Placeholder, replaced by the block's writer.
#include <stdexcept>
#include "blocks/blocof.h"

namespace BlocoF {
void md_WriteRecords(std::string_view, Objeto_Collection&) { throw std::logic_error("not built yet: BlocoF::md_WriteRecords"); }
void md_UnifyBlock(bool&) { throw std::logic_error("not built yet: BlocoF::md_UnifyBlock"); }
}  // namespace BlocoF
