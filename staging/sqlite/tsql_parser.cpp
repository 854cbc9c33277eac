#include "staging/sqlite/tsql_parser.h"

namespace tsql {
namespace {

constexpr std::string_view kReserved[] = {
    "FROM", "WHERE", "GROUP", "ORDER", "AS", "AND", "OR", "NOT", "LIKE", "IS", "ASC", "DESC",
    "ON", "JOIN", "SET", "VALUES", "END", "WHEN", "THEN", "ELSE", "UNION", "BY", "INTO", "TOP",
    "SELECT", "CASE", "NULL", "INNER", "LEFT", "RIGHT", "HAVING", "IN", "BETWEEN", "EXISTS"};

bool IsReserved(std::string_view word) {
  for (std::string_view r : kReserved)
    if (SameName(word, r)) return true;
  return false;
}

class Parser {
 public:
  explicit Parser(const Lexed& lx) : lx_(lx) {}

  Statement ParseStatement() {
    Statement st;
    if (Accept("SELECT")) {
      st.kind = StmtKind::Select;
      st.select = ParseSelectBody();
    } else if (Accept("INSERT")) {
      ParseInsert(st);
    } else if (Accept("UPDATE")) {
      ParseUpdate(st);
    } else if (Accept("DELETE")) {
      st.kind = StmtKind::Delete;
      Accept("FROM");
      st.table = ExpectName("a table name");
      if (Accept("WHERE")) st.where = ParseExpr();
    } else if (Accept("CREATE")) {
      ParseCreate(st);
    } else if (Accept("BEGIN")) {
      st.kind = StmtKind::Begin;
      if (!Accept("TRANSACTION")) Expect("TRAN");
    } else if (Accept("COMMIT")) {
      st.kind = StmtKind::Commit;
      if (!Accept("TRANSACTION")) Accept("TRAN");
    } else if (Accept("ROLLBACK")) {
      st.kind = StmtKind::Rollback;
      if (!Accept("TRANSACTION")) Accept("TRAN");
    } else {
      Fail("a statement");
    }
    AcceptOp(";");
    if (Peek().kind != TokKind::End) Fail("the end of the statement");
    return st;
  }

 private:
  const Token& Peek(size_t ahead = 0) const {
    size_t i = pos_ + ahead;
    return i < lx_.tokens.size() ? lx_.tokens[i] : lx_.tokens.back();
  }
  bool IsWord(const Token& t, std::string_view w) const { return t.kind == TokKind::Ident && SameName(t.text, w); }
  bool IsOp(const Token& t, std::string_view op) const { return t.kind == TokKind::Op && t.text == op; }
  bool Accept(std::string_view word) {
    if (!IsWord(Peek(), word)) return false;
    ++pos_;
    return true;
  }
  bool AcceptOp(std::string_view op) {
    if (!IsOp(Peek(), op)) return false;
    ++pos_;
    return true;
  }
  void Expect(std::string_view word) {
    if (!Accept(word)) Fail(std::string(word));
  }
  void ExpectOp(std::string_view op) {
    if (!AcceptOp(op)) Fail("\"" + std::string(op) + "\"");
  }
  [[noreturn]] void Fail(const std::string& wanted) const {
    const Token& t = Peek();
    std::string found;
    switch (t.kind) {
      case TokKind::End: found = "the end of the text"; break;
      case TokKind::Ident: case TokKind::Op: found = "\"" + std::string(t.text) + "\""; break;
      default: found = "a literal"; break;
    }
    throw SqlError("expected " + wanted + " but found " + found + " (token " + std::to_string(pos_ + 1) + ")");
  }
  std::string_view ExpectName(const char* what) {
    const Token& t = Peek();
    if (t.kind != TokKind::Ident || IsReserved(t.text)) Fail(what);
    ++pos_;
    return t.text;
  }

