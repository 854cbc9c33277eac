#include "blocks/registry.h"

#include "blocks/company_rules.h"
#include "blocks/record_links.h"
#include "staging/catalogue_layouts.h"

#include "blocks/bloco0.h"
#include "blocks/bloco1.h"
#include "blocks/bloco9.h"
#include "blocks/blocoa.h"
#include "blocks/blococ.h"
#include "blocks/blocod.h"
#include "blocks/blocof.h"
#include "blocks/blocoi.h"
#include "blocks/blocom.h"
#include "blocks/blocop.h"

const std::vector<BlockModule>& BlockModules() {
  static const std::vector<BlockModule> kModules = {
      {'0', "Bloco0", &Bloco0::Layouts, &Bloco0::md_CreateTables},
      {'A', "BlocoA", &BlocoA::Layouts, &BlocoA::md_CreateTables},
      {'C', "BlocoC", &BlocoC::Layouts, &BlocoC::md_CreateTables},
      {'D', "BlocoD", &BlocoD::Layouts, &BlocoD::md_CreateTables},
      {'F', "BlocoF", &BlocoF::Layouts, &BlocoF::md_CreateTables},
      {'I', "BlocoI", &BlocoI::Layouts, &BlocoI::md_CreateTables},
      {'M', "BlocoM", &BlocoM::Layouts, &BlocoM::md_CreateTables},
      {'P', "BlocoP", &BlocoP::Layouts, &BlocoP::md_CreateTables},
      {'1', "Bloco1", &Bloco1::Layouts, &Bloco1::md_CreateTables},
      {'9', "Bloco9", &Bloco9::Layouts, &Bloco9::md_CreateTables},
  };
  return kModules;
}

const BlockModule* FindBlock(char letter) {
  for (const auto& m : BlockModules())
    if (m.letter == letter) return &m;
  return nullptr;
}

const LayoutSpec* FindAnyLayout(std::string_view code) {
  if (code.empty()) return nullptr;
  const BlockModule* m = FindBlock(code[0]);
  return m ? FindLayoutSpec(m->layouts(), code) : nullptr;
}

bool IsMergedCode(std::string_view code) {
  if (!FindAnyLayout(code)) return false;
  if (CompanyRuleFor(code)) return true;  // company-level records, merged by their rules
  if (code[0] == 'M') return true;  // Block M stores and recomputes every record it has a layout of
  if (StagedLinks(code)) return true;  // the records staged since the first version
  return record_links::IsEstablishmentRecord(code) || !record_links::EstablishmentOf(code).empty();
}
