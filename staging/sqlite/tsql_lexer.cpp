#include "staging/sqlite/tsql_lexer.h"

namespace tsql {
namespace {

inline bool IsIdentStart(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == '#' || c == '@' || c >= 0x80;
}
inline bool IsIdentChar(unsigned char c) { return IsIdentStart(c) || (c >= '0' && c <= '9') || c == '$'; }
inline bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

const char* LiteralMarker(TokKind k) {
  switch (k) {
    case TokKind::String: return "?s";
    case TokKind::Integer: return "?i";
    case TokKind::Decimal: return "?d";
    default: return "?f";
  }
}

}  // namespace

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x -= 32;
    if (y >= 'a' && y <= 'z') y -= 32;
    if (x != y) return false;
  }
  return true;
}

bool Lex(std::string_view sql, Lexed& out, std::string& error) {
  out.tokens.clear();
  out.literals.clear();
  const size_t n = sql.size();
  size_t i = 0;
  auto addLiteral = [&](TokKind kind, std::string_view value, std::string owned) {
    out.literals.push_back(Literal{kind, value, std::move(owned)});
    out.tokens.push_back(Token{kind, std::string_view(), static_cast<int>(out.literals.size() - 1)});
  };
  auto addToken = [&](TokKind kind, std::string_view text, std::string_view) {
    out.tokens.push_back(Token{kind, text, -1});
  };
  while (i < n) {
    unsigned char c = sql[i];
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') { ++i; continue; }
    if (c == '-' && i + 1 < n && sql[i + 1] == '-') {  // comment to end of line
      while (i < n && sql[i] != '\n') ++i;
      continue;
    }
    if (c == '/' && i + 1 < n && sql[i + 1] == '*') {
      size_t end = sql.find("*/", i + 2);
      if (end == std::string_view::npos) { error = "unterminated comment"; return false; }
      i = end + 2;
      continue;
    }
    if (c == '\'' || ((c == 'N' || c == 'n') && i + 1 < n && sql[i + 1] == '\'')) {
      if (c != '\'') ++i;
      size_t start = ++i;
      bool doubled = false;
      for (;;) {
        if (i >= n) { error = "unterminated text literal"; return false; }
        if (sql[i] == '\'') {
          if (i + 1 < n && sql[i + 1] == '\'') { doubled = true; i += 2; continue; }
          break;
        }
        ++i;
      }
      std::string_view body = sql.substr(start, i - start);
      ++i;
      if (!doubled) {
        addLiteral(TokKind::String, body, std::string());
      } else {
        std::string v;
        v.reserve(body.size());
        for (size_t k = 0; k < body.size(); ++k) {
          v += body[k];
          if (body[k] == '\'') ++k;
        }
        // An empty owned text would be taken for "no backing store".
        if (v.empty()) addLiteral(TokKind::String, std::string_view(), std::string());
        else addLiteral(TokKind::String, std::string_view(), std::move(v));
      }
      continue;
    }
    if (IsDigit(c) || (c == '.' && i + 1 < n && IsDigit(sql[i + 1]))) {
      size_t start = i;
      TokKind kind = TokKind::Integer;
      while (i < n && IsDigit(sql[i])) ++i;
      if (i < n && sql[i] == '.') {
        kind = TokKind::Decimal;
        ++i;
        while (i < n && IsDigit(sql[i])) ++i;
      }
      if (i < n && (sql[i] == 'e' || sql[i] == 'E')) {
        size_t j = i + 1;
        if (j < n && (sql[j] == '+' || sql[j] == '-')) ++j;
        if (j < n && IsDigit(sql[j])) {
          kind = TokKind::Float;
          i = j;
          while (i < n && IsDigit(sql[i])) ++i;
        }
      }
      addLiteral(kind, sql.substr(start, i - start), std::string());
      continue;
    }
    if (IsIdentStart(c)) {
      size_t start = i;
      while (i < n && IsIdentChar(sql[i])) ++i;
      std::string_view t = sql.substr(start, i - start);
      addToken(TokKind::Ident, t, t);
      continue;
    }
    if (c == '[' || c == '"') {
      char close = c == '[' ? ']' : '"';
      size_t start = i;
      size_t end = sql.find(close, i + 1);
      if (end == std::string_view::npos) { error = "unterminated quoted name"; return false; }
      i = end + 1;
      addToken(TokKind::Ident, sql.substr(start + 1, end - start - 1), sql.substr(start, i - start));
      continue;
    }
    size_t len = 0;
    switch (c) {
      case '<': len = (i + 1 < n && (sql[i + 1] == '=' || sql[i + 1] == '>')) ? 2 : 1; break;
      case '>': len = (i + 1 < n && sql[i + 1] == '=') ? 2 : 1; break;
      case '!': len = (i + 1 < n && (sql[i + 1] == '=' || sql[i + 1] == '<' || sql[i + 1] == '>')) ? 2 : 0; break;
      case '=': case '+': case '-': case '*': case '/': case '%': case '(': case ')': case ',': case '.': case ';':
        len = 1;
        break;
      default: break;
    }
    if (len) {
      addToken(TokKind::Op, sql.substr(i, len), sql.substr(i, len));
      i += len;
      continue;
    }
    error = "unexpected character '" + std::string(1, static_cast<char>(c)) + "'";
    return false;
  }
  out.tokens.push_back(Token{TokKind::End, std::string_view(), -1});
  // Owned texts may have moved while the vector grew: point at them only now.
  for (Literal& lit : out.literals)
    if (!lit.owned.empty()) lit.value = lit.owned;
  return true;
}

