// The one reader of the numbers of EFD files. A numeric field ('N' in the
// record catalogue) is written as the guide's section 3 asks: digits only,
// a decimal comma only where the layout gives decimals and with no more
// decimals than it gives, no more digits than the field's size, and no sign,
// thousands separator or other character. Every number that follows those
// rules is read exactly (a field without size up to
// ExactDecimal::kWholeDigits whole digits). The input check and `quelvar
// check` refuse what breaks a rule; the merge reads staged amounts through
// the same reader and stops on any it cannot read exactly.
#pragma once

#include <string>
#include <string_view>

#include "blocks/exact_decimal.h"
#include "staging/record_catalogue.h"

enum class AmountFault {
  kNone,
  kNotANumber,   // not digits with at most one decimal comma between digits
  kSign,         // a leading '-' or '+': the guide allows no sign
  kDecimals,     // more decimals than the layout's (any, where it gives none)
  kDigits,       // more digits than the layout's size
  kBeyondExact,  // a field without size with more whole digits than are read exactly
};

struct AmountReading {
  AmountFault fault = AmountFault::kNone;
  bool exact = false;  // `value` is the number written (the empty text is 0)
  ExactDecimal value;
  int digits = 0;    // digits written, whole and decimal
  int decimals = 0;  // digits written after the comma
  int whole = 0;     // digits written before the comma, leading zeros left out
};

// The field as the guide names it in messages: "campo 03 (VL_REC)".
std::string FieldInWords(const CatalogueField& field);

// Reads `text`, the content of numeric field `field`, and names the first
// rule it breaks (in the order of AmountFault). A text that breaks a rule of
// the layout may still be read exactly (a sign, a third decimal): `exact`
// says so. Never throws.
AmountReading ReadEfdAmount(std::string_view text, const CatalogueField& field);

// What is wrong with `text` in `field` as a user reads it, in Portuguese:
// "o campo 03 (VL_REC) tem 7 casas decimais, o leiaute admite até 2:
// "15846,9800001"". Empty for a sound reading.
std::string DescribeAmountFault(const AmountReading& reading, const CatalogueField& field, std::string_view text);

// The exact value of `text` staged for field `field` of record `record`, for
// the computations of the merge. Throws std::runtime_error naming the record,
// field and text when it cannot be read exactly; faults of the layout that
// leave the value exact (a sign on a value the merge itself computed) are
// left to the check of the merged file.
ExactDecimal EfdAmount(std::string_view text, const CatalogueRecord& record, const CatalogueField& field);

// EfdAmount for field number `k` of record `code` of the current layout.
// Throws std::logic_error when the catalogue has no such numeric field.
ExactDecimal EfdAmount(std::string_view text, std::string_view code, int k);
