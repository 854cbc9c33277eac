// Placeholder, replaced by the block's writer.
#include <stdexcept>
#include "blocks/blocoi.h"

namespace BlocoI {
void md_WriteRecords(std::string_view, Objeto_Collection&) { throw std::logic_error("not built yet: BlocoI::md_WriteRecords"); }
void md_UnifyBlock(bool&) { throw std::logic_error("not built yet: BlocoI::md_UnifyBlock"); }
}  // namespace BlocoI
