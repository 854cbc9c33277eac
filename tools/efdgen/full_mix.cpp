#include "tools/efdgen/full_mix.h"

#include <algorithm>
#include <functional>

#include "staging/line_field.h"

struct FullMix::Node {
  std::string line;
  const CatalogueRecord* record = nullptr;  // nullptr: a code the layout does not know
  std::string cnpj;                         // the establishment it belongs to; "" for the company
  std::vector<int> kids;
};

namespace {

// The codes that new table records define, per kind.
const char* const kNewCode[FullMix::kKinds] = {"GP01", "GI01", "GU", "NAT01", "INF01", "9.99", "CC01"};

// Field `k` (REG = 0) of a line "|REG|...|", or "".
std::string_view FieldOf(std::string_view line, int k) { return LineField(line, static_cast<size_t>(k) + 1); }

// The establishment records of the document blocks: A010, C010, ..., P010.
bool IsEstablishment(const CatalogueRecord& r) {
  return r.code.compare(1, 3, "010") == 0 && std::string_view("ACDFIP").find(r.code[0]) != std::string_view::npos;
}

// Position of a record in layout order.
size_t LayoutOrder(const CatalogueRecord* r) {
  return r ? static_cast<size_t>(r - Layout006().Records().data()) : 0;
}

}  // namespace

FullMix::FullMix(std::string firstDay, std::string lastDay)
    : firstDay_(std::move(firstDay)), lastDay_(std::move(lastDay)) {}

// A field of a new record: REG; codes of its own establishment's (or the
// company's) tables; the new code of a table record; CNPJ and CPF; dates and
// periods within the file's period; zero amounts; "0" for one-character
// indicators, fixed-size fields at their exact size, and a short text or
// number for the rest.
std::string FullMix::Value(const CatalogueRecord& record, const CatalogueField& f, const std::string& cnpj) {
  if (f.number == 1) return record.code;
  const std::string& name = f.name;
  const int kind = CodeKindOfField(name);
  if (kind >= 0) {
    if (record.code == kCodeTable[kind] && name != "UNID_INV") return kNewCode[kind];
    const bool own = kind < kAccount;
    auto it = tables_.find(own ? (cnpj.empty() && !cnpjs_.empty() ? cnpjs_.front() : cnpj) : std::string());
    if (it == tables_.end() || it->second.codes[kind].empty()) return "";
    const std::vector<std::string>& codes = it->second.codes[kind];
    return codes[pick_++ % codes.size()];
  }
  if (name.find("CNPJ") != std::string::npos)
    return !cnpj.empty() ? cnpj : cnpjs_.empty() ? std::string(14, '0') : cnpjs_.front();
  if (name.find("CPF") != std::string::npos) return "12345678909";
  if (name.rfind("DT_FIN", 0) == 0 || name.rfind("DT_FIM", 0) == 0) return lastDay_;
  if (name.rfind("DT", 0) == 0) return firstDay_;
  if (f.decimals >= 0 && f.type == 'N') return f.decimals > 0 ? "0," + std::string(f.decimals, '0') : "0";
  if (f.size == 6 && f.exactSize && (name.rfind("PER_", 0) == 0 || name.rfind("MES_", 0) == 0))
    return firstDay_.substr(2);
  if (name == "CFOP") return "5102";
  // A fixed-size field gets exactly its size: a two-digit indicator "01" (each one's
  // codes in the guide start there), any other "0…01".
  if (name.rfind("IND_", 0) == 0 && !(f.exactSize && f.size > 1)) return "0";
  if (f.exactSize && f.size > 0) return std::string(static_cast<size_t>(f.size - 1), '0') + "1";
  if (f.type == 'N') return "1";
  if (name.rfind("COD_", 0) == 0 || name.rfind("NUM_", 0) == 0) return f.size == 1 ? "1" : "01";
  std::string text = "Registro " + record.code;
  if (f.size > 0 && static_cast<int>(text.size()) > f.size) text.resize(static_cast<size_t>(f.size));
  return text;
}

int FullMix::Generic(std::vector<Node>& nodes, const CatalogueRecord& record, const std::string& cnpj) {
  std::string line = "|";
  for (const CatalogueField& f : record.fields) line += Value(record, f, cnpj) + "|";
  const int at = static_cast<int>(nodes.size());
  nodes.push_back({std::move(line), &record, cnpj, {}});
  for (const CatalogueRecord* child : record.children) {
    const int kid = Generic(nodes, *child, cnpj);
    nodes[at].kids.push_back(kid);
  }
  return at;
}

