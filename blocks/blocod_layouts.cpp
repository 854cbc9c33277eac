// Record layouts of BlocoD: every record of block D in the layout, in the
// order the staging tables are created, built from the record catalogue.
#include "blocks/blocod.h"

#include "staging/catalogue_layouts.h"
#include "staging/layout_spec.h"

namespace BlocoD {

const std::vector<LayoutSpec>& Layouts() {
  static const std::vector<LayoutSpec> kLayouts = CatalogueLayouts('D');
  return kLayouts;
}

Objeto_Collection md_GetLayout(std::string_view reg) { return BuildLayout(Layouts(), reg); }

void md_CreateTables() { CreateTablesOf(Layouts()); }

}  // namespace BlocoD
