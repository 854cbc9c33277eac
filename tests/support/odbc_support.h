// Test helpers for the ODBC backend: Debian's SQLite ODBC driver stands in for
// SQL Server, loaded by path so that no odbcinst.ini entry is needed.
#pragma once

#include <string>

// The SQLite ODBC driver library (QUELVAR_TEST_ODBC_DRIVER when set, else the
// usual Debian locations), or "" when it is not installed.
std::string SqliteOdbcDriverPath();

// A fresh SQLite database file in the temp folder, removed when the object
// goes; connectionString opens it through the driver at `driverPath`.
class ScratchOdbcDatabase {
 public:
  explicit ScratchOdbcDatabase(const std::string& driverPath);
  ~ScratchOdbcDatabase();
  ScratchOdbcDatabase(const ScratchOdbcDatabase&) = delete;
  ScratchOdbcDatabase& operator=(const ScratchOdbcDatabase&) = delete;

  std::string path;
  std::string connectionString;
};
