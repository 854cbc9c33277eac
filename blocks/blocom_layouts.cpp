// Record layouts of BlocoM, one per record of the block in the record
// catalogue, in layout order, built like every block's (catalogue_layouts.h).
//
// Link columns: Id_CNPJ (the CNPJ of the file the line came from), Id_Arquivo
// (the number of that file, which tells the parts of one CNPJ apart); the
// identity ID on every table (rows keep their input order); ID_Pai (INT) on
// every record whose parent is itself below M001: the identity of the nearest
// parent row stored before it from the same file. M410 and M810 also keep CST,
// the CST of their M400 / M800.
#include <string_view>

#include "blocks/blocom.h"
#include "staging/catalogue_layouts.h"
#include "staging/layout_spec.h"
#include "staging/record_catalogue.h"
#include "staging/run_context.h"

namespace BlocoM {
namespace {

// The catalogue's layouts of the block; a record below a record of level 2 or
// deeper that lacks ID_Pai (the records staged since the first version) gets
// it after its other link columns, so that every line is merged under its own
// parent.
std::vector<LayoutSpec> BuildLayouts() {
  std::vector<LayoutSpec> out = CatalogueLayouts('M');
  for (LayoutSpec& spec : out) {
    if (!HasParentRow(spec.code)) continue;
    auto firstLine = spec.fields.begin();
    bool linked = false;
    for (; firstLine != spec.fields.end() && firstLine->key < 0; ++firstLine) linked = linked || firstLine->name == "ID_Pai";
    if (!linked) spec.fields.insert(firstLine, FieldSpec{"ID_Pai", true, -1, RunRef::PaiID});
    spec.pkIdentity = true;  // every Block M table keeps its input order
  }
  return out;
}

}  // namespace

bool HasParentRow(std::string_view reg) {
  const CatalogueRecord* r = Layout006().Find(reg);
  return r && r->block == 'M' && r->parent && r->parent->level >= 2;
}

const std::vector<LayoutSpec>& Layouts() {
  static const std::vector<LayoutSpec> kLayouts = BuildLayouts();
  return kLayouts;
}

Objeto_Collection md_GetLayout(RunContext& ctx, std::string_view reg) { return BuildLayout(ctx, Layouts(), reg); }

}  // namespace BlocoM
