// The wizard's page machine driven without a window: start state, navigation,
// page tests, the notes of the file page, the run on the last page, and the
// rules of the cancel button.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "staging/run_state.h"
#include "tests/support/faulty_connection.h"
#include "tests/support/staging_database.h"
#include "tests/support/wizard_fakes.h"
#include "tests/support/writer_support.h"
#include "tools/efdgen/network.h"
#include "wizard/frm_assistente.h"

namespace {

namespace fs = std::filesystem;

const std::string kNoteHeadOffice =
    "OBS: Para que o assistente funcione corretamente: \r\n"
    "               1º Selecione o ARQUIVO MATRIZ; \r\n"
    "               2º Selecione o(s) ARQUIVO(s) FILIAI(S). \r\n"
    "Arquivo(s) que não pertence à mesma máscara de CNPJ Matriz, ou possui data diferente da matriz "
    "selecionada não será importada.";
const std::string kNoteHeadOfficeUnticked =
    "OBS: Para que o assistente funcione corretamente: \r\n"
    "               1º Selecione o ARQUIVO MATRIZ; \r\n"
    "               2º Selecione o(s) ARQUIVO(s) FILIAI(S). \r\n"
    "Arquivo(s) que não pertence à mesma máscara de CNPJ , ou possui data diferente da matriz "
    "selecionada não será importada.";
const std::string kNoteSameCnpj =
    "OBS: Para que o assistente funcione corretamente: \r\n"
    "               1º Selecione os ARQUIVOS a serem importados. \r\n"
    "Arquivo(s) que não pertence à mesma máscara de CNPJ, ou possui \r\n"
    "data diferente da matriz selecionada não será importada.";

// A progress port that runs a hook on each event (to press buttons while the
// form works).
class HookedProgress : public ProgressPort {
 public:
  std::function<void(const ProgressEvent&)> hook;
  void Progress(const ProgressEvent& e) override {
    if (hook) hook(e);
  }
};

class PagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = UniqueTempPath(std::string("quelvar_pages_") +
                          ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "out");
    frmAssistente::Ports ports;
    ports.files = &files_;
    ports.folders = &folders_;
    ports.view = &view_;
    ports.questions = &questions_;
    ports.ui = UiPorts{&messages_, &progress_, &messages_};
    form_ = std::make_unique<frmAssistente>(ports, "memory");
    form_->Form_Load();
  }
  void TearDown() override {
    form_.reset();
    fs::remove_all(dir_);
  }

  int VisiblePage() const {
    int shown = -1;
    for (int i = 0; i < frmAssistente::kPages; ++i)
      if (form_->controls.fraAssistente[i].Visible) {
        EXPECT_EQ(shown, -1) << "two pages visible";
        shown = i;
      }
    return shown;
  }
  // Goes from page 0 to page 2 with one (pretended) file listed.
  void ToPage2() {
    form_->cmdAvancar_Click();
    form_->controls.ListBoxSelecionados.push_back("/pretend/file.txt");
    form_->cmdAvancar_Click();
    ASSERT_EQ(form_->m_Page, 2);
  }
  // From page 1 with files listed: "out" chosen on page 2, then page 3.
  void ToPage3() {
    form_->cmdAvancar_Click();
    folders_.folder = (dir_ / "out").string();
    form_->ButtonLocalidadeSalvar_Click();
    form_->cmdAvancar_Click();
  }
  // A small network of `establishments` files written into the test folder.
  std::vector<std::string> Network(int establishments) {
    NetworkOptions options;
    options.establishments = establishments;
    options.targetLines = 300;
    return WriteNetwork(options, (dir_ / "in").string());
  }

  fs::path dir_;
  RecordingMessages messages_;
  HookedProgress progress_;
  ScriptedFiles files_;
  FixedFolderChooser folders_;
  CountingView view_;
  ScriptedQuestions questions_;
  std::unique_ptr<frmAssistente> form_;
};

