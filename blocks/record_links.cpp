#include "blocks/record_links.h"

#include <map>
#include <string>

#include "blocks/code_memo.h"
#include "staging/catalogue_layouts.h"
#include "staging/record_catalogue.h"
#include "staging/run_state.h"
#include "staging/text.h"

namespace record_links {
namespace {

// Field k of a line, upper-cased and trimmed as it is stored.
std::string Field(std::string_view line, size_t k) {
  size_t start = 0;
  for (size_t i = 0; i < k; ++i) {
    start = line.find('|', start);
    if (start == std::string_view::npos) return {};
    ++start;
  }
  size_t end = line.find('|', start);
  return UpperLatin1(TrimBlanks(line.substr(start, end == std::string_view::npos ? end : end - start)));
}

// What PrepareLinks and RememberRow need of a record code, read once per code.
struct LinkFacts {
  bool establishment = false;       // 0140 or an X010
  bool underEstablishment = false;  // in an establishment's subtree
  std::string_view link;            // ParentLinkColumn
  std::string parent;               // the parent record's code, "" for none
  bool hasChildren = false;
};

LinkFacts FactsOf(std::string_view reg) {
  static CodeMemo<LinkFacts> memo;
  return memo.Get(reg, [](std::string_view r) {
    LinkFacts f;
    f.establishment = IsEstablishmentRecord(r);
    f.underEstablishment = !EstablishmentOf(r).empty();
    f.link = ParentLinkColumn(r);
    const CatalogueRecord* rec = Layout006().Find(r);
    if (rec && rec->parent) f.parent = rec->parent->code;
    f.hasChildren = rec && !rec->children.empty();
    return f;
  });
}

const std::string& LastRow(RunContext& ctx, std::string_view code) {
  static const std::string kNone;
  auto it = ctx.linkLastRow.find(code);
  return it == ctx.linkLastRow.end() ? kNone : it->second;
}

}  // namespace

bool IsEstablishmentRecord(std::string_view reg) {
  for (std::string_view c : {"0140", "A010", "C010", "D010", "F010", "I010", "P010"})
    if (c == reg) return true;
  return false;
}

std::string_view EstablishmentOf(std::string_view reg) {
  const CatalogueRecord* r = Layout006().Find(reg);
  for (const CatalogueRecord* p = r ? r->parent : nullptr; p; p = p->parent)
    if (IsEstablishmentRecord(p->code)) return p->code;
  return {};
}

void PrepareLinks(RunContext& ctx, std::string_view reg, std::string_view line) {
  if (reg == "0000") {
    ctx.linkFileCnpj = Field(line, 9);
    ctx.linkEstablishmentCnpj = ctx.linkFileCnpj;  // until the file names an establishment
    ctx.linkLastRow.clear();
    ctx.currentCNPJ = ctx.linkFileCnpj;
    return;
  }
  const LinkFacts& facts = FactsOf(reg);
  if (facts.establishment) {
    ctx.linkEstablishmentCnpj = Field(line, reg == "0140" ? 4 : 2);
    ctx.currentCNPJ = ctx.linkEstablishmentCnpj;
  } else if (facts.underEstablishment) {
    ctx.currentCNPJ = ctx.linkEstablishmentCnpj;
  } else {
    ctx.currentCNPJ = ctx.linkFileCnpj;
  }
  const std::string_view link = facts.link;
  if (link.empty()) return;
  const std::string& parentRow = LastRow(ctx, facts.parent);
  if (link == "ID_Pai") {
    ctx.currentIdPai = parentRow;
  } else if (link == "ID") {
    ctx.currentParentID = parentRow;
  } else if (link == "IDECF") {
    ctx.currentEcfID = parentRow;
  } else if (link == "IDCaixa") {
    ctx.currentCaixaID = parentRow;
    ctx.currentEcfID = LastRow(ctx, "C400");
  }
}

void RememberRow(RunContext& ctx, std::string_view reg, bool stored) {
  if (!FactsOf(reg).hasChildren) return;
  if (stored)
    ctx.linkLastRow[std::string(reg)] = std::to_string(ctx.connection->LastIdentity("###" + std::string(reg)));
  else
    ctx.linkLastRow[std::string(reg)].clear();
}

void Reset(RunContext& ctx) {
  ctx.linkFileCnpj.clear();
  ctx.linkEstablishmentCnpj.clear();
  ctx.linkLastRow.clear();
}

}  // namespace record_links
