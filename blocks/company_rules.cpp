#include "blocks/company_rules.h"

#include <string>

namespace {

using M = CompanyMerge;

const char* const kByKey = "gravado uma vez por chave";
const char* const kRevenue = "receitas somadas de todos os arquivos";
const char* const kCredits = "créditos somados por PER_APU_CRED, ORIG_CRED, CNPJ_SUC e COD_CRED";
const char* const kLate = "contribuições extemporâneas somadas por PER_APUR_ANT, NAT_CONT_REC e DT_RECOL";
const char* const kLateCredits = "créditos descontados somados por PER_APU_CRED, ORIG_CRED e COD_CRED";
const char* const kWithheld = "retenções somadas por IND_NAT_RET e PR_REC_RET";

}  // namespace

const std::vector<CompanyRule>& CompanyRules() {
  static const std::vector<CompanyRule> kRules = {
      {"0035", M::FirstOfKey, {"COD_SCP"}, true, kByKey},
      {"0100", M::Once, {"CPF"}, false, "um só para o arquivo unificado"},
      {"0110", M::Once, {}, false, "um só para o arquivo unificado"},
      {"0111", M::SumByKey, {}, false, kRevenue},
      {"0120", M::FirstOfKey, {"MES_REFER"}, true, kByKey},
      // The guide forbids two accounts of one DT_ALT, COD_CTA and COD_CTA_REF.
      {"0500", M::FirstOfKey, {"DT_ALT", "COD_CTA", "COD_CTA_REF"}, true, "conta gravada uma vez no arquivo"},
      {"0600", M::FirstOfKey, {"DT_ALT", "COD_CCUS"}, true, kByKey},
      {"0900", M::SumByKey, {}, false, kRevenue},
      {"P200", M::SumByKey, {"PER_REF"}, true, "contribuição previdenciária somada por PER_REF"},
      {"P210", M::KeepAll, {}, false, ""},
      {"1010", M::FirstOfKey, {}, false, "processo gravado uma vez"},
      {"1011", M::KeepAll, {}, false, ""},
      {"1020", M::FirstOfKey, {}, false, "processo gravado uma vez"},
      {"1050", M::KeepAll, {}, false, ""},
      {"1100", M::SumByKey, {"PER_APU_CRED", "ORIG_CRED", "CNPJ_SUC", "COD_CRED"}, false, kCredits},
      {"1101", M::KeepAll, {}, false, ""},
      {"1102", M::KeepAll, {}, false, ""},
      {"1200", M::SumByKey, {"PER_APUR_ANT", "NAT_CONT_REC", "DT_RECOL"}, false, kLate},
      {"1210", M::KeepAll, {}, false, ""},
      {"1220", M::SumByKey, {"PER_APU_CRED", "ORIG_CRED", "COD_CRED"}, false, kLateCredits},
      {"1300", M::SumByKey, {"IND_NAT_RET", "PR_REC_RET"}, false, kWithheld},
      {"1500", M::SumByKey, {"PER_APU_CRED", "ORIG_CRED", "CNPJ_SUC", "COD_CRED"}, false, kCredits},
      {"1501", M::KeepAll, {}, false, ""},
      {"1502", M::KeepAll, {}, false, ""},
      {"1600", M::SumByKey, {"PER_APUR_ANT", "NAT_CONT_REC", "DT_RECOL"}, false, kLate},
      {"1610", M::KeepAll, {}, false, ""},
      {"1620", M::SumByKey, {"PER_APU_CRED", "ORIG_CRED", "COD_CRED"}, false, kLateCredits},
      {"1700", M::SumByKey, {"IND_NAT_RET", "PR_REC_RET"}, false, kWithheld},
      {"1800", M::KeepAll, {}, false, ""},
      {"1809", M::KeepAll, {}, false, ""},
      {"1900", M::KeepAll, {}, false, ""},
  };
  return kRules;
}

const CompanyRule* CompanyRuleFor(std::string_view code) {
  for (const CompanyRule& r : CompanyRules())
    if (code == r.code) return &r;
  return nullptr;
}

bool IsSummedField(const CompanyRule& rule, std::string_view field, char type, int decimals) {
  if (rule.kind != CompanyMerge::SumByKey || type != 'N' || decimals < 0 || field == "REG") return false;
  for (const char* k : rule.keys)
    if (field == k) return false;
  return true;
}
