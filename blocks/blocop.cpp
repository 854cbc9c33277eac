// Block P of the merged file: the opener, one P010 per establishment with
// its whole subtree, the closer (the shared writer of establishment blocks).
#include "blocks/blocop.h"

#include "blocks/establishment_block.h"

namespace BlocoP {
namespace {
const EstablishmentBlock kBlock{'P', "P001", "P010", "P990", "Qtd_Lin_P", &md_GetLayout, true};
}  // namespace

void md_WriteRecords(std::string_view reg, Objeto_Collection& layout) {
  WriteEstablishmentBlockRecords(kBlock, reg, layout);
}

void md_UnifyBlock(bool&) { UnifyEstablishmentBlock(kBlock); }

}  // namespace BlocoP
