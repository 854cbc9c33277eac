// Placeholder, replaced by the block's loader.
#include <stdexcept>
#include "blocks/blocom.h"

namespace BlocoM {
void md_LoadRecord(std::string_view, std::string_view) { throw std::logic_error("not built yet: BlocoM::md_LoadRecord"); }
}  // namespace BlocoM
