// Block D writer: the opener, one D010 per stored establishment record, each
// followed by that establishment's D100 and D500 documents with their
// details, and D990.
#include "blocks/blocod.h"

#include <string>

#include "blocks/record_tree_writer.h"
#include "staging/run_state.h"

namespace BlocoD {
namespace {

// What follows each line of a code: the run-state value it sets, its children.
const RecordNode* FindNode(std::string_view reg) {
  static const RecordNode kNodes[] = {
      {"D010", &g_CurrentCNPJ, "CNPJ", {}},
      {"D100", &g_CurrentParentID, "ID", {"D101", "D105"}},
      {"D500", &g_CurrentParentID, "ID", {"D501", "D505"}},
  };
  for (const RecordNode& n : kNodes)
    if (n.code == reg) return &n;
  return nullptr;
}

// The statement head of `reg`: every column of D010 (its line is composed from
// them and its CNPJ read), the line expression of every other code.
std::string Head(std::string_view reg, const Objeto_Collection& layout) {
  if (reg == "D010") return "SELECT  * FROM ###D010 ";
  return LineExprHead(reg, layout);
}

// The condition of `reg` in the current run state: the pass's D010, the
// current establishment's documents in load order, a document's details.
std::string Condition(std::string_view reg, bool singleCnpj, int estIndex) {
  if (reg == "D010") return EstablishmentCondition(singleCnpj, estIndex);
  if (reg == "D100" || reg == "D500") return DocumentCondition(singleCnpj);
  if (reg == "D101" || reg == "D105" || reg == "D501" || reg == "D505")
    return "WHERE (ID = " + IdentityOperand(g_CurrentParentID) + ")";
  return {};
}

// Block D as the record-tree writer sees it.
const BlockTree& Tree() {
  static const BlockTree kTree = {"D001", "D010", {"D100", "D500"}, "D990", "D", "Qtd_Lin_D",
                                  &md_GetLayout, &FindNode, &Head, &Condition};
  return kTree;
}

}  // namespace

void md_WriteRecords(std::string_view reg, Objeto_Collection& layout, bool singleCnpj, int estIndex,
                     bool isChild) {
  WriteBlockRecords(Tree(), reg, layout, singleCnpj, estIndex, isChild);
}

void md_UnifyBlock(bool& singleCnpj) { UnifyEstablishmentBlock(Tree(), singleCnpj); }

}  // namespace BlocoD
