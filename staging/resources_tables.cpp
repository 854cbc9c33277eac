// Staging tables: the control table ###Registros and one table per record code.
#include <set>
#include <string>
#include <vector>

#include "staging/ledger.h"
#include "staging/resources.h"
#include "staging/run_state.h"

void md_CreateControlTable(RunContext& ctx) {
  ctx.connection->Execute(
      "CREATE TABLE ###Registros(ID INT IDENTITY(1,1), Bloco NVARCHAR(MAX),Reg NVARCHAR(MAX),"
      "QtdeReg NVARCHAR(MAX))");
}

void md_CreateTable(RunContext& ctx, std::string_view reg, const Objeto_Collection& layout) {
  std::string cols;
  for (int i = 1; i <= layout.Count(); ++i) {
    const Campos_Collection* f = layout.Item(i);
    if (f->Nome_Campo == "ID" && layout.IsPkIdentity()) continue;
    if (f->Key > 0 && layout.WholeLine()) continue;  // held by the line column
    if (!cols.empty()) cols += ",";
    cols += f->Nome_Campo;
    cols += " ";
    cols += f->Tipo == "Integer" ? "INT" : "VARCHAR(MAX)";
  }
  if (layout.WholeLine()) cols.append(cols.empty() ? "" : ",").append(kWholeLineColumn).append(" VARCHAR(MAX)");
  if (layout.IsPkIdentity()) cols = "ID INT IDENTITY(1,1)," + cols;
  std::string create = "CREATE TABLE ###";
  create.append(reg).append("(").append(cols).append(")");
  ctx.connection->Execute(create);
  std::string registration = "INSERT INTO ###Registros VALUES ('";
  registration.append(reg.substr(0, 1)).append("','").append(reg).append("',0)");
  ctx.connection->Execute(registration);
}

// Every registered record table, in registration order, with 0035 last.
std::vector<std::string> md_StagingCodes(RunContext& ctx) {
  std::vector<std::string> codes;
  std::set<std::string> seen;
  for (auto rs = ctx.connection->Execute("SELECT Reg FROM ###Registros ORDER BY ID ASC"); !rs->Eof(); rs->MoveNext())
    if (std::string code = (*rs)["Reg"].AsText(); seen.insert(code).second) codes.push_back(std::move(code));
  return codes;
}

std::map<int64_t, int64_t> md_RowsPerFile(RunContext& ctx, std::string_view reg, int64_t fromFile) {
  std::map<int64_t, int64_t> rows;
  auto rs = ctx.connection->Execute("SELECT Id_Arquivo, COUNT(*) AS n FROM ###" + std::string(reg) +
                                  " WHERE Id_Arquivo >= " + std::to_string(fromFile) + " GROUP BY Id_Arquivo");
  for (; !rs->Eof(); rs->MoveNext()) rows[(*rs)["Id_Arquivo"].AsInt()] += (*rs)["n"].AsInt();
  return rows;
}

void md_DeleteFileRows(RunContext& ctx, std::string_view reg, int64_t file) {
  ctx.connection->Execute("DELETE FROM ###" + std::string(reg) + " WHERE Id_Arquivo = " + std::to_string(file));
}

void md_SwapFileRows(RunContext& ctx, std::string_view reg, int64_t a, int64_t b) {
  const std::string ta = std::to_string(a), tb = std::to_string(b);
  ctx.connection->Execute("UPDATE ###" + std::string(reg) + " SET Id_Arquivo = CASE WHEN Id_Arquivo = " + ta +
                          " THEN " + tb + " ELSE " + ta + " END WHERE Id_Arquivo = " + ta + " OR Id_Arquivo = " + tb);
}

void md_ClearTables(RunContext& ctx) {
  ctx.ledger.Clear();  // the ledger counts what is staged
  std::vector<std::string> codes;
  for (auto rs = ctx.connection->Execute("SELECT Reg FROM ###Registros ORDER BY ID ASC"); !rs->Eof();
       rs->MoveNext())
    codes.push_back((*rs)["Reg"].AsText());
  bool has0035 = false;
  for (const std::string& code : codes) {
    if (code == "0035") {
      has0035 = true;
      continue;
    }
    ctx.connection->Execute("DELETE FROM ###" + code);
  }
  if (has0035) ctx.connection->Execute("DELETE FROM ###0035");
}
