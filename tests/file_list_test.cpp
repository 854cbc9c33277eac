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

#include "staging/ledger.h"
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
  // A new form on page 1: the merge of one CNPJ or of head office and
  // branches, "Validar CNPJ Matriz" ticked or not.
  void Start(bool sameCnpj = false, bool checkHeadOffice = true) {
    form_.reset();
    messages_.shown.clear();
    frmAssistente::Ports ports;
    ports.files = &chooser_;
    ports.folders = &folders_;
    ports.questions = &questions_;
    ports.ui = UiPorts{&messages_, &progress_, &messages_};
    form_ = std::make_unique<frmAssistente>(ports, "memory");
    form_->Form_Load();
    if (sameCnpj) form_->OptionUnificaArquivo_Click();
    form_->cmdAvancar_Click();
    ASSERT_EQ(form_->m_Page, 1);
    if (!checkHeadOffice) {
      form_->controls.checkValidarMatriz.Value = false;
      form_->checkValidarMatriz_Click();
    }
  }
  // One visit of the open-file dialog choosing `paths`.
  void Choose(const std::vector<std::string>& paths) {
    chooser_.batches = {paths};
    chooser_.nextBatch = 0;
    form_->cmdLocalArquivoMagnetico_Click();
  }
  // A new form on page 1 (as Start) with `paths` chosen in one visit of the
  // dialog; fails the test when the list is not `paths` in that order.
  void StartWith(const std::vector<std::string>& paths, bool sameCnpj, bool checkHeadOffice) {
    Start(sameCnpj, checkHeadOffice);
    Choose(paths);
    ASSERT_EQ(form_->controls.ListBoxSelecionados, paths);
  }
  // Replaces the first `from` in the file at `path` by `to`; fails the test
  // when the file has no `from`.
  static void ReplaceFirst(const std::string& path, const std::string& from, const std::string& to) {
    std::string text = ReadAll(path);
    const size_t at = text.find(from);
    ASSERT_NE(at, std::string::npos) << from << " not in " << path;
    text.replace(at, from.size(), to);
    std::ofstream(path, std::ios::binary) << text;
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
  // The last run's ledger and dropped codes, one line per row.
  std::string LedgerText() {
    std::string text;
    for (const LedgerRow& r : form_->m_Resultado.ledger)
      text += r.code + " " + r.establishment + " " + std::to_string(r.read) + " " + std::to_string(r.written) + " " +
              std::to_string(r.merged) + " " + std::to_string(r.refused) + " " + std::to_string(r.missing) + " " +
              r.reason + "\n";
    return text + DroppedCodesText(form_->m_Resultado);
  }
  // The last run's summary per establishment, one line per row.
  std::string SummaryText() {
    std::string text;
    for (const SummaryRow& r : form_->m_Resultado.summary)
      text += r.file + " " + r.cnpj + " " + r.role + " " + std::to_string(r.read) + " " + std::to_string(r.written) +
              " " + std::to_string(r.c100 + r.a100 + r.d100 + r.f100) + " " + r.pis.Text(2) + " " +
              r.cofins.Text(2) + " " + std::to_string(r.warnings) + "\n";
    return text;
  }
  int64_t Count(const std::string& table) {
    auto rs = form_->Run().connection->Execute("SELECT COUNT(*) AS n FROM ###" + table);
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
  EXPECT_EQ(messages_.shown[0].text, "Arquivos não importados (1 de 2):\r\n• " +
                                         fs::path(files_[0]).filename().string() + ": Arquivo já selecionado!!!");
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
  // One message names both: the file stopped and the file skipped after it.
  ASSERT_EQ(messages_.shown.size(), 1u);
  const std::string& report = messages_.shown[0].text;
  EXPECT_NE(report.find("(2 de 2)"), std::string::npos) << report;
  EXPECT_NE(report.find(fs::path(files_[1]).filename().string() + ": Importação do arquivo"), std::string::npos)
      << report;
  EXPECT_NE(report.find(fs::path(files_[2]).filename().string() + ": não foi importado: a importação foi interrompida"),
            std::string::npos)
      << report;
  EXPECT_FALSE(form_->m_Unloaded);
  EXPECT_TRUE(form_->controls.cmdAvancar.Enabled && form_->controls.cmdLocalArquivoMagnetico.Enabled);
  // The next visit imports again.
  Choose({files_[2]});
  EXPECT_EQ(form_->controls.ListBoxSelecionados.size(), 2u);
}

TEST_F(FileListTest, ABatchReportsEveryFileItDidNotTakeInOneListAtItsEnd) {
  const std::string empty = (dir_ / "in" / "vazio.txt").string();
  { std::ofstream(empty, std::ios::binary); }
  // A branch whose 0000 declares a CNPJ of 13 digits.
  const std::string badHeader = (dir_ / "in" / "cabecalho.txt").string();
  {
    std::string text = ReadAll(files_[2]);
    const std::string cnpj = CnpjOf(files_[2]);
    text.replace(text.find(cnpj), cnpj.size(), cnpj.substr(0, 13));
    std::ofstream(badHeader, std::ios::binary) << text;
  }
  Start();
  // The file count follows the rows while the batch runs. (The head office,
  // chosen twice, comes first both times.)
  std::vector<std::string> stale;
  progress_.hook = [&](const ProgressEvent& e) {
    if (e.kind != 0) return;
    const size_t n = form_->m_Arquivos.size();
    const std::string& count = form_->controls.lblQuantidadeArquivos.Caption;
    if (n != 0 && count.find(std::to_string(n) + " arquivo") != 0) stale.push_back(count);
  };
  Choose({files_[0], empty, files_[1], badHeader, files_[3], files_[0]});
  progress_.hook = nullptr;
  EXPECT_TRUE(stale.empty()) << stale.front();
  EXPECT_EQ(form_->controls.ListBoxSelecionados, (std::vector<std::string>{files_[0], files_[1], files_[3]}));
  EXPECT_EQ(form_->controls.lblQuantidadeArquivos.Caption, "3 arquivos na lista");
  ASSERT_EQ(messages_.shown.size(), 1u) << "one message for the whole batch";
  EXPECT_EQ(messages_.shown[0].icon, MsgIcon::Exclamation);
  EXPECT_EQ(messages_.shown[0].text,
            "Arquivos não importados (3 de 6):\r\n• " + fs::path(files_[0]).filename().string() +
                ": Arquivo já selecionado!!!\r\n"
                "• vazio.txt: O arquivo está vazio: não há registros a importar.\r\n"
                "• cabecalho.txt: O CNPJ do registro 0000 (campo 9) não tem 14 dígitos: \"" +
                CnpjOf(files_[2]).substr(0, 13) + "\"!");
  ASSERT_EQ(form_->m_Recusas.size(), 3u);
  EXPECT_EQ(form_->m_Recusas[2].path, badHeader);

  // A network chosen without its head office: nineteen refusals would be
  // nineteen boxes; it is one list naming each file.
  Start();
  Choose({files_[1], files_[2], files_[3]});
  EXPECT_TRUE(form_->controls.ListBoxSelecionados.empty());
  ASSERT_EQ(messages_.shown.size(), 1u);
  for (int k : {1, 2, 3})
    EXPECT_NE(messages_.shown[0].text.find(fs::path(files_[k]).filename().string() +
                                           ": Selecione primeiramente o arquivo que contém o CNPJ da Empresa Matriz!"),
              std::string::npos)
        << messages_.shown[0].text;
}

// Any sequence of moves and removals leaves what choosing the final list
// fresh would have given: the same list and count beside it, the same merged
// file byte for byte, the same ledger, notices and summary. Moving or removing
// a branch (or the last part of one CNPJ: no part leans on it) imports nothing
// again; moving or removing the first file, a part of one CNPJ that later
// parts lean on or a file whose rows a neighbour leans on imports the list
// again.
TEST_F(FileListTest, EditsGiveTheMergeOfTheFinalListChosenFresh) {
  struct Edit {
    char op;  // 'u' up, 'd' down, 'r' remove
    size_t row;
  };
  enum class Again { No, Yes };
  struct Case {
    const char* name;
    NetworkOptions options;
    bool sameCnpj, checkHeadOffice;
    std::vector<Edit> edits;
    Again again;
    std::vector<size_t> otherAccountant{};  // files whose accountant (0100 CPF) is not the head office's
    std::vector<size_t> otherAccountName{};  // files whose account 3.01.01.01.01 has another name (a notice names them)
  };
  NetworkOptions plain;
  plain.establishments = 5;
  plain.targetLines = 700;
  NetworkOptions every = plain;
  every.everyRecord = true;  // company-level records of every file merged by key, the first file's kept
  every.seed = 7;
  NetworkOptions twoPerFile = plain;
  twoPerFile.establishments = 8;
  twoPerFile.establishmentsPerFile = 2;  // four files: codes move by two
  NetworkOptions credits = plain;
  credits.commonCredits = true;
  NetworkOptions parts;
  parts.sameCnpjParts = 3;
  parts.targetLines = 600;
  const Case cases[] = {
      {"a branch up", plain, false, true, {{'u', 2}}, Again::No},
      {"a branch down", plain, false, true, {{'d', 1}}, Again::No},
      {"the last branch to the top of the branches and back", plain, false, true,
       {{'u', 4}, {'u', 3}, {'u', 2}, {'d', 1}},
       Again::No},
      {"every record: moves then a removal", every, false, true, {{'u', 3}, {'d', 1}, {'r', 2}}, Again::No, {}, {2}},
      {"a removal then a move", every, false, true, {{'r', 1}, {'u', 3}}, Again::No},
      {"the first branch removed after moves", plain, false, true, {{'u', 2}, {'d', 2}, {'r', 1}}, Again::No},
      {"files of two establishments", twoPerFile, false, true, {{'d', 1}, {'u', 3}}, Again::No},
      {"common credits apportioned again", credits, false, true, {{'u', 4}, {'d', 1}}, Again::No},
      {"the head office moved down", plain, false, false, {{'d', 0}}, Again::Yes},
      // The third file's accountant was not stored: the second's row stands for it.
      {"a branch whose accountant the next one repeats", plain, false, true, {{'d', 1}}, Again::Yes, {1, 2}},
      {"a part of one CNPJ moved", parts, true, false, {{'u', 2}}, Again::Yes},
      {"the last branch removed", plain, false, true, {{'r', 4}}, Again::No},
      {"a file of two establishments removed", twoPerFile, false, true, {{'r', 1}}, Again::No},
      {"the head office removed", plain, false, false, {{'r', 0}}, Again::Yes},
      {"a branch whose accountant the next one repeats removed", plain, false, true, {{'r', 1}}, Again::Yes, {1, 2}},
      // The parts share their establishment's rows (part 3 repeats units
      // that part 2 brought and part 1 did not).
      {"a middle part of one CNPJ removed", parts, true, false, {{'r', 1}}, Again::Yes},
      // Its units merged at import leave the ledger with it.
      {"the last part of one CNPJ removed", parts, true, false, {{'r', 2}}, Again::No},
  };
  int k = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<std::string> all = WriteNetwork(c.options, (dir_ / ("case" + std::to_string(++k))).string());
    for (size_t f : c.otherAccountant) ASSERT_NO_FATAL_FAILURE(ReplaceFirst(all[f], "|12345678909|", "|11144477735|"));
    for (size_t f : c.otherAccountName)
      ASSERT_NO_FATAL_FAILURE(ReplaceFirst(all[f], "|3.01.01.01.01|Receita de vendas de mercadorias|",
                                           "|3.01.01.01.01|Receita de vendas|"));
    std::vector<std::string> final = all;
    for (const Edit& e : c.edits) {
      ASSERT_LT(e.row, final.size());
      if (e.op == 'r')
        final.erase(final.begin() + static_cast<std::ptrdiff_t>(e.row));
      else
        std::swap(final[e.row], final[e.op == 'u' ? e.row - 1 : e.row + 1]);
    }

    ASSERT_NO_FATAL_FAILURE(StartWith(final, c.sameCnpj, c.checkHeadOffice));
    const std::string expected = Merge((dir_ / ("direct" + std::to_string(k))).string());
    ASSERT_FALSE(expected.empty());
    const std::string expectedLedger = LedgerText(), expectedSummary = SummaryText();
    const std::vector<std::string> expectedNotices = form_->m_Resultado.notices;
    if (!c.otherAccountName.empty()) EXPECT_FALSE(expectedNotices.empty());

    ASSERT_NO_FATAL_FAILURE(StartWith(all, c.sameCnpj, c.checkHeadOffice));
    const int64_t staged = form_->Run().CurrentStagedFile();
    for (const Edit& e : c.edits) {
      form_->SelectListRow(static_cast<int>(e.row));
      if (e.op == 'u') form_->cmdSubirArquivo_Click();
      if (e.op == 'd') form_->cmdDescerArquivo_Click();
      if (e.op == 'r') form_->cmdRemoverArquivo_Click();
    }
    EXPECT_TRUE(messages_.shown.empty()) << messages_.shown[0].text;
    ASSERT_EQ(form_->controls.ListBoxSelecionados, final);
    if (c.again == Again::No)
      EXPECT_EQ(form_->Run().CurrentStagedFile(), staged) << "files were imported again";
    else
      EXPECT_GT(form_->Run().CurrentStagedFile(), staged) << "the files were not imported again";
    EXPECT_EQ(form_->controls.lblQuantidadeArquivos.Caption, std::to_string(final.size()) + " arquivos na lista");
    EXPECT_EQ(Merge((dir_ / ("edited" + std::to_string(k))).string()), expected);
    EXPECT_EQ(LedgerText(), expectedLedger);
    EXPECT_EQ(SummaryText(), expectedSummary);
    EXPECT_EQ(form_->m_Resultado.notices, expectedNotices);
  }
}

