// Placeholder, replaced by the block's writer.
#include <stdexcept>
#include "blocks/blocoa.h"

namespace BlocoA {
void md_WriteRecords(std::string_view, Objeto_Collection&) { throw std::logic_error("not built yet: BlocoA::md_WriteRecords"); }
void md_UnifyBlock(bool&) { throw std::logic_error("not built yet: BlocoA::md_UnifyBlock"); }
}  // namespace BlocoA
