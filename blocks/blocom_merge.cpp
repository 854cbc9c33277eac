// Merging the Block M trees of all files into the company's block: which
// records are summed and by which key, which are kept as they came, and the
// order of the merged block. The recomputations live in blocom_compute.cpp.
#include <algorithm>
#include <map>
#include <mutex>
#include <stdexcept>

#include "blocks/blocom_compute.h"
#include "blocks/blocom_tree.h"
#include "blocks/efd_amount.h"
#include "staging/record_catalogue.h"

namespace BlocoM {

// ---- Records ---------------------------------------------------------------

const std::string& MRecord::At(int k) const {
  static const std::string kEmpty;
  return k >= 0 && static_cast<size_t>(k) < f.size() ? f[k] : kEmpty;
}

ExactDecimal MRecord::Num(int k) const { return EfdAmount(At(k), Code(), k); }

void MRecord::Set(int k, std::string v) {
  if (f.size() <= static_cast<size_t>(k)) f.resize(k + 1);
  f[k] = std::move(v);
}

std::string MRecord::Line() const {
  std::string line = "|";
  for (size_t k = 1; k < f.size(); ++k) line.append(f[k]).append("|");
  return line;
}

MRecord ParseRecord(std::string_view line) {
  MRecord r;
  if (!line.empty() && line.front() == '|') line.remove_prefix(1);
  if (!line.empty() && line.back() == '|') line.remove_suffix(1);
  r.f.emplace_back();
  for (size_t start = 0;;) {
    const size_t bar = line.find('|', start);
    r.f.emplace_back(line.substr(start, bar == std::string_view::npos ? std::string_view::npos : bar - start));
    if (bar == std::string_view::npos) break;
    start = bar + 1;
  }
  return r;
}

// The PIS twin of a Block M code ("M505" -> "M105"); the code itself below M500.
std::string PisTwin(std::string_view code) {
  std::string twin(code);
  if (twin.size() == 4 && twin[0] == 'M' && twin[1] >= '5' && twin[1] <= '8') twin[1] = static_cast<char>(twin[1] - 4);
  return twin;
}

int FieldNo(std::string_view code, std::string_view pisName) {
  // From the catalogue alone, shared by the runs of every thread.
  static std::mutex mutex;
  static std::map<std::string, int, std::less<>> cache;
  std::lock_guard<std::mutex> lock(mutex);
  std::string key = PisTwin(code) + "." + std::string(pisName);
  auto it = cache.find(key);
  if (it != cache.end()) return it->second;
  const CatalogueRecord* r = Layout006().Find(PisTwin(code));
  const CatalogueField* f = r ? r->Field(pisName) : nullptr;
  if (!f) throw std::logic_error("no field " + key + " in the record catalogue");
  return cache.emplace(std::move(key), f->number).first->second;
}

namespace {

// ---- Merge rules -------------------------------------------------------------

// How the lines of one record code become the company's lines.
struct MergeRule {
  bool keep = false;              // every line kept as it came, under its own parent
  std::vector<std::string> keys;  // fields compared as texts (PIS names)
  std::vector<std::string> rates; // fields compared as numbers
};

const MergeRule& RuleOf(std::string_view code) {
  static const std::map<std::string, MergeRule, std::less<>> kRules = {
      {"M100", {false, {"COD_CRED", "IND_CRED_ORI"}, {"ALIQ_PIS", "ALIQ_PIS_QUANT"}}},
      {"M105", {false, {"NAT_BC_CRED", "CST_PIS"}, {}}},
      {"M110", {true, {}, {}}},
      {"M115", {true, {}, {}}},
      {"M200", {false, {}, {}}},
      {"M205", {false, {"NUM_CAMPO", "COD_REC"}, {}}},
      {"M210", {false, {"COD_CONT"}, {"ALIQ_PIS", "ALIQ_PIS_QUANT"}}},
      {"M211", {false, {}, {}}},
      {"M215", {false, {"IND_AJ_BC", "COD_AJ_BC", "NUM_DOC", "COD_CTA", "DT_REF", "CNPJ", "INFO_COMPL"}, {}}},
      {"M220", {true, {}, {}}},
      {"M225", {true, {}, {}}},
      {"M230", {true, {}, {}}},
      {"M300", {false, {"COD_CONT", "NAT_CRED_DESC", "PER_APUR", "DT_RECEB"}, {}}},
      {"M350", {false, {}, {}}},
      {"M400", {false, {"CST_PIS", "COD_CTA", "DESC_COMPL"}, {}}},
      {"M410", {false, {"NAT_REC", "COD_CTA", "DESC_COMPL"}, {}}},
  };
  static const MergeRule kKeepUnknown{true, {}, {}};
  auto it = kRules.find(PisTwin(code));
  return it == kRules.end() ? kKeepUnknown : it->second;
}

// The merge key of a line: its key texts, then its rates as numbers.
std::string KeyOf(const MRecord& r, const MergeRule& rule) {
  std::string key = r.Code();
  for (const std::string& k : rule.keys) key.append("|").append(r.At(FieldNo(r.Code(), k)));
  for (const std::string& k : rule.rates) {
    const int n = FieldNo(r.Code(), k);
    const std::string& text = r.At(n);
    key.append("|").append(text.empty() ? "" : r.Num(n).Text(ExactDecimal::kPlaces));
  }
  return key;
}

// True when field k of `code` is an amount that merging adds up: a number with
// decimals, not a key, not a rate.
bool IsSummed(std::string_view code, int k, const MergeRule& rule) {
  const CatalogueRecord* r = Layout006().Find(code);
  if (!r || k < 2 || static_cast<size_t>(k) > r->fields.size()) return false;
  const CatalogueField& f = r->fields[k - 1];
  if (f.type != 'N' || f.decimals < 0) return false;
  const CatalogueField& pis = Layout006().Find(PisTwin(code))->fields[k - 1];
  if (pis.name.rfind("ALIQ", 0) == 0 || pis.name.rfind("DET_ALIQ", 0) == 0) return false;
  for (const std::string& key : rule.rates)
    if (key == pis.name) return false;
  return true;
}

// Adds the amounts of `in` to `into` (an empty total stays empty while every
// added text is empty) and fills text fields that `into` has empty.
void AddInto(MRecord& into, const MRecord& in, const MergeRule& rule) {
  const size_t n = std::max(into.f.size(), in.f.size());
  for (size_t k = 2; k < n; ++k) {
    const std::string& add = in.At(static_cast<int>(k));
    if (IsSummed(into.Code(), static_cast<int>(k), rule)) {
      const std::string& have = into.At(static_cast<int>(k));
      if (have.empty() && add.empty()) continue;
      const int n = static_cast<int>(k);
      into.Set(n, (into.Num(n) + in.Num(n)).Text(ExactDecimal::kPlaces));
    } else if (into.At(static_cast<int>(k)).empty() && !add.empty()) {
      into.Set(static_cast<int>(k), add);
    }
  }
}

// A first line of a summed group: its amounts rewritten as plain decimals.
MRecord FirstOfGroup(const MRecord& in, const MergeRule& rule) {
  MRecord r;
  r.f = in.f;
  for (size_t k = 2; k < r.f.size(); ++k)
    if (IsSummed(r.Code(), static_cast<int>(k), rule) && !r.f[k].empty())
      r.f[k] = r.Num(static_cast<int>(k)).Text(ExactDecimal::kPlaces);
  return r;
}

// Merges `in` (with its children) into the sibling list `out`.
void MergeInto(std::vector<MRecord>& out, const MRecord& in) {
  const MergeRule& rule = RuleOf(in.Code());
  MRecord* target = nullptr;
  if (!rule.keep) {
    const std::string key = KeyOf(in, rule);
    for (MRecord& r : out)
      if (r.Code() == in.Code() && KeyOf(r, rule) == key) {
        target = &r;
        break;
      }
  }
  if (target) {
    AddInto(*target, in, rule);
  } else {
    out.push_back(rule.keep ? MRecord{in.f, {}, {}, false} : FirstOfGroup(in, rule));
    target = &out.back();
  }
  // `out` is not touched while the children are merged, so `target` stays valid.
  for (const MRecord& child : in.children) MergeInto(target->children, child);
}

// Position of a code in the layout (unknown codes last).
size_t LayoutRank(std::string_view code) {
  static const std::map<std::string, size_t, std::less<>> rank = [] {
    std::map<std::string, size_t, std::less<>> m;
    const auto& records = Layout006().Records();
    for (size_t i = 0; i < records.size(); ++i) m[records[i].code] = i;
    return m;
  }();
  auto it = rank.find(code);
  return it == rank.end() ? static_cast<size_t>(-1) : it->second;
}

// Sorts every sibling list by layout order, keeping input order within a code.
void SortByLayout(std::vector<MRecord>& list) {
  std::stable_sort(list.begin(), list.end(), [](const MRecord& a, const MRecord& b) {
    return LayoutRank(a.Code()) < LayoutRank(b.Code());
  });
  for (MRecord& r : list) SortByLayout(r.children);
}

}  // namespace

std::vector<MRecord> MergeBlockM(const std::vector<MRecord>& input, const CompanyFacts& facts,
                                 std::vector<std::string>& notices) {
  std::vector<MRecord> merged;
  for (const MRecord& r : input) MergeInto(merged, r);
  SortByLayout(merged);
  for (int tax = 0; tax < 2; ++tax) {
    if (facts.indAproCred == "2" && facts.hasRevenue) Apportion(merged, input, tax, facts, notices);
    RecomputeCredits(merged, tax, notices);
    RecomputeConsolidation(merged, tax, facts, notices);
    RecomputeExemptRevenue(merged, tax, notices);
  }
  SortByLayout(merged);
  return merged;
}

}  // namespace BlocoM
