// Block 1 of the merged file: its opener and closer only (the shared writer
// of such blocks, with the block's codes).
#include "blocks/bloco1.h"

#include "blocks/opener_closer_block.h"

namespace Bloco1 {
namespace {
const OpenerCloserBlock kBlock{'1', "1001", "1990", "Qtd_Lin_1", &md_GetLayout, false};
}  // namespace

void md_WriteRecords(std::string_view reg, Objeto_Collection& layout) {
  WriteOpenerCloserRecords(kBlock, reg, layout);
}

void md_UnifyBlock(bool&) { UnifyOpenerCloserBlock(kBlock); }

}  // namespace Bloco1
