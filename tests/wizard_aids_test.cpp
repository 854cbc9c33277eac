// What the wizard offers beside its pages, driven without a window: the
// folders remembered between runs, files added by a drop through the
// dialog's path, the log and its save, the summary before the run, the
// buttons that open the output, and the step in the title. The session's
// log: every message box and question leaves one line in it (the batch's
// report and the run's result only the lines of the batch and the run), and
// after a failed run the log is shown on the page the wizard returns to, as
// after a successful one.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "platform/files.h"
#include "tests/support/check_support.h"
#include "tests/support/staging_database.h"
#include "tests/support/wizard_fakes.h"
#include "tools/efdgen/network.h"
#include "wizard/frm_assistente.h"

namespace {

namespace fs = std::filesystem;

size_t Occurrences(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

class WizardAidsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = UniqueTempPath(std::string("quelvar_aids_") +
                          ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "out");
    NetworkOptions options;
    options.establishments = 2;
    options.targetLines = 300;
    network_ = WriteNetwork(options, (dir_ / "in").string());
    NewForm();
  }
  void TearDown() override {
    form_.reset();
    fs::remove_all(dir_);
  }
  // A new form on page 0 (a new run of the program) sharing the settings.
  void NewForm() {
    form_.reset();
    messages_.shown.clear();
    questions_.asked.clear();
    questions_.answer = true;
    frmAssistente::Ports ports;
    ports.files = &files_;
    ports.folders = &folders_;
    ports.questions = &questions_;
    ports.settings = &settings_;
    ports.opener = &opener_;
    ports.ui = UiPorts{&messages_, nullptr, &messages_};
    form_ = std::make_unique<frmAssistente>(ports, "memory");
    form_->Form_Load();
  }
  // From page 0: the network chosen in the open dialog, on page 1.
  void ImportNetwork() {
    form_->cmdAvancar_Click();
    files_.batches = {network_};
    files_.nextBatch = 0;
    form_->cmdLocalArquivoMagnetico_Click();
    ASSERT_EQ(form_->controls.ListBoxSelecionados.size(), network_.size())
        << (messages_.shown.empty() ? "" : messages_.shown[0].text);
  }
  // From page 0: the network imported, then page 2.
  void ImportNetworkAndGoToPage2() {
    ASSERT_NO_FATAL_FAILURE(ImportNetwork());
    form_->cmdAvancar_Click();
    ASSERT_EQ(form_->m_Page, 2);
  }
  // From page 2: the output folder chosen, then page 3 and the run.
  void RunInto(const fs::path& folder) {
    folders_.folder = folder.string();
    form_->ButtonLocalidadeSalvar_Click();
    form_->cmdAvancar_Click();
    ASSERT_EQ(form_->m_Page, 3);
    form_->cmdAvancar_Click();
    ASSERT_TRUE(form_->m_Resultado.ok) << form_->m_Resultado.error;
  }
  // The log's lines from `first` on, without their times (each line must
  // start with one: "dd/mm/yyyy hh:mm:ss  ").
  std::vector<std::string> LinesFrom(size_t first) const {
    static const std::regex stamped(R"(\d\d/\d\d/\d{4} \d\d:\d\d:\d\d  .+)");
    std::vector<std::string> lines;
    const std::vector<std::string>& log = form_->LogLines();
    for (size_t i = first; i < log.size(); ++i) {
      EXPECT_TRUE(std::regex_match(log[i], stamped)) << log[i];
      lines.push_back(log[i].substr(log[i].find("  ") + 2));
    }
    return lines;
  }

  fs::path dir_;
  std::vector<std::string> network_;
  RecordingMessages messages_;
  ScriptedQuestions questions_;
  ScriptedFiles files_;
  FixedFolderChooser folders_;
  MemorySettings settings_;
  RecordingOpener opener_;
  std::unique_ptr<frmAssistente> form_;
};

TEST_F(WizardAidsTest, TheDialogsStartInTheFoldersOfTheLastRunWhileTheyExist) {
  const std::string in = fs::path(network_.front()).parent_path().string();
  const std::string out = (dir_ / "out").string();
  const std::string other = (dir_ / "other").string();
  const std::string gone = (dir_ / "gone").string();
  fs::create_directories(other);
  const std::string here = fs::current_path().string();
  struct Case {
    const char* what;
    std::string lastInput, lastOutput;
    std::string openStartsIn, outputProposed;
  };
  const Case cases[] = {
      {"first run: nothing remembered", "", "", here, in},
      {"both folders remembered", other, out, other, out},
      {"remembered folders removed since", gone, gone, here, in},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    settings_.values.clear();
    if (!c.lastInput.empty()) settings_.Set(frmAssistente::kLastInputFolderKey, c.lastInput);
    if (!c.lastOutput.empty()) settings_.Set(frmAssistente::kLastOutputFolderKey, c.lastOutput);
    NewForm();
    ImportNetworkAndGoToPage2();
    EXPECT_EQ(files_.lastStartFolder, c.openStartsIn);
    EXPECT_EQ(form_->controls.TxtCaminhoSalvo.Text, c.outputProposed);
    EXPECT_EQ(form_->m_CaminhoSalvo, c.outputProposed);
    // The folder dialog opens in the folder proposed; a cancelled one keeps it.
    folders_.folder.clear();
    form_->ButtonLocalidadeSalvar_Click();
    EXPECT_EQ(folders_.lastStartFolder, c.outputProposed);
    EXPECT_EQ(form_->m_CaminhoSalvo, c.outputProposed);
  }
}

