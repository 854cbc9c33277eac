// The wizard's page machine: which page shows what, the buttons' state and
// captions, the tests a page must pass before the wizard goes on, the handlers
// of the small controls, and the run started by entering the last page.
#include <chrono>
#include <filesystem>
#include <string>

#include "staging/run_state.h"
#include "platform/files.h"
#include "wizard/frm_assistente.h"
#include "wizard/output_folder.h"

namespace {

constexpr const char* kCrLf = "\r\n";
constexpr const char* kIndent = "               ";  // 15 blanks

constexpr const char* kTitles[frmAssistente::kPages] = {
    "Bem-vindo",
    "Selecione aqui os Arquivos do Pis/Cofins",
    "Selecione aqui o local do arquivo magnético",
    "Você está prestes a iniciar a Unificação",
    "Unificação dos arquivos",
};

constexpr const char* kConfirmLeave =
    "Os arquivos importados serão descartados e o assistente será fechado. Deseja sair?";
constexpr const char* kConfirmBackToKind =
    "Voltar à escolha do tipo de Unificação descarta os arquivos importados. Deseja voltar?";

// The result label after a successful run: the success text (a warning when
// input lines were left out of the file) with the run's own start and end,
// the file written, the record codes left out, the ledger's totals and the
// first of the run's notices.
std::string ResultText(const RunResult& result, const std::string& start, const std::string& end, double seconds) {
  std::string text = LeftLinesOut(result)
                         ? std::string("ATENÇÃO: Arquivo Magnético gerado, com linhas deixadas de fora. ") + kCrLf
                         : std::string("Arquivo Magnético gerado com Sucesso. ") + kCrLf;
  text += "Dt Início: " + start + kCrLf;
  text += "Dt Final: " + end + kCrLf;
  text += "Duração: " + DurationText(seconds);
  if (!result.path.empty()) text += std::string(kCrLf) + "Arquivo: " + result.path;
  if (!result.summaryCsv.empty())
    text += std::string(kCrLf) + "Resumo por estabelecimento: " + result.summaryCsv + " e " + result.summaryHtml;
  if (!result.dropped.empty()) {
    const std::string list = DroppedCodesText(result);
    text += std::string(kCrLf) + "Linhas de registros não unificados: " + list + kCrLf +
            "Estes registros não são levados ao arquivo unificado; se a rede precisar deles, inclua-os no "
            "PVA antes de transmitir.";
  }
  if (!result.ledger.empty()) text += std::string(kCrLf) + LedgerSummaryText(result.ledger);
  if (!result.notices.empty()) {
    text += std::string(kCrLf) + "Avisos da unificação (" + std::to_string(result.notices.size()) + "): ";
    for (size_t i = 0; i < result.notices.size() && i < 3; ++i) text += (i ? "; " : "") + result.notices[i];
    if (result.notices.size() > 3) text += "; ...";
  }
  return text;
}

// Where the ledger is proposed to be saved: beside the merged file, named
// after it ("…_Unificado.txt" becomes "…_Conciliacao.csv"), or in the output
// folder when the merged file cannot be named.
std::string SuggestedLedgerPath(const std::string& planned, const std::string& folder) {
  return BesideMergedFile(planned, folder, "_Conciliacao.csv", "Conciliacao.csv");
}

}  // namespace

// Sets the captions a window shows before the first page is entered: page
// titles, buttons, options, the check box and the import bar's label.
void frmAssistente::InitControls() {
  for (int i = 0; i < kPages; ++i) controls.fraAssistente[i].Caption = kTitles[i];
  controls.cmdVoltar.Caption = "< &Voltar";
  controls.cmdAvancar.Caption = "&Avançar >";
  controls.cmdCancelar.Caption = "Cancelar";
  controls.OptionUnificaArquivo.Caption = "Unifica Arquivo (Mesmo CNPJ)";
  controls.OptionUnificaMatrizFilial.Caption = "Unifica Matriz e Filiais (Diferente CNPJ)";
  controls.checkValidarMatriz.Caption = "Validar CNPJ Matriz";
  controls.cmdLocalArquivoMagnetico.Caption = "...";
  controls.ButtonLocalidadeSalvar.Caption = "...";
  controls.cmdRemoverArquivo.Caption = "&Remover";
  controls.cmdSubirArquivo.Caption = "&Subir";
  controls.cmdDescerArquivo.Caption = "&Descer";
  controls.cmdConciliacao.Caption = "Salvar &conciliação...";
  controls.cmdConciliacao.Visible = false;
  controls.lblProgressoPovoacaoTabela.Caption = kStatusNoFile;
  controls.lblResultadoFinal.Visible = false;
  UpdateListControls();
}

