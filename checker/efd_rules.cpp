#include "checker/efd_rules.h"

#include <algorithm>
#include <charconv>
#include <cstring>

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
  report_.lines = n;

  const bool shaped = line.size() >= 2 && line.front() == '|' && line.back() == '|';
  std::string_view code;
  if (!line.empty() && line.front() == '|') {
    size_t bar = line.find('|', 1);
    code = line.substr(1, (bar == std::string_view::npos ? line.size() : bar) - 1);
  }
  if (!shaped) Problem(n, code, "the line does not start and end with \"|\"");
  if (n == 1 && code != "0000") Problem(n, code, "the first line is not the 0000 record");
  lastCode_.assign(code);

  if (!IsRecordCode(code)) {
    if (shaped) Problem(n, code, Quoted(code) + " is not a record code (four capital letters or digits)");
    if (inBlock_) ++block_.info.lines, ++block_.dataLines;
    prevCode_.clear();
    return;
  }

  CodeStat& stat = Stat(code);
  if (stat.count++ == 0) stat.firstLine = n;

  const char letter = code[0];
  if (!inBlock_ || letter != block_.info.letter) EnterBlock(letter, code);
  ++block_.info.lines;

  if (shaped) {
    CheckRecord(line, code);
    if (stat.record) {
      tree_.Line(n, *stat.record, line, true);
      codes_.Line(n, *stat.record, line);
      amounts_.Line(n, *stat.record, line);
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
      amounts_.Line(n, *stat.record, repaired_);
    }
    sums_.Line(n, code, repaired_);
  }
  prevCode_.assign(code);
}

