// The rule of the check on the tables of codes (participants 0150, units
// 0190, items 0200, natures of operation 0400, notes 0450 of one
// establishment; accounts 0500 and cost centres 0600 of the file): a code is
// defined once. The guide says of participants that a code "não pode ser
// duplicado, atribuído a participantes diferentes", of items that it "não
// pode ser duplicado ou atribuído a itens (produto ou serviço) diferentes",
// and of 0400 and 0450 that two records with the same code cannot be given;
// for 0500 and 0600 the same holds of the code with its date of change (and
// referential account).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

#include "checker/efd_check.h"
#include "staging/code_references.h"
#include "staging/record_catalogue.h"

class CodeRules {
 public:
  // `identicalIsError`: a code given twice with the same content is an error
  // (the check of a file for the tax authority's validator); otherwise a
  // warning (an input of the merge, which writes such a line once).
  CodeRules(CheckReport& report, bool identicalIsError) : report_(report), identicalIsError_(identicalIsError) {}

  // Checks line `n` of `record` (a whole line, "|REG|...|"). A 0140 line
  // opens the establishment whose tables the lines that follow fill. Findings
  // go to the report; nothing is thrown.
  void Line(int64_t n, const CatalogueRecord& record, std::string_view line);

 private:
  struct Definition {
    int64_t line = 0;
    uint64_t content = 0;  // hash of the line's fields, blanks around them trimmed
  };

  CheckReport& report_;
  bool identicalIsError_;
  std::string establishment_;  // CNPJ of the last 0140
  std::unordered_map<std::string, Definition> defined_[kCodeKinds];
};
