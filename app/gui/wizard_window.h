// The wizard window: shows the state of frmAssistente's controls and hands
// the user's clicks to the form's handlers. Widgets carry the controls' names
// as object names ("cmdAvancar", "fraAssistente_1", ...).
//
// A dialog rather than a QWizard: the form's own page machine decides the
// pages, their tests and the buttons' captions and states (and runs the merge
// when the last page is entered), which QWizard would want to own as well. A
// dialog gives what the users expect of the keyboard — Enter presses the
// default button, Esc is "Cancelar" — and stays resizable.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include <QDialog>

#include "app/gui/qt_ports.h"
#include "wizard/frm_assistente.h"

class QBoxLayout;
class QButtonGroup;
class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QRadioButton;

struct WizardWindowOptions {
  std::string databaseTarget;          // as `merge --database`; "" = temporary SQLite file
  FileChooser* files = nullptr;        // null: the open-file dialog
  FolderChooser* folders = nullptr;    // null: the folder dialog
  MessagePort* messages = nullptr;     // null: message boxes
  ErrorPort* errors = nullptr;         // null: message boxes and stderr
  SettingsPort* settings = nullptr;    // null: QSettings("Quelvar", "Quelvar")
  PathOpener* opener = nullptr;        // null: the desktop's programs (QDesktopServices)
  // Asks the user a yes/no question; null: a question box.
  std::function<bool(const QString&)> confirm;
};

class WizardWindow : public QDialog, public FormView, public QuestionPort {
  Q_OBJECT

 public:
  explicit WizardWindow(WizardWindowOptions options, QWidget* parent = nullptr);
  ~WizardWindow() override;

  // Starts the form: opens the database, creates the staging tables, shows
  // page 0. Throws DatabaseError when the database cannot be opened.
  void Load();
  frmAssistente& form() { return *form_; }

  // FormView: repaints the widgets from the form's controls / runs pending events.
  void ControlsChanged() override;
  void DoEvents() override;
  // A wait cursor over the application while the form reads a file before its bar moves.
  void Busy(bool on) override;
  // QuestionPort: the form's yes/no questions (Confirm).
  bool Ask(std::string_view question) override;

  // The geometry of a window of `preferred` and `minimum` sizes on a screen
  // whose free area is `available`, its frame taking `frame` around it:
  // the preferred size reduced to fit the area, never below the minimum
  // unless the area itself is smaller; centred in the area.
  static QRect FittedGeometry(QSize preferred, QSize minimum, QRect available, QMargins frame);
  // Sizes and places the window to fit the free area of its screen (its
  // minimum size lowered when the screen is smaller still).
  void FitToScreen();
  // The same on a free area `available` with a frame of `frame` around the window.
  void FitTo(QRect available, QMargins frame);
  // Hands dropped local files to the form as one batch (after the drop has
  // returned, so that the dragging program is not kept waiting).
  void DropFiles(const QStringList& paths);

 protected:
  // Closing never happens under running work: during the run it asks whether
  // to cancel it and closes once the run stopped; during an import it asks,
  // stops the import and closes once the file is rolled back.
  void closeEvent(QCloseEvent* event) override;
  // Esc: the same as "Cancelar".
  void reject() override;
  // The first show fits the window to its screen.
  void showEvent(QShowEvent* event) override;
  // Delete on the file list removes the selected file.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Creates the widgets (header band, welcome picture, five pages, buttons) and
  // connects them to the form's handlers; the pages' builders return their frame.
  void BuildWindow();
  QWidget* BuildPage0();
  QWidget* BuildPage1();
  QWidget* BuildPage2();
  QWidget* BuildPage3();
  QWidget* BuildPage4();
  // The widgets of window_aids.cpp: "Sobre" and "Salvar registro..." in the
  // button bar, drops onto the file list, Ctrl+O, copy menus; the summary of
  // page 3 and the result page's buttons and log.
  void BuildAids(QBoxLayout* buttonBar);
  QWidget* BuildRunSummary();
  QWidget* BuildResultAids();
  // Shows the aids' controls and the window title from the form.
  void ShowAids();
  void ShowAbout();
  // The yes/no question (options_.confirm or a question box); true for yes.
  bool Confirm(const QString& question);
  // Clicks handed to the form; the widgets are repainted afterwards. Cancel
  // asks before stopping an import, and during the run whether to cancel it.
  void OnNext();
  void OnBack();
  void OnCancel();
  void OnChooseFile();
  void OnChooseFolder();
  void OnRemoveFile();
  void OnMoveFile(int delta);
  // The file list's rows from the form; the selection follows the form's.
  void ShowFileList();
  // The default button (Enter) and the focus of the page just entered.
  void FocusPage(int page);
  // Closes the window when the form has been unloaded (or a close waits).
  void CloseIfDone();

  WizardWindowOptions options_;
  QtMessages messages_;
  QtProgress progress_;
  QtFileChooser fileChooser_;
  QtFolderChooser folderChooser_;
  QtSettings settings_;
  QtPathOpener opener_;
  bool fitted_ = false;
  QString shownLog_;  // the log last put in txtRegistro_
  std::unique_ptr<frmAssistente> form_;
  bool busy_ = false;
  // Captions last taken from the controls (the progress port also writes labels).
  std::string shownCaption_[5];

  QLabel* image1_ = nullptr;
  QFrame* frame2_ = nullptr;
  QFrame* frame3_ = nullptr;
  QLabel* lblRotulo_ = nullptr;
  QFrame* pages_[frmAssistente::kPages] = {};
  QPushButton* cmdVoltar_ = nullptr;
  QPushButton* cmdAvancar_ = nullptr;
  QPushButton* cmdCancelar_ = nullptr;
  QPushButton* cmdConciliacao_ = nullptr;
  QRadioButton* optionArquivo_ = nullptr;
  QRadioButton* optionMatrizFilial_ = nullptr;
  QCheckBox* checkValidarMatriz_ = nullptr;
  QLineEdit* txtLocalMagnetico_ = nullptr;
  QPushButton* cmdLocalArquivo_ = nullptr;
  QListWidget* listSelecionados_ = nullptr;
  QPushButton* cmdRemover_ = nullptr;
  QPushButton* cmdSubir_ = nullptr;
  QPushButton* cmdDescer_ = nullptr;
  QLabel* lblQuantidade_ = nullptr;
  int shownPage_ = -1;
  QLabel* label15_ = nullptr;
  QLineEdit* txtCaminhoSalvo_ = nullptr;
  QPushButton* buttonLocalidade_ = nullptr;
  QLabel* lblResultadoFinal_ = nullptr;
  QPushButton* cmdSobre_ = nullptr;
  QPushButton* cmdSalvarRegistro_ = nullptr;
  QPushButton* cmdAbrirPasta_ = nullptr;
  QPushButton* cmdAbrirArquivo_ = nullptr;
  QPlainTextEdit* txtRegistro_ = nullptr;
  // Where txtRegistro_ sits: on the result page, or on the folder page after a failed run.
  QBoxLayout* logOnResultPage_ = nullptr;
  QBoxLayout* logOnFolderPage_ = nullptr;
  QLabel* lblResumo_ = nullptr;
  QProgressBar* bars_[5] = {};
  QLabel* barLabels_[5] = {};
};
