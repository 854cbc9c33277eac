#include "checker/tree_rules.h"

#include <algorithm>
#include <cassert>

namespace {

// A field of a record that defines a code of a table or refers to one.
struct CodeField {
  int index;  // position in the line's fields, REG = 0
  TreeRules::Kind kind;
  bool defines;
};

// The code fields of every record of layout 006, built once: a field defines
// a code in the record that is the table of its kind (0150's COD_PART, 0200's
// COD_ITEM...) and refers to one everywhere else.
const std::vector<CodeField>& CodeFieldsOf(const CatalogueRecord& record) {
  static const auto* const kTable = [] {
    const std::vector<CatalogueRecord>& records = Layout006().Records();
    auto* table = new std::vector<std::vector<CodeField>>(records.size());
    for (size_t i = 0; i < records.size(); ++i)
      for (const CatalogueField& f : records[i].fields) {
        const int kind = CodeKindOfField(f.name);
        if (kind < 0) continue;
        const bool defines = records[i].code == kCodeTable[kind] && f.name != "UNID_INV";
        (*table)[i].push_back({f.number - 1, static_cast<TreeRules::Kind>(kind), defines});
      }
    return table;
  }();
  const size_t at = static_cast<size_t>(&record - Layout006().Records().data());
  assert(at < kTable->size() && "a record of another catalogue");
  return (*kTable)[at];
}

// True for the establishment records of the document blocks (A010, C010...).
bool IsEstablishmentRecord(const CatalogueRecord& r) {
  return r.code.size() == 4 && r.code.compare(1, 3, "010") == 0 && std::string_view("ACDFIP").find(r.code[0]) !=
                                                                         std::string_view::npos;
}

// The fields of a line that starts and ends with '|': REG first.
void SplitFields(std::string_view line, std::vector<std::string_view>& out) {
  out.clear();
  const char* p = line.data();
  const char* end = p + line.size();
  const char* start = ++p;
  for (; p < end; ++p)
    if (*p == '|') {
      out.emplace_back(start, static_cast<size_t>(p - start));
      start = p + 1;
    }
}

std::string Quoted(std::string_view v) { return "\"" + std::string(v) + "\""; }

}  // namespace

TreeRules::TreeRules(CheckReport& report) : report_(report) {
  frames_.resize(8);
  frames_[0].record = Layout006().Find("0000");
  depth_ = 1;
}

void TreeRules::Line(int64_t n, const CatalogueRecord& record, std::string_view line, bool countFields) {
  SplitFields(line, fields_);
  if (record.level == 0) {
    if (record.code == "0000") {
      declared_.assign(fields_.size() > 1 ? fields_[1] : std::string_view());
      older_ = declared_.size() == 3 && std::all_of(declared_.begin(), declared_.end(), [](char c) { return c >= '0' && c <= '9'; }) &&
               declared_ < Layout006().Version();
    }
    if (countFields) CountFields(n, record);
    return;
  }
  if (countFields) CountFields(n, record);
  int establishment = Place(n, record);
  if (record.code == "0140" || IsEstablishmentRecord(record)) {
    const std::string_view cnpj = fields_.size() > (record.code == "0140" ? 3u : 1u)
                                      ? fields_[record.code == "0140" ? 3 : 1]
                                      : std::string_view();
    establishment = EstablishmentOf(n, record, cnpj);
  }
  if (!record.children.empty()) Push(n, record, establishment);
  if (establishment != kUnknown && !CodeFieldsOf(record).empty()) Codes(n, record, establishment);
}

// The number of fields against the layout. A file of an older layout may
// carry the shorter forms of its time; a file of layout 006 only the two that
// files still commonly carry (0110 without IND_REG_CUM, C500 without CHV_DOCe).
void TreeRules::CountFields(int64_t n, const CatalogueRecord& record) {
  const int fields = static_cast<int>(fields_.size());
  const int expected = static_cast<int>(record.fields.size());
  if (fields == expected) return;
  const std::string& code = record.code;
  if (fields < expected && older_) {
    auto [it, added] = olderForms_.try_emplace(&record);
    if (added) {
      olderOrder_.push_back(&record);
      it->second.firstLine = n;
      it->second.fewest = fields;
    }
    ++it->second.lines;
    it->second.fewest = std::min(it->second.fewest, fields);
    return;
  }
  if (code == "0110" && fields == 4) {
    report_.Add(n, code, "leiaute anterior: 4 campos, sem IND_REG_CUM (o leiaute 006 tem 5)", true);
    return;
  }
  if (code == "C500" && fields == 14) {
    report_.Add(n, code, "leiaute anterior: 14 campos, sem CHV_DOCe (o leiaute 006 tem 15)", true);
    return;
  }
  report_.Add(n, code,
              std::to_string(fields) + " campos; o registro " + code + " tem " + std::to_string(expected) +
                  " no leiaute " + std::string(Layout006().Version()),
              false, true);
}

