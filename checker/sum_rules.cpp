#include "checker/sum_rules.h"

#include <stdexcept>

#include "blocks/efd_amount.h"
#include "staging/record_catalogue.h"

namespace {

// The fields of a line: element 1 the code, element k field k.
void Split(std::string_view line, std::vector<std::string>& out) {
  out.clear();
  if (!line.empty() && line.front() == '|') line.remove_prefix(1);
  if (!line.empty() && line.back() == '|') line.remove_suffix(1);
  out.emplace_back();
  for (size_t start = 0;;) {
    const size_t bar = line.find('|', start);
    out.emplace_back(line.substr(start, bar == std::string_view::npos ? std::string_view::npos : bar - start));
    if (bar == std::string_view::npos) break;
    start = bar + 1;
  }
}

const std::string& At(const std::vector<std::string>& f, size_t k) {
  static const std::string kEmpty;
  return k < f.size() ? f[k] : kEmpty;
}

std::string Text(ExactDecimal v) { return v.Text(ExactDecimal::kPlaces); }

// Field k of `code` in the catalogue, or nullptr.
const CatalogueField* FieldOf(std::string_view code, size_t k) {
  const CatalogueRecord* r = Layout006().Find(code);
  return r && k >= 1 && k <= r->fields.size() ? &r->fields[k - 1] : nullptr;
}

// "campo 08 (VL_TOT_CRED_APU)" of `code`.
std::string FieldWords(std::string_view code, size_t k) {
  const CatalogueField* f = FieldOf(code, k);
  return f ? FieldInWords(*f) : "campo " + std::to_string(k);
}

// "08 (VL_TOT_CRED_APU)": FieldWords without "campo ".
std::string Numbered(std::string_view code, size_t k) { return FieldWords(code, k).substr(6); }

// The name of field k of `code` ("VL_REC").
std::string NameOf(std::string_view code, size_t k) {
  const CatalogueField* f = FieldOf(code, k);
  return f ? f->name : "campo " + std::to_string(k);
}

// The Block M codes directly below M001: each closes the groups still open.
bool IsTopOfBlockM(std::string_view code) {
  return code == "M100" || code == "M200" || code == "M300" || code == "M350" || code == "M400" ||
         code == "M500" || code == "M600" || code == "M700" || code == "M800" || code == "M990";
}

// True for a period start on or after April 2014, when the debit details by
// revenue code became required.
bool DebitDetailsRequired(std::string_view ddmmyyyy) {
  if (ddmmyyyy.size() != 8) return false;
  const std::string yyyymm = std::string(ddmmyyyy.substr(4, 4)) + std::string(ddmmyyyy.substr(2, 2));
  return yyyymm >= "201404";
}

}  // namespace

SumRules::Amount& SumRules::Amount::operator+=(const Amount& o) {
  if (state != kKnown) return *this;
  if (o.state != kKnown) {
    state = o.state;
    return *this;
  }
  try {
    value += o.value;
  } catch (const std::overflow_error&) {
    state = kOverflow;
  }
  return *this;
}

// Field k of the current line of `code` read as an amount of that field.
SumRules::Amount SumRules::Num(std::string_view code, size_t k) const {
  Amount a;
  const std::string& text = At(f_, k);
  if (text.empty()) return a;
  const CatalogueField* f = FieldOf(code, k);
  // VL_CONT_PER of M210/M610 is read by its own rules wherever the line puts it.
  if ((code == "M210" || code == "M610") && k + 1 == f_.size())
    f = Layout006().Find(code)->Field("VL_CONT_PER");
  if (!f) {
    a.state = Amount::kUnreadable;
    return a;
  }
  const AmountReading r = ReadEfdAmount(text, *f);
  if (r.exact)
    a.value = r.value;
  else
    a.state = Amount::kUnreadable;
  return a;
}

void SumRules::Compare(int64_t line, std::string_view code, size_t k, const Amount& declared, const std::string& what,
                       const Amount& sum) {
  if (declared.state == Amount::kUnreadable || sum.state == Amount::kUnreadable) return;
  if (sum.state == Amount::kOverflow) {
    report_(line, code,
            "a " + what + " passa do alcance exato do programa; o " + FieldWords(code, k) +
                " não pôde ser conferido");
    return;
  }
  if (declared.value == sum.value) return;
  report_(line, code,
          "o " + FieldWords(code, k) + " vale " + Text(declared.value) + " e difere da " + what + ": " +
              Text(sum.value));
}

