// The sums the validator checks between records, checked line by line in one
// pass: credits against their bases, consolidations against their details and
// credits, debit details, exempt revenue details, credit control (1100/1500)
// and payroll contribution (P100/P200). Amounts are read by the reader of EFD
// amounts (blocks/efd_amount.h) and compared exactly; a sum with an amount
// that cannot be read is not compared (the amount itself is a finding of the
// amount rules), and a sum that leaves the exact range is reported.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "blocks/exact_decimal.h"

// Which sums a check applies.
enum class SumScope {
  kAll,    // every sum: a file as it stands (`quelvar check`, the merged file)
  kInput,  // an input of a merge: every sum but Block M's, which the merge recomputes
};

class SumRules {
 public:
  // Receives each finding: the line it concerns, its record code, the message.
  using Report = std::function<void(int64_t line, std::string_view code, std::string message)>;

  explicit SumRules(Report report, SumScope scope = SumScope::kAll)
      : report_(std::move(report)), scope_(scope) {}

  // Takes the next line of the file (its number, its record code, the whole line).
  void Line(int64_t lineNo, std::string_view code, std::string_view line);
  // Checks the sums still open at the end of the file.
  void Finish();

  // An amount of the file, or a sum of such amounts.
  struct Amount {
    enum State { kKnown, kUnreadable, kOverflow };
    ExactDecimal value;
    State state = kKnown;
    // The sum; unreadable when an operand is, out of range when it leaves
    // the exact range (never wraps).
    Amount& operator+=(const Amount& o);
  };

 private:
  // A parent line whose children's sum must equal one of its fields.
  struct Pending {
    int64_t line = 0;
    std::string code;
    Amount declared, sum;
    bool active = false, hasChildren = false;
  };
  // A consolidation (M200/M600) and what its details add up to.
  struct Consolidation {
    int64_t line = 0;
    std::string code;
    Amount contribution, creditUsed, nonCumulativeDue, cumulativeDue;
    Amount detailSum, debit08, debit12;
    bool active = false, anyDebit = false;
  };

  Amount Num(std::string_view code, size_t k) const;
  void CloseCredit();
  void CloseExempt();
  void CloseConsolidation();
  // Reports, on `line` of `code`, that field k (`declared`) differs from
  // `sum`, which `what` describes ("soma de VL_REC das linhas M410"), or that
  // the sum left the exact range; nothing when they agree or either could
  // not be read.
  void Compare(int64_t line, std::string_view code, size_t k, const Amount& declared, const std::string& what,
               const Amount& sum);

  Report report_;
  SumScope scope_;
  std::vector<std::string> f_;  // fields of the current line, f_[1] the code
  std::string periodStart_;     // 0000 DT_INI, "ddmmyyyy"
  std::string codIncTrib_;      // 0110 COD_INC_TRIB
  Pending credit_, exempt_;
  Consolidation consolidation_;
  Amount creditUsed_[2];  // Σ VL_CRED_DESC of M100 (0) and M500 (1)
  std::map<std::string, Amount> payrollByPeriod_;  // P100 "mmyyyy" -> Σ VL_CONT_APU
  struct PeriodTotal {
    int64_t line;
    std::string period;
    Amount declared;
  };
  std::vector<PeriodTotal> payrollTotals_;  // P200 lines
};
