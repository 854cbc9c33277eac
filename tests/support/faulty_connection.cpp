#include "tests/support/faulty_connection.h"

#include <cassert>

#include "staging/run_state.h"

std::unique_ptr<Recordset> FaultyConnection::Execute(std::string_view sql) {
  std::string text(sql);
  if (edit_ && !edit_(text)) return MakeEmptyRecordset();
  return inner_->Execute(text);
}

void InstallFaultyConnection(RunContext& run, std::function<bool(std::string&)> edit) {
  assert(run.connection);
  run.connection = std::make_unique<FaultyConnection>(std::move(run.connection), std::move(edit));
}