void SumRules::Line(int64_t lineNo, std::string_view code, std::string_view line) {
  if (code.empty()) return;
  const char block = code[0];
  if (block != 'M' && block != '0' && block != '1' && block != 'P') return;
  if (block == 'M' && scope_ == SumScope::kInput) return;
  Split(line, f_);
  if (code == "0000") periodStart_ = At(f_, 6);
  if (code == "0110") codIncTrib_ = At(f_, 2);
  if (block == 'M' && IsTopOfBlockM(code)) {
    CloseCredit();
    CloseExempt();
    CloseConsolidation();
  }
  const int tax = code.size() == 4 && code[1] >= '5' ? 1 : 0;
  if (code == "M100" || code == "M500") {
    credit_ = {lineNo, std::string(code), Num(code, 4), Amount(), true, false};
    creditUsed_[tax] += Num(code, 14);
  } else if ((code == "M105" || code == "M505") && credit_.active) {
    credit_.sum += Num(code, 7);
    credit_.hasChildren = true;
  } else if (code == "M400" || code == "M800") {
    exempt_ = {lineNo, std::string(code), Num(code, 3), Amount(), true, false};
  } else if ((code == "M410" || code == "M810") && exempt_.active) {
    exempt_.sum += Num(code, 3);
    exempt_.hasChildren = true;
  } else if (code == "M200" || code == "M600") {
    consolidation_ = {};
    consolidation_.line = lineNo, consolidation_.code = std::string(code), consolidation_.active = true;
    consolidation_.contribution = Num(code, 2), consolidation_.creditUsed = Num(code, 3);
    consolidation_.nonCumulativeDue = Num(code, 8), consolidation_.cumulativeDue = Num(code, 12);
  } else if ((code == "M210" || code == "M610") && consolidation_.active) {
    // VL_CONT_PER is the last field in every version of the layout.
    const std::string& cod = At(f_, 2);
    const bool nonCumulative = cod == "01" || cod == "02" || cod == "03" || cod == "04" || cod == "71" ||
                               (cod == "32" && codIncTrib_ != "2");
    if (nonCumulative) consolidation_.detailSum += Num(code, f_.size() - 1);
  } else if ((code == "M205" || code == "M605") && consolidation_.active) {
    consolidation_.anyDebit = true;
    const std::string& field = At(f_, 2);
    if (field == "08" || field == "8") consolidation_.debit08 += Num(code, 4);
    if (field == "12") consolidation_.debit12 += Num(code, 4);
  } else if (code == "1100" || code == "1500") {
    Amount total = Num(code, 6);
    total += Num(code, 7);
    Compare(lineNo, code, 8, Num(code, 8),
            "soma dos campos " + Numbered(code, 6) + " e " + Numbered(code, 7),
            total);
  } else if (code == "P100") {
    const std::string& start = At(f_, 2);
    if (start.size() == 8) payrollByPeriod_[start.substr(2)] += Num(code, 10);
  } else if (code == "P200") {
    payrollTotals_.push_back({lineNo, At(f_, 2), Num(code, 3)});
  }
}

void SumRules::CloseCredit() {
  if (credit_.active && credit_.hasChildren) {
    const std::string detail = credit_.code == "M100" ? "M105" : "M505";
    Compare(credit_.line, credit_.code, 4, credit_.declared,
            "soma de " + NameOf(detail, 7) + " das linhas " + detail, credit_.sum);
  }
  credit_.active = false;
}

void SumRules::CloseExempt() {
  if (exempt_.active) {
    const std::string detail = exempt_.code == "M400" ? "M410" : "M810";
    Compare(exempt_.line, exempt_.code, 3, exempt_.declared,
            "soma de " + NameOf(detail, 3) + " das linhas " + detail, exempt_.sum);
  }
  exempt_.active = false;
}

void SumRules::CloseConsolidation() {
  Consolidation& c = consolidation_;
  if (!c.active) return;
  c.active = false;
  const bool pis = c.code == "M200";
  const std::string detail = pis ? "M210" : "M610", debit = pis ? "M205" : "M605", credit = pis ? "M100" : "M500";
  Compare(c.line, c.code, 2, c.contribution,
          "soma de VL_CONT_PER das linhas " + detail + " de COD_CONT 01, 02, 03, 04, 32 e 71", c.detailSum);
  Compare(c.line, c.code, 3, c.creditUsed, "soma de " + NameOf(credit, 14) + " das linhas " + credit,
          creditUsed_[pis ? 0 : 1]);
  if (!c.anyDebit && !DebitDetailsRequired(periodStart_)) return;
  for (const auto& [field, declared, sum] :
       {std::tuple<size_t, Amount, Amount>{8, c.nonCumulativeDue, c.debit08}, {12, c.cumulativeDue, c.debit12}})
    if (declared.state == Amount::kKnown && ExactDecimal() < declared.value)
      Compare(c.line, c.code, field, declared,
              "soma de " + NameOf(debit, 4) + " das linhas " + debit + " de NUM_CAMPO " +
                  (field == 8 ? "08" : "12"),
              sum);
}

void SumRules::Finish() {
  CloseCredit();
  CloseExempt();
  CloseConsolidation();
  for (const PeriodTotal& t : payrollTotals_) {
    auto it = payrollByPeriod_.find(t.period);
    const Amount sum = it == payrollByPeriod_.end() ? Amount() : it->second;
    Compare(t.line, "P200", 3, t.declared,
            "soma de " + NameOf("P100", 10) + " das linhas P100 do período " + t.period, sum);
  }
}
