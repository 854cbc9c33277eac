// A fresh staging store for one test: an in-memory database as g_Connection
// with ###Registros and every staging table, the run state reset; on
// destruction file number 1 is abandoned, the connection closed and the run
// state reset again.
#pragma once

class StagingDatabase {
 public:
  StagingDatabase();
  ~StagingDatabase();
  StagingDatabase(const StagingDatabase&) = delete;
  StagingDatabase& operator=(const StagingDatabase&) = delete;
};
