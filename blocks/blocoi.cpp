// Block I of the merged file: the opener, one I010 per establishment with
// its whole subtree, the closer (the shared writer of establishment blocks).
#include "blocks/blocoi.h"

#include "blocks/establishment_block.h"

namespace BlocoI {
namespace {
const EstablishmentBlock kBlock{'I', "I001", "I010", "I990", "Qtd_Lin_I", &md_GetLayout, true};
}  // namespace

void md_WriteRecords(std::string_view reg, Objeto_Collection& layout) {
  WriteEstablishmentBlockRecords(kBlock, reg, layout);
}

void md_UnifyBlock(bool&) { UnifyEstablishmentBlock(kBlock); }

}  // namespace BlocoI
