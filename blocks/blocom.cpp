// Block M of the merged file. The staged lines of every file are read back as
// trees (one statement per record code, children linked by ID_Pai), merged
// into the company's block in memory (blocom_merge.cpp, blocom_compute.cpp)
// and written in layout order, each line followed by the lines below it.
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "blocks/blocom.h"
#include "blocks/blocom_tree.h"
#include "blocks/efd_amount.h"
#include "blocks/registry.h"
#include "staging/record_catalogue.h"
#include "staging/resources.h"
#include "staging/run_state.h"
#include "staging/text.h"

namespace BlocoM {
namespace {

std::vector<std::string>& Notices(RunContext& ctx) { return ctx.blockMNotices; }

// A staged value as text (NULL as the empty text).
std::string TextOf(const Value& v) { return v.IsNull() ? std::string() : v.AsText(); }

// One staged row with its links.
struct StagedRow {
  long long id = 0, parent = 0;
  MRecord record;
};

// Every staged row of the block's data records, per code, in list order (the
// input files' numbers follow the list), each file's rows in identity order.
std::map<std::string, std::vector<StagedRow>> ReadStagedRows(RunContext& ctx) {
  std::map<std::string, std::vector<StagedRow>> rows;
  for (const LayoutSpec& spec : Layouts()) {
    const std::string code = spec.code;
    if (code == "M001" || code == "M990") continue;
    const bool linked = HasParentRow(code);
    std::unique_ptr<Recordset> rs =
        ctx.connection->Execute("SELECT * FROM ###" + code + " ORDER BY Id_Arquivo ASC, ID ASC");
    std::vector<StagedRow>& out = rows[code];
    for (; !rs->Eof(); rs->MoveNext()) {
      StagedRow row;
      row.id = std::stoll("0" + TextOf((*rs)["ID"]));
      if (linked) {
        const std::string p = TextOf((*rs)["ID_Pai"]);
        row.parent = IsWholeNumber(p) ? std::stoll(p) : 0;
      }
      row.record.file = TextOf((*rs)["Id_Arquivo"]);  // the parts of one CNPJ are files of their own
      row.record.f.assign(spec.LineFieldCount() + 1, std::string());
      for (const FieldSpec& f : spec.fields)
        if (f.key > 0) row.record.f[f.key] = TextOf((*rs)[f.name]);
      out.push_back(std::move(row));
    }
  }
  return rows;
}

// The staged block as trees: children put under the row their ID_Pai names
// (the deepest codes first, so that a row carries its whole subtree when it
// is moved); rows whose parent is missing are left out and counted per code
// in `orphans`. Top-level records in layout order, each code in input order.
std::vector<MRecord> StagedTrees(RunContext& ctx, std::map<std::string, int>& orphans) {
  std::map<std::string, std::vector<StagedRow>> rows = ReadStagedRows(ctx);
  const std::vector<const CatalogueRecord*> records = Layout006().BlockRecords('M');
  for (auto r = records.rbegin(); r != records.rend(); ++r) {
    if (!HasParentRow((*r)->code)) continue;
    std::vector<StagedRow>& parents = rows[(*r)->parentCode];
    std::map<long long, size_t> at;
    for (size_t i = 0; i < parents.size(); ++i) at[parents[i].id] = i;
    for (StagedRow& child : rows[(*r)->code]) {
      auto p = at.find(child.parent);
      if (p == at.end()) {
        ++orphans[(*r)->code];
        continue;
      }
      parents[p->second].record.children.push_back(std::move(child.record));
    }
    rows[(*r)->code].clear();
  }
  std::vector<MRecord> top;
  for (const CatalogueRecord* r : records)
    if (r->level == 2 && !HasParentRow(r->code))
      for (StagedRow& row : rows[r->code]) top.push_back(std::move(row.record));
  return top;
}

// True when `reg` has been registered as a staging table.
bool IsStaged(RunContext& ctx, std::string_view reg) {
  return !ctx.connection->Execute("SELECT Reg FROM ###Registros WHERE (Reg = '" + PrepareSqlText(reg) + "')")->Eof();
}

// The company facts from the staged Block 0 (0110 of the merged file, 0111 of
// every file summed) and Block 1 (1100 / 1500 when staged).
CompanyFacts ReadFacts(RunContext& ctx) {
  CompanyFacts facts;
  if (IsStaged(ctx, "0110")) {
    auto rs = ctx.connection->Execute("SELECT TOP(1) * FROM ###0110");
    if (!rs->Eof()) {
      facts.codIncTrib = TrimBlanks(TextOf((*rs)["Cod_Inc_Trib"]));
      facts.indAproCred = TrimBlanks(TextOf((*rs)["Ind_Apro_Cred"]));
    }
  }
  if (IsStaged(ctx, "0111")) {
    auto rs = ctx.connection->Execute(
        "SELECT Rec_Bru_NCum_Trib_Mi,Rec_Bru_NCum_Nt_Mi,Rec_Bru_NCum_Exp,Rec_Bru_Cum,Rec_Bru_Total FROM ###0111");
    // The columns are fields 02 to 06 of 0111.
    ExactDecimal* into[5] = {&facts.recTribMi, &facts.recNtMi, &facts.recExp, &facts.recCum, &facts.recTotal};
    for (; !rs->Eof(); rs->MoveNext()) {
      facts.hasRevenue = true;
      for (int c = 0; c < 5; ++c) *into[c] += EfdAmount(TextOf(rs->Column(c)), "0111", c + 2);
    }
  }
  const char* credits[2] = {"1100", "1500"};
  for (int tax = 0; tax < 2; ++tax) {
    if (!IsStaged(ctx, credits[tax])) continue;
    ExactDecimal sum;
    const int k = Layout006().Find(credits[tax])->Field("VL_CRED_DESC_EFD")->number;
    for (auto rs = ctx.connection->Execute(std::string("SELECT VL_CRED_DESC_EFD FROM ###") + credits[tax]); !rs->Eof();
         rs->MoveNext())
      sum += EfdAmount(TextOf(rs->Column(0)), credits[tax], k);
    facts.creditUsedBefore[tax] = sum;
  }
  return facts;
}

// The standard rate of a contribution or credit line is written as the
// standard text whatever zeros the files gave it ("1,6500" -> "1,65").
void StandardRateText(MRecord& r) {
  const std::string twin = r.Code() == "M500" || r.Code() == "M610" ? "COFINS" : "PIS";
  if (r.Code() != "M100" && r.Code() != "M210" && r.Code() != "M500" && r.Code() != "M610") return;
  const int k = FieldNo(r.Code(), "ALIQ_PIS");
  const std::string standard = twin == "PIS" ? "1,65" : "7,60";
  if (!r.At(k).empty() && r.Num(k) == *ExactDecimal::Parse(standard)) r.Set(k, standard);
}

// True when `notice` begins with the code of a Block M record ("M400 06: ...").
bool NamesARecord(std::string_view notice) {
  return notice.size() > 4 && notice[0] == 'M' && Layout006().Find(notice.substr(0, 4)) &&
         (notice[4] == ' ' || notice[4] == ':');
}

// The merged block, computed once per md_UnifyBlock (or per md_WriteRecords
// call). Every notice names the record it concerns ("registro M400 06: ...")
// and is reported through the error port as a notice of the Block M merge.
std::vector<MRecord> CompanyBlock(RunContext& ctx) {
  Notices(ctx).clear();
  std::map<std::string, int> orphans;
  std::vector<MRecord> input = StagedTrees(ctx, orphans);
  std::vector<MRecord> merged = MergeBlockM(input, ReadFacts(ctx), Notices(ctx));
  for (const auto& [code, n] : orphans)
    Notices(ctx).push_back(std::to_string(n) + " linha(s) do registro " + code + " sem o registro pai (" +
                        Layout006().Find(code)->parentCode + ") no seu arquivo; não unificadas");
  for (std::string& n : Notices(ctx)) {
    if (NamesARecord(n)) n.insert(0, "registro ");
    ReportError(ctx.ports, "Quelvar", "unificação do bloco M", n, 1);
  }
  return merged;
}

// Writes `r` and everything below it, counting lines per code.
void WriteTree(RunContext& ctx, MRecord& r, std::map<std::string, int32_t>& counts, int32_t& k, int32_t total) {
  StandardRateText(r);
  md_ShowProgress(ctx, 3, r.Code(), ++k, total);
  md_WriteText(ctx, r.Code(), r.Line());
  ++counts[r.Code()];
  for (MRecord& c : r.children) WriteTree(ctx, c, counts, k, total);
}

int32_t CountLines(const std::vector<MRecord>& list) {
  int32_t n = 0;
  for (const MRecord& r : list) n += 1 + CountLines(r.children);
  return n;
}

// Writes the lines of the top-level records of `block` whose code is `reg`
// (every one when `reg` is empty) and adds their counts.
void WriteBlockLines(RunContext& ctx, std::vector<MRecord>& block, std::string_view reg) {
  std::map<std::string, int32_t> counts;
  int32_t k = 0;
  const int32_t total = CountLines(block);
  for (MRecord& r : block)
    if (reg.empty() || r.Code() == reg) WriteTree(ctx, r, counts, k, total);
  for (const auto& [code, n] : counts) md_AddRecordCount(ctx, code, n);
}

// M001 from the first staged opener, Ind_Mov from whether the block has data.
void WriteOpener(RunContext& ctx, bool hasData) {
  Objeto_Collection layout = BlockLayout(ctx, "M001");
  auto rs = ctx.connection->Execute("SELECT TOP(1) * FROM ###M001");
  int32_t k = 0;
  for (; !rs->Eof(); rs->MoveNext(), ++k) md_WriteOpener(ctx, "M001", *rs, layout, hasData);
  md_AddRecordCount(ctx, "M001", k);
}

// M990 from the counters: every Block M line written, plus itself.
void WriteCloser(RunContext& ctx) {
  Objeto_Collection layout = BlockLayout(ctx, "M990");
  auto rs = ctx.connection->Execute(
      "SELECT 'M990' AS Reg,SUM(CAST(REPLACE(QtdeReg,',','.') AS FLOAT)) + 1 AS Qtd_Lin_M FROM ###Registros "
      "WHERE (Bloco = 'M')");
  int32_t k = 0;
  for (; !rs->Eof(); rs->MoveNext(), ++k) md_WriteLine(ctx, "M990", *rs, layout);
  md_AddRecordCount(ctx, "M990", k);
}

}  // namespace

const std::vector<std::string>& md_LastNotices(RunContext& ctx) { return Notices(ctx); }

// Errors of the database or of the output file propagate to the caller, lines
// written so far remain.
void md_WriteRecords(RunContext& ctx, std::string_view reg, Objeto_Collection&, std::string_view, bool) {
  if (reg == "M001") {
    std::vector<MRecord> block = CompanyBlock(ctx);
    WriteOpener(ctx, !block.empty());
  } else if (reg == "M990") {
    WriteCloser(ctx);
  } else {
    std::vector<MRecord> block = CompanyBlock(ctx);
    WriteBlockLines(ctx, block, reg);
  }
}

// Writes the whole block: M001, the merged records in layout order each with
// its subtree, M990 from the counters. Errors propagate as in md_WriteRecords.
void md_UnifyBlock(RunContext& ctx) {
  md_ShowProgress(ctx, 2, "CNPJ: Nenhum", 1, 1);
  std::vector<MRecord> block = CompanyBlock(ctx);
  WriteOpener(ctx, !block.empty());
  WriteBlockLines(ctx, block, "");
  WriteCloser(ctx);
}

}  // namespace BlocoM
