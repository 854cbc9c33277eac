#include "tests/support/subtree_support.h"

#include <set>

#include "staging/record_catalogue.h"
#include "staging/text.h"
#include "tests/support/check_support.h"

namespace {

std::string CodeOf(const std::string& line) { return line.size() >= 6 ? line.substr(1, 4) : std::string(); }

std::string Field(const std::string& line, size_t k) {
  std::vector<std::string_view> f = SplitBars(line);
  return k < f.size() ? std::string(f[k]) : std::string();
}

bool IsEstablishment(const std::string& code) {
  return code == "0140" || (code.size() == 4 && code.substr(1) == "010" && code[0] != '0' && code[0] != '1');
}

bool IsOpenerOrCloser(const std::string& code) {
  return code.size() == 4 && (code.substr(1) == "001" || code.substr(1) == "990");
}

// Walks the lines as a tree: for each line, the CNPJ of the establishment
// subtree it sits in ("" for none) and its parent line.
template <typename Visit>
void Walk(const std::vector<std::string>& lines, Visit visit) {
  std::string est;
  std::map<int, std::string> atLevel;
  for (const std::string& line : lines) {
    const std::string code = CodeOf(line);
    const CatalogueRecord* r = Layout006().Find(code);
    if (!r) continue;
    if (IsEstablishment(code)) {
      est = Field(line, code == "0140" ? 4 : 2);
      atLevel.clear();
      visit(line, std::string(), std::string("-"), true);
      continue;
    }
    if (r->level <= 2) est.clear();
    atLevel[r->level] = line;
    const std::string parent = r->level - 1 <= 2 ? std::string("-") : atLevel[r->level - 1];
    visit(line, r->level >= 3 ? est : std::string(), parent, false);
  }
}

}  // namespace

std::map<std::string, int> PlacedSubtreeLines(const std::vector<std::string>& lines) {
  std::map<std::string, int> placed;
  Walk(lines, [&](const std::string& line, const std::string& est, const std::string& parent, bool) {
    if (!est.empty()) ++placed[est + "\n" + UpperLatin1(parent) + "\n" + UpperLatin1(line)];
  });
  return placed;
}

std::map<std::string, int> CompanyLevelLines(const std::vector<std::string>& lines) {
  std::map<std::string, int> company;
  Walk(lines, [&](const std::string& line, const std::string& est, const std::string&, bool establishment) {
    const std::string code = CodeOf(line);
    if (est.empty() && !establishment && !IsOpenerOrCloser(code) && code[0] != '9' && code != "0000")
      ++company[UpperLatin1(line)];
  });
  return company;
}

std::vector<std::vector<std::string>> SplitPerEstablishment(const std::vector<std::string>& lines) {
  std::vector<std::string> cnpjs;
  for (const std::string& line : lines)
    if (CodeOf(line) == "0140") cnpjs.push_back(Field(line, 4));
  std::vector<std::vector<std::string>> files(cnpjs.size());
  // Which file each line goes to: -1 every file, k file k only.
  std::string est;
  for (const std::string& line : lines) {
    const std::string code = CodeOf(line);
    const CatalogueRecord* r = Layout006().Find(code);
    if (!r || code[0] == '9') continue;
    if (IsEstablishment(code)) est = Field(line, code == "0140" ? 4 : 2);
    else if (r->level <= 2) est.clear();
    for (size_t k = 0; k < files.size(); ++k) {
      std::string l = line;
      bool here;
      if (code == "0000") {
        std::vector<std::string_view> f = SplitBars(line);
        l = "|";
        for (size_t i = 1; i + 1 < f.size(); ++i) l.append(i == 9 ? cnpjs[k] : std::string(f[i])).append("|");
        here = true;
      } else if (IsOpenerOrCloser(code)) {
        here = true;
        if (k > 0 && (code[0] == 'M' || code[0] == '1') && code.substr(1) == "001") l = "|" + code + "|1|";
      } else if (!est.empty()) {
        here = est == cnpjs[k];
      } else if (k == 0) {
        here = true;
      } else if (code == "0100" || code == "0110" || code == "0500" || code == "0600") {
        here = true;
      } else if (code == "0111") {
        l = "|0111|0|0|0|0|0|";
        here = true;
      } else {
        here = false;
      }
      if (here) files[k].push_back(l);
    }
  }
  // A block of another establishment only: its opener says it has no data.
  for (size_t k = 0; k < files.size(); ++k) {
    std::vector<std::string>& f = files[k];
    for (size_t i = 0; i < f.size(); ++i) {
      const std::string code = CodeOf(f[i]);
      if (code.substr(1) != "001" || code[0] == '0' || code[0] == '9') continue;
      const bool empty = i + 1 < f.size() && CodeOf(f[i + 1]) == std::string(1, code[0]) + "990";
      if (empty) f[i] = "|" + code + "|1|";
    }
    f = Recounted(f);
  }
  return files;
}
