#include "staging/layout_spec.h"

#include "staging/resources.h"
#include "staging/run_state.h"

int LayoutSpec::LineFieldCount() const {
  int n = 0;
  for (const auto& f : fields) n += f.key > 0;
  return n;
}

const LayoutSpec* FindLayoutSpec(const std::vector<LayoutSpec>& table, std::string_view reg) {
  for (const auto& spec : table)
    if (reg == spec.code) return &spec;
  return nullptr;
}

static const std::string* RunStateText(RunRef ref) {
  switch (ref) {
    case RunRef::ParentID: return &ProcessRun().currentParentID;
    case RunRef::EcfID: return &ProcessRun().currentEcfID;
    case RunRef::CaixaID: return &ProcessRun().currentCaixaID;
    case RunRef::PaiID: return &ProcessRun().currentIdPai;
    case RunRef::None: break;
  }
  return nullptr;
}

Objeto_Collection BuildLayout(const std::vector<LayoutSpec>& table, std::string_view reg) {
  Objeto_Collection layout;
  const LayoutSpec* spec = FindLayoutSpec(table, reg);
  if (!spec) return layout;
  layout.IsPkIdentity(spec->pkIdentity);
  layout.WholeLine(spec->wholeLine);
  for (const auto& f : spec->fields) {
    const char* tipo = f.integer ? "Integer" : "String";
    if (f.ref != RunRef::None)
      layout.Add(f.name, tipo, RunStateText(f.ref), f.key);
    else
      layout.Add(f.name, tipo, std::string(), f.key);
  }
  return layout;
}

void CreateTablesOf(const std::vector<LayoutSpec>& table) {
  for (const auto& spec : table) {
    Objeto_Collection layout = BuildLayout(table, spec.code);
    md_CreateTable(spec.code, layout);
  }
}
