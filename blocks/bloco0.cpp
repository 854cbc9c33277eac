// Block 0 of the merged file: header, opener, accountant and tax regime, the
// revenue split summed over all files, then one establishment after the other
// with its participants, units, items (each followed by its changes) and
// information texts, then the accounts and the closer.
//
// Establishments are the stored 0140 rows, taken in load order (ID); each pass
// writes its 0140 and the rows that its CNPJ owns. When files of one CNPJ are
// merged, one 0140 stands for all of them and every participant, unit, item
// and text is written once.
#include "blocks/bloco0.h"

#include <set>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "blocks/block_statement.h"
#include "staging/resources.h"
#include "staging/run_state.h"
#include "staging/text.h"

namespace Bloco0 {

namespace {

// The column that identifies a record when files of one CNPJ are merged: the
// first row of each value is kept.
const char* DedupKey(std::string_view reg) {
  if (reg == "0150") return "Cod_Part";
  if (reg == "0190") return "Unid";
  if (reg == "0200") return "Cod_Item";
  if (reg == "0450") return "Cod_Inf";
  return nullptr;
}

bool IsEstablishmentChild(std::string_view reg) {
  return reg == "0150" || reg == "0190" || reg == "0200" || reg == "0205" || reg == "0450";
}

// The text of a column of the current row ("" for NULL).
std::string ColumnText(Recordset& rs, std::string_view name) {
  const Value& v = rs[name];
  return v.kind() == Value::Kind::Text ? v.TextRef() : v.AsText();
}

// Writes the 0205 lines of the 0200 rows `parents` (stored identities), in
// load order, skipping lines whose content is already in `seen` (when not
// null). Returns the number of lines written.
int32_t WriteItemChanges(const std::vector<std::string>& parents, Objeto_Collection& layout,
                         std::unordered_set<std::string>* seen) {
  int32_t n = 0;
  for (const std::string& parent : parents) {
    if (!IsWholeNumber(parent)) continue;  // no stored item: no changes
    g_CurrentParentID = parent;
    std::string sql = StatementTemplate("0205") + "WHERE (ID = " + parent + ")";
    sql = FinishStatement(sql, "0205", layout);
    auto rs = g_Connection->Execute(sql);
    int32_t k = 0;
    double total = 0;
    for (; !rs->Eof(); rs->MoveNext()) {
      if (++k == 1) total = static_cast<double>(rs->RecordCount());
      md_ShowProgress(4, "0205", k, total);
      if (seen && !seen->insert(ColumnText(*rs, "Linha")).second) continue;
      md_WriteLine("0205", *rs, layout);
      ++n;
    }
  }
  return n;
}

// Writes the items of the current context, each followed by its 0205 lines,
// and counts both codes. `condition` selects the items ("" for all). With
// `merge` set, an item code is written once (its first row) and carries the
// distinct 0205 lines of every stored row of that code.
void WriteItems(Objeto_Collection& layout, const std::string& condition, bool merge) {
  Objeto_Collection changes = md_GetLayout("0205");
  std::unordered_map<std::string, std::vector<std::string>> rowsOfItem;
  if (merge) {
    auto all = g_Connection->Execute("SELECT ID, Cod_Item FROM ###0200 ORDER BY ID ASC");
    for (; !all->Eof(); all->MoveNext())
      rowsOfItem[ColumnText(*all, "Cod_Item")].push_back(ColumnText(*all, "ID"));
  }

  std::string sql = ReplaceAll(StatementTemplate("0200"), "{COLUMNS}", "ID,Cod_Item,{COLUMNS}");
  sql += condition + "ORDER BY ID ASC";
  sql = FinishStatement(sql, "0200", layout);
  auto rs = g_Connection->Execute(sql);
  int32_t items = 0, itemChanges = 0;
  double total = 0;
  std::unordered_set<std::string> written;
  for (int32_t k = 1; !rs->Eof(); rs->MoveNext(), ++k) {
    if (k == 1) total = static_cast<double>(rs->RecordCount());
    md_ShowProgress(3, "0200", k, total);
    std::string code = ColumnText(*rs, "Cod_Item");
    if (merge && !written.insert(code).second) continue;
    md_WriteLine("0200", *rs, layout);
    ++items;
    if (merge) {
      std::unordered_set<std::string> seen;
      itemChanges += WriteItemChanges(rowsOfItem[code], changes, &seen);
    } else {
      itemChanges += WriteItemChanges({ColumnText(*rs, "ID")}, changes, nullptr);
    }
  }
  md_AddRecordCount("0200", items);
  md_AddRecordCount("0205", itemChanges);
}

// Writes the rows of `sql` as lines of `reg`, the first row of each value of
// the column `key` only. Returns the number of lines written.
int32_t WriteFirstOfEach(std::string_view reg, const std::string& sql, const Objeto_Collection& layout,
                         const char* key) {
  auto rs = g_Connection->Execute(sql);
  std::unordered_set<std::string> seen;
  int32_t n = 0;
  double total = 0;
  for (int32_t k = 1; !rs->Eof(); rs->MoveNext(), ++k) {
    if (k == 1) total = static_cast<double>(rs->RecordCount());
    md_ShowProgress(3, reg, k, total);
    if (!seen.insert(ColumnText(*rs, key)).second) continue;
    md_WriteLine(reg, *rs, layout);
    ++n;
  }
  return n;
}

// The stored identities of the 0140 rows, in load order.
std::vector<std::string> EstablishmentIds() {
  std::vector<std::string> ids;
  for (auto rs = g_Connection->Execute("SELECT ID FROM ###0140 ORDER BY ID ASC"); !rs->Eof();
       rs->MoveNext())
    ids.push_back(ColumnText(*rs, "ID"));
  return ids;
}

// A CNPJ as a set key: digits without leading zeros (they compare as numbers
// in the children's condition), other texts as they are.
std::string CnpjKey(const std::string& cnpj) {
  std::string value = CnpjValue(cnpj);
  if (value.empty() || value.front() == '\'') return value;
  size_t nz = value.find_first_not_of('0');
  return nz == std::string::npos ? "0" : value.substr(nz);
}

// Writes one code of Block 0 with a fresh layout.
void Write(std::string_view reg, bool singleCnpj, int estIndex = 0) {
  Objeto_Collection layout = md_GetLayout(reg);
  md_WriteRecords(reg, layout, singleCnpj, estIndex);
}

}  // namespace

// Statements by record code; a failing statement or write throws (the run
// reports it). estIndex is the stored ID of the 0140 row of the pass.
void md_WriteRecords(std::string_view reg, Objeto_Collection& layout, bool singleCnpj, int estIndex) {
  std::string sql = StatementTemplate(reg);
  const std::string children = "WHERE (Id_CNPJ = " + CnpjValue(g_CurrentCNPJ) + ") ";

  if (reg == "0000") {
    // The head office's header; when no stored header names establishment
    // 0001 (a branch chosen first), the first stored header.
    std::string top = ReplaceAll(sql, "{TOP}", "TOP(1)");
    int32_t n = 0;
    if (!singleCnpj)
      n = WriteRows(reg, FinishStatement(top + "WHERE (CNPJ LIKE '%0001%')", reg, layout), layout);
    if (n == 0) n = WriteRows(reg, FinishStatement(top, reg, layout), layout);
    md_AddRecordCount(reg, n);
    return;
  }
  if (reg == "0001") {
    sql = FinishStatement(ReplaceAll(sql, "{TOP}", "TOP(1)"), reg, layout);
    md_AddRecordCount(reg, WriteRows(reg, sql, layout, RowWriter::OpenerWithData));
    return;
  }
  if (reg == "0111") {
    int32_t n = 0;
    if (HasRows(reg)) {
      sql = "SELECT '0111' AS Reg";
      for (const char* f : {"Rec_Bru_NCum_Trib_Mi", "Rec_Bru_NCum_Nt_Mi", "Rec_Bru_NCum_Exp",
                            "Rec_Bru_Cum", "Rec_Bru_Total"})
        sql = sql + ",SUM(CAST(REPLACE(" + f + ",',','.') AS FLOAT)) AS " + f;
      sql += " FROM ###0111";
      n = WriteRows(reg, FinishStatement(sql, reg, layout), layout);
    }
    md_AddRecordCount(reg, n);
    return;
  }
  if (reg == "0140") {
    sql = ReplaceAll(sql, "{COLUMNS}", "*") + "WHERE (ID = " + std::to_string(estIndex) + ")";
    auto rs = g_Connection->Execute(FinishStatement(sql, reg, layout));
    int32_t n = 0;
    double total = 0;
    for (; !rs->Eof(); rs->MoveNext()) {
      if (++n == 1) total = static_cast<double>(rs->RecordCount());
      md_ShowProgress(3, reg, n, total);
      md_WriteLine(reg, *rs, layout);
      g_CurrentCNPJ = ColumnText(*rs, "CNPJ");
    }
    md_AddRecordCount(reg, n);
    return;
  }
  if (reg == "0200") {
    WriteItems(layout, singleCnpj ? "" : children, singleCnpj);
    return;
  }
  if (reg == "0205") {
    md_AddRecordCount(reg, WriteItemChanges({g_CurrentParentID}, layout, nullptr));
    return;
  }
  if (IsEstablishmentChild(reg)) {
    if (singleCnpj) {
      const char* key = DedupKey(reg);
      sql = ReplaceAll(sql, "{COLUMNS}", std::string(key) + ",{COLUMNS}") + "ORDER BY ID ASC";
      md_AddRecordCount(reg, WriteFirstOfEach(reg, FinishStatement(sql, reg, layout), layout, key));
      return;
    }
    sql += children + "ORDER BY ID ASC";
  } else if (reg == "0990") {
    sql = "SELECT '0990' AS Reg,SUM(CAST(REPLACE(QtdeReg,',','.') AS FLOAT)) + 1 AS Qtd_Lin_0 FROM "
          "###Registros WHERE (Bloco = '0')";
  }
  md_AddRecordCount(reg, WriteRows(reg, FinishStatement(sql, reg, layout), layout));
}

void md_UnifyBlock(bool& singleCnpj) {
  Write("0000", singleCnpj);
  for (const char* reg : {"0001", "0100", "0110", "0111"}) Write(reg, false);

  std::vector<std::string> ids = EstablishmentIds();
  if (singleCnpj) {
    // One establishment record (the first stored) for the rows of all files.
    if (!ids.empty()) Write("0140", true, std::stoi(ids.front()));
    md_ShowProgress(2, "CNPJ: " + g_CurrentCNPJ, 1, 1);
    for (const char* reg : {"0150", "0190", "0200", "0450"}) Write(reg, true);
  } else {
    std::set<std::string> written;  // CNPJs whose rows a pass has written
    const double passes = static_cast<double>(ids.size());
    for (size_t i = 0; i < ids.size(); ++i) {
      Write("0140", false, std::stoi(ids[i]));
      md_ShowProgress(2, "CNPJ: " + g_CurrentCNPJ, static_cast<double>(i + 1), passes);
      if (!written.insert(CnpjKey(g_CurrentCNPJ)).second) continue;
      for (const char* reg : {"0150", "0190", "0200", "0450"}) Write(reg, false);
    }
  }
  Write("0500", singleCnpj);
  Write("0990", false);
}

}  // namespace Bloco0
