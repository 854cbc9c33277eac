// Placeholder, replaced by the block's writer.
#include <stdexcept>
#include "blocks/bloco0.h"

namespace Bloco0 {
void md_WriteRecords(std::string_view, Objeto_Collection&, bool, int) { throw std::logic_error("not built yet: Bloco0::md_WriteRecords"); }
void md_UnifyBlock(bool&) { throw std::logic_error("not built yet: Bloco0::md_UnifyBlock"); }
}  // namespace Bloco0
