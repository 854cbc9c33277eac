// Placeholder, replaced by the block's loader.
#include <stdexcept>
#include "blocks/bloco9.h"

namespace Bloco9 {
void md_LoadRecord(std::string_view, std::string_view) { throw std::logic_error("not built yet: Bloco9::md_LoadRecord"); }
}  // namespace Bloco9
