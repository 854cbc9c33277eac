#include "staging/sqlite/tsql_lexer.h"

#include <cstring>

namespace tsql {
namespace {

// Character classes: 1 starts an identifier, 2 continues one.
struct CharClasses {
  unsigned char cls[256] = {};
  CharClasses() {
    for (int c = 0; c < 256; ++c) {
      bool start = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == '#' || c == '@' || c >= 0x80;
      bool part = start || (c >= '0' && c <= '9') || c == '$';
      cls[c] = static_cast<unsigned char>((start ? 1 : 0) | (part ? 2 : 0));
    }
  }
};
const CharClasses kClasses;

inline bool IsIdentStart(unsigned char c) { return kClasses.cls[c] & 1; }
inline bool IsIdentChar(unsigned char c) { return kClasses.cls[c] & 2; }
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
  out.owned.clear();
  const size_t n = sql.size();
  size_t i = 0;
  auto addLiteral = [&](TokKind kind, std::string_view value, std::string owned) {
    if (!owned.empty()) {
      out.owned.push_back(std::move(owned));
      value = out.owned.back();
    }
    out.literals.push_back(Literal{kind, value});
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
        addLiteral(TokKind::String, std::string_view(), std::move(v));  // never empty: holds a quote
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
  return true;
}

bool ScanLiterals(std::string_view sql, std::vector<Literal>& literals, OwnedTexts& owned, std::string& shape,
                  std::string& error) {
  literals.clear();
  owned.clear();
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
        const void* q = i < n ? std::memchr(sql.data() + i, '\'', n - i) : nullptr;
        if (!q) { error = "unterminated text literal"; return false; }
        i = static_cast<size_t>(static_cast<const char*>(q) - sql.data());
        if (i + 1 < n && sql[i + 1] == '\'') { doubled = true; i += 2; continue; }
        break;
      }
      std::string_view body = sql.substr(start, i - start);
      ++i;
      if (doubled) {
        std::string text;
        for (size_t k = 0; k < body.size(); ++k) {
          text += body[k];
          if (body[k] == '\'') ++k;
        }
        owned.push_back(std::move(text));
        body = owned.back();
      }
      literals.push_back(Literal{TokKind::String, body});
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
      literals.push_back(Literal{kind, sql.substr(start, i - start)});
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
  return true;
}

}  // namespace tsql
