// The list of files of the merge on page 1: its rows, its count and its
// editing (remove, move up, move down).
//
// Every staged row carries the number of its input file (Id_Arquivo), and
// the numbers increase along the list: files are imported in list order, a
// file added later gets a higher number, and an edit keeps it so. The writer
// follows that order wherever it reads the rows of several files (the
// establishments, the company-level records, Block M: ORDER BY Id_Arquivo,
// ID); within one file, and so within one establishment's subtree, rows are
// in load order (ID).
//
// Removing a file deletes its rows by that number. That gives exactly the
// staging that choosing the remaining files would have given, except where
// the others depend on the file's rows:
// - the first file is the reference: its header and openers are the ones kept
//   once, the later files were checked against it and its establishment kept
//   its own code, so removing it imports the others again;
// - rows stored once for several files (an accountant by CPF, a unit of an
//   establishment, an opener) may stand for a later file's lines that were
//   not stored: when a later file read more lines of a code than it staged
//   and the removed file holds rows of that code, the others are imported
//   again (LaterFilesLeanOn); so are the parts of one CNPJ after a removed
//   part, which renamed their codes against the earlier parts' codes;
// - establishment codes (0140 COD_EST) are given in import order, one above
//   the highest: the codes of the later files move down by the removed file's
//   establishments, as a fresh import would have numbered them.
//
// Moving a file swaps it with its neighbour. When neither is the first file
// and the later one does not lean on the earlier one's rows, their rows
// exchange their numbers (one UPDATE per table), their establishment codes
// are given in the new order, and their names, ledger counts and the list's
// rows follow (SwapFileRows): what a fresh import in the new order stores.
// A file that leans on its neighbour would have stored other rows (the
// accountant or unit its neighbour stored once), the first file is the
// reference, and the parts of one CNPJ rename their codes against the parts
// before them: those moves import the files again in the new order.
#include <algorithm>
#include <filesystem>
#include <set>
#include <utility>

#include "staging/ledger.h"
#include "staging/resources.h"
#include "platform/files.h"
#include "staging/run_state.h"
#include "wizard/frm_assistente.h"
#include "wizard/shown_text.h"

namespace {

// Runs `work` in one transaction of the run's staging connection: committed
// when `work` returns; when it throws, rolled back (so the staging keeps
// nothing of it) and the exception passed on.
template <typename Work>
void InTransaction(RunContext& run, Work&& work) {
  run.connection->Execute("BEGIN TRANSACTION");
  try {
    work();
    run.connection->Execute("COMMIT TRANSACTION");
  } catch (...) {
    try {
      run.connection->Execute("ROLLBACK TRANSACTION");
    } catch (const std::exception&) {
      // the transaction is already gone
    }
    throw;
  }
}

// The state an import leaves behind it, which the next import and the run
// start from: the links of the last rows, the last header and the
// accountant's and regime's fields last read.
std::vector<std::string*> ImportLinks(frmAssistente& form) {
  RunContext& run = form.Run();
  return {&run.currentCNPJ,     &run.currentParentID,  &run.currentEcfID,    &run.currentCaixaID, &run.currentIdPai,
          &run.currentCST,      &run.fileCNPJ,         &run.fileDtIni,       &run.fileDtFin,      &form.m_CPF,
          &form.m_Cod_Inc_Trib, &form.m_Ind_Apro_Cred, &form.m_Cod_Tipo_Cont};
}

}  // namespace

std::string frmAssistente::ListRowText(size_t i) const {
  if (i >= m_Arquivos.size()) return std::string();
  const ListedFile& f = m_Arquivos[i];
  std::string role;
  if (m_MesmoCNPJ)
    role = "Parte " + std::to_string(i + 1);
  else
    role = i == 0 ? "Matriz" : "Filial";
  return platform::FileNameOf(f.path) + "\r\n" + role + "  ·  CNPJ " + CnpjText(f.cnpj) +
         "  ·  " + DateText(f.dtIni) + " a " + DateText(f.dtFin) + "  ·  " + ThousandsText(f.lines) +
         (f.lines == 1 ? " linha" : " linhas");
}

