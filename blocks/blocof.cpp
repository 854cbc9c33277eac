// Block F of the merged file: the opener, one F010 per establishment with
// its whole subtree, the closer (the shared writer of establishment blocks).
#include "blocks/blocof.h"

#include "blocks/establishment_block.h"

namespace BlocoF {
namespace {
const EstablishmentBlock kBlock{'F', "F001", "F010", "F990", "Qtd_Lin_F", &md_GetLayout, false};
}  // namespace

void md_WriteRecords(std::string_view reg, Objeto_Collection& layout) {
  WriteEstablishmentBlockRecords(kBlock, reg, layout);
}

void md_UnifyBlock(bool&) { UnifyEstablishmentBlock(kBlock); }

}  // namespace BlocoF
