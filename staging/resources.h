// Shared procedures of the block modules: staging tables, record loading,
// output lines and their counters, progress.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "staging/database.h"
#include "staging/layout.h"

struct RunContext;

// ---- Staging tables --------------------------------------------------------

// The control table: "CREATE TABLE ###Registros(ID INT IDENTITY(1,1), ...)".
void md_CreateControlTable(RunContext& ctx);
// Creates the staging table of `reg` from `layout` and registers it in
// ###Registros (two statements). Throws DatabaseError.
void md_CreateTable(RunContext& ctx, std::string_view reg, const Objeto_Collection& layout);
// Empties every record table ("DELETE FROM ###code"), ###Registros untouched.
void md_ClearTables(RunContext& ctx);
// The record codes of the staging tables, once each, in the order they were
// registered in ###Registros. Throws DatabaseError.
std::vector<std::string> md_StagingCodes(RunContext& ctx);
// Per input file number from `fromFile` on: the rows of table ###reg that
// file staged (Id_Arquivo); files without rows are absent. Throws DatabaseError.
std::map<int64_t, int64_t> md_RowsPerFile(RunContext& ctx, std::string_view reg, int64_t fromFile);
// Deletes the rows of input file `file` from ###reg ("DELETE FROM ###reg
// WHERE Id_Arquivo = file"). The caller holds the transaction. Throws DatabaseError.
void md_DeleteFileRows(RunContext& ctx, std::string_view reg, int64_t file);
// The rows of input files `a` and `b` in ###reg exchange their Id_Arquivo
// (one UPDATE). The caller holds the transaction. Throws DatabaseError.
void md_SwapFileRows(RunContext& ctx, std::string_view reg, int64_t a, int64_t b);

// ---- Record loading --------------------------------------------------------

// Binds `line` to `layout` and inserts one row into ###reg. Errors are caught,
// stored in ctx.lastError and reported through ReportError; the row is then not
// stored. True when the row was stored (or handed to the backend's batch).
bool md_InsertTable(RunContext& ctx, std::string_view line, std::string_view reg, Objeto_Collection& layout);
bool md_TableHasRows(RunContext& ctx, std::string_view reg);
bool md_FindUnit(RunContext& ctx, std::string_view unid, std::string_view idCnpj);
bool md_FindAccount(RunContext& ctx, std::string_view codCta);

// ---- Output lines and counters ---------------------------------------------

// The column list and line expression of a SELECT for `layout`, ending in
// " {NAMECOL} "; "*" when layout is null. The link columns are listed but
// Id_Arquivo, which no writer reads; a whole-line layout's expression is its
// line column.
std::string md_BuildLineExpr(std::string_view reg, const Objeto_Collection* layout);
// Writes the current row of `rs` as one line to file number 1 and counts
// Block 9 lines. Throws on a failing statement or write.
void md_WriteLine(RunContext& ctx, std::string_view reg, Recordset& rs, const Objeto_Collection& layout);
// Writes `line`, composed by the caller, as one line of `reg` to file number 1
// and counts Block 9 lines like md_WriteLine. Throws on a failing write.
void md_WriteText(RunContext& ctx, std::string_view reg, std::string_view line);
// Adds n to the counters of reg and of "9999".
void md_AddRecordCount(RunContext& ctx, std::string_view reg, int32_t n);
// Writes a block opener (0001, A001, ... 9001) from the current row of `rs`:
// the stored line with its Ind_Mov set to "0" when the merged block holds lines
// besides its opener and closer, "1" otherwise. Counts like md_WriteLine.
void md_WriteOpener(RunContext& ctx, std::string_view reg, Recordset& rs, const Objeto_Collection& layout,
                    bool blockHasData);
bool md_HasField(Recordset& rs, std::string_view name);
std::string md_MaxCodEst(RunContext& ctx);
std::string md_MaxColumn(RunContext& ctx, std::string_view table, std::string_view column);

// ---- Progress --------------------------------------------------------------

// Feeds the progress port: kind 0 import, 1 blocks of the run, 2 establishments,
// 3 lines of a record code, 4 lines of child records.
void md_ShowProgress(RunContext& ctx, int kind, std::string_view text, double done, double total);
