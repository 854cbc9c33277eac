#include "wizard/reconciliation.h"

#include <map>

#include "blocks/merge_rules.h"

namespace {

struct CodeTotals {
  int64_t read = 0, written = 0, refused = 0;
  std::string refusedReason;
  std::vector<std::pair<std::string, RecordLedger::Counts>> establishments;
};

// `n` lines of `code` (of establishment `cnpj` when known) not written.
std::string Shortfall(int64_t n, const std::string& code, const std::string& cnpj) {
  std::string text = std::to_string(n) + (n == 1 ? " linha do registro " : " linhas do registro ") + code;
  if (!cnpj.empty()) text += " de " + cnpj;
  return text + (n == 1 ? " não foi gravada" : " não foram gravadas");
}

std::string CsvField(const std::string& v) {
  if (v.find_first_of(",\"\r\n") == std::string::npos) return v;
  std::string q = "\"";
  for (char c : v) {
    if (c == '"') q += '"';
    q += c;
  }
  return q + "\"";
}

}  // namespace

Reconciliation Reconcile(const RecordLedger& ledger, bool sameCnpj) {
  std::map<std::string, CodeTotals> codes;
  for (const auto& [key, counts] : ledger.Entries()) {
    CodeTotals& t = codes[key.first];
    t.read += counts.read;
    t.written += counts.written;
    t.establishments.emplace_back(key.second, counts);
  }
  for (const auto& [code, reasons] : ledger.RefusedLines()) {
    CodeTotals& t = codes[code];
    for (const auto& [reason, n] : reasons) {
      t.refused += n;
      t.refusedReason += (t.refusedReason.empty() ? "" : "; ") + reason;
    }
  }

  Reconciliation r;
  for (const auto& [code, t] : codes) {
    LedgerRow total{code, "", t.read, t.written, 0, t.refused, 0, t.refusedReason};
    if (t.read > t.written) {
      MergeRuleInfo rule = MergeRuleFor(code, sameCnpj);
      if (rule.rule != MergeRule::None) {
        total.merged = t.read - t.written;
        total.reason = rule.reason;
      } else {
        total.missing = t.read - t.written;
        // Named per establishment when the establishments' own shortfalls
        // make up the whole; otherwise for the record code.
        int64_t perEstablishment = 0;
        std::vector<std::string> named;
        for (const auto& [cnpj, c] : t.establishments)
          if (c.read > c.written) {
            perEstablishment += c.read - c.written;
            named.push_back(Shortfall(c.read - c.written, code, cnpj));
          }
        if (perEstablishment == total.missing)
          r.shortfalls.insert(r.shortfalls.end(), named.begin(), named.end());
        else
          r.shortfalls.push_back(Shortfall(total.missing, code, ""));
        total.reason = "linhas não gravadas";
      }
    }
    r.rows.push_back(total);
    for (const auto& [cnpj, c] : t.establishments)
      if (!cnpj.empty() || t.establishments.size() > 1)
        r.rows.push_back(LedgerRow{code, cnpj, c.read, c.written, 0, 0, 0, ""});
  }
  return r;
}

void WriteLedgerCsv(const std::vector<LedgerRow>& rows, std::ostream& out) {
  out << "registro,estabelecimento,lidas,gravadas,unificadas_por_regra,recusadas,nao_gravadas,motivo\n";
  for (const LedgerRow& row : rows)
    out << CsvField(row.code) << ',' << CsvField(row.establishment) << ',' << row.read << ',' << row.written << ','
        << row.merged << ',' << row.refused << ',' << row.missing << ',' << CsvField(row.reason) << '\n';
}
