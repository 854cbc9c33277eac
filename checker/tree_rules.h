// The rules of the check that come from the record catalogue: each record's
// number of fields, its place under the parent the layout gives it, the
// records that may occur at most once under their parent, the establishments
// (one 0140 per CNPJ, every X010 naming one of them) and the codes that lines
// refer to (participants, items, units, natures of operation and notes of
// their own establishment's 0140; accounts in 0500; cost centres in 0600).
#pragma once

#include "staging/code_references.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "checker/code_set.h"
#include "checker/efd_check.h"
#include "staging/record_catalogue.h"

class TreeRules {
 public:
  explicit TreeRules(CheckReport& report);

  // Checks line `n` of the known record `record` against the catalogue and
  // records what later lines may refer to. `countFields` is false for a line
  // whose shape is already reported (its fields are not counted). Findings
  // go to the report; nothing is thrown.
  void Line(int64_t n, const CatalogueRecord& record, std::string_view line, bool countFields);

  // Reports what is only known at the end (records in an older layout's
  // shorter form) and sets the report's layout fields.
  void Finish();

  // The kinds of code a field may define or refer to.
  enum Kind { kPart = kCodePart, kItem = kCodeItem, kUnit = kCodeUnit, kNature = kCodeNature, kNote = kCodeNote,
              kAccount = kCodeAccount, kCostCentre = kCodeCostCentre, kKinds = kCodeKinds };

 private:
  struct Establishment {
    std::string cnpj;
    int64_t line = 0;          // its (first) 0140
    CodeSet codes[kAccount];   // the establishment's tables: kPart .. kNote
  };
  // One open record of the path from 0000 to the current line.
  struct Frame {
    const CatalogueRecord* record = nullptr;
    int64_t line = 0;
    int establishment = kCompany;
    std::vector<std::pair<const CatalogueRecord*, int64_t>> once;  // children allowed once, first line
  };
  struct OlderForm {
    int64_t firstLine = 0;
    int64_t lines = 0;
    int fewest = 0;
  };
  static constexpr int kCompany = -1;  // a line outside any establishment
  static constexpr int kUnknown = -2;  // under an X010 whose CNPJ has no 0140

  void CountFields(int64_t n, const CatalogueRecord& record);  // of the line in fields_
  // Finds the frame of the line's parent, reports a misplaced or repeated
  // record, and returns the establishment the line belongs to.
  int Place(int64_t n, const CatalogueRecord& record);
  void Push(int64_t n, const CatalogueRecord& record, int establishment);
  int EstablishmentOf(int64_t n, const CatalogueRecord& record, std::string_view cnpj);
  void Codes(int64_t n, const CatalogueRecord& record, int establishment);  // of the line in fields_

  CheckReport& report_;
  std::string declared_;     // COD_VER of the 0000 line
  bool older_ = false;       // the file declares a layout before 006
  std::vector<Frame> frames_;  // frames_[0..depth_) are open; the rest are kept for reuse
  size_t depth_ = 0;
  std::vector<Establishment> establishments_;
  std::unordered_map<std::string, int> byCnpj_;
  CodeSet company_[kKinds];  // accounts and cost centres; for kPart..kNote every establishment's codes
  std::unordered_map<const CatalogueRecord*, OlderForm> olderForms_;
  std::vector<const CatalogueRecord*> olderOrder_;
  std::vector<std::string_view> fields_;  // the fields of the current line, REG first
};
