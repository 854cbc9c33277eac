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

static const std::string* RunStateText(RunContext& ctx, RunRef ref) {
  switch (ref) {
    case RunRef::ParentID: return &ctx.currentParentID;
    case RunRef::EcfID: return &ctx.currentEcfID;
    case RunRef::CaixaID: return &ctx.currentCaixaID;
    case RunRef::PaiID: return &ctx.currentIdPai;
    case RunRef::None: break;
  }
  return nullptr;
}

Objeto_Collection BuildLayout(RunContext& ctx, const std::vector<LayoutSpec>& table, std::string_view reg) {
  Objeto_Collection layout;
  const LayoutSpec* spec = FindLayoutSpec(table, reg);
  if (!spec) return layout;
  layout.IsPkIdentity(spec->pkIdentity);
  layout.WholeLine(spec->wholeLine);
  for (const auto& f : spec->fields) {
    const char* tipo = f.integer ? "Integer" : "String";
    if (f.ref != RunRef::None)
      layout.Add(f.name, tipo, RunStateText(ctx, f.ref), f.key);
    else
      layout.Add(f.name, tipo, std::string(), f.key);
  }
  return layout;
}

void CreateTablesOf(RunContext& ctx, const std::vector<LayoutSpec>& table) {
  for (const auto& spec : table) {
    Objeto_Collection layout = BuildLayout(ctx, table, spec.code);
    md_CreateTable(ctx, spec.code, layout);
  }
}
