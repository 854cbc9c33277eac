// Output lines and their counters: composing one line of the merged file from a
// staging row, writing it to file number 1, and counting lines per record code
// in ###Registros (the row of "9999" holds the running total).
#include <string>

#include "staging/ledger.h"
#include "staging/older_forms.h"
#include "staging/output_file.h"
#include "staging/resources.h"
#include "staging/run_state.h"
#include "staging/text.h"

namespace {

// The name of the column that carries a finished line (" AS Linha " without
// " AS " and blanks).
constexpr std::string_view kLineColumn = "Linha";

// The line of the current row of `rs`, composed field by field from the
// layout's fields with Key > 0, in layout order ("|" + f1 + "|" ... + "|"),
// or the stored line of a whole-line layout. A NULL value contributes nothing. Throws DatabaseError when the result has
// no column for one of those fields.
std::string ComposeFromColumns(Recordset& rs, const Objeto_Collection& layout) {
  if (layout.WholeLine()) {
    const Value& v = rs[kWholeLineColumn];
    return v.IsNull() ? std::string() : v.AsText();
  }
  std::string line = "|";
  for (const Campos_Collection& f : layout) {
    if (f.Key <= 0) continue;
    const Value& v = rs[f.Nome_Campo];
    if (v.kind() == Value::Kind::Text)
      line += v.TextRef();
    else if (!v.IsNull())
      line += v.AsText();
    line += '|';
  }
  return line;
}

// A line for a row whose "Linha" came back NULL (a NULL column inside the
// concatenation): the record code and every other field empty, so that the
// file keeps one line per counted row. The error port is told.
std::string NullLine(RunContext& ctx, std::string_view reg, const Objeto_Collection& layout) {
  ReportError(ctx.ports, "Quelvar", "gravação do arquivo unificado",
              "Linha nula no registro " + std::string(reg) + ": gravada com os campos vazios", 1);
  std::string line = "|";
  bool first = true;
  for (const Campos_Collection& f : layout) {
    if (f.Key <= 0) continue;
    if (first) line += reg;
    first = false;
    line += '|';
  }
  if (first) line.append(reg).append("|");
  return line;
}

// The current row's line: the "Linha" column when the result has one, else
// composed from the layout. A text "Linha" is returned in place (valid until
// the result moves); any other line is composed into `scratch`.
std::string_view CurrentLine(RunContext& ctx, std::string_view reg, Recordset& rs, const Objeto_Collection& layout,
                             std::string& scratch) {
  int col = rs.FindColumn(kLineColumn);
  if (col < 0) return scratch = ComposeFromColumns(rs, layout);
  const Value& v = rs.Column(col);
  if (v.IsNull()) return scratch = NullLine(ctx, reg, layout);
  if (v.kind() == Value::Kind::Text) return v.TextRef();
  return scratch = v.AsText();
}

// Writes `line` to file number 1 (in the inputs' older form when the code had
// only such lines, see older_forms.h) and counts it in the Block 9 counters
// and in the run's ledger (for the establishment being written).
void EmitLine(RunContext& ctx, std::string_view reg, std::string_view line) {
  const auto& older = ctx.olderFormFields;
  auto it = older.empty() ? older.end() : older.find(reg);
  if (it != older.end())
    ctx.output.WriteLine(OlderFormOf(reg, line, it->second));
  else
    ctx.output.WriteLine(line);
  ctx.ledger.Written(reg, ctx.currentCNPJ);
  if (reg == "9900")
    ctx.connection->Execute("UPDATE ###Registros SET QtdeReg = QtdeReg + 1 WHERE (Reg = '9900')");
  if (!reg.empty() && reg.front() == '9')
    ctx.connection->Execute("UPDATE ###Registros SET QtdeReg = QtdeReg + 1 WHERE (Reg = '9990')");
}

// Replaces field number `k` of a record line (1 = the record code) by `value`;
// a line with fewer fields is returned unchanged.
std::string ReplaceField(const std::string& line, int k, std::string_view value) {
  size_t start = 0;  // position of the bar before field k
  for (int i = 0; i < k; ++i) {
    start = line.find('|', i == 0 ? 0 : start + 1);
    if (start == std::string::npos) return line;
  }
  size_t end = line.find('|', start + 1);
  if (end == std::string::npos) return line;
  std::string out = line.substr(0, start + 1);
  out.append(value).append(line, end, std::string::npos);
  return out;
}

// "SELECT Max(CAST(<column> AS INT)) as retorna FROM ###<table>": the value as
// text, "0" when the table is empty (the maximum is NULL).
std::string MaxOf(RunContext& ctx, std::string_view table, std::string_view column) {
  std::string sql = "SELECT Max(CAST(";
  sql.append(column).append(" AS INT)) as retorna FROM ###").append(table);
  auto rs = ctx.connection->Execute(sql);
  if (rs->Eof()) return "0";
  const Value& v = (*rs)["retorna"];
  return v.IsNull() ? "0" : v.AsText();
}

}  // namespace

std::string md_BuildLineExpr(std::string_view, const Objeto_Collection* layout) {
  if (!layout) return "*";
  std::string cols, expr;
  for (const Campos_Collection& f : *layout) {
    if (f.Key > 0 && layout->WholeLine()) {
      continue;  // held by the line column
    } else if (f.Key > 0) {
      if (f.Tipo == "String")
        expr.append(f.Nome_Campo).append(" + '|' + ");
      else
        expr.append("CAST(").append(f.Nome_Campo).append(" AS VARCHAR(MAX)) + '|' + ");
    } else if (f.Nome_Campo != "Id_Arquivo") {  // the input file: no writer reads it
      cols.append(f.Nome_Campo).append(",");
    }
  }
  // A whole-line table holds the line as it is written.
  if (layout->WholeLine()) return cols + std::string(kWholeLineColumn) + " {NAMECOL} ";
  if (expr.empty()) return cols + "'|'  {NAMECOL} ";
  expr.resize(expr.size() - 2);
  return cols + "'|' + " + expr + " {NAMECOL} ";
}

void md_WriteLine(RunContext& ctx, std::string_view reg, Recordset& rs, const Objeto_Collection& layout) {
  std::string scratch;
  EmitLine(ctx, reg, CurrentLine(ctx, reg, rs, layout, scratch));
}

void md_WriteText(RunContext& ctx, std::string_view reg, std::string_view line) { EmitLine(ctx, reg, line); }

void md_WriteOpener(RunContext& ctx, std::string_view reg, Recordset& rs, const Objeto_Collection& layout,
                    bool blockHasData) {
  std::string scratch;
  std::string line(CurrentLine(ctx, reg, rs, layout, scratch));
  for (const Campos_Collection& f : layout)
    if (f.Key > 0 && f.Nome_Campo == "Ind_Mov") {
      line = ReplaceField(line, f.Key, blockHasData ? "0" : "1");
      break;
    }
  EmitLine(ctx, reg, line);
}

void md_AddRecordCount(RunContext& ctx, std::string_view reg, int32_t n) {
  std::string sql = "UPDATE ###Registros SET QtdeReg = QtdeReg + ";
  sql.append(std::to_string(n)).append(" WHERE (Reg = '9999') Or (Reg = '");
  sql.append(PrepareSqlText(reg)).append("')");
  ctx.connection->Execute(sql);
}

bool md_HasField(Recordset& rs, std::string_view name) { return rs.FindColumn(name) >= 0; }

std::string md_MaxCodEst(RunContext& ctx) { return MaxOf(ctx, "0140", "Cod_Est"); }

std::string md_MaxColumn(RunContext& ctx, std::string_view table, std::string_view column) { return MaxOf(ctx, table, column); }
