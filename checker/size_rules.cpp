#include "checker/size_rules.h"

#include "blocks/efd_amount.h"

size_t CharacterCount(std::string_view text) {
  size_t count = 0;
  for (size_t i = 0; i < text.size(); ++count) {
    const auto b = static_cast<unsigned char>(text[i]);
    const size_t tail = b >= 0xF0 && b <= 0xF4 ? 3 : b >= 0xE0 ? 2 : b >= 0xC2 && b < 0xE0 ? 1 : 0;
    size_t k = 1;
    while (k <= tail && i + k < text.size() && (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80) ++k;
    i += k == tail + 1 ? k : 1;  // an incomplete sequence is Latin-1: one byte, one character
  }
  return count;
}

std::string DescribeSizeFault(const CatalogueField& field, std::string_view text) {
  if (!field.exactSize || field.size <= 0 || text.empty()) return {};
  const size_t n = CharacterCount(text);
  if (n == static_cast<size_t>(field.size)) return {};
  std::string quoted = "\"";
  quoted.append(text).append("\"");
  return "o " + FieldInWords(field) + " tem " + std::to_string(n) + (n == 1 ? " caractere" : " caracteres") +
         ", o leiaute exige exatamente " + std::to_string(field.size) + ": " + quoted;
}
