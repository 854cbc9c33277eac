// The staging database on embedded SQLite: takes the program's T-SQL texts,
// translates each statement shape once (cached with its prepared statements)
// and binds the literals of every later statement of the same shape. Inserts
// made with DatabaseConnection::Insert keep one prepared statement each and
// bind the row's values directly, with no text to compose or scan.
#pragma once

#include <memory>
#include <string>

#include "staging/database.h"

enum class SqliteTarget {
  Temporary,  // a private on-disk database in the temp folder, deleted by SQLite itself
  Memory,     // in memory
  File,       // a new file at a given path, removed on Close
};

// A connection (not yet opened) to a fresh private SQLite database. For File,
// Open refuses an existing file and Close removes the file and its journal.
std::unique_ptr<DatabaseConnection> MakeSqliteConnection(SqliteTarget target, std::string path = {});

struct sqlite3;
// The reason of the last failure on `db` as a user reads it: in Portuguese
// for what the user can act on (a full disk, a disk that fails or is
// read-only), SQLite's own text otherwise.
std::string SqliteFailureText(sqlite3* db);

// Pragmas fit for a throw-away staging database (no durability, exclusive
// use, a large page cache). Exposed for the benchmark's baseline.
extern const char* const kStagingPragmas;
