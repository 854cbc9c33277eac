#include "blocks/company_writer.h"

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <unordered_map>

#include "blocks/company_rules.h"
#include "blocks/efd_amount.h"
#include "blocks/exact_decimal.h"
#include "blocks/registry.h"
#include "staging/catalogue_layouts.h"
#include "staging/record_catalogue.h"
#include "staging/resources.h"
#include "staging/run_state.h"
#include "staging/text.h"

namespace {

// What the merge needs to know of one record code, built once per code.
struct CodePlan {
  const CatalogueRecord* record = nullptr;
  const CompanyRule* rule = nullptr;
  std::vector<std::string> columns;  // [k]: staging column of field k (k >= 1)
  std::vector<bool> key, summed;     // [k]: field k is a key / an amount the rule adds up
  std::vector<const CatalogueRecord*> children;  // children linked by ID_Pai, in layout order

  size_t Fields() const { return record->fields.size(); }
};

const CompanyRule kKeepAll{"", CompanyMerge::KeepAll, {}, false, ""};

// The plan of `code`; nullptr for a code the catalogue or the blocks do not
// know. Plans come from the catalogue alone: made once per code for the
// process, under a lock (runs on several threads share them).
const CodePlan* PlanOf(std::string_view code) {
  static std::mutex mutex;
  static std::map<std::string, CodePlan, std::less<>> plans;
  std::lock_guard<std::mutex> lock(mutex);
  auto it = plans.find(code);
  if (it != plans.end()) return &it->second;
  const CatalogueRecord* record = Layout006().Find(code);
  const LayoutSpec* layout = FindAnyLayout(code);
  if (!record || !layout) return nullptr;
  CodePlan p;
  p.record = record;
  p.rule = CompanyRuleFor(code);
  if (!p.rule) p.rule = &kKeepAll;
  const size_t n = record->fields.size();
  p.columns.resize(n + 1);
  p.key.assign(n + 1, false);
  p.summed.assign(n + 1, false);
  for (const FieldSpec& f : layout->fields)
    if (f.key > 0 && static_cast<size_t>(f.key) <= n) p.columns[f.key] = f.name;
  for (const CatalogueField& f : record->fields) {
    for (const char* k : p.rule->keys) p.key[f.number] = p.key[f.number] || f.name == k;
    p.summed[f.number] = IsSummedField(*p.rule, f.name, f.type, f.decimals);
  }
  for (const CatalogueRecord* c : record->children)
    if (ParentLinkColumn(c->code) == "ID_Pai") p.children.push_back(c);
  return &plans.emplace(std::string(code), std::move(p)).first->second;
}

struct Node;

// The merged lines of one record code under one parent, in the order their
// keys first came.
struct Siblings {
  std::vector<std::unique_ptr<Node>> nodes;
  std::unordered_map<std::string, Node*> byKey;
};

// One merged line: the kept fields, the running sums, what later lines of its
// key had different, and its children by code.
struct Node {
  std::vector<std::string> f;  // [k]: field k (f[1] the record code)
  std::vector<std::optional<ExactDecimal>> sums;  // [k]: sum of field k while some text was not empty
  std::string file;  // Id_Arquivo of the kept line's file
  std::vector<std::string> differing, otherFiles;  // field names; Id_Arquivo of the files that had them
  std::map<std::string, Siblings, std::less<>> children;
};

// The text of a column of the current row ("" for NULL).
std::string TextOf(const Value& v) {
  if (v.kind() == Value::Kind::Text) return v.TextRef();
  return v.IsNull() ? std::string() : v.AsText();
}

// The exact value of an amount to be added, read by the reader of EFD
// amounts; throws std::runtime_error naming the record, field and text when
// it cannot be read exactly.
ExactDecimal Amount(const CodePlan& p, size_t k, const std::string& text) {
  return EfdAmount(text, *p.record, p.record->fields[k - 1]);
}

// The key of a line under its rule: the key fields, the whole line for
// FirstOfKey without keys, "" for one group.
std::string KeyOf(const CodePlan& p, const std::vector<std::string>& f) {
  std::string key;
  const bool whole = p.rule->keys.empty() && p.rule->kind == CompanyMerge::FirstOfKey;
  for (size_t k = 2; k < f.size(); ++k)
    if (whole || p.key[k]) key.append(f[k]).push_back('\x1f');
  return key;
}

// Adds the amount `text` of field k to `into` (an empty text adds nothing, so
// a field empty in every line stays empty). Throws as Amount.
void Add(std::optional<ExactDecimal>& into, const CodePlan& p, size_t k, const std::string& text) {
  if (text.empty()) return;
  into = into.value_or(ExactDecimal()) + Amount(p, k, text);
}

// Merges the line `f` of the input file numbered `file` (Id_Arquivo) into
// `into` by the rule of its code; returns the node that stands for it.
Node* Merge(Siblings& into, const CodePlan& p, std::vector<std::string> f, const std::string& file) {
  const bool keepAll = p.rule->kind == CompanyMerge::KeepAll;
  const std::string key = keepAll ? std::string() : KeyOf(p, f);
  if (!keepAll) {
    auto it = into.byKey.find(key);
    if (it != into.byKey.end()) {
      Node* n = it->second;
      for (size_t k = 2; k < f.size(); ++k) {
        if (p.summed[k]) {
          Add(n->sums[k], p, k, f[k]);
        } else if (p.rule->warnWhenDiffering && !p.key[k] && f[k] != n->f[k]) {
          const std::string& name = p.record->fields[k - 1].name;
          if (std::find(n->differing.begin(), n->differing.end(), name) == n->differing.end())
            n->differing.push_back(name);
          if (std::find(n->otherFiles.begin(), n->otherFiles.end(), file) == n->otherFiles.end())
            n->otherFiles.push_back(file);
        }
      }
      return n;
    }
  }
  auto node = std::make_unique<Node>();
  node->sums.resize(f.size());
  for (size_t k = 2; k < f.size(); ++k)
    if (p.summed[k]) Add(node->sums[k], p, k, f[k]);
  node->f = std::move(f);
  node->file = file;
  Node* n = node.get();
  into.nodes.push_back(std::move(node));
  if (!keepAll) into.byKey.emplace(key, n);
  return n;
}

// Runs `sql` over the table of `p` and hands every row (its fields, identity,
// parent link and input file number, Id_Arquivo) to `row`.
template <class Row>
void ReadRows(RunContext& ctx, const CodePlan& p, const std::string& sql, Row row) {
  auto rs = ctx.connection->Execute(sql);
  std::vector<int> cols(p.Fields() + 1, -1);
  for (size_t k = 1; k <= p.Fields(); ++k) cols[k] = rs->FindColumn(p.columns[k]);
  const int id = rs->FindColumn("ID"), pai = rs->FindColumn("ID_Pai"), file = rs->FindColumn("Id_Arquivo");
  for (; !rs->Eof(); rs->MoveNext()) {
    std::vector<std::string> f(p.Fields() + 1);
    for (size_t k = 1; k <= p.Fields(); ++k)
      if (cols[k] >= 0) f[k] = TextOf(rs->Column(cols[k]));
    row(std::move(f), id >= 0 ? rs->Column(id).AsInt() : 0, pai >= 0 ? rs->Column(pai).AsInt() : 0,
        file >= 0 ? TextOf(rs->Column(file)) : std::string());
  }
}

// Reads the children of the rows of `parent` (their nodes by row identity in
// `parents`), one statement per child code, and merges each into the children
// of its parent's node; then their own children. Counts rows whose parent is
// missing in `orphans` (by code).
void ReadChildren(RunContext& ctx, const CodePlan& parent, const std::unordered_map<int64_t, Node*>& parents,
                  std::map<std::string, int64_t>& orphans) {
  for (const CatalogueRecord* c : parent.children) {
    const CodePlan* p = PlanOf(c->code);
    if (!p) continue;
    std::unordered_map<int64_t, Node*> where;
    ReadRows(ctx, *p, "SELECT * FROM ###" + c->code + " ORDER BY Id_Arquivo ASC, ID_Pai ASC, ID ASC",
             [&](std::vector<std::string> f, int64_t id, int64_t pai, const std::string& file) {
               auto it = parents.find(pai);
               if (it == parents.end()) {
                 ++orphans[c->code];
                 return;
               }
               Node* n = Merge(it->second->children[c->code], *p, std::move(f), file);
               if (!p->children.empty()) where.emplace(id, n);
             });
    ReadChildren(ctx, *p, where, orphans);
  }
}

// "DT_ALT 01012020, COD_CTA 1.01": the key of a merged line in words (empty
// key fields left out).
std::string KeyWords(const CodePlan& p, const Node& n) {
  std::string words;
  for (size_t k = 2; k < n.f.size(); ++k)
    if (p.key[k] && !n.f[k].empty()) words += (words.empty() ? "" : ", ") + p.record->fields[k - 1].name + " " + n.f[k];
  return words;
}

// The items separated by ", ".
std::string Joined(const std::vector<std::string>& items) {
  std::string out;
  for (const std::string& s : items) out += (out.empty() ? "" : ", ") + s;
  return out;
}

// "no arquivo b.txt" / "nos arquivos b.txt, c.txt": the input files numbered
// `files` (Id_Arquivo) by the names the user gave them. The parts of one CNPJ
// share their CNPJ, so a file is named by its name, never by its CNPJ.
std::string InFiles(RunContext& ctx, const std::vector<std::string>& files) {
  std::vector<std::string> names;
  for (const std::string& f : files) names.push_back(ctx.StagedFileName(f));
  return (names.size() == 1 ? "no arquivo " : "nos arquivos ") + Joined(names);
}

// Writes the merged lines of `s` with their children, counting lines per code.
void WriteSiblings(RunContext& ctx, const CodePlan& p, Siblings& s, int depth, std::map<std::string, int32_t>& counts) {
  for (const auto& node : s.nodes) {
    Node& n = *node;
    std::string line = "|";
    for (size_t k = 1; k < n.f.size(); ++k) {
      if (n.sums[k]) n.f[k] = n.sums[k]->Text(ExactDecimal::kPlaces);
      line.append(n.f[k]).push_back('|');
    }
    md_WriteText(ctx, p.record->code, line);
    const int32_t done = ++counts[p.record->code];
    md_ShowProgress(ctx, depth == 0 ? 3 : 4, p.record->code, done, 0);
    if (!n.differing.empty())
      ReportError(ctx.ports, "Quelvar", "registros da empresa",
                  "registro " + p.record->code + " de " + KeyWords(p, n) + ": " + Joined(n.differing) +
                      " diferente(s) " + InFiles(ctx, n.otherFiles) + "; gravado o do arquivo " +
                      ctx.StagedFileName(n.file),
                  1);
    for (const CatalogueRecord* c : p.children) {
      auto it = n.children.find(c->code);
      if (it != n.children.end()) WriteSiblings(ctx, *PlanOf(c->code), it->second, depth + 1, counts);
    }
  }
}

}  // namespace

