#include "staging/sqlite/sqlite_translate.h"

#include "staging/sqlite/tsql_parser.h"

namespace tsql {

std::string Upper(std::string_view s) {
  std::string u(s);
  for (char& c : u)
    if (c >= 'a' && c <= 'z') c -= 32;
  return u;
}

const CatalogTable* Catalog::Find(std::string_view name) const {
  auto it = tables_.find(Upper(name));
  return it == tables_.end() ? nullptr : &it->second;
}

void Catalog::Add(CatalogTable table) {
  std::string key = Upper(table.name);
  tables_[key] = std::move(table);
}

namespace {

// `name` as an SQLite quoted identifier.
std::string Quote(std::string_view name) {
  std::string q = "\"";
  for (char c : name) {
    if (c == '"') q += '"';
    q += c;
  }
  q += '"';
  return q;
}

// Place of a type in T-SQL's precedence for implicit conversion (0: none).
int Rank(SqlType t) {
  switch (t) {
    case SqlType::Text: return 1;
    case SqlType::Int: return 2;
    case SqlType::Decimal: return 3;
    case SqlType::Float: return 4;
    default: return 0;
  }
}
bool IsNumeric(SqlType t) { return Rank(t) >= 2; }

const char* TypeWord(SqlType t) {
  switch (t) {
    case SqlType::Text: return "varchar";
    case SqlType::Int: return "int";
    case SqlType::Decimal: return "numeric";
    case SqlType::Float: return "float";
    case SqlType::Bool: return "condition";
    default: return "null";
  }
}

// A T-SQL type name as written in CAST or CREATE TABLE.
SqlType TypeOfName(const std::string& type) {
  if (type == "INT" || type == "INTEGER" || type == "BIGINT" || type == "SMALLINT" || type == "TINYINT")
    return SqlType::Int;
  if (type == "FLOAT" || type == "REAL" || type == "FLOAT(53)") return SqlType::Float;
  if (type == "VARCHAR(MAX)" || type == "NVARCHAR(MAX)") return SqlType::Text;
  throw SqlError("type " + type + " is not supported (INT, FLOAT, VARCHAR(MAX), NVARCHAR(MAX) are)");
}

struct Gen {
  std::string sql;
  SqlType type;
  bool concat = false;  // sql is a tsql_concat(...) call that more operands may join
};

struct ScopeSource {
  std::string sqlRef;          // quoted name used to qualify columns
  std::string_view matchName;  // alias, or the table name
  std::vector<ResultColumn> columns;
};

// Converts `g` to `to` as SQL Server converts implicitly or by CAST.
Gen Convert(Gen g, SqlType to) {
  if (g.type == to || g.type == SqlType::Null) return Gen{std::move(g.sql), to};
  if (g.type == SqlType::Bool) throw SqlError("a condition cannot be used as a value");
  switch (to) {
    case SqlType::Int:
      if (g.type == SqlType::Text) return Gen{"tsql_int(" + g.sql + ")", to};
      return Gen{"CAST(" + g.sql + " AS INTEGER)", to};
    case SqlType::Float: case SqlType::Decimal:
      if (g.type == SqlType::Text) return Gen{"tsql_float(" + g.sql + ")", to};
      return Gen{"CAST(" + g.sql + " AS REAL)", to};
    case SqlType::Text:
      if (g.type == SqlType::Int) return Gen{"CAST(" + g.sql + " AS TEXT)", to};
      return Gen{"tsql_text(" + g.sql + ")", to};
    default:
      throw SqlError("cannot convert to that type");
  }
}

class Translator {
 public:
  Translator(const Lexed& lx, const Catalog& cat) : lx_(lx), cat_(cat) {}