void frmAssistente::ClearImports() {
  md_ClearTables(run_);
  run_.matrizSelected = false;
  run_.matrizCNPJ.clear();
  run_.matrizDtIni.clear();
  run_.matrizDtFin.clear();
  run_.currentCNPJ.clear();
  run_.currentParentID.clear();
  run_.currentEcfID.clear();
  run_.currentCaixaID.clear();
  run_.currentCST.clear();
  m_CPF.clear();
  m_Cod_Inc_Trib.clear();
  m_Ind_Apro_Cred.clear();
  m_Cod_Tipo_Cont.clear();
  m_Descartados.clear();
  m_ForaDoLeiaute.clear();
  m_LinhasCurtas.clear();
  m_LinhasLongas.clear();
  m_CamposLidos.clear();
  m_Arquivos.clear();
  controls.ListBoxSelecionados.clear();
  controls.ListBoxIndex = -1;
  UpdateFileCount();
  md_ShowProgress(run_, 0, kStatusNoFile, 0, 0);
}

void frmAssistente::RestageFiles(const std::vector<ListedFile>& files) {
  ClearImports();
  std::vector<std::string> paths;
  for (const ListedFile& f : files) paths.push_back(f.path);
  m_Restaging = true;
  ImportBatch(paths);
  m_Restaging = false;
  LogBatch(m_Arquivos.size(), "Arquivo não importado de novo, retirado da lista");
  ReportBatch("Estes arquivos não puderam ser importados de novo e saíram da lista", paths.size());
}

void frmAssistente::NoteContribution(ListedFile& f, const std::map<std::string, int64_t>& droppedBefore,
                                     const std::map<std::string, std::string>& unknownBefore,
                                     const std::map<std::string, int64_t>& shortLines,
                                     const std::map<std::string, int64_t>& longLines,
                                     const std::map<std::string, size_t>& widest) {
  f.id = run_.CurrentStagedFile();
  for (const auto& [code, n] : m_Descartados) {
    auto before = droppedBefore.find(code);
    const int64_t added = n - (before == droppedBefore.end() ? 0 : before->second);
    if (added > 0) f.dropped[code] = added;
  }
  for (const auto& [code, where] : m_ForaDoLeiaute)
    if (!unknownBefore.count(code)) f.firstUnknown.push_back(code);
  f.shortLines = shortLines;
  f.longLines = longLines;
  f.widest = widest;
  for (const std::string* link : ImportLinks(*this)) f.linksAfter.push_back(*link);
}

bool frmAssistente::LaterFilesLeanOn(size_t i, size_t end) {
  const int64_t id = m_Arquivos[i].id;
  end = std::min(end, m_Arquivos.size());
  std::set<int64_t> later;
  for (size_t j = i + 1; j < end; ++j) later.insert(m_Arquivos[j].id);
  if (later.empty()) return false;
  // Lines each later file read, per code (the ledger knows the file of each line read).
  std::map<std::string, std::map<int64_t, int64_t>> read;
  for (const auto& [key, files] : run_.ledger.FileReads())
    for (const auto& [file, n] : files)
      if (later.count(file)) read[key.first][file] += n;
  for (const std::string& code : md_StagingCodes(run_)) {
    const std::map<int64_t, int64_t> rows = md_RowsPerFile(run_, code, id);
    if (!rows.count(id)) continue;
    if (code == "0140" && md_RowsPerFile(run_, code, 0).begin()->first == id) return true;  // the first establishment
    for (const auto& [file, n] : read[code]) {
      auto staged = rows.find(file);
      if ((staged == rows.end() ? 0 : staged->second) < n) return true;
    }
  }
  // A code outside the layout whose first line this file held: a later
  // file's first line of it would have to be found again.
  for (const std::string& code : m_Arquivos[i].firstUnknown)
    for (size_t j = i + 1; j < end; ++j)
      if (m_Arquivos[j].dropped.count(code) || read[code].count(m_Arquivos[j].id)) return true;
  return false;
}

