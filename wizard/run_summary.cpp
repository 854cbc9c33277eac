#include "wizard/run_summary.h"
#include "wizard/shown_text.h"

#include <algorithm>
#include <stdexcept>

#include "blocks/efd_amount.h"
#include "blocks/record_links.h"
#include "platform/files.h"
#include "staging/catalogue_layouts.h"
#include "staging/output_file.h"
#include "staging/record_catalogue.h"
#include "staging/run_state.h"
#include "wizard/spreadsheet_csv.h"

namespace {

// A record kept for the company, not under an establishment: written once for
// the merged file, whatever the writer's current establishment was.
bool CompanyLevel(const std::string& code) {
  return !record_links::IsEstablishmentRecord(code) && record_links::EstablishmentOf(code).empty();
}

// The rows being built, with where each stands: its file's place in the list
// and the establishment's place in its file.
class RowTable {
 public:
  RowTable(const std::vector<SummaryInput>& files, bool sameCnpj) : files_(files), sameCnpj_(sameCnpj) {
    for (size_t i = 0; i < files.size(); ++i) {
      place_[files[i].id] = static_cast<int>(i);
      Row(files[i].id, files[i].cnpj);  // every file has its first row, even with nothing read
    }
  }

  // The row of establishment `cnpj` of file `file`, made when new.
  SummaryRow& Row(int64_t file, const std::string& cnpj) {
    auto [it, added] = rows_.try_emplace({file, cnpj});
    if (added) {
      const SummaryInput* input = Input(file);
      it->second.file = input ? input->name : std::string();
      it->second.cnpj = cnpj;
    }
    return it->second;
  }
  // The row of `cnpj` of the first file that has one, or of the first file.
  SummaryRow& FirstRowOf(const std::string& cnpj) {
    for (const SummaryInput& f : files_)
      if (rows_.count({f.id, cnpj})) return Row(f.id, cnpj);
    for (const auto& [key, row] : rows_)
      if (key.second == cnpj) return rows_[key];
    return HeadRow();
  }
  // The first file's first row: where the merged file's own lines go.
  SummaryRow& HeadRow() {
    if (!files_.empty()) return Row(files_.front().id, files_.front().cnpj);
    return Row(0, "");
  }
  const SummaryInput* Input(int64_t file) const {
    auto it = place_.find(file);
    return it == place_.end() ? nullptr : &files_[static_cast<size_t>(it->second)];
  }

  // The rows in list order, each file's 0000 CNPJ first, then its 0140s in
  // file order, then any other by CNPJ; roles set; the total row last.
  std::vector<SummaryRow> Ordered() {
    struct Sorted {
      int filePlace;
      size_t cnpjPlace;
      const SummaryRow* row;
    };
    std::vector<Sorted> sorted;
    for (const auto& [key, row] : rows_) {
      const SummaryInput* input = Input(key.first);
      const int filePlace = input ? place_.at(key.first) : static_cast<int>(files_.size());
      size_t cnpjPlace = input && key.second == input->cnpj ? 0 : SIZE_MAX;
      if (input && cnpjPlace != 0) {
        auto at = std::find(input->establishments.begin(), input->establishments.end(), key.second);
        if (at != input->establishments.end()) cnpjPlace = 1 + static_cast<size_t>(at - input->establishments.begin());
      }
      sorted.push_back({filePlace, cnpjPlace, &row});
    }
    std::stable_sort(sorted.begin(), sorted.end(), [](const Sorted& a, const Sorted& b) {
      if (a.filePlace != b.filePlace) return a.filePlace < b.filePlace;
      if (a.cnpjPlace != b.cnpjPlace) return a.cnpjPlace < b.cnpjPlace;
      return a.row->cnpj < b.row->cnpj;
    });
    std::vector<SummaryRow> out;
    SummaryRow total;
    total.file = "Total";
    total.total = true;
    for (const Sorted& s : sorted) {
      SummaryRow row = *s.row;
      if (sameCnpj_)
        row.role = "Parte " + std::to_string(s.filePlace + 1);
      else
        row.role = s.filePlace == 0 && s.cnpjPlace == 0 ? "Matriz" : "Filial";
      total.read += row.read;
      total.written += row.written;
      total.c100 += row.c100;
      total.a100 += row.a100;
      total.d100 += row.d100;
      total.f100 += row.f100;
      total.pis += row.pis;
      total.cofins += row.cofins;
      total.warnings += row.warnings;
      out.push_back(std::move(row));
    }
    out.push_back(std::move(total));
    return out;
  }

