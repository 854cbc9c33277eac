// The staging database reached through ODBC (unixODBC on Linux, the system's
// driver manager on Windows), meant for SQL Server: the program's T-SQL texts
// go out exactly as composed. Results are read into memory in full when the
// statement runs, so RecordCount is exact and no statement handle stays open
// between calls.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "staging/database.h"

// A connection for an ODBC connection string ("Driver={ODBC Driver 18 for SQL
// Server};Server=...;UID=...;PWD=..."), not yet opened. Never throws; Open
// reports a missing driver, an unreachable server or a refused login as one
// DatabaseError naming the target without its password.
std::unique_ptr<DatabaseConnection> CreateOdbcConnection(std::string connectionString);

// The connection string with the value of every PWD= / Password= attribute
// (key case-insensitive, braced values included) replaced by "***": the form
// in which a connection string may appear in a message.
std::string HideOdbcPasswords(std::string_view connectionString);

// The password values of the connection string as they are written and, for
// braced values, as the driver reads them (braces removed, "}}" as "}").
std::vector<std::string> OdbcPasswords(std::string_view connectionString);

// `text` with every occurrence of each of `secrets` (three characters or
// longer) replaced by "***". Used on every message the backend raises.
std::string ScrubSecrets(std::string text, const std::vector<std::string>& secrets);

// The statement that asks the server for the identity just generated in
// `table`: "SELECT last_insert_rowid()" when `dbmsName` is SQLite (the
// driver used by the tests), else "SELECT IDENT_CURRENT('" + table + "')" with
// "tempdb.." before a temporary table's name ("SELECT
// IDENT_CURRENT('tempdb..###C100')").
std::string OdbcIdentityQuery(std::string_view dbmsName, std::string_view table);
