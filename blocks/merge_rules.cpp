#include "blocks/merge_rules.h"

#include "blocks/company_rules.h"

namespace {

bool In(std::string_view code, std::initializer_list<std::string_view> codes) {
  for (std::string_view c : codes)
    if (c == code) return true;
  return false;
}

}  // namespace

MergeRuleInfo MergeRuleFor(std::string_view code, bool sameCnpj) {
  if (code.size() != 4) return {};
  const std::string_view tail = code.substr(1);
  if (tail == "001" || tail == "990" || In(code, {"9900", "9999"}))
    return {MergeRule::Recomputed, "abertura, encerramento e contagens recalculados"};
  if (code == "0000") return {MergeRule::Once, "um só para o arquivo unificado"};
  if (const CompanyRule* r = CompanyRuleFor(code)) {
    switch (r->kind) {
      case CompanyMerge::KeepAll: return {};
      case CompanyMerge::Once: return {MergeRule::Once, r->reason};
      case CompanyMerge::FirstOfKey: return {MergeRule::Deduplicated, r->reason};
      case CompanyMerge::SumByKey: return {MergeRule::Summed, r->reason};
    }
  }
  if (code == "0190") return {MergeRule::Deduplicated, "unidade gravada uma vez por empresa"};
  // One establishment record per CNPJ in both kinds of merge, and the records
  // with a code of their own under 0140 once per code (the first in load order,
  // with the item's own changes).
  if (code == "0140" || (tail == "010" && In(code.substr(0, 1), {"A", "C", "D", "F", "I", "P"})))
    return {MergeRule::Once, sameCnpj ? "um estabelecimento para os arquivos do mesmo CNPJ" : "um estabelecimento por CNPJ"};
  // The revenue an establishment's 0145 gives: the lines of the files of its
  // CNPJ summed into one (one file gives it one line).
  if (code == "0145") return {MergeRule::Summed, "receitas do estabelecimento somadas dos arquivos do mesmo CNPJ"};
  if (In(code, {"0150", "0200", "0205", "0206", "0208", "0400", "0450"}))
    return {MergeRule::Deduplicated, sameCnpj ? "cadastro gravado uma vez para os arquivos do mesmo CNPJ"
                                              : "cadastro gravado uma vez por código no estabelecimento"};
  if (code[0] == 'M') return {MergeRule::Summed, "apuração somada de todos os arquivos"};
  return {};
}
