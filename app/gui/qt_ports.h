// The wizard's ports in Qt: message boxes, the five progress bars, the
// open-file dialog and the folder chooser.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include <QString>

#include "staging/ui_ports.h"
#include "wizard/ports.h"
#include "wizard/progress_panel.h"

class QCoreApplication;
class QLabel;
class QProgressBar;
class QWidget;

// Text of the engine as a QString: texts of the program are UTF-8, values
// taken from the input files are Latin-1; a text that is not valid UTF-8 is
// read as Latin-1. CRLF and lone CR become line feeds.
QString EngineText(std::string_view text);

// A path as the file system names it (local 8-bit encoding), and back.
QString PathText(const std::string& path);
std::string PathBytes(const QString& path);

// The open-file filter "desc|pattern|desc|pattern" as Qt writes it
// ("desc (pattern);;desc (pattern)").
QString QtFilter(std::string_view filter);

// Message boxes titled "Quelvar". Errors reported by the engine go to stderr;
// the first few of a program run are also shown in a box (a failing row would
// otherwise open one box per line).
class QtMessages : public MessagePort, public ErrorPort {
 public:
  explicit QtMessages(QWidget* parent) : parent_(parent) {}
  void ShowMessage(std::string_view text, MsgIcon icon) override;
  void ReportError(std::string_view source, std::string_view procedure,
                   std::string_view message) override;

  static constexpr int kErrorBoxes = 3;

 private:
  QWidget* parent_;
  int errorsShown_ = 0;
};

// The five progress bars and their labels, drawn as the ProgressPanel says
// (which events are shown when, what each bar and label shows); a repaint
// also runs the window's pending events.
class QtProgress : public ProgressPort {
 public:
  void Attach(int kind, QProgressBar* bar, QLabel* label);
  void Progress(const ProgressEvent& e) override;
  // Shows every event not shown yet.
  void Flush();
  // Whether the window shows bar `kind` and its label at all (the form's
  // controls); an event may still hide them.
  void Allow(int kind, bool bar, bool label);

 private:
  void ApplyVisibility(int kind);
  // Draws one bar and its label as `view` says, and shows or hides them.
  void Draw(const ProgressView& view);
  ProgressPanel panel_;
  QProgressBar* bars_[ProgressPanel::kKinds] = {};
  QLabel* labels_[ProgressPanel::kKinds] = {};
};

// The open-file and save-file dialogs; "" (or no file) when cancelled.
class QtFileChooser : public FileChooser {
 public:
  explicit QtFileChooser(QWidget* parent) : parent_(parent) {}
  std::string ChooseOpenFile(std::string_view filter) override;
  // Several files at once, in the order the user chose them.
  std::vector<std::string> ChooseOpenFiles(std::string_view filter) override;
  // The same, opened in `folder` (else where the last choice was made).
  std::vector<std::string> ChooseOpenFilesFrom(std::string_view filter, std::string_view folder) override;
  // The save-file dialog (asks before replacing an existing file).
  std::string ChooseSaveFile(std::string_view title, std::string_view suggested, std::string_view filter) override;

 private:
  QWidget* parent_;
  QString lastFolder_;
};

// Settings kept between runs by QSettings("Quelvar", "Quelvar") (the user's
// configuration folder, the registry on Windows); values are paths.
class QtSettings : public SettingsPort {
 public:
  std::string Get(std::string_view key) override;
  void Set(std::string_view key, std::string_view value) override;
};

// Opens a file or folder with the desktop's program for it (QDesktopServices).
class QtPathOpener : public PathOpener {
 public:
  bool OpenPath(std::string_view path) override;
};

// The folder chooser; `flag` lets the user create a new folder. "" when cancelled.
class QtFolderChooser : public FolderChooser {
 public:
  explicit QtFolderChooser(QWidget* parent) : parent_(parent) {}
  std::string ChooseFolder(std::string_view title, bool flag) override;
  // The same, opened in `folder` ("" = the dialog's own choice).
  std::string ChooseFolderFrom(std::string_view title, bool flag, std::string_view folder) override;

 private:
  QWidget* parent_;
};

// Loads Qt's own Brazilian Portuguese translation (buttons and dialogs: "Sim",
// "Abrir", "Examinar em", ...) into `app`, so that Qt's texts match the
// window's; the locale's formats become Brazilian too. False when the
// translation is not installed (Qt's texts stay in English).
bool InstallPortugueseTranslation(QCoreApplication& app);
