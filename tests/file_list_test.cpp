// The file list of page 1 edited as a user does it: several files chosen at
// once, a file removed (its records gone from the merged file), files moved,
// the head-office rule kept, the way back to the merge kind, and the questions
// asked before work is lost or a merged file replaced.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "staging/run_state.h"
#include "tests/support/staging_database.h"
#include "tests/support/wizard_fakes.h"
#include "tools/efdgen/network.h"
#include "wizard/frm_assistente.h"

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// The CNPJ of a file's 0000 line.
std::string CnpjOf(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string line;
  std::getline(in, line);
  size_t at = 0;
  for (int bars = 1; bars < 9 && at != std::string::npos; ++bars) at = line.find('|', at + 1);
  return line.substr(at + 1, 14);
}

// A progress port that runs a hook on each event (to press buttons while the form works).
class HookedProgress : public ProgressPort {
 public:
  std::function<void(const ProgressEvent&)> hook;
  void Progress(const ProgressEvent& e) override {
    if (hook) hook(e);
  }
};

class FileListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = UniqueTempPath("quelvar_file_list_" +
                          std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    NetworkOptions options;
    options.establishments = 4;
    options.targetLines = 600;
    files_ = WriteNetwork(options, (dir_ / "in").string());
  }
  void TearDown() override {
    form_.reset();
    fs::remove_all(dir_);
  }
  // A new form on page 1.
  void Start() {
    form_.reset();
    frmAssistente::Ports ports;
    ports.files = &chooser_;
    ports.folders = &folders_;
    ports.questions = &questions_;
    ports.ui = UiPorts{&messages_, &progress_, &messages_};
    form_ = std::make_unique<frmAssistente>(ports, "memory");
    form_->Form_Load();
    form_->cmdAvancar_Click();
    ASSERT_EQ(form_->m_Page, 1);
  }
  // One visit of the open-file dialog choosing `paths`.
  void Choose(const std::vector<std::string>& paths) {
    chooser_.batches = {paths};
    chooser_.nextBatch = 0;
    form_->cmdLocalArquivoMagnetico_Click();
  }
  // From page 1 to the merged file in `folder`; its text.
  std::string Merge(const std::string& folder) {
    form_->cmdAvancar_Click();
    fs::create_directories(folder);
    folders_.folder = folder;
    form_->ButtonLocalidadeSalvar_Click();
    form_->cmdAvancar_Click();
    form_->cmdAvancar_Click();
    EXPECT_TRUE(form_->m_Resultado.ok) << form_->m_Resultado.error;
    return form_->m_Resultado.ok ? ReadAll(form_->m_Resultado.path) : std::string();
  }
  int64_t Count(const std::string& table) {
    auto rs = g_Connection->Execute("SELECT COUNT(*) AS n FROM ###" + table);
    return (*rs)["n"].AsInt();
  }

  fs::path dir_;
  std::vector<std::string> files_;
  ScriptedFiles chooser_;
  FixedFolderChooser folders_;
  ScriptedQuestions questions_;
  RecordingMessages messages_;
  HookedProgress progress_;
  std::unique_ptr<frmAssistente> form_;
};

TEST_F(FileListTest, SeveralFilesAtOnceComeInTheOrderChosenWithTheHeadOfficeFirst) {
  Start();
  // The branches before the head office in the dialog's order.
  Choose({files_[2], files_[1], files_[0]});
  ASSERT_EQ(form_->controls.ListBoxSelecionados,
            (std::vector<std::string>{files_[0], files_[2], files_[1]}))
      << (messages_.shown.empty() ? "" : messages_.shown[0].text);
  EXPECT_TRUE(messages_.shown.empty());
  // The newest row is selected; the rows tell name, CNPJ, period, role and lines.
  EXPECT_EQ(form_->controls.ListBoxIndex, 2);
  EXPECT_EQ(form_->controls.lblQuantidadeArquivos.Caption, "3 arquivos na lista");
  const std::string row0 = form_->ListRowText(0);
  const std::string cnpj = CnpjOf(files_[0]);
  EXPECT_EQ(row0.find(fs::path(files_[0]).filename().string()), 0u) << row0;
  EXPECT_NE(row0.find(cnpj.substr(0, 2) + "." + cnpj.substr(2, 3) + "." + cnpj.substr(5, 3) + "/0001-"),
            std::string::npos)
      << row0;
  EXPECT_NE(row0.find("Matriz"), std::string::npos) << row0;
  EXPECT_NE(row0.find(" linhas"), std::string::npos) << row0;
  EXPECT_NE(form_->ListRowText(1).find("Filial"), std::string::npos);
  // A second visit adds after the others; a refusal among several files names its file.
  Choose({files_[0], files_[3]});
  EXPECT_EQ(form_->controls.ListBoxSelecionados.back(), files_[3]);
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].text, fs::path(files_[0]).filename().string() + ": Arquivo já selecionado!!!");
  EXPECT_EQ(form_->controls.lblQuantidadeArquivos.Caption, "4 arquivos na lista");
}

