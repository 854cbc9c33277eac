#include "tests/support/block_m_support.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include <unistd.h>

#include "blocks/bloco0.h"
#include "blocks/blocom.h"
#include "blocks/load_rules.h"
#include "blocks/registry.h"
#include "staging/output_file.h"
#include "staging/resources.h"
#include "staging/run_state.h"
#include "staging/text.h"
#include "tests/support/test_run.h"

namespace fs = std::filesystem;

namespace block_m {

bool ParseDecimal(std::string_view text, Micros& out) {
  bool negative = false;
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  Micros v = 0;
  int decimals = -1;  // -1: no comma seen yet
  for (char c : text) {
    if (c == ',' && decimals < 0) {
      decimals = 0;
    } else if (c >= '0' && c <= '9') {
      if (decimals >= 6) return false;
      v = v * 10 + (c - '0');
      if (decimals >= 0) ++decimals;
    } else {
      return false;
    }
  }
  for (int d = decimals < 0 ? 0 : decimals; d < 6; ++d) v *= 10;
  out = negative ? -v : v;
  return true;
}

std::string DecimalText(Micros v) {
  const bool negative = v < 0;
  if (negative) v = -v;
  std::string digits;
  for (Micros w = v; w > 0; w /= 10) digits.insert(digits.begin(), char('0' + int(w % 10)));
  digits.insert(0, 7 - std::min<size_t>(digits.size(), 7), '0');  // at least "0" + 6 decimals
  std::string whole = digits.substr(0, digits.size() - 6), frac = digits.substr(digits.size() - 6);
  while (!frac.empty() && frac.back() == '0') frac.pop_back();
  std::string s = negative && v != 0 ? "-" : "";
  s += whole;
  if (!frac.empty()) s += "," + frac;
  return s;
}

std::vector<std::string> SplitRecord(std::string_view line) {
  std::vector<std::string> out;
  size_t start = 0;
  for (size_t bar = line.find('|'); bar != std::string_view::npos; bar = line.find('|', start)) {
    out.emplace_back(line.substr(start, bar - start));
    start = bar + 1;
  }
  out.emplace_back(line.substr(start));
  return out;
}

BlockMStage::BlockMStage() { TestRun().output.Open(dir_.File("out.txt")); }

BlockMStage::~BlockMStage() { TestRun().output.Abort(); }

void BlockMStage::StageFile(std::string_view cnpj, const std::vector<std::string>& lines) {
  TestRun().currentCNPJ = std::string(cnpj);
  TestRun().BeginStagedFile();
  if (lines.empty() || lines.front().rfind("|M001|", 0) != 0) BlocoM::md_LoadRecord(TestRun(), "M001", "|M001|0|");
  for (const std::string& line : lines) {
    const std::vector<std::string> fields = SplitRecord(line);
    if (fields.size() < 2) throw std::invalid_argument("not a record line: " + line);
    BlocoM::md_LoadRecord(TestRun(), fields[1], line);
  }
}

void BlockMStage::StageBlock0(std::string_view cnpj, std::string_view line) {
  TestRun().currentCNPJ = std::string(cnpj);
  const std::vector<std::string> fields = SplitRecord(line);
  if (fields.size() < 2 || !load_rules::Store(TestRun(), FindBlock('0')->layouts(), fields[1], line))
    throw std::invalid_argument("not a staged Block 0 line: " + std::string(line));
}

std::vector<std::string> BlockMStage::Unify() {
  BlocoM::md_UnifyBlock(TestRun());
  TestRun().output.Commit();
  return ReadCrLfLines(dir_.File("out.txt"));
}

int64_t BlockMStage::Count(std::string_view reg) { return RegisteredCount(reg); }


}  // namespace block_m
