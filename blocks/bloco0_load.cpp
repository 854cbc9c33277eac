// Placeholder, replaced by the block's loader.
#include <stdexcept>
#include "blocks/bloco0.h"

namespace Bloco0 {
void md_LoadRecord(std::string_view, std::string_view, std::string_view, std::string_view, std::string_view, std::string_view) { throw std::logic_error("not built yet: Bloco0::md_LoadRecord"); }
}  // namespace Bloco0
