#include "staging/sqlite/tsql_lexer.h"

#include <algorithm>
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

namespace {

// Reads the number that starts at sql[i] (a digit, or a point before a
// digit): 12 an integer, 1.5 a decimal, 1e5 a float. Returns its end.
inline size_t ReadNumber(std::string_view sql, size_t i, TokKind& kind) {
  const size_t n = sql.size();
  kind = TokKind::Integer;
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
  return i;
}

}  // namespace

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
      TokKind kind;
      i = ReadNumber(sql, i, kind);
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

namespace {

// Reads the text literal whose opening quote is sql[i]: its body (quotes not
// undoubled) and whether it holds doubled quotes. Returns the position after
// the closing quote, or npos when the literal is not terminated.
inline size_t ReadTextLiteral(std::string_view sql, size_t i, std::string_view& body, bool& doubled) {
  const size_t n = sql.size();
  const size_t start = ++i;
  doubled = false;
  for (;;) {
    // Most values are short: a plain look at the first bytes before memchr.
    const size_t near = std::min(n, i + 16);
    while (i < near && sql[i] != '\'') ++i;
    if (i == near) {
      const void* q = i < n ? std::memchr(sql.data() + i, '\'', n - i) : nullptr;
      if (!q) return std::string_view::npos;
      i = static_cast<size_t>(static_cast<const char*>(q) - sql.data());
    }
    if (i + 1 < n && sql[i + 1] == '\'') {
      doubled = true;
      i += 2;
      continue;
    }
    break;
  }
  body = sql.substr(start, i - start);
  return i + 1;
}


// The body of a text literal with its doubled quotes undoubled, kept in `owned`.
[[gnu::noinline]] std::string_view Undouble(OwnedTexts& owned, std::string_view body) {
  std::string text;
  for (size_t k = 0; k < body.size(); ++k) {
    text += body[k];
    if (body[k] == '\'') ++k;
  }
  owned.push_back(std::move(text));
  return owned.back();
}

// Adds a text literal; a body with doubled quotes is undoubled into `owned`.
inline void AddTextLiteral(std::vector<Literal>& literals, OwnedTexts& owned, std::string_view body, bool doubled) {
  literals.push_back(Literal{TokKind::String, doubled ? Undouble(owned, body) : body});
}

}  // namespace

bool ScanLiterals(std::string_view sql, std::vector<Literal>& literals, OwnedTexts& owned, std::string& shape,
                  std::string& error, std::vector<LiteralSpan>* spans) {
  literals.clear();
  owned.clear();
  shape.clear();
  if (spans) spans->clear();
  const size_t n = sql.size();
  size_t i = 0, copied = 0;  // sql[copied, i) still to be copied into the shape
  bool afterIdent = false;    // the previous character belongs to an identifier
  auto flush = [&](size_t upto) {
    shape.append(sql.data() + copied, upto - copied);
  };
  auto span = [&](size_t start, TokKind kind, bool national) {
    if (spans) spans->push_back(LiteralSpan{static_cast<uint32_t>(start), static_cast<uint32_t>(i), kind, national});
  };
  while (i < n) {
    unsigned char c = sql[i];
    if (c == '\'' || ((c == 'N' || c == 'n') && !afterIdent && i + 1 < n && sql[i + 1] == '\'')) {
      flush(i);
      const size_t start = i;
      if (c != '\'') ++i;
      std::string_view body;
      bool doubled = false;
      i = ReadTextLiteral(sql, i, body, doubled);
      if (i == std::string_view::npos) { error = "unterminated text literal"; return false; }
      AddTextLiteral(literals, owned, body, doubled);
      span(start, TokKind::String, c != '\'');
      shape += "?s";
      copied = i;
      afterIdent = false;
      continue;
    }
    if ((IsDigit(c) && !afterIdent) || (c == '.' && i + 1 < n && IsDigit(sql[i + 1]))) {
      flush(i);
      const size_t start = i;
      TokKind kind;
      i = ReadNumber(sql, i, kind);
      literals.push_back(Literal{kind, sql.substr(start, i - start)});
      span(start, kind, false);
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

namespace {

// True when sql[pos, pos + len) exists and equals `expected`; the text between
// two values (often "','") is compared in place when short.
inline bool SameBytes(std::string_view sql, size_t pos, const char* expected, size_t len) {
  if (sql.size() - pos < len) return false;
  const char* at = sql.data() + pos;
  if (len > 8) return std::memcmp(at, expected, len) == 0;
  for (size_t k = 0; k < len; ++k)
    if (at[k] != expected[k]) return false;
  return true;
}

}  // namespace

// Why a match gives what a full scan gives: the scan decides at each position
// from the text before it and the character at it and after it. Between the
// literals the text is the template's; a literal starts with the character
// class the template's starts with (a quote, N and a quote, a digit or a point
// and a digit), and it is read by the same rules as in the scan, so it ends
// where the scan would end it; the text after it must again be the template's.
bool MatchTemplate(const ScanTemplate& t, std::string_view sql, std::vector<Literal>& literals, OwnedTexts& owned) {
  owned.clear();
  literals.resize(t.spans.size());  // filled in place: no growth checks per literal
  Literal* out = literals.data();
  const size_t n = sql.size();
  const char* tx = t.text.data();
  size_t pos = 0, prev = 0;  // positions in sql and in t.text
  for (const LiteralSpan& sp : t.spans) {
    const size_t fixed = sp.start - prev;
    if (!SameBytes(sql, pos, tx + prev, fixed)) return false;
    pos += fixed;
    prev = sp.end;
    if (sp.kind == TokKind::String) {
      if (sp.national) {
        if (pos >= n || (sql[pos] != 'N' && sql[pos] != 'n')) return false;
        ++pos;
      }
      if (pos >= n || sql[pos] != '\'') return false;
      std::string_view body;
      bool doubled = false;
      pos = ReadTextLiteral(sql, pos, body, doubled);
      if (pos == std::string_view::npos) return false;
      *out++ = Literal{TokKind::String, doubled ? Undouble(owned, body) : body};
    } else {
      if (pos >= n) return false;
      const bool starts = IsDigit(sql[pos]) || (sql[pos] == '.' && pos + 1 < n && IsDigit(sql[pos + 1]));
      if (!starts || (sql[pos] == '.') != (tx[sp.start] == '.')) return false;
      const size_t start = pos;
      TokKind kind;
      pos = ReadNumber(sql, pos, kind);
      if (kind != sp.kind) return false;
      *out++ = Literal{kind, sql.substr(start, pos - start)};
    }
  }
  const size_t fixed = t.text.size() - prev;
  return n - pos == fixed && SameBytes(sql, pos, tx + prev, fixed);
}

}  // namespace tsql