TEST_F(FileListTest, CancellingOneImportSkipsTheFilesChosenWithIt) {
  Start();
  Choose({files_[0]});
  // Stopped during the second file: neither it nor the third is imported.
  bool busy = false;
  progress_.hook = [&](const ProgressEvent& e) {
    if (e.kind == 0 && e.done >= 1 && e.text.find(fs::path(files_[1]).filename().string()) != std::string_view::npos) {
      busy = !form_->controls.cmdAvancar.Enabled && !form_->controls.cmdVoltar.Enabled &&
             !form_->controls.cmdRemoverArquivo.Enabled && !form_->controls.cmdLocalArquivoMagnetico.Enabled;
      form_->cmdCancelar_Click();
    }
  };
  Choose({files_[1], files_[2]});
  progress_.hook = nullptr;
  EXPECT_TRUE(busy);
  EXPECT_EQ(form_->controls.ListBoxSelecionados, std::vector<std::string>{files_[0]});
  EXPECT_FALSE(form_->m_Unloaded);
  EXPECT_TRUE(form_->controls.cmdAvancar.Enabled && form_->controls.cmdLocalArquivoMagnetico.Enabled);
  // The next visit imports again.
  Choose({files_[2]});
  EXPECT_EQ(form_->controls.ListBoxSelecionados.size(), 2u);
}

TEST_F(FileListTest, ARemovedFilesRecordsDoNotReachTheMergedFile) {
  // What the network gives without the third establishment.
  Start();
  Choose({files_[0], files_[1], files_[3]});
  const std::string expected = Merge((dir_ / "direct").string());
  ASSERT_FALSE(expected.empty());

  Start();
  Choose({files_[0], files_[1], files_[2], files_[3]});
  ASSERT_EQ(form_->controls.ListBoxSelecionados.size(), 4u);
  const int64_t all0140 = Count("0140");
  form_->SelectListRow(2);
  form_->cmdRemoverArquivo_Click();
  EXPECT_EQ(form_->controls.ListBoxSelecionados, (std::vector<std::string>{files_[0], files_[1], files_[3]}));
  EXPECT_EQ(Count("0140"), all0140 - 1);
  EXPECT_EQ(form_->controls.lblQuantidadeArquivos.Caption, "3 arquivos na lista");
  EXPECT_TRUE(messages_.shown.empty()) << messages_.shown[0].text;
  const std::string merged = Merge((dir_ / "edited").string());
  EXPECT_EQ(merged.find(CnpjOf(files_[2])), std::string::npos) << "the removed branch's CNPJ is in the output";
  EXPECT_EQ(merged, expected);
}

TEST_F(FileListTest, MovesKeepTheHeadOfficeFirstAndRestageInTheNewOrder) {
  Start();
  Choose({files_[0], files_[1], files_[2]});
  ASSERT_EQ(form_->controls.ListBoxSelecionados.size(), 3u);
  // The branch cannot go above the head office, nor the head office leave first place.
  form_->SelectListRow(1);
  EXPECT_TRUE(form_->controls.cmdSubirArquivo.Enabled);
  form_->cmdSubirArquivo_Click();
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_NE(messages_.shown[0].text.find("precisa ser o da Matriz"), std::string::npos);
  EXPECT_EQ(form_->controls.ListBoxSelecionados, (std::vector<std::string>{files_[0], files_[1], files_[2]}));
  // Nor can the head office be removed while branches follow it.
  form_->SelectListRow(0);
  EXPECT_FALSE(form_->controls.cmdSubirArquivo.Enabled);
  form_->cmdRemoverArquivo_Click();
  EXPECT_EQ(messages_.shown.size(), 2u);
  EXPECT_EQ(form_->controls.ListBoxSelecionados.size(), 3u);
  messages_.shown.clear();

  // Two branches change places; the moved one stays selected.
  form_->SelectListRow(2);
  EXPECT_FALSE(form_->controls.cmdDescerArquivo.Enabled);
  form_->cmdSubirArquivo_Click();
  EXPECT_TRUE(messages_.shown.empty()) << messages_.shown[0].text;
  EXPECT_EQ(form_->controls.ListBoxSelecionados, (std::vector<std::string>{files_[0], files_[2], files_[1]}));
  EXPECT_EQ(form_->controls.ListBoxIndex, 1);
  // The staging follows the order: establishments are numbered as listed.
  auto rs = g_Connection->Execute("SELECT CNPJ FROM ###0140 ORDER BY Cod_Est");
  std::vector<std::string> order;
  for (; !rs->Eof(); rs->MoveNext()) order.push_back((*rs)["CNPJ"].AsText());
  EXPECT_EQ(order, (std::vector<std::string>{CnpjOf(files_[0]), CnpjOf(files_[2]), CnpjOf(files_[1])}));

  // Unticked box: any file may lead.
  form_->controls.checkValidarMatriz.Value = false;
  form_->checkValidarMatriz_Click();
  form_->SelectListRow(1);
  form_->cmdSubirArquivo_Click();
  EXPECT_EQ(form_->controls.ListBoxSelecionados.front(), files_[2]);
  EXPECT_EQ(g_MatrizCNPJ, CnpjOf(files_[2]));
}

