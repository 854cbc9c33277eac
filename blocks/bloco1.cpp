// Placeholder, replaced by the block's writer.
#include <stdexcept>
#include "blocks/bloco1.h"

namespace Bloco1 {
void md_WriteRecords(std::string_view, Objeto_Collection&) { throw std::logic_error("not built yet: Bloco1::md_WriteRecords"); }
void md_UnifyBlock(bool&) { throw std::logic_error("not built yet: Bloco1::md_UnifyBlock"); }
}  // namespace Bloco1
