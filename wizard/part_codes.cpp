#include "wizard/part_codes.h"

#include <filesystem>
#include <mutex>
#include <stdexcept>
#include <unordered_map>

#include "blocks/record_links.h"
#include "blocks/registry.h"
#include "checker/line_reader.h"
#include "staging/catalogue_layouts.h"
#include "staging/line_field.h"
#include "staging/record_catalogue.h"
#include "staging/resources.h"
#include "staging/run_state.h"
#include "staging/text.h"

namespace {

// A field of a record that holds a code: its position (REG = 1), its kind,
// whether it is the code its table defines.
struct CodeField {
  size_t number;
  int kind;
  bool defines;
};

// The code fields of `record`, in line order (built once per record).
const std::vector<CodeField>& CodeFieldsOf(const CatalogueRecord& record) {
  // From the catalogue alone, shared by the runs of every thread.
  static std::mutex mutex;
  static std::unordered_map<const CatalogueRecord*, std::vector<CodeField>> cache;
  std::lock_guard<std::mutex> lock(mutex);
  auto [it, added] = cache.try_emplace(&record);
  if (added)
    for (const CatalogueField& f : record.fields)
      if (int kind = CodeKindOfField(f.name); kind >= 0)
        it->second.push_back({static_cast<size_t>(f.number), kind,
                              record.code == kCodeTable[kind] && f.name != "UNID_INV"});
  return it->second;
}

// A field as the staging tables hold it: trimmed, upper-cased unless it holds
// a code (codes keep their case).
std::string Stored(std::string_view v, bool code) {
  v = TrimBlanks(v);
  return code ? std::string(v) : UpperLatin1(v);
}

// "v1\x1fv2\x1f...": fields 2.. of a line, for comparing contents.
std::string Signature(const std::vector<std::string>& fields) {
  std::string s;
  for (size_t k = 2; k < fields.size(); ++k) s.append(fields[k]).push_back('\x1f');
  return s;
}

// The table's key of a line: its scope and its key fields.
std::string KeyOf(int kind, const CatalogueRecord& record, const std::string& scope,
                  const std::vector<std::string>& fields) {
  std::string key = scope;
  for (std::string_view name : CodeTableKey(kind))
    if (const CatalogueField* f = record.Field(name))
      key.append("\x1f").append(static_cast<size_t>(f->number) < fields.size() ? fields[f->number] : "");
  return key;
}

std::string TextOf(const Value& v) {
  if (v.IsNull()) return {};
  return v.kind() == Value::Kind::Text ? v.TextRef() : v.AsText();
}

// Fields 1.. of the current row by the columns `cols` ([k]: column of field k).
std::vector<std::string> RowFields(Recordset& rs, const std::vector<int>& cols) {
  std::vector<std::string> fields(cols.size());
  for (size_t k = 1; k < cols.size(); ++k)
    if (cols[k] >= 0) fields[k] = TextOf(rs.Column(cols[k]));
  return fields;
}

// The staged children of the rows of `table` (an item's 0205, 0206, 0208) by
// the parent's identity: "<code>|<signature>\n" per child line, in the
// layout's order of codes and then load order, as a file gives them.
std::map<int64_t, std::string> StagedChildren(RunContext& run, const CatalogueRecord& table) {
  std::map<int64_t, std::string> out;
  for (const CatalogueRecord* child : table.children) {
    const LayoutSpec* spec = FindAnyLayout(child->code);
    if (!spec) continue;
    const std::string link(ParentLinkColumn(child->code));
    if (link.empty()) continue;
    auto rs = run.connection->Execute("SELECT * FROM ###" + child->code + " ORDER BY " + link + " ASC");
    std::vector<int> cols(child->fields.size() + 1, -1);
    for (const FieldSpec& f : spec->fields)
      if (f.key > 0 && static_cast<size_t>(f.key) < cols.size()) cols[f.key] = rs->FindColumn(f.name);
    const int pai = rs->FindColumn(link);
    if (pai < 0) continue;
    for (; !rs->Eof(); rs->MoveNext())
      out[rs->Column(pai).AsInt()].append(child->code).append("|").append(Signature(RowFields(*rs, cols))).append("\n");
  }
  return out;
}

// One table line of the part's Block 0, as stored, with its establishment.
struct PartLine {
  int kind;
  const CatalogueRecord* record;
  std::string scope;
  std::vector<std::string> fields;  // [k]: field k as stored (fields[1] the record code)
  std::string children;             // its children's lines, as StagedChildren gives them
  int64_t line;
};

std::string Quoted(std::string_view v) { return "\"" + std::string(v) + "\""; }

}  // namespace

