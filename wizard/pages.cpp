// The wizard's page machine: which page shows what, the buttons' state and
// captions, the tests a page must pass before the wizard goes on, the handlers
// of the small controls, and the run started by entering the last page.
#include <string>

#include "staging/run_state.h"
#include "wizard/frm_assistente.h"

namespace {

constexpr const char* kCrLf = "\r\n";
constexpr const char* kIndent = "               ";  // 15 blanks

constexpr const char* kTitles[frmAssistente::kPages] = {
    "",
    "Selecione aqui os Arquivos do Pis/Cofins",
    "Selecione aqui o local do arquivo magnético",
    "Você está prestes a iniciar a Unificação",
    "",
};

// The result label after a run: the success text of the wizard with the file
// written and the record codes left out, or why the run failed.
std::string ResultText(const RunResult& result) {
  std::string text;
  if (result.ok) {
    text = std::string("Arquivo Magnético gerado com Sucesso. ") + kCrLf;
  } else {
    text = std::string("Arquivo Magnético NÃO foi gerado. ") + kCrLf;
    text += "Motivo: " + (result.error.empty() ? std::string("erro desconhecido") : result.error) + kCrLf;
  }
  text += "Dt Inicio: " + g_StartTime + kCrLf;
  text += "Dt Final: " + g_EndTime;
  if (result.ok && !result.path.empty()) text += std::string(kCrLf) + "Arquivo: " + result.path;
  if (result.ok && !result.dropped.empty()) {
    std::string list;
    for (const auto& [code, count] : result.dropped)
      list += (list.empty() ? "" : ", ") + code + " (" + std::to_string(count) + ")";
    text += std::string(kCrLf) + "Linhas de registros não unificados: " + list;
  }
  return text;
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
  controls.lblProgressoPovoacaoTabela.Caption = "Gerando tabela temporaria...";
  controls.lblResultadoFinal.Visible = false;
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
// run the press is ignored (the run cannot be interrupted), during an import it
// asks the import to stop (the file is rolled back); otherwise the form unloads.
void frmAssistente::cmdCancelar_Click() {
  if (m_Running) return;
  if (m_Importing) {
    RequestCancelImport();
    return;
  }
  Form_Unload();
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
    std::string chosen = ports_.folders->ChooseFolder("Selecione local para salvar", true);
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
// test's message (exclamation icon) and stays.
void frmAssistente::GoNext() {
  std::string message;
  if (!ValidatePage(m_Page, message)) {
    if (!message.empty()) ShowMessage(message, MsgIcon::Exclamation);
    return;
  }
  if (m_Page + 1 <= kPages - 1) ++m_Page;
  ShowPage();
}

// One page back, never to page 0 (the merge kind is fixed once page 1 is reached).
void frmAssistente::GoBack() {
  if (m_Page - 1 >= 1) --m_Page;
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
  controls.lblRotulo.Caption = controls.fraAssistente[p].Caption + kCrLf + "Dt. Inicio: " + g_StartTime;
  if (p < n - 1) {
    controls.cmdVoltar.Enabled = p > 1;
    controls.cmdAvancar.Caption = p + 1 == n - 1 ? "&Concluir" : "&Avançar >";
  } else {
    controls.cmdVoltar.Visible = false;
    controls.cmdAvancar.Visible = false;
  }
  if (p == 1) {
    if (!controls.OptionUnificaMatrizFilial.Value) {
      SetPage1Note();
      controls.checkValidarMatriz.Value = false;
      controls.checkValidarMatriz.Enabled = false;
      checkValidarMatriz_Click();
    } else {
      SetPage1Note();
    }
  }
  Changed();
  if (p == n - 1 && !m_Running) {
    controls.lblProgressoBlocosGeral.Caption = "Unificando arquivos...";
    controls.cmdCancelar.Enabled = false;  // the run cannot be interrupted
    m_Running = true;
    Changed();
    m_Resultado = RunUnification(m_MesmoCNPJ);
    m_Running = false;
    for (Control* c : {&controls.sspProgressoBlocosGeral, &controls.sspProgressoEmpresa,
                       &controls.sspProgressoBlocosParcial, &controls.sspProgressoBlocosParcialInterno,
                       &controls.lblProgressoBlocosGeral, &controls.lblProgressoEmpresa,
                       &controls.lblProgressoBlocosParcial, &controls.lblProgressoBlocosParcialInterno})
      c->Visible = false;
    controls.lblResultadoFinal.Caption = ResultText(m_Resultado);
    controls.lblResultadoFinal.Visible = true;
    controls.cmdCancelar.Caption = "Fechar";
    controls.cmdCancelar.Enabled = true;
    Changed();
    if (ports_.view) ports_.view->DoEvents();
  }
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
        message = "Selecione o local será salvo o arquivo";
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
    note += std::string("Arquivo(s) que não pertence a mesma máscara de CNPJ, ou possui ") + kCrLf;
    note += "data diferente da matriz selecionada não será importada.";
  } else {
    note += std::string(kIndent) + "1º Selecione o ARQUIVO MATRIZ; " + kCrLf;
    note += std::string(kIndent) + "2º Selecione o(s) ARQUIVO(s) FILIAI(S). " + kCrLf;
    note += "Arquivo(s) que não pertence a mesma máscara de CNPJ " + m_ValidarMatrizTexto +
            ", ou possui data diferente da matriz selecionada não será importada.";
  }
  controls.Label15.Caption = note;
}
