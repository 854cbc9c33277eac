// The values of a file's fields against the layout, in one walk over each
// line: every numeric field read by the reader of EFD amounts
// (blocks/efd_amount.h), which names a sign, a decimal comma or decimals the
// layout does not allow, more digits than the field's size, and a value it
// cannot read exactly; and every field of fixed size (checker/size_rules.h).
// Lines of an older layout are read by position (their records grew at the
// end), a 13-field M210/M610 in its current form.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "staging/record_catalogue.h"

class FieldRules {
 public:
  // Receives each finding: the line it concerns, its record code, the message.
  using Report = std::function<void(int64_t line, std::string_view code, std::string message)>;

  explicit FieldRules(Report report) : report_(std::move(report)) {}

  // Checks the numeric and fixed-size fields of line `n` ("|REG|...|",
  // closing bar included) of `record`. Fields beyond the record's are left to the field count.
  // Never throws for bad content.
  void Line(int64_t n, const CatalogueRecord& record, std::string_view line);

 private:
  // [k]: field k of the record when numeric or of fixed size, else nullptr.
  const std::vector<const CatalogueField*>& CheckedFields(const CatalogueRecord& record);

  Report report_;
  std::unordered_map<const CatalogueRecord*, std::vector<const CatalogueField*>> checked_;
  std::string current_;  // an older M210/M610 line in its current form
};
