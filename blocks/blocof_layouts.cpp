// Record layouts of BlocoF: one row per record code, in the order the staging
// tables are created; fields in line order after the link columns (Key -1).
#include "blocks/blocof.h"

#include "staging/layout_spec.h"

namespace BlocoF {

const std::vector<LayoutSpec>& Layouts() {
  static const std::vector<LayoutSpec> kLayouts = {
      {"F001", true, {
          {"Id_CNPJ", false, -1},
          {"Reg", false, 1},
          {"Ind_Mov", false, 2},
      }},
      {"F990", true, {
          {"Id_CNPJ", false, -1},
          {"Reg", false, 1},
          {"Qtd_Lin_F", false, 2},
      }},
  };
  return kLayouts;
}

Objeto_Collection md_GetLayout(std::string_view reg) { return BuildLayout(Layouts(), reg); }

void md_CreateTables() { CreateTablesOf(Layouts()); }

}  // namespace BlocoF