// Esc during the import again that a move starts (the first file moved):
// the import goes on, and no file leaves the list.
TEST_F(FileListTest, CancelDuringTheImportAgainAfterAMoveLosesNoFile) {
  Start(false, false);
  Choose({files_[0], files_[1], files_[2], files_[3]});
  ASSERT_EQ(form_->controls.ListBoxSelecionados.size(), 4u);
  bool pressed = false, cancellable = true;
  std::vector<std::string> stale;  // the count beside the list, when it is not the list's
  progress_.hook = [&](const ProgressEvent& e) {
    const size_t n = form_->m_Arquivos.size();
    const std::string& count = form_->controls.lblQuantidadeArquivos.Caption;
    if (n == 0 ? count != "Nenhum arquivo na lista" : count.find(std::to_string(n) + " arquivo") != 0)
      stale.push_back(count + " / " + std::to_string(n));
    if (pressed || e.kind != 0 || e.done < 1 || !form_->m_Importing) return;
    if (e.text.find(fs::path(files_[1]).filename().string()) == std::string_view::npos) return;
    pressed = true;
    cancellable = form_->ImportCancellable();
    form_->cmdCancelar_Click();
  };
  form_->SelectListRow(1);
  form_->cmdSubirArquivo_Click();
  progress_.hook = nullptr;
  ASSERT_TRUE(pressed);
  EXPECT_FALSE(cancellable);
  EXPECT_TRUE(stale.empty()) << stale.front();
  EXPECT_EQ(form_->controls.ListBoxSelecionados, (std::vector<std::string>{files_[1], files_[0], files_[2], files_[3]}));
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].text, frmAssistente::kRestagingGoesOn);
}

