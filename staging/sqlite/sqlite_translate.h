// Translation of parsed T-SQL into SQLite SQL with SQL Server's meaning:
// expression types follow T-SQL (column types from the catalog of the tables
// created, literal and function result types, type precedence float > decimal
// > int > text), texts compare under the TSQL collation, conversions go
// through the tsql_* functions, literals become numbered parameters (?1 is
// literal 0 of the statement).
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "staging/sqlite/tsql_ast.h"

namespace tsql {

enum class SqlType : uint8_t { Null, Bool, Text, Int, Decimal, Float };

struct CatalogColumn {
  std::string name;
  SqlType type;
  bool identity = false;
};

struct CatalogTable {
  std::string name;  // as created ("###C170")
  std::vector<CatalogColumn> columns;
  bool hasIdentity = false;
};

// The tables created through the connection, found without regard to case.
class Catalog {
 public:
  const CatalogTable* Find(std::string_view name) const;
  void Add(CatalogTable table);

 private:
  std::map<std::string, CatalogTable> tables_;  // key: upper-cased name
};

struct ResultColumn {
  std::string name;  // alias, column name, or empty
  SqlType type;
};

struct Translation {
  StmtKind kind;
  std::string sql;                     // one SQLite statement
  std::vector<ResultColumn> columns;   // Select
  std::string table;                   // Insert/Update/Delete/Create target, as in the catalog
  bool identityTarget = false;         // Insert into a table with an identity column
  bool readsControlTable = false;      // Select reading ###Registros
  std::string countSql;                // Select: counts its rows without computing its columns; empty
                                       // when only counting the statement itself will do
  std::optional<CatalogTable> created; // Create: the table to register once created
  std::vector<std::string> indexSql;   // Create: the indexes that go with the table
};

// Translates `st` (parsed from `lexed`). Throws SqlError with SQL Server's
// wording where there is one (unknown table or column, invalid conversion).
Translation Translate(const Statement& st, const Lexed& lexed, const Catalog& catalog);

// The name of the table that counts output lines: its results are read whole.
inline constexpr std::string_view kControlTable = "###Registros";

}  // namespace tsql
