// The wizard window driven as a user would, offscreen, with the dialogs
// answered by fakes: the whole wizard on the sample network, the rules of
// cancel and close while work runs, and the progress port's final state.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QListWidget>
#include <QMessageBox>
#include <QProcess>
#include <QProgressBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include "app/gui/qt_ports.h"
#include "app/gui/wizard_window.h"
#include "staging/run_state.h"
#include "tests/support/faulty_connection.h"
#include "tests/support/staging_database.h"
#include "tests/support/wizard_fakes.h"
#include "tests/gui/window_fixture.h"
#include "tools/efdgen/network.h"

namespace {

namespace fs = std::filesystem;

class WizardWindowTest : public WindowFixture {
 protected:
  WizardWindowTest() : WindowFixture("quelvar_window_") {}
  int VisiblePage() {
    int shown = -1;
    for (int i = 0; i < frmAssistente::kPages; ++i)
      if (Find<QWidget>(QStringLiteral("fraAssistente_%1").arg(i).toLatin1().constData())->isVisible()) {
        EXPECT_EQ(shown, -1) << "two pages visible";
        shown = i;
      }
    return shown;
  }
  // The sample network of the project, or a generated one when it is missing.
  std::vector<std::string> InputFiles() {
    std::vector<std::string> files = SampleNetworkFiles();
    if (!files.empty()) return files;
    NetworkOptions options;
    options.establishments = 3;
    options.targetLines = 600;
    return WriteNetwork(options, (dir_ / "in").string());
  }
  void Screenshot(const char* name) {
    QDir().mkpath(QStringLiteral(QUELVAR_SCREENSHOT_DIR));
    QString path = QStringLiteral(QUELVAR_SCREENSHOT_DIR) + QLatin1Char('/') + QString::fromLatin1(name);
    QCoreApplication::processEvents();  // pending layout requests, as the event loop would run them
    EXPECT_TRUE(window_->grab().save(path)) << path.toStdString();
  }
  // Imports `files` on page 1 and goes on to page 3 with the output folder chosen.
  void ImportAndGoToPage3(const std::vector<std::string>& files) {
    files_.paths = files;
    Button("cmdAvancar")->click();
    for (size_t i = 0; i < files.size(); ++i) Button("cmdLocalArquivoMagnetico")->click();
    ASSERT_EQ(Find<QListWidget>("ListBoxSelecionados")->count(), static_cast<int>(files.size()))
        << (messages_.shown.empty() ? "" : messages_.shown[0].text);
    Button("cmdAvancar")->click();
    folders_.folder = (dir_ / "out").string();
    Button("ButtonLocalidadeSalvar")->click();
    Button("cmdAvancar")->click();
    ASSERT_EQ(VisiblePage(), 3);
  }

};

TEST_F(WizardWindowTest, DrivesTheWholeWizardOnTheSampleNetwork) {
  EXPECT_EQ(window_->windowTitle(), QString::fromUtf8("Quelvar — Passo 1 de 5: Bem-vindo"));
  EXPECT_EQ(VisiblePage(), 0);
  EXPECT_TRUE(Find<QLabel>("Image1")->isVisible());
  EXPECT_FALSE(Find<QWidget>("Frame2")->isVisible());
  EXPECT_TRUE(Find<QRadioButton>("OptionUnificaMatrizFilial")->isChecked());
  EXPECT_EQ(Find<QRadioButton>("OptionUnificaArquivo")->text(), QString::fromUtf8("Unifica Arquivo (Mesmo CNPJ)"));
  EXPECT_FALSE(Button("cmdVoltar")->isEnabled());
  EXPECT_EQ(Button("cmdVoltar")->text(), QStringLiteral("< &Voltar"));
  EXPECT_EQ(Button("cmdAvancar")->text(), QString::fromUtf8("&Avançar >"));
  EXPECT_FALSE(Button("cmdConciliacao")->isVisible());
  Screenshot("page0.png");

  Button("cmdAvancar")->click();
  EXPECT_EQ(VisiblePage(), 1);
  EXPECT_TRUE(Find<QWidget>("Frame2")->isVisible());
  EXPECT_FALSE(Find<QLabel>("Image1")->isVisible());
  EXPECT_TRUE(Find<QCheckBox>("checkValidarMatriz")->isChecked());
  // Unticking the box reaches the form: the note changes at once.
  Find<QCheckBox>("checkValidarMatriz")->click();
  EXPECT_TRUE(Find<QLabel>("Label15")->text().contains(QString::fromUtf8("máscara de CNPJ , ou possui")));
  Find<QCheckBox>("checkValidarMatriz")->click();

  std::vector<std::string> files = InputFiles();
  ASSERT_GE(files.size(), 2u);
  files_.paths = files;
  for (size_t i = 0; i < files.size(); ++i) Button("cmdLocalArquivoMagnetico")->click();
  ASSERT_EQ(Find<QListWidget>("ListBoxSelecionados")->count(), static_cast<int>(files.size()))
      << (messages_.shown.empty() ? "" : messages_.shown[0].text);
  EXPECT_EQ(Find<QListWidget>("ListBoxSelecionados")->item(0)->text(),
            EngineText(window_->form().ListRowText(0)));
  EXPECT_EQ(Find<QListWidget>("ListBoxSelecionados")->item(0)->toolTip(), PathText(files[0]));
  EXPECT_EQ(Find<QLabel>("lblProgressoPovoacaoTabela")->text(), QString::fromUtf8("Aguardando Próximo arquivo..."));
  EXPECT_TRUE(Button("cmdLocalArquivoMagnetico")->isEnabled());
  EXPECT_TRUE(Find<QLineEdit>("txtLocalMagnetico")->text().isEmpty());
  Screenshot("page1.png");

  Button("cmdAvancar")->click();
  EXPECT_EQ(VisiblePage(), 2);
  EXPECT_TRUE(Button("cmdVoltar")->isEnabled());
  folders_.folder = (dir_ / "out").string();
  Button("ButtonLocalidadeSalvar")->click();
  EXPECT_EQ(Find<QLineEdit>("TxtCaminhoSalvo")->text(), PathText(folders_.folder));
  EXPECT_TRUE(Find<QLineEdit>("TxtCaminhoSalvo")->isReadOnly());
  EXPECT_EQ(Find<QLineEdit>("TxtCaminhoSalvo")->focusPolicy(), Qt::NoFocus);
  Screenshot("page2.png");

  Button("cmdAvancar")->click();
  EXPECT_EQ(VisiblePage(), 3);
  EXPECT_EQ(Button("cmdAvancar")->text(), QStringLiteral("&Concluir"));
  Screenshot("page3.png");

  Button("cmdAvancar")->click();
  EXPECT_EQ(VisiblePage(), 4);
  const RunResult& result = window_->form().m_Resultado;
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_FALSE(Button("cmdAvancar")->isVisible());
  EXPECT_FALSE(Button("cmdVoltar")->isVisible());
  EXPECT_EQ(Button("cmdCancelar")->text(), QStringLiteral("Fechar"));
  EXPECT_TRUE(Button("cmdCancelar")->isEnabled());
  EXPECT_FALSE(Find<QProgressBar>("sspProgressoBlocosGeral")->isVisible());
  QLabel* resultLabel = Find<QLabel>("lblResultadoFinal");
  EXPECT_TRUE(resultLabel->isVisible());
  EXPECT_TRUE(resultLabel->text().startsWith(QString::fromUtf8("Arquivo Magnético gerado com Sucesso. \nDt Início: ") +
                                             QString::fromStdString(window_->form().m_RunStart)))
      << resultLabel->text().toStdString();
  EXPECT_TRUE(resultLabel->text().contains(QString::fromUtf8("\nConciliação: "))) << resultLabel->text().toStdString();
  EXPECT_TRUE(Button("cmdConciliacao")->isVisible());
  EXPECT_EQ(Button("cmdConciliacao")->text(), QString::fromUtf8("Salvar &conciliação..."));
  Screenshot("page4.png");
  EXPECT_TRUE(messages_.shown.empty()) << messages_.shown[0].text;
  EXPECT_TRUE(messages_.errors.empty()) << messages_.errors[0];

  // The merged file is there and passes the structure check.
  ASSERT_TRUE(fs::exists(result.path));
  QProcess check;
  check.start(QStringLiteral(QUELVAR_BINARY), {QStringLiteral("check"), PathText(result.path)});
  ASSERT_TRUE(check.waitForFinished(120000));
  EXPECT_EQ(check.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(check.exitCode(), 0) << check.readAllStandardOutput().toStdString()
                                 << check.readAllStandardError().toStdString();

  // "Fechar" closes the window and the database.
  Button("cmdCancelar")->click();
  EXPECT_FALSE(window_->isVisible());
  EXPECT_TRUE(window_->form().m_Unloaded);
  EXPECT_EQ(window_->form().Run().connection, nullptr);
}

TEST_F(WizardWindowTest, CancelDuringAnImportAsksAndStopsThatFileOnly) {
  std::vector<std::string> files = InputFiles();
  files_.paths = {files[0], files[0]};
  Button("cmdAvancar")->click();
  // The press arrives while the import lets window events run.
  bool disabledDuringImport = false;
  QTimer::singleShot(0, window_.get(), [&] {
    disabledDuringImport = !Button("cmdLocalArquivoMagnetico")->isEnabled() && !Button("cmdAvancar")->isEnabled();
    EXPECT_TRUE(Button("cmdCancelar")->isEnabled());
    Button("cmdCancelar")->click();
  });
  Button("cmdLocalArquivoMagnetico")->click();
  EXPECT_TRUE(disabledDuringImport);
  ASSERT_EQ(questions_.size(), 1);
  EXPECT_EQ(questions_[0], QString::fromUtf8(frmAssistente::kConfirmCancelImport));
  EXPECT_EQ(Find<QListWidget>("ListBoxSelecionados")->count(), 0);
  EXPECT_TRUE(window_->isVisible());
  EXPECT_FALSE(window_->form().m_Unloaded);
  EXPECT_TRUE(Button("cmdLocalArquivoMagnetico")->isEnabled());
  // The same file is accepted afterwards, as the head office.
  Button("cmdLocalArquivoMagnetico")->click();
  EXPECT_EQ(Find<QListWidget>("ListBoxSelecionados")->count(), 1);
  // At most the import's own word about the stopped file.
  EXPECT_LE(messages_.shown.size(), 1u);
}

TEST_F(WizardWindowTest, ClosingDuringAnImportWaitsForTheRollbackThenCloses) {
  std::vector<std::string> files = InputFiles();
  files_.paths = {files[0]};
  Button("cmdAvancar")->click();
  bool unloadedWhileImporting = true;
  QTimer::singleShot(0, window_.get(), [&] {
    window_->close();
    unloadedWhileImporting = window_->form().m_Unloaded;
  });
  Button("cmdLocalArquivoMagnetico")->click();
  EXPECT_FALSE(unloadedWhileImporting);
  ASSERT_EQ(questions_.size(), 1);
  EXPECT_EQ(questions_[0], QString::fromUtf8(frmAssistente::kConfirmCloseImport));
  EXPECT_TRUE(window_->form().controls.ListBoxSelecionados.empty());
  EXPECT_TRUE(window_->form().m_Unloaded);
  EXPECT_FALSE(window_->isVisible());
}

// The close button during the run asks; "no" lets the run go on, "yes"
// cancels it and the window closes once it stopped, nothing written. Before,
// the press was ignored without a word.
TEST_F(WizardWindowTest, ClosingDuringTheRunAsksAndCancelsOnYes) {
  ImportAndGoToPage3({InputFiles()[0]});
  bool cancelEnabled = false, closedDuringRun = true;
  QTimer::singleShot(0, window_.get(), [&] {
    cancelEnabled = Button("cmdCancelar")->isEnabled();
    Screenshot("page4_running.png");
    answer_ = false;
    window_->close();
    answer_ = true;
    window_->close();
    closedDuringRun = !window_->isVisible() || window_->form().m_Unloaded;
  });
  Button("cmdAvancar")->click();
  EXPECT_TRUE(cancelEnabled);
  EXPECT_FALSE(closedDuringRun) << "the database is never closed under the run";
  ASSERT_EQ(questions_.size(), 2);
  EXPECT_EQ(questions_[0], QString::fromUtf8(frmAssistente::kConfirmCancelRun));
  EXPECT_TRUE(window_->form().m_Resultado.cancelled);
  EXPECT_TRUE(fs::is_empty(dir_ / "out"));
  EXPECT_FALSE(window_->isVisible());
  EXPECT_TRUE(window_->form().m_Unloaded);
}

// The file list edited, the way back to the merge kind, a write that fails and
// its retry, all with the keyboard and mouse as a user does it.
TEST_F(WizardWindowTest, EditsTheListGoesBackAndRetriesAFailedWrite) {
  NetworkOptions network;
  network.establishments = 4;
  network.targetLines = 600;
  const std::vector<std::string> files = WriteNetwork(network, (dir_ / "in").string());
  // Enter on page 0 is "Avançar", whichever control has the focus; Tab leaves
  // the kind options for the buttons.
  QTest::keyClick(window_->focusWidget(), Qt::Key_Tab);
  EXPECT_EQ(window_->focusWidget(), Button("cmdAvancar"));
  QTest::keyClick(window_->focusWidget(), Qt::Key_Return);
  ASSERT_EQ(VisiblePage(), 1);
  EXPECT_TRUE(Button("cmdVoltar")->isEnabled());
  EXPECT_EQ(Find<QLabel>("lblProgressoPovoacaoTabela")->text().indexOf(QStringLiteral("temporaria")), -1);

  // Several files in one visit of the dialog; the list follows the newest.
  auto* list = Find<QListWidget>("ListBoxSelecionados");
  files_.batches = {{files[0], files[1], files[2], files[3]}};
  Button("cmdLocalArquivoMagnetico")->click();
  ASSERT_EQ(list->count(), 4) << (messages_.shown.empty() ? "" : messages_.shown[0].text);
  EXPECT_EQ(list->currentRow(), 3);
  EXPECT_EQ(Find<QLabel>("lblQuantidadeArquivos")->text(), QStringLiteral("4 arquivos na lista"));
  Screenshot("page1_list.png");

  // Remove a branch with Delete.
  list->setFocus();
  list->setCurrentRow(2);
  QTest::keyClick(list, Qt::Key_Delete);
  ASSERT_EQ(list->count(), 3);
  EXPECT_EQ(window_->form().controls.ListBoxSelecionados, (std::vector<std::string>{files[0], files[1], files[3]}));
  // Move the last one up.
  list->setCurrentRow(2);
  Button("cmdSubirArquivo")->click();
  EXPECT_EQ(window_->form().controls.ListBoxSelecionados, (std::vector<std::string>{files[0], files[3], files[1]}));
  EXPECT_EQ(list->currentRow(), 1);

  // Back to the merge kind: asked, then the list is empty; and again forward.
  Button("cmdVoltar")->click();
  ASSERT_EQ(questions_.size(), 1);
  EXPECT_EQ(VisiblePage(), 0);
  Button("cmdAvancar")->click();
  EXPECT_EQ(list->count(), 0);
  EXPECT_EQ(Find<QLabel>("lblQuantidadeArquivos")->text(), QStringLiteral("Nenhum arquivo na lista"));
  files_.batches.push_back({files[0], files[1], files[3]});
  Button("cmdLocalArquivoMagnetico")->click();
  ASSERT_EQ(list->count(), 3);
  QTest::keyClick(window_->focusWidget(), Qt::Key_Return);
  ASSERT_EQ(VisiblePage(), 2);

  // A folder that vanishes before the run: back on page 2 with the reason.
  const fs::path gone = dir_ / "gone";
  fs::create_directories(gone);
  folders_.folder = gone.string();
  Button("ButtonLocalidadeSalvar")->click();
  QTest::keyClick(window_.get(), Qt::Key_Return);
  ASSERT_EQ(VisiblePage(), 3);
  fs::remove_all(gone);
  QTest::keyClick(window_.get(), Qt::Key_Return);  // "Concluir"
  EXPECT_EQ(VisiblePage(), 2);
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_NE(messages_.shown[0].text.find("Motivo: a pasta não existe"), std::string::npos) << messages_.shown[0].text;
  EXPECT_TRUE(Button("cmdAvancar")->isVisible());
  EXPECT_EQ(Button("cmdCancelar")->text(), QStringLiteral("Cancelar"));
  // The log of the failed run on the folder page, as on the result page after a success.
  auto* log = Find<QPlainTextEdit>("txtRegistro");
  EXPECT_TRUE(log->isVisible());
  EXPECT_TRUE(log->toPlainText().contains(QString::fromUtf8("Arquivo unificado NÃO foi gerado: ")));
  Screenshot("page2_failed.png");

  // Retry into a good folder: one merged file, which passes the check, without the removed branch, and
  // its summary per establishment (CSV and page).
  const RunResult& result = MergeInto(dir_ / "out");
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_EQ(VisiblePage(), 4);
  EXPECT_TRUE(log->isVisible()) << "back on the result page";
  EXPECT_TRUE(Button("cmdCancelar")->isDefault());
  int written = 0;
  for (const auto& entry : fs::directory_iterator(dir_ / "out")) written += entry.is_regular_file() ? 1 : 0;
  EXPECT_EQ(written, 3);
  EXPECT_TRUE(fs::exists(result.summaryCsv) && fs::exists(result.summaryHtml));
  std::ifstream in(result.path, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::string removedHeader;
  std::ifstream removed(files[2], std::ios::binary);
  std::getline(removed, removedHeader);
  const std::string removedCnpj = QString::fromStdString(removedHeader).split(QLatin1Char('|'))[9].toStdString();
  EXPECT_EQ(text.find(removedCnpj), std::string::npos);
  QProcess check;
  check.start(QStringLiteral(QUELVAR_BINARY), {QStringLiteral("check"), PathText(result.path)});
  ASSERT_TRUE(check.waitForFinished(120000));
  EXPECT_EQ(check.exitCode(), 0) << check.readAllStandardOutput().toStdString();
  // Enter on the result page is "Fechar".
  QTest::keyClick(window_.get(), Qt::Key_Return);
  EXPECT_FALSE(window_->isVisible());
}

// As a user: one batch with an empty file and a file whose header has a bad
// date gets one report naming both; removing a branch from the list and
// merging gives, byte for byte, the command line's merge without that branch.
TEST_F(WizardWindowTest, ABatchNamesEveryFileNotTakenAndARemovalEqualsAMergeWithoutTheFile) {
  const std::vector<std::string> files = InputFiles();
  ASSERT_GE(files.size(), 3u);
  const fs::path empty = dir_ / "vazio.txt", badHeader = dir_ / "cabecalho.txt";
  std::ofstream(empty, std::ios::binary).flush();
  {
    std::ifstream in(files[1], std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // |0000|006|0|||DT_INI|: the period's first day made impossible.
    size_t at = 0;
    for (int bars = 0; bars < 6; ++bars) at = text.find('|', at) + 1;
    text.replace(at, 8, "32132023");
    std::ofstream(badHeader, std::ios::binary) << text;
  }
  Button("cmdAvancar")->click();
  auto* list = Find<QListWidget>("ListBoxSelecionados");
  files_.batches = {{files[0], empty.string(), files[1], badHeader.string(), files[2]}};
  Button("cmdLocalArquivoMagnetico")->click();
  ASSERT_EQ(list->count(), 3);
  ASSERT_EQ(messages_.shown.size(), 1u);  // one report for the batch, not one box per file
  const std::string& report = messages_.shown[0].text;
  EXPECT_NE(report.find("vazio.txt"), std::string::npos) << report;
  EXPECT_NE(report.find("cabecalho.txt"), std::string::npos) << report;
  messages_.shown.clear();

  // The branch in the middle is removed by clicking its row and "Remover".
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(1)).center());
  ASSERT_EQ(list->currentRow(), 1);
  Button("cmdRemoverArquivo")->click();
  ASSERT_EQ(window_->form().controls.ListBoxSelecionados, (std::vector<std::string>{files[0], files[2]}));
  Button("cmdAvancar")->click();
  const RunResult& result = MergeInto(dir_ / "out");
  ASSERT_TRUE(result.ok) << result.error;

  fs::create_directories(dir_ / "cli");
  QProcess merge;
  merge.start(QStringLiteral(QUELVAR_BINARY), {QStringLiteral("merge"), QStringLiteral("--no-progress"),
                                               QStringLiteral("--output-dir"), PathText((dir_ / "cli").string()),
                                               PathText(files[0]), PathText(files[2])});
  ASSERT_TRUE(merge.waitForFinished(120000));
  ASSERT_EQ(merge.exitCode(), 0) << merge.readAllStandardError().toStdString();
  const std::string cliPath = QString::fromUtf8(merge.readAllStandardOutput()).trimmed().toStdString();
  auto bytes = [](const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  };
  const std::string wizardBytes = bytes(result.path);
  EXPECT_FALSE(wizardBytes.empty());
  EXPECT_TRUE(wizardBytes == bytes(cliPath)) << result.path << " differs from " << cliPath;
}

TEST_F(WizardWindowTest, EscAsksBeforeFilesAreLostAndReplacingAFileAsksToo) {
  ImportAndGoToPage3({InputFiles()[0]});
  Button("cmdAvancar")->click();
  ASSERT_TRUE(window_->form().m_Resultado.ok);
  const std::string path = window_->form().m_Resultado.path;
  questions_.clear();

  // A new run: Esc with a file imported asks; "no" keeps the window.
  NewWindow();
  files_.next = 0;
  Button("cmdAvancar")->click();
  Button("cmdLocalArquivoMagnetico")->click();
  ASSERT_EQ(Find<QListWidget>("ListBoxSelecionados")->count(), 1);
  answer_ = false;
  QTest::keyClick(window_.get(), Qt::Key_Escape);
  ASSERT_EQ(questions_.size(), 1);
  EXPECT_TRUE(questions_[0].contains(QString::fromUtf8("descartados")));
  EXPECT_TRUE(window_->isVisible());
  // The same file again: replacing it asks; "no" stays on page 3.
  Button("cmdAvancar")->click();
  folders_.folder = (dir_ / "out").string();
  Button("ButtonLocalidadeSalvar")->click();
  Button("cmdAvancar")->click();
  ASSERT_EQ(VisiblePage(), 3);
  Button("cmdAvancar")->click();
  ASSERT_EQ(questions_.size(), 2);
  EXPECT_EQ(questions_[1], QString::fromUtf8("O arquivo ") + PathText(path) +
                               QString::fromUtf8(" já existe. Deseja substituí-lo?"));
  EXPECT_EQ(VisiblePage(), 3);
  answer_ = true;
  Button("cmdAvancar")->click();
  EXPECT_EQ(VisiblePage(), 4);
  EXPECT_TRUE(window_->form().m_Resultado.ok);

  // Esc after a file was imported, answered yes: the window closes.
  NewWindow();
  files_.next = 0;
  Button("cmdAvancar")->click();
  Button("cmdLocalArquivoMagnetico")->click();
  questions_.clear();
  QTest::keyClick(window_.get(), Qt::Key_Escape);
  EXPECT_EQ(questions_.size(), 1);
  EXPECT_FALSE(window_->isVisible());
  EXPECT_TRUE(window_->form().m_Unloaded);
}

// A run that fails by its ledger (the branch's C170 rows silently not stored):
// the folder page offers "Salvar conciliação...", which saves the CSV.
TEST_F(WizardWindowTest, AFailedRunsLedgerIsSavedFromTheFolderPage) {
  InstallFaultyConnection(window_->form().Run(), [](std::string& sql) { return sql.rfind("INSERT INTO ###C170", 0) != 0; });
  ImportAndGoToPage3(InputFiles());
  EXPECT_FALSE(Button("cmdConciliacao")->isVisible());
  Button("cmdAvancar")->click();
  ASSERT_FALSE(window_->form().m_Resultado.ok);
  EXPECT_EQ(VisiblePage(), 2);
  ASSERT_TRUE(Button("cmdConciliacao")->isVisible());
  Screenshot("page2_ledger.png");
  files_.savePath = (dir_ / "conciliacao.csv").string();
  Button("cmdConciliacao")->click();
  EXPECT_EQ(files_.saves, 1);
  std::ifstream saved(files_.savePath, std::ios::binary);
  std::string header;
  std::getline(saved, header);
  EXPECT_EQ(header.rfind("\xEF\xBB\xBFregistro;estabelecimento;", 0), 0u) << header;
}

// The result page shows the run's summary per establishment as a read-only
// table whose lines read and written per establishment are the ledger's.
TEST_F(WizardWindowTest, TheResultPageShowsTheSummaryOfTheLedger) {
  const std::vector<std::string> files = InputFiles();
  ImportAndGoToPage3(files);
  auto* grid = Find<QTableWidget>("grdResumo");
  ASSERT_NE(grid, nullptr);
  EXPECT_FALSE(grid->isVisible());
  Button("cmdAvancar")->click();
  const RunResult& result = window_->form().m_Resultado;
  ASSERT_TRUE(result.ok) << result.error;
  ASSERT_TRUE(grid->isVisible());
  EXPECT_EQ(grid->editTriggers(), QAbstractItemView::NoEditTriggers);
  ASSERT_EQ(grid->rowCount(), static_cast<int>(files.size()) + 1);
  ASSERT_EQ(grid->columnCount(), static_cast<int>(SummaryColumns().size()));
  EXPECT_EQ(grid->horizontalHeaderItem(3)->text(), QStringLiteral("Linhas lidas"));
  EXPECT_GE(grid->height(), grid->rowCount() * grid->verticalHeader()->defaultSectionSize());
  // "1.234" as the table writes a count.
  auto count = [](int64_t n) { return QLocale(QLocale::Portuguese, QLocale::Brazil).toString(qlonglong(n)); };
  int64_t allRead = 0, allWritten = 0;
  for (int r = 0; r + 1 < grid->rowCount(); ++r) {
    const SummaryRow& row = result.summary[static_cast<size_t>(r)];
    EXPECT_EQ(grid->item(r, 0)->text(), PathText(fs::path(files[static_cast<size_t>(r)]).filename().string()));
    EXPECT_EQ(grid->item(r, 2)->text(), r == 0 ? QStringLiteral("Matriz") : QStringLiteral("Filial"));
    int64_t read = 0, written = 0;
    for (const LedgerRow& l : result.ledger)
      if (!l.codeTotal && l.establishment == row.cnpj) read += l.read, written += l.written;
    EXPECT_EQ(grid->item(r, 3)->text(), count(read)) << r;
    EXPECT_EQ(grid->item(r, 4)->text(), count(written)) << r;
    allRead += read;
    allWritten += written;
  }
  const int total = grid->rowCount() - 1;
  const LedgerSummary ledger = SummarizeLedger(result.ledger);
  EXPECT_EQ(grid->item(total, 0)->text(), QStringLiteral("Total"));
  EXPECT_TRUE(grid->item(total, 0)->font().bold());
  EXPECT_EQ(grid->item(total, 3)->text(), count(ledger.read));
  EXPECT_EQ(grid->item(total, 4)->text(), count(ledger.written));
  EXPECT_EQ(ledger.read, allRead);
  EXPECT_EQ(ledger.written, allWritten);
  Screenshot("page4_summary.png");
}

TEST_F(WizardWindowTest, ResizesAndKeepsReadOnlyBoxesOutOfTheTabOrder) {
  EXPECT_LT(window_->minimumWidth(), window_->maximumWidth());
  window_->resize(1000, 700);
  EXPECT_EQ(window_->size(), QSize(1000, 700));
  EXPECT_EQ(Find<QLineEdit>("txtLocalMagnetico")->focusPolicy(), Qt::NoFocus);
  // Page 0 gives the focus to the selected kind.
  EXPECT_EQ(window_->focusWidget(), Find<QRadioButton>("OptionUnificaMatrizFilial"));
  Find<QRadioButton>("OptionUnificaArquivo")->click();
  Button("cmdAvancar")->click();
  EXPECT_EQ(window_->focusWidget(), Button("cmdLocalArquivoMagnetico"));
  // The note of the merge of one CNPJ uses the page's width.
  EXPECT_GT(Find<QLabel>("Label15")->width(), Find<QWidget>("fraAssistente_1")->width() * 9 / 10);
  Screenshot("page1_same_cnpj.png");
}

// Qt's own buttons speak Portuguese: the question box and the file dialog.
TEST(QtPortsTest, QtDialogsAndButtonsArePortuguese) {
  WizardWindowOptions options;
  options.databaseTarget = "memory";
  WizardWindow window(options);
  QStringList buttons;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    for (QAbstractButton* b : box->buttons()) buttons << b->text().remove(QLatin1Char('&'));
    box->button(QMessageBox::No)->click();
  });
  EXPECT_FALSE(window.Ask("Deseja sair?"));
  buttons.sort();
  EXPECT_EQ(buttons, (QStringList{QString::fromUtf8("Não"), QStringLiteral("Sim")}));

