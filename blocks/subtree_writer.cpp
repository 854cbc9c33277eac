#include "blocks/subtree_writer.h"

#include <memory>
#include <map>
#include <optional>
#include <stdexcept>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "blocks/block_statement.h"
#include "blocks/efd_amount.h"
#include "blocks/registry.h"
#include "staging/catalogue_layouts.h"
#include "staging/ledger.h"
#include "staging/record_catalogue.h"
#include "staging/resources.h"
#include "staging/run_state.h"
#include "staging/text.h"

namespace {

// One record code of the subtree during one establishment pass: its open
// result, ordered by parent identity and load order, and the cursors of its
// children.
struct Cursor {
  std::string reg;
  Objeto_Collection layout;
  std::unique_ptr<Recordset> rs;
  int idCol = -1;      // own identity, -1 when the table has none
  int parentCol = -1;  // parent link, -1 for records directly under the establishment
  int keyCol = -1;     // dedup key column, -1 when not deduplicated
  int lineCol = -1;    // the line's text
  int fileCol = -1;    // the input file's number (Id_Arquivo), read for lines merged once per pass
  bool oncePerPass = false;  // at most one line per establishment (0145)
  int64_t total = 0;         // rows of the establishment (0 when not counted)
  int64_t lo = 0, hi = -1;   // range of the establishment's identities (hi < lo: none)
  int32_t written = 0;
  std::vector<std::unique_ptr<Cursor>> children;
};

// "SELECT COUNT(*), MIN(ID), MAX(ID)" of the establishment's rows of `reg`.
void ReadRange(RunContext& ctx, Cursor& c, const std::string& cnpjOperand, SubtreeStats& stats) {
  auto rs = ctx.connection->Execute("SELECT COUNT(*) AS N, MIN(ID) AS Lo, MAX(ID) AS Hi FROM ###" + c.reg +
                                  " WHERE Id_CNPJ = (" + cnpjOperand + ")");
  ++stats.statements;
  if (rs->Eof() || rs->Column(1).IsNull()) return;
  c.total = rs->Column(0).AsInt();
  c.lo = rs->Column(1).AsInt();
  c.hi = rs->Column(2).AsInt();
}

// True when the rows of `reg` carry an identity of their own.
bool HasIdentity(std::string_view reg) {
  const LayoutSpec* spec = FindAnyLayout(reg);
  return spec && spec->pkIdentity;
}

// Opens the cursor of `reg` and, recursively, those of its children with rows.
// `parent` is null for a record directly under the establishment record.
std::unique_ptr<Cursor> Open(RunContext& ctx, const CatalogueRecord& rec, const Cursor* parent, const std::string& cnpjOperand,
                             const std::set<std::string, std::less<>>& withRows, bool dedup,
                             SubtreeStats& stats) {
  auto c = std::make_unique<Cursor>();
  c->reg = rec.code;
  const bool identity = HasIdentity(rec.code);
  if (identity) {
    ReadRange(ctx, *c, cnpjOperand, stats);
    if (c->hi < c->lo) return nullptr;  // nothing of this establishment
  }
  if (parent && parent->hi < parent->lo) return nullptr;

  c->layout = BuildLayout(ctx, FindBlock(rec.block)->layouts(), rec.code);
  std::string expr = md_BuildLineExpr(rec.code, &c->layout);
  const std::string_view link = parent ? ParentLinkColumn(rec.code) : std::string_view();
  const char* key = dedup && !parent ? DedupColumn(rec.code) : nullptr;
  std::string sql = "SELECT ";
  if (identity) sql += "ID AS Row_Id,";
  if (!link.empty()) sql.append(link).append(" AS Row_Pai,");
  if (key && *key) sql.append(key).append(" AS Row_Key,");
  if (key && !*key) sql += "Id_Arquivo AS Row_File,";
  sql += expr.replace(expr.find("{NAMECOL}"), 9, " AS Linha ");
  sql += "FROM ###" + rec.code + " ";
  if (!parent) {
    sql += "WHERE Id_CNPJ = (" + cnpjOperand + ") ORDER BY ID ASC";
  } else {
    sql += "WHERE (" + std::string(link) + " >= " + std::to_string(parent->lo) + ") AND (" + std::string(link) +
           " <= " + std::to_string(parent->hi) + ") ORDER BY " + std::string(link) + " ASC";
    if (identity) sql += ", ID ASC";
  }
  c->rs = ctx.connection->Execute(sql);
  ++stats.statements;
  c->idCol = identity ? c->rs->FindColumn("Row_Id") : -1;
  c->parentCol = link.empty() ? -1 : c->rs->FindColumn("Row_Pai");
  c->keyCol = key && *key ? c->rs->FindColumn("Row_Key") : -1;
  c->lineCol = c->rs->FindColumn("Linha");
  c->fileCol = key && !*key ? c->rs->FindColumn("Row_File") : -1;
  c->oncePerPass = key && !*key;

  // Children only under a parent that has an identity of its own to be found by.
  if (identity)
    for (const CatalogueRecord* child : rec.children)
      if (withRows.count(child->code))
        if (auto cc = Open(ctx, *child, c.get(), cnpjOperand, withRows, dedup, stats)) c->children.push_back(std::move(cc));
  if (c->rs->Eof()) return nullptr;
  return c;
}

// The text of the current row's line ("" without one).
std::string LineText(const Cursor& c) {
  if (c.lineCol < 0) return {};
  const Value& v = c.rs->Column(c.lineCol);
  return v.IsNull() ? std::string() : v.AsText();
}

// A kept or passed-over line with its children: their texts (for comparing
// a passed-over line with the kept one) and, when passed over, its lines per code.
struct Subtree {
  std::string text;
  std::map<std::string, int64_t> lines;
};

// Writes (or, when `skip`, passes over) the rows of the children of the row
// whose identity is `id`, each followed by its own children. With `into`,
// their lines are added to it (counted per code when passed over).
void WriteChildren(RunContext& ctx, Cursor& parent, int64_t id, bool skip, SubtreeStats& stats, Subtree* into = nullptr) {
  for (auto& child : parent.children) {
    Recordset& rs = *child->rs;
    while (!rs.Eof() && rs.Column(child->parentCol).AsInt() < id) rs.MoveNext();  // rows of no parent here
    while (!rs.Eof() && rs.Column(child->parentCol).AsInt() == id) {
      const int64_t own = child->idCol >= 0 ? rs.Column(child->idCol).AsInt() : -1;
      if (into) {
        into->text.append(child->reg).append(LineText(*child)).push_back('\n');
        if (skip) ++into->lines[child->reg];
      }
      if (!skip) {
        md_ShowProgress(ctx, 4, child->reg, child->written + 1, static_cast<double>(child->total));
        md_WriteLine(ctx, child->reg, rs, child->layout);
        ++child->written;
        ++stats.lines;
      }
      // The children's rows are read before this row is left: the result
      // keeps only its current row.
      if (!child->children.empty()) WriteChildren(ctx, *child, own, skip, stats, into);
      rs.MoveNext();
    }
  }
}

// Adds the lines written of `c` and its children to their counters.
void Count(RunContext& ctx, Cursor& c, SubtreeStats& stats) {
  if (c.written > 0) {
    md_AddRecordCount(ctx, c.reg, c.written);
    ++stats.statements;
  }
  for (auto& child : c.children) Count(ctx, *child, stats);
}

// The fields of `line` ("|0145|1|10,00|...|"): [k] field k, [1] the record code.
std::vector<std::string> FieldsOf(const std::string& line) {
  std::vector<std::string> f(1);
  size_t start = 1;
  for (size_t bar = line.find('|', start); bar != std::string::npos; bar = line.find('|', start)) {
    f.push_back(line.substr(start, bar - start));
    start = bar + 1;
  }
  return f;
}

// Writes the one line of a record kept once per establishment (0145) from
// the several lines the files of its CNPJ gave it, in load order (parts of
// one CNPJ); they become one. Its amounts are the whole company's revenue,
// the same in every 0145 of a file: parts that give the same amounts give the
// company's totals each, and they are written once; parts that give other
// amounts give their own shares, which are added exactly (a sum equal to the
// first line's amount keeps its text) and named in a notice. The other fields
// come from the first line: a text that differs is named in a notice, a code
// that differs (COD_INC_TRIB) stops the run, since no single value is right
// for all parts. The lines merged count in the ledger as merged. Throws
// std::runtime_error (Portuguese, naming the record, establishment, field,
// values and files) for a differing code or an amount that cannot be read.
void WriteOncePerPass(RunContext& ctx, Cursor& c, SubtreeStats& stats) {
  Recordset& rs = *c.rs;
  std::vector<std::string> lines, files;
  for (; !rs.Eof(); rs.MoveNext()) {
    md_ShowProgress(ctx, 3, c.reg, static_cast<double>(lines.size() + 1), static_cast<double>(c.total));
    lines.push_back(LineText(c));
    files.push_back(c.fileCol >= 0 ? rs.Column(c.fileCol).AsText() : std::string());
  }
  const CatalogueRecord& record = *Layout006().Find(c.reg);
  std::vector<std::string> merged = FieldsOf(lines.front());
  std::vector<std::optional<ExactDecimal>> sums(merged.size());
  std::vector<std::string> notices;
  bool sameAmounts = true;  // every line gives the first line's amounts
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::vector<std::string> f = FieldsOf(lines[i]);
    for (size_t k = 2; k < merged.size() && k <= record.fields.size(); ++k) {
      const CatalogueField& field = record.fields[k - 1];
      const std::string text = k < f.size() ? f[k] : std::string();
      if (field.type == 'N' && field.decimals >= 0) {
        const ExactDecimal value = text.empty() ? ExactDecimal() : EfdAmount(text, record, field);
        const ExactDecimal first = merged[k].empty() ? ExactDecimal() : EfdAmount(merged[k], record, field);
        if (value != first) sameAmounts = false;
        if (!text.empty()) sums[k] = sums[k].value_or(ExactDecimal()) + value;
      } else if (text != merged[k]) {
        const std::string what = "registro " + c.reg + " do estabelecimento " + ctx.currentCNPJ + ": " +
                                 FieldInWords(field) + " \"" + merged[k] + "\" no arquivo " +
                                 ctx.StagedFileName(files.front()) + ", \"" + text + "\" no arquivo " +
                                 ctx.StagedFileName(files[i]);
        if (field.type == 'N')
          throw std::runtime_error(what + "; os arquivos do mesmo CNPJ devem informar o mesmo valor");
        notices.push_back(what + "; gravado o do arquivo " + ctx.StagedFileName(files.front()));
      }
    }
  }
  if (!sameAmounts) {
    std::string names;
    for (const std::string& file : files) names += (names.empty() ? "" : ", ") + ctx.StagedFileName(file);
    notices.push_back("registro " + c.reg + " do estabelecimento " + ctx.currentCNPJ + ": as receitas (VL_REC_TOT, "
                      "VL_REC_ATIV, VL_REC_DEMAIS_ATIV) diferem entre os arquivos do mesmo CNPJ (" + names +
                      ") e foram somadas; confira se cada arquivo informou só a sua parte");
  }
  // A sum that is the first line's value again (parts' zeros) keeps its text.
  std::string line = "|";
  for (size_t k = 1; k < merged.size(); ++k) {
    if (!sameAmounts && sums[k] && (merged[k].empty() || EfdAmount(merged[k], record, record.fields[k - 1]) != *sums[k]))
      merged[k] = sums[k]->Text(ExactDecimal::kPlaces);
    line.append(merged[k]).push_back('|');
  }
  md_WriteText(ctx, c.reg, line);
  ++c.written;
  ++stats.lines;
  ctx.ledger.Merged(c.reg, ctx.currentCNPJ, static_cast<int64_t>(lines.size()) - 1);
  for (const std::string& n : notices) ReportError(ctx.ports, "Quelvar", "estabelecimentos do mesmo CNPJ", n, 1);
}

}  // namespace

