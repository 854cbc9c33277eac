// Block I of the merged file: its opener and closer only (the shared writer
// of such blocks, with the block's codes).
#include "blocks/blocoi.h"

#include "blocks/opener_closer_block.h"

namespace BlocoI {
namespace {
const OpenerCloserBlock kBlock{'I', "I001", "I990", "Qtd_Lin_I", &md_GetLayout, true};
}  // namespace

void md_WriteRecords(std::string_view reg, Objeto_Collection& layout) {
  WriteOpenerCloserRecords(kBlock, reg, layout);
}

void md_UnifyBlock(bool&) { UnifyOpenerCloserBlock(kBlock); }

}  // namespace BlocoI
