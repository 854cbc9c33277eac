#include "wizard/spreadsheet_csv.h"

std::string CsvCell(std::string_view text) {
  if (text.find_first_of(";\"\r\n") == std::string_view::npos) return std::string(text);
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

std::string CsvAmount(const ExactDecimal& amount) {
  std::string text = amount.Text(2);
  const size_t comma = text.find(',');
  if (comma == std::string::npos) return text + ",00";
  text.append(2 - (text.size() - comma - 1), '0');
  return text;
}
