// The record catalogue: every record of an EFD-Contribuições layout with its
// place in the record tree (parent, level, occurrence) and its fields (name,
// type, size, decimals, required), read from the layout table that the project
// carries as data (staging/catalogue/layout-006.tsv, built into the program).
// Loaders, writers, the checker and the generator all take record knowledge
// from here; nothing else lists a record's fields.
#pragma once

#include <string>
#include <unordered_map>
#include <string_view>
#include <vector>

struct CatalogueField {
  std::string name;   // as the layout names it: "VL_DOC"
  int number = 0;     // position in the line, 1 = REG
  char type = 'C';    // 'C' text, 'N' number
  int size = 0;       // 0 when the layout gives none
  bool exactSize = false;  // the size is exact (marked '*' in the layout)
  int decimals = -1;  // -1 when the layout gives none
  bool required = false;
};

struct CatalogueRecord {
  std::string code;         // "C170"
  char block = 0;           // '0', 'A', 'C', …, '9'
  std::string parentCode;   // "C100"; empty for 0000 and 9999
  int level = 0;            // 0 for 0000/9999, 1 for openers and closers
  std::string occurrence;   // "1", "V", "1:1" or "1:N"
  std::vector<CatalogueField> fields;  // in line order, REG first
  const CatalogueRecord* parent = nullptr;
  std::vector<const CatalogueRecord*> children;  // in layout order

  // At most one per parent (occurrence "1" or "1:1").
  bool AtMostOne() const { return occurrence == "1" || occurrence == "1:1"; }
  // The field named `name` (exact), or nullptr.
  const CatalogueField* Field(std::string_view name) const;
  // True when `other` is this record or sits somewhere below it.
  bool Contains(const CatalogueRecord& other) const;
};

class RecordCatalogue {
 public:
  // Parses a layout table (tab-separated, header line first; columns block,
  // record, parent, level, occurrence, field_no, field, type, size, decimals,
  // required). Throws std::runtime_error naming the line on a malformed row.
  RecordCatalogue(std::string_view version, std::string_view tsv);

  std::string_view Version() const { return version_; }
  // Every record in layout order (the order of the layout's block tables).
  const std::vector<CatalogueRecord>& Records() const { return records_; }
  // The record `code` (exact, case-sensitive), or nullptr.
  const CatalogueRecord* Find(std::string_view code) const;
  // The records of `block` in layout order.
  std::vector<const CatalogueRecord*> BlockRecords(char block) const;

 private:
  std::string version_;
  std::vector<CatalogueRecord> records_;
  std::unordered_map<std::string, size_t> index_;  // code -> position in records_
};

// The current layout (COD_VER 006), parsed once on first use.
const RecordCatalogue& Layout006();
