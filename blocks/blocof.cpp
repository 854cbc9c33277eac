// Block F of the merged file: its opener and closer only (the shared writer
// of such blocks, with the block's codes).
#include "blocks/blocof.h"

#include "blocks/opener_closer_block.h"

namespace BlocoF {
namespace {
const OpenerCloserBlock kBlock{'F', "F001", "F990", "Qtd_Lin_F", &md_GetLayout, false};
}  // namespace

void md_WriteRecords(std::string_view reg, Objeto_Collection& layout) {
  WriteOpenerCloserRecords(kBlock, reg, layout);
}

void md_UnifyBlock(bool&) { UnifyOpenerCloserBlock(kBlock); }

}  // namespace BlocoF
