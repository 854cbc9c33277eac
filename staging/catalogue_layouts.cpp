#include "staging/catalogue_layouts.h"

#include "staging/record_catalogue.h"

namespace {

// The records staged since the first version whose link columns are not
// Id_CNPJ alone (the others: every record of kPlainStaged).
const std::vector<StagedLinkSpec>& SpecialStaged() {
  const FieldSpec idCnpj{"Id_CNPJ", false, -1};
  const FieldSpec ownId{"ID", true, -1};
  const FieldSpec parentId{"ID", true, -1, RunRef::ParentID};
  const FieldSpec ecf{"IDECF", true, -1, RunRef::EcfID};
  const FieldSpec caixa{"IDCaixa", true, -1, RunRef::CaixaID};
  const FieldSpec cst{"CST", false, -1};
  // D101/D105/D501/D505 name no run-state text: the loader fills "ID" of a
  // layout without identity from the current parent all the same.
  const FieldSpec plainId{"ID", true, -1};
  // Block M's records below a record of level 2 got their parent link after
  // the file number, when the block came to be merged under its own parents.
  const FieldSpec paiId{"ID_Pai", true, -1, RunRef::PaiID};
  static const std::vector<StagedLinkSpec> kSpecial = {
      {"0000", true, {}},
      {"0205", false, {idCnpj, parentId}},
      {"C100", true, {ownId, idCnpj}},
      {"C110", false, {idCnpj, parentId}},
      {"C170", false, {idCnpj, parentId}},
      {"C175", false, {idCnpj, parentId}},
      {"C180", true, {ownId, idCnpj}},
      {"C181", false, {idCnpj, parentId}},
      {"C185", false, {idCnpj, parentId}},
      {"C190", true, {ownId, idCnpj}},
      {"C191", false, {idCnpj, parentId}},
      {"C195", false, {idCnpj, parentId}},
      {"C380", true, {ownId, idCnpj}},
      {"C381", false, {idCnpj, parentId}},
      {"C385", false, {idCnpj, parentId}},
      {"C400", true, {ownId, idCnpj}},
      {"C405", true, {ownId, idCnpj, ecf}},
      {"C481", false, {ownId, idCnpj, ecf, caixa}},
      {"C485", false, {ownId, idCnpj, ecf, caixa}},
      {"C491", false, {idCnpj, parentId}},
      {"C495", false, {idCnpj, parentId}},
      {"C500", true, {ownId, idCnpj}},
      {"C501", false, {idCnpj, parentId}},
      {"C505", false, {idCnpj, parentId}},
      {"D100", true, {ownId, idCnpj}},
      {"D101", false, {idCnpj, plainId}},
      {"D105", false, {idCnpj, plainId}},
      {"D500", true, {ownId, idCnpj}},
      {"D501", false, {idCnpj, plainId}},
      {"D505", false, {idCnpj, plainId}},
      {"M105", true, {idCnpj}, {paiId}},
      {"M110", true, {idCnpj}, {paiId}},
      {"M205", true, {idCnpj}, {paiId}},
      {"M210", true, {idCnpj}, {paiId}},
      {"M410", true, {idCnpj, cst}, {paiId}},
      {"M505", true, {idCnpj}, {paiId}},
      {"M510", true, {idCnpj}, {paiId}},
      {"M605", true, {idCnpj}, {paiId}},
      {"M610", true, {idCnpj}, {paiId}},
      {"M810", true, {idCnpj, cst}, {paiId}},
  };
  return kSpecial;
}

// Records staged since the first version with the identity and Id_CNPJ only.
constexpr std::string_view kPlainStaged[] = {
    "0001", "0035", "0100", "0110", "0111", "0140", "0150", "0190", "0200", "0450", "0500", "0990",
    "A001", "A990", "C001", "C010", "C490", "C990", "D001", "D010", "D990", "F001", "F990", "I001",
    "I990", "M001", "M100", "M200", "M400", "M500", "M600", "M800", "M990", "P001", "P990", "1001", "1990", "9001", "9900", "9990",
    "9999"};

// Line fields stored as whole numbers (INT columns): the establishment code,
// which the import renumbers and the writer reads as a number.
bool IntegerColumn(std::string_view code, std::string_view field) {
  return code == "0140" && field == "COD_EST";
}

}  // namespace

const StagedLinkSpec* StagedLinks(std::string_view code) {
  for (const StagedLinkSpec& s : SpecialStaged())
    if (code == s.code) return &s;
  for (std::string_view c : kPlainStaged)
    if (c == code) {
      static const std::vector<StagedLinkSpec> kPlain = [] {
        std::vector<StagedLinkSpec> v;
        for (std::string_view p : kPlainStaged)
          v.push_back({p.data(), true, {FieldSpec{"Id_CNPJ", false, -1}}});
        return v;
      }();
      for (const StagedLinkSpec& s : kPlain)
        if (code == s.code) return &s;
    }
  return nullptr;
}

std::string_view ParentLinkColumn(std::string_view code) {
  if (const StagedLinkSpec* s = StagedLinks(code)) {
    if (!s->linksAfterFile.empty()) return "ID_Pai";
    for (const FieldSpec& f : s->links) {
      if (f.name == "IDCaixa") return "IDCaixa";
    }
    for (const FieldSpec& f : s->links) {
      if (f.name == "IDECF") return "IDECF";
      if (f.name == "ID" && !s->pkIdentity) return "ID";
    }
    return {};
  }
  const CatalogueRecord* r = Layout006().Find(code);
  if (r && r->parent && r->parent->level >= 2) return "ID_Pai";
  return {};
}

LayoutSpec CatalogueLayout(const CatalogueRecord& record) {
  LayoutSpec spec;
  spec.code = record.code;
  if (const StagedLinkSpec* staged = StagedLinks(record.code)) {
    spec.pkIdentity = staged->pkIdentity;
    spec.fields = staged->links;
  } else {
    spec.pkIdentity = true;
    spec.fields.push_back({"Id_CNPJ", false, -1});
    if (record.parent && record.parent->level >= 2) spec.fields.push_back({"ID_Pai", true, -1, RunRef::PaiID});
  }
  spec.fields.push_back({"Id_Arquivo", true, -1});
  if (const StagedLinkSpec* staged = StagedLinks(record.code))
    spec.fields.insert(spec.fields.end(), staged->linksAfterFile.begin(), staged->linksAfterFile.end());
  for (const CatalogueField& f : record.fields)
    spec.fields.push_back({ColumnSpelling(record.code, f.name), IntegerColumn(record.code, f.name),
                           static_cast<int16_t>(f.number)});
  return spec;
}

std::vector<LayoutSpec> CatalogueLayouts(char block) {
  std::vector<LayoutSpec> out;
  for (const CatalogueRecord* r : Layout006().BlockRecords(block)) out.push_back(CatalogueLayout(*r));
  return out;
}