TEST_F(PagesTest, StartsOnWelcomePageWithHeadOfficeKindAndTickedBox) {
  const FormControls& c = form_->controls;
  EXPECT_EQ(form_->m_Page, 0);
  EXPECT_EQ(VisiblePage(), 0);
  EXPECT_TRUE(c.Image1.Visible);
  EXPECT_FALSE(c.Frame2.Visible);
  EXPECT_FALSE(c.Frame3.Visible);
  EXPECT_TRUE(c.OptionUnificaMatrizFilial.Value);
  EXPECT_FALSE(c.OptionUnificaArquivo.Value);
  EXPECT_FALSE(form_->m_MesmoCNPJ);
  EXPECT_TRUE(c.checkValidarMatriz.Value);
  EXPECT_EQ(form_->m_ValidarMatrizTexto, "Matriz");
  EXPECT_FALSE(c.cmdVoltar.Enabled);
  EXPECT_EQ(c.cmdVoltar.Caption, "< &Voltar");
  EXPECT_EQ(c.cmdAvancar.Caption, "&Avançar >");
  EXPECT_EQ(c.cmdCancelar.Caption, "Cancelar");
  EXPECT_FALSE(c.lblResultadoFinal.Visible);
  EXPECT_FALSE(form_->Run().startTime.empty());
  EXPECT_GT(view_.changes, 0);
}

TEST_F(PagesTest, PageTestsHoldTheWizardAndBackLeadsToTheMergeKind) {
  const FormControls& c = form_->controls;
  form_->cmdAvancar_Click();
  EXPECT_EQ(form_->m_Page, 1);
  EXPECT_EQ(VisiblePage(), 1);
  EXPECT_FALSE(c.Image1.Visible);
  EXPECT_TRUE(c.Frame2.Visible && c.Frame3.Visible);
  EXPECT_EQ(c.lblRotulo.Caption, "Selecione aqui os Arquivos do Pis/Cofins\r\nDt. Início: " + form_->Run().startTime);
  EXPECT_TRUE(c.cmdVoltar.Enabled);

  // No file: the message, and the page stays.
  form_->cmdAvancar_Click();
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].text, "Selecione os arquivos para Unificação");
  EXPECT_EQ(messages_.shown[0].icon, MsgIcon::Exclamation);
  EXPECT_EQ(form_->m_Page, 1);
  form_->Navigate(7);  // unknown action
  EXPECT_EQ(form_->m_Page, 1);
  // Back from page 1 leads to the merge kind (no file imported: nothing to ask).
  form_->cmdVoltar_Click();
  EXPECT_EQ(form_->m_Page, 0);
  EXPECT_TRUE(c.Image1.Visible);
  EXPECT_FALSE(c.cmdVoltar.Enabled);
  form_->cmdAvancar_Click();
  ASSERT_EQ(form_->m_Page, 1);

  form_->controls.ListBoxSelecionados.push_back("/pretend/file.txt");
  form_->cmdAvancar_Click();
  EXPECT_EQ(form_->m_Page, 2);
  EXPECT_TRUE(c.cmdVoltar.Enabled);
  EXPECT_EQ(c.lblRotulo.Caption, "Selecione aqui o local do arquivo magnético\r\nDt. Início: " + form_->Run().startTime);
  form_->cmdAvancar_Click();
  ASSERT_EQ(messages_.shown.size(), 2u);
  EXPECT_EQ(messages_.shown[1].text, "Selecione o local onde será salvo o arquivo");
  EXPECT_EQ(messages_.shown[1].icon, MsgIcon::Exclamation);
  EXPECT_EQ(form_->m_Page, 2);

  // Back on page 2 sets page 1's note again.
  form_->controls.Label15.Caption = "changed";
  form_->cmdVoltar_Click();
  EXPECT_EQ(form_->m_Page, 1);
  EXPECT_EQ(c.Label15.Caption, kNoteHeadOffice);
}

