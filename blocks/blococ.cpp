// Block C of the merged file: the opener, one C010 per establishment
// followed by its documents, each with its child records, and the closer (the
// shared writer of establishment blocks).
#include "blocks/blococ.h"

#include "blocks/establishment_block.h"

namespace BlocoC {
namespace {
const EstablishmentBlock kBlock{'C', "C001", "C010", "C990", "Qtd_Lin_C", &md_GetLayout, false};
}  // namespace

void md_WriteRecords(std::string_view reg, Objeto_Collection& layout, bool, int, bool) {
  WriteEstablishmentBlockRecords(kBlock, reg, layout);
}

void md_UnifyBlock(bool&) { UnifyEstablishmentBlock(kBlock); }

}  // namespace BlocoC