bool ScanLiterals(std::string_view sql, std::vector<Literal>& literals, std::string& shape, std::string& error) {
  literals.clear();
  shape.clear();
  const size_t n = sql.size();
  size_t i = 0, copied = 0;  // sql[copied, i) still to be copied into the shape
  bool afterIdent = false;    // the previous character belongs to an identifier
  auto flush = [&](size_t upto) {
    shape.append(sql.data() + copied, upto - copied);
  };
  while (i < n) {
    unsigned char c = sql[i];
    if (c == '\'' || ((c == 'N' || c == 'n') && !afterIdent && i + 1 < n && sql[i + 1] == '\'')) {
      flush(i);
      if (c != '\'') ++i;
      size_t start = ++i;
      bool doubled = false;
      for (;;) {
        if (i >= n) { error = "unterminated text literal"; return false; }
        if (sql[i] == '\'') {
          if (i + 1 < n && sql[i + 1] == '\'') { doubled = true; i += 2; continue; }
          break;
        }
        ++i;
      }
      std::string_view body = sql.substr(start, i - start);
      ++i;
      Literal lit{TokKind::String, body, std::string()};
      if (doubled) {
        lit.value = std::string_view();
        for (size_t k = 0; k < body.size(); ++k) {
          lit.owned += body[k];
          if (body[k] == '\'') ++k;
        }
      }
      literals.push_back(std::move(lit));
      shape += "?s";
      copied = i;
      afterIdent = false;
      continue;
    }
    if ((IsDigit(c) && !afterIdent) || (c == '.' && i + 1 < n && IsDigit(sql[i + 1]))) {
      flush(i);
      size_t start = i;
      TokKind kind = TokKind::Integer;
      while (i < n && IsDigit(sql[i])) ++i;
      if (i < n && sql[i] == '.') {
        kind = TokKind::Decimal;
        ++i;
        while (i < n && IsDigit(sql[i])) ++i;
      }
      if (i < n && (sql[i] == 'e' || sql[i] == 'E')) {
        size_t j = i + 1;
        if (j < n && (sql[j] == '+' || sql[j] == '-')) ++j;
        if (j < n && IsDigit(sql[j])) {
          kind = TokKind::Float;
          i = j;
          while (i < n && IsDigit(sql[i])) ++i;
        }
      }
      literals.push_back(Literal{kind, sql.substr(start, i - start), std::string()});
      shape += LiteralMarker(kind);
      copied = i;
      afterIdent = false;
      continue;
    }
    if (c == '[' || c == '"') {
      size_t end = sql.find(c == '[' ? ']' : '"', i + 1);
      if (end == std::string_view::npos) { error = "unterminated quoted name"; return false; }
      i = end + 1;
      afterIdent = false;
      continue;
    }
    if ((c == '-' && i + 1 < n && sql[i + 1] == '-') || (c == '/' && i + 1 < n && sql[i + 1] == '*')) {
      size_t end = c == '-' ? sql.find('\n', i) : sql.find("*/", i + 2);
      if (end == std::string_view::npos) {
        if (c == '/') { error = "unterminated comment"; return false; }
        end = n;
      } else if (c == '/') {
        end += 2;
      }
      i = end;
      afterIdent = false;
      continue;
    }
    if (IsIdentStart(c) || (afterIdent && (IsDigit(c) || c == '$'))) {
      // The rest of an identifier (names make most of a statement's text).
      ++i;
      while (i < n && IsIdentChar(static_cast<unsigned char>(sql[i]))) ++i;
      afterIdent = true;
      continue;
    }
    afterIdent = false;
    ++i;
  }
  flush(n);
  for (Literal& lit : literals)
    if (!lit.owned.empty()) lit.value = lit.owned;
  return true;
}

}  // namespace tsql
