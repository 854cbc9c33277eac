// Record layouts of BlocoA: every record of block A in the layout, in the
// order the staging tables are created, built from the record catalogue.
#include "blocks/blocoa.h"

#include "staging/catalogue_layouts.h"
#include "staging/layout_spec.h"

namespace BlocoA {

const std::vector<LayoutSpec>& Layouts() {
  static const std::vector<LayoutSpec> kLayouts = CatalogueLayouts('A');
  return kLayouts;
}

Objeto_Collection md_GetLayout(std::string_view reg) { return BuildLayout(Layouts(), reg); }

void md_CreateTables() { CreateTablesOf(Layouts()); }

}  // namespace BlocoA
