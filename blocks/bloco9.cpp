// Block 9 of the merged file: 9001, one 9900 line per record code written, 9990
// and 9999, all from the line counters of ###Registros.
//
// While the block is written the counters move: md_WriteLine adds 1 to the row
// of "9990" for every Block 9 line and 1 to the row of "9900" for every 9900
// line, and md_AddRecordCount keeps the running total of all lines in the row
// of "9999". The rows of 9900, 9990 and 9999 therefore do not hold the number
// of lines of their own code; the 9900 statement puts the true numbers in those
// three lines (number of 9900 lines, 1, 1), and the 9990 and 9999 lines read
// the counters, which by then hold the numbers of lines before them.
#include "blocks/bloco9.h"

#include <string>

#include "blocks/block_statement.h"
#include "blocks/registry.h"
#include "staging/resources.h"
#include "staging/run_state.h"

namespace Bloco9 {

namespace {

// The number of 9900 lines: one per code that has lines, other than the three
// whose rows are counters of their own, plus one each for 9900, 9990 and 9999.
constexpr const char* kSet9900Count =
    "UPDATE ###Registros SET QtdeReg = lst.QtdeTotal FROM (SELECT (COUNT(*) + 3) AS QtdeTotal "
    "FROM ###Registros WHERE (QtdeReg > 0) AND (Reg <> '9900') AND (Reg <> '9990') AND "
    "(Reg <> '9999')) AS lst WHERE (Reg = '9900')";

}  // namespace

void md_WriteRecords(RunContext& ctx, std::string_view reg, Objeto_Collection& layout) {
  std::string sql = StatementTemplate(reg);
  std::string code(reg);
  RowWriter writer = RowWriter::Line;
  if (reg == "9900") {
    ctx.connection->Execute(kSet9900Count);
    sql = "SELECT '" + code +
          "' AS Reg, Reg AS Reg_Blc, CASE WHEN (Reg = '9990') OR (Reg = '9999') THEN 1 ELSE "
          "CAST(REPLACE(QtdeReg,',','.') AS FLOAT) END AS Qtd_Reg_Blc FROM ###Registros WHERE "
          "(QtdeReg > 0) OR (Reg = '9990') OR (Reg = '9999') ORDER BY ID ASC";
  } else if (reg == "9990") {
    sql = "SELECT TOP(1) Reg, (CAST(REPLACE(QtdeReg,',','.') AS FLOAT) + 2) AS Qtd_Lin_9 FROM "
          "###Registros WHERE (Reg = '" + code + "')";
  } else if (reg == "9999") {
    sql = "SELECT TOP(1) Reg,(CAST(REPLACE(QtdeReg,',','.') AS FLOAT) + 1) AS Qtd_Lin FROM "
          "###Registros WHERE (Reg = '" + code + "')";
  } else {
    sql = ReplaceAll(sql, "{TOP}", "TOP(1)");
    if (reg == "9001") writer = RowWriter::OpenerWithData;
  }
  sql = FinishStatement(sql, reg, layout);
  md_AddRecordCount(ctx, reg, WriteRows(ctx, reg, sql, layout, writer));
}

void md_UnifyBlock(RunContext& ctx) {
  md_ShowProgress(ctx, 2, "CNPJ: Nenhum", 1, 1);
  for (const char* reg : {"9001", "9900", "9990", "9999"}) {
    Objeto_Collection layout = BlockLayout(ctx, reg);
    md_WriteRecords(ctx, reg, layout);
  }
}

}  // namespace Bloco9
