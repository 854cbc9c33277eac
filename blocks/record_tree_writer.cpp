// The record-tree writer of Blocks C and D: one statement per record code and
// context, each line followed by its children's statements.
#include "blocks/record_tree_writer.h"

#include <memory>

#include "staging/resources.h"
#include "staging/run_state.h"
#include "staging/text.h"

namespace {

// True when `s` is 1 to 18 decimal digits: a number that a 64-bit integer holds.
bool IsPlainNumber(std::string_view s) {
  if (s.empty() || s.size() > 18) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

// Replaces every occurrence of `from` in `s` by `to`.
void ReplaceAll(std::string& s, std::string_view from, std::string_view to) {
  for (size_t pos = s.find(from); pos != std::string::npos; pos = s.find(from, pos + to.size()))
    s.replace(pos, from.size(), to);
}

// The line expression of `reg` with the line column named "Linha".
std::string LineColumns(std::string_view reg, const Objeto_Collection& layout) {
  std::string expr = md_BuildLineExpr(reg, &layout);
  ReplaceAll(expr, "{NAMECOL}", " AS Linha ");
  return expr;
}

// One record code ready to be run many times: its layout, its statement head
// and, once its first line has been written, the writers of its children.
// Child lines are counted here and added to the counters once, at the end,
// which spares one counter update per parent row.
struct CodeWriter {
  std::string reg;
  Objeto_Collection ownLayout;
  Objeto_Collection* layout = nullptr;
  std::string head;
  const RecordNode* node = nullptr;
  std::vector<std::unique_ptr<CodeWriter>> children;  // empty until first needed
  int64_t pending = 0;                                // lines written, not yet counted

  CodeWriter(const BlockTree& tree, std::string_view code, Objeto_Collection* given)
      : reg(code), node(tree.findNode(code)) {
    if (!given) ownLayout = tree.getLayout(code);
    layout = given ? given : &ownLayout;
    head = tree.head(code, *layout);
  }
};

// The value of column `col` of the current row for a run-state text: an
// identity as plain digits, anything else as its text.
std::string RunStateText(const Recordset& rs, int col, bool identity) {
  const Value& v = rs.Column(col);
  return identity ? std::to_string(v.AsInt()) : v.AsText();
}

// Runs the statement of `w` in the current context and writes its lines with
// their children. Returns the number of lines of w.reg.
int32_t RunCode(const BlockTree& tree, CodeWriter& w, bool singleCnpj, int estIndex, bool isChild) {
  std::unique_ptr<Recordset> rs =
      g_Connection->Execute(w.head + tree.condition(w.reg, singleCnpj, estIndex));
  const int kind = isChild ? 4 : 3;
  const bool sets = w.node && w.node->target;
  int32_t k = 0;
  double total = 0;
  int targetCol = -1;
  while (!rs->Eof()) {
    if (k++ == 0) {
      total = static_cast<double>(rs->RecordCount());
      if (sets) {
        targetCol = rs->FindColumn(w.node->column);
        if (targetCol < 0)
          throw DatabaseError("the statement of " + w.reg + " selects no column " +
                              std::string(w.node->column));
      }
    }
    md_ShowProgress(kind, w.reg, k, total);
    md_WriteLine(w.reg, *rs, *w.layout);
    if (w.node) {
      if (sets) *w.node->target = RunStateText(*rs, targetCol, w.node->column == "ID");
      if (w.children.empty())
        for (std::string_view child : w.node->children)
          w.children.push_back(std::make_unique<CodeWriter>(tree, child, nullptr));
      for (auto& child : w.children) child->pending += RunCode(tree, *child, false, 0, true);
    }
    rs->MoveNext();
  }
  return k;
}

// Adds the lines counted by the children of `w` (and theirs) to the counters.
void FlushChildCounts(CodeWriter& w) {
  for (auto& child : w.children) {
    md_AddRecordCount(child->reg, static_cast<int32_t>(child->pending));
    child->pending = 0;
    FlushChildCounts(*child);
  }
}

// The identities of the stored rows of `reg`, ascending.
std::vector<int64_t> StoredIdentities(std::string_view reg) {
  std::vector<int64_t> ids;
  std::unique_ptr<Recordset> rs =
      g_Connection->Execute("SELECT ID FROM ###" + std::string(reg) + " ORDER BY ID ASC");
  for (; !rs->Eof(); rs->MoveNext()) ids.push_back(rs->Column(0).AsInt());
  return ids;
}

// Writes the opener from its first stored row.
void WriteOpener(std::string_view reg, Objeto_Collection& layout, bool blockHasData) {
  std::unique_ptr<Recordset> rs = g_Connection->Execute(
      "SELECT TOP(1) " + LineColumns(reg, layout) + " FROM ###" + std::string(reg) + " ");
  int32_t k = 0;
  for (; !rs->Eof(); rs->MoveNext()) {
    md_ShowProgress(3, reg, ++k, static_cast<double>(rs->RecordCount()));
    md_WriteOpener(reg, *rs, layout, blockHasData);
  }
  md_AddRecordCount(reg, k);
}

// Writes the closer: the block's lines counted so far plus one.
void WriteCloser(const BlockTree& tree, Objeto_Collection& layout) {
  std::string sql = "SELECT '" + std::string(tree.closer) +
                    "' AS Reg,SUM(CAST(REPLACE(QtdeReg,',','.') AS FLOAT)) + 1 AS " +
                    std::string(tree.countColumn) + " FROM ###Registros WHERE (Bloco = '" +
                    std::string(tree.bloco) + "')";
  std::unique_ptr<Recordset> rs = g_Connection->Execute(sql);
  int32_t k = 0;
  for (; !rs->Eof(); rs->MoveNext()) {
    md_ShowProgress(3, tree.closer, ++k, static_cast<double>(rs->RecordCount()));
    md_WriteLine(tree.closer, *rs, layout);
  }
  md_AddRecordCount(tree.closer, k);
}

}  // namespace

int32_t WriteRecordTree(const BlockTree& tree, std::string_view reg, Objeto_Collection& layout,
                        bool singleCnpj, int estIndex, bool isChild) {
  CodeWriter w(tree, reg, &layout);
  int32_t k = RunCode(tree, w, singleCnpj, estIndex, isChild);
  md_AddRecordCount(reg, k);
  FlushChildCounts(w);
  return k;
}

void WriteBlockRecords(const BlockTree& tree, std::string_view reg, Objeto_Collection& layout,
                       bool singleCnpj, int estIndex, bool isChild) {
  if (reg == tree.opener)
    WriteOpener(reg, layout, !StoredIdentities(tree.establishment).empty());
  else if (reg == tree.closer)
    WriteCloser(tree, layout);
  else
    WriteRecordTree(tree, reg, layout, singleCnpj, estIndex, isChild);
}

void UnifyEstablishmentBlock(const BlockTree& tree, bool singleCnpj) {
  // One pass per stored establishment record, so that a file without data of
  // this block adds no pass (and writes nobody's documents twice).
  std::vector<int64_t> passes = StoredIdentities(tree.establishment);
  if (singleCnpj && passes.size() > 1) passes.resize(1);

  Objeto_Collection opener = tree.getLayout(tree.opener);
  WriteOpener(tree.opener, opener, !passes.empty());

  int32_t done = 0;
  for (int64_t id : passes) {
    ++done;
    Objeto_Collection est = tree.getLayout(tree.establishment);
    if (WriteRecordTree(tree, tree.establishment, est, singleCnpj, static_cast<int>(id), false) == 0)
      continue;
    md_ShowProgress(2, "CNPJ: " + g_CurrentCNPJ, done, static_cast<double>(passes.size()));
    for (std::string_view reg : tree.documents) {
      Objeto_Collection layout = tree.getLayout(reg);
      WriteRecordTree(tree, reg, layout, singleCnpj, 0, false);
    }
  }

  Objeto_Collection closer = tree.getLayout(tree.closer);
  WriteCloser(tree, closer);
}

std::string CnpjOperand(std::string_view cnpj) {
  if (IsPlainNumber(cnpj)) return std::string(cnpj);
  return "'" + PrepareSqlText(cnpj) + "'";
}

std::string IdentityOperand(std::string_view id) {
  return IsPlainNumber(id) ? std::string(id) : std::string("NULL");
}

std::string LineExprHead(std::string_view reg, const Objeto_Collection& layout,
                         std::string_view columnsBefore) {
  return "SELECT  " + std::string(columnsBefore) + LineColumns(reg, layout) + " FROM ###" +
         std::string(reg) + " ";
}

std::string EstablishmentCondition(bool singleCnpj, int estIndex) {
  if (singleCnpj && estIndex <= 0) return {};
  return "WHERE (ID = " + std::to_string(estIndex) + ")";
}

std::string DocumentCondition(bool singleCnpj) {
  std::string c;
  if (!singleCnpj) c = "WHERE Id_CNPJ = (" + CnpjOperand(g_CurrentCNPJ) + ")";
  return c + " ORDER BY ID ASC";
}
