// Placeholder, replaced by the block's loader.
#include <stdexcept>
#include "blocks/blocoa.h"

namespace BlocoA {
void md_LoadRecord(std::string_view, std::string_view) { throw std::logic_error("not built yet: BlocoA::md_LoadRecord"); }
}  // namespace BlocoA
