// Block M of the merged file. Nothing is copied: every record is recomputed for
// the company as a whole by one aggregate statement over the staged lines of
// all files, grouped by the record's key fields. One statement template serves
// the PIS record and its COFINS twin; "{Tipo}" names the tax.
#include <memory>
#include <string>
#include <string_view>

#include "blocks/blocom.h"

#include "blocks/block_statement.h"
#include "staging/resources.h"
#include "staging/run_state.h"
#include "staging/text.h"

namespace BlocoM {
namespace {

// Every record the driver writes besides the opener and the closer; M410 and
// M810 are written under their parents only.
constexpr std::string_view kDataRecords[] = {"M100", "M105", "M110", "M200", "M205",
                                             "M210", "M400", "M500", "M505", "M510",
                                             "M600", "M605", "M610", "M800"};

// Replaces every occurrence of the placeholder `from` in `s` by `to`
// (case-sensitive), never inside a quoted value.
void ReplaceAll(std::string& s, std::string_view from, std::string_view to) {
  s = ::ReplaceAll(std::move(s), from, to);
}

// "PIS" for M100..M499, "COFINS" for M500 and above. `reg` is a code of the block.
std::string TaxKind(std::string_view reg) {
  int number = 0;
  for (char c : reg.substr(1)) number = number * 10 + (c - '0');
  return number < 500 ? "PIS" : "COFINS";
}

// The standard rate of the tax, as the merged file writes it.
std::string StandardRate(std::string_view reg) { return TaxKind(reg) == "PIS" ? "1,65" : "7,60"; }

// SUM(CAST(REPLACE(x,',','.') as FLOAT)) AS x, the sum of a staged decimal-comma column.
std::string SumAs(std::string_view column) {
  std::string s = "SUM(CAST(REPLACE(";
  s.append(column).append(",',','.') as FLOAT)) AS ").append(column);
  return s;
}

// Credits of all files summed per credit type; the credit is wholly used when
// the available credit is not above the credit used, else the balance is the
// difference to three places.
std::string CreditStatement(std::string_view reg) {
  std::string s;
  s += "SELECT ";
  s += "lst.Reg,";
  s += "lst.Cod_Cred,";
  s += "'0' Ind_Cred_Ori,";
  s += "lst.VL_BC_{Tipo},";
  s += "'" + StandardRate(reg) + "' AS Aliq_{Tipo},";
  s += "'' AS Quant_BC_{Tipo},";
  s += "'' AS Aliq_{Tipo}_Quant,";
  s += "lst.VL_Cred,";
  s += "lst.VL_Ajus_Acres,";
  s += "lst.VL_Ajus_Reduc,";
  s += "lst.VL_Cred_Dif,";
  s += "(CASE WHEN (lst.VL_Cred_Disp <= lst.VL_Cred_Desc) THEN '0' ELSE '1' END) Ind_Desc_Cred,";
  s += "lst.VL_Cred_Disp,";
  s += "lst.VL_Cred_Desc,";
  s += "(CASE WHEN (lst.VL_Cred_Disp <= lst.VL_Cred_Desc) THEN 0 ELSE ROUND(lst.VL_Cred_Disp - "
       "lst.VL_Cred_Desc, 3) END) AS Sld_Cred ";
  s += "FROM ";
  s += "(SELECT ";
  s += "Reg,";
  s += "Cod_Cred,";
  s += "SUM(CAST(REPLACE(VL_BC_{Tipo},',','.') AS FLOAT)) AS VL_BC_{Tipo},";
  s += "SUM(CAST(REPLACE(VL_Cred ,',','.') AS FLOAT)) AS VL_Cred,";
  s += "SUM(CAST(REPLACE(VL_Ajus_Acres ,',','.') AS FLOAT)) AS VL_Ajus_Acres,";
  s += "SUM(CAST(REPLACE(VL_Ajus_Reduc ,',','.') AS FLOAT)) AS VL_Ajus_Reduc,";
  s += "SUM(CAST(REPLACE(VL_Cred_Dif ,',','.') AS FLOAT)) AS VL_Cred_Dif,";
  s += "SUM(CAST(REPLACE(VL_Cred_Disp ,',','.') AS FLOAT)) AS VL_Cred_Disp,";
  s += "SUM(CAST(REPLACE(VL_Cred_Desc ,',','.') AS FLOAT)) AS VL_Cred_Desc ";
  s += "FROM ";
  s += "###";
  s.append(reg);
  s += " ";
  s += "GROUP BY ";
  s += "Reg,";
  s += "Cod_Cred) AS lst";
  return s;
}

// The contribution lines: one per contribution code, rate and rate per
// quantity, rates compared as numbers ("1,65" and "1,6500" are one rate).
// A group at the standard rate writes the standard text, any other group the
// staged text of its rate; the quantity is summed and stays empty when no
// line of the group carries one (NULL, which the line writer leaves empty).
std::string ContributionStatement(std::string_view reg) {
  const std::string rate = StandardRate(reg);
  const char* kSummed[] = {"VL_Rec_Brt",    "VL_BC_Cont",        "VL_AJUS_ACRES_BC_{Tipo}",
                           "VL_AJUS_REDUC_BC_{Tipo}", "VL_BC_CONT_AJUS", "VL_Cont_Apur",
                           "VL_Ajus_Acres", "VL_Ajus_Reduc",     "VL_Cont_Difer",
                           "VL_Cont_Difer_Ant", "VL_Cont_Per"};
  std::string s = "SELECT lst.Reg,lst.Cod_Cont,";
  for (const char* x : kSummed) s.append("lst.").append(x).append(",");
  s += "(CASE WHEN (lst.Aliq_Num = CAST(REPLACE('" + rate + "',',','.') AS FLOAT)) THEN '" + rate +
       "' ELSE lst.Aliq_Txt END) AS Aliq_{Tipo},";
  s += "(CASE WHEN (lst.Quant_Txt = '') THEN NULL ELSE lst.Quant_Sum END) AS Quant_BC_{Tipo},";
  s += "lst.Aliq_Quant_Txt AS Aliq_{Tipo}_Quant ";
  s += "FROM (SELECT Reg,Cod_Cont,";
  for (const char* x : kSummed) s.append(SumAs(x)).append(",");
  s += "MAX(CAST(REPLACE(Aliq_{Tipo},',','.') AS FLOAT)) AS Aliq_Num,";
  s += "MAX(Aliq_{Tipo}) AS Aliq_Txt,";
  s += "SUM(CAST(REPLACE(Quant_BC_{Tipo},',','.') AS FLOAT)) AS Quant_Sum,";
  s += "MAX(Quant_BC_{Tipo}) AS Quant_Txt,";
  s += "MAX(Aliq_{Tipo}_Quant) AS Aliq_Quant_Txt ";
  s += "FROM ###";
  s.append(reg);
  s += " GROUP BY Reg,Cod_Cont,CAST(REPLACE(Aliq_{Tipo},',','.') AS FLOAT),"
       "CAST(REPLACE(Aliq_{Tipo}_Quant,',','.') AS FLOAT)) AS lst";
  return s;
}

// The statement of `reg`, every placeholder replaced. `cstFilter` selects the
// M410 / M810 rows and enters the text as a quoted literal.
std::string ComposeStatement(std::string_view reg, std::string_view cstFilter) {
  std::string sql = "SELECT {TOP} {SELECTSUM} FROM ###";
  sql.append(reg).append(" ");
  std::string list, tail;
  if (reg == "M001") {
    ReplaceAll(sql, "{TOP}", "TOP(1)");
    ReplaceAll(sql, "{SELECTSUM}", "*");
  } else if (reg == "M990") {
    sql = "SELECT '";
    sql.append(reg).append(
        "' AS Reg,SUM(CAST(REPLACE(QtdeReg,',','.') AS FLOAT)) + 1 AS Qtd_Lin_M FROM ###Registros "
        "WHERE (Bloco = 'M')");
  } else if (reg == "M100" || reg == "M500") {
    sql = CreditStatement(reg);
  } else if (reg == "M210" || reg == "M610") {
    sql = ContributionStatement(reg);
  } else if (reg == "M105" || reg == "M505") {
    list = "Reg,CST_{Tipo},Nat_BC_Cred,"
           "SUM(CAST(REPLACE(VL_BC_{Tipo}_Tot ,',','.') as FLOAT)) AS VL_BC_{Tipo}_Tot,"
           "'' AS VL_BC_{Tipo}_Cum,"
           "SUM(CAST(REPLACE(VL_BC_{Tipo}_Nc ,',','.') as FLOAT)) AS VL_BC_{Tipo}_Nc,"
           "SUM(CAST(REPLACE(VL_BC_{Tipo},',','.') as FLOAT)) AS VL_BC_{Tipo},"
           "'' AS Quant_BC_{Tipo}_Tot,0 AS Quant_BC_{Tipo},'' AS Desc_Cred ";
    tail = "GROUP BY Reg,Nat_BC_Cred,CST_{Tipo}";
  } else if (reg == "M110" || reg == "M510") {
    list = "Reg,Ind_Aj,SUM(CAST(REPLACE(VL_Aj , ',','.') as FLOAT)) AS VL_Aj,"
           "Cod_Aj,Dt_Ref, '' AS Num_Doc,'' AS Descr_Aj ";
    tail = "GROUP BY Reg,Ind_Aj,Cod_Aj,Dt_Ref";
  } else if (reg == "M200" || reg == "M600") {
    const char* kSummed[] = {"VL_Tot_Cont_NC_Per", "VL_Tot_Cred_Desc", "VL_Tot_Cred_Desc_Ant",
                             "VL_Tot_Cont_NC_Dev", "VL_Ret_NC",        "VL_Out_Ded_NC",
                             "VL_Cont_NC_Rec",     "VL_Tot_Cont_Cum_Per", "VL_Ret_Cum",
                             "VL_Out_Ded_Cum",     "VL_Cont_Cum_Rec",  "VL_Tot_Cont_Rec"};
    list = "Reg,";
    for (const char* x : kSummed) list.append(SumAs(x)).append(", ");
    list.erase(list.size() - 2, 1);  // the last sum is followed by a blank only
    tail = "GROUP BY Reg";
  } else if (reg == "M205" || reg == "M605") {
    list = "Reg,Num_Campo,Cod_Rec,SUM(CAST(REPLACE(VL_Debito,',','.') as FLOAT)) AS VL_Debito ";
    tail = "GROUP BY Reg,Num_Campo,Cod_Rec";
  } else if (reg == "M400" || reg == "M800") {
    list = "Reg,SUM(CAST(REPLACE(VL_Tot_Rec,',','.') as FLOAT)) AS VL_Tot_Rec,CST_{Tipo},Cod_Cta,"
           "'' AS Desc_Compl ";
    tail = "GROUP BY Reg,Cod_Cta,CST_{Tipo}";
  } else if (reg == "M410" || reg == "M810") {
    list = "Reg,SUM(CAST(REPLACE(VL_Rec,',','.') as FLOAT)) AS VL_Rec,Nat_Rec,Cod_Cta,"
           "'' AS Desc_Compl ";
    tail = "WHERE (Cst = '" + PrepareSqlText(cstFilter) + "') GROUP BY Reg,Cod_Cta,Nat_Rec";
  }
  if (!list.empty()) {
    ReplaceAll(sql, "{SELECTSUM}", list);
    sql += tail;
  }
  ReplaceAll(sql, "{Tipo}", TaxKind(reg));
  ReplaceAll(sql, "{TOP}", "");
  return sql;
}

// True when any record of the block besides its opener and closer will be written.
bool BlockHasData() {
  for (std::string_view reg : kDataRecords)
    if (md_TableHasRows(reg)) return true;
  return false;
}

// md_WriteRecords with the opener's movement flag known.
void WriteRecordsOf(std::string_view reg, Objeto_Collection& layout, std::string_view cstFilter,
                    bool isChild, bool blockHasData) {
  std::unique_ptr<Recordset> rs = g_Connection->Execute(ComposeStatement(reg, cstFilter));
  int32_t k = 0;
  const bool hasChildren = reg == "M400" || reg == "M800";
  while (!rs->Eof()) {
    ++k;
    md_ShowProgress(isChild ? 4 : 3, reg, k, static_cast<double>(rs->RecordCount()));
    if (reg == "M001")
      md_WriteOpener(reg, *rs, layout, blockHasData);
    else
      md_WriteLine(reg, *rs, layout);
    if (hasChildren) {
      const std::string child = reg == "M400" ? "M410" : "M810";
      const std::string cst = (*rs)["CST_" + TaxKind(reg)].AsText();
      Objeto_Collection childLayout = md_GetLayout(child);
      WriteRecordsOf(child, childLayout, cst, true, blockHasData);
    }
    rs->MoveNext();
  }
  md_AddRecordCount(reg, k);
}

}  // namespace

// Writes the lines of `reg` (for M400 / M800 each followed by its children of
// that CST) and adds their number to the counters. Errors of the database or
// of the output file propagate to the caller, lines written so far remain.
void md_WriteRecords(std::string_view reg, Objeto_Collection& layout, std::string_view cstFilter,
                     bool isChild) {
  WriteRecordsOf(reg, layout, cstFilter, isChild, reg == "M001" && BlockHasData());
}

// Writes the whole block in file order, M990 last from the counters. Errors
// propagate as in md_WriteRecords.
void md_UnifyBlock() {
  md_ShowProgress(2, "CNPJ: Nenhum", 1, 1);
  const bool hasData = BlockHasData();
  for (std::string_view reg : {"M001", "M100", "M105", "M110", "M200", "M205", "M210", "M400",
                               "M500", "M505", "M510", "M600", "M605", "M610", "M800", "M990"}) {
    Objeto_Collection layout = md_GetLayout(reg);
    WriteRecordsOf(reg, layout, "", false, hasData);
  }
}

}  // namespace BlocoM
