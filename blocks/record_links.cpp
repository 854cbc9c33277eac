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

struct State {
  std::string fileCnpj;
  std::string establishmentCnpj;
  std::map<std::string, std::string, std::less<>> lastRow;  // code -> identity of its last stored row
};

State& S() {
  static State s;
  return s;
}

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

const LinkFacts& FactsOf(std::string_view reg) {
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

const std::string& LastRow(std::string_view code) {
  static const std::string kNone;
  auto it = S().lastRow.find(code);
  return it == S().lastRow.end() ? kNone : it->second;
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

void PrepareLinks(std::string_view reg, std::string_view line) {
  State& s = S();
  if (reg == "0000") {
    s.fileCnpj = Field(line, 9);
    s.establishmentCnpj = s.fileCnpj;  // until the file names an establishment
    s.lastRow.clear();
    ProcessRun().currentCNPJ = s.fileCnpj;
    return;
  }
  const LinkFacts& facts = FactsOf(reg);
  if (facts.establishment) {
    s.establishmentCnpj = Field(line, reg == "0140" ? 4 : 2);
    ProcessRun().currentCNPJ = s.establishmentCnpj;
  } else if (facts.underEstablishment) {
    ProcessRun().currentCNPJ = s.establishmentCnpj;
  } else {
    ProcessRun().currentCNPJ = s.fileCnpj;
  }
  const std::string_view link = facts.link;
  if (link.empty()) return;
  const std::string& parentRow = LastRow(facts.parent);
  if (link == "ID_Pai") {
    ProcessRun().currentIdPai = parentRow;
  } else if (link == "ID") {
    ProcessRun().currentParentID = parentRow;
  } else if (link == "IDECF") {
    ProcessRun().currentEcfID = parentRow;
  } else if (link == "IDCaixa") {
    ProcessRun().currentCaixaID = parentRow;
    ProcessRun().currentEcfID = LastRow("C400");
  }
}

void RememberRow(std::string_view reg, bool stored) {
  if (!FactsOf(reg).hasChildren) return;
  if (stored)
    S().lastRow[std::string(reg)] = std::to_string(ProcessRun().connection->LastIdentity("###" + std::string(reg)));
  else
    S().lastRow[std::string(reg)].clear();
}

void Reset() { S() = State{}; }

}  // namespace record_links