void FullMix::Block(char letter, std::vector<std::string>& lines) {
  const CatalogueRecord* opener = Layout006().Find(std::string(1, letter) + "001");
  if (!opener) return;
  std::vector<Node> nodes;
  nodes.reserve(lines.size() + 1);
  nodes.push_back({"", opener, "", {}});

  // The tree of the lines: each below the nearest open record of its parent's code.
  std::vector<int> path = {0};
  for (std::string& l : lines) {
    const CatalogueRecord* r = Layout006().Find(l.size() >= 5 ? std::string_view(l).substr(1, 4) : std::string_view());
    const int at = static_cast<int>(nodes.size());
    size_t depth = path.size();
    if (r)
      while (depth > 1 && nodes[path[depth - 1]].record != r->parent) --depth;
    path.resize(std::max<size_t>(depth, 1));
    Node& up = nodes[path.back()];
    std::string cnpj = up.cnpj;
    if (r && r->code == "0140") cnpj = std::string(FieldOf(l, 3));
    if (r && IsEstablishment(*r)) cnpj = std::string(FieldOf(l, 1));
    nodes.push_back({std::move(l), r, std::move(cnpj), {}});
    nodes[path.back()].kids.push_back(at);
    if (r && !r->children.empty()) path.push_back(at);
  }

  // Every establishment has its record in each document block.
  const CatalogueRecord* est = Layout006().Find(std::string(1, letter) + "010");
  if (est && IsEstablishment(*est))
    for (const std::string& cnpj : cnpjs_) {
      bool has = false;
      for (int k : nodes[0].kids) has = has || (nodes[k].record == est && nodes[k].cnpj == cnpj);
      if (!has) {
        const int kid = Generic(nodes, *est, cnpj);
        nodes[0].kids.push_back(kid);
      }
    }

  // The children a record lacks: always for the block's first two levels,
  // for the first and every eighth record of a code further down.
  const size_t existing = nodes.size();
  std::unordered_map<const CatalogueRecord*, int64_t> seen;
  for (size_t i = 0; i < existing; ++i) {
    const CatalogueRecord* r = nodes[i].record;
    if (!r || r->children.empty()) continue;
    const int64_t number = seen[r]++;
    if (r->level > 2 && number % 8 != 0) continue;
    for (const CatalogueRecord* child : r->children) {
      if (IsEstablishment(*child)) continue;
      bool has = false;
      for (int k : nodes[i].kids) has = has || nodes[k].record == child;
      if (has) continue;
      const std::string cnpj = nodes[i].cnpj;
      const int kid = Generic(nodes, *child, cnpj);
      nodes[i].kids.push_back(kid);
    }
  }

  // Layout order under each parent; lines of one code keep their order.
  for (Node& n : nodes)
    std::stable_sort(n.kids.begin(), n.kids.end(), [&](int a, int b) {
      if (!nodes[a].record || !nodes[b].record) return false;
      return LayoutOrder(nodes[a].record) < LayoutOrder(nodes[b].record);
    });
  if (letter == '0') Collect(nodes);
  lines.clear();
  std::function<void(int)> emit = [&](int i) {
    for (int k : nodes[i].kids) {
      lines.push_back(std::move(nodes[k].line));
      emit(k);
    }
  };
  emit(0);
}

void FullMix::Collect(const std::vector<Node>& nodes) {
  for (const Node& n : nodes) {
    if (!n.record) continue;
    if (n.record->code == "0140") cnpjs_.push_back(n.cnpj);
    for (int kind = 0; kind < kKinds; ++kind) {
      if (n.record->code != kCodeTable[kind]) continue;
      const CatalogueField* f = n.record->Field(kind == kUnit ? "UNID" : kind == kPart ? "COD_PART"
                                                 : kind == kItem   ? "COD_ITEM"
                                                 : kind == kNature ? "COD_NAT"
                                                 : kind == kNote   ? "COD_INF"
                                                 : kind == kAccount ? "COD_CTA"
                                                                    : "COD_CCUS");
      if (!f) continue;
      if (kind == kAccount && FieldOf(n.line, n.record->Field("IND_CTA")->number - 1) != "A") continue;
      const std::string owner = kind < kAccount ? n.cnpj : std::string();
      std::vector<std::string>& codes = tables_[owner].codes[kind];
      std::string code(FieldOf(n.line, f->number - 1));
      if (!code.empty()) codes.push_back(std::move(code));
    }
  }
}
