// Record layouts of Bloco0: one row per record code, in the order the staging
// tables are created; fields in line order after the link columns (Key -1).
#include "blocks/bloco0.h"

#include "staging/layout_spec.h"

namespace Bloco0 {

const std::vector<LayoutSpec>& Layouts() {
  static const std::vector<LayoutSpec> kLayouts = {
      {"0000", true, {
          {"Reg", false, 1},
          {"Cod_Ver", false, 2},
          {"Tipo_Escrit", false, 3},
          {"Ind_Sit_Esp", false, 4},
          {"Num_Rec_Anterior", false, 5},
          {"Dt_Ini", false, 6},
          {"Dt_Fin", false, 7},
          {"Nome", false, 8},
          {"CNPJ", false, 9},
          {"UF", false, 10},
          {"Cod_Mun", false, 11},
          {"Suframa", false, 12},
          {"Ind_Nat_Pj", false, 13},
          {"ind_Ativ", false, 14},
      }},
      {"0001", true, {
          {"Id_CNPJ", false, -1},
          {"Reg", false, 1},
          {"Ind_Mov", false, 2},
      }},
      {"0035", true, {
          {"Id_CNPJ", false, -1},
          {"Reg", false, 1},
          {"Cod_SCP", false, 2},
          {"Desc_SCP", false, 3},
          {"Inf_Comp", false, 4},
      }},
      {"0100", true, {
          {"Id_CNPJ", false, -1},
          {"Reg", false, 1},
          {"Nome", false, 2},
          {"CPF", false, 3},
          {"CRC", false, 4},
          {"CNPJ", false, 5},
          {"CEP", false, 6},
          {"Ende", false, 7},
          {"Num", false, 8},
          {"Compl", false, 9},
          {"Bairro", false, 10},
          {"Fone", false, 11},
          {"Fax", false, 12},
          {"Email", false, 13},
          {"Cod_Mun", false, 14},
      }},
      {"0110", true, {
          {"Id_CNPJ", false, -1},
          {"Reg", false, 1},
          {"Cod_Inc_Trib", false, 2},
          {"Ind_Apro_Cred", false, 3},
          {"Cod_Tipo_Cont", false, 4},
          {"Ind_Reg_Cum", false, 5},
      }},
      {"0111", true, {
          {"Id_CNPJ", false, -1},
          {"Reg", false, 1},
          {"Rec_Bru_NCum_Trib_Mi", false, 2},
          {"Rec_Bru_NCum_Nt_Mi", false, 3},
          {"Rec_Bru_NCum_Exp", false, 4},
          {"Rec_Bru_Cum", false, 5},
          {"Rec_Bru_Total", false, 6},
      }},
      {"0140", true, {
          {"Id_CNPJ", false, -1},
          {"Reg", false, 1},
          {"Cod_Est", true, 2},
          {"Nome", false, 3},
          {"CNPJ", false, 4},
          {"UF", false, 5},
          {"IE", false, 6},
          {"Cod_Mun", false, 7},
          {"IM", false, 8},
          {"Suframa", false, 9},
      }},
      {"0150", true, {
          {"Id_CNPJ", false, -1},
          {"Reg", false, 1},
          {"Cod_Part", false, 2},
          {"Nome", false, 3},
          {"Cod_Pais", false, 4},
          {"CNPJ", false, 5},
          {"CPF", false, 6},
          {"IE", false, 7},
          {"Cod_Mun", false, 8},
          {"Suframa", false, 9},
          {"Ende", false, 10},
          {"Num", false, 11},
          {"Compl", false, 12},
          {"Bairro", false, 13},
      }},
      {"0190", true, {
          {"Id_CNPJ", false, -1},
          {"Reg", false, 1},
          {"Unid", false, 2},
          {"Descr", false, 3},
      }},
      {"0200", true, {
          {"Id_CNPJ", false, -1},
          {"Reg", false, 1},
          {"Cod_Item", false, 2},
          {"Descr_Item", false, 3},
          {"Cod_Barra", false, 4},
          {"Cod_Ant_Item", false, 5},
          {"Unid_Inv", false, 6},
          {"Tipo_Item", false, 7},
          {"Cod_NCM", false, 8},
          {"Ex_IPI", false, 9},
          {"Cod_Gen", false, 10},
          {"Cod_Lst", false, 11},
          {"Aliq_ICMS", false, 12},
      }},
      {"0205", false, {
          {"Id_CNPJ", false, -1},
          {"ID", true, -1, RunRef::ParentID},
          {"Reg", false, 1},
          {"Descr_Ant_Item", false, 2},
          {"Dt_Ini", false, 3},
          {"Dt_Fin", false, 4},
          {"Cod_Ant_Item", false, 5},
      }},
      {"0450", true, {
          {"Id_CNPJ", false, -1},
          {"Reg", false, 1},
          {"Cod_Inf", false, 2},
          {"Txt", false, 3},
      }},
      {"0500", true, {
          {"Id_CNPJ", false, -1},
          {"Reg", false, 1},
          {"Dt_Alt", false, 2},
          {"Cod_Nat_CC", false, 3},
          {"Ind_Cta", false, 4},
          {"Nivel", false, 5},
          {"Cod_Cta", false, 6},
          {"Nome_Cta", false, 7},
          {"Cod_Cta_Ref", false, 8},
          {"CNPJ_Est", false, 9},
      }},
      {"0990", true, {
          {"Id_CNPJ", false, -1},
          {"Reg", false, 1},
          {"Qtd_Lin_0", false, 2},
      }},
  };
  return kLayouts;
}

Objeto_Collection md_GetLayout(std::string_view reg) { return BuildLayout(Layouts(), reg); }

void md_CreateTables() { CreateTablesOf(Layouts()); }

}  // namespace Bloco0
