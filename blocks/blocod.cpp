// Placeholder, replaced by the block's writer.
#include <stdexcept>
#include "blocks/blocod.h"

namespace BlocoD {
void md_WriteRecords(std::string_view, Objeto_Collection&, bool, int, bool) { throw std::logic_error("not built yet: BlocoD::md_WriteRecords"); }
void md_UnifyBlock(bool&) { throw std::logic_error("not built yet: BlocoD::md_UnifyBlock"); }
}  // namespace BlocoD