std::string RenamedCode(const std::string& code, size_t size, const std::set<std::string>& used) {
  for (int n = 2;; ++n) {
    const std::string suffix = "_" + std::to_string(n);
    std::string base = code;
    if (size > 0 && base.size() + suffix.size() > size) base.resize(size > suffix.size() ? size - suffix.size() : 0);
    std::string name = base + suffix;
    if (!used.count(name)) return name;
  }
}

std::vector<std::string> PartCodes::Begin(RunContext& run, const std::string& path) {
  renamed_.clear();
  anyScope_.clear();
  scope_.clear();
  std::map<std::string, std::string> known[kCodeKinds];  // key -> signature, of the earlier parts
  std::map<std::string, std::set<std::string>> used[kCodeKinds];  // scope -> codes in use

  for (int kind = 0; kind < kCodeKinds; ++kind) {
    const CatalogueRecord* record = Layout006().Find(kCodeTable[kind]);
    const LayoutSpec* spec = FindAnyLayout(kCodeTable[kind]);
    if (!record || !spec) continue;
    auto rs = run.connection->Execute("SELECT * FROM ###" + std::string(kCodeTable[kind]) + " ORDER BY ID ASC");
    std::vector<int> cols(record->fields.size() + 1, -1);
    for (const FieldSpec& f : spec->fields)
      if (f.key > 0 && static_cast<size_t>(f.key) < cols.size()) cols[f.key] = rs->FindColumn(f.name);
    const int cnpjCol = rs->FindColumn("Id_CNPJ");
    size_t codeField = 0;
    for (const CodeField& f : CodeFieldsOf(*record))
      if (f.defines) codeField = f.number;
    const std::map<int64_t, std::string> children = StagedChildren(run, *record);
    const int idCol = rs->FindColumn("ID");
    for (; !rs->Eof(); rs->MoveNext()) {
      std::vector<std::string> fields = RowFields(*rs, cols);
      const std::string scope = kind < kCodeAccount && cnpjCol >= 0 ? TextOf(rs->Column(cnpjCol)) : std::string();
      auto own = idCol >= 0 ? children.find(rs->Column(idCol).AsInt()) : children.end();
      known[kind].try_emplace(KeyOf(kind, *record, scope, fields),
                              Signature(fields) + "\n" + (own == children.end() ? std::string() : own->second));
      used[kind][scope].insert(fields[codeField]);
    }
  }

  // The part's own tables (Block 0 comes first; nothing after it defines codes).
  LineReader reader;
  if (!reader.Open(path)) throw std::runtime_error(reader.Error());
  std::vector<PartLine> lines;
  std::string scope;
  std::string_view text;
  std::vector<std::string_view> elems;
  for (int64_t n = 1; reader.Next(text); ++n) {
    if (text.empty()) continue;
    if (text.size() < 2 || text[0] != '|' || text[1] != '0') break;
    SplitBars(text, elems);
    if (elems.size() < 2) continue;
    if (elems[1] == "0140") scope = elems.size() > 4 ? UpperLatin1(TrimBlanks(elems[4])) : std::string();
    const CatalogueRecord* record = Layout006().Find(elems[1]);
    if (!record) continue;
    const int kind = CodeTableKind(elems[1]);
    if (kind < 0) {
      // A child of a table's line (an item's 0205, 0206, 0208) is part of its contents.
      if (!lines.empty() && record->parent == lines.back().record) {
        std::vector<std::string> fields(record->fields.size() + 1);
        for (size_t k = 1; k < fields.size() && k < elems.size(); ++k) fields[k] = Stored(elems[k], false);
        lines.back().children.append(record->code).append("|").append(Signature(fields)).append("\n");
      }
      continue;
    }
    PartLine l{kind, record, kind < kCodeAccount ? scope : std::string(), {}, {}, n};
    l.fields.resize(record->fields.size() + 1);
    std::vector<bool> code(l.fields.size(), false);
    for (const CodeField& f : CodeFieldsOf(*record)) code[f.number] = true;
    for (size_t k = 1; k < l.fields.size() && k < elems.size(); ++k) l.fields[k] = Stored(elems[k], code[k]);
    for (const CodeField& f : CodeFieldsOf(*record))
      if (f.defines) used[kind][l.scope].insert(l.fields[f.number]);
    lines.push_back(std::move(l));
  }
  if (!reader.Error().empty()) throw std::runtime_error(reader.Error());

  // In file order: references to codes renamed already follow them (an item's
  // unit), then a line whose key an earlier part gave other contents renames
  // its code.
  const std::string file = std::filesystem::path(path).filename().string();
  std::vector<std::string> notices;
  for (PartLine& l : lines) {
    const CodeField* defining = nullptr;
    for (const CodeField& f : CodeFieldsOf(*l.record)) {
      if (f.defines) {
        defining = &f;
        continue;
      }
      auto it = renamed_.find({f.kind, f.kind < kCodeAccount ? l.scope : std::string(), l.fields[f.number]});
      if (it != renamed_.end()) l.fields[f.number] = it->second;
    }
    if (!defining) continue;
    auto earlier = known[l.kind].find(KeyOf(l.kind, *l.record, l.scope, l.fields));
    if (earlier == known[l.kind].end() || earlier->second == Signature(l.fields) + "\n" + l.children) continue;
    const std::string& old = l.fields[defining->number];
    Scoped at{l.kind, l.scope, old};
    if (renamed_.count(at)) continue;
    const CatalogueField& field = l.record->fields[defining->number - 1];
    std::set<std::string>& inUse = used[l.kind][l.scope];
    const std::string name = RenamedCode(old, static_cast<size_t>(field.size), inUse);
    inUse.insert(name);
    renamed_.emplace(at, name);
    anyScope_.try_emplace({l.kind, old}, name);
    notices.push_back("Arquivo " + file + ", linha " + std::to_string(l.line) + ": o registro " + l.record->code +
                      " com " + field.name + " " + Quoted(old) +
                      (l.scope.empty() ? std::string() : " (estabelecimento de CNPJ " + l.scope + ")") +
                      " tem outro conteúdo em um arquivo já importado do mesmo CNPJ; neste arquivo o código passa "
                      "a ser " + Quoted(name) + ", também nas linhas que o citam");
  }
  return notices;
}

