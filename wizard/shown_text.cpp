#include "wizard/shown_text.h"

std::string GroupThousands(std::string_view digits) {
  std::string out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += '.';
    out += digits[i];
  }
  return out;
}

std::string ThousandsText(int64_t n) {
  const std::string grouped = GroupThousands(std::to_string(n < 0 ? -n : n));
  return n < 0 ? "-" + grouped : grouped;
}

std::string CnpjText(const std::string& cnpj) {
  if (cnpj.size() != 14) return cnpj;
  return cnpj.substr(0, 2) + "." + cnpj.substr(2, 3) + "." + cnpj.substr(5, 3) + "/" + cnpj.substr(8, 4) + "-" +
         cnpj.substr(12, 2);
}

std::string DateText(const std::string& date) {
  if (date.size() != 8) return date;
  return date.substr(0, 2) + "/" + date.substr(2, 2) + "/" + date.substr(4, 4);
}
