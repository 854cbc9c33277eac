// Placeholder, replaced by the block's loader.
#include <stdexcept>
#include "blocks/blocod.h"

namespace BlocoD {
void md_LoadRecord(std::string_view, std::string_view) { throw std::logic_error("not built yet: BlocoD::md_LoadRecord"); }
}  // namespace BlocoD