  std::unique_ptr<SelectStmt> ParseSelectBody() {
    auto sel = std::make_unique<SelectStmt>();
    if (Accept("DISTINCT") || IsWord(Peek(), "ALL")) throw SqlError("SELECT DISTINCT / ALL is not supported");
    if (Accept("TOP")) {
      if (AcceptOp("(")) {
        sel->top = ParseExpr();
        ExpectOp(")");
      } else {
        sel->top = ParsePrimary();
      }
      if (IsWord(Peek(), "PERCENT") || IsWord(Peek(), "WITH")) throw SqlError("TOP PERCENT / WITH TIES is not supported");
    }
    do {
      SelectItem item;
      if (AcceptOp("*")) {
        sel->items.push_back(std::move(item));
        continue;
      }
      item.expr = ParseExpr();
      if (Accept("AS")) {
        item.alias = ParseAlias();
      } else if (Peek().kind == TokKind::Ident && !IsReserved(Peek().text)) {
        item.alias = Peek().text;
        ++pos_;
      } else if (Peek().kind == TokKind::String) {
        throw SqlError("a text literal as column alias is not supported");
      }
      sel->items.push_back(std::move(item));
    } while (AcceptOp(","));
    if (Accept("FROM")) {
      sel->from = ParseSource();
      if (IsOp(Peek(), ",") || IsWord(Peek(), "JOIN") || IsWord(Peek(), "INNER") || IsWord(Peek(), "LEFT"))
        throw SqlError("joins are not supported");
    }
    if (Accept("WHERE")) sel->where = ParseExpr();
    if (Accept("GROUP")) {
      Expect("BY");
      do sel->groupBy.push_back(ParseExpr());
      while (AcceptOp(","));
    }
    if (IsWord(Peek(), "HAVING")) throw SqlError("HAVING is not supported");
    if (Accept("ORDER")) {
      Expect("BY");
      do {
        OrderItem o;
        o.expr = ParseExpr();
        if (Accept("DESC")) o.desc = true;
        else Accept("ASC");
        sel->orderBy.push_back(std::move(o));
      } while (AcceptOp(","));
    }
    return sel;
  }

  std::string_view ParseAlias() {
    const Token& t = Peek();
    if (t.kind != TokKind::Ident) {
      if (t.kind == TokKind::String) throw SqlError("a text literal as column alias is not supported");
      Fail("an alias");
    }
    ++pos_;
    return t.text;
  }

  std::unique_ptr<Source> ParseSource() {
    auto src = std::make_unique<Source>();
    if (AcceptOp("(")) {
      Expect("SELECT");
      src->derived = ParseSelectBody();
      ExpectOp(")");
      Accept("AS");
      src->alias = ExpectName("an alias for the derived table");
      return src;
    }
    src->table = ExpectName("a table name");
    if (Accept("AS")) src->alias = ExpectName("an alias");
    else if (Peek().kind == TokKind::Ident && !IsReserved(Peek().text)) src->alias = ExpectName("an alias");
    return src;
  }

  void ParseInsert(Statement& st) {
    st.kind = StmtKind::Insert;
    Accept("INTO");
    st.table = ExpectName("a table name");
    if (AcceptOp("(")) {
      do st.columns.push_back(ExpectName("a column name"));
      while (AcceptOp(","));
      ExpectOp(")");
    }
    Expect("VALUES");
    ExpectOp("(");
    do st.values.push_back(ParseExpr());
    while (AcceptOp(","));
    ExpectOp(")");
    if (IsOp(Peek(), ",")) throw SqlError("several rows in one INSERT are not supported");
  }

  void ParseUpdate(Statement& st) {
    st.kind = StmtKind::Update;
    st.table = ExpectName("a table name");
    Expect("SET");
    do {
      std::string_view col = ExpectName("a column name");
      if (AcceptOp(".")) col = ExpectName("a column name");  // SET t.col = ...
      ExpectOp("=");
      st.columns.push_back(col);
      st.values.push_back(ParseExpr());
    } while (AcceptOp(","));
    if (Accept("FROM")) {
      st.from = ParseSource();
      if (IsOp(Peek(), ",") || IsWord(Peek(), "JOIN")) throw SqlError("joins are not supported");
    }
    if (Accept("WHERE")) st.where = ParseExpr();
  }

  std::string ParseTypeName() {
    std::string type(ExpectName("a type name"));
    for (char& c : type)
      if (c >= 'a' && c <= 'z') c -= 32;
    if (AcceptOp("(")) {
      type += '(';
      if (Accept("MAX")) {
        type += "MAX";
      } else if (Peek().kind == TokKind::Integer) {
        type += lx_.literals[Peek().literal].value;
        ++pos_;
        if (AcceptOp(",")) {
          if (Peek().kind != TokKind::Integer) Fail("a number");
          type += ',';
          type += lx_.literals[Peek().literal].value;
          ++pos_;
        }
      } else {
        Fail("a length");
      }
      ExpectOp(")");
      type += ')';
    }
    return type;
  }

