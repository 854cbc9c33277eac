// Placeholder, replaced by the block's loader.
#include <stdexcept>
#include "blocks/blocof.h"

namespace BlocoF {
void md_LoadRecord(std::string_view, std::string_view) { throw std::logic_error("not built yet: BlocoF::md_LoadRecord"); }
}  // namespace BlocoF