TEST_F(PagesTest, FolderButtonAsksTheChooserAndTheLastPageButtonReadsConcluir) {
  ToPage2();
  const FormControls& c = form_->controls;
  folders_.folder = (dir_ / "out").string();
  form_->ButtonLocalidadeSalvar_Click();
  EXPECT_EQ(folders_.lastTitle, "Selecione local para salvar");
  EXPECT_TRUE(folders_.lastFlag);
  EXPECT_EQ(form_->m_CaminhoSalvo, folders_.folder);
  EXPECT_EQ(c.TxtCaminhoSalvo.Text, folders_.folder);
  // A cancelled chooser keeps the folder chosen before.
  folders_.folder.clear();
  form_->ButtonLocalidadeSalvar_Click();
  EXPECT_EQ(form_->m_CaminhoSalvo, (dir_ / "out").string());
  EXPECT_EQ(c.TxtCaminhoSalvo.Text, (dir_ / "out").string());

  form_->cmdAvancar_Click();
  EXPECT_EQ(form_->m_Page, 3);
  EXPECT_EQ(c.cmdAvancar.Caption, "&Concluir");
  EXPECT_TRUE(c.cmdVoltar.Enabled);
  EXPECT_EQ(c.lblRotulo.Caption, "Você está prestes a iniciar a Unificação\r\nDt. Início: " + form_->Run().startTime);
  form_->cmdVoltar_Click();
  EXPECT_EQ(form_->m_Page, 2);
  EXPECT_EQ(c.cmdAvancar.Caption, "&Avançar >");
  EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(PagesTest, NoteOfTheFilePageFollowsMergeKindAndCheckBox) {
  FormControls& c = form_->controls;
  form_->cmdAvancar_Click();
  EXPECT_EQ(c.Label15.Caption, kNoteHeadOffice);
  // Unticking changes the note's last line at once; ticking brings the word back.
  c.checkValidarMatriz.Value = false;
  form_->checkValidarMatriz_Click();
  EXPECT_EQ(form_->m_ValidarMatrizTexto, "");
  EXPECT_EQ(c.Label15.Caption, kNoteHeadOfficeUnticked);
  c.checkValidarMatriz.Value = true;
  form_->checkValidarMatriz_Click();
  EXPECT_EQ(c.Label15.Caption, kNoteHeadOffice);
  EXPECT_TRUE(c.checkValidarMatriz.Enabled);
}

TEST_F(PagesTest, SameCnpjKindUnticksAndDisablesTheBoxForGood) {
  FormControls& c = form_->controls;
  form_->OptionUnificaArquivo_Click();
  EXPECT_TRUE(form_->m_MesmoCNPJ);
  EXPECT_TRUE(c.OptionUnificaArquivo.Value);
  EXPECT_FALSE(c.OptionUnificaMatrizFilial.Value);
  form_->cmdAvancar_Click();
  EXPECT_EQ(c.Label15.Caption, kNoteSameCnpj);
  EXPECT_FALSE(c.checkValidarMatriz.Value);
  EXPECT_FALSE(c.checkValidarMatriz.Enabled);
  EXPECT_EQ(form_->m_ValidarMatrizTexto, "");
  // Page 2 and back: still the first note, the box still off.
  c.ListBoxSelecionados.push_back("/pretend/file.txt");
  form_->cmdAvancar_Click();
  form_->cmdVoltar_Click();
  EXPECT_EQ(form_->m_Page, 1);
  EXPECT_EQ(c.Label15.Caption, kNoteSameCnpj);
  EXPECT_FALSE(c.checkValidarMatriz.Enabled);
  EXPECT_FALSE(c.checkValidarMatriz.Value);
  // The other option afterwards sets the kind back but not the box.
  form_->OptionUnificaMatrizFilial_Click();
  EXPECT_FALSE(form_->m_MesmoCNPJ);
}

// What the run tells without failing (here an account that the branch names
// otherwise) is listed on the result page, also when the window shows only
// the first error boxes.
TEST_F(PagesTest, TheResultPageListsTheRunsNotices) {
  files_.paths = Network(2);
  {
    std::vector<std::string> lines = ReadCrLfLines(files_.paths[1]);
    for (std::string& l : lines)
      if (l.rfind("|0500|", 0) == 0) {
        l.insert(l.rfind('|', l.size() - 4) + 1, "OUTRO NOME ");  // a field before the last ones
        break;
      }
    WriteFileLines(files_.paths[1], lines);
  }
  form_->cmdAvancar_Click();
  for (size_t i = 0; i < files_.paths.size(); ++i) form_->cmdLocalArquivoMagnetico_Click();
  ASSERT_EQ(form_->controls.ListBoxSelecionados.size(), 2u) << (messages_.shown.empty() ? "" : messages_.shown[0].text);
  ToPage3();
  form_->cmdAvancar_Click();
  ASSERT_TRUE(form_->m_Resultado.ok) << form_->m_Resultado.error;
  ASSERT_EQ(form_->m_Resultado.notices.size(), 1u);
  EXPECT_NE(form_->m_Resultado.notices[0].find("registro 0500 de DT_ALT"), std::string::npos)
      << form_->m_Resultado.notices[0];
  EXPECT_NE(form_->controls.lblResultadoFinal.Caption.find("\r\nAvisos da unificação (1): registro 0500 de DT_ALT"),
            std::string::npos)
      << form_->controls.lblResultadoFinal.Caption;
}

TEST_F(PagesTest, ConcluirRunsTheUnificationBeforeReturningAndLeavesFechar) {
  files_.paths = Network(2);
  form_->cmdAvancar_Click();
  for (size_t i = 0; i < files_.paths.size(); ++i) form_->cmdLocalArquivoMagnetico_Click();
  ASSERT_EQ(form_->controls.ListBoxSelecionados.size(), files_.paths.size())
      << (messages_.shown.empty() ? "" : messages_.shown[0].text);
  EXPECT_EQ(files_.lastFilter, "Texto. TXT(*.txt)|*.txt");
  ToPage3();
  ASSERT_EQ(form_->m_Page, 3);

  form_->cmdAvancar_Click();  // "&Concluir"
  const FormControls& c = form_->controls;
  EXPECT_EQ(form_->m_Page, 4);
  EXPECT_EQ(VisiblePage(), 4);
  ASSERT_TRUE(form_->m_Resultado.ok) << form_->m_Resultado.error;
  EXPECT_TRUE(fs::exists(form_->m_Resultado.path));
  EXPECT_FALSE(form_->Run().endTime.empty());
  EXPECT_EQ(c.cmdCancelar.Caption, "Fechar");
  EXPECT_TRUE(c.cmdCancelar.Enabled);
  EXPECT_FALSE(c.cmdVoltar.Visible);
  EXPECT_FALSE(c.cmdAvancar.Visible);
  for (const Control* hidden : {&c.sspProgressoBlocosGeral, &c.sspProgressoEmpresa, &c.sspProgressoBlocosParcial,
                                &c.sspProgressoBlocosParcialInterno, &c.lblProgressoBlocosGeral,
                                &c.lblProgressoEmpresa, &c.lblProgressoBlocosParcial,
                                &c.lblProgressoBlocosParcialInterno})
    EXPECT_FALSE(hidden->Visible);
  EXPECT_TRUE(c.lblResultadoFinal.Visible);
  // The times are the run's own.
  const std::string expected = "Arquivo Magnético gerado com Sucesso. \r\nDt Início: " + form_->m_RunStart +
                               "\r\nDt Final: " + form_->m_RunEnd + "\r\nDuração: " +
                               DurationText(form_->m_RunSeconds) + "\r\nArquivo: " + form_->m_Resultado.path;
  EXPECT_FALSE(form_->m_RunStart.empty());
  EXPECT_EQ(c.lblResultadoFinal.Caption.substr(0, expected.size()), expected);
  // The wizard saves the summary per establishment beside the merged file and names it.
  const std::string base = form_->m_Resultado.path.substr(0, form_->m_Resultado.path.size() - 4);
  EXPECT_EQ(form_->m_Resultado.summaryCsv, base + "_Resumo.csv");
  EXPECT_TRUE(fs::exists(base + "_Resumo.csv") && fs::exists(base + "_Resumo.html"));
  EXPECT_NE(c.lblResultadoFinal.Caption.find("\r\nResumo por estabelecimento: " + base + "_Resumo.csv e " + base +
                                             "_Resumo.html\r\n"),
            std::string::npos)
      << c.lblResultadoFinal.Caption;
  EXPECT_FALSE(form_->m_Resultado.summary.empty());
  // The ledger's totals close the result, and its button saves it as CSV
  // beside the merged file (a cancelled chooser writes nothing).
  const LedgerSummary sum = SummarizeLedger(form_->m_Resultado.ledger);
  EXPECT_GT(sum.read, 0);
  EXPECT_EQ(sum.missing, 0);
  const std::string summary = "\r\nConciliação: " + std::to_string(sum.read) + " linhas lidas, " +
                              std::to_string(sum.written) + " gravadas, " + std::to_string(sum.merged) +
                              " unificadas por regra, 0 recusadas";
  EXPECT_EQ(c.lblResultadoFinal.Caption.substr(c.lblResultadoFinal.Caption.size() - summary.size()), summary);
  EXPECT_TRUE(c.cmdConciliacao.Visible && c.cmdConciliacao.Enabled);
  EXPECT_EQ(c.cmdConciliacao.Caption, "Salvar &conciliação...");
  form_->cmdConciliacao_Click();
  EXPECT_EQ(files_.saves, 1);
  EXPECT_EQ(files_.lastSaveTitle, "Salvar conciliação");
  EXPECT_EQ(files_.lastSaveFilter, "Planilha CSV (*.csv)|*.csv");
  const std::string merged = form_->m_Resultado.path;
  EXPECT_EQ(files_.lastSuggested, merged.substr(0, merged.size() - 14) + "_Conciliacao.csv");
  EXPECT_TRUE(messages_.shown.empty());
  files_.savePath = (dir_ / "conciliacao.csv").string();
  form_->cmdConciliacao_Click();
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].text, "Conciliação salva em " + files_.savePath + ".");
  std::ifstream saved(files_.savePath, std::ios::binary);
  std::string header;
  std::getline(saved, header);
  EXPECT_EQ(header,
            "\xEF\xBB\xBFregistro;estabelecimento;lidas;gravadas;unificadas_por_regra;recusadas;nao_gravadas;motivo");
  messages_.shown.clear();

  // Page 4 holds: the hidden buttons do nothing, there is no second run.
  form_->cmdAvancar_Click();
  form_->cmdVoltar_Click();
  EXPECT_EQ(form_->m_Page, 4);
  form_->cmdCancelar_Click();
  EXPECT_TRUE(form_->m_Unloaded);
  EXPECT_EQ(form_->Run().connection, nullptr);
}

