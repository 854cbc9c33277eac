// Block 1 of the merged file: its opener, the company-level records of every
// file in layout order, each by its rule (company_rules.h), and the closer.
#include "blocks/bloco1.h"

#include "blocks/company_writer.h"
#include "blocks/opener_closer_block.h"

namespace Bloco1 {
namespace {

void WriteCompanyLevel() {
  for (const std::string& code : CompanyLevelCodes('1')) WriteCompanyRecords(code);
}

bool HasCompanyLevel() { return HasCompanyRows('1'); }

const OpenerCloserBlock kBlock{'1', "1001", "1990", "Qtd_Lin_1", &md_GetLayout, false, &WriteCompanyLevel,
                               &HasCompanyLevel};
}  // namespace

void md_WriteRecords(std::string_view reg, Objeto_Collection& layout) {
  if (reg == kBlock.opener || reg == kBlock.closer)
    WriteOpenerCloserRecords(kBlock, reg, layout);
  else
    WriteCompanyRecords(reg);
}

void md_UnifyBlock(bool&) { UnifyOpenerCloserBlock(kBlock); }

}  // namespace Bloco1
