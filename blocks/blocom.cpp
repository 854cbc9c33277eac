// Placeholder, replaced by the block's writer.
#include <stdexcept>
#include "blocks/blocom.h"

namespace BlocoM {
void md_WriteRecords(std::string_view, Objeto_Collection&, std::string_view, bool) { throw std::logic_error("not built yet: BlocoM::md_WriteRecords"); }
void md_UnifyBlock() { throw std::logic_error("not built yet: BlocoM::md_UnifyBlock"); }
}  // namespace BlocoM