PassTotals EstablishmentPassTotals(RunContext& ctx) { return {ctx.establishmentPasses, ctx.establishmentStatements}; }
void ResetEstablishmentPassTotals(RunContext& ctx) { ctx.establishmentPasses = ctx.establishmentStatements = 0; }
void NoteEstablishmentPass(RunContext& ctx, int64_t statements) {
  ++ctx.establishmentPasses;
  ctx.establishmentStatements += statements;
}

const char* DedupColumn(std::string_view reg) {
  if (reg == "0150") return "Cod_Part";
  if (reg == "0190") return "Unid";
  if (reg == "0200") return "Cod_Item";
  if (reg == "0400") return "Cod_Nat";
  if (reg == "0450") return "Cod_Inf";
  if (reg == "0145") return "";
  return nullptr;
}

std::set<std::string, std::less<>> CodesWithRows(RunContext& ctx, std::string_view establishment) {
  std::set<std::string, std::less<>> out;
  const CatalogueRecord* est = Layout006().Find(establishment);
  if (!est) return out;
  for (const CatalogueRecord& r : Layout006().Records())
    if (&r != est && est->Contains(r) && HasRows(ctx, r.code)) out.insert(r.code);
  return out;
}

SubtreeStats WriteEstablishmentSubtree(RunContext& ctx, std::string_view establishment, std::string_view cnpj,
                                       const std::set<std::string, std::less<>>& withRows, bool dedupByCode) {
  SubtreeStats stats;
  const CatalogueRecord* est = Layout006().Find(establishment);
  if (!est) return stats;
  const std::string operand = CnpjOperand(cnpj);
  for (const CatalogueRecord* top : est->children) {
    if (!withRows.count(top->code)) continue;
    std::unique_ptr<Cursor> c = Open(ctx, *top, nullptr, operand, withRows, dedupByCode, stats);
    if (!c) continue;
    if (c->oncePerPass && c->children.empty() && c->total > 1) {
      WriteOncePerPass(ctx, *c, stats);
      Count(ctx, *c, stats);
      continue;
    }
    // Per key: the hash of the kept line with its children's lines. A later
    // line of the key is left out; it counts as merged in the ledger only
    // when it is the kept line again, children and all.
    std::unordered_map<std::string, size_t> seen;
    const bool keyed = c->oncePerPass || c->keyCol >= 0;
    Recordset& rs = *c->rs;
    for (; !rs.Eof(); rs.MoveNext()) {
      const int64_t id = rs.Column(c->idCol).AsInt();
      std::unordered_map<std::string, size_t>::iterator kept;
      bool skip = false;
      if (keyed) {
        bool added;
        std::tie(kept, added) = seen.try_emplace(c->oncePerPass ? std::string() : rs.Column(c->keyCol).AsText(), 0);
        skip = !added;
      }
      Subtree tree;
      if (keyed) tree.text = LineText(*c) + "\n";
      if (!skip) {
        md_ShowProgress(ctx, 3, c->reg, c->written + 1, static_cast<double>(c->total));
        md_WriteLine(ctx, c->reg, rs, c->layout);
        ++c->written;
        ++stats.lines;
      }
      if (!c->children.empty()) WriteChildren(ctx, *c, id, skip, stats, keyed ? &tree : nullptr);
      if (!keyed) continue;
      const size_t hash = std::hash<std::string>{}(tree.text);
      if (!skip) {
        kept->second = hash;
      } else if (kept->second == hash) {
        ctx.ledger.Merged(c->reg, ctx.currentCNPJ);
        for (const auto& [reg, n] : tree.lines) ctx.ledger.Merged(reg, ctx.currentCNPJ, n);
      }
    }
    Count(ctx, *c, stats);
  }
  return stats;
}