  std::string IntegerText() {
    bool neg = AcceptOp("-");
    if (Peek().kind != TokKind::Integer) Fail("a whole number");
    std::string v = (neg ? "-" : "") + std::string(lx_.literals[Peek().literal].value);
    ++pos_;
    return v;
  }

  void ParseCreate(Statement& st) {
    st.kind = StmtKind::Create;
    Expect("TABLE");
    st.table = ExpectName("a table name");
    ExpectOp("(");
    do {
      ColumnDef def;
      def.name = ExpectName("a column name");
      def.typeName = ParseTypeName();
      for (;;) {
        if (Accept("IDENTITY")) {
          def.identity = true;
          def.seed = "1";
          def.increment = "1";
          if (AcceptOp("(")) {
            def.seed = IntegerText();
            ExpectOp(",");
            def.increment = IntegerText();
            ExpectOp(")");
          }
        } else if (Accept("NULL")) {
        } else if (IsWord(Peek(), "NOT") || IsWord(Peek(), "PRIMARY") || IsWord(Peek(), "DEFAULT") ||
                   IsWord(Peek(), "UNIQUE") || IsWord(Peek(), "COLLATE")) {
          throw SqlError("column constraints other than IDENTITY are not supported");
        } else {
          break;
        }
      }
      st.defs.push_back(std::move(def));
    } while (AcceptOp(","));
    ExpectOp(")");
  }

  // Expressions, loosest first: OR, AND, NOT, comparisons, + -, * / %, unary.
  ExprPtr ParseExpr() { return ParseOr(); }

  static ExprPtr Make(ExprKind kind) {
    auto e = std::make_unique<Expr>();
    e->kind = kind;
    return e;
  }
  static ExprPtr Make2(ExprKind kind, ExprPtr a, ExprPtr b, std::string_view op = {}) {
    ExprPtr e = Make(kind);
    e->op = op;
    e->args.push_back(std::move(a));
    e->args.push_back(std::move(b));
    return e;
  }

