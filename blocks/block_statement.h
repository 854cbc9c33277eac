// What every block writer shares: the statement template "SELECT {TOP}
// {COLUMNS} FROM ###<code> ", its placeholders, and the walk that writes each
// returned row as one line with its progress.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "staging/database.h"
#include "staging/layout.h"

struct RunContext;

// "SELECT {TOP} {COLUMNS} FROM ###" + reg + " ".
std::string StatementTemplate(std::string_view reg);
// `text` with every occurrence of the placeholder `from` replaced by `to`
// (exact, case-sensitive), except inside quoted text literals: a value put
// into the statement before its placeholders are replaced is never changed.
std::string ReplaceAll(std::string text, std::string_view from, std::string_view to);
// The last step of every statement: "{TOP}" removed, "{COLUMNS}" replaced by
// the line expression of `layout`, "{NAMECOL}" by " AS Linha ".
std::string FinishStatement(std::string sql, std::string_view reg, const Objeto_Collection& layout);

// How the rows of a statement become lines.
enum class RowWriter {
  Line,               // md_WriteLine
  OpenerWithData,     // md_WriteOpener, Ind_Mov "0"
  OpenerWithoutData,  // md_WriteOpener, Ind_Mov "1"
};

// Runs `sql` and writes every row as one line of `reg`, showing progress of
// `progressKind` (3 for records, 4 for child records) with the record code.
// Returns the number of lines written; the caller counts them. Throws on a
// failing statement or write.
int32_t WriteRows(RunContext& ctx, std::string_view reg, const std::string& sql, const Objeto_Collection& layout,
                  RowWriter writer = RowWriter::Line, int progressKind = 3);

// True when ###<reg> holds at least one row.
bool HasRows(RunContext& ctx, std::string_view reg);

// The right-hand side of a comparison with a stored Id_CNPJ: the CNPJ itself
// when it is 1 to 18 digits (compared as a number, as the Id_CNPJ index of the
// staging tables does, so leading zeros do not matter), otherwise a quoted,
// escaped text literal (longer digit strings too: no 64-bit integer holds them).
std::string CnpjOperand(std::string_view cnpj);