  // The whole translation of `st`; throws SqlError.
  Translation Run(const Statement& st) {
    Translation tr;
    tr.kind = st.kind;
    switch (st.kind) {
      case StmtKind::Select: {
        std::vector<ResultColumn> cols;
        tr.sql = Select(*st.select, cols, false, &tr.countSql);
        tr.columns = std::move(cols);
        tr.readsControlTable = readsControl_;
        break;
      }
      case StmtKind::Insert: Insert(st, tr); break;
      case StmtKind::Update: Update(st, tr); break;
      case StmtKind::Delete: {
        const CatalogTable& t = Table(st.table);
        tr.table = t.name;
        tr.sql = "DELETE FROM " + Quote(t.name);
        if (st.where) {
          scope_.push_back(ScopeSource{Quote(t.name), st.table, Columns(t)});
          tr.sql += " WHERE " + Condition(*st.where);
        }
        break;
      }
      case StmtKind::Create: Create(st, tr); break;
      case StmtKind::Begin: tr.sql = "BEGIN"; break;
      case StmtKind::Commit: tr.sql = "COMMIT"; break;
      case StmtKind::Rollback: tr.sql = "ROLLBACK"; break;
    }
    return tr;
  }

 private:
  // The columns of `t` as result columns.
  static std::vector<ResultColumn> Columns(const CatalogTable& t) {
    std::vector<ResultColumn> cols;
    for (const auto& c : t.columns) cols.push_back(ResultColumn{c.name, c.type});
    return cols;
  }

  // The catalog table `name`; throws SqlError (SQL Server's wording) when unknown.
  const CatalogTable& Table(std::string_view name) {
    const CatalogTable* t = cat_.Find(name);
    if (!t) throw SqlError("Invalid object name '" + std::string(name) + "'.");
    if (SameName(name, kControlTable)) readsControl_ = true;
    return *t;
  }

  // The column `name` of `t`, or nullptr.
  static const CatalogColumn* FindColumn(const CatalogTable& t, std::string_view name) {
    for (const auto& c : t.columns)
      if (SameName(c.name, name)) return &c;
    return nullptr;
  }

  // The columns a FROM source brings into scope; sets `fromSql` to its SQLite text.
  ScopeSource SourceScope(const Source& src, std::string& fromSql) {
    ScopeSource s;
    if (src.derived) {
      std::vector<ResultColumn> cols;
      std::vector<ScopeSource> saved;
      saved.swap(scope_);
      std::string sub = Select(*src.derived, cols, true);
      scope_.swap(saved);
      s.sqlRef = Quote(src.alias);
      s.matchName = src.alias;
      s.columns = std::move(cols);
      fromSql = "(" + sub + ") AS " + s.sqlRef;
    } else {
      const CatalogTable& t = Table(src.table);
      s.columns = Columns(t);
      if (!src.alias.empty()) {
        s.sqlRef = Quote(src.alias);
        s.matchName = src.alias;
        fromSql = Quote(t.name) + " AS " + s.sqlRef;
      } else {
        s.sqlRef = Quote(t.name);
        s.matchName = src.table;
        fromSql = s.sqlRef;
      }
    }
    return s;
  }

