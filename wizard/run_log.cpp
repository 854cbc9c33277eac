// What the wizard tells beside its pages: the log of the session (the
// batches and runs, every message box and question; shown on the result
// page, saved as text), the summary before the run,
// the buttons that open the run's output, the window's title per step and
// the "Sobre" text. Front-ends only draw these controls.
#include <filesystem>
#include <string>
#include <string_view>

#include "platform/files.h"
#include "staging/output_file.h"
#include "staging/run_state.h"
#include "wizard/frm_assistente.h"
#include "wizard/output_folder.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kCrLf = "\r\n";

// The steps as the title names them, one per page.
constexpr const char* kSteps[frmAssistente::kPages] = {"Bem-vindo", "Arquivos", "Pasta de destino", "Confirmação",
                                                       "Unificação"};

// The kind of a message box as the log names it, by its icon.
const char* MessageKind(MsgIcon icon) {
  switch (icon) {
    case MsgIcon::Exclamation: return "Atenção: ";
    case MsgIcon::Critical: return "Erro: ";
    case MsgIcon::Information: break;
  }
  return "Mensagem: ";
}

// `text` as one entry of the log: its lines (blank ones left out) joined by
// CR LF, those after the first indented as the reasons of a file are.
std::string LogEntryText(std::string_view text) {
  std::string entry;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    while (!line.empty() && line.back() == ' ') line.remove_suffix(1);
    if (!line.empty()) entry += (entry.empty() ? "" : std::string(kCrLf) + "    ") + std::string(line);
    start = end + 1;
  }
  return entry;
}

}  // namespace

// The shown log follows each line at once (a message told on the result page
// appears in it after the box is closed).
void frmAssistente::Log(const std::string& text) {
  m_Registro.push_back(NowText() + "  " + text);
  controls.txtRegistro.Text += m_Registro.back() + kCrLf;
}

void frmAssistente::LogBatch(size_t firstNew, const char* notTaken) {
  for (size_t i = firstNew; i < m_Arquivos.size(); ++i)
    Log("Arquivo importado: " + platform::FileNameOf(m_Arquivos[i].path) + " (" + m_Arquivos[i].path + ")");
  for (const FileNote& n : m_Recusas)
    Log(notTaken + (": " + platform::FileNameOf(n.path)) + " (" + n.path + "): " + n.text);
  for (const FileNote& n : m_Avisos) Log("Aviso do arquivo " + platform::FileNameOf(n.path) + ": " + n.text);
}

void frmAssistente::LogMessage(std::string_view text, MsgIcon icon) { Log(MessageKind(icon) + LogEntryText(text)); }

void frmAssistente::LogQuestion(std::string_view question, bool answer) {
  Log("Pergunta: " + LogEntryText(question) + " Resposta: " + (answer ? "Sim." : "Não."));
}

void frmAssistente::LogRun() {
  const RunResult& r = m_Resultado;
  if (r.ok) {
    Log((LeftLinesOut(r) ? "Arquivo unificado gravado, com linhas deixadas de fora: "
                         : "Arquivo unificado gravado: ") + r.path);
    if (ports_.settings) ports_.settings->Set(kLastOutputFolderKey, m_CaminhoSalvo);
  } else {
    Log("Arquivo unificado NÃO foi gerado: " + (r.error.empty() ? std::string("erro desconhecido") : r.error));
  }
  for (const std::string& notice : r.notices) Log("Aviso da unificação: " + notice);
  if (!r.dropped.empty()) Log("Linhas de registros não unificados: " + DroppedCodesText(r));
  if (!r.ledger.empty()) Log(LedgerSummaryText(r.ledger));
  m_PaginaRegistro = r.ok ? kPages - 1 : 2;
}

std::string frmAssistente::LogText() const {
  std::string text;
  for (const std::string& line : m_Registro) text += line + kCrLf;
  return text;
}

