// Column spellings of the staging tables: how a field name of the layout table
// ("VL_BC_ICMS", "COD_PART") is spelled as a column name ("VL_BC_ICMS",
// "Cod_Part"). The database compares column names without regard to case, so
// the spelling only shows in the tables' definitions; it is kept as the tables
// have always been created. One rule (each word of the name capitalized, the
// words below kept upper case) and the per-record exceptions after it.
#include "staging/catalogue_layouts.h"

#include <string>

namespace {

// Words kept upper case in every column name.
bool UpperWord(std::string_view w) {
  static constexpr std::string_view kUpper[] = {
      "BC",  "CC",  "CEP", "CFOP", "CNPJ", "COFINS", "COO", "CPF", "CRC", "CRO",
      "CRZ", "CST", "CTA", "CX",   "ECF",  "GT",     "ICMS", "IE", "IM",  "INFO",
      "IPI", "NC",  "NCM", "OPR",  "PIS",  "SCP",    "ST",  "UF",  "VL"};
  for (std::string_view u : kUpper)
    if (u == w) return true;
  return false;
}

// Words with a spelling of their own.
std::string_view SpecialWord(std::string_view w) {
  if (w == "NCUM") return "NCum";
  if (w == "DOCe") return "DocE";
  return {};
}

struct Exception {
  std::string_view code, field, column;
};

// Columns spelled otherwise than the rule says (four of them named otherwise:
// END, DT_FIM, DESCR_COMPL, VL_CRED_DIFER; TP_CT-e has no hyphen).
constexpr Exception kExceptions[] = {
      {"0000", "IND_ATIV", "ind_Ativ"},
      {"0100", "END", "Ende"},
      {"0150", "END", "Ende"},
      {"0205", "DT_FIM", "Dt_Fin"},
      {"0500", "IND_CTA", "Ind_Cta"},
      {"0500", "COD_CTA", "Cod_Cta"},
      {"0500", "NOME_CTA", "Nome_Cta"},
      {"0500", "COD_CTA_REF", "Cod_Cta_Ref"},
      {"C100", "VL_ABAT_NT", "VL_Abat_NT"},
      {"C170", "DESCR_COMPL", "Desc_Com_PL"},
      {"C170", "COD_CTA", "COD_CTA"},
      {"C175", "VL_DESC", "VL_DESC"},
      {"C175", "ALIQ_PIS", "ALIQ_PIS"},
      {"C175", "QUANT_BC_PIS", "QUANT_BC_PIS"},
      {"C175", "ALIQ_PIS_QUANT", "ALIQ_PIS_QUANT"},
      {"C175", "ALIQ_COFINS", "ALIQ_COFINS"},
      {"C175", "QUANT_BC_COFINS", "QUANT_BC_COFINS"},
      {"C175", "ALIQ_COFINS_QUANT", "ALIQ_COFINS_QUANT"},
      {"C175", "COD_CTA", "COD_CTA"},
      {"C175", "INFO_COMPL", "INFO_COMPL"},
      {"C180", "EX_IPI", "Ex_Ipi"},
      {"C180", "VL_TOT_ITEM", "Vl_Tot_Item"},
      {"C181", "VL_DESC", "Vl_Desc"},
      {"C185", "VL_DESC", "Vl_Desc"},
      {"C191", "ALIQ_PIS_QUANT", "Aliq_Pis_Quant"},
      {"C490", "DT_DOC_INI", "DT_Doc_Ini"},
      {"C490", "DT_DOC_FIN", "DT_Doc_Fin"},
      {"D100", "TP_CT-e", "TP_CT_e"},
      {"D100", "VL_NT", "VL_NT"},
      {"D100", "COD_CTA", "Cod_Cta"},
      {"D101", "COD_CTA", "Cod_Cta"},
      {"D105", "COD_CTA", "Cod_Cta"},
      {"D501", "COD_CTA", "Cod_Cta"},
      {"D505", "COD_CTA", "Cod_Cta"},
      {"M105", "VL_BC_PIS_NC", "VL_BC_PIS_Nc"},
      {"M210", "VL_AJUS_ACRES_BC_PIS", "VL_AJUS_ACRES_BC_PIS"},
      {"M210", "VL_AJUS_REDUC_BC_PIS", "VL_AJUS_REDUC_BC_PIS"},
      {"M210", "VL_BC_CONT_AJUS", "VL_BC_CONT_AJUS"},
      {"M400", "COD_CTA", "Cod_Cta"},
      {"M410", "COD_CTA", "Cod_Cta"},
      {"M500", "VL_CRED_DIFER", "VL_Cred_Dif"},
      {"M505", "VL_BC_COFINS_NC", "VL_BC_COFINS_Nc"},
      {"M610", "VL_AJUS_ACRES_BC_COFINS", "VL_AJUS_ACRES_BC_COFINS"},
      {"M610", "VL_AJUS_REDUC_BC_COFINS", "VL_AJUS_REDUC_BC_COFINS"},
      {"M610", "VL_BC_CONT_AJUS", "VL_BC_CONT_AJUS"},
      {"M800", "COD_CTA", "Cod_Cta"},
      {"M810", "COD_CTA", "Cod_Cta"},
};

}  // namespace

std::string ColumnSpelling(std::string_view code, std::string_view field) {
  for (const Exception& e : kExceptions)
    if (e.code == code && e.field == field) return std::string(e.column);
  std::string out;
  size_t start = 0;
  for (;;) {
    size_t bar = field.find_first_of("_-", start);
    std::string_view w = field.substr(start, bar == std::string_view::npos ? std::string_view::npos : bar - start);
    if (UpperWord(w)) {
      out += w;
    } else if (std::string_view s = SpecialWord(w); !s.empty()) {
      out += s;
    } else {
      for (size_t i = 0; i < w.size(); ++i) {
        char c = w[i];
        if (i == 0 && c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
        if (i > 0 && c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
        out += c;
      }
    }
    if (bar == std::string_view::npos) return out;
    out += '_';
    start = bar + 1;
  }
}
