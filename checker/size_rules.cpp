#include "checker/size_rules.h"

#include "blocks/efd_amount.h"
#include "staging/older_forms.h"

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

const std::vector<const CatalogueField*>& SizeRules::FixedFields(const CatalogueRecord& record) {
  auto [it, added] = fixed_.try_emplace(&record);
  if (added) {
    it->second.assign(record.fields.size() + 1, nullptr);
    for (const CatalogueField& f : record.fields)
      if (f.exactSize && f.size > 0) it->second[f.number] = &f;
  }
  return it->second;
}

void SizeRules::Line(int64_t n, const CatalogueRecord& record, std::string_view line) {
  const std::vector<const CatalogueField*>& fixed = FixedFields(record);
  if ((record.code == "M210" || record.code == "M610") && line.size() > 6) {
    size_t bars = 0;
    for (char c : line) bars += c == '|';
    if (bars == 14) {  // 13 fields: the form before the base adjustments came in the middle
      current_ = CurrentFormOf(record.code, line);
      line = current_;
    }
  }
  // Field k runs from after its opening bar to the next bar; REG is field 1.
  size_t start = 0;
  for (size_t k = 1; start != std::string_view::npos && k < fixed.size(); ++k) {
    const size_t end = line.find('|', start + 1);
    if (end == std::string_view::npos) break;
    if (const CatalogueField* f = fixed[k]) {
      std::string message = DescribeSizeFault(*f, line.substr(start + 1, end - start - 1));
      if (!message.empty()) report_(n, record.code, std::move(message));
    }
    start = end;
  }
}
