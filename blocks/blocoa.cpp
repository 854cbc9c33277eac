// Block A of the merged file: its opener and closer only (the shared writer
// of such blocks, with the block's codes).
#include "blocks/blocoa.h"

#include "blocks/opener_closer_block.h"

namespace BlocoA {
namespace {
const OpenerCloserBlock kBlock{'A', "A001", "A990", "Qtd_Lin_A", &md_GetLayout, false};
}  // namespace

void md_WriteRecords(std::string_view reg, Objeto_Collection& layout) {
  WriteOpenerCloserRecords(kBlock, reg, layout);
}

void md_UnifyBlock(bool&) { UnifyOpenerCloserBlock(kBlock); }

}  // namespace BlocoA
