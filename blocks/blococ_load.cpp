// Placeholder, replaced by the block's loader.
#include <stdexcept>
#include "blocks/blococ.h"

namespace BlocoC {
void md_LoadRecord(std::string_view, std::string_view) { throw std::logic_error("not built yet: BlocoC::md_LoadRecord"); }
}  // namespace BlocoC
