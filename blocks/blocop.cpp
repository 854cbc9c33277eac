// Block P of the merged file: its opener and closer only (the shared writer
// of such blocks, with the block's codes).
#include "blocks/blocop.h"

#include "blocks/opener_closer_block.h"

namespace BlocoP {
namespace {
const OpenerCloserBlock kBlock{'P', "P001", "P990", "Qtd_Lin_P", &md_GetLayout, true};
}  // namespace

void md_WriteRecords(std::string_view reg, Objeto_Collection& layout) {
  WriteOpenerCloserRecords(kBlock, reg, layout);
}

void md_UnifyBlock(bool&) { UnifyOpenerCloserBlock(kBlock); }

}  // namespace BlocoP
