// Placeholder, replaced by the block's writer.
#include <stdexcept>
#include "blocks/blocop.h"

namespace BlocoP {
void md_WriteRecords(std::string_view, Objeto_Collection&) { throw std::logic_error("not built yet: BlocoP::md_WriteRecords"); }
void md_UnifyBlock(bool&) { throw std::logic_error("not built yet: BlocoP::md_UnifyBlock"); }
}  // namespace BlocoP
