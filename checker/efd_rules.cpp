#include "checker/efd_rules.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "checker/input_file.h"
#include "staging/line_field.h"
#include "staging/record_catalogue.h"

namespace {

// The blocks in file order; I and P may be left out.
constexpr std::string_view kBlockOrder = "0ACDFIMP19";
constexpr std::string_view kOptionalBlocks = "IP";

// Position of a block letter in the file order, or -1 for no block.
int BlockPosition(char letter) {
  size_t p = kBlockOrder.find(letter);
  return p == std::string_view::npos ? -1 : static_cast<int>(p);
}

// A four-character code as one number (the key of the code table).
uint32_t PackCode(std::string_view code) {
  uint32_t k = 0;
  for (char ch : code) k = (k << 8) | static_cast<unsigned char>(ch);
  return k;
}

// The code packed by PackCode.
std::string UnpackCode(uint32_t k) {
  std::string s(4, ' ');
  for (int i = 3; i >= 0; --i, k >>= 8) s[i] = static_cast<char>(k & 0xFF);
  return s;
}

// True for four capital letters or digits.
bool IsRecordCode(std::string_view code) {
  if (code.size() != 4) return false;
  for (char ch : code)
    if (!((ch >= '0' && ch <= '9') || (ch >= 'A' && ch <= 'Z'))) return false;
  return true;
}


// A whole non-negative number, or -1.
int64_t Count(std::string_view text) {
  int64_t v = -1;
  if (text.empty()) return -1;
  auto r = std::from_chars(text.data(), text.data() + text.size(), v);
  if (r.ec != std::errc() || r.ptr != text.data() + text.size() || v < 0) return -1;
  return v;
}

// Length of the UTF-8 multi-byte sequence that starts at `p` (a byte above
// 0x7F), or 0 when the bytes from `p` are no well-formed sequence (overlong
// forms and surrogates included).
size_t Utf8SequenceLength(const unsigned char* p, const unsigned char* end) {
  const unsigned char b = *p;
  size_t len;
  unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
  if (b >= 0xC2 && b <= 0xDF) {
    len = 2;
  } else if (b >= 0xE0 && b <= 0xEF) {
    len = 3;
    if (b == 0xE0) low = 0xA0;
    if (b == 0xED) high = 0x9F;
  } else if (b >= 0xF0 && b <= 0xF4) {
    len = 4;
    if (b == 0xF0) low = 0x90;
    if (b == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (static_cast<size_t>(end - p) < len || p[1] < low || p[1] > high) return 0;
  for (size_t i = 2; i < len; ++i)
    if (p[i] < 0x80 || p[i] > 0xBF) return 0;
  return len;
}

// The bytes read as ISO-8859-1, written in UTF-8: what a UTF-8 sequence looks
// like to a reader of ISO-8859-1 ("Ã§" for "ç").
std::string AsLatin1(std::string_view bytes) {
  std::string text;
  for (char ch : bytes) {
    const unsigned char b = static_cast<unsigned char>(ch);
    if (b < 0x80) {
      text += ch;
    } else {
      text += static_cast<char>(0xC0 | (b >> 6));
      text += static_cast<char>(0x80 | (b & 0x3F));
    }
  }
  return text;
}

// "1 linha" or "N linhas".
std::string Lines(int64_t n) { return std::to_string(n) + (n == 1 ? " linha" : " linhas"); }

// `v` between double quotes, for messages.
std::string Quoted(std::string_view v) { return "\"" + std::string(v) + "\""; }

// The code of a block's record: letter + "001", "990".
std::string BlockCode(char letter, const char* tail) { return std::string(1, letter) + tail; }

}  // namespace

void EfdRules::Problem(int64_t line, std::string_view code, std::string message, bool warning, bool fieldCount) {
  report_.Add(line, code, std::move(message), warning, fieldCount);
}

// The entry of `code` in the code table, created (with its catalogue record)
// on first use.
EfdRules::CodeStat& EfdRules::Stat(std::string_view code) {
  uint32_t key = PackCode(code);
  auto [it, added] = stats_.try_emplace(key);
  if (added) {
    codeOrder_.push_back(key);
    it->second.record = Layout006().Find(code);
  }
  return it->second;
}

void EfdRules::Line(std::string_view line) {
  const int64_t n = ++lineNo_;
  if (IsBlankLine(line)) {
    if (report_.blankLines++ < static_cast<int64_t>(CheckReport::kMaxBlankListed))
      report_.blankLineNumbers.push_back(n);
    return;
  }
  report_.lines = ++recordLines_;
  lastRecordLine_ = n;

  const bool shaped = line.size() >= 2 && line.front() == '|' && line.back() == '|';
  std::string_view code;
  if (!line.empty() && line.front() == '|') {
    size_t bar = line.find('|', 1);
    code = line.substr(1, (bar == std::string_view::npos ? line.size() : bar) - 1);
  }
  CheckBytes(line, code);
  if (!shaped) Problem(n, code, "a linha não começa e termina com \"|\"");
  if (recordLines_ == 1 && code != "0000")
    Problem(n, code, "a primeira linha não é o registro 0000 (abertura do arquivo)");
  lastCode_.assign(code);

  if (!IsRecordCode(code)) {
    if (shaped) Problem(n, code, Quoted(code) + " não é um código de registro (quatro letras maiúsculas ou algarismos)");
    if (inBlock_) ++block_.info.lines, ++block_.dataLines, block_.lastLine = n;
    prevCode_.clear();
    return;
  }

  CodeStat& stat = Stat(code);
  if (stat.count++ == 0) stat.firstLine = n;

  const char letter = code[0];
  if (!inBlock_ || letter != block_.info.letter) EnterBlock(letter, code);
  ++block_.info.lines;
  block_.lastLine = n;

  if (shaped) {
    CheckRecord(line, code);
    if (stat.record) {
      tree_.Line(n, *stat.record, line, true);
      codes_.Line(n, *stat.record, line);
      fields_.Line(n, *stat.record, line);
    }
    sums_.Line(n, code, line);
  } else {
    // Only the closing bar is missing: the record still counts as what it is
    // (an opener, a closer...), so that one fault gives one finding.
    repaired_.assign(line);
    repaired_ += '|';
    CheckRecord(repaired_, code);
    if (stat.record) {
      tree_.Line(n, *stat.record, repaired_, false);
      fields_.Line(n, *stat.record, repaired_);
    }
    sums_.Line(n, code, repaired_);
  }
  prevCode_.assign(code);
}

// A NUL byte in the line is reported; the line's bytes above 0x7F tell
// whether the file may be in UTF-8 (Finish reports it).
void EfdRules::CheckBytes(std::string_view line, std::string_view code) {
  if (std::memchr(line.data(), '\0', line.size()))
    Problem(lineNo_, code, "a linha tem um byte nulo (NUL): um arquivo EFD é texto em ISO-8859-1 (Latin-1)");
  if (notUtf8_) return;
  const auto* p = reinterpret_cast<const unsigned char*>(line.data());
  const auto* end = p + line.size();
  // Eight bytes at a time while none is above 0x7F.
  for (uint64_t word; end - p >= 8; p += 8) {
    std::memcpy(&word, p, 8);
    if (word & 0x8080808080808080ull) break;
  }
  for (; p < end; ++p) {
    if (*p < 0x80) continue;
    const size_t len = Utf8SequenceLength(p, end);
    if (len == 0) {
      notUtf8_ = true;
      return;
    }
    if (utf8Line_ == 0) {
      utf8Line_ = lineNo_;
      utf8Code_.assign(code);
      utf8Sample_.assign(reinterpret_cast<const char*>(p), len);
    }
    p += len - 1;
  }
}

// A line of another block than the current one: closes the current block and
// checks the new one's place in the order and its first line.
void EfdRules::EnterBlock(char letter, std::string_view code) {
  if (inBlock_) EndBlock();
  const int64_t n = lineNo_;
  const int position = BlockPosition(letter);
  const std::string opener = BlockCode(letter, "001");
  if (position < 0) {
    Problem(n, code, "não existe bloco " + std::string(1, letter) + " na EFD-Contribuições");
  } else if (seen_[static_cast<unsigned char>(letter)]) {
    Problem(n, code, "o bloco " + std::string(1, letter) + " recomeça depois do bloco " +
                         std::string(1, block_.info.letter));
  } else if (position < order_) {
    Problem(n, code, "o bloco " + std::string(1, letter) + " vem depois do bloco " +
                         std::string(1, block_.info.letter) + ": a ordem é 0, A, C, D, F, I, M, P, 1, 9");
  } else {
    order_ = position;
  }
  if (seen_[static_cast<unsigned char>(letter)] == 0) seen_[static_cast<unsigned char>(letter)] = n;
  const bool headerFirst = letter == '0' && code == "0000";
  if (code != opener && !headerFirst)
    Problem(n, code, "o bloco " + std::string(1, letter) + " não começa pelo seu registro de abertura " + opener);
  inBlock_ = true;
  block_ = OpenBlock{};
  block_.info.letter = letter;
  block_.info.firstLine = n;
}

// The checks of a block that has ended: its closer's count and its opener's
// Ind_Mov; adds it to the summary.
void EfdRules::EndBlock() {
  if (!inBlock_) return;
  inBlock_ = false;
  const char letter = block_.info.letter;
  const std::string closer = BlockCode(letter, "990");
  if (block_.closerLine == 0) {
    Problem(block_.lastLine, prevCode_,  // the code of the block's last line
            "o bloco " + std::string(1, letter) + " termina sem o seu registro de encerramento " + closer);
  } else if (block_.info.declared >= 0 && block_.info.declared != block_.info.lines) {
    Problem(block_.closerLine, closer,
            closer + " informa " + Lines(block_.info.declared) + " (QTD_LIN_" + std::string(1, letter) +
                "), o bloco " + std::string(1, letter) + " tem " + std::to_string(block_.info.lines));
  }
  if (block_.openerLine != 0) {
    const std::string opener = BlockCode(letter, "001");
    const std::string& v = block_.openerValue;
    if (v != "0" && v != "1")
      Problem(block_.openerLine, opener, "IND_MOV é " + Quoted(v) + ", e não \"0\" ou \"1\"");
    else if (v == "1" && block_.dataLines > 0)
      Problem(block_.openerLine, opener,
              "IND_MOV é \"1\" (bloco sem dados), mas o bloco " + std::string(1, letter) + " tem " +
                  Lines(block_.dataLines) + " além da abertura e do encerramento");
    else if (v == "0" && block_.dataLines == 0)
      Problem(block_.openerLine, opener,
              "IND_MOV é \"0\" (bloco com dados), mas o bloco " + std::string(1, letter) +
                  " não tem linhas além da abertura e do encerramento");
  }
  if (letter == '9') block9Lines_ = block_.info.lines;
  report_.blocks.push_back(block_.info);
}

// The rules tied to particular records: openers, closers, 9900 and 9999.
void EfdRules::CheckRecord(std::string_view line, std::string_view code) {
  const int64_t n = lineNo_;
  const char letter = code[0];
  const std::string_view tail = code.substr(1);

  if (block_.closerLine != 0 && tail != "990" && code != "9999")
    Problem(n, code, "linha depois do encerramento " + BlockCode(letter, "990") + " do bloco " + std::string(1, letter));

  if (tail == "001") {
    if (block_.openerLine != 0)
      Problem(n, code, "segundo registro de abertura no bloco " + std::string(1, letter));
    else if (block_.info.lines != 1 && !(letter == '0' && block_.info.lines == 2 && prevCode_ == "0000"))
      Problem(n, code, "o registro de abertura não é a primeira linha do bloco " + std::string(1, letter));
    if (block_.openerLine == 0) {
      block_.openerLine = n;
      block_.openerValue.assign(LineField(line, 2));
    }
    return;
  }
  if (tail == "990") {
    if (block_.closerLine != 0) {
      Problem(n, code, "segundo registro de encerramento no bloco " + std::string(1, letter));
      return;
    }
    block_.closerLine = n;
    std::string_view v = LineField(line, 2);
    block_.info.declared = Count(v);
    if (block_.info.declared < 0)
      Problem(n, code, "QTD_LIN_" + std::string(1, letter) + " " + Quoted(v) + " não é um número de linhas");
    return;
  }
  if (code == "0000" || code == "9999") {
    if (code == "9999") {
      line9999_ = n;
      std::string_view v = LineField(line, 2);
      said9999_ = Count(v);
      if (said9999_ < 0) Problem(n, code, "QTD_LIN " + Quoted(v) + " não é um número de linhas");
    }
    return;
  }
  ++block_.dataLines;

  if (code == "9900") {
    std::string_view reg = LineField(line, 2), qty = LineField(line, 3);
    if (!IsRecordCode(reg)) {
      Problem(n, code, "REG_BLC " + Quoted(reg) + " não é um código de registro");
      return;
    }
    int64_t declared = Count(qty);
    if (declared < 0) {
      Problem(n, code, "QTD_REG_BLC " + Quoted(qty) + " não é um número de linhas");
      return;
    }
    CodeStat& stat = Stat(reg);
    if (stat.declaredLine != 0) {
      Problem(n, code, "segundo registro 9900 para o " + std::string(reg));
      return;
    }
    stat.declared = declared;
    stat.declaredLine = n;
    return;
  }
}

void EfdRules::Finish() {
  EndBlock();
  tree_.Finish();
  sums_.Finish();
  const int64_t total = recordLines_;
  const int64_t blank = report_.blankLines;
  if (total == 0)
    Problem(0, "", blank > 0 ? "o arquivo não tem nenhum registro, só linhas em branco" : "o arquivo está vazio");
  if (blank > 0 && blankLinesAreErrors_)
    Problem(report_.blankLineNumbers.front(), "",
            std::to_string(blank) + " linha(s) em branco (" + LineNumbersText(report_.blankLineNumbers, blank) +
                "): o validador da Receita (PVA) não aceita arquivo com linhas em branco; as contagens foram "
                "verificadas só com as linhas de registro");
  if (total == 0) return;
  if (utf8Line_ != 0 && !notUtf8_)
    Problem(utf8Line_, utf8Code_,
            "o arquivo parece estar em UTF-8 (\"" + AsLatin1(utf8Sample_) + "\" nesta linha é \"" + utf8Sample_ +
                "\" em UTF-8); o leiaute exige ISO-8859-1 (Latin-1)");
  if (lastCode_ != "9999")
    Problem(lastRecordLine_, lastCode_, "a última linha não é o registro 9999 (encerramento do arquivo)");
  // Required blocks that never came, reported where the next block present begins.
  for (size_t p = 0; p < kBlockOrder.size(); ++p) {
    const char letter = kBlockOrder[p];
    if (seen_[static_cast<unsigned char>(letter)] != 0 || kOptionalBlocks.find(letter) != std::string_view::npos)
      continue;
    int64_t at = lastRecordLine_;
    for (size_t q = p + 1; q < kBlockOrder.size(); ++q)
      if (seen_[static_cast<unsigned char>(kBlockOrder[q])] != 0) {
        at = seen_[static_cast<unsigned char>(kBlockOrder[q])];
        break;
      }
    Problem(at, BlockCode(letter, "001"), "falta o bloco " + std::string(1, letter));
  }

  if (line9999_ != 0 && said9999_ >= 0 && said9999_ != total)
    Problem(line9999_, "9999",
            "9999 informa " + Lines(said9999_) + " (QTD_LIN), o arquivo tem " + std::to_string(total) +
                (blank > 0 ? " sem contar " + Lines(blank) + " em branco" : std::string()));

  // Block 9: one 9900 per code present, with that code's number of lines.
  for (uint32_t key : codeOrder_) {
    const CodeStat& s = stats_[key];
    const std::string code = UnpackCode(key);
    if (!s.record && s.count > 0)
      Problem(s.firstLine, code,
              code + " não é um registro do leiaute " + std::string(Layout006().Version()) + " (" + Lines(s.count) +
                  ")",
              false, true);
    if (s.declaredLine == 0) {
      if (s.count > 0) {
        CheckProblem p;
        p.line = s.firstLine;
        p.code = code;
        p.message = "não há registro 9900 para o " + code + " (" + Lines(s.count) + ")";
        p.missing9900 = true;
        report_.Add(std::move(p));
      }
    } else if (s.count == 0) {
      Problem(s.declaredLine, "9900", "registro 9900 para o " + code + ", que o arquivo não tem");
    } else if (s.declared != s.count) {
      Problem(s.declaredLine, "9900",
              "9900 informa " + Lines(s.declared) + " do registro " + code + " (QTD_REG_BLC), o arquivo tem " +
                  std::to_string(s.count));
    }
  }
  std::stable_sort(report_.problems.begin(), report_.problems.end(),
                   [](const CheckProblem& a, const CheckProblem& b) { return a.line < b.line; });
}