// A line of another block than the current one: closes the current block and
// checks the new one's place in the order and its first line.
void EfdRules::EnterBlock(char letter, std::string_view code) {
  if (inBlock_) EndBlock();
  const int64_t n = lineNo_;
  const int position = BlockPosition(letter);
  const std::string opener = BlockCode(letter, "001");
  if (position < 0) {
    Problem(n, code, "there is no block " + std::string(1, letter) + " in an EFD-Contribuições file");
  } else if (seen_[static_cast<unsigned char>(letter)]) {
    Problem(n, code, "block " + std::string(1, letter) + " starts again after block " +
                         std::string(1, block_.info.letter));
  } else if (position < order_) {
    Problem(n, code, "block " + std::string(1, letter) + " comes after block " + std::string(1, block_.info.letter) +
                         ": the order is 0, A, C, D, F, I, M, P, 1, 9");
  } else {
    order_ = position;
  }
  if (seen_[static_cast<unsigned char>(letter)] == 0) seen_[static_cast<unsigned char>(letter)] = n;
  const bool headerFirst = letter == '0' && code == "0000";
  if (code != opener && !headerFirst)
    Problem(n, code, "block " + std::string(1, letter) + " does not begin with its opener " + opener);
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
  const int64_t lastLine = block_.info.firstLine + block_.info.lines - 1;
  if (block_.closerLine == 0) {
    Problem(lastLine, lastCode_, "block " + std::string(1, letter) + " ends without its closer " + closer);
  } else if (block_.info.declared >= 0 && block_.info.declared != block_.info.lines) {
    Problem(block_.closerLine, closer,
            closer + " says " + std::to_string(block_.info.declared) + " lines, block " + std::string(1, letter) +
                " has " + std::to_string(block_.info.lines));
  }
  if (block_.openerLine != 0) {
    const std::string opener = BlockCode(letter, "001");
    const std::string& v = block_.openerValue;
    if (v != "0" && v != "1")
      Problem(block_.openerLine, opener, "Ind_Mov is " + Quoted(v) + ", not \"0\" or \"1\"");
    else if (v == "1" && block_.dataLines > 0)
      Problem(block_.openerLine, opener,
              "Ind_Mov is \"1\" (no data) but block " + std::string(1, letter) + " holds " +
                  std::to_string(block_.dataLines) + " lines besides its opener and closer");
    else if (v == "0" && block_.dataLines == 0)
      Problem(block_.openerLine, opener,
              "Ind_Mov is \"0\" (with data) but block " + std::string(1, letter) +
                  " holds no lines besides its opener and closer");
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
    Problem(n, code, "line after the closer " + BlockCode(letter, "990") + " of block " + std::string(1, letter));

  if (tail == "001") {
    if (block_.openerLine != 0)
      Problem(n, code, "a second opener in block " + std::string(1, letter));
    else if (block_.info.lines != 1 && !(letter == '0' && block_.info.lines == 2 && prevCode_ == "0000"))
      Problem(n, code, "the opener is not the first line of block " + std::string(1, letter));
    if (block_.openerLine == 0) {
      block_.openerLine = n;
      block_.openerValue.assign(LineField(line, 2));
    }
    return;
  }
  if (tail == "990") {
    if (block_.closerLine != 0) {
      Problem(n, code, "a second closer in block " + std::string(1, letter));
      return;
    }
    block_.closerLine = n;
    std::string_view v = LineField(line, 2);
    block_.info.declared = Count(v);
    if (block_.info.declared < 0) Problem(n, code, Quoted(v) + " is not a number of lines");
    return;
  }
  if (code == "0000" || code == "9999") {
    if (code == "9999") {
      line9999_ = n;
      std::string_view v = LineField(line, 2);
      said9999_ = Count(v);
      if (said9999_ < 0) Problem(n, code, Quoted(v) + " is not a number of lines");
    }
    return;
  }
  ++block_.dataLines;

  if (code == "9900") {
    std::string_view reg = LineField(line, 2), qty = LineField(line, 3);
    if (!IsRecordCode(reg)) {
      Problem(n, code, Quoted(reg) + " is not a record code");
      return;
    }
    int64_t declared = Count(qty);
    if (declared < 0) {
      Problem(n, code, Quoted(qty) + " is not a number of lines");
      return;
    }
    CodeStat& stat = Stat(reg);
    if (stat.declaredLine != 0) {
      Problem(n, code, "a second 9900 for " + std::string(reg));
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
  const int64_t total = lineNo_;
  if (total == 0) {
    Problem(0, "", "the file is empty");
    return;
  }
  if (lastCode_ != "9999") Problem(total, lastCode_, "the last line is not the 9999 record");
  // Required blocks that never came, reported where the next block present begins.
  for (size_t p = 0; p < kBlockOrder.size(); ++p) {
    const char letter = kBlockOrder[p];
    if (seen_[static_cast<unsigned char>(letter)] != 0 || kOptionalBlocks.find(letter) != std::string_view::npos)
      continue;
    int64_t at = total;
    for (size_t q = p + 1; q < kBlockOrder.size(); ++q)
      if (seen_[static_cast<unsigned char>(kBlockOrder[q])] != 0) {
        at = seen_[static_cast<unsigned char>(kBlockOrder[q])];
        break;
      }
    Problem(at, BlockCode(letter, "001"), "block " + std::string(1, letter) + " is missing");
  }

  if (line9999_ != 0 && said9999_ >= 0 && said9999_ != total)
    Problem(line9999_, "9999", "9999 says " + std::to_string(said9999_) + " lines, the file has " + std::to_string(total));

  // Block 9: one 9900 per code present, with that code's number of lines.
  for (uint32_t key : codeOrder_) {
    const CodeStat& s = stats_[key];
    const std::string code = UnpackCode(key);
    if (!s.record && s.count > 0)
      Problem(s.firstLine, code,
              code + " is not a record of layout " + std::string(Layout006().Version()) + " (" +
                  std::to_string(s.count) + (s.count == 1 ? " line)" : " lines)"),
              false, true);
    if (s.declaredLine == 0) {
      if (s.count > 0)
        Problem(s.firstLine, code, "no 9900 line for " + code + " (" + std::to_string(s.count) + " lines)");
    } else if (s.count == 0) {
      Problem(s.declaredLine, "9900", "9900 for " + code + ", a record the file does not hold");
    } else if (s.declared != s.count) {
      Problem(s.declaredLine, "9900",
              "9900 says " + std::to_string(s.declared) + " lines of " + code + ", the file has " +
                  std::to_string(s.count));
    }
  }
  std::stable_sort(report_.problems.begin(), report_.problems.end(),
                   [](const CheckProblem& a, const CheckProblem& b) { return a.line < b.line; });
}