// Next: ignored while the button is hidden or disabled (as a window would),
// so that a caller cannot leave page 1 during an import or run twice.
void frmAssistente::cmdAvancar_Click() {
  if (!controls.cmdAvancar.Visible || !controls.cmdAvancar.Enabled || m_Importing || m_Running) return;
  Navigate(1);
}

// Back: ignored while the button is hidden or disabled.
void frmAssistente::cmdVoltar_Click() {
  if (!controls.cmdVoltar.Visible || !controls.cmdVoltar.Enabled || m_Importing || m_Running) return;
  GoBack();
}

// Cancel / close. The database is never closed under running work: during the
// run it asks whether to cancel the run (which then stops without writing the
// merged file), during an import it asks the import to stop (the file is
// rolled back) — except while the files of the list are imported again after
// an edit, which says why it goes on; otherwise the form unloads, once the
// user confirms when imported files would be lost.
void frmAssistente::cmdCancelar_Click() {
  if (m_Running) {
    AskCancelRun();
    return;
  }
  if (m_Importing && m_Restaging) {
    // Told at once (not gathered with the batch's messages).
    LogMessage(kRestagingGoesOn, MsgIcon::Information);
    ShowLoggedMessage(kRestagingGoesOn, MsgIcon::Information);
    return;
  }
  if (m_Importing) {
    RequestCancelImport();
    return;
  }
  if (!ConfirmLeave()) return;
  Form_Unload();
}

void frmAssistente::CancelPressed() {
  if (ImportCancellable()) {
    if (Ask(kConfirmCancelImport) && ImportCancellable()) cmdCancelar_Click();
    return;
  }
  cmdCancelar_Click();
}

bool frmAssistente::CloseRequested() {
  if (m_Running) {
    if (!m_CloseWhenIdle && AskCancelRun()) m_CloseWhenIdle = true;
    return false;
  }
  if (m_Importing) {
    if (!m_CloseWhenIdle && Ask(kConfirmCloseImport) && m_Importing) {
      m_CloseWhenIdle = true;
      RequestCancelImport();
    }
    return false;
  }
  if (!ConfirmLeave()) return false;
  Form_Unload();
  return true;
}

bool frmAssistente::CloseWhenIdle() {
  if (m_Importing || m_Running) return false;
  if (m_CloseWhenIdle && !m_Unloaded) Form_Unload();
  return m_Unloaded;
}

bool frmAssistente::AskCancelRun() {
  if (!m_Running || m_CancelRun) return m_Running;
  if (!Ask(kConfirmCancelRun)) return false;
  m_CancelRun = true;
  return true;
}

void frmAssistente::Busy(bool on) {
  if (on == m_BusyShown) return;
  m_BusyShown = on;
  if (ports_.view) ports_.view->Busy(on);
}

std::string frmAssistente::RunTimesText() const {
  if (m_RunEnd.empty()) return "Início da unificação: " + m_RunStart;
  return "Unificação: início " + m_RunStart + ", fim " + m_RunEnd + " (duração " + DurationText(m_RunSeconds) + ")";
}

bool frmAssistente::ConfirmLeave() {
  if (m_Unloaded || m_Arquivos.empty() || (m_Page == kPages - 1 && m_Resultado.ok)) return true;
  return Ask(kConfirmLeave);
}

// The question and its answer are logged (without a question port, the yes
// given for the user).
bool frmAssistente::Ask(std::string_view question) {
  const bool answer = ports_.questions ? ports_.questions->Ask(question) : true;
  LogQuestion(question, answer);
  return answer;
}

