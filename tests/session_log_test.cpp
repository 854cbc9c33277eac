// The session's log as the form keeps it: every message box and question
// leaves one line in it (the batch's report and the run's result only the
// lines of the batch and the run), and after a failed run the log is shown
// on the page the wizard returns to, as after a successful one.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <regex>
#include <string>
#include <vector>

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

class SessionLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = UniqueTempPath(std::string("quelvar_session_log_") +
                          ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "out");
    NetworkOptions options;
    options.establishments = 2;
    options.targetLines = 300;
    network_ = WriteNetwork(options, (dir_ / "in").string());
  }
  void TearDown() override {
    form_.reset();
    fs::remove_all(dir_);
  }
  // A new form with the network imported, on page 1.
  void NewFormWithTheNetwork() {
    form_.reset();
    messages_.shown.clear();
    questions_.asked.clear();
    questions_.answer = true;
    frmAssistente::Ports ports;
    ports.files = &files_;
    ports.folders = &folders_;
    ports.questions = &questions_;
    ports.opener = &opener_;
    ports.ui = UiPorts{&messages_, nullptr, &messages_};
    form_ = std::make_unique<frmAssistente>(ports, "memory");
    form_->Form_Load();
    form_->cmdAvancar_Click();
    files_.batches = {network_};
    files_.nextBatch = 0;
    form_->cmdLocalArquivoMagnetico_Click();
    ASSERT_EQ(form_->controls.ListBoxSelecionados.size(), network_.size());
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
  RecordingOpener opener_;
  std::unique_ptr<frmAssistente> form_;
};

TEST_F(SessionLogTest, EveryMessageBoxAndQuestionLeavesOneLineInTheLog) {
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
    NewFormWithTheNetwork();
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

TEST_F(SessionLogTest, AFailedRunShowsTheLogOnTheFolderPageItReturnsTo) {
  NewFormWithTheNetwork();
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