  // A SELECT (top level, or a derived table whose columns must be named);
  // fills `cols` with the result columns and, when `countSql` is given, sets
  // it to a count of the rows for a plain select (no TOP, grouping or
  // aggregate): same FROM and WHERE, columns not computed. Throws SqlError.
  std::string Select(const SelectStmt& sel, std::vector<ResultColumn>& cols, bool derived,
                     std::string* countSql = nullptr) {
    std::string fromSql;
    if (sel.from) scope_.push_back(SourceScope(*sel.from, fromSql));
    std::string sql = "SELECT ";
    bool first = true;
    auto addItem = [&](const std::string& expr, const std::string& name, SqlType type) {
      if (!first) sql += ", ";
      first = false;
      sql += expr;
      if (derived) {
        if (name.empty())
          throw SqlError("No column name was specified for column " + std::to_string(cols.size() + 1) + " of a derived table.");
        for (const auto& c : cols)
          if (SameName(c.name, name))
            throw SqlError("The column '" + name + "' was specified multiple times for a derived table.");
        sql += " AS " + Quote(name);
      }
      cols.push_back(ResultColumn{name, type});
    };
    for (const SelectItem& item : sel.items) {
      if (!item.expr) {
        if (scope_.empty()) throw SqlError("SELECT * without a FROM clause");
        for (const auto& src : scope_)
          for (const auto& c : src.columns) addItem(src.sqlRef + "." + Quote(c.name), c.name, c.type);
        continue;
      }
      Gen g = Value(*item.expr);
      std::string name(item.alias);
      if (name.empty() && item.expr->kind == ExprKind::Column) name = std::string(item.expr->name);
      addItem(g.sql, name, g.type);
    }
    std::string rowsSql;  // FROM and WHERE
    if (sel.from) rowsSql += " FROM " + fromSql;
    if (sel.where) rowsSql += " WHERE " + Condition(*sel.where);
    sql += rowsSql;
    std::vector<std::string> grouped;
    if (!sel.groupBy.empty()) {
      sql += " GROUP BY ";
      for (size_t i = 0; i < sel.groupBy.size(); ++i) {
        if (i) sql += ", ";
        Gen g = Value(*sel.groupBy[i]);
        grouped.push_back(Canon(g.sql));
        sql += g.type == SqlType::Text ? g.sql + " COLLATE TSQL" : g.sql;
      }
    }
    bool aggregate = !grouped.empty();
    for (const SelectItem& item : sel.items) aggregate = aggregate || (item.expr && HasAggregate(*item.expr));
    if (aggregate) {
      for (const SelectItem& item : sel.items) {
        if (!item.expr) throw SqlError("SELECT * cannot be used with GROUP BY or aggregates.");
        CheckGrouped(*item.expr, grouped);
      }
    }
    if (countSql && !aggregate && !sel.top && sel.from) *countSql = "SELECT count(*)" + rowsSql;
    if (!sel.orderBy.empty()) {
      sql += " ORDER BY ";
      for (size_t i = 0; i < sel.orderBy.size(); ++i) {
        if (i) sql += ", ";
        const Expr& e = *sel.orderBy[i].expr;
        std::string piece;
        if (e.kind == ExprKind::Column && e.qualifier.empty() && !ResolvesInScope(e.name)) {
          for (size_t k = 0; k < cols.size(); ++k)
            if (SameName(cols[k].name, e.name)) {
              piece = std::to_string(k + 1);
              if (cols[k].type == SqlType::Text) piece += " COLLATE TSQL";
            }
        }
        if (e.kind == ExprKind::Literal) throw SqlError("ORDER BY a position is not supported");
        if (piece.empty()) {
          Gen g = Value(e);
          piece = g.type == SqlType::Text ? g.sql + " COLLATE TSQL" : g.sql;
        }
        sql += piece;
        sql += sel.orderBy[i].desc ? " DESC" : " ASC";
      }
    }
    if (sel.top) {
      Gen g = Value(*sel.top);
      if (!IsNumeric(g.type)) throw SqlError("TOP needs a number");
      sql += " LIMIT " + Convert(std::move(g), SqlType::Int).sql;
    }
    if (sel.from) scope_.pop_back();
    return sql;
  }

  // Generated SQL with each parameter replaced by its literal, so that equal
  // expressions written twice compare equal.
  std::string Canon(const std::string& sql) const {
    std::string out;
    for (size_t i = 0; i < sql.size(); ++i) {
      if (sql[i] != '?' || i + 1 >= sql.size() || sql[i + 1] < '1' || sql[i + 1] > '9') {
        out += sql[i];
        continue;
      }
      size_t j = i + 1;
      int n = 0;
      while (j < sql.size() && sql[j] >= '0' && sql[j] <= '9') n = n * 10 + (sql[j++] - '0');
      const Literal& lit = lx_.literals[static_cast<size_t>(n - 1)];
      out += "<" + std::to_string(static_cast<int>(lit.kind)) + ":" + std::string(lit.value) + ">";
      i = j - 1;
    }
    return out;
  }

