#include "checker/efd_check.h"

#include "checker/efd_rules.h"
#include "checker/line_reader.h"

void CheckReport::Add(int64_t line, std::string_view code, std::string message, bool warning, bool fieldCount) {
  (warning ? warnings : errors)++;
  if (fieldCount && !warning) ++fieldCountErrors;
  if (problems.size() < kMaxListed)
    problems.push_back({line, std::string(code), std::move(message), warning, fieldCount && !warning});
}

CheckReport CheckEfdText(std::string_view bytes) {
  CheckReport report;
  EfdRules rules(report);
  TextLines lines(bytes);
  std::string_view line;
  while (lines.Next(line)) rules.Line(line);
  rules.Finish();
  return report;
}

bool CheckEfdFile(const std::string& path, CheckReport& report, std::string& error) {
  report = CheckReport{};
  LineReader reader;
  if (!reader.Open(path)) {
    error = reader.Error();
    return false;
  }
  EfdRules rules(report);
  std::string_view line;
  while (reader.Next(line)) rules.Line(line);
  if (!reader.Error().empty()) {
    error = reader.Error();
    return false;
  }
  rules.Finish();
  return true;
}

void PrintCheckReport(const CheckReport& report, std::ostream& out) {
  for (const CheckProblem& p : report.problems) {
    out << "line " << p.line;
    if (!p.code.empty()) out << " " << p.code;
    out << ": " << (p.warning ? "warning: " : "") << p.message << "\n";
  }
  const int64_t listed = static_cast<int64_t>(report.problems.size());
  if (report.errors + report.warnings > listed)
    out << "... and " << (report.errors + report.warnings - listed) << " more findings not listed\n";
  out << "block  lines  X990\n";
  for (const CheckBlock& b : report.blocks) {
    std::string lines = std::to_string(b.lines);
    out << "  " << b.letter << "    " << lines << std::string(lines.size() < 7 ? 7 - lines.size() : 1, ' ')
        << (b.declared >= 0 ? std::to_string(b.declared) : std::string("-")) << "\n";
  }
  if (!report.layout.empty()) {
    out << "checked against layout " << report.layout;
    if (report.declaredLayout != report.layout)
      out << " (the file declares " << (report.declaredLayout.empty() ? std::string("no layout") : "layout " + report.declaredLayout) << ")";
    out << "\n";
  }
  out << report.lines << " lines: ";
  if (report.Valid())
    out << "valid";
  else
    out << "NOT valid, " << report.errors << (report.errors == 1 ? " error" : " errors");
  if (report.warnings > 0) out << ", " << report.warnings << (report.warnings == 1 ? " warning" : " warnings");
  out << "\n";
}

int RunCheckCommand(const std::string& path, std::ostream& out, std::ostream& err) {
  CheckReport report;
  std::string error;
  if (!CheckEfdFile(path, report, error)) {
    err << "quelvar check: cannot read " << error << "\n";
    return 2;
  }
  PrintCheckReport(report, out);
  return report.Valid() ? 0 : 1;
}