TEST_F(PagesTest, AnUnwritableFolderIsRefusedAndAFailedRunReturnsToTheFolderPage) {
  files_.paths = Network(1);
  form_->cmdAvancar_Click();
  form_->cmdLocalArquivoMagnetico_Click();
  ASSERT_EQ(form_->controls.ListBoxSelecionados.size(), 1u);
  form_->cmdAvancar_Click();
  // A folder that does not exist: refused on the folder page, in Portuguese.
  folders_.folder = (dir_ / "missing" / "folder").string();
  form_->ButtonLocalidadeSalvar_Click();
  form_->cmdAvancar_Click();
  EXPECT_EQ(form_->m_Page, 2);
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].text,
            "Não é possível gravar na pasta " + folders_.folder + ": a pasta não existe.");
  messages_.shown.clear();
  // A folder of the system that exists but takes no new file says so (not "does not exist").
  if (fs::is_directory("/proc/sys")) {
    folders_.folder = "/proc/sys";
    form_->ButtonLocalidadeSalvar_Click();
    form_->cmdAvancar_Click();
    EXPECT_EQ(form_->m_Page, 2);
    ASSERT_EQ(messages_.shown.size(), 1u);
    EXPECT_NE(messages_.shown[0].text.find("/proc/sys: a pasta não aceita arquivos novos (é uma pasta especial"),
              std::string::npos)
        << messages_.shown[0].text;
    messages_.shown.clear();
  }

  // A folder that vanishes after the page was left: the run fails, the wizard
  // returns to the folder page with the reason, and the files stay imported.
  const fs::path gone = dir_ / "gone";
  fs::create_directories(gone);
  folders_.folder = gone.string();
  form_->ButtonLocalidadeSalvar_Click();
  form_->cmdAvancar_Click();
  ASSERT_EQ(form_->m_Page, 3);
  fs::remove_all(gone);
  form_->cmdAvancar_Click();
  const FormControls& c = form_->controls;
  EXPECT_FALSE(form_->m_Resultado.ok);
  EXPECT_EQ(form_->m_Page, 2);
  EXPECT_EQ(VisiblePage(), 2);
  EXPECT_TRUE(c.cmdAvancar.Visible && c.cmdAvancar.Enabled);
  EXPECT_TRUE(c.cmdVoltar.Visible && c.cmdVoltar.Enabled);
  EXPECT_EQ(c.cmdCancelar.Caption, "Cancelar");
  EXPECT_TRUE(c.cmdCancelar.Enabled);
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].icon, MsgIcon::Critical);
  EXPECT_NE(messages_.shown[0].text.find("NÃO foi gerado"), std::string::npos);
  EXPECT_NE(messages_.shown[0].text.find("Motivo: a pasta não existe"), std::string::npos) << messages_.shown[0].text;
  EXPECT_NE(messages_.shown[0].text.find("escolha outra pasta"), std::string::npos) << messages_.shown[0].text;
  EXPECT_EQ(c.ListBoxSelecionados.size(), 1u);

  // Another folder: the run is tried again and writes the file.
  folders_.folder = (dir_ / "out").string();
  form_->ButtonLocalidadeSalvar_Click();
  form_->cmdAvancar_Click();
  form_->cmdAvancar_Click();
  ASSERT_TRUE(form_->m_Resultado.ok) << form_->m_Resultado.error;
  EXPECT_EQ(form_->m_Page, 4);
  EXPECT_TRUE(fs::exists(form_->m_Resultado.path));
  EXPECT_TRUE(c.lblResultadoFinal.Visible);
  EXPECT_EQ(c.cmdCancelar.Caption, "Fechar");
}