int64_t WriteCompanyRecords(RunContext& ctx, std::string_view code) {
  const CodePlan* p = PlanOf(code);
  if (!p) return 0;
  Siblings top;
  std::unordered_map<int64_t, Node*> where;
  // In list order (the input files' numbers follow the list), each file's rows in load order.
  ReadRows(ctx, *p, "SELECT * FROM ###" + std::string(code) + " ORDER BY Id_Arquivo ASC, ID ASC",
           [&](std::vector<std::string> f, int64_t id, int64_t, const std::string& file) {
             Node* n = Merge(top, *p, std::move(f), file);
             if (!p->children.empty()) where.emplace(id, n);
           });
  std::map<std::string, int64_t> orphans;
  ReadChildren(ctx, *p, where, orphans);

  std::map<std::string, int32_t> counts;
  WriteSiblings(ctx, *p, top, 0, counts);
  int64_t total = 0;
  for (const auto& [reg, n] : counts) {
    md_AddRecordCount(ctx, reg, n);
    total += n;
  }
  for (const auto& [reg, n] : orphans)
    ReportError(ctx.ports, "Quelvar", "registros da empresa",
                std::to_string(n) + " linha(s) do registro " + reg + " sem o registro pai (" +
                    Layout006().Find(reg)->parentCode + ") no seu arquivo; não gravadas",
                1);
  return total;
}

std::vector<std::string> CompanyLevelCodes(char block) {
  std::vector<std::string> codes;
  for (const CatalogueRecord* r : Layout006().BlockRecords(block))
    if (r->level == 2 && CompanyRuleFor(r->code)) codes.push_back(r->code);
  return codes;
}

bool HasCompanyRows(RunContext& ctx, char block) {
  for (const std::string& code : CompanyLevelCodes(block))
    if (!ctx.connection->Execute("SELECT TOP(1) ID FROM ###" + code)->Eof()) return true;
  return false;
}
