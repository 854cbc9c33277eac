// The sums the validator checks between records, checked line by line in one
// pass: credits against their bases, consolidations against their details and
// credits, debit details, exempt revenue details, credit control (1100/1500)
// and payroll contribution (P100/P200). Amounts are compared as exact decimals.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "blocks/exact_decimal.h"

class SumRules {
 public:
  // Receives each finding: the line it concerns, its record code, the message.
  using Report = std::function<void(int64_t line, std::string_view code, std::string message)>;

  explicit SumRules(Report report) : report_(std::move(report)) {}

  // Takes the next line of the file (its number, its record code, the whole line).
  void Line(int64_t lineNo, std::string_view code, std::string_view line);
  // Checks the sums still open at the end of the file.
  void Finish();

 private:
  // A parent line whose children's sum must equal one of its fields.
  struct Pending {
    int64_t line = 0;
    std::string code;
    ExactDecimal declared, sum;
    bool active = false, hasChildren = false;
  };
  // A consolidation (M200/M600) and what its details add up to.
  struct Consolidation {
    int64_t line = 0;
    std::string code;
    ExactDecimal contribution, creditUsed, nonCumulativeDue, cumulativeDue;
    ExactDecimal detailSum, debit08, debit12;
    bool active = false, anyDebit = false;
  };

  void CloseCredit();
  void CloseExempt();
  void CloseConsolidation();

  Report report_;
  std::vector<std::string> f_;  // fields of the current line, f_[1] the code
  std::string periodStart_;     // 0000 DT_INI, "ddmmyyyy"
  std::string codIncTrib_;      // 0110 COD_INC_TRIB
  Pending credit_, exempt_;
  Consolidation consolidation_;
  ExactDecimal creditUsed_[2];  // Σ VL_CRED_DESC of M100 (0) and M500 (1)
  std::map<std::string, ExactDecimal> payrollByPeriod_;  // P100 "mmyyyy" -> Σ VL_CONT_APU
  struct PeriodTotal {
    int64_t line;
    std::string period;
    ExactDecimal declared;
  };
  std::vector<PeriodTotal> payrollTotals_;  // P200 lines
};