// A run that fails by its ledger returns to the folder page, which then offers
// the ledger (with its totals in the message) until the page is left; an
// unwritable file is told.
TEST_F(PagesTest, AFailedRunOffersItsLedgerOnTheFolderPage) {
  files_.paths = Network(1);
  form_->cmdAvancar_Click();
  InstallFaultyConnection(form_->Run(), [](std::string& sql) { return sql.rfind("INSERT INTO ###C170", 0) != 0; });
  form_->cmdLocalArquivoMagnetico_Click();
  ASSERT_EQ(form_->controls.ListBoxSelecionados.size(), 1u);
  form_->cmdAvancar_Click();
  const FormControls& c = form_->controls;
  EXPECT_FALSE(c.cmdConciliacao.Visible);
  folders_.folder = (dir_ / "out").string();
  form_->ButtonLocalidadeSalvar_Click();
  form_->cmdAvancar_Click();
  form_->cmdAvancar_Click();
  ASSERT_FALSE(form_->m_Resultado.ok);
  EXPECT_EQ(form_->m_Page, 2);
  ASSERT_EQ(messages_.shown.size(), 1u);
  const std::string& failed = messages_.shown[0].text;
  EXPECT_NE(failed.find("registro C170"), std::string::npos) << failed;
  EXPECT_NE(failed.find("\r\nConciliação: "), std::string::npos) << failed;
  EXPECT_NE(failed.find(" não gravadas\r\nClique em 'Salvar conciliação...'"), std::string::npos) << failed;
  // Another folder would give the same result: the message does not suggest one.
  EXPECT_EQ(failed.find("escolha outra pasta"), std::string::npos) << failed;
  EXPECT_TRUE(c.cmdConciliacao.Visible);

  files_.savePath = (dir_ / "missing" / "c.csv").string();
  form_->cmdConciliacao_Click();
  ASSERT_EQ(messages_.shown.size(), 2u);
  EXPECT_EQ(messages_.shown[1].icon, MsgIcon::Critical);
  EXPECT_EQ(messages_.shown[1].text,
            "Não foi possível salvar a conciliação: não foi possível gravar o relatório " + files_.savePath +
                ": a pasta ou o arquivo não existe.");
  files_.savePath = (dir_ / "c.csv").string();
  form_->cmdConciliacao_Click();
  std::ifstream saved(files_.savePath, std::ios::binary);
  const std::string csv((std::istreambuf_iterator<char>(saved)), std::istreambuf_iterator<char>());
  EXPECT_NE(csv.find("\nC170;;"), std::string::npos) << csv;
  EXPECT_NE(csv.find(";linhas não gravadas\n"), std::string::npos) << csv;

  // Leaving the page takes the button away; coming back does not bring it.
  form_->cmdAvancar_Click();
  EXPECT_FALSE(c.cmdConciliacao.Visible);
  form_->cmdVoltar_Click();
  EXPECT_EQ(form_->m_Page, 2);
  EXPECT_FALSE(c.cmdConciliacao.Visible);
  const int saves = files_.saves;
  form_->cmdConciliacao_Click();
  EXPECT_EQ(files_.saves, saves);
}