TEST_F(WizardAidsTest, TheFoldersOfAddedFilesAndOfASuccessfulRunAreRemembered) {
  ImportNetworkAndGoToPage2();
  EXPECT_EQ(settings_.Get(frmAssistente::kLastInputFolderKey), fs::path(network_.front()).parent_path().string());
  EXPECT_EQ(settings_.Get(frmAssistente::kLastOutputFolderKey), "");
  RunInto(dir_ / "out");
  EXPECT_EQ(settings_.Get(frmAssistente::kLastOutputFolderKey), (dir_ / "out").string());
}

TEST_F(WizardAidsTest, ADropGoesThroughTheDialogsChecksAndOneReport) {
  const fs::path junk = dir_ / "in" / "planilha.txt";
  { std::ofstream(junk) << "isto não é um arquivo da EFD\n"; }
  fs::create_directories(dir_ / "in" / "pasta");
  std::vector<std::string> chosen = {junk.string()};
  chosen.insert(chosen.end(), network_.begin(), network_.end());

  // Through the open dialog.
  form_->cmdAvancar_Click();
  files_.batches = {chosen};
  form_->cmdLocalArquivoMagnetico_Click();
  ASSERT_EQ(messages_.shown.size(), 1u);
  const std::string dialogReport = messages_.shown[0].text;
  EXPECT_EQ(form_->controls.ListBoxSelecionados.size(), network_.size());

  // The same files dropped, with a folder among them, in a new run.
  NewForm();
  std::vector<std::string> dropped = chosen;
  dropped.insert(dropped.begin() + 1, (dir_ / "in" / "pasta").string() + "/");
  EXPECT_FALSE(form_->AddFiles(dropped)) << "page 0 takes no files";
  EXPECT_TRUE(form_->controls.ListBoxSelecionados.empty());
  form_->cmdAvancar_Click();
  ASSERT_TRUE(form_->AcceptsFiles());
  EXPECT_TRUE(form_->AddFiles(dropped));
  EXPECT_EQ(form_->controls.ListBoxSelecionados.size(), network_.size());
  ASSERT_EQ(messages_.shown.size(), 1u) << "one report for the whole drop";
  const std::string report = messages_.shown[0].text;
  EXPECT_EQ(messages_.shown[0].icon, MsgIcon::Exclamation);
  EXPECT_NE(report.find("Arquivos não importados (2 de " + std::to_string(dropped.size()) + "):"),
            std::string::npos)
      << report;
  EXPECT_EQ(Occurrences(report, "planilha.txt"), 1u) << report;
  EXPECT_NE(report.find("• pasta: é uma pasta"), std::string::npos) << report;
  // The file refused is told in the same words as through the dialog.
  const size_t atDialog = dialogReport.find("• planilha.txt");
  const size_t atDrop = report.find("• planilha.txt");
  ASSERT_NE(atDialog, std::string::npos);
  ASSERT_NE(atDrop, std::string::npos);
  EXPECT_EQ(report.substr(atDrop, report.find('\r', atDrop) - atDrop),
            dialogReport.substr(atDialog, dialogReport.find('\r', atDialog) - atDialog));

  // The log keeps every file of the drop, taken or not.
  const std::string log = form_->LogText();
  EXPECT_EQ(Occurrences(log, "Arquivo não importado: planilha.txt"), 1u) << log;
  EXPECT_EQ(Occurrences(log, "Arquivo não importado: pasta"), 1u) << log;
  for (const std::string& f : network_)
    EXPECT_EQ(Occurrences(log, "Arquivo importado: " + platform::FileNameOf(f)), 1u) << log;
  EXPECT_EQ(form_->LogLines().size(), network_.size() + 2);
}

