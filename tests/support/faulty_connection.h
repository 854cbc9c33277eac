// A DatabaseConnection for tests that stands in front of a real one and may
// change or drop statements on their way: storing faults of the import
// (rows silently not stored, rows stored under another establishment) made
// on purpose, to show what else catches them.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "staging/database.h"
#include "staging/run_context.h"

class FaultyConnection : public DatabaseConnection {
 public:
  // `edit` sees every statement before `inner` runs it and may rewrite it;
  // returning false drops it (an empty result, as if it had run).
  FaultyConnection(std::unique_ptr<DatabaseConnection> inner, std::function<bool(std::string&)> edit)
      : inner_(std::move(inner)), edit_(std::move(edit)) {}

  void Open() override { inner_->Open(); }
  std::unique_ptr<Recordset> Execute(std::string_view sql) override;
  int64_t LastIdentity(std::string_view table) override { return inner_->LastIdentity(table); }
  void Close() override { inner_->Close(); }
  std::string Describe() const override { return inner_->Describe(); }

 private:
  std::unique_ptr<DatabaseConnection> inner_;
  std::function<bool(std::string&)> edit_;
};

// Puts a FaultyConnection with `edit` in front of `run`'s connection, which
// must be open.
void InstallFaultyConnection(RunContext& run, std::function<bool(std::string&)> edit);
