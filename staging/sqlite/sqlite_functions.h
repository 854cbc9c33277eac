// SQL Server behaviour inside SQLite: the TSQL collation (case-insensitive
// over the single-byte Latin-1 / Windows-1252 texts, trailing blanks ignored)
// and the tsql_* functions the translated statements call.
#pragma once

#include <string_view>

#include "staging/sqlite/tsql_values.h"

struct sqlite3;

namespace tsql {

// Registers the collation and the functions on `db`. Returns an SQLite error
// code (SQLITE_OK on success).
int RegisterFunctions(sqlite3* db);

}  // namespace tsql
