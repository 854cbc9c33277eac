// Record layouts of BlocoD: one row per record code, in the order the staging
// tables are created; fields in line order after the link columns (Key -1).
#include "blocks/blocod.h"

#include "staging/layout_spec.h"

namespace BlocoD {

const std::vector<LayoutSpec>& Layouts() {
  static const std::vector<LayoutSpec> kLayouts = {
      {"D001", true, {
          {"Id_CNPJ", false, -1},
          {"Reg", false, 1},
          {"Ind_Mov", false, 2},
      }},
      {"D010", true, {
          {"Id_CNPJ", false, -1},
          {"Reg", false, 1},
          {"CNPJ", false, 2},
      }},
      {"D100", true, {
          {"ID", true, -1},
          {"Id_CNPJ", false, -1},
          {"Reg", false, 1},
          {"Ind_Oper", false, 2},
          {"Ind_Emit", false, 3},
          {"Cod_Part", false, 4},
          {"Cod_Mod", false, 5},
          {"Cod_Sit", false, 6},
          {"Ser", false, 7},
          {"Sub", false, 8},
          {"Num_Doc", false, 9},
          {"Chv_Cte", false, 10},
          {"Dt_Doc", false, 11},
          {"Dt_A_P", false, 12},
          {"TP_CT_e", false, 13},
          {"Chv_Cte_Ref", false, 14},
          {"VL_Doc", false, 15},
          {"VL_Desc", false, 16},
          {"Ind_Frt", false, 17},
          {"VL_Serv", false, 18},
          {"VL_BC_ICMS", false, 19},
          {"VL_ICMS", false, 20},
          {"VL_NT", false, 21},
          {"Cod_Inf", false, 22},
          {"Cod_Cta", false, 23},
      }},
      {"D101", false, {
          {"Id_CNPJ", false, -1},
          {"ID", true, -1},
          {"Reg", false, 1},
          {"Ind_Nat_Frt", false, 2},
          {"VL_Item", false, 3},
          {"CST_PIS", false, 4},
          {"Nat_BC_Cred", false, 5},
          {"VL_BC_PIS", false, 6},
          {"Aliq_PIS", false, 7},
          {"VL_PIS", false, 8},
          {"Cod_Cta", false, 9},
      }},
      {"D105", false, {
          {"Id_CNPJ", false, -1},
          {"ID", true, -1},
          {"Reg", false, 1},
          {"Ind_Nat_Frt", false, 2},
          {"VL_Item", false, 3},
          {"CST_COFINS", false, 4},
          {"Nat_BC_Cred", false, 5},
          {"VL_BC_COFINS", false, 6},
          {"Aliq_COFINS", false, 7},
          {"VL_COFINS", false, 8},
          {"Cod_Cta", false, 9},
      }},
      {"D500", true, {
          {"ID", true, -1},
          {"Id_CNPJ", false, -1},
          {"Reg", false, 1},
          {"Ind_Oper", false, 2},
          {"Ind_Emit", false, 3},
          {"Cod_Part", false, 4},
          {"Cod_Mod", false, 5},
          {"Cod_Sit", false, 6},
          {"Ser", false, 7},
          {"Sub", false, 8},
          {"Num_Doc", false, 9},
          {"Dt_Doc", false, 10},
          {"Dt_A_P", false, 11},
          {"VL_Doc", false, 12},
          {"VL_Desc", false, 13},
          {"VL_Serv", false, 14},
          {"VL_Serv_Nt", false, 15},
          {"VL_Terc", false, 16},
          {"VL_Da", false, 17},
          {"VL_BC_ICMS", false, 18},
          {"VL_ICMS", false, 19},
          {"Cod_Inf", false, 20},
          {"VL_PIS", false, 21},
          {"VL_COFINS", false, 22},
      }},
      {"D501", false, {
          {"Id_CNPJ", false, -1},
          {"ID", true, -1},
          {"Reg", false, 1},
          {"CST_PIS", false, 2},
          {"VL_Item", false, 3},
          {"Nat_BC_Cred", false, 4},
          {"VL_BC_PIS", false, 5},
          {"Aliq_PIS", false, 6},
          {"VL_PIS", false, 7},
          {"Cod_Cta", false, 8},
      }},
      {"D505", false, {
          {"Id_CNPJ", false, -1},
          {"ID", true, -1},
          {"Reg", false, 1},
          {"CST_COFINS", false, 2},
          {"VL_Item", false, 3},
          {"Nat_BC_Cred", false, 4},
          {"VL_BC_COFINS", false, 5},
          {"Aliq_COFINS", false, 6},
          {"VL_COFINS", false, 7},
          {"Cod_Cta", false, 8},
      }},
      {"D990", true, {
          {"Id_CNPJ", false, -1},
          {"Reg", false, 1},
          {"Qtd_Lin_D", false, 2},
      }},
  };
  return kLayouts;
}

Objeto_Collection md_GetLayout(std::string_view reg) { return BuildLayout(Layouts(), reg); }

void md_CreateTables() { CreateTablesOf(Layouts()); }

}  // namespace BlocoD