  static bool IsAggregate(const Expr& e) {
    if (e.kind != ExprKind::Func) return false;
    std::string n = Upper(e.name);
    return n == "SUM" || n == "COUNT" || n == "MAX" || n == "MIN" || n == "AVG";
  }
  static bool HasAggregate(const Expr& e) {
    if (IsAggregate(e)) return true;
    for (const auto& a : e.args)
      if (HasAggregate(*a)) return true;
    return false;
  }
  // In a grouped select every column must sit inside an aggregate or be
  // (part of an expression equal to) a GROUP BY expression, as SQL Server requires.
  void CheckGrouped(const Expr& e, const std::vector<std::string>& grouped) {
    if (IsAggregate(e) || e.kind == ExprKind::Literal || e.kind == ExprKind::Null) return;
    std::string sql = Canon(Value(e).sql);
    for (const std::string& g : grouped)
      if (g == sql) return;
    if (e.kind == ExprKind::Column)
      throw SqlError("Column '" + std::string(e.qualifier.empty() ? "" : std::string(e.qualifier) + ".") +
                     std::string(e.name) +
                     "' is invalid in the select list because it is not contained in either an aggregate "
                     "function or the GROUP BY clause.");
    for (const auto& a : e.args) CheckGrouped(*a, grouped);
  }

  // True when some source in scope has a column `name`.
  bool ResolvesInScope(std::string_view name) const {
    for (const auto& src : scope_)
      for (const auto& c : src.columns)
        if (SameName(c.name, name)) return true;
    return false;
  }

  // A value to assign to a column of type `to` (INSERT values, UPDATE SET).
  Gen Assign(const Expr& e, SqlType to) {
    Gen g = Value(e);
    if (g.type == SqlType::Bool) throw SqlError("a condition cannot be used as a value");
    return Convert(std::move(g), to);
  }

  // INSERT with SQL Server's rules: no identity column, one value per column,
  // each value converted to its column's type. Throws SqlError.
  void Insert(const Statement& st, Translation& tr) {
    const CatalogTable& t = Table(st.table);
    tr.table = t.name;
    tr.identityTarget = t.hasIdentity;
    std::vector<const CatalogColumn*> targets;
    if (st.columns.empty()) {
      for (const auto& c : t.columns)
        if (!c.identity) targets.push_back(&c);
    } else {
      for (std::string_view name : st.columns) {
        const CatalogColumn* c = FindColumn(t, name);
        if (!c) throw SqlError("Invalid column name '" + std::string(name) + "'.");
        if (c->identity)
          throw SqlError("Cannot insert explicit value for identity column in table '" + t.name +
                         "' when IDENTITY_INSERT is set to OFF.");
        for (const auto* d : targets)
          if (d == c) throw SqlError("The column name '" + c->name + "' is specified more than once in the INSERT.");
        targets.push_back(c);
      }
    }
    if (targets.size() != st.values.size())
      throw SqlError(targets.size() > st.values.size()
                         ? "There are more columns in the INSERT statement than values specified in the VALUES clause."
                         : "There are fewer columns in the INSERT statement than values specified in the VALUES clause.");
    std::string cols, vals;
    for (size_t i = 0; i < targets.size(); ++i) {
      if (i) { cols += ','; vals += ','; }
      cols += Quote(targets[i]->name);
      vals += Assign(*st.values[i], targets[i]->type).sql;
    }
    tr.sql = "INSERT INTO " + Quote(t.name) + "(" + cols + ") VALUES (" + vals + ")";
  }

