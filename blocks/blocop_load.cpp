// Placeholder, replaced by the block's loader.
#include <stdexcept>
#include "blocks/blocop.h"

namespace BlocoP {
void md_LoadRecord(std::string_view, std::string_view) { throw std::logic_error("not built yet: BlocoP::md_LoadRecord"); }
}  // namespace BlocoP