void frmAssistente::cmdConciliacao_Click() {
  if (!controls.cmdConciliacao.Visible || !controls.cmdConciliacao.Enabled || m_Importing || m_Running) return;
  if (!ports_.files) return;
  const std::string path = ports_.files->ChooseSaveFile(
      "Salvar conciliação", SuggestedLedgerPath(PlannedOutputPath(), m_CaminhoSalvo), kLedgerFilter);
  if (path.empty()) return;
  std::vector<RunFile> kept = FilesToKeep();
  if (!m_Resultado.path.empty()) kept.push_back({"o arquivo unificado", m_Resultado.path});
  if (std::string clash = WrittenFilesClash(kept, {{"a conciliação", path}}); !clash.empty()) {
    ShowMessage("Não foi possível salvar a conciliação: " + clash + ".", MsgIcon::Critical);
    return;
  }
  std::string error;
  if (!SaveLedgerCsv(path, m_Resultado.ledger, error)) {
    ShowMessage("Não foi possível salvar a conciliação: " + error + ".", MsgIcon::Critical);
    return;
  }
  ShowMessage("Conciliação salva em " + path + ".", MsgIcon::Information);
}

// The file button: chooses and imports one file (ignored while disabled).
void frmAssistente::cmdLocalArquivoMagnetico_Click() {
  if (!controls.cmdLocalArquivoMagnetico.Enabled || m_Importing || m_Running) return;
  ChooseInputFile();
}

// The folder button: asks the folder chooser; a cancelled chooser keeps the
// folder chosen before. Shows the folder in TxtCaminhoSalvo.
void frmAssistente::ButtonLocalidadeSalvar_Click() {
  if (ports_.folders) {
    std::string chosen = ports_.folders->ChooseFolderFrom(
        "Selecione local para salvar", true, m_CaminhoSalvo.empty() ? ProposedOutputFolder() : m_CaminhoSalvo);
    if (!chosen.empty()) m_CaminhoSalvo = chosen;
  }
  controls.TxtCaminhoSalvo.Text = m_CaminhoSalvo;
  Changed();
}

// Merge kind "Unifica Arquivo (Mesmo CNPJ)": files of one CNPJ.
void frmAssistente::OptionUnificaArquivo_Click() {
  controls.OptionUnificaArquivo.Value = true;
  controls.OptionUnificaMatrizFilial.Value = false;
  m_MesmoCNPJ = true;
  Changed();
}

// Merge kind "Unifica Matriz e Filiais (Diferente CNPJ)": head office and branches.
void frmAssistente::OptionUnificaMatrizFilial_Click() {
  controls.OptionUnificaMatrizFilial.Value = true;
  controls.OptionUnificaArquivo.Value = false;
  m_MesmoCNPJ = false;
  Changed();
}

// Follows the box's value: the word "Matriz" in the note of page 1.
void frmAssistente::checkValidarMatriz_Click() {
  m_ValidarMatrizTexto = controls.checkValidarMatriz.Value ? "Matriz" : "";
  if (controls.OptionUnificaMatrizFilial.Value) SetPage1Note();
  if (!m_Importing && !m_Running) UpdateListControls();  // which moves keep the head office first
  Changed();
}

// 0 first page, 1 next, 2 back; any other action does nothing.
void frmAssistente::Navigate(int action) {
  switch (action) {
    case 0: GoFirst(); break;
    case 1: GoNext(); break;
    case 2: GoBack(); break;
    default: break;
  }
}

// Shows the welcome page.
void frmAssistente::GoFirst() {
  m_Page = 0;
  ShowPage();
}

// Goes one page on when the current page's test passes; otherwise shows the
// test's message (exclamation icon) and stays. Leaving page 3 asks first when
// the merged file would replace an existing one.
void frmAssistente::GoNext() {
  std::string message;
  if (!ValidatePage(m_Page, message)) {
    if (!message.empty()) ShowMessage(message, MsgIcon::Exclamation);
    return;
  }
  if (m_Page == 3) {
    std::string target = PlannedOutputPath();
    std::error_code ec;
    if (!target.empty() && std::filesystem::exists(platform::PathFromUtf8(target), ec) &&
        !Ask("O arquivo " + target + " já existe. Deseja substituí-lo?"))
      return;
  }
  if (m_Page + 1 <= kPages - 1) ++m_Page;
  ShowPage();
}

// One page back. From page 1 back to the merge kind: the imported files are
// cleared, after the user confirms (nothing changes when they do not).
void frmAssistente::GoBack() {
  if (m_Page == 1) {
    if (!m_Arquivos.empty()) {
      if (!Ask(kConfirmBackToKind)) return;
      ClearImports();
    }
    m_Page = 0;
  } else if (m_Page - 1 >= 1) {
    --m_Page;
  }
  ShowPage();
}