  // UPDATE [FROM source]: values converted to the column types. Throws SqlError.
  void Update(const Statement& st, Translation& tr) {
    const CatalogTable& t = Table(st.table);
    tr.table = t.name;
    scope_.push_back(ScopeSource{Quote(t.name), st.table, Columns(t)});
    std::string fromSql;
    if (st.from) scope_.push_back(SourceScope(*st.from, fromSql));
    std::string sql = "UPDATE " + Quote(t.name) + " SET ";
    for (size_t i = 0; i < st.columns.size(); ++i) {
      const CatalogColumn* c = FindColumn(t, st.columns[i]);
      if (!c) throw SqlError("Invalid column name '" + std::string(st.columns[i]) + "'.");
      if (c->identity) throw SqlError("Cannot update identity column '" + c->name + "'.");
      if (i) sql += ", ";
      sql += Quote(c->name) + " = " + Assign(*st.values[i], c->type).sql;
    }
    if (st.from) sql += " FROM " + fromSql;
    if (st.where) sql += " WHERE " + Condition(*st.where);
    tr.sql = std::move(sql);
  }

  // CREATE TABLE: INT IDENTITY(1,1) becomes a key that is never reused, texts
  // carry the TSQL collation. Throws SqlError for other types or constraints.
  void Create(const Statement& st, Translation& tr) {
    if (cat_.Find(st.table))
      throw SqlError("There is already an object named '" + std::string(st.table) + "' in the database.");
    CatalogTable t;
    t.name = std::string(st.table);
    std::string sql = "CREATE TABLE " + Quote(t.name) + "(";
    for (size_t i = 0; i < st.defs.size(); ++i) {
      const ColumnDef& d = st.defs[i];
      CatalogColumn c{std::string(d.name), TypeOfName(d.typeName), d.identity};
      for (const auto& other : t.columns)
        if (SameName(other.name, c.name))
          throw SqlError("Column names in each table must be unique. Column name '" + c.name + "' is specified more than once.");
      if (i) sql += ", ";
      sql += Quote(c.name);
      if (d.identity) {
        if (c.type != SqlType::Int || d.seed != "1" || d.increment != "1")
          throw SqlError("only INT IDENTITY(1,1) is supported as identity");
        if (t.hasIdentity) throw SqlError("Multiple identity columns specified for table '" + t.name + "'.");
        t.hasIdentity = true;
        sql += " INTEGER PRIMARY KEY AUTOINCREMENT";
      } else {
        sql += c.type == SqlType::Int ? " INTEGER" : c.type == SqlType::Float ? " REAL" : " TEXT COLLATE TSQL";
      }
      t.columns.push_back(std::move(c));
    }
    sql += ")";
    tr.sql = std::move(sql);
    tr.table = t.name;
    tr.indexSql = Indexes(t);
    tr.created = std::move(t);
  }

  // Indexes for the look-ups the program runs per line or per parent row;
  // they change no result.
  static std::vector<std::string> Indexes(const CatalogTable& t) {
    std::vector<std::string> out;
    auto index = [&](const std::string& suffix, const std::string& expr) {
      out.push_back("CREATE INDEX " + Quote(t.name + "#" + suffix) + " ON " + Quote(t.name) + "(" + expr + ")");
    };
    auto has = [&](std::string_view name, SqlType type, bool identity = false) {
      for (const auto& c : t.columns)
        if (SameName(c.name, name) && c.type == type && c.identity == identity) return true;
      return false;
    };
    if (has("ID", SqlType::Int)) index("ID", "\"ID\"");  // link of a child row to its parent
    if (t.hasIdentity && has("Id_CNPJ", SqlType::Text)) index("Id_CNPJ", "tsql_num(\"Id_CNPJ\")");
    if (has("ID_Pai", SqlType::Int)) index("ID_Pai", "\"ID_Pai\"");  // the same, for the records added since
    if (has("IDECF", SqlType::Int)) index("IDECF", "\"IDECF\"");
    if (has("IDCaixa", SqlType::Int)) index("IDCaixa", "\"IDCaixa\"");
    if (has("CST", SqlType::Text)) index("CST", "\"CST\"");
    if (SameName(t.name, kControlTable) && has("Reg", SqlType::Text)) index("Reg", "\"Reg\"");
    if (SameName(t.name, "###0140") && has("CNPJ", SqlType::Text)) index("CNPJ", "\"CNPJ\"");
    if (SameName(t.name, "###0190") && has("Unid", SqlType::Text) && has("Id_CNPJ", SqlType::Text))
      index("Unid", "\"Unid\", \"Id_CNPJ\"");
    if (SameName(t.name, "###0500") && has("Cod_Cta", SqlType::Text)) index("Cod_Cta", "\"Cod_Cta\"");
    return out;
  }

