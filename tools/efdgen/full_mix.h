// The "every record" mix of the generator: completes each block of a
// generated file so that every record of the layout occurs, under a parent the
// layout gives it, with the codes it refers to taken from the tables of its
// own establishment (participants, items, units, natures of operation, notes)
// and of the company (accounts, cost centres). Added records carry zero
// amounts, so every sum the file states stays true.
#pragma once

#include "staging/code_references.h"

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "staging/record_catalogue.h"

class FullMix {
 public:
  // `firstDay` and `lastDay` are the period's dates as ddmmyyyy.
  FullMix(std::string firstDay, std::string lastDay);

  // Completes the lines of block `letter` (its opener and closer excluded;
  // Block 0 before any other) in place: every record of the block that the
  // lines lack is added (each establishment of Block 0's 0140 records gets its
  // A010, C010, ..., P010; the first and every eighth record of a code below
  // that level gets the children it lacks), then each parent's children are
  // put in layout order, records of one code keeping their order. Lines whose
  // code the layout does not know stay where they are.
  void Block(char letter, std::vector<std::string>& lines);

  enum Kind { kPart = kCodePart, kItem = kCodeItem, kUnit = kCodeUnit, kNature = kCodeNature, kNote = kCodeNote,
              kAccount = kCodeAccount, kCostCentre = kCodeCostCentre, kKinds = kCodeKinds };

 private:
  struct Tables {
    std::vector<std::string> codes[kKinds];
  };
  struct Node;

  // Adds a new `record` (with one of each record below it) for the
  // establishment `cnpj` ("" for the company's records); returns its node.
  int Generic(std::vector<Node>& nodes, const CatalogueRecord& record, const std::string& cnpj);
  std::string Value(const CatalogueRecord& record, const CatalogueField& field, const std::string& cnpj);
  // Takes the codes of Block 0's tables for the references of later blocks.
  void Collect(const std::vector<Node>& nodes);

  std::string firstDay_, lastDay_;
  std::vector<std::string> cnpjs_;  // the establishments of Block 0, in order
  std::unordered_map<std::string, Tables> tables_;  // by CNPJ; "" = the company
  size_t pick_ = 0;  // rotates the codes chosen for references
};
