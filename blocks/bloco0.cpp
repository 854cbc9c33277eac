// Block 0 of the merged file: header, opener, accountant and tax regime, the
// revenue split summed over all files, then one establishment after the other
// with its participants, units, items (each followed by its changes) and
// information texts, then the accounts, cost centres, the revenue composition
// and the closer. The company-level records (0035, 0100, 0110, 0111, 0120,
// 0500, 0600, 0900) follow their rules in company_rules.h.
//
// Establishments are the stored 0140 rows, one per CNPJ in load order; each
// pass writes the first 0140 of its CNPJ and the whole subtree that CNPJ owns
// (subtree_writer.h). When files of one CNPJ are merged, one 0140 stands for
// all of them and every participant, unit, item (with its changes), nature of
// operation and text is written once, by its code.
#include "blocks/bloco0.h"

#include <string>
#include <vector>

#include "blocks/block_statement.h"
#include "blocks/company_rules.h"
#include "blocks/company_writer.h"
#include "blocks/establishment_block.h"
#include "blocks/record_links.h"
#include "blocks/registry.h"
#include "blocks/subtree_writer.h"
#include "staging/resources.h"
#include "staging/run_state.h"
#include "staging/text.h"

namespace Bloco0 {

namespace {

// The text of a column of the current row ("" for NULL).
std::string ColumnText(Recordset& rs, std::string_view name) {
  const Value& v = rs[name];
  return v.kind() == Value::Kind::Text ? v.TextRef() : v.AsText();
}

// Writes one code of Block 0 with a fresh layout.
void Write(RunContext& ctx, std::string_view reg, bool singleCnpj, int estIndex = 0) {
  Objeto_Collection layout = BlockLayout(ctx, reg);
  md_WriteRecords(ctx, reg, layout, singleCnpj, estIndex);
}

}  // namespace

// Statements by record code; a failing statement or write throws (the run
// reports it). estIndex is the stored ID of the 0140 row of the pass.
void md_WriteRecords(RunContext& ctx, std::string_view reg, Objeto_Collection& layout, bool singleCnpj, int estIndex) {
  std::string sql = StatementTemplate(reg);

  if (reg == "0000") {
    // The head office's header; when no stored header names establishment
    // 0001 (a branch chosen first), the first stored header.
    std::string top = ReplaceAll(sql, "{TOP}", "TOP(1)");
    int32_t n = 0;
    if (!singleCnpj)
      n = WriteRows(ctx, reg, FinishStatement(top + "WHERE (CNPJ LIKE '%0001%')", reg, layout), layout);
    if (n == 0) n = WriteRows(ctx, reg, FinishStatement(top, reg, layout), layout);
    md_AddRecordCount(ctx, reg, n);
    return;
  }
  if (reg == "0001") {
    sql = FinishStatement(ReplaceAll(sql, "{TOP}", "TOP(1)"), reg, layout);
    md_AddRecordCount(ctx, reg, WriteRows(ctx, reg, sql, layout, RowWriter::OpenerWithData));
    return;
  }
  if (reg == "0140") {
    sql = ReplaceAll(sql, "{COLUMNS}", "*") + "WHERE (ID = " + std::to_string(estIndex) + ")";
    auto rs = ctx.connection->Execute(FinishStatement(sql, reg, layout));
    int32_t n = 0;
    double total = 0;
    for (; !rs->Eof(); rs->MoveNext()) {
      if (++n == 1) total = static_cast<double>(rs->RecordCount());
      md_ShowProgress(ctx, 3, reg, n, total);
      md_WriteLine(ctx, reg, *rs, layout);
      ctx.currentCNPJ = ColumnText(*rs, "CNPJ");
    }
    md_AddRecordCount(ctx, reg, n);
    return;
  }
  if (!record_links::EstablishmentOf(reg).empty()) return;  // written with their establishment
  if (CompanyRuleFor(reg)) {
    WriteCompanyRecords(ctx, reg);
    return;
  }
  if (reg == "0990") {
    sql = "SELECT '0990' AS Reg,SUM(CAST(REPLACE(QtdeReg,',','.') AS FLOAT)) + 1 AS Qtd_Lin_0 FROM "
          "###Registros WHERE (Bloco = '0')";
  }
  md_AddRecordCount(ctx, reg, WriteRows(ctx, reg, FinishStatement(sql, reg, layout), layout));
}

void md_UnifyBlock(RunContext& ctx, bool& singleCnpj) {
  Write(ctx, "0000", singleCnpj);
  for (const char* reg : {"0001", "0035", "0100", "0110", "0111", "0120"}) Write(ctx, reg, false);

  // One 0140 per CNPJ (its first stored row) followed by the whole subtree of
  // that CNPJ, each record with a code of its own once.
  const std::vector<EstablishmentRow> ests = EstablishmentsByCnpj(ctx, "0140");
  const auto withRows = CodesWithRows(ctx, "0140");
  for (size_t i = 0; i < ests.size(); ++i) {
    Write(ctx, "0140", singleCnpj, static_cast<int>(ests[i].id));
    NoteDifferingEstablishmentLines(ctx, "0140", ests[i]);
    md_ShowProgress(ctx, 2, "CNPJ: " + ctx.currentCNPJ, static_cast<double>(i + 1), static_cast<double>(ests.size()));
    SubtreeStats s = WriteEstablishmentSubtree(ctx, "0140", ctx.currentCNPJ, withRows, true);
    NoteEstablishmentPass(ctx, s.statements + 2);
  }
  if (ests.empty()) md_ShowProgress(ctx, 2, "CNPJ: " + ctx.currentCNPJ, 1, 1);
  for (const char* reg : {"0500", "0600", "0900"}) Write(ctx, reg, singleCnpj);
  Write(ctx, "0990", false);
}

}  // namespace Bloco0
