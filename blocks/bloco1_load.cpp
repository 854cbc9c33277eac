// Placeholder, replaced by the block's loader.
#include <stdexcept>
#include "blocks/bloco1.h"

namespace Bloco1 {
void md_LoadRecord(std::string_view, std::string_view) { throw std::logic_error("not built yet: Bloco1::md_LoadRecord"); }
}  // namespace Bloco1
