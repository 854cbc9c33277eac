// Block P of the merged file: the opener, one P010 per establishment with
// its whole subtree, the company's P200 (summed per period) with their P210,
// the closer (the shared writer of establishment blocks).
#include "blocks/blocop.h"

#include "blocks/company_writer.h"
#include "blocks/establishment_block.h"

namespace BlocoP {
namespace {

bool WriteCompanyLevel() {
  int64_t n = 0;
  for (const std::string& code : CompanyLevelCodes('P')) n += WriteCompanyRecords(code);
  return n > 0;
}

bool HasCompanyLevel() { return HasCompanyRows('P'); }

const EstablishmentBlock kBlock{'P',   "P001", "P010", "P990", "Qtd_Lin_P", &md_GetLayout, true, &WriteCompanyLevel,
                                &HasCompanyLevel};
}  // namespace

void md_WriteRecords(std::string_view reg, Objeto_Collection& layout) {
  WriteEstablishmentBlockRecords(kBlock, reg, layout);
}

void md_UnifyBlock(bool&) { UnifyEstablishmentBlock(kBlock); }

}  // namespace BlocoP
