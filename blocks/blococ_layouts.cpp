// Record layouts of BlocoC: every record of block C in the layout, in the
// order the staging tables are created, built from the record catalogue.
#include "blocks/blococ.h"

#include "staging/catalogue_layouts.h"
#include "staging/layout_spec.h"

namespace BlocoC {

const std::vector<LayoutSpec>& Layouts() {
  static const std::vector<LayoutSpec> kLayouts = CatalogueLayouts('C');
  return kLayouts;
}

Objeto_Collection md_GetLayout(std::string_view reg) { return BuildLayout(Layouts(), reg); }

void md_CreateTables() { CreateTablesOf(Layouts()); }

}  // namespace BlocoC