TEST_F(PagesTest, CancelNeverClosesTheDatabaseUnderRunningWork) {
  files_.paths = Network(1);
  files_.paths.push_back(files_.paths[0]);
  form_->cmdAvancar_Click();
  // During the import: the press stops the file, which is not listed.
  bool pressed = false;
  progress_.hook = [&](const ProgressEvent& e) {
    if (e.kind == 0 && e.done >= 1 && !pressed) {
      pressed = true;
      form_->cmdCancelar_Click();
    }
  };
  form_->cmdLocalArquivoMagnetico_Click();
  EXPECT_TRUE(pressed);
  EXPECT_FALSE(form_->m_Unloaded);
  ASSERT_NE(form_->Run().connection, nullptr);
  EXPECT_TRUE(form_->controls.ListBoxSelecionados.empty());
  EXPECT_TRUE(form_->controls.cmdLocalArquivoMagnetico.Enabled);
  EXPECT_TRUE(form_->controls.cmdAvancar.Enabled);
  // The same file imports afterwards as the head office.
  progress_.hook = nullptr;
  form_->cmdLocalArquivoMagnetico_Click();
  ASSERT_EQ(form_->controls.ListBoxSelecionados.size(), 1u);

  ToPage3();
  // During the run: the button is enabled and asks; "no" lets the run go on.
  bool sawEnabled = false, pressedInRun = false;
  questions_.answer = false;
  questions_.asked.clear();
  progress_.hook = [&](const ProgressEvent& e) {
    if (e.kind == 3 && !pressedInRun) {
      pressedInRun = true;
      sawEnabled = form_->controls.cmdCancelar.Enabled;
      form_->cmdCancelar_Click();
    }
  };
  form_->cmdAvancar_Click();
  EXPECT_TRUE(pressedInRun);
  EXPECT_TRUE(sawEnabled);
  EXPECT_EQ(questions_.asked, std::vector<std::string>{frmAssistente::kConfirmCancelRun});
  EXPECT_FALSE(form_->m_Unloaded);
  EXPECT_TRUE(form_->m_Resultado.ok) << form_->m_Resultado.error;
  EXPECT_TRUE(form_->controls.cmdCancelar.Enabled);
}

