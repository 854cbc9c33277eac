// Writing a block of establishments and documents as a tree of records: an
// opener; per stored establishment record its line followed by the
// establishment's documents, each document line followed at once by the lines
// of its child codes (selected by the identity of the row just written); a
// closing count. Blocks C and D describe themselves with a BlockTree.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "staging/layout.h"

// The place of one record code in its block's tree.
struct RecordNode {
  std::string_view code;
  // Run-state text that takes the value of `column` of each row right after
  // its line (nullptr: none); an "ID" column is taken as a whole number.
  std::string* target = nullptr;
  std::string_view column = "ID";
  // Codes written after each line, in this order.
  std::vector<std::string_view> children;
};

// What the writer needs to know of a block.
struct BlockTree {
  std::string_view opener;         // "C001"
  std::string_view establishment;  // "C010": one pass per stored row
  std::vector<std::string_view> documents;  // written in each pass, in this order
  std::string_view closer;         // "C990"
  std::string_view bloco;          // "C"
  std::string_view countColumn;    // "Qtd_Lin_C"

  Objeto_Collection (*getLayout)(std::string_view reg);
  // The node of `reg`, or nullptr for a code whose lines set nothing and have
  // no children.
  const RecordNode* (*findNode)(std::string_view reg);
  // The statement up to and including "FROM ###reg " for `reg` and its layout.
  std::string (*head)(std::string_view reg, const Objeto_Collection& layout);
  // What follows the head in the current run state (establishment, parent).
  std::string (*condition)(std::string_view reg, bool singleCnpj, int estIndex);
};

// Writes the whole block: the opener (Ind_Mov "0" when some establishment
// record is stored), one pass per stored establishment record in identity
// order (only the first when singleCnpj: the documents of every file then
// follow it), the closer. Throws DatabaseError for a rejected statement and
// whatever the output writer throws; lines written so far stay in the output.
void UnifyEstablishmentBlock(const BlockTree& tree, bool singleCnpj);

// Writes every line of `reg` in the current context: the opener, the closer,
// or the lines of a code that the block's statement selects, each followed by
// its children. Throws like UnifyEstablishmentBlock.
void WriteBlockRecords(const BlockTree& tree, std::string_view reg, Objeto_Collection& layout,
                       bool singleCnpj, int estIndex, bool isChild);

// Writes every line that the statement of `reg` selects, each followed at once
// by its children (recursively), and adds the number of lines of `reg` and of
// every child code to their counters when all are written. Progress is of kind
// 4 when isChild, else 3. Returns the number of lines of `reg` written.
// Throws like UnifyEstablishmentBlock; lines then written are not counted.
int32_t WriteRecordTree(const BlockTree& tree, std::string_view reg, Objeto_Collection& layout,
                        bool singleCnpj, int estIndex, bool isChild);

// The right-hand side of a comparison with a stored Id_CNPJ: the CNPJ itself
// when it is plain digits (compared as a number), else a quoted, escaped text.
std::string CnpjOperand(std::string_view cnpj);

// A stored identity for a condition: the text when it is plain digits, else
// "NULL", which matches no row.
std::string IdentityOperand(std::string_view id);

// The usual statement head: "SELECT  " + columnsBefore + the line expression
// of `reg` (md_BuildLineExpr, line column named "Linha") + " FROM ###reg ".
std::string LineExprHead(std::string_view reg, const Objeto_Collection& layout,
                         std::string_view columnsBefore = {});

// The condition of the establishment record: "WHERE (ID = estIndex)", or
// nothing (every stored row) when singleCnpj and no pass is given.
std::string EstablishmentCondition(bool singleCnpj, int estIndex);

// The condition of a document code: "WHERE Id_CNPJ = (C)" for the current
// establishment unless singleCnpj, then " ORDER BY ID ASC".
std::string DocumentCondition(bool singleCnpj);
