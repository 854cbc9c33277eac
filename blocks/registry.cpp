#include "blocks/registry.h"

#include "blocks/bloco0.h"
#include "blocks/bloco9.h"
#include "blocks/blocom.h"
#include "blocks/code_memo.h"
#include "blocks/company_rules.h"
#include "blocks/establishment_block.h"
#include "blocks/opener_closer_block.h"
#include "blocks/record_links.h"
#include "staging/catalogue_layouts.h"
#include "staging/run_context.h"

namespace {

// The catalogue's layouts of block `L`, built on first use; the carried
// records (IsCarriedRecord) are staged whole.
template <char L>
const std::vector<LayoutSpec>& CatalogueLayoutsOf() {
  static const std::vector<LayoutSpec> kLayouts = [] {
    std::vector<LayoutSpec> layouts = CatalogueLayouts(L);
    for (LayoutSpec& spec : layouts) spec.wholeLine = IsCarriedRecord(spec.code);
    return layouts;
  }();
  return kLayouts;
}

}  // namespace

const std::vector<BlockEntry>& BlockTable() {
  using enum BlockContent;
  static const std::vector<BlockEntry> kTable = {
      {'0', "0001", "0990", "0140", "Qtd_Lin_0", HeadAndEstablishments, false, false, &CatalogueLayoutsOf<'0'>, false},
      {'A', "A001", "A990", "A010", "Qtd_Lin_A", Establishments, false, false, &CatalogueLayoutsOf<'A'>, true},
      {'C', "C001", "C990", "C010", "Qtd_Lin_C", Establishments, false, false, &CatalogueLayoutsOf<'C'>, true},
      {'D', "D001", "D990", "D010", "Qtd_Lin_D", Establishments, false, false, &CatalogueLayoutsOf<'D'>, true},
      {'F', "F001", "F990", "F010", "Qtd_Lin_F", Establishments, false, false, &CatalogueLayoutsOf<'F'>, true},
      {'I', "I001", "I990", "I010", "Qtd_Lin_I", Establishments, true, false, &CatalogueLayoutsOf<'I'>, true},
      {'M', "M001", "M990", nullptr, "Qtd_Lin_M", Contributions, false, false, &CatalogueLayoutsOf<'M'>, false},
      {'P', "P001", "P990", "P010", "Qtd_Lin_P", Establishments, true, true, &CatalogueLayoutsOf<'P'>, true},
      {'1', "1001", "1990", nullptr, "Qtd_Lin_1", CompanyRecords, false, true, &CatalogueLayoutsOf<'1'>, false},
      {'9', "9001", "9990", nullptr, "Qtd_Lin_9", Counts, false, false, &CatalogueLayoutsOf<'9'>, false},
  };
  return kTable;
}

const BlockEntry* FindBlock(char letter) {
  for (const auto& b : BlockTable())
    if (b.letter == letter) return &b;
  return nullptr;
}

Objeto_Collection BlockLayout(RunContext& ctx, std::string_view reg) {
  const BlockEntry* b = reg.empty() ? nullptr : FindBlock(reg[0]);
  return b ? BuildLayout(ctx, b->layouts(), reg) : Objeto_Collection();
}

const LayoutSpec* FindAnyLayout(std::string_view code) {
  if (code.empty()) return nullptr;
  const BlockEntry* b = FindBlock(code[0]);
  return b ? FindLayoutSpec(b->layouts(), code) : nullptr;
}

bool IsCarriedRecord(std::string_view code) {
  if (code.empty() || CompanyRuleFor(code)) return false;
  const BlockEntry* b = FindBlock(code[0]);
  if (!b || !b->carriedSubtree || !b->establishment) return false;
  return record_links::EstablishmentOf(code) == b->establishment;
}

namespace {

// IsMergedCode without its memo.
bool MergedCode(std::string_view code) {
  if (!FindAnyLayout(code)) return false;
  if (CompanyRuleFor(code)) return true;  // company-level records, merged by their rules
  if (code[0] == 'M') return true;  // Block M stores and recomputes every record it has a layout of
  if (StagedLinks(code)) return true;  // the records staged since the first version
  return record_links::IsEstablishmentRecord(code) || !record_links::EstablishmentOf(code).empty();
}

}  // namespace

bool IsMergedCode(std::string_view code) {
  static CodeMemo<bool> memo;  // asked once per input line
  return memo.Get(code, [](std::string_view c) { return MergedCode(c); });
}

void WriteBlock(RunContext& ctx, const BlockEntry& block, bool& singleCnpj) {
  switch (block.content) {
    case BlockContent::HeadAndEstablishments: Bloco0::md_UnifyBlock(ctx, singleCnpj); break;
    case BlockContent::Establishments: UnifyEstablishmentBlock(ctx, block); break;
    case BlockContent::CompanyRecords: UnifyOpenerCloserBlock(ctx, block); break;
    case BlockContent::Contributions: BlocoM::md_UnifyBlock(ctx); break;
    case BlockContent::Counts: Bloco9::md_UnifyBlock(ctx); break;
  }
}