 private:
  const std::vector<SummaryInput>& files_;
  bool sameCnpj_;
  std::map<int64_t, int> place_;
  std::map<std::pair<int64_t, std::string>, SummaryRow> rows_;
};

// The document counter of `row` for `code`, or nullptr for any other code.
int64_t* DocumentCount(SummaryRow& row, const std::string& code) {
  if (code == "C100") return &row.c100;
  if (code == "A100") return &row.a100;
  if (code == "D100") return &row.d100;
  if (code == "F100") return &row.f100;
  return nullptr;
}

// Adds `n` lines of `code` read to `row`.
void AddRead(SummaryRow& row, const std::string& code, int64_t n) {
  row.read += n;
  if (int64_t* documents = DocumentCount(row, code)) *documents += n;
}

}  // namespace

std::vector<SummaryRow> BuildRunSummary(const RecordLedger& ledger, const std::vector<SummaryInput>& files,
                                        bool sameCnpj) {
  RowTable table(files, sameCnpj);
  int64_t companyWritten = 0;
  for (const auto& [key, counts] : ledger.Entries()) {
    const auto& [code, cnpj] = key;
    // The read side, per file; lines read without a file number go to the
    // establishment's first row.
    int64_t readByFile = 0;
    std::vector<std::pair<SummaryRow*, int64_t>> readers;
    if (auto perFile = ledger.FileReads().find(key); perFile != ledger.FileReads().end()) {
      std::vector<std::pair<int64_t, int64_t>> inOrder(perFile->second.begin(), perFile->second.end());
      // Ids grow with the import, so the map's order is the list's; files
      // the list does not name come last.
      std::stable_partition(inOrder.begin(), inOrder.end(),
                            [&](const auto& fileLines) { return table.Input(fileLines.first) != nullptr; });
      for (const auto& [file, n] : inOrder) {
        SummaryRow& row = table.Row(file, cnpj);
        AddRead(row, code, n);
        readers.emplace_back(&row, n);
        readByFile += n;
      }
    }
    if (counts.read > readByFile) {
      SummaryRow& row = table.FirstRowOf(cnpj);
      AddRead(row, code, counts.read - readByFile);
      readers.emplace_back(&row, counts.read - readByFile);
    }
    if (counts.written == 0) continue;
    if (CompanyLevel(code)) {
      companyWritten += counts.written;
      continue;
    }
    // Lines written for the establishment go to its readers in list order,
    // each up to what it read; any beyond go to its first row.
    int64_t left = counts.written;
    for (auto& [row, n] : readers) {
      const int64_t given = std::min(left, n);
      row->written += given;
      left -= given;
    }
    if (left > 0) (readers.empty() ? table.FirstRowOf(cnpj) : *readers.front().first).written += left;
  }
  table.HeadRow().written += companyWritten;
  for (const auto& [file, codes] : ledger.RefusedByFile()) {
    const SummaryInput* input = table.Input(file);
    SummaryRow& row = input ? table.Row(file, input->cnpj) : table.Row(file, "");
    for (const auto& [code, reasons] : codes)
      for (const auto& [reason, n] : reasons) row.warnings += n;
  }
  for (const SummaryInput& f : files) {
    SummaryRow& row = table.Row(f.id, f.cnpj);
    row.pis += f.pis;
    row.cofins += f.cofins;
  }
  return table.Ordered();
}