// Openers, closers and 0000's other direct children sit under 0000 (their
// order is the block rules' business). Any other record must stand below an
// open record of its parent's code: the path of open records is cut back to
// that parent. A record whose parent is not open is reported (unless the
// parent is a block opener, whose absence the block rules report) and taken
// as standing at its own level.
int TreeRules::Place(int64_t n, const CatalogueRecord& record) {
  const CatalogueRecord* parent = record.parent;
  size_t at = depth_;
  while (at > 0 && frames_[at - 1].record != parent) --at;
  if (at == 0) {
    if (parent && parent->level >= 2)
      report_.Add(n, record.code,
                  record.code + " não está abaixo de um " + parent->code + " (o seu registro pai no leiaute " +
                      std::string(Layout006().Version()) + ")");
    while (depth_ > 1 && frames_[depth_ - 1].record->level >= record.level) --depth_;
    return frames_[depth_ - 1].establishment;
  }
  depth_ = at;
  Frame& up = frames_[at - 1];
  if (record.AtMostOne()) {
    auto seen = std::find_if(up.once.begin(), up.once.end(), [&](const auto& p) { return p.first == &record; });
    if (seen != up.once.end()) {
      if (record.level >= 2)
        report_.Add(n, record.code,
                    "segundo " + record.code + " abaixo do " + parent->code + " da linha " + std::to_string(up.line) +
                        " (no máximo um; o primeiro está na linha " + std::to_string(seen->second) + ")");
    } else {
      up.once.emplace_back(&record, n);
    }
  }
  return up.establishment;
}

// Opens `record` as the parent of the lines that follow.
void TreeRules::Push(int64_t n, const CatalogueRecord& record, int establishment) {
  if (depth_ == frames_.size()) frames_.emplace_back();
  Frame& f = frames_[depth_++];
  f.record = &record;
  f.line = n;
  f.establishment = establishment;
  f.once.clear();
}

// The establishment a 0140 opens (a CNPJ seen in an earlier 0140 is reported
// and its tables shared) or an X010 names (kUnknown, reported, when no 0140
// has its CNPJ).
int TreeRules::EstablishmentOf(int64_t n, const CatalogueRecord& record, std::string_view cnpj) {
  auto it = byCnpj_.find(std::string(cnpj));
  if (record.code == "0140") {
    if (it != byCnpj_.end()) {
      report_.Add(n, record.code,
                  "o CNPJ " + Quoted(cnpj) + " já tem o 0140 da linha " +
                      std::to_string(establishments_[it->second].line) + " (um 0140 por CNPJ)");
      return it->second;
    }
    establishments_.push_back({std::string(cnpj), n, {}});
    byCnpj_.emplace(std::string(cnpj), static_cast<int>(establishments_.size() - 1));
    return static_cast<int>(establishments_.size() - 1);
  }
  if (it == byCnpj_.end()) {
    report_.Add(n, record.code, "o CNPJ " + Quoted(cnpj) + " não é o CNPJ de nenhum registro 0140");
    return kUnknown;
  }
  return it->second;
}

// Stores the codes the line defines and reports those it refers to that are
// not defined: participants, items, units, natures and notes in the tables of
// the line's own establishment (lines outside any establishment, as in
// Block 1, in those of any establishment of the file), accounts and cost
// centres in the company's 0500 and 0600. Empty fields refer to nothing.
void TreeRules::Codes(int64_t n, const CatalogueRecord& record, int establishment) {
  for (const CodeField& f : CodeFieldsOf(record)) {
    if (f.index >= static_cast<int>(fields_.size())) continue;
    const std::string_view value = fields_[f.index];
    if (value.empty()) continue;
    const bool own = f.kind < kAccount && establishment >= 0;
    if (f.defines) {
      if (own) establishments_[establishment].codes[f.kind].Insert(value);
      company_[f.kind].Insert(value);
      continue;
    }
    const CodeSet& table = own ? establishments_[establishment].codes[f.kind] : company_[f.kind];
    if (table.Contains(value)) continue;
    const std::string& name = record.fields[f.index].name;
    std::string where;
    if (own)
      where = "do estabelecimento " + establishments_[establishment].cnpj;
    else
      where = "do arquivo";
    report_.Add(n, record.code,
                name + " " + Quoted(value) + " não está em nenhum " + kCodeTable[f.kind] + " " + where);
  }
}

void TreeRules::Finish() {
  report_.layout = std::string(Layout006().Version());
  report_.declaredLayout = declared_;
  for (const CatalogueRecord* r : olderOrder_) {
    const OlderForm& o = olderForms_[r];
    report_.Add(o.firstLine, r->code,
                std::to_string(o.lines) + (o.lines == 1 ? " linha" : " linhas") + " com menos campos que o leiaute " +
                    std::string(Layout006().Version()) + " (a menor com " + std::to_string(o.fewest) +
                    ", o leiaute tem " + std::to_string(r->fields.size()) + "): a forma mais curta do leiaute " +
                    declared_ + " declarado pelo arquivo, aceita",
                true);
  }
}