void PartCodes::Rewrite(std::string_view code, std::string& line) {
  if (renamed_.empty()) return;
  if (code == "0140" || record_links::IsEstablishmentRecord(code)) {
    scope_ = UpperLatin1(TrimBlanks(LineField(line, code == "0140" ? 4 : 2)));
    return;
  }
  const CatalogueRecord* record = Layout006().Find(code);
  if (!record || CodeFieldsOf(*record).empty()) return;
  const bool ofEstablishment = !record_links::EstablishmentOf(code).empty();
  std::vector<std::string_view> elems;
  SplitBars(line, elems);
  std::vector<std::pair<size_t, std::string>> renames;  // field number -> new code
  for (const CodeField& f : CodeFieldsOf(*record)) {
    if (f.number >= elems.size()) continue;
    const std::string value(TrimBlanks(elems[f.number]));
    const std::string* to = nullptr;
    if (f.kind >= kCodeAccount || ofEstablishment) {
      auto it = renamed_.find({f.kind, f.kind >= kCodeAccount ? std::string() : scope_, value});
      if (it != renamed_.end()) to = &it->second;
    } else {
      auto it = anyScope_.find({f.kind, value});
      if (it != anyScope_.end()) to = &it->second;
    }
    if (to) renames.emplace_back(f.number, *to);
  }
  if (renames.empty()) return;
  // The line again, with the renamed fields.
  std::string out;
  out.reserve(line.size() + 8);
  for (size_t k = 1; k < elems.size(); ++k) {
    out.push_back('|');
    const std::string* to = nullptr;
    for (const auto& [number, name] : renames)
      if (number == k) to = &name;
    out.append(to ? std::string_view(*to) : elems[k]);
  }
  line = std::move(out);
}