bool frmAssistente::DropFileRows(size_t i) {
  const ListedFile removed = m_Arquivos[i];
  if (i == 0 || removed.id <= 0 || LaterFilesLeanOn(i)) return false;
  // The parts of one CNPJ share one establishment: a later part renamed its
  // codes against the codes of the parts before it, this one's included.
  if (m_MesmoCNPJ && i + 1 < m_Arquivos.size()) return false;
  InTransaction(run_, [&] {
    int64_t establishments = 0;
    for (const std::string& code : md_StagingCodes(run_)) {
      const std::map<int64_t, int64_t> rows = md_RowsPerFile(run_, code, removed.id);
      auto mine = rows.find(removed.id);
      if (mine == rows.end()) continue;
      if (code == "0140") establishments = mine->second;
      md_DeleteFileRows(run_, code, removed.id);
    }
    if (establishments > 0)
      run_.connection->Execute("UPDATE ###0140 SET Cod_Est = Cod_Est - " + std::to_string(establishments) +
                               " WHERE Id_Arquivo > " + std::to_string(removed.id));
  });
  run_.ledger.ForgetFile(removed.id);
  auto giveBack = [](std::map<std::string, int64_t>& counts, const std::map<std::string, int64_t>& part) {
    for (const auto& [code, n] : part)
      if (auto it = counts.find(code); it != counts.end() && (it->second -= n) <= 0) counts.erase(it);
  };
  giveBack(m_Descartados, removed.dropped);
  giveBack(m_LinhasCurtas, removed.shortLines);
  giveBack(m_LinhasLongas, removed.longLines);
  for (const std::string& code : removed.firstUnknown) m_ForaDoLeiaute.erase(code);
  m_Arquivos.erase(m_Arquivos.begin() + static_cast<std::ptrdiff_t>(i));
  if (i == m_Arquivos.size()) TakeLastFileLinks();  // the last file went
  controls.ListBoxSelecionados.erase(controls.ListBoxSelecionados.begin() + static_cast<std::ptrdiff_t>(i));
  m_CamposLidos.clear();
  for (const ListedFile& f : m_Arquivos)
    for (const auto& [code, n] : f.widest)
      if (size_t& w = m_CamposLidos[code]; n > w) w = n;
  return true;
}

void frmAssistente::TakeLastFileLinks() {
  if (m_Arquivos.empty()) return;
  const std::vector<std::string>& after = m_Arquivos.back().linksAfter;
  const std::vector<std::string*> links = ImportLinks(*this);
  for (size_t k = 0; k < links.size() && k < after.size(); ++k) *links[k] = after[k];
}

bool frmAssistente::SwapFileRows(size_t i) {
  if (i == 0 || i + 1 >= m_Arquivos.size() || m_MesmoCNPJ) return false;
  const int64_t a = m_Arquivos[i].id, b = m_Arquivos[i + 1].id;
  if (a <= 0 || b <= a || LaterFilesLeanOn(i, i + 2)) return false;
  InTransaction(run_, [&] {
    // The establishment codes were given along the list, one above the
    // highest: file i's come just before file i + 1's. In the new order file
    // i + 1's come first, moved down by file i's count, and file i's after
    // them, moved up by file i + 1's count.
    const std::map<int64_t, int64_t> establishments = md_RowsPerFile(run_, "0140", a);
    auto count = [&](int64_t file) {
      auto it = establishments.find(file);
      return it == establishments.end() ? int64_t(0) : it->second;
    };
    const std::string ta = std::to_string(a), tb = std::to_string(b);
    run_.connection->Execute("UPDATE ###0140 SET Cod_Est = CASE WHEN Id_Arquivo = " + ta + " THEN Cod_Est + " +
                             std::to_string(count(b)) + " ELSE Cod_Est - " + std::to_string(count(a)) +
                             " END WHERE Id_Arquivo = " + ta + " OR Id_Arquivo = " + tb);
    for (const std::string& code : md_StagingCodes(run_)) md_SwapFileRows(run_, code, a, b);
  });
  run_.ledger.SwapFiles(a, b);
  run_.SwapStagedFiles(a, b);
  std::swap(m_Arquivos[i], m_Arquivos[i + 1]);
  m_Arquivos[i].id = a;
  m_Arquivos[i + 1].id = b;
  std::swap(controls.ListBoxSelecionados[i], controls.ListBoxSelecionados[i + 1]);
  if (i + 2 == m_Arquivos.size()) TakeLastFileLinks();
  return true;
}

bool frmAssistente::RemoveFile(size_t i) {
  if (i >= m_Arquivos.size() || m_Importing || m_Running) return false;
  std::vector<ListedFile> rest = m_Arquivos;
  rest.erase(rest.begin() + static_cast<std::ptrdiff_t>(i));
  if (!HeadOfficeFirst(rest)) {
    ShowMessage("O primeiro arquivo da lista precisa ser o da Matriz (CNPJ com filial 0001). Remova antes as "
                "filiais, ou desmarque 'Validar CNPJ Matriz'.",
                MsgIcon::Exclamation);
    return false;
  }
  bool dropped = false;
  try {
    dropped = DropFileRows(i);
  } catch (const std::exception&) {
    dropped = false;  // rolled back: importing the others again gives the same list
  }
  if (!dropped) RestageFiles(rest);
  if (!m_Arquivos.empty()) controls.ListBoxIndex = static_cast<int>(std::min(i, m_Arquivos.size() - 1));
  ShowPage();
  return true;
}