TEST_F(WizardAidsTest, TheSummaryNamesTheRunsFileAndTheResultOpensAndSavesTheLog) {
  ImportNetworkAndGoToPage2();
  folders_.folder = (dir_ / "out").string();
  form_->ButtonLocalidadeSalvar_Click();
  form_->cmdAvancar_Click();
  ASSERT_EQ(form_->m_Page, 3);
  const FormControls& c = form_->controls;
  const std::string summary = c.lblResumo.Caption;
  EXPECT_NE(summary.find("Arquivos: 2 arquivos\r\nTipo: Unifica Matriz e Filiais (Diferente CNPJ)\r\n"
                         "Pasta de destino: " + (dir_ / "out").string() + "\r\n"),
            std::string::npos)
      << summary;
  EXPECT_FALSE(c.cmdSalvarRegistro.Visible);
  EXPECT_FALSE(c.cmdAbrirPasta.Visible);
  form_->cmdAvancar_Click();
  ASSERT_TRUE(form_->m_Resultado.ok) << form_->m_Resultado.error;
  const std::string written = form_->m_Resultado.path;
  EXPECT_NE(summary.find("Arquivo unificado: " + platform::FileNameOf(written)), std::string::npos) << summary;
  EXPECT_EQ(platform::FileNameOf(written).rfind("EFDPISCOFINS_", 0), 0u);

  // The result page: the log with the run's line, its buttons.
  EXPECT_EQ(c.Titulo.Caption, "Quelvar — Passo 5 de 5: Unificação");
  EXPECT_TRUE(c.txtRegistro.Visible);
  EXPECT_TRUE(c.cmdSalvarRegistro.Visible);
  EXPECT_EQ(c.txtRegistro.Text, form_->LogText());
  EXPECT_NE(c.txtRegistro.Text.find("Arquivo unificado gravado: " + written + "\r\n"), std::string::npos)
      << c.txtRegistro.Text;

  ASSERT_TRUE(c.cmdAbrirPasta.Visible && c.cmdAbrirArquivo.Visible);
  form_->cmdAbrirPasta_Click();
  form_->cmdAbrirArquivo_Click();
  EXPECT_EQ(opener_.opened, (std::vector<std::string>{(dir_ / "out").string(), written}));
  opener_.opens = false;
  form_->cmdAbrirArquivo_Click();
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].text.rfind("Não foi possível abrir o arquivo " + written, 0), 0u);

  // Saved beside the merged file, as shown; never over an input.
  files_.savePath = network_.front();
  const std::string input = ReadFileBytes(network_.front());
  form_->cmdSalvarRegistro_Click();
  EXPECT_EQ(files_.lastSaveTitle, "Salvar registro");
  EXPECT_EQ(files_.lastSuggested, written.substr(0, written.size() - 14) + "_Registro.txt");
  ASSERT_EQ(messages_.shown.size(), 2u);
  EXPECT_EQ(messages_.shown[1].text.rfind("Não foi possível salvar o registro: ", 0), 0u) << messages_.shown[1].text;
  EXPECT_EQ(ReadFileBytes(network_.front()), input);
  files_.savePath = (dir_ / "out" / "registro.txt").string();
  const std::string saved = form_->LogText();
  form_->cmdSalvarRegistro_Click();
  EXPECT_EQ(ReadFileBytes(files_.savePath), saved);
  EXPECT_EQ(messages_.shown.back().text, "Registro salvo em " + files_.savePath + ".");
  EXPECT_EQ(form_->LogText(), saved + form_->LogLines().back() + "\r\n") << "the save itself is logged after it";
}

TEST_F(WizardAidsTest, TheTitleNamesTheStepShown) {
  const FormControls& c = form_->controls;
  EXPECT_EQ(c.Titulo.Caption, "Quelvar — Passo 1 de 5: Bem-vindo");
  ImportNetworkAndGoToPage2();
  EXPECT_EQ(c.Titulo.Caption, "Quelvar — Passo 3 de 5: Pasta de destino");
  form_->cmdVoltar_Click();
  EXPECT_EQ(c.Titulo.Caption, "Quelvar — Passo 2 de 5: Arquivos");
  form_->cmdAvancar_Click();
  form_->cmdAvancar_Click();
  EXPECT_EQ(c.Titulo.Caption, "Quelvar — Passo 4 de 5: Confirmação");
}