TEST_F(FileListTest, BackToTheMergeKindClearsTheFilesOnlyAfterConfirmation) {
  Start();
  Choose({files_[0], files_[1]});
  ASSERT_EQ(form_->controls.ListBoxSelecionados.size(), 2u);
  questions_.answer = false;
  form_->cmdVoltar_Click();
  EXPECT_EQ(form_->m_Page, 1);
  ASSERT_EQ(questions_.asked.size(), 1u);
  EXPECT_EQ(form_->controls.ListBoxSelecionados.size(), 2u);

  questions_.answer = true;
  form_->cmdVoltar_Click();
  EXPECT_EQ(form_->m_Page, 0);
  EXPECT_TRUE(form_->controls.ListBoxSelecionados.empty());
  EXPECT_EQ(Count("0140"), 0);
  EXPECT_FALSE(g_MatrizSelected);

  // The other kind: two parts of one CNPJ are now welcome, and back in the
  // first kind the box is ticked and enabled again.
  form_->OptionUnificaArquivo_Click();
  form_->cmdAvancar_Click();
  EXPECT_FALSE(form_->controls.checkValidarMatriz.Enabled);
  Choose({files_[1]});
  EXPECT_EQ(form_->ListRowText(0).find("Parte 1") != std::string::npos, true) << form_->ListRowText(0);
  form_->cmdVoltar_Click();
  form_->OptionUnificaMatrizFilial_Click();
  form_->cmdAvancar_Click();
  EXPECT_TRUE(form_->controls.checkValidarMatriz.Enabled);
  EXPECT_TRUE(form_->controls.checkValidarMatriz.Value);
}

TEST_F(FileListTest, CancelAsksBeforeImportedFilesAreLost) {
  Start();
  form_->cmdCancelar_Click();  // nothing imported: closes without a question
  EXPECT_TRUE(form_->m_Unloaded);
  EXPECT_TRUE(questions_.asked.empty());

  Start();
  Choose({files_[0]});
  questions_.answer = false;
  form_->cmdCancelar_Click();
  EXPECT_FALSE(form_->m_Unloaded);
  EXPECT_EQ(questions_.asked.size(), 1u);
  questions_.answer = true;
  form_->cmdCancelar_Click();
  EXPECT_TRUE(form_->m_Unloaded);
}

TEST_F(FileListTest, AnExistingMergedFileIsReplacedOnlyAfterConfirmation) {
  const std::string out = (dir_ / "out").string();
  Start();
  Choose({files_[0]});
  Merge(out);
  const std::string path = form_->m_Resultado.path;
  { std::ofstream(path, std::ios::binary) << "older"; }

  Start();
  Choose({files_[0]});
  form_->cmdAvancar_Click();
  folders_.folder = out;
  form_->ButtonLocalidadeSalvar_Click();
  form_->cmdAvancar_Click();
  questions_.answer = false;
  questions_.asked.clear();
  form_->cmdAvancar_Click();
  EXPECT_EQ(form_->m_Page, 3);
  ASSERT_EQ(questions_.asked.size(), 1u);
  EXPECT_EQ(questions_.asked[0], "O arquivo " + path + " já existe. Deseja substituí-lo?");
  EXPECT_EQ(ReadAll(path), "older");
  questions_.answer = true;
  form_->cmdAvancar_Click();
  ASSERT_TRUE(form_->m_Resultado.ok) << form_->m_Resultado.error;
  EXPECT_NE(ReadAll(path), "older");
}

}  // namespace
