// The fields of fixed size of a file against the layout: a field whose size
// the layout marks with '*' (CST N 002*, CNPJ N 014*, REG C 004*) holds
// exactly that many characters when it holds any. The tax authority's
// validator refuses a line where it does not ("6" for a CST "06"). Whether a
// field may be empty is not this rule's business. FieldRules
// (checker/field_rules.h) applies it to every line.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "staging/record_catalogue.h"

// The number of characters of `text`: a UTF-8 multi-byte sequence counts as
// one, any other byte (Latin-1 text) as one. Never throws.
size_t CharacterCount(std::string_view text);

// What is wrong with `text` in fixed-size field `field`, in Portuguese: "o
// campo 03 (IND_ATIV) tem 1 caractere, o leiaute exige exatamente 2: "1"".
// Empty when the field has no fixed size, `text` is empty or has the size.
std::string DescribeSizeFault(const CatalogueField& field, std::string_view text);