// The merge of one CNPJ takes only parts of the first part's CNPJ: a branch
// is refused, naming both CNPJs.
TEST_F(FileListTest, APartOfAnotherCnpjIsRefusedNamingBoth) {
  Start(true, false);
  Choose({files_[0], files_[1]});
  EXPECT_EQ(form_->controls.ListBoxSelecionados, std::vector<std::string>{files_[0]});
  ASSERT_EQ(messages_.shown.size(), 1u);
  const std::string& text = messages_.shown[0].text;
  EXPECT_NE(text.find("O CNPJ deste arquivo (" + CnpjOf(files_[1]) + ") difere do CNPJ da primeira parte (" +
                      CnpjOf(files_[0]) + ")"),
            std::string::npos)
      << text;
  EXPECT_EQ(form_->ListRowText(0).find("Parte 2"), std::string::npos);
}

TEST_F(FileListTest, MovesKeepTheHeadOfficeFirstAndRestageInTheNewOrder) {
  Start();
  Choose({files_[0], files_[1], files_[2]});
  ASSERT_EQ(form_->controls.ListBoxSelecionados.size(), 3u);
  // The branch cannot go above the head office, nor the head office leave
  // first place: neither move is offered (a refused click changes nothing).
  form_->SelectListRow(1);
  EXPECT_FALSE(form_->controls.cmdSubirArquivo.Enabled);
  EXPECT_TRUE(form_->controls.cmdDescerArquivo.Enabled);
  EXPECT_FALSE(form_->CanMoveFile(1, -1));
  form_->SelectListRow(0);
  EXPECT_FALSE(form_->controls.cmdSubirArquivo.Enabled);
  EXPECT_FALSE(form_->controls.cmdDescerArquivo.Enabled);
  form_->cmdDescerArquivo_Click();
  EXPECT_TRUE(messages_.shown.empty());
  EXPECT_EQ(form_->controls.ListBoxSelecionados, (std::vector<std::string>{files_[0], files_[1], files_[2]}));
  // Nor can the head office be removed while branches follow it.
  form_->cmdRemoverArquivo_Click();
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_NE(messages_.shown[0].text.find("precisa ser o da Matriz"), std::string::npos);
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
  auto rs = form_->Run().connection->Execute("SELECT CNPJ FROM ###0140 ORDER BY Cod_Est");
  std::vector<std::string> order;
  for (; !rs->Eof(); rs->MoveNext()) order.push_back((*rs)["CNPJ"].AsText());
  EXPECT_EQ(order, (std::vector<std::string>{CnpjOf(files_[0]), CnpjOf(files_[2]), CnpjOf(files_[1])}));

  // Unticked box: any file may lead.
  form_->controls.checkValidarMatriz.Value = false;
  form_->checkValidarMatriz_Click();
  form_->SelectListRow(0);
  EXPECT_TRUE(form_->controls.cmdDescerArquivo.Enabled);
  form_->SelectListRow(1);
  form_->cmdSubirArquivo_Click();
  EXPECT_EQ(form_->controls.ListBoxSelecionados.front(), files_[2]);
  EXPECT_EQ(form_->Run().matrizCNPJ, CnpjOf(files_[2]));
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
  EXPECT_FALSE(form_->Run().matrizSelected);

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