// Esc (Cancelar) during the run asks, and "yes" cancels it: the wizard goes
// back to the page that starts the run with the files and folder kept, says
// that nothing was written, and the run can be started again. Before, the
// press was ignored without a word.
TEST_F(PagesTest, CancelDuringTheRunAsksAndStopsItOnYes) {
  files_.paths = Network(2);
  form_->cmdAvancar_Click();
  form_->cmdLocalArquivoMagnetico_Click();
  form_->cmdLocalArquivoMagnetico_Click();
  ASSERT_EQ(form_->controls.ListBoxSelecionados.size(), 2u);
  ToPage3();
  ASSERT_EQ(form_->m_Page, 3);
  questions_.answer = true;
  questions_.asked.clear();
  int presses = 0;
  progress_.hook = [&](const ProgressEvent& e) {
    if (e.kind == 4 && presses == 0) {
      presses = 2;  // a second press before the run stopped asks nothing more
      form_->cmdCancelar_Click();
      form_->cmdCancelar_Click();
    }
  };
  form_->cmdAvancar_Click();
  EXPECT_EQ(presses, 2);
  EXPECT_EQ(questions_.asked, std::vector<std::string>{frmAssistente::kConfirmCancelRun});
  const FormControls& c = form_->controls;
  EXPECT_TRUE(form_->m_Resultado.cancelled);
  EXPECT_FALSE(form_->m_Running);
  EXPECT_FALSE(form_->m_Unloaded);
  EXPECT_EQ(form_->m_Page, 3);
  EXPECT_EQ(VisiblePage(), 3);
  EXPECT_EQ(c.ListBoxSelecionados.size(), 2u);
  EXPECT_TRUE(fs::is_empty(dir_ / "out")) << "nothing written, no temporary left";
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].text,
            "Unificação cancelada. O arquivo unificado não foi gravado; os arquivos importados foram mantidos.");
  EXPECT_EQ(messages_.shown[0].icon, MsgIcon::Information);
  EXPECT_EQ(c.cmdCancelar.Caption, "Cancelar");
  // Started again, the run writes the file.
  progress_.hook = nullptr;
  form_->cmdAvancar_Click();
  ASSERT_TRUE(form_->m_Resultado.ok) << form_->m_Resultado.error;
  EXPECT_EQ(form_->m_Page, 4);
  EXPECT_TRUE(fs::exists(form_->m_Resultado.path));
}

