#include "staging/record_catalogue.h"

#include <charconv>
#include <stdexcept>
#include <unordered_map>

extern const char kLayout006Tsv[];

namespace {

std::vector<std::string_view> SplitTabs(std::string_view line) {
  std::vector<std::string_view> cols;
  size_t start = 0;
  for (;;) {
    size_t tab = line.find('\t', start);
    cols.push_back(line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
    if (tab == std::string_view::npos) return cols;
    start = tab + 1;
  }
}

// A whole number of the table, or `fallback` for "-" and empty cells.
int Number(std::string_view cell, int fallback, size_t lineNo) {
  if (cell.empty() || cell == "-") return fallback;
  int v = 0;
  auto [p, ec] = std::from_chars(cell.data(), cell.data() + cell.size(), v);
  if (ec != std::errc() || p != cell.data() + cell.size())
    throw std::runtime_error("layout table, line " + std::to_string(lineNo) + ": not a number: " +
                             std::string(cell));
  return v;
}

}  // namespace

const CatalogueField* CatalogueRecord::Field(std::string_view name) const {
  for (const auto& f : fields)
    if (f.name == name) return &f;
  return nullptr;
}

bool CatalogueRecord::Contains(const CatalogueRecord& other) const {
  for (const CatalogueRecord* r = &other; r; r = r->parent)
    if (r == this) return true;
  return false;
}

RecordCatalogue::RecordCatalogue(std::string_view version, std::string_view tsv) : version_(version) {
  size_t lineNo = 0, pos = 0;
  while (pos < tsv.size()) {
    size_t nl = tsv.find('\n', pos);
    std::string_view line = tsv.substr(pos, nl == std::string_view::npos ? std::string_view::npos : nl - pos);
    pos = nl == std::string_view::npos ? tsv.size() : nl + 1;
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (lineNo == 1 || line.empty()) continue;
    auto c = SplitTabs(line);
    if (c.size() != 11 || c[1].size() != 4 || c[0].size() != 1)
      throw std::runtime_error("layout table, line " + std::to_string(lineNo) + ": malformed row");
    if (records_.empty() || records_.back().code != c[1]) {
      if (index_.count(std::string(c[1])))
        throw std::runtime_error("layout table, line " + std::to_string(lineNo) + ": record " +
                                 std::string(c[1]) + " is not contiguous");
      CatalogueRecord r;
      r.code = c[1];
      r.block = c[0][0];
      r.parentCode = c[2] == "-" ? std::string() : std::string(c[2]);
      r.level = Number(c[3], 0, lineNo);
      r.occurrence = c[4];
      index_.emplace(r.code, records_.size());
      records_.push_back(std::move(r));
    }
    CatalogueField f;
    f.number = Number(c[5], 0, lineNo);
    f.name = c[6];
    f.type = c[7].empty() ? 'C' : c[7][0];
    std::string_view size = c[8];
    f.exactSize = !size.empty() && size.back() == '*';
    if (f.exactSize) size.remove_suffix(1);
    f.size = Number(size, 0, lineNo);
    f.decimals = Number(c[9], -1, lineNo);
    f.required = c[10] == "S";
    auto& fields = records_.back().fields;
    if (f.number != static_cast<int>(fields.size()) + 1)
      throw std::runtime_error("layout table, line " + std::to_string(lineNo) + ": field " +
                               std::to_string(f.number) + " out of order");
    fields.push_back(std::move(f));
  }
  // Links are set once the vector no longer moves.
  std::unordered_map<std::string_view, CatalogueRecord*> byCode;
  for (auto& r : records_) byCode[r.code] = &r;
  for (auto& r : records_) {
    if (r.parentCode.empty()) continue;
    auto it = byCode.find(r.parentCode);
    if (it == byCode.end())
      throw std::runtime_error("layout table: record " + r.code + " names an unknown parent " + r.parentCode);
    r.parent = it->second;
    it->second->children.push_back(&r);
  }
}

const CatalogueRecord* RecordCatalogue::Find(std::string_view code) const {
  auto it = index_.find(std::string(code));
  return it == index_.end() ? nullptr : &records_[it->second];
}

std::vector<const CatalogueRecord*> RecordCatalogue::BlockRecords(char block) const {
  std::vector<const CatalogueRecord*> out;
  for (const auto& r : records_)
    if (r.block == block) out.push_back(&r);
  return out;
}

const RecordCatalogue& Layout006() {
  static const RecordCatalogue kCatalogue("006", kLayout006Tsv);
  return kCatalogue;
}