void frmAssistente::ShowPageAids(int p) {
  controls.Titulo.Caption = WindowTitle(p);
  if (p != m_PaginaRegistro) m_PaginaRegistro = -1;
  const bool result = m_PaginaRegistro == p;
  const bool written = result && p == kPages - 1 && m_Resultado.ok;
  controls.cmdAbrirPasta.Visible = written;
  controls.cmdAbrirArquivo.Visible = written;
  // The log on the result page: page 4, or page 2 after a failed run.
  controls.txtRegistro.Visible = result;
  controls.cmdSalvarRegistro.Visible = result;
  if (p == 2 && m_CaminhoSalvo.empty()) {
    m_CaminhoSalvo = ProposedOutputFolder();
    controls.TxtCaminhoSalvo.Text = m_CaminhoSalvo;
  }
  if (p == 3) controls.lblResumo.Caption = RunSummaryText();
}

std::string frmAssistente::RunSummaryText() {
  const size_t n = m_Arquivos.size();
  std::string text = "Resumo da unificação:" + std::string(kCrLf);
  text += "Arquivos: " + std::to_string(n) + (n == 1 ? " arquivo" : " arquivos") + kCrLf;
  text += "Tipo: " + (m_MesmoCNPJ ? controls.OptionUnificaArquivo.Caption : controls.OptionUnificaMatrizFilial.Caption) +
          kCrLf;
  text += "Pasta de destino: " + m_CaminhoSalvo + kCrLf;
  const std::string planned = PlannedOutputPath();
  if (planned.empty()) return text + "Arquivo unificado: (não pode ser nomeado ainda)";
  text += "Arquivo unificado: " + platform::FileNameOf(planned);
  std::error_code ec;
  if (fs::exists(platform::PathFromUtf8(planned), ec)) text += " (já existe; será substituído após confirmação)";
  return text;
}

std::string frmAssistente::WindowTitle(int page) {
  if (page < 0 || page >= kPages) return "Quelvar";
  return "Quelvar — Passo " + std::to_string(page + 1) + " de " + std::to_string(kPages) + ": " + kSteps[page];
}

std::string frmAssistente::AboutText(std::string_view versionText) {
  return std::string(versionText) + kCrLf + kCrLf +
         "Unifica os arquivos da EFD-Contribuições (PIS/COFINS) de uma matriz e suas filiais, ou as partes do "
         "arquivo de um mesmo CNPJ, em um único arquivo para toda a rede, pronto para o PVA." +
         kCrLf + kCrLf + "Também pela linha de comando: quelvar merge, quelvar check (veja quelvar --help).";
}

void frmAssistente::cmdAbrirPasta_Click() {
  if (!controls.cmdAbrirPasta.Visible || m_Resultado.path.empty()) return;
  const std::string folder = platform::Utf8FromPath(platform::PathFromUtf8(m_Resultado.path).parent_path());
  if (!ports_.opener || !ports_.opener->OpenPath(folder))
    ShowMessage("Não foi possível abrir a pasta " + folder + ".", MsgIcon::Exclamation);
}

void frmAssistente::cmdAbrirArquivo_Click() {
  if (!controls.cmdAbrirArquivo.Visible || m_Resultado.path.empty()) return;
  if (!ports_.opener || !ports_.opener->OpenPath(m_Resultado.path))
    ShowMessage("Não foi possível abrir o arquivo " + m_Resultado.path +
                    ": nenhum programa do sistema o abriu (é um arquivo de texto).",
                MsgIcon::Exclamation);
}

void frmAssistente::cmdSalvarRegistro_Click() {
  if (!controls.cmdSalvarRegistro.Visible || m_Importing || m_Running || !ports_.files) return;
  const std::string path = ports_.files->ChooseSaveFile(
      "Salvar registro", BesideMergedFile(PlannedOutputPath(), m_CaminhoSalvo, "_Registro.txt", "Quelvar_Registro.txt"),
      kLogFilter);
  if (path.empty()) return;
  std::vector<RunFile> kept = FilesToKeep();
  if (!m_Resultado.path.empty()) kept.push_back({"o arquivo unificado", m_Resultado.path});
  if (std::string clash = WrittenFilesClash(kept, {{"o registro", path}}); !clash.empty()) {
    ShowMessage("Não foi possível salvar o registro: " + clash + ".", MsgIcon::Critical);
    return;
  }
  try {
    ReplaceFileContents(path, LogText());
  } catch (const FileWriteError& e) {
    ShowMessage(std::string("Não foi possível salvar o registro: ") + e.what() + ".", MsgIcon::Critical);
    return;
  }
  ShowMessage("Registro salvo em " + path + ".", MsgIcon::Information);
}