// The result page's header and text give the run's own times (its start,
// end and length), not the program's start. Before, the header kept
// "Dt. Início" of the program beside the run's times.
TEST_F(PagesTest, TheResultPageShowsTheRunsTimes) {
  files_.paths = Network(1);
  form_->cmdAvancar_Click();
  form_->cmdLocalArquivoMagnetico_Click();
  ToPage3();
  form_->Run().startTime = "01/01/2000 08:00:00";  // the program started long before the run
  form_->ShowPage();
  EXPECT_NE(form_->controls.lblRotulo.Caption.find("Dt. Início: 01/01/2000 08:00:00"), std::string::npos);
  std::string headerDuringRun;
  progress_.hook = [&](const ProgressEvent& e) {
    if (e.kind == 1 && headerDuringRun.empty()) headerDuringRun = form_->controls.lblRotulo.Caption;
  };
  form_->cmdAvancar_Click();
  ASSERT_TRUE(form_->m_Resultado.ok) << form_->m_Resultado.error;
  ASSERT_FALSE(form_->m_RunStart.empty());
  EXPECT_EQ(headerDuringRun, "Unificação dos arquivos\r\nInício da unificação: " + form_->m_RunStart);
  const std::string& header = form_->controls.lblRotulo.Caption;
  EXPECT_EQ(header.find("01/01/2000"), std::string::npos) << header;
  EXPECT_EQ(header, "Unificação dos arquivos\r\nUnificação: início " + form_->m_RunStart + ", fim " +
                        form_->m_RunEnd + " (duração " + DurationText(form_->m_RunSeconds) + ")");
  const std::string& result = form_->controls.lblResultadoFinal.Caption;
  EXPECT_EQ(result.find("01/01/2000"), std::string::npos) << result;
  EXPECT_NE(result.find("Dt Início: " + form_->m_RunStart + "\r\nDt Final: " + form_->m_RunEnd +
                        "\r\nDuração: " + DurationText(form_->m_RunSeconds)),
            std::string::npos)
      << result;
}

// The first read of a file (its checks before any line is stored) moves the
// import bar and tells the view it is busy; a cancel pressed meanwhile stops
// the import and never closes the form under it.
TEST_F(PagesTest, TheFirstReadOfALargeFileShowsProgressAndCanBeCancelled) {
  NetworkOptions options;
  options.establishments = 1;
  options.targetLines = 40000;
  files_.paths = WriteNetwork(options, (dir_ / "in").string());
  form_->cmdAvancar_Click();
  std::vector<int> preRead;  // percentages shown before the file's lines are stored
  bool pressed = false;
  progress_.hook = [&](const ProgressEvent& e) {
    if (e.kind != 0 || e.elapsed < 0) return;
    if (!pressed) preRead.push_back(e.Percent());
    if (preRead.size() == 2 && !pressed) {
      pressed = true;
      form_->cmdCancelar_Click();  // during the checks of the file
    }
  };
  questions_.asked.clear();
  form_->cmdLocalArquivoMagnetico_Click();
  EXPECT_TRUE(pressed);
  EXPECT_TRUE(questions_.asked.empty()) << "the import stops without closing the wizard";
  EXPECT_FALSE(form_->m_Unloaded);
  ASSERT_NE(form_->Run().connection, nullptr);
  EXPECT_TRUE(form_->controls.ListBoxSelecionados.empty());
  ASSERT_EQ(preRead.size(), 2u);
  EXPECT_LT(preRead[1], frmAssistente::kPreReadShare * 100);
  ASSERT_GE(view_.busy.size(), 2u);
  EXPECT_TRUE(view_.busy.front());
  EXPECT_FALSE(view_.busy.back());
  // Without a press the file imports, the busy state ending when its lines are stored.
  progress_.hook = nullptr;
  view_.busy.clear();
  files_.next = 0;
  form_->cmdLocalArquivoMagnetico_Click();
  EXPECT_EQ(form_->controls.ListBoxSelecionados.size(), 1u);
  EXPECT_EQ(view_.busy, (std::vector<bool>{true, false}));
}

}  // namespace
