#include "blocks/opener_closer_block.h"

#include <string>

#include "blocks/block_statement.h"
#include "blocks/company_writer.h"
#include "staging/resources.h"
#include "staging/run_state.h"

namespace {

// Writes the opener or the closer of `block` and counts its lines. Throws on a failing statement or write.
void WriteOpenerOrCloser(const BlockEntry& block, std::string_view reg, Objeto_Collection& layout) {
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
  const bool hasData = isOpener && block.companyRecords && HasCompanyRows(block.letter);
  int32_t n = WriteRows(reg, sql, layout,
                        !isOpener ? RowWriter::Line
                        : hasData ? RowWriter::OpenerWithData
                                  : RowWriter::OpenerWithoutData);
  md_AddRecordCount(reg, n);
}

}  // namespace

void UnifyOpenerCloserBlock(const BlockEntry& block) {
  if (block.omitWhenAbsent && !HasRows(block.opener)) return;
  md_ShowProgress(2, "CNPJ: Nenhum", 1, 1);
  Objeto_Collection opener = BlockLayout(block.opener);
  WriteOpenerOrCloser(block, block.opener, opener);
  if (block.companyRecords)
    for (const std::string& code : CompanyLevelCodes(block.letter)) WriteCompanyRecords(code);
  Objeto_Collection closer = BlockLayout(block.closer);
  WriteOpenerOrCloser(block, block.closer, closer);
}
