#include "wizard/header_fields.h"

namespace {

bool AllDigits(std::string_view s) {
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

int Number(std::string_view s) {
  int v = 0;
  for (char c : s) v = v * 10 + (c - '0');
  return v;
}

}  // namespace

bool IsCnpjText(std::string_view cnpj) { return cnpj.size() == 14 && AllDigits(cnpj); }

bool IsEfdDate(std::string_view date) {
  if (date.size() != 8 || !AllDigits(date)) return false;
  const int day = Number(date.substr(0, 2)), month = Number(date.substr(2, 2)), year = Number(date.substr(4));
  if (year < 1 || month < 1 || month > 12 || day < 1) return false;
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return day <= kDays[month - 1] + (month == 2 && leap ? 1 : 0);
}

std::string Printable(std::string_view value) {
  std::string out;
  for (size_t i = 0; i < value.size() && i < 40; ++i) {
    unsigned char c = static_cast<unsigned char>(value[i]);
    out += c < 0x20 || c == 0x7F ? '?' : static_cast<char>(c);
  }
  if (value.size() > 40) out += "...";
  return out;
}

std::string HeaderFieldsProblem(std::string_view cnpj, std::string_view dtIni, std::string_view dtFin) {
  if (!IsCnpjText(cnpj))
    return "O CNPJ do registro 0000 (campo 9) não tem 14 dígitos: \"" + Printable(cnpj) + "\"";
  if (!IsEfdDate(dtIni))
    return "A data inicial do registro 0000 (campo 6) não é uma data DDMMAAAA: \"" + Printable(dtIni) + "\"";
  if (!IsEfdDate(dtFin))
    return "A data final do registro 0000 (campo 7) não é uma data DDMMAAAA: \"" + Printable(dtFin) + "\"";
  return std::string();
}