// Shows page m_Page with its buttons; entering page 1 sets its note, entering
// the last page runs the unification before returning.
void frmAssistente::ShowPage() {
  const int p = m_Page;
  const int n = kPages;
  controls.Image1.Visible = p == 0;
  controls.Frame2.Visible = p > 0;
  controls.Frame3.Visible = p > 0;
  for (int i = 0; i < n; ++i) controls.fraAssistente[i].Visible = i == p;
  // The header's time: the program's start, and on the run's page the run's own times.
  controls.lblRotulo.Caption = controls.fraAssistente[p].Caption + kCrLf +
                               (p == n - 1 && !m_RunStart.empty() ? RunTimesText() : "Dt. Início: " + run_.startTime);
  if (p < n - 1) {
    controls.cmdVoltar.Visible = true;
    controls.cmdAvancar.Visible = true;
    controls.cmdVoltar.Enabled = p > 0;
    controls.cmdAvancar.Enabled = true;
    controls.cmdAvancar.Caption = p + 1 == n - 1 ? "&Concluir" : "&Avançar >";
  } else {
    controls.cmdVoltar.Visible = false;
    controls.cmdAvancar.Visible = false;
  }
  controls.cmdLocalArquivoMagnetico.Enabled = true;
  if (p != m_PaginaConciliacao) m_PaginaConciliacao = -1;
  controls.cmdConciliacao.Visible = m_PaginaConciliacao == p;
  UpdateListControls();
  ShowPageAids(p);
  if (p == 1) {
    if (!controls.OptionUnificaMatrizFilial.Value) {
      SetPage1Note();
      controls.checkValidarMatriz.Value = false;
      controls.checkValidarMatriz.Enabled = false;
      checkValidarMatriz_Click();
    } else {
      if (!controls.checkValidarMatriz.Enabled) {
        // back from the merge of one CNPJ, which had unticked the box
        controls.checkValidarMatriz.Enabled = true;
        controls.checkValidarMatriz.Value = true;
        checkValidarMatriz_Click();
      }
      SetPage1Note();
    }
  }
  Changed();
  if (p == n - 1 && !m_Running) RunFromLastPage();
}