  QString open, cancel;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    auto* box = dialog->findChild<QDialogButtonBox*>();
    ASSERT_NE(box, nullptr);
    open = box->button(QDialogButtonBox::Open)->text().remove(QLatin1Char('&'));
    QDir().mkpath(QStringLiteral(QUELVAR_SCREENSHOT_DIR));
    dialog->grab().save(QStringLiteral(QUELVAR_SCREENSHOT_DIR "/file_dialog.png"));
    cancel = box->button(QDialogButtonBox::Cancel)->text().remove(QLatin1Char('&'));
    dialog->reject();
  });
  QtFileChooser chooser(nullptr);
  EXPECT_TRUE(chooser.ChooseOpenFiles("Texto. TXT(*.txt)|*.txt").empty());
  EXPECT_EQ(open, QStringLiteral("Abrir"));
  EXPECT_EQ(cancel, QStringLiteral("Cancelar"));
}

TEST(QtPortsTest, ProgressDrawsTheBarsAndTextsDecode) {
  // Which events are drawn when is the panel's (progress_panel_test.cpp); here its drawing.
  QtProgress progress;
  QProgressBar bar;
  QLabel label;
  bar.setRange(0, 100);
  progress.Attach(3, &bar, &label);
  progress.Progress(ProgressEvent{3, "C170", 5, 20});
  progress.Flush();
  EXPECT_EQ(label.text(), QStringLiteral("Registros (5/20) => C170"));
  EXPECT_EQ(bar.value(), 25);
  progress.Progress(ProgressEvent{3, "C170", 7, 0});
  progress.Flush();
  EXPECT_EQ(bar.maximum(), 0) << "counting without a total: busy";

  // Program texts are UTF-8, file values Latin-1; line breaks become "\n".
  EXPECT_EQ(EngineText("Avan\xC3\xA7" "ar\r\nX"), QString::fromUtf8("Avançar\nX"));
  EXPECT_EQ(EngineText("JO\xC3O"), QString::fromUtf8("JOÃO"));
  EXPECT_EQ(QtFilter("Texto. TXT(*.txt)|*.txt"), QStringLiteral("Texto. TXT(*.txt)"));
  EXPECT_EQ(QtFilter("Texto|*.txt|Todos|*.*"), QStringLiteral("Texto (*.txt);;Todos (*.*)"));
}

