#include "blocks/opener_closer_block.h"

#include <string>

#include "blocks/block_statement.h"
#include "staging/resources.h"
#include "staging/run_state.h"

void WriteOpenerCloserRecords(const OpenerCloserBlock& block, std::string_view reg,
                              Objeto_Collection& layout) {
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
  const bool hasData = isOpener && block.hasCompanyLevel && block.hasCompanyLevel();
  int32_t n = WriteRows(reg, sql, layout,
                        !isOpener ? RowWriter::Line
                        : hasData ? RowWriter::OpenerWithData
                                  : RowWriter::OpenerWithoutData);
  md_AddRecordCount(reg, n);
}

void UnifyOpenerCloserBlock(const OpenerCloserBlock& block) {
  if (block.omitWhenAbsent && !HasRows(block.opener)) return;
  md_ShowProgress(2, "CNPJ: Nenhum", 1, 1);
  Objeto_Collection opener = block.getLayout(block.opener);
  WriteOpenerCloserRecords(block, block.opener, opener);
  if (block.companyLevel) block.companyLevel();
  Objeto_Collection closer = block.getLayout(block.closer);
  WriteOpenerCloserRecords(block, block.closer, closer);
}