void frmAssistente::RunFromLastPage() {
  for (Control* c : {&controls.sspProgressoBlocosGeral, &controls.sspProgressoEmpresa,
                     &controls.sspProgressoBlocosParcial, &controls.sspProgressoBlocosParcialInterno,
                     &controls.lblProgressoBlocosGeral, &controls.lblProgressoEmpresa,
                     &controls.lblProgressoBlocosParcial, &controls.lblProgressoBlocosParcialInterno})
    c->Visible = true;
  controls.lblResultadoFinal.Visible = false;
  controls.lblProgressoBlocosGeral.Caption = "Unificando arquivos...";
  controls.cmdCancelar.Enabled = true;  // asks whether to cancel the run
  m_Running = true;
  m_RunStart = NowText();
  m_RunEnd.clear();
  controls.lblRotulo.Caption = controls.fraAssistente[m_Page].Caption + kCrLf + RunTimesText();
  Changed();
  const auto began = std::chrono::steady_clock::now();
  m_Resultado = RunUnification(m_MesmoCNPJ, "", true);
  m_RunSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
  m_RunEnd = NowText();
  m_Running = false;
  LogRun();
  controls.cmdCancelar.Enabled = true;
  if (m_Resultado.cancelled) {
    // Back to the page that starts the run, the imported files and the folder kept.
    m_RunStart.clear();
    m_RunEnd.clear();
    m_Page = 3;
    ShowPage();
    ShowLoggedMessage(
        "Unificação cancelada. O arquivo unificado não foi gravado; os arquivos importados foram mantidos.",
        MsgIcon::Information);
    return;
  }
  if (!m_Resultado.ok) {
    // Back to the folder page, the imported files kept: the run can be tried
    // again into another folder. The folder's own problem, when it has one,
    // is the clearest reason.
    std::string reason = OutputFolderProblem(m_CaminhoSalvo);
    // The log holds the run's own error (LogRun); the folder's problem, shown as the reason, joins it.
    if (!reason.empty()) Log("Pasta de destino " + m_CaminhoSalvo + ": " + reason);
    if (reason.empty()) reason = m_Resultado.error.empty() ? "erro desconhecido" : m_Resultado.error;
    const std::string next = m_Resultado.failedInTheMerge
                                 ? "Os arquivos importados foram mantidos."
                                 : "Os arquivos importados foram mantidos: escolha outra pasta e clique em 'Avançar'.";
    m_Page = 2;
    if (!m_Resultado.ledger.empty()) m_PaginaConciliacao = 2;
    ShowPage();
    std::string ledger;
    if (!m_Resultado.ledger.empty())
      ledger = LedgerSummaryText(m_Resultado.ledger) + kCrLf +
               "Clique em 'Salvar conciliação...' para gravar as linhas por registro e estabelecimento." + kCrLf;
    ShowLoggedMessage(
        std::string("Arquivo Magnético NÃO foi gerado. ") + kCrLf + "Motivo: " + reason + kCrLf + ledger + next,
        MsgIcon::Critical);
    return;
  }
  for (Control* c : {&controls.sspProgressoBlocosGeral, &controls.sspProgressoEmpresa,
                     &controls.sspProgressoBlocosParcial, &controls.sspProgressoBlocosParcialInterno,
                     &controls.lblProgressoBlocosGeral, &controls.lblProgressoEmpresa,
                     &controls.lblProgressoBlocosParcial, &controls.lblProgressoBlocosParcialInterno})
    c->Visible = false;
  controls.lblResultadoFinal.Caption = ResultText(m_Resultado, m_RunStart, m_RunEnd, m_RunSeconds);
  controls.lblRotulo.Caption = controls.fraAssistente[m_Page].Caption + kCrLf + RunTimesText();
  controls.lblResultadoFinal.Visible = true;
  if (!m_Resultado.ledger.empty()) m_PaginaConciliacao = 4;
  controls.cmdConciliacao.Visible = m_PaginaConciliacao == 4;
  controls.cmdCancelar.Caption = "Fechar";
  ShowPageAids(m_Page);
  Changed();
  if (ports_.view) ports_.view->DoEvents();
}

// Whether the wizard may leave `page` forward; `message` receives why not.
bool frmAssistente::ValidatePage(int page, std::string& message) {
  message.clear();
  switch (page) {
    case 1:
      if (controls.ListBoxSelecionados.empty()) {
        message = "Selecione os arquivos para Unificação";
        return false;
      }
      return true;
    case 2:
      if (controls.TxtCaminhoSalvo.Text.empty()) {
        message = "Selecione o local onde será salvo o arquivo";
        return false;
      }
      if (std::string problem = OutputFolderProblem(m_CaminhoSalvo); !problem.empty()) {
        message = "Não é possível gravar na pasta " + m_CaminhoSalvo + ": " + problem + ".";
        return false;
      }
      if (std::string clash = WrittenFilesProblem("", true); !clash.empty()) {
        message = clash + ".";
        return false;
      }
      return true;
    case 4:
      return false;
    default:
      return true;
  }
}

// The note of page 1 for the merge kind selected; in the kind of head office
// and branches the word of the check box follows the CNPJ mask at once.
void frmAssistente::SetPage1Note() {
  std::string note = std::string("OBS: Para que o assistente funcione corretamente: ") + kCrLf;
  if (!controls.OptionUnificaMatrizFilial.Value) {
    note += std::string(kIndent) + "1º Selecione os ARQUIVOS a serem importados. " + kCrLf;
    note += std::string("Arquivo(s) que não pertence à mesma máscara de CNPJ, ou possui ") + kCrLf;
    note += "data diferente da matriz selecionada não será importada.";
  } else {
    note += std::string(kIndent) + "1º Selecione o ARQUIVO MATRIZ; " + kCrLf;
    note += std::string(kIndent) + "2º Selecione o(s) ARQUIVO(s) FILIAI(S). " + kCrLf;
    note += "Arquivo(s) que não pertence à mesma máscara de CNPJ " + m_ValidarMatrizTexto +
            ", ou possui data diferente da matriz selecionada não será importada.";
  }
  controls.Label15.Caption = note;
}
