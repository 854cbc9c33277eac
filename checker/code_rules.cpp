#include "checker/code_rules.h"

#include <mutex>
#include <vector>

#include "staging/line_field.h"
#include "staging/text.h"

namespace {

// The positions in the line (REG = 1) of the key fields of the table `kind`,
// found once (the merged file's check runs on a thread of its own).
const std::vector<size_t>& KeyFields(int kind, const CatalogueRecord& record) {
  static std::vector<size_t> fields[kCodeKinds];
  static std::once_flag built[kCodeKinds];
  std::call_once(built[kind], [&] {
    for (std::string_view name : CodeTableKey(kind))
      if (const CatalogueField* f = record.Field(name)) fields[kind].push_back(static_cast<size_t>(f->number));
  });
  return fields[kind];
}

// FNV-1a over the fields of the line, blanks around each trimmed.
uint64_t ContentHash(std::string_view line) {
  uint64_t h = 14695981039346656037ull;
  size_t start = 1;
  while (start < line.size()) {
    size_t bar = line.find('|', start);
    if (bar == std::string_view::npos) bar = line.size();
    for (char c : TrimBlanks(line.substr(start, bar - start))) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    h = (h ^ 0x1f) * 1099511628211ull;
    start = bar + 1;
  }
  return h;
}

std::string Quoted(std::string_view v) { return "\"" + std::string(v) + "\""; }

}  // namespace

void CodeRules::Line(int64_t n, const CatalogueRecord& record, std::string_view line) {
  if (record.code == "0140") {
    establishment_.assign(TrimBlanks(LineField(line, 4)));
    return;
  }
  const int kind = CodeTableKind(record.code);
  if (kind < 0) return;
  const bool ofEstablishment = kind < kCodeAccount;
  std::string key = ofEstablishment ? establishment_ : std::string();
  std::string words;  // "COD_PART \"F1\"", the key in words
  for (size_t k : KeyFields(kind, record)) {
    const std::string_view v = TrimBlanks(LineField(line, k));
    key.append("\x1f").append(v);
    if (!v.empty()) words += (words.empty() ? "" : ", ") + record.fields[k - 1].name + " " + Quoted(v);
  }
  const Definition now{n, ContentHash(line)};
  auto [it, added] = defined_[kind].try_emplace(std::move(key), now);
  if (added) return;
  const Definition& first = it->second;
  const std::string where =
      ofEstablishment ? " do estabelecimento de CNPJ " + Quoted(establishment_) : std::string(" do arquivo");
  if (first.content != now.content) {
    report_.Add(n, record.code,
                "registro " + record.code + " com " + words + " já definido na linha " + std::to_string(first.line) +
                    where + " com outro conteúdo: um código não pode ser duplicado nem atribuído a " +
                    "cadastros diferentes");
  } else {
    report_.Add(n, record.code,
                "registro " + record.code + " com " + words + " repetido: a linha " + std::to_string(first.line) +
                    where + " já o define com o mesmo conteúdo" +
                    (identicalIsError_ ? " (o código não pode ser duplicado)" : "; gravado uma vez"),
                !identicalIsError_);
  }
}
