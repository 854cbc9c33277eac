#include "wizard/input_validation.h"

#include <algorithm>
#include <string_view>

#include "checker/efd_check.h"
#include "checker/efd_rules.h"
#include "checker/line_reader.h"
#include "staging/line_field.h"
#include "wizard/header_fields.h"

namespace {

constexpr size_t kMaxListed = 50;


// The rules of an input file besides the checker's.
class InputRules {
 public:
  explicit InputRules(InputValidation& out) : out_(out) {}

  void Line(int64_t n, std::string_view line) {
    if (line.size() < 6 || line[0] != '|' || line[5] != '|') return;
    std::string_view code = line.substr(1, 4);
    if (code == "0000") {
      if (headLine_ == 0) headLine_ = n, headCnpj_ = LineField(line, 9);
      return;
    }
    if (code == "0140") {
      ++establishments_;
      std::string_view cnpj = LineField(line, 4);
      if (!IsCnpjText(cnpj))
        Problem(n, code, "o CNPJ do estabelecimento (campo 4) não tem 14 dígitos: \"" + Printable(cnpj) + "\"");
      if (cnpj == headCnpj_) headListed_ = true;
      if (firstEstablishmentLine_ == 0) firstEstablishmentLine_ = n;
    }
  }

  void Finish() {
    if (establishments_ == 0) {
      Problem(0, "0140", "o arquivo não tem registro 0140 (estabelecimento)");
    } else if (!headListed_ && IsCnpjText(headCnpj_)) {
      Problem(firstEstablishmentLine_, "0140",
              "nenhum registro 0140 tem o CNPJ do registro 0000 (" + headCnpj_ + ")");
    }
  }

 private:
  void Problem(int64_t n, std::string_view code, std::string message) {
    ++out_.problemCount;
    if (out_.problems.size() < kMaxListed) out_.problems.push_back({n, Printable(code), std::move(message)});
  }

  InputValidation& out_;
  std::string headCnpj_;
  int64_t establishments_ = 0, firstEstablishmentLine_ = 0;
  int64_t headLine_ = 0;  // the first 0000 line (the first line with a record, when the file is right)
  bool headListed_ = false;
};

}  // namespace

InputValidation ValidateInputFile(const std::string& path, const std::function<void(double bytes)>& read) {
  InputValidation out;
  LineReader reader;
  if (!reader.Open(path)) {
    out.readable = false;
    out.error = reader.Error();
    return out;
  }
  CheckReport report;
  EfdRules structure(report, SumScope::kInput, /*identicalCodesAreErrors=*/false, /*blankLinesAreErrors=*/false);
  InputRules input(out);
  std::string_view line;
  int64_t n = 0;
  double bytes = 0;
  while (reader.Next(line)) {
    structure.Line(line);
    input.Line(++n, line);
    bytes += static_cast<double>(line.size() + 2);
    if (read && n % 16384 == 0) read(bytes);
  }
  if (!reader.Error().empty()) {
    out.readable = false;
    out.error = reader.Error();
    return out;
  }
  structure.Finish();
  input.Finish();
  out.lines = report.lines;
  // The checker's findings, but for the number of fields of a line (older
  // layouts carry fewer; the import stores what is there).
  out.problemCount += report.errors - report.fieldCountErrors;
  for (const CheckProblem& p : report.problems)
    if (!p.warning && !p.fieldCount && out.problems.size() < kMaxListed * 2)
      out.problems.push_back({p.line, Printable(p.code), p.message, p.missing9900});
  // In line order, except that a code without its 9900 line (which every
  // code of a truncated file lacks) comes after the faults that explain it.
  auto rank = [](const InputProblem& p) { return p.followsOthers ? 1 : 0; };
  std::stable_sort(out.problems.begin(), out.problems.end(), [&](const InputProblem& a, const InputProblem& b) {
    return rank(a) != rank(b) ? rank(a) < rank(b) : a.line < b.line;
  });
  return out;
}

namespace {
struct CheckStopped {};  // thrown through ValidateInputFile to end it early
}  // namespace

InputValidationThread::InputValidationThread(std::string path) : path_(std::move(path)) {
  thread_ = std::thread([this] {
    try {
      result_ = ValidateInputFile(path_, [this](double) {
        if (stop_.load(std::memory_order_relaxed)) throw CheckStopped{};
      });
    } catch (const CheckStopped&) {
      // nobody waits for this verdict any more
    } catch (...) {
      failure_ = std::current_exception();
    }
    done_.store(true, std::memory_order_release);
  });
}

InputValidationThread::~InputValidationThread() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

const InputValidation& InputValidationThread::Wait() {
  if (thread_.joinable()) thread_.join();
  if (failure_) std::rethrow_exception(failure_);
  return result_;
}

std::string DescribeProblems(const InputValidation& v, size_t max) {
  std::string text;
  for (size_t i = 0; i < v.problems.size() && i < max; ++i) {
    const InputProblem& p = v.problems[i];
    if (!text.empty()) text += "; ";
    text += p.line > 0 ? "linha " + std::to_string(p.line) : std::string("arquivo");
    if (!p.code.empty()) text += " " + p.code;
    text += ": " + p.message;
  }
  if (v.problemCount > static_cast<int64_t>(std::min(max, v.problems.size()))) text += "; ...";
  return text;
}