std::map<int64_t, StagedContribution> StagedContributions(const RunContext& run) {
  std::map<int64_t, StagedContribution> sums;
  if (!run.connection) return sums;
  for (const char* code : {"M210", "M610"}) {
    const CatalogueRecord* record = Layout006().Find(code);
    const CatalogueField* field = record ? record->Field("VL_CONT_PER") : nullptr;
    if (!field) throw std::logic_error(std::string("o catálogo não tem o campo VL_CONT_PER do registro ") + code);
    const std::string column = ColumnSpelling(code, field->name);
    for (auto rs = run.connection->Execute("SELECT Id_Arquivo, " + column + " FROM ###" + code); !rs->Eof();
         rs->MoveNext()) {
      const Value& file = (*rs)["Id_Arquivo"];
      const Value& amount = (*rs)[column];
      const ExactDecimal value = EfdAmount(amount.IsNull() ? std::string() : amount.AsText(), *record, *field);
      StagedContribution& sum = sums[file.IsNull() ? 0 : file.AsInt()];
      (std::string_view(code) == "M210" ? sum.pis : sum.cofins) += value;
    }
  }
  return sums;
}

std::string SummaryCsv(const std::vector<SummaryRow>& rows) {
  const char sep = kCsvSeparator;
  std::string csv(kCsvBom);
  csv += "arquivo;cnpj;papel;linhas_lidas;linhas_gravadas;c100;a100;d100;f100;pis_m210_vl_cont_per;"
         "cofins_m610_vl_cont_per;avisos\n";
  for (const SummaryRow& r : rows) {
    csv += CsvCell(r.file) + sep + CsvCell(r.cnpj) + sep + CsvCell(r.role) + sep + std::to_string(r.read) + sep +
           std::to_string(r.written) + sep + std::to_string(r.c100) + sep + std::to_string(r.a100) + sep +
           std::to_string(r.d100) + sep + std::to_string(r.f100) + sep + CsvAmount(r.pis) + sep +
           CsvAmount(r.cofins) + sep + std::to_string(r.warnings) + '\n';
  }
  return csv;
}

namespace {

// `text` escaped for HTML text and attribute values.
std::string Html(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += c;
    }
  }
  return out;
}

// An amount with two decimals and dots between thousands: "1.234,50".
std::string Money(const ExactDecimal& amount) {
  std::string text = CsvAmount(amount);
  const bool negative = text[0] == '-';
  const size_t comma = text.find(',');
  std::string whole = text.substr(negative ? 1 : 0, comma - (negative ? 1 : 0));
  return (negative ? "-" : "") + GroupThousands(whole) + text.substr(comma);
}

// The width of a bar for `n` of `most`, in percent of the chart's width.
std::string Width(int64_t n, int64_t most) {
  if (most <= 0 || n <= 0) return "0";
  const int64_t tenths = std::max<int64_t>(1, n * 1000 / most);
  return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
}

}  // namespace

const std::vector<std::string>& SummaryColumns() {
  static const std::vector<std::string> columns = {
      "Arquivo", "CNPJ", "Papel", "Linhas lidas", "Linhas gravadas", "C100", "A100", "D100", "F100",
      "PIS (M210 VL_CONT_PER)", "COFINS (M610 VL_CONT_PER)", "Avisos"};
  return columns;
}

std::vector<std::string> SummaryCells(const SummaryRow& r) {
  return {r.file,           CnpjText(r.cnpj),       r.role,           ThousandsText(r.read),
          ThousandsText(r.written), ThousandsText(r.c100),  ThousandsText(r.a100), ThousandsText(r.d100),
          ThousandsText(r.f100),    Money(r.pis),       Money(r.cofins),  ThousandsText(r.warnings)};
}

