#include "tests/support/staging_database.h"

#include "blocks/registry.h"
#include "staging/output_file.h"
#include "staging/resources.h"
#include "staging/run_state.h"

StagingDatabase::StagingDatabase() {
  ResetRunState();
  g_Connection = CreateConnection("memory");
  g_Connection->Open();
  md_CreateControlTable();
  for (const BlockModule& m : BlockModules()) m.createTables();
}

StagingDatabase::~StagingDatabase() {
  FileNumber1().Abort();
  if (g_Connection) g_Connection->Close();
  g_Connection.reset();
  ResetRunState();
}
