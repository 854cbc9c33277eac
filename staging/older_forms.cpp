#include "staging/older_forms.h"

#include <vector>

#include "staging/text.h"

namespace {

bool GrewInTheMiddle(std::string_view reg) { return reg == "M210" || reg == "M610"; }

}  // namespace

std::string CurrentFormOf(std::string_view reg, std::string_view line) {
  if (!GrewInTheMiddle(reg)) return std::string(line);
  const std::vector<std::string_view> f = SplitBars(line);
  // "|M210|f2|...|f13|" splits into 15 pieces: empty, the code, 12 fields, empty.
  if (f.size() != 15 || !f.back().empty()) return std::string(line);
  std::string out = "|";
  for (size_t k = 1; k <= 4; ++k) out.append(f[k]).append("|");
  out.append("0|0|").append(f[4]).append("|");
  for (size_t k = 5; k <= 13; ++k) out.append(f[k]).append("|");
  return out;
}

std::string OlderFormOf(std::string_view reg, std::string_view line, size_t fields) {
  const std::vector<std::string_view> f = SplitBars(line);
  // Pieces: the empty one before the first bar, the fields, the empty one after the last.
  if (f.size() < 2 || f.size() - 2 <= fields) return std::string(line);
  std::string out = "|";
  if (GrewInTheMiddle(reg) && fields == 13 && f.size() == 18) {
    for (size_t k = 1; k < f.size() - 1; ++k)
      if (k < 5 || k > 7) out.append(f[k]).append("|");
    return out;
  }
  for (size_t k = 1; k <= fields; ++k) out.append(f[k]).append("|");
  return out;
}
