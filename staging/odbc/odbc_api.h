// The ODBC headers and the few helpers the backend's sources share. The
// narrow (byte) entry points are used throughout: statements and texts are
// bytes in the files' single-byte code page, so the build must not define
// UNICODE (which would turn SQLExecDirect into its wide form).
#pragma once

#ifdef _WIN32
#include <windows.h>
#endif
#include <sql.h>
#include <sqlext.h>

#include <memory>
#include <string>

#include "staging/database.h"

#if defined(UNICODE) && defined(_WIN32)
#error "The ODBC backend passes byte texts; build it without UNICODE."
#endif

inline bool OdbcOk(SQLRETURN rc) { return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO; }

// Every diagnostic record of `handle` as "[SQLSTATE] message", joined by "; ";
// "no diagnostics from the driver" when there is none. Never throws.
std::string OdbcDiagnostics(SQLSMALLINT handleType, SQLHANDLE handle);

// Reads the current result of `stmt` (SQLNumResultCols > 0) into memory: every
// row, columns by their SQL type (whole numbers as Int, decimals and floating
// types as Float, everything else as the bytes of SQL_C_CHAR, NULL as Null).
// Throws DatabaseError with the driver's diagnostics when a fetch fails.
std::unique_ptr<Recordset> FetchOdbcResult(SQLHSTMT stmt);

// The result of a statement that returns no rows: no columns, Eof() at once.
std::unique_ptr<Recordset> EmptyOdbcResult();
