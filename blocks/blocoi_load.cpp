// Placeholder, replaced by the block's loader.
#include <stdexcept>
#include "blocks/blocoi.h"

namespace BlocoI {
void md_LoadRecord(std::string_view, std::string_view) { throw std::logic_error("not built yet: BlocoI::md_LoadRecord"); }
}  // namespace BlocoI
