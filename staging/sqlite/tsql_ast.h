// Parse tree of the T-SQL statements the staging database understands.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "staging/sqlite/tsql_lexer.h"

namespace tsql {

enum class ExprKind {
  Literal,   // param = literal index, litKind its kind
  Null,      // the NULL keyword
  Column,    // qualifier (may be empty) . name
  Unary,     // op ("-", "+") args[0]
  Binary,    // op ("+", "-", "*", "/", "%") args[0], args[1]
  Compare,   // op ("=", "<>", "<", ">", "<=", ">=") args[0], args[1]
  Like,      // args[0] LIKE args[1]; negated for NOT LIKE
  IsNull,    // args[0] IS NULL; negated for IS NOT NULL
  And,       // args[0] AND args[1]
  Or,        // args[0] OR args[1]
  Not,       // NOT args[0]
  Func,      // name(args); star for COUNT(*)
  Cast,      // CAST(args[0] AS typeName)
  Case,      // CASE WHEN args[0] THEN args[1] ... [ELSE args[last]] END; hasElse
};

struct Expr {
  ExprKind kind;
  std::string_view op;
  std::string_view qualifier, name;  // Column, Func
  std::string typeName;              // Cast: "INT", "FLOAT", "VARCHAR(MAX)", ...
  int param = -1;
  TokKind litKind = TokKind::String;
  bool star = false, negated = false, hasElse = false;
  std::vector<std::unique_ptr<Expr>> args;
};
using ExprPtr = std::unique_ptr<Expr>;

struct SelectStmt;

// A FROM source: a table or a derived table, with an optional alias.
struct Source {
  std::string_view table;
  std::unique_ptr<SelectStmt> derived;
  std::string_view alias;
};

struct SelectItem {
  ExprPtr expr;            // null for *
  std::string_view alias;  // empty when none
};

struct OrderItem {
  ExprPtr expr;
  bool desc = false;
};

struct SelectStmt {
  ExprPtr top;  // TOP (n)
  std::vector<SelectItem> items;
  std::unique_ptr<Source> from;
  ExprPtr where;
  std::vector<ExprPtr> groupBy;
  std::vector<OrderItem> orderBy;
};

struct ColumnDef {
  std::string_view name;
  std::string typeName;  // "INT", "VARCHAR(MAX)", ...
  bool identity = false;
  std::string seed, increment;  // IDENTITY(seed, increment) as written
};

enum class StmtKind { Select, Insert, Update, Delete, Create, Begin, Commit, Rollback };

struct Statement {
  StmtKind kind;
  std::unique_ptr<SelectStmt> select;      // Select
  std::string_view table;                  // Insert, Update, Delete, Create
  std::vector<std::string_view> columns;   // Insert (may be empty), Update (SET targets)
  std::vector<ExprPtr> values;             // Insert values, Update SET values
  std::unique_ptr<Source> from;            // Update ... FROM
  ExprPtr where;                           // Update, Delete
  std::vector<ColumnDef> defs;             // Create
};

}  // namespace tsql
