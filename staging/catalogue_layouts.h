// Record layouts built from the record catalogue: every record of the layout
// gets a LayoutSpec (its staging table and the layout BlockLayout hands out),
// its fields taken from the catalogue in line order, their column names from
// the spelling table (ColumnSpelling), and its link columns (Key -1) first.
//
// Link columns. The records staged since the first version keep theirs as they
// were (StagedLinks). Every other record follows one convention:
//   Id_CNPJ  (text) the CNPJ of the establishment the line sits under (0140's
//            CNPJ for 0140's children, the X010's CNPJ for everything under an
//            X010), or the file's 0000 CNPJ for company-level records;
//   ID       the row's identity (IsPkIdentity true; the column is generated
//            by the database, in load order);
//   ID_Pai   (INT) when the record's parent is a record of level 2 or deeper:
//            the identity of the nearest row of the parent code stored before
//            it from the same file (the run context's currentIdPai at insert time).
//
// Every record, the first-version ones too, follows its link columns with
//   Id_Arquivo (INT) the number of the input file the line came from
//            (the run context's currentFileId, RunContext::BeginStagedFile). Id_CNPJ names the
//            establishment, which the parts of one CNPJ share; Id_Arquivo
//            tells those parts apart wherever "each file" is meant.
// The first-version records of Block M below a record of level 2 (M105, M210,
// M410...) then end with ID_Pai, as above (StagedLinkSpec::linksAfterFile).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "staging/layout_spec.h"

struct CatalogueRecord;

// The staging column name of field `field` (as the layout table names it) of
// record `code`. Never fails: a name the table does not mention follows the rule.
std::string ColumnSpelling(std::string_view code, std::string_view field);

// The link columns of a record staged since the first version, with its
// IsPkIdentity, or nullptr for a record that follows the convention above.
struct StagedLinkSpec {
  const char* code;
  bool pkIdentity;
  std::vector<FieldSpec> links;  // Key -1, in column order, before Id_Arquivo
  std::vector<FieldSpec> linksAfterFile = {};  // Key -1, after Id_Arquivo: ID_Pai or none
};
const StagedLinkSpec* StagedLinks(std::string_view code);

// The parent-link column of `code` by the rules above ("ID", "IDECF",
// "IDCaixa" or "ID_Pai"), or "" when its rows are linked to their
// establishment (or company) by Id_CNPJ alone.
std::string_view ParentLinkColumn(std::string_view code);

// The layout row of one catalogue record.
LayoutSpec CatalogueLayout(const CatalogueRecord& record);

// The layout rows of every record of `block` in the current layout, in layout
// order (the order their staging tables are created and registered in).
// Block modules call it once and keep the result.
std::vector<LayoutSpec> CatalogueLayouts(char block);
