// Operands of the writers' conditions.
#include "blocks/cnpj_operand.h"

#include "staging/text.h"

namespace {

// True when `s` is 1 to 18 decimal digits: a number that a 64-bit integer holds.
bool IsPlainNumber(std::string_view s) {
  if (s.empty() || s.size() > 18) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

}  // namespace

std::string CnpjOperand(std::string_view cnpj) {
  if (IsPlainNumber(cnpj)) return std::string(cnpj);
  return "'" + PrepareSqlText(cnpj) + "'";
}