  // An expression that must be a condition (WHERE, WHEN, AND/OR/NOT operands).
  std::string Condition(const Expr& e) {
    Gen g = Value(e);
    if (g.type != SqlType::Bool) throw SqlError("An expression of non-boolean type specified in a context where a condition is expected.");
    return g.sql;
  }

  // A column reference, found in the sources in scope; throws SqlError when
  // unknown or ambiguous.
  Gen Column(const Expr& e) {
    const ScopeSource* found = nullptr;
    const ResultColumn* col = nullptr;
    for (const auto& src : scope_) {
      if (!e.qualifier.empty() && !SameName(src.matchName, e.qualifier)) continue;
      for (const auto& c : src.columns) {
        if (!SameName(c.name, e.name)) continue;
        if (found) throw SqlError("Ambiguous column name '" + std::string(e.name) + "'.");
        found = &src;
        col = &c;
      }
    }
    if (!found) {
      if (!e.qualifier.empty())
        throw SqlError("The multi-part identifier \"" + std::string(e.qualifier) + "." + std::string(e.name) +
                       "\" could not be bound.");
      throw SqlError("Invalid column name '" + std::string(e.name) + "'.");
    }
    return Gen{found->sqlRef + "." + Quote(col->name), col->type};
  }

  // The SQLite parameter of literal `index`.
  static std::string Param(int index) { return "?" + std::to_string(index + 1); }

  // Any expression with its T-SQL type. Throws SqlError.
  Gen Value(const Expr& e) {
    switch (e.kind) {
      case ExprKind::Literal: {
        SqlType t = e.litKind == TokKind::String ? SqlType::Text
                    : e.litKind == TokKind::Integer ? SqlType::Int
                    : e.litKind == TokKind::Decimal ? SqlType::Decimal : SqlType::Float;
        return Gen{Param(e.param), t};
      }
      case ExprKind::Null: return Gen{"NULL", SqlType::Null};
      case ExprKind::Column: return Column(e);
      case ExprKind::Unary: {
        Gen a = Value(*e.args[0]);
        if (!IsNumeric(a.type) && a.type != SqlType::Null)
          throw SqlError(std::string("Operand data type ") + TypeWord(a.type) + " is invalid for the unary operator.");
        return Gen{"(" + std::string(e.op) + a.sql + ")", a.type};
      }
      case ExprKind::Binary: return Binary(e);
      case ExprKind::Compare: return Compare(e);
      case ExprKind::Like: {
        Gen a = Convert(Value(*e.args[0]), SqlType::Text), b = Convert(Value(*e.args[1]), SqlType::Text);
        std::string s = "tsql_like(" + a.sql + ", " + b.sql + ")";
        return Gen{e.negated ? "(NOT " + s + ")" : s, SqlType::Bool};
      }
      case ExprKind::IsNull: {
        Gen a = Value(*e.args[0]);
        return Gen{"(" + a.sql + (e.negated ? " IS NOT NULL)" : " IS NULL)"), SqlType::Bool};
      }
      case ExprKind::And: case ExprKind::Or: {
        std::string a = Condition(*e.args[0]), b = Condition(*e.args[1]);
        return Gen{"(" + a + (e.kind == ExprKind::And ? " AND " : " OR ") + b + ")", SqlType::Bool};
      }
      case ExprKind::Not: return Gen{"(NOT " + Condition(*e.args[0]) + ")", SqlType::Bool};
      case ExprKind::Func: return Function(e);
      case ExprKind::Cast: {
        Gen a = Value(*e.args[0]);
        if (a.type == SqlType::Bool) throw SqlError("a condition cannot be used as a value");
        return Convert(std::move(a), TypeOfName(e.typeName));
      }
      case ExprKind::Case: return Case(e);
    }
    throw SqlError("unknown expression");
  }

