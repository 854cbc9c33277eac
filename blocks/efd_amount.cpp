#include "blocks/efd_amount.h"

#include <stdexcept>

namespace {

// `v` between double quotes for a message: control bytes as '?', cut at 40 bytes.
std::string Quoted(std::string_view v) {
  std::string out = "\"";
  for (size_t i = 0; i < v.size() && i < 40; ++i) {
    const unsigned char c = static_cast<unsigned char>(v[i]);
    out += c < 0x20 || c == 0x7F ? '?' : static_cast<char>(c);
  }
  if (v.size() > 40) out += "...";
  return out + "\"";
}

}  // namespace

std::string FieldInWords(const CatalogueField& f) {
  std::string n = std::to_string(f.number);
  if (n.size() < 2) n.insert(0, 1, '0');
  return "campo " + n + " (" + f.name + ")";
}

AmountReading ReadEfdAmount(std::string_view text, const CatalogueField& field) {
  AmountReading r;
  std::string_view body = text;
  bool sign = false;
  if (!body.empty() && (body[0] == '-' || body[0] == '+')) {
    sign = true;
    body.remove_prefix(1);
    if (body.empty()) {
      r.fault = AmountFault::kNotANumber;
      return r;
    }
  }
  bool comma = false, leading = true;
  for (char c : body) {
    if (c >= '0' && c <= '9') {
      ++r.digits;
      if (comma) {
        ++r.decimals;
      } else if (!(leading && c == '0')) {
        leading = false;
        ++r.whole;
      }
    } else if (c == ',' && !comma && r.digits > 0) {
      comma = true;
    } else {
      r.fault = AmountFault::kNotANumber;
      return r;
    }
  }
  if (comma && r.decimals == 0) {
    r.fault = AmountFault::kNotANumber;
    return r;
  }
  // Within these bounds ExactDecimal holds the value exactly.
  if (r.whole <= ExactDecimal::kWholeDigits && r.decimals <= ExactDecimal::kPlaces) {
    std::optional<ExactDecimal> v = ExactDecimal::Parse(text);
    if (v) r.value = *v, r.exact = true;
  }
  const int allowedDecimals = field.decimals < 0 ? 0 : field.decimals;
  if (sign)
    r.fault = AmountFault::kSign;
  else if (r.decimals > allowedDecimals)
    r.fault = AmountFault::kDecimals;
  else if (field.size > 0 && r.digits > field.size)
    r.fault = AmountFault::kDigits;
  else if (!r.exact && field.size == 0)
    r.fault = AmountFault::kBeyondExact;  // a sized field beyond it is a code (CHV_NFE), not an amount
  return r;
}

std::string DescribeAmountFault(const AmountReading& r, const CatalogueField& f, std::string_view text) {
  const std::string field = "o " + FieldInWords(f);
  switch (r.fault) {
    case AmountFault::kNone:
      return {};
    case AmountFault::kNotANumber:
      return field + " não é um número (só algarismos e uma vírgula decimal): " + Quoted(text);
    case AmountFault::kSign:
      return field + " tem sinal, que os campos numéricos não admitem: " + Quoted(text);
    case AmountFault::kDecimals:
      if (f.decimals <= 0) return field + " tem casas decimais, que o leiaute não admite nele: " + Quoted(text);
      return field + " tem " + std::to_string(r.decimals) + " casas decimais, o leiaute admite até " +
             std::to_string(f.decimals) + ": " + Quoted(text);
    case AmountFault::kDigits:
      return field + " tem " + std::to_string(r.digits) + " algarismos, o leiaute admite até " +
             std::to_string(f.size) + ": " + Quoted(text);
    case AmountFault::kBeyondExact:
      return field + " tem " + std::to_string(r.whole) + " algarismos antes da vírgula, mais do que os " +
             std::to_string(ExactDecimal::kWholeDigits) + " que o programa lê com exatidão: " + Quoted(text);
  }
  return {};
}

ExactDecimal EfdAmount(std::string_view text, const CatalogueRecord& record, const CatalogueField& field) {
  const AmountReading r = ReadEfdAmount(text, field);
  if (!r.exact)
    throw std::runtime_error("registro " + record.code + ": " + DescribeAmountFault(r, field, text) +
                             "; o valor não pode ser lido com exatidão");
  return r.value;
}

ExactDecimal EfdAmount(std::string_view text, std::string_view code, int k) {
  const CatalogueRecord* record = Layout006().Find(code);
  if (!record || k < 2 || static_cast<size_t>(k) > record->fields.size() || record->fields[k - 1].type != 'N')
    throw std::logic_error("no numeric field " + std::to_string(k) + " of " + std::string(code) + " in the catalogue");
  return EfdAmount(text, *record, record->fields[k - 1]);
}