bool frmAssistente::CanMoveFile(size_t i, int delta) const {
  if (i >= m_Arquivos.size() || (delta != -1 && delta != 1)) return false;
  if ((delta < 0 && i == 0) || (delta > 0 && i + 1 >= m_Arquivos.size())) return false;
  std::vector<ListedFile> order = m_Arquivos;
  std::swap(order[i], order[delta < 0 ? i - 1 : i + 1]);
  return HeadOfficeFirst(order);
}

bool frmAssistente::MoveFile(size_t i, int delta) {
  if (i >= m_Arquivos.size() || m_Importing || m_Running || (delta != -1 && delta != 1)) return false;
  if ((delta < 0 && i == 0) || (delta > 0 && i + 1 >= m_Arquivos.size())) return false;
  const size_t j = delta < 0 ? i - 1 : i + 1;
  std::vector<ListedFile> order = m_Arquivos;
  std::swap(order[i], order[j]);
  if (!HeadOfficeFirst(order)) {
    ShowMessage("O primeiro arquivo da lista precisa ser o da Matriz (CNPJ com filial 0001).", MsgIcon::Exclamation);
    return false;
  }
  bool swapped = false;
  Busy(true);  // a scan of each staging table: a moment on long lists
  try {
    swapped = SwapFileRows(std::min(i, j));
  } catch (const std::exception&) {
    swapped = false;  // rolled back: importing the files again in the new order gives the same list
  }
  Busy(false);
  if (!swapped) RestageFiles(order);
  // The moved file stays selected (also when the files were imported again).
  for (size_t k = 0; k < m_Arquivos.size(); ++k)
    if (m_Arquivos[k].canonical == order[j].canonical) controls.ListBoxIndex = static_cast<int>(k);
  ShowPage();
  return true;
}

void frmAssistente::SelectListRow(int row) {
  controls.ListBoxIndex = row >= 0 && row < static_cast<int>(m_Arquivos.size()) ? row : -1;
  UpdateListControls();
  Changed();
}

void frmAssistente::cmdRemoverArquivo_Click() {
  if (!controls.cmdRemoverArquivo.Enabled || controls.ListBoxIndex < 0) return;
  RemoveFile(static_cast<size_t>(controls.ListBoxIndex));
}

void frmAssistente::cmdSubirArquivo_Click() {
  if (!controls.cmdSubirArquivo.Enabled || controls.ListBoxIndex < 0) return;
  MoveFile(static_cast<size_t>(controls.ListBoxIndex), -1);
}

void frmAssistente::cmdDescerArquivo_Click() {
  if (!controls.cmdDescerArquivo.Enabled || controls.ListBoxIndex < 0) return;
  MoveFile(static_cast<size_t>(controls.ListBoxIndex), 1);
}

void frmAssistente::DisableWhileImporting() {
  for (Control* c : {&controls.cmdLocalArquivoMagnetico, &controls.cmdAvancar, &controls.cmdVoltar,
                     &controls.cmdRemoverArquivo, &controls.cmdSubirArquivo, &controls.cmdDescerArquivo})
    c->Enabled = false;
  Changed();
}

void frmAssistente::UpdateFileCount() {
  const size_t n = m_Arquivos.size();
  controls.lblQuantidadeArquivos.Caption = n == 0   ? std::string("Nenhum arquivo na lista")
                                           : n == 1 ? std::string("1 arquivo na lista")
                                                    : std::to_string(n) + " arquivos na lista";
}

// The count and the list buttons from the list and the selection; nothing
// can be edited while work runs, and a move that would break the head-office
// rule is not offered.
void frmAssistente::UpdateListControls() {
  const size_t n = m_Arquivos.size();
  if (controls.ListBoxIndex >= static_cast<int>(n)) controls.ListBoxIndex = n ? static_cast<int>(n) - 1 : -1;
  UpdateFileCount();
  const bool idle = !m_Importing && !m_Running;
  const int sel = controls.ListBoxIndex;
  controls.cmdRemoverArquivo.Enabled = idle && sel >= 0;
  controls.cmdSubirArquivo.Enabled = idle && sel > 0 && CanMoveFile(static_cast<size_t>(sel), -1);
  controls.cmdDescerArquivo.Enabled = idle && sel >= 0 && CanMoveFile(static_cast<size_t>(sel), 1);
}