  // + between texts concatenates; otherwise arithmetic in the operands' higher
  // type, a text operand converted (an error at run time when it is no number).
  Gen Binary(const Expr& e) {
    Gen a = Value(*e.args[0]), b = Value(*e.args[1]);
    if (a.type == SqlType::Bool || b.type == SqlType::Bool) throw SqlError("a condition cannot be used as a value");
    bool textA = a.type == SqlType::Text || a.type == SqlType::Null;
    bool textB = b.type == SqlType::Text || b.type == SqlType::Null;
    if (e.op == "+" && textA && textB) {
      // A chain of concatenations (a line expression of forty fields) becomes one
      // call that builds the text once, instead of forty growing copies.
      SqlType t = (a.type == SqlType::Null && b.type == SqlType::Null) ? SqlType::Null : SqlType::Text;
      if (a.concat) {
        a.sql.pop_back();
        return Gen{a.sql + ", " + b.sql + ")", t, true};
      }
      return Gen{"tsql_concat(" + a.sql + ", " + b.sql + ")", t, true};
    }
    if (a.type == SqlType::Text && b.type == SqlType::Text) {
      static const char* names[] = {"subtract", "multiply", "divide", "modulo"};
      int k = e.op == "-" ? 0 : e.op == "*" ? 1 : e.op == "/" ? 2 : 3;
      throw SqlError(std::string("The data types varchar and varchar are incompatible in the ") + names[k] + " operator.");
    }
    SqlType t = Rank(a.type) >= Rank(b.type) ? a.type : b.type;
    if (t == SqlType::Text) t = SqlType::Int;  // text with NULL
    Gen ca = Convert(std::move(a), t), cb = Convert(std::move(b), t);
    if (e.op == "/" || e.op == "%")  // a zero divisor is an error, not NULL
      return Gen{std::string(e.op == "/" ? "tsql_div(" : "tsql_mod(") + ca.sql + ", " + cb.sql + ")", t};
    return Gen{"(" + ca.sql + " " + std::string(e.op) + " " + cb.sql + ")", t};
  }

  // A comparison: texts under the TSQL collation, text with number numerically.
  Gen Compare(const Expr& e) {
    Gen a = Value(*e.args[0]), b = Value(*e.args[1]);
    if (a.type == SqlType::Bool || b.type == SqlType::Bool) throw SqlError("a condition cannot be compared");
    std::string op(e.op);
    if (a.type == SqlType::Text && b.type == SqlType::Text)
      return Gen{"(" + a.sql + " COLLATE TSQL " + op + " " + b.sql + ")", SqlType::Bool};
    // A text compared with a number is read as a number; a text that is no
    // number matches nothing (tsql_num gives NULL).
    if (a.type == SqlType::Text && IsNumeric(b.type)) a.sql = "tsql_num(" + a.sql + ")";
    if (b.type == SqlType::Text && IsNumeric(a.type)) b.sql = "tsql_num(" + b.sql + ")";
    return Gen{"(" + a.sql + " " + op + " " + b.sql + ")", SqlType::Bool};
  }

  // CASE WHEN: the result type is the highest of the branches'.
  Gen Case(const Expr& e) {
    SqlType t = SqlType::Null;
    std::vector<Gen> results;
    std::vector<std::string> conds;
    size_t pairs = (e.args.size() - (e.hasElse ? 1 : 0)) / 2;
    for (size_t i = 0; i < pairs; ++i) {
      conds.push_back(Condition(*e.args[2 * i]));
      results.push_back(Value(*e.args[2 * i + 1]));
    }
    if (e.hasElse) results.push_back(Value(*e.args.back()));
    for (const Gen& g : results) {
      if (g.type == SqlType::Bool) throw SqlError("a condition cannot be used as a value");
      if (Rank(g.type) > Rank(t)) t = g.type;
    }
    std::string sql = "(CASE";
    for (size_t i = 0; i < pairs; ++i) sql += " WHEN " + conds[i] + " THEN " + Convert(std::move(results[i]), t).sql;
    if (e.hasElse) sql += " ELSE " + Convert(std::move(results.back()), t).sql;
    sql += " END)";
    return Gen{sql, t};
  }

