// The list of files of the merge on page 1: its rows, its count and its
// editing (remove, move up, move down).
//
// Editing rebuilds the staging from the files that remain, in their new
// order: the tables are emptied and every file is imported again. Deleting a
// removed file's rows by their CNPJ would not do: the openers of the merged
// file are kept once (from whichever file came first), rows shared by several
// files are stored once, and establishments are numbered in import order, so
// rows that the removed file brought can stand for the others, and its number
// would leave a gap. Importing again gives exactly the staging that choosing
// the remaining files in that order would have given.
#include <algorithm>
#include <filesystem>
#include <utility>

#include "staging/resources.h"
#include "platform/files.h"
#include "staging/run_state.h"
#include "wizard/frm_assistente.h"

namespace {

// "11.111.111/0001-91" for fourteen digits; other texts as they are.
std::string CnpjText(const std::string& cnpj) {
  if (cnpj.size() != 14) return cnpj;
  return cnpj.substr(0, 2) + "." + cnpj.substr(2, 3) + "." + cnpj.substr(5, 3) + "/" + cnpj.substr(8, 4) + "-" +
         cnpj.substr(12, 2);
}

// "01/01/2020" for "01012020"; other texts as they are.
std::string DateText(const std::string& date) {
  if (date.size() != 8) return date;
  return date.substr(0, 2) + "/" + date.substr(2, 2) + "/" + date.substr(4, 4);
}

// A whole number with dots between thousands: "1.234.567".
std::string Thousands(int64_t n) {
  std::string digits = std::to_string(n < 0 ? -n : n);
  std::string out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += '.';
    out += digits[i];
  }
  return n < 0 ? "-" + out : out;
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
         "  ·  " + DateText(f.dtIni) + " a " + DateText(f.dtFin) + "  ·  " + Thousands(f.lines) +
         (f.lines == 1 ? " linha" : " linhas");
}

void frmAssistente::ClearImports() {
  md_ClearTables();
  g_MatrizSelected = false;
  g_MatrizCNPJ.clear();
  g_MatrizDtIni.clear();
  g_MatrizDtFin.clear();
  g_CurrentCNPJ.clear();
  g_CurrentParentID.clear();
  g_CurrentEcfID.clear();
  g_CurrentCaixaID.clear();
  g_CurrentCST.clear();
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
  md_ShowProgress(0, kStatusNoFile, 0, 0);
}

void frmAssistente::RestageFiles(const std::vector<ListedFile>& files) {
  ClearImports();
  m_Restaging = true;
  m_SeveralChosen = true;
  std::string lost;
  for (const ListedFile& f : files) {
    controls.txtLocalMagnetico.Text = f.path;
    DisableWhileImporting();
    if (ImportFile(f.path) != ImportOutcome::Imported) lost += "\r\n" + f.path;
  }
  m_Restaging = false;
  m_SeveralChosen = false;
  controls.txtLocalMagnetico.Text.clear();
  if (!lost.empty())
    ShowMessage("Estes arquivos não puderam ser importados de novo e saíram da lista:" + lost, MsgIcon::Exclamation);
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
  RestageFiles(rest);
  if (!m_Arquivos.empty()) controls.ListBoxIndex = static_cast<int>(std::min(i, m_Arquivos.size() - 1));
  ShowPage();
  return true;
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
  RestageFiles(order);
  // The moved file stays selected (when it was imported again).
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

// The count and the list buttons from the list and the selection; nothing
// can be edited while work runs.
void frmAssistente::UpdateListControls() {
  const size_t n = m_Arquivos.size();
  if (controls.ListBoxIndex >= static_cast<int>(n)) controls.ListBoxIndex = n ? static_cast<int>(n) - 1 : -1;
  controls.lblQuantidadeArquivos.Caption = n == 0   ? std::string("Nenhum arquivo na lista")
                                           : n == 1 ? std::string("1 arquivo na lista")
                                                    : std::to_string(n) + " arquivos na lista";
  const bool idle = !m_Importing && !m_Running;
  const int sel = controls.ListBoxIndex;
  controls.cmdRemoverArquivo.Enabled = idle && sel >= 0;
  controls.cmdSubirArquivo.Enabled = idle && sel > 0;
  controls.cmdDescerArquivo.Enabled = idle && sel >= 0 && sel + 1 < static_cast<int>(n);
}
