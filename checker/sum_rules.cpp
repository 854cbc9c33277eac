#include "checker/sum_rules.h"

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

ExactDecimal Num(const std::vector<std::string>& f, size_t k) { return ExactDecimal::ParseOrZero(At(f, k)); }

std::string Text(ExactDecimal v) { return v.Text(ExactDecimal::kPlaces); }

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

void SumRules::Line(int64_t lineNo, std::string_view code, std::string_view line) {
  if (code.empty()) return;
  const char block = code[0];
  if (block != 'M' && block != '0' && block != '1' && block != 'P') return;
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
    credit_ = {lineNo, std::string(code), Num(f_, 4), ExactDecimal(), true, false};
    creditUsed_[tax] += Num(f_, 14);
  } else if ((code == "M105" || code == "M505") && credit_.active) {
    credit_.sum += Num(f_, 7);
    credit_.hasChildren = true;
  } else if (code == "M400" || code == "M800") {
    exempt_ = {lineNo, std::string(code), Num(f_, 3), ExactDecimal(), true, false};
  } else if ((code == "M410" || code == "M810") && exempt_.active) {
    exempt_.sum += Num(f_, 3);
    exempt_.hasChildren = true;
  } else if (code == "M200" || code == "M600") {
    consolidation_ = {};
    consolidation_.line = lineNo, consolidation_.code = std::string(code), consolidation_.active = true;
    consolidation_.contribution = Num(f_, 2), consolidation_.creditUsed = Num(f_, 3);
    consolidation_.nonCumulativeDue = Num(f_, 8), consolidation_.cumulativeDue = Num(f_, 12);
  } else if ((code == "M210" || code == "M610") && consolidation_.active) {
    // VL_CONT_PER is the last field in every version of the layout.
    const std::string& cod = At(f_, 2);
    const bool nonCumulative = cod == "01" || cod == "02" || cod == "03" || cod == "04" || cod == "71" ||
                               (cod == "32" && codIncTrib_ != "2");
    if (nonCumulative) consolidation_.detailSum += Num(f_, f_.size() - 1);
  } else if ((code == "M205" || code == "M605") && consolidation_.active) {
    consolidation_.anyDebit = true;
    const std::string& field = At(f_, 2);
    if (field == "08" || field == "8") consolidation_.debit08 += Num(f_, 4);
    if (field == "12") consolidation_.debit12 += Num(f_, 4);
  } else if (code == "1100" || code == "1500") {
    const ExactDecimal total = Num(f_, 6) + Num(f_, 7);
    if (!(Num(f_, 8) == total))
      report_(lineNo, code,
              "field 08 (" + Text(Num(f_, 8)) + ") is not field 06 + field 07 (" + Text(total) + ")");
  } else if (code == "P100") {
    const std::string& start = At(f_, 2);
    if (start.size() == 8) payrollByPeriod_[start.substr(2)] += Num(f_, 10);
  } else if (code == "P200") {
    payrollTotals_.push_back({lineNo, At(f_, 2), Num(f_, 3)});
  }
}

void SumRules::CloseCredit() {
  if (credit_.active && credit_.hasChildren && !(credit_.sum == credit_.declared))
    report_(credit_.line, credit_.code,
            "field 04 (" + Text(credit_.declared) + ") is not the sum of VL_BC of its " +
                (credit_.code == "M100" ? "M105" : "M505") + " lines (" + Text(credit_.sum) + ")");
  credit_.active = false;
}

void SumRules::CloseExempt() {
  if (exempt_.active && !(exempt_.sum == exempt_.declared))
    report_(exempt_.line, exempt_.code,
            "VL_TOT_REC (" + Text(exempt_.declared) + ") is not the sum of VL_REC of its " +
                (exempt_.code == "M400" ? "M410" : "M810") + " lines (" + Text(exempt_.sum) + ")");
  exempt_.active = false;
}

void SumRules::CloseConsolidation() {
  Consolidation& c = consolidation_;
  if (!c.active) return;
  c.active = false;
  const bool pis = c.code == "M200";
  const std::string detail = pis ? "M210" : "M610", debit = pis ? "M205" : "M605";
  if (!(c.contribution == c.detailSum))
    report_(c.line, c.code,
            "field 02 (" + Text(c.contribution) + ") is not the sum of VL_CONT_PER of its " + detail +
                " lines of COD_CONT 01, 02, 03, 04, 32, 71 (" + Text(c.detailSum) + ")");
  const ExactDecimal used = creditUsed_[pis ? 0 : 1];
  if (!(c.creditUsed == used))
    report_(c.line, c.code,
            "field 03 (" + Text(c.creditUsed) + ") is not the sum of VL_CRED_DESC of the " +
                (pis ? "M100" : "M500") + " lines (" + Text(used) + ")");
  if (!c.anyDebit && !DebitDetailsRequired(periodStart_)) return;
  for (const auto& [field, declared, sum] :
       {std::tuple<const char*, ExactDecimal, ExactDecimal>{"08", c.nonCumulativeDue, c.debit08},
        {"12", c.cumulativeDue, c.debit12}})
    if (ExactDecimal() < declared && !(declared == sum))
      report_(c.line, c.code,
              std::string("field ") + field + " (" + Text(declared) + ") is not the sum of its " + debit +
                  " lines of NUM_CAMPO " + field + " (" + Text(sum) + ")");
}

void SumRules::Finish() {
  CloseCredit();
  CloseExempt();
  CloseConsolidation();
  for (const PeriodTotal& t : payrollTotals_) {
    auto it = payrollByPeriod_.find(t.period);
    const ExactDecimal sum = it == payrollByPeriod_.end() ? ExactDecimal() : it->second;
    if (!(sum == t.declared))
      report_(t.line, "P200",
              "VL_TOT_CONT_APU (" + Text(t.declared) + ") is not the sum of VL_CONT_APU of the P100 lines of period " +
                  t.period + " (" + Text(sum) + ")");
  }
}