  // The functions the program uses: COUNT, SUM (decimal texts summed exactly),
  // MAX, MIN, AVG, ROUND, REPLACE. Throws SqlError for any other.
  Gen Function(const Expr& e) {
    std::string name = Upper(e.name);
    auto arity = [&](size_t n) {
      if (e.args.size() != n || e.star)
        throw SqlError("The " + name + " function requires " + std::to_string(n) + " argument(s).");
    };
    if (name == "COUNT") {
      if (e.star) return Gen{"count(*)", SqlType::Int};
      arity(1);
      return Gen{"count(" + Value(*e.args[0]).sql + ")", SqlType::Int};
    }
    if (name == "SUM") {
      arity(1);
      const Expr& arg = *e.args[0];
      if (arg.kind == ExprKind::Cast && TypeOfName(arg.typeName) == SqlType::Float) {
        Gen inner = Value(*arg.args[0]);
        // A sum of decimal texts: added exactly, returned as the nearest double.
        if (inner.type == SqlType::Text) return Gen{"tsql_dsum(" + inner.sql + ")", SqlType::Float};
      }
      Gen a = Value(arg);
      if (!IsNumeric(a.type))
        throw SqlError(std::string("Operand data type ") + TypeWord(a.type) + " is invalid for sum operator.");
      return Gen{"sum(" + a.sql + ")", a.type};
    }
    if (name == "MAX" || name == "MIN") {
      arity(1);
      Gen a = Value(*e.args[0]);
      if (a.type == SqlType::Bool) throw SqlError("a condition cannot be used as a value");
      std::string fn = name == "MAX" ? "max(" : "min(";
      return Gen{fn + a.sql + (a.type == SqlType::Text ? " COLLATE TSQL)" : ")"), a.type};
    }
    if (name == "AVG") {
      arity(1);
      Gen a = Value(*e.args[0]);
      if (!IsNumeric(a.type))
        throw SqlError(std::string("Operand data type ") + TypeWord(a.type) + " is invalid for avg operator.");
      if (a.type == SqlType::Int) return Gen{"CAST(avg(" + a.sql + ") AS INTEGER)", SqlType::Int};
      return Gen{"avg(" + a.sql + ")", a.type};
    }
    if (name == "ROUND") {
      arity(2);
      Gen a = Value(*e.args[0]);
      if (a.type == SqlType::Text) a = Convert(std::move(a), SqlType::Float);
      if (!IsNumeric(a.type) && a.type != SqlType::Null) throw SqlError("ROUND needs a number");
      Gen n = Convert(Value(*e.args[1]), SqlType::Int);
      return Gen{"tsql_round(" + a.sql + ", " + n.sql + ")", a.type == SqlType::Null ? SqlType::Float : a.type};
    }
    if (name == "REPLACE") {
      arity(3);
      std::string sql = "tsql_replace(";
      for (int i = 0; i < 3; ++i) {
        if (i) sql += ", ";
        sql += Convert(Value(*e.args[i]), SqlType::Text).sql;
      }
      return Gen{sql + ")", SqlType::Text};
    }
    throw SqlError("function " + std::string(e.name) + " is not supported");
  }

  const Lexed& lx_;
  const Catalog& cat_;
  std::vector<ScopeSource> scope_;
  bool readsControl_ = false;
};

}  // namespace

Translation Translate(const Statement& st, const Lexed& lexed, const Catalog& catalog) {
  return Translator(lexed, catalog).Run(st);
}

}  // namespace tsql