TEST_F(WizardAidsTest, EveryMessageBoxAndQuestionLeavesOneLineInTheLog) {
  const fs::path junk = dir_ / "in" / "planilha.txt";
  { std::ofstream(junk) << "isto não é um arquivo da EFD\n"; }
  const std::string missing = (dir_ / "nao-existe").string();
  struct Case {
    const char* what;
    std::function<void(frmAssistente&)> act;  // from page 1, the network imported
    size_t boxes;                             // message boxes shown
    std::vector<std::string> lines;           // the lines logged, each by its start
  };
  const Case cases[] = {
      {"the head office removed before its branch",
       [](frmAssistente& f) { f.RemoveFile(0); }, 1,
       {"Atenção: O primeiro arquivo da lista precisa ser o da Matriz (CNPJ com filial 0001). Remova antes as "
        "filiais, ou desmarque 'Validar CNPJ Matriz'."}},
      {"an output folder that does not exist",
       [&](frmAssistente& f) {
         f.cmdAvancar_Click();
         folders_.folder = missing;
         f.ButtonLocalidadeSalvar_Click();
         f.cmdAvancar_Click();
       },
       1, {"Atenção: Não é possível gravar na pasta " + missing + ": a pasta não existe."}},
      {"a question answered no",
       [&](frmAssistente& f) {
         questions_.answer = false;
         f.cmdVoltar_Click();
       },
       0,
       {"Pergunta: Voltar à escolha do tipo de Unificação descarta os arquivos importados. Deseja voltar? "
        "Resposta: Não."}},
      {"a file refused in a batch: its batch's lines, not its report again",
       [&](frmAssistente& f) {
         files_.batches = {{junk.string()}};
         files_.nextBatch = 0;
         f.cmdLocalArquivoMagnetico_Click();
       },
       1, {"Arquivo não importado: planilha.txt (" + junk.string() + "): "}},
      {"a file that no longer imports when the list is imported again: its line, not the report again",
       [&](frmAssistente& f) {
         f.controls.checkValidarMatriz.Value = false;
         f.checkValidarMatriz_Click();
         const std::string moved = network_[1] + ".fora";
         fs::rename(network_[1], moved);
         f.RemoveFile(0);  // the first file out: the others are imported again
         fs::rename(moved, network_[1]);
       },
       1,
       {"Arquivo não importado de novo, retirado da lista: " + fs::path(network_[1]).filename().string() + " (" +
        network_[1] + "): Não foi possível abrir o arquivo "}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    NewForm();
    ImportNetwork();
    messages_.shown.clear();
    const size_t before = form_->LogLines().size();
    c.act(*form_);
    EXPECT_EQ(messages_.shown.size(), c.boxes);
    const std::vector<std::string> lines = LinesFrom(before);
    ASSERT_EQ(lines.size(), c.lines.size()) << form_->LogText();
    for (size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(lines[i].rfind(c.lines[i], 0), 0u) << lines[i];
    EXPECT_EQ(form_->controls.txtRegistro.Text, form_->LogText()) << "the shown log follows every line";
  }
}

TEST_F(WizardAidsTest, AFailedRunShowsTheLogOnTheFolderPageItReturnsTo) {
  ImportNetwork();
  const FormControls& c = form_->controls;
  // A folder that vanishes once its page was left: the run fails and returns to page 2.
  const fs::path gone = dir_ / "gone";
  fs::create_directories(gone);
  form_->cmdAvancar_Click();
  folders_.folder = gone.string();
  form_->ButtonLocalidadeSalvar_Click();
  form_->cmdAvancar_Click();
  ASSERT_EQ(form_->m_Page, 3);
  EXPECT_FALSE(c.txtRegistro.Visible);
  fs::remove_all(gone);
  messages_.shown.clear();
  form_->cmdAvancar_Click();
  ASSERT_FALSE(form_->m_Resultado.ok);
  ASSERT_EQ(form_->m_Page, 2);
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_TRUE(c.txtRegistro.Visible);
  EXPECT_TRUE(c.cmdSalvarRegistro.Visible);
  EXPECT_EQ(c.txtRegistro.Text, form_->LogText());
  const std::string& log = c.txtRegistro.Text;
  EXPECT_EQ(Occurrences(log, "Arquivo unificado NÃO foi gerado: "), 1u) << log;
  EXPECT_EQ(Occurrences(log, "Pasta de destino " + gone.string() + ": a pasta não existe"), 1u) << log;
  EXPECT_EQ(Occurrences(log, "Arquivo Magnético NÃO foi gerado"), 0u) << "the box is the run's lines again";

  // Left and entered again, the page shows no log; the next run's result page does.
  folders_.folder = (dir_ / "out").string();
  form_->ButtonLocalidadeSalvar_Click();
  form_->cmdAvancar_Click();
  form_->cmdVoltar_Click();
  ASSERT_EQ(form_->m_Page, 2);
  EXPECT_FALSE(c.txtRegistro.Visible);
  form_->cmdAvancar_Click();
  form_->cmdAvancar_Click();
  ASSERT_TRUE(form_->m_Resultado.ok) << form_->m_Resultado.error;
  EXPECT_TRUE(c.txtRegistro.Visible);

  // A message on the result page appears in the shown log at once.
  opener_.opens = false;
  form_->cmdAbrirPasta_Click();
  const std::string line = "Atenção: Não foi possível abrir a pasta " + (dir_ / "out").string() + ".";
  EXPECT_EQ(form_->LogLines().back().substr(21), line);
  EXPECT_EQ(c.txtRegistro.Text, form_->LogText());
}

}  // namespace
