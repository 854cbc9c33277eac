#include "blocks/opener_closer_block.h"

#include <string>

#include "blocks/block_statement.h"
#include "blocks/company_writer.h"
#include "staging/resources.h"
#include "staging/run_state.h"

namespace {

// Writes the opener or the closer of `block` and counts its lines. Throws on a failing statement or write.
void WriteOpenerOrCloser(RunContext& ctx, const BlockEntry& block, std::string_view reg, Objeto_Collection& layout) {
  std::string sql = StatementTemplate(reg);
  bool isOpener = reg == block.opener;
  if (isOpener) {
    sql = ReplaceAll(sql, "{TOP}", "TOP(1)");
  } else if (reg == block.closer) {
    sql = "SELECT '" + std::string(reg) +
          "' AS Reg,SUM(CAST(REPLACE(QtdeReg,',','.') AS FLOAT)) + 1 AS " + block.countName +
          " FROM ###Registros WHERE (Bloco = '" + std::string(1, block.letter) + "')";
  }
  sql = FinishStatement(sql, reg, layout);
  const bool hasData = isOpener && block.companyRecords && HasCompanyRows(ctx, block.letter);
  int32_t n = WriteRows(ctx, reg, sql, layout,
                        !isOpener ? RowWriter::Line
                        : hasData ? RowWriter::OpenerWithData
                                  : RowWriter::OpenerWithoutData);
  md_AddRecordCount(ctx, reg, n);
}

}  // namespace

void UnifyOpenerCloserBlock(RunContext& ctx, const BlockEntry& block) {
  if (block.omitWhenAbsent && !HasRows(ctx, block.opener)) return;
  md_ShowProgress(ctx, 2, "CNPJ: Nenhum", 1, 1);
  Objeto_Collection opener = BlockLayout(ctx, block.opener);
  WriteOpenerOrCloser(ctx, block, block.opener, opener);
  if (block.companyRecords)
    for (const std::string& code : CompanyLevelCodes(block.letter)) WriteCompanyRecords(ctx, code);
  Objeto_Collection closer = BlockLayout(ctx, block.closer);
  WriteOpenerOrCloser(ctx, block, block.closer, closer);
}