std::string SummaryHtml(const std::vector<SummaryRow>& rows, const std::string& mergedName) {
  std::string h;
  h += "<!DOCTYPE html>\n<html lang=\"pt-BR\">\n<head>\n<meta charset=\"utf-8\">\n";
  h += "<title>Resumo da unificação – " + Html(mergedName) + "</title>\n";
  h += "<style>\n"
       "body{font-family:sans-serif;margin:1.5em;color:#222}\n"
       "table{border-collapse:collapse;margin-bottom:2em}\n"
       "th,td{border:1px solid #bbb;padding:.3em .6em}\n"
       "td{white-space:nowrap}\n"
       "th{background:#eee}\n"
       "td.n{text-align:right;font-variant-numeric:tabular-nums}\n"
       "tr.total td{font-weight:bold;background:#f4f4f4}\n"
       ".chart{max-width:60em}\n"
       ".item{display:grid;grid-template-columns:18em 1fr;gap:.2em .8em;margin:.5em 0;align-items:center}\n"
       ".bar{height:.9em;background:#2f6fb0}\n"
       ".bar.w{background:#7fb04f}\n"
       ".legend span{display:inline-block;width:1em;height:.8em;margin:0 .3em 0 1em}\n"
       "</style>\n</head>\n<body>\n";
  h += "<h1>Resumo da unificação</h1>\n<p>Arquivo unificado: " + Html(mergedName) + "</p>\n";
  h += "<table>\n<thead><tr>";
  for (const std::string& column : SummaryColumns()) h += "<th>" + Html(column) + "</th>";
  h += "</tr></thead>\n<tbody>\n";
  int64_t most = 0;
  for (const SummaryRow& r : rows) {
    if (!r.total) most = std::max({most, r.read, r.written});
    h += r.total ? "<tr class=\"total\">" : "<tr>";
    const std::vector<std::string> cells = SummaryCells(r);
    for (size_t i = 0; i < cells.size(); ++i)
      h += (static_cast<int>(i) >= kFirstNumberColumn ? "<td class=\"n\">" : "<td>") + Html(cells[i]) + "</td>";
    h += "</tr>\n";
  }
  h += "</tbody>\n</table>\n";
  h += "<h2>Linhas por estabelecimento</h2>\n<p class=\"legend\"><span class=\"bar\"></span>lidas"
       "<span class=\"bar w\"></span>gravadas</p>\n<div class=\"chart\">\n";
  for (const SummaryRow& r : rows) {
    if (r.total) continue;
    h += "<div class=\"item\"><div>" + Html(r.role) + " · " + Html(CnpjText(r.cnpj)) + "<br><small>" +
         Html(r.file) + "</small></div><div>";
    h += "<div class=\"bar\" style=\"width:" + Width(r.read, most) + "%\" title=\"" + ThousandsText(r.read) +
         " lidas\"></div>";
    h += "<div class=\"bar w\" style=\"width:" + Width(r.written, most) + "%\" title=\"" + ThousandsText(r.written) +
         " gravadas\"></div>";
    h += "<small>" + ThousandsText(r.read) + " lidas, " + ThousandsText(r.written) + " gravadas</small></div></div>\n";
  }
  h += "</div>\n</body>\n</html>\n";
  return h;
}

namespace {

// `mergedPath` without its ".txt" followed by `suffix`.
std::string Beside(const std::string& mergedPath, const std::string& suffix) {
  std::string base = mergedPath;
  if (base.size() >= 4 && base.compare(base.size() - 4, 4, ".txt") == 0) base.resize(base.size() - 4);
  return base + suffix;
}

}  // namespace

std::string SummaryCsvPath(const std::string& mergedPath) { return Beside(mergedPath, "_Resumo.csv"); }
std::string SummaryHtmlPath(const std::string& mergedPath) { return Beside(mergedPath, "_Resumo.html"); }

bool SaveSummaryFiles(const std::string& mergedPath, const std::vector<SummaryRow>& rows, std::string& error) {
  const std::pair<std::string, std::string> files[] = {
      {SummaryCsvPath(mergedPath), SummaryCsv(rows)},
      {SummaryHtmlPath(mergedPath), SummaryHtml(rows, platform::FileNameOf(mergedPath))}};
  for (const auto& [path, bytes] : files) {
    try {
      ReplaceFileContents(path, bytes);
    } catch (const FileWriteError& e) {
      error = "não foi possível gravar o resumo " + path + ": " + e.cause();
      return false;
    }
  }
  return true;
}
