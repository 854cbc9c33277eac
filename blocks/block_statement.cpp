#include "blocks/block_statement.h"

#include "staging/resources.h"
#include "staging/run_state.h"
#include "staging/text.h"

std::string StatementTemplate(std::string_view reg) {
  std::string sql = "SELECT {TOP} {COLUMNS} FROM ###";
  sql.append(reg).append(" ");
  return sql;
}

std::string ReplaceAll(std::string text, std::string_view from, std::string_view to) {
  if (from.empty() || text.find(from) == std::string::npos) return text;
  std::string out;
  out.reserve(text.size() + to.size());
  bool quoted = false;  // inside a text literal; a doubled quote leaves and re-enters it
  for (size_t i = 0; i < text.size();) {
    if (text[i] == '\'') {
      quoted = !quoted;
      out += text[i++];
    } else if (!quoted && text.compare(i, from.size(), from) == 0) {
      out.append(to);
      i += from.size();
    } else {
      out += text[i++];
    }
  }
  return out;
}

std::string FinishStatement(std::string sql, std::string_view reg, const Objeto_Collection& layout) {
  std::string expr = md_BuildLineExpr(reg, &layout);
  sql = ReplaceAll(std::move(sql), "{TOP}", "");
  sql = ReplaceAll(std::move(sql), "{COLUMNS}", expr);
  return ReplaceAll(std::move(sql), "{NAMECOL}", " AS Linha ");
}

int32_t WriteRows(RunContext& ctx, std::string_view reg, const std::string& sql, const Objeto_Collection& layout,
                  RowWriter writer, int progressKind) {
  auto rs = ctx.connection->Execute(sql);
  int32_t n = 0;
  double total = 0;
  for (; !rs->Eof(); rs->MoveNext()) {
    ++n;
    if (n == 1) total = static_cast<double>(rs->RecordCount());
    md_ShowProgress(ctx, progressKind, reg, n, total);
    if (writer == RowWriter::Line)
      md_WriteLine(ctx, reg, *rs, layout);
    else
      md_WriteOpener(ctx, reg, *rs, layout, writer == RowWriter::OpenerWithData);
  }
  return n;
}

bool HasRows(RunContext& ctx, std::string_view reg) {
  std::string sql = "SELECT TOP(1) * FROM ###";
  sql.append(reg);
  return !ctx.connection->Execute(sql)->Eof();
}

std::string CnpjOperand(std::string_view cnpj) {
  bool digits = !cnpj.empty() && cnpj.size() <= 18;
  for (char c : cnpj) digits = digits && c >= '0' && c <= '9';
  if (digits) return std::string(cnpj);
  return "'" + PrepareSqlText(cnpj) + "'";
}
