// Runner for the statement corpus under tests/sql/: text files of T-SQL
// statements with their expected outcome, in the manner of sqllogictest.
//
//   # comment
//   layouts                      the control table and every staging table
//   statement ok                 the next lines (up to a blank line) must run
//   statement error              must fail; the line after "----", if any, is
//   ----                         a part of the expected message
//   query ITR [rowsort]          a SELECT; column kinds I(nt) R(eal/float)
//   ----                         T(ext) N(ull); then the expected rows, values
//   row values                   separated by tabs, NULL for SQL NULL, reals
//                                written shortest ("100000", "0.3")
#pragma once

#include <string>
#include <vector>

class DatabaseConnection;

// Runs the corpus file at `path` on `db` (which must be TestRun().connection when the
// file uses "layouts"). Returns one text per failed record (empty: all passed).
std::vector<std::string> RunSqlCorpus(DatabaseConnection& db, const std::string& path);
