// Recursive-descent parser for the T-SQL statement forms the program emits:
// SELECT [TOP (n)] ... [FROM table|(SELECT ...) [AS] alias] [WHERE] [GROUP BY]
// [ORDER BY], INSERT INTO t[(cols)] VALUES (...), UPDATE t SET ... [FROM ...]
// [WHERE], DELETE FROM t [WHERE], CREATE TABLE t(...), BEGIN / COMMIT /
// ROLLBACK TRANSACTION.
#pragma once

#include <stdexcept>
#include <string>

#include "staging/sqlite/tsql_ast.h"

namespace tsql {

// A text the parser or the translator cannot take; the message says why.
class SqlError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Parses the tokens of one statement (an optional ";" may end it). The tree
// refers into `lexed`, which must outlive it. Throws SqlError.
Statement Parse(const Lexed& lexed);

}  // namespace tsql
