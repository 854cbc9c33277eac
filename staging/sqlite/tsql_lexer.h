// Tokenizer for the T-SQL texts the program sends to the staging database.
// Literals are lifted out of the text: the shape of a statement (its tokens
// with every literal replaced by a marker of its kind) identifies statements
// that translate alike, and the literals are bound as parameters.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace tsql {

enum class TokKind : uint8_t { Ident, Op, String, Integer, Decimal, Float, End };

struct Token {
  TokKind kind;
  std::string_view text;  // identifiers unquoted; operators as written
  int literal = -1;       // index into Lexed::literals for literal tokens
};

// A literal's kind follows its T-SQL type: 'text' and N'text' are texts, 12
// an integer, 1.5 a decimal, 1e5 a float.
struct Literal {
  TokKind kind;
  std::string_view value;  // text of the literal (quotes removed, '' undoubled)
};

// Texts of literals that had doubled quotes (elements never move).
using OwnedTexts = std::deque<std::string>;

struct Lexed {
  std::vector<Token> tokens;     // ends with one End token
  std::vector<Literal> literals;
  OwnedTexts owned;
};

// Splits `sql` into tokens, filling `out` (its buffers are reused). Returns
// false and sets `error` on an unterminated quote or an unknown character.
// Views in `out` point into `sql`, which must outlive them.
bool Lex(std::string_view sql, Lexed& out, std::string& error);

// Where a literal stands in its statement: [start, end) covers the whole
// literal, the N of N'text' and the quotes included.
struct LiteralSpan {
  uint32_t start = 0, end = 0;
  TokKind kind = TokKind::String;
  bool national = false;  // N'text'
};

// The literals of `sql`, in the order Lex finds them, and its shape: the text
// with every literal replaced by ?s ?i ?d or ?f (everything else verbatim).
// Cheaper than Lex: the look-up key of a statement already translated.
// Values point into `sql` or into `owned`; `spans`, when given, receives where
// each literal stands. Returns false and sets `error` on an unterminated quote
// or comment.
bool ScanLiterals(std::string_view sql, std::vector<Literal>& literals, OwnedTexts& owned, std::string& shape,
                  std::string& error, std::vector<LiteralSpan>* spans = nullptr);

// A statement already scanned, as a pattern for the statements the program
// sends over and over with other literals in the same places.
struct ScanTemplate {
  std::string text;                // the statement scanned
  std::vector<LiteralSpan> spans;  // its literals
};

// True when `sql` is `t.text` with other literals of the same kinds in the
// same places (everything between them byte for byte the same): `sql` then
// has the shape of t.text, and `literals` and `owned` are filled exactly as
// ScanLiterals fills them. False (and `literals` meaningless) otherwise,
// including when `sql` is malformed; a full scan then decides.
bool MatchTemplate(const ScanTemplate& t, std::string_view sql, std::vector<Literal>& literals, OwnedTexts& owned);

// True when `a` and `b` are equal without regard to ASCII case.
bool SameName(std::string_view a, std::string_view b);

}  // namespace tsql