TEST(QtPortsTest, MessageBoxesCarryTheIconOfTheirKind) {
  QtMessages messages(nullptr);
  const std::pair<MsgIcon, QMessageBox::Icon> kinds[] = {{MsgIcon::Information, QMessageBox::Information},
                                                         {MsgIcon::Exclamation, QMessageBox::Warning},
                                                         {MsgIcon::Critical, QMessageBox::Critical}};
  for (const auto& [kind, expected] : kinds) {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString title, text;
    QTimer::singleShot(0, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      ASSERT_NE(box, nullptr);
      icon = box->icon();
      title = box->windowTitle();
      text = box->text();
      box->accept();
    });
    messages.ShowMessage("Arquivo j\xC3\xA1 selecionado!!!", kind);
    EXPECT_EQ(icon, expected);
    EXPECT_EQ(title, QStringLiteral("Quelvar"));
    EXPECT_EQ(text, QString::fromUtf8("Arquivo já selecionado!!!"));
  }
}

TEST(QtPortsTest, DialogsGiveTheChosenPathOrNothingWhenCancelled) {
  TempFolder temp;
  const fs::path dir = temp.path();
  const std::string file = (dir / "matriz.txt").string();
  { std::ofstream(file) << "|0000|\n"; }
  auto answer = [](bool accept, const std::string& path, QStringList* filters = nullptr) {
    QTimer::singleShot(0, [=] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      if (filters) *filters = dialog->nameFilters();
      if (!accept) return dialog->reject();
      dialog->selectFile(PathText(path));
      static_cast<QDialog*>(dialog)->accept();  // QFileDialog's own accept takes the selection
    });
  };
  QtFileChooser files(nullptr);
  QStringList filters;
  answer(true, file, &filters);
  EXPECT_EQ(files.ChooseOpenFile("Texto. TXT(*.txt)|*.txt"), file);
  EXPECT_EQ(filters, QStringList{QStringLiteral("Texto. TXT(*.txt)")});
  answer(false, "");
  EXPECT_EQ(files.ChooseOpenFile("Texto. TXT(*.txt)|*.txt"), "");

  // Several files typed into the dialog's name box as a user selects them: in that order.
  const std::string second = (dir / "filial.txt").string();
  { std::ofstream(second) << "|0000|\n"; }
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    dialog->setDirectory(PathText(dir.string()));
    auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(name, nullptr);
    name->setText(QStringLiteral("\"filial.txt\" \"matriz.txt\""));
    dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Open)->click();
  });
  EXPECT_EQ(files.ChooseOpenFiles("Texto. TXT(*.txt)|*.txt"), (std::vector<std::string>{second, file}));

  QtFolderChooser folders(nullptr);
  answer(true, dir.string());
  EXPECT_EQ(folders.ChooseFolder("Selecione local para salvar", true), dir.string());
  answer(false, "");
  EXPECT_EQ(folders.ChooseFolder("Selecione local para salvar", true), "");

  // The save dialog: the name typed (a new file) or nothing.
  const std::string ledger = (dir / "conciliacao.csv").string();
  answer(true, ledger);
  EXPECT_EQ(files.ChooseSaveFile("Salvar conciliação", (dir / "x.csv").string(), "Planilha CSV (*.csv)|*.csv"),
            ledger);
  answer(false, "");
  EXPECT_EQ(files.ChooseSaveFile("Salvar conciliação", ledger, "Planilha CSV (*.csv)|*.csv"), "");
}

}  // namespace
