// Block A of the merged file: the opener, one A010 per establishment with
// its whole subtree, the closer (the shared writer of establishment blocks).
#include "blocks/blocoa.h"

#include "blocks/establishment_block.h"

namespace BlocoA {
namespace {
const EstablishmentBlock kBlock{'A', "A001", "A010", "A990", "Qtd_Lin_A", &md_GetLayout, false};
}  // namespace

void md_WriteRecords(std::string_view reg, Objeto_Collection& layout) {
  WriteEstablishmentBlockRecords(kBlock, reg, layout);
}

void md_UnifyBlock(bool&) { UnifyEstablishmentBlock(kBlock); }

}  // namespace BlocoA
