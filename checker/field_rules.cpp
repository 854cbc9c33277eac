#include "checker/field_rules.h"

#include "blocks/efd_amount.h"
#include "checker/size_rules.h"
#include "staging/older_forms.h"

const std::vector<const CatalogueField*>& FieldRules::CheckedFields(const CatalogueRecord& record) {
  auto [it, added] = checked_.try_emplace(&record);
  if (added) {
    it->second.assign(record.fields.size() + 1, nullptr);
    for (const CatalogueField& f : record.fields)
      if ((f.type == 'N' && f.number > 1) || (f.exactSize && f.size > 0)) it->second[f.number] = &f;
  }
  return it->second;
}

void FieldRules::Line(int64_t n, const CatalogueRecord& record, std::string_view line) {
  const std::vector<const CatalogueField*>& checked = CheckedFields(record);
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
  for (size_t k = 1; start != std::string_view::npos && k < checked.size(); ++k) {
    const size_t end = line.find('|', start + 1);
    if (end == std::string_view::npos) break;
    if (const CatalogueField* f = checked[k]) {
      const std::string_view text = line.substr(start + 1, end - start - 1);
      if (f->type == 'N' && f->number > 1 && !text.empty()) {
        const AmountReading r = ReadEfdAmount(text, *f);
        // Too many digits in a field of fixed size is told below, with the exact size.
        const bool toldBySize = r.fault == AmountFault::kDigits && f->exactSize;
        if (r.fault != AmountFault::kNone && !toldBySize) report_(n, record.code, DescribeAmountFault(r, *f, text));
      }
      std::string sizeFault = DescribeSizeFault(*f, text);
      if (!sizeFault.empty()) report_(n, record.code, std::move(sizeFault));
    }
    start = end;
  }
}
