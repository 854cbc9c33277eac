// Record layouts of Bloco9: every record of block 9 in the layout, in the
// order the staging tables are created, built from the record catalogue.
#include "blocks/bloco9.h"

#include "staging/catalogue_layouts.h"
#include "staging/layout_spec.h"

namespace Bloco9 {

const std::vector<LayoutSpec>& Layouts() {
  static const std::vector<LayoutSpec> kLayouts = CatalogueLayouts('9');
  return kLayouts;
}

Objeto_Collection md_GetLayout(std::string_view reg) { return BuildLayout(Layouts(), reg); }

void md_CreateTables() { CreateTablesOf(Layouts()); }

}  // namespace Bloco9
