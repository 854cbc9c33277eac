// The fields of fixed size of a file against the layout: a field whose size
// the layout marks with '*' (CST N 002*, CNPJ N 014*, REG C 004*) holds
// exactly that many characters when it holds any. The tax authority's
// validator refuses a line where it does not ("6" for a CST "06"). Whether a
// field may be empty is not this rule's business. Lines of an older layout
// are read in the current layout's positions, as the other rules read them
// (a 13-field M210/M610 in its current form).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "staging/record_catalogue.h"

// The number of characters of `text`: a UTF-8 multi-byte sequence counts as
// one, any other byte (Latin-1 text) as one. Never throws.
size_t CharacterCount(std::string_view text);

// What is wrong with `text` in fixed-size field `field`, in Portuguese: "o
// campo 03 (IND_ATIV) tem 1 caractere, o leiaute exige exatamente 2: "1"".
// Empty when the field has no fixed size, `text` is empty or has the size.
std::string DescribeSizeFault(const CatalogueField& field, std::string_view text);

class SizeRules {
 public:
  // Receives each finding: the line it concerns, its record code, the message.
  using Report = std::function<void(int64_t line, std::string_view code, std::string message)>;

  explicit SizeRules(Report report) : report_(std::move(report)) {}

  // Checks the fixed-size fields of line `n` ("|REG|...|", closing bar
  // included) of `record`. Fields beyond the record's are left to the field
  // count. Never throws for bad content.
  void Line(int64_t n, const CatalogueRecord& record, std::string_view line);

 private:
  // [k]: field k of the record when its size is fixed, else nullptr.
  const std::vector<const CatalogueField*>& FixedFields(const CatalogueRecord& record);

  Report report_;
  std::unordered_map<const CatalogueRecord*, std::vector<const CatalogueField*>> fixed_;
  std::string current_;  // an older M210/M610 line in its current form
};
