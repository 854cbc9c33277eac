// Record layouts of Bloco9: one row per record code, in the order the staging
// tables are created; fields in line order after the link columns (Key -1).
#include "blocks/bloco9.h"

#include "staging/layout_spec.h"

namespace Bloco9 {

const std::vector<LayoutSpec>& Layouts() {
  static const std::vector<LayoutSpec> kLayouts = {
      {"9001", true, {
          {"Id_CNPJ", false, -1},
          {"Reg", false, 1},
          {"Ind_Mov", false, 2},
      }},
      {"9900", true, {
          {"Id_CNPJ", false, -1},
          {"Reg", false, 1},
          {"Reg_Blc", false, 2},
          {"Qtd_Reg_Blc", false, 3},
      }},
      {"9990", true, {
          {"Id_CNPJ", false, -1},
          {"Reg", false, 1},
          {"Qtd_Lin_9", false, 2},
      }},
      {"9999", true, {
          {"Id_CNPJ", false, -1},
          {"Reg", false, 1},
          {"Qtd_Lin", false, 2},
      }},
  };
  return kLayouts;
}

Objeto_Collection md_GetLayout(std::string_view reg) { return BuildLayout(Layouts(), reg); }

void md_CreateTables() { CreateTablesOf(Layouts()); }

}  // namespace Bloco9
