// A DatabaseConnection for tests: keeps every statement text it is given, in
// order, and answers with empty results or with results queued beforehand.
#pragma once

#include <deque>
#include <map>
#include <string>
#include <vector>

#include "staging/database.h"

class RecordingConnection : public DatabaseConnection {
 public:
  struct Result {
    std::vector<std::string> columns;
    std::vector<std::vector<Value>> rows;
  };

  // Every statement executed, in order.
  const std::vector<std::string>& Statements() const { return statements_; }
  void ClearStatements() { statements_.clear(); }

  // The next SELECT (statement beginning with "SELECT", any case, blanks
  // skipped) gets `result`; queued results are used in order.
  void QueueResult(Result result) { queued_.push_back(std::move(result)); }
  // Every statement containing `fragment` gets `result` (checked before the
  // queue; the first fragment registered that matches wins).
  void SetResultFor(std::string fragment, Result result);

  void Open() override { open_ = true; }
  // Records `sql` and returns the matching canned result or an empty one.
  // Throws DatabaseError when the connection is not open.
  std::unique_ptr<Recordset> Execute(std::string_view sql) override;
  // Counts INSERTs per table, as an identity column would number them: the
  // number of "INSERT INTO <table>" statements executed so far.
  int64_t LastIdentity(std::string_view table) override;
  void Close() override { open_ = false; }
  std::string Describe() const override { return "recording connection"; }

 private:
  bool open_ = false;
  std::vector<std::string> statements_;
  std::deque<Result> queued_;
  std::vector<std::pair<std::string, Result>> fixed_;
  std::map<std::string, int64_t> inserts_;  // key: upper-cased table name
};

// A result over `result`'s rows (for fakes of the database).
std::unique_ptr<Recordset> MakeTableRecordset(RecordingConnection::Result result);
