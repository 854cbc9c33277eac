// Block D of the merged file: the opener, one D010 per establishment
// followed by its documents, each with its child records, and the closer (the
// shared writer of establishment blocks).
#include "blocks/blocod.h"

#include "blocks/establishment_block.h"

namespace BlocoD {
namespace {
const EstablishmentBlock kBlock{'D', "D001", "D010", "D990", "Qtd_Lin_D", &md_GetLayout, false};
}  // namespace

void md_WriteRecords(std::string_view reg, Objeto_Collection& layout, bool, int, bool) {
  WriteEstablishmentBlockRecords(kBlock, reg, layout);
}

void md_UnifyBlock(bool&) { UnifyEstablishmentBlock(kBlock); }

}  // namespace BlocoD
