#include "blocks/establishment_block.h"

#include <set>
#include <string>
#include <vector>

#include "blocks/block_statement.h"
#include "blocks/company_writer.h"
#include "blocks/subtree_writer.h"
#include "staging/resources.h"
#include "staging/run_state.h"

namespace {

// The closer: the lines of the block counted so far plus one.
void WriteCloser(const BlockEntry& b, Objeto_Collection& layout) {
  std::string sql = "SELECT '" + std::string(b.closer) + "' AS Reg,SUM(CAST(REPLACE(QtdeReg,',','.') AS FLOAT)) + 1 AS " +
                    b.countName + " FROM ###Registros WHERE (Bloco = '" + std::string(1, b.letter) + "')";
  md_AddRecordCount(b.closer, WriteRows(b.closer, sql, layout));
}

void WriteOpener(const BlockEntry& b, Objeto_Collection& layout, bool hasData) {
  std::string sql = FinishStatement(ReplaceAll(StatementTemplate(b.opener), "{TOP}", "TOP(1)"), b.opener, layout);
  md_AddRecordCount(b.opener,
                    WriteRows(b.opener, sql, layout, hasData ? RowWriter::OpenerWithData : RowWriter::OpenerWithoutData));
}

// A CNPJ as the stored rows' Id_CNPJ compares with it: digits as a number
// (without leading zeros), any other text as it is.
std::string CnpjKey(const std::string& cnpj) {
  if (cnpj.empty() || cnpj.find_first_not_of("0123456789") != std::string::npos) return cnpj;
  size_t nz = cnpj.find_first_not_of('0');
  return nz == std::string::npos ? "0" : cnpj.substr(nz);
}

}  // namespace

std::vector<EstablishmentRow> EstablishmentsByCnpj(std::string_view establishment) {
  std::vector<EstablishmentRow> out;
  std::set<std::string> seen;
  auto rs = g_Connection->Execute("SELECT ID, CNPJ FROM ###" + std::string(establishment) + " ORDER BY ID ASC");
  for (; !rs->Eof(); rs->MoveNext()) {
    std::string cnpj = rs->Column(1).AsText();
    if (seen.insert(CnpjKey(cnpj)).second) out.push_back({static_cast<long long>(rs->Column(0).AsInt()), cnpj});
  }
  return out;
}

void UnifyEstablishmentBlock(const BlockEntry& b) {
  if (b.omitWhenAbsent && !HasRows(b.opener)) return;
  const std::vector<EstablishmentRow> ests = EstablishmentsByCnpj(b.establishment);
  const bool company = b.companyRecords && HasCompanyRows(b.letter);
  Objeto_Collection opener = BlockLayout(b.opener);
  WriteOpener(b, opener, !ests.empty() || company);
  if (ests.empty()) md_ShowProgress(2, "CNPJ: Nenhum", 1, 1);

  const auto withRows = CodesWithRows(b.establishment);
  Objeto_Collection estLayout = BlockLayout(b.establishment);
  const std::string head = FinishStatement(StatementTemplate(b.establishment), b.establishment, estLayout);
  for (size_t i = 0; i < ests.size(); ++i) {
    md_AddRecordCount(b.establishment,
                      WriteRows(b.establishment, head + "WHERE (ID = " + std::to_string(ests[i].id) + ")", estLayout));
    g_CurrentCNPJ = ests[i].cnpj;
    md_ShowProgress(2, "CNPJ: " + g_CurrentCNPJ, static_cast<double>(i + 1), static_cast<double>(ests.size()));
    SubtreeStats s = WriteEstablishmentSubtree(b.establishment, ests[i].cnpj, withRows, false);
    NoteEstablishmentPass(s.statements + 2);
  }
  if (company)
    for (const std::string& code : CompanyLevelCodes(b.letter)) WriteCompanyRecords(code);
  Objeto_Collection closer = BlockLayout(b.closer);
  WriteCloser(b, closer);
}
