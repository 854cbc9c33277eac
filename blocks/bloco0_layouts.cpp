// Record layouts of Bloco0: every record of block 0 in the layout, in the
// order the staging tables are created, built from the record catalogue.
#include "blocks/bloco0.h"

#include "staging/catalogue_layouts.h"
#include "staging/layout_spec.h"

namespace Bloco0 {

const std::vector<LayoutSpec>& Layouts() {
  static const std::vector<LayoutSpec> kLayouts = CatalogueLayouts('0');
  return kLayouts;
}

Objeto_Collection md_GetLayout(std::string_view reg) { return BuildLayout(Layouts(), reg); }

void md_CreateTables() { CreateTablesOf(Layouts()); }

}  // namespace Bloco0
