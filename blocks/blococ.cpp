// Block C writer: the opener, one C010 per stored establishment record, each
// followed by that establishment's documents with their children, and C990.
#include "blocks/blococ.h"

#include <algorithm>
#include <array>
#include <string>

#include "blocks/record_tree_writer.h"
#include "staging/run_state.h"

namespace BlocoC {
namespace {

// What follows each line of a code: the run-state value it sets, its children.
const RecordNode* FindNode(std::string_view reg) {
  static const RecordNode kNodes[] = {
      {"C010", &g_CurrentCNPJ, "CNPJ", {}},
      {"C100", &g_CurrentParentID, "ID", {"C110", "C170", "C175"}},
      {"C180", &g_CurrentParentID, "ID", {"C181", "C185"}},
      {"C190", &g_CurrentParentID, "ID", {"C191", "C195"}},
      {"C380", &g_CurrentParentID, "ID", {"C381", "C385"}},
      {"C400", &g_CurrentEcfID, "ID", {"C405"}},
      {"C405", &g_CurrentCaixaID, "ID", {"C481", "C485"}},
      {"C490", &g_CurrentParentID, "ID", {"C491", "C495"}},
      {"C500", &g_CurrentParentID, "ID", {"C501", "C505"}},
  };
  for (const RecordNode& n : kNodes)
    if (n.code == reg) return &n;
  return nullptr;
}

constexpr std::array<std::string_view, 7> kDocuments = {"C100", "C180", "C190", "C380",
                                                        "C400", "C490", "C500"};
// Children found by the identity of their parent row in their ID column.
constexpr std::array<std::string_view, 13> kParentChildren = {
    "C110", "C170", "C175", "C181", "C185", "C191", "C195",
    "C381", "C385", "C491", "C495", "C501", "C505"};

// True when `reg` is one of `codes`.
template <size_t N>
bool Contains(const std::array<std::string_view, N>& codes, std::string_view reg) {
  return std::find(codes.begin(), codes.end(), reg) != codes.end();
}

// The statement head of `reg`: every column of C010 (its line is composed from
// them and its CNPJ read), the line expression of every other code.
std::string Head(std::string_view reg, const Objeto_Collection& layout) {
  if (reg == "C010") return "SELECT  * FROM ###C010 ";
  // C490 is a parent whose ID is not among its layout's columns.
  if (reg == "C490") return LineExprHead(reg, layout, "ID,");
  return LineExprHead(reg, layout);
}

// The condition of `reg` in the current run state: the pass's C010, the
// current establishment's documents in load order, a parent's children.
// The C405 rows of a C400, and the C481/C485 rows of a C405, are found by the
// identities of that C400 and C405 alone: identities are unique over all files,
// so the rows are found whichever file (and CNPJ) their C400 came from.
std::string Condition(std::string_view reg, bool singleCnpj, int estIndex) {
  if (reg == "C010") return EstablishmentCondition(singleCnpj, estIndex);
  if (Contains(kDocuments, reg)) return DocumentCondition(singleCnpj);
  if (Contains(kParentChildren, reg))
    return "WHERE (ID = " + IdentityOperand(g_CurrentParentID) + ")";
  if (reg == "C405")
    return "WHERE (IDECF = " + IdentityOperand(g_CurrentEcfID) + ") ORDER BY ID ASC";
  if (reg == "C481" || reg == "C485")
    return "WHERE (IDECF = " + IdentityOperand(g_CurrentEcfID) + ") AND (IDCaixa = " +
           IdentityOperand(g_CurrentCaixaID) + ") ORDER BY ID ASC";
  return {};
}

// Block C as the record-tree writer sees it.
const BlockTree& Tree() {
  static const BlockTree kTree = {"C001", "C010", {kDocuments.begin(), kDocuments.end()},
                                  "C990", "C",    "Qtd_Lin_C",
                                  &md_GetLayout, &FindNode, &Head, &Condition};
  return kTree;
}

}  // namespace

void md_WriteRecords(std::string_view reg, Objeto_Collection& layout, bool singleCnpj, int estIndex,
                     bool isChild) {
  WriteBlockRecords(Tree(), reg, layout, singleCnpj, estIndex, isChild);
}

void md_UnifyBlock(bool& singleCnpj) { UnifyEstablishmentBlock(Tree(), singleCnpj); }

}  // namespace BlocoC