  ExprPtr ParseOr() {
    ExprPtr left = ParseAnd();
    while (Accept("OR")) left = Make2(ExprKind::Or, std::move(left), ParseAnd());
    return left;
  }
  ExprPtr ParseAnd() {
    ExprPtr left = ParseNot();
    while (Accept("AND")) left = Make2(ExprKind::And, std::move(left), ParseNot());
    return left;
  }
  ExprPtr ParseNot() {
    if (Accept("NOT")) {
      ExprPtr e = Make(ExprKind::Not);
      e->args.push_back(ParseNot());
      return e;
    }
    return ParseComparison();
  }
  ExprPtr ParseComparison() {
    ExprPtr left = ParseAdditive();
    const Token& t = Peek();
    if (t.kind == TokKind::Op) {
      static constexpr std::string_view kOps[] = {"=", "<>", "!=", "<", ">", "<=", ">="};
      for (std::string_view op : kOps) {
        if (t.text == op) {
          ++pos_;
          return Make2(ExprKind::Compare, std::move(left), ParseAdditive(), op == "!=" ? "<>" : op);
        }
      }
      if (t.text == "!<" || t.text == "!>") {
        ++pos_;
        return Make2(ExprKind::Compare, std::move(left), ParseAdditive(), t.text == "!<" ? ">=" : "<=");
      }
    }
    bool negated = false;
    if (IsWord(Peek(), "NOT") && IsWord(Peek(1), "LIKE")) {
      ++pos_;
      negated = true;
    }
    if (Accept("LIKE")) {
      ExprPtr e = Make2(ExprKind::Like, std::move(left), ParseAdditive());
      e->negated = negated;
      if (IsWord(Peek(), "ESCAPE")) throw SqlError("LIKE ... ESCAPE is not supported");
      return e;
    }
    if (Accept("IS")) {
      ExprPtr e = Make(ExprKind::IsNull);
      e->negated = Accept("NOT");
      Expect("NULL");
      e->args.push_back(std::move(left));
      return e;
    }
    if (IsWord(Peek(), "IN") || IsWord(Peek(), "BETWEEN") || (IsWord(Peek(), "NOT") && !negated))
      throw SqlError("IN / BETWEEN are not supported");
    return left;
  }
  ExprPtr ParseAdditive() {
    ExprPtr left = ParseMultiplicative();
    for (;;) {
      const Token& t = Peek();
      if (IsOp(t, "+") || IsOp(t, "-")) {
        ++pos_;
        left = Make2(ExprKind::Binary, std::move(left), ParseMultiplicative(), t.text);
      } else {
        return left;
      }
    }
  }
  ExprPtr ParseMultiplicative() {
    ExprPtr left = ParseUnary();
    for (;;) {
      const Token& t = Peek();
      if (IsOp(t, "*") || IsOp(t, "/") || IsOp(t, "%")) {
        ++pos_;
        left = Make2(ExprKind::Binary, std::move(left), ParseUnary(), t.text);
      } else {
        return left;
      }
    }
  }
  ExprPtr ParseUnary() {
    const Token& t = Peek();
    if (IsOp(t, "-") || IsOp(t, "+")) {
      ++pos_;
      ExprPtr e = Make(ExprKind::Unary);
      e->op = t.text;
      e->args.push_back(ParseUnary());
      return e;
    }
    return ParsePrimary();
  }
  ExprPtr ParsePrimary() {
    const Token& t = Peek();
    switch (t.kind) {
      case TokKind::String: case TokKind::Integer: case TokKind::Decimal: case TokKind::Float: {
        ++pos_;
        ExprPtr e = Make(ExprKind::Literal);
        e->param = t.literal;
        e->litKind = t.kind;
        return e;
      }
      case TokKind::Op:
        if (t.text == "(") {
          ++pos_;
          if (IsWord(Peek(), "SELECT")) throw SqlError("subqueries in expressions are not supported");
          ExprPtr e = ParseExpr();
          ExpectOp(")");
          return e;
        }
        Fail("an expression");
      case TokKind::End:
        Fail("an expression");
      case TokKind::Ident:
        break;
    }
    if (Accept("NULL")) return Make(ExprKind::Null);
    if (Accept("CASE")) return ParseCase();
    if (IsWord(t, "CAST") && IsOp(Peek(1), "(")) {
      pos_ += 2;
      ExprPtr e = Make(ExprKind::Cast);
      e->args.push_back(ParseExpr());
      Expect("AS");
      e->typeName = ParseTypeName();
      ExpectOp(")");
      return e;
    }
    if (IsReserved(t.text)) Fail("an expression");
    ++pos_;
    if (AcceptOp("(")) {
      ExprPtr e = Make(ExprKind::Func);
      e->name = t.text;
      if (AcceptOp("*")) {
        e->star = true;
      } else if (!IsOp(Peek(), ")")) {
        if (IsWord(Peek(), "DISTINCT")) throw SqlError("DISTINCT in aggregates is not supported");
        do e->args.push_back(ParseExpr());
        while (AcceptOp(","));
      }
      ExpectOp(")");
      if (IsWord(Peek(), "OVER")) throw SqlError("window functions are not supported");
      return e;
    }
    ExprPtr e = Make(ExprKind::Column);
    e->name = t.text;
    if (AcceptOp(".")) {
      e->qualifier = t.text;
      e->name = ExpectName("a column name");
    }
    return e;
  }
  ExprPtr ParseCase() {
    ExprPtr e = Make(ExprKind::Case);
    if (!IsWord(Peek(), "WHEN")) throw SqlError("CASE with an operand is not supported");
    while (Accept("WHEN")) {
      e->args.push_back(ParseExpr());
      Expect("THEN");
      e->args.push_back(ParseExpr());
    }
    if (e->args.empty()) Fail("WHEN");
    if (Accept("ELSE")) {
      e->args.push_back(ParseExpr());
      e->hasElse = true;
    }
    Expect("END");
    return e;
  }

  const Lexed& lx_;
  size_t pos_ = 0;
};

}  // namespace

Statement Parse(const Lexed& lexed) { return Parser(lexed).ParseStatement(); }

}  // namespace tsql
