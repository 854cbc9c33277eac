#include "blocks/establishment_block.h"

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "blocks/block_statement.h"
#include "blocks/company_writer.h"
#include "blocks/registry.h"
#include "blocks/subtree_writer.h"
#include "staging/catalogue_layouts.h"
#include "staging/record_catalogue.h"
#include "staging/resources.h"
#include "staging/run_state.h"
#include "staging/text.h"

namespace {

// The closer: the lines of the block counted so far plus one.
void WriteCloser(RunContext& ctx, const BlockEntry& b, Objeto_Collection& layout) {
  std::string sql = "SELECT '" + std::string(b.closer) + "' AS Reg,SUM(CAST(REPLACE(QtdeReg,',','.') AS FLOAT)) + 1 AS " +
                    b.countName + " FROM ###Registros WHERE (Bloco = '" + std::string(1, b.letter) + "')";
  md_AddRecordCount(ctx, b.closer, WriteRows(ctx, b.closer, sql, layout));
}

void WriteOpener(RunContext& ctx, const BlockEntry& b, Objeto_Collection& layout, bool hasData) {
  std::string sql = FinishStatement(ReplaceAll(StatementTemplate(b.opener), "{TOP}", "TOP(1)"), b.opener, layout);
  md_AddRecordCount(ctx, b.opener,
                    WriteRows(ctx, b.opener, sql, layout, hasData ? RowWriter::OpenerWithData : RowWriter::OpenerWithoutData));
}

// A CNPJ as the stored rows' Id_CNPJ compares with it: digits as a number
// (without leading zeros), any other text as it is.
std::string CnpjKey(const std::string& cnpj) {
  if (cnpj.empty() || cnpj.find_first_not_of("0123456789") != std::string::npos) return cnpj;
  size_t nz = cnpj.find_first_not_of('0');
  return nz == std::string::npos ? "0" : cnpj.substr(nz);
}

}  // namespace

void NoteDifferingEstablishmentLines(RunContext& ctx, std::string_view establishment, const EstablishmentRow& kept) {
  const CatalogueRecord* record = Layout006().Find(establishment);
  const LayoutSpec* layout = FindAnyLayout(establishment);
  if (!record || !layout) return;
  std::vector<std::pair<std::string, std::string>> fields;  // name as the guide has it, staging column
  // COD_EST is the program's own numbering of the establishments, not compared.
  for (const FieldSpec& f : layout->fields)
    if (f.key >= 2 && static_cast<size_t>(f.key) <= record->fields.size() &&
        record->fields[f.key - 1].name != "COD_EST")
      fields.emplace_back(record->fields[f.key - 1].name, f.name);
  std::vector<std::string> keptValues;
  std::string keptFile;
  std::vector<std::pair<std::string, std::vector<std::string>>> others;  // file, values
  const std::string key = CnpjKey(kept.cnpj);
  for (auto rs = ctx.connection->Execute("SELECT * FROM ###" + std::string(establishment) +
                                         " ORDER BY Id_Arquivo ASC, ID ASC");
       !rs->Eof(); rs->MoveNext()) {
    const std::string cnpj = (*rs)["CNPJ"].AsText();
    if (CnpjKey(cnpj) != key) continue;
    std::vector<std::string> values;
    for (const auto& [name, column] : fields) {
      const Value& v = (*rs)[column];
      values.push_back(v.IsNull() ? std::string() : v.AsText());
    }
    const Value& file = (*rs)["Id_Arquivo"];
    if (rs->Column(rs->FindColumn("ID")).AsInt() == kept.id) {
      keptValues = std::move(values);
      keptFile = file.IsNull() ? std::string() : file.AsText();
    } else {
      others.emplace_back(file.IsNull() ? std::string() : file.AsText(), std::move(values));
    }
  }
  if (keptValues.empty()) return;
  for (const auto& [file, values] : others) {
    std::string differing;
    for (size_t i = 0; i < fields.size(); ++i)
      if (values[i] != keptValues[i])
        differing += (differing.empty() ? "" : ", ") + fields[i].first + " \"" + values[i] + "\" (gravado \"" +
                     keptValues[i] + "\")";
    if (!differing.empty())
      ReportError(ctx.ports, "Quelvar", "estabelecimentos do mesmo CNPJ",
                  "registro " + std::string(establishment) + " do estabelecimento " + kept.cnpj + " no arquivo " +
                      ctx.StagedFileName(file) + ": " + differing + "; gravado o do arquivo " + ctx.StagedFileName(keptFile),
                  1);
  }
}

std::vector<EstablishmentRow> EstablishmentsByCnpj(RunContext& ctx, std::string_view establishment) {
  std::vector<EstablishmentRow> out;
  std::set<std::string> seen;
  // In list order: the input files' numbers follow the list (file_list.cpp), each file's rows in load order.
  auto rs = ctx.connection->Execute("SELECT ID, CNPJ FROM ###" + std::string(establishment) +
                                    " ORDER BY Id_Arquivo ASC, ID ASC");
  for (; !rs->Eof(); rs->MoveNext()) {
    std::string cnpj = rs->Column(1).AsText();
    if (seen.insert(CnpjKey(cnpj)).second) out.push_back({static_cast<long long>(rs->Column(0).AsInt()), cnpj});
  }
  return out;
}

void UnifyEstablishmentBlock(RunContext& ctx, const BlockEntry& b) {
  if (b.omitWhenAbsent && !HasRows(ctx, b.opener)) return;
  const std::vector<EstablishmentRow> ests = EstablishmentsByCnpj(ctx, b.establishment);
  const bool company = b.companyRecords && HasCompanyRows(ctx, b.letter);
  Objeto_Collection opener = BlockLayout(ctx, b.opener);
  WriteOpener(ctx, b, opener, !ests.empty() || company);
  if (ests.empty()) md_ShowProgress(ctx, 2, "CNPJ: Nenhum", 1, 1);

  const auto withRows = CodesWithRows(ctx, b.establishment);
  Objeto_Collection estLayout = BlockLayout(ctx, b.establishment);
  const std::string head = FinishStatement(StatementTemplate(b.establishment), b.establishment, estLayout);
  for (size_t i = 0; i < ests.size(); ++i) {
    md_AddRecordCount(ctx, b.establishment,
                      WriteRows(ctx, b.establishment, head + "WHERE (ID = " + std::to_string(ests[i].id) + ")", estLayout));
    NoteDifferingEstablishmentLines(ctx, b.establishment, ests[i]);
    ctx.currentCNPJ = ests[i].cnpj;
    md_ShowProgress(ctx, 2, "CNPJ: " + ctx.currentCNPJ, static_cast<double>(i + 1), static_cast<double>(ests.size()));
    SubtreeStats s = WriteEstablishmentSubtree(ctx, b.establishment, ests[i].cnpj, withRows, false);
    NoteEstablishmentPass(ctx, s.statements + 2);
  }
  if (company)
    for (const std::string& code : CompanyLevelCodes(b.letter)) WriteCompanyRecords(ctx, code);
  Objeto_Collection closer = BlockLayout(ctx, b.closer);
  WriteCloser(ctx, b, closer);
}
