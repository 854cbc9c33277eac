#include "checker/efd_check.h"

#include "checker/efd_rules.h"
#include "checker/line_reader.h"

void CheckReport::Add(int64_t line, std::string_view code, std::string message, bool warning, bool fieldCount) {
  CheckProblem p;
  p.line = line;
  p.code.assign(code);
  p.message = std::move(message);
  p.warning = warning;
  p.fieldCount = fieldCount;
  Add(std::move(p));
}

void CheckReport::Add(CheckProblem problem) {
  (problem.warning ? warnings : errors)++;
  if (problem.warning) problem.fieldCount = false;
  if (problem.fieldCount) ++fieldCountErrors;
  if (problems.size() < kMaxListed) problems.push_back(std::move(problem));
}

std::string LineNumbersText(const std::vector<int64_t>& listed, int64_t count) {
  std::string text = count == 1 ? "linha " : "linhas ";
  for (size_t i = 0; i < listed.size(); ++i) text += (i ? ", " : "") + std::to_string(listed[i]);
  if (count > static_cast<int64_t>(listed.size())) text += ", ...";
  return text;
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

bool CheckEfdFile(const std::string& path, CheckReport& report, std::string& error,
                  const std::function<void(int64_t lines)>& lines) {
  report = CheckReport{};
  LineReader reader;
  if (!reader.Open(path)) {
    error = reader.Error();
    return false;
  }
  EfdRules rules(report);
  std::string_view line;
  for (int64_t n = 1; reader.Next(line); ++n) {
    rules.Line(line);
    if (lines && n % 16384 == 0) lines(n);
  }
  if (!reader.Error().empty()) {
    error = reader.Error();
    return false;
  }
  rules.Finish();
  return true;
}

void PrintCheckReport(const CheckReport& report, std::ostream& out) {
  for (const CheckProblem& p : report.problems) {
    out << "linha " << p.line;
    if (!p.code.empty()) out << " " << p.code;
    out << ": " << (p.warning ? "aviso: " : "") << p.message << "\n";
  }
  const int64_t listed = static_cast<int64_t>(report.problems.size());
  if (report.errors + report.warnings > listed)
    out << "... e mais " << (report.errors + report.warnings - listed) << " problema(s) não listado(s)\n";
  out << "bloco  linhas  X990\n";
  for (const CheckBlock& b : report.blocks) {
    std::string lines = std::to_string(b.lines);
    out << "  " << b.letter << "    " << lines << std::string(lines.size() < 8 ? 8 - lines.size() : 1, ' ')
        << (b.declared >= 0 ? std::to_string(b.declared) : std::string("-")) << "\n";
  }
  if (!report.layout.empty()) {
    out << "verificado pelo leiaute " << report.layout;
    if (report.declaredLayout != report.layout)
      out << " (o arquivo declara "
          << (report.declaredLayout.empty() ? std::string("nenhum leiaute") : "o leiaute " + report.declaredLayout)
          << ")";
    out << "\n";
  }
  out << report.lines << (report.lines == 1 ? " linha" : " linhas");
  if (report.blankLines > 0) out << " (e " << report.blankLines << " em branco)";
  out << ": ";
  if (report.Valid())
    out << "válido";
  else
    out << "NÃO válido, " << report.errors << (report.errors == 1 ? " erro" : " erros");
  if (report.warnings > 0) out << ", " << report.warnings << (report.warnings == 1 ? " aviso" : " avisos");
  out << "\n";
}

int RunCheckCommand(const std::string& path, std::ostream& out, std::ostream& err) {
  CheckReport report;
  std::string error;
  if (!CheckEfdFile(path, report, error)) {
    err << "quelvar check: não foi possível ler " << error << "\n";
    return 2;
  }
  PrintCheckReport(report, out);
  return report.Valid() ? 0 : 1;
}
