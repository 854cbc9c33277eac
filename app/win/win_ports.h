// The wizard's ports on Windows: Portuguese message and question boxes
// (TaskDialogIndirect with the program's own button texts), the five progress
// bars, the open/save file dialogs and the folder chooser (IFileOpenDialog,
// IFileSaveDialog). Texts are UTF-8 inside, UTF-16 at the Win32 calls.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "staging/ui_ports.h"
#include "wizard/ports.h"
#include "wizard/progress_panel.h"

namespace winui {

// An engine text as a UTF-16 string for a control (see ControlText).
std::wstring Wide(std::string_view text);
// A UTF-8 path as Windows names it, and a Windows path as UTF-8.
std::wstring WidePath(const std::string& utf8);
std::string Utf8Path(const wchar_t* wide);

// A box titled "Quelvar" showing `text` with `icon` and the buttons `buttons`
// (their texts, "&" marking the access key); returns the index of the button
// pressed, or `escape` when the box was closed by Esc or its close button.
// Uses TaskDialogIndirect (common controls 6), else a MessageBoxW.
// `title` names the box ("Quelvar" when null).
int Box(HWND owner, std::string_view text, MsgIcon icon, const std::vector<std::wstring>& buttons, int escape,
        bool question = false, const wchar_t* title = nullptr);
// A yes/no question: "Sim"/"Não", "Não" the default; true for yes.
bool AskYesNo(HWND owner, std::string_view question);

// Message boxes with an "OK" button. Errors reported by the engine go to
// stderr; the first few of a program run are also shown in a box (a failing
// row would otherwise open one box per line).
class WinMessages : public MessagePort, public ErrorPort {
 public:
  void SetOwner(HWND owner) { owner_ = owner; }
  void ShowMessage(std::string_view text, MsgIcon icon) override;
  void ReportError(std::string_view source, std::string_view procedure, std::string_view message) override;

  static constexpr int kErrorBoxes = 3;

 private:
  HWND owner_ = nullptr;
  int errorsShown_ = 0;
};

// The five progress bars and their labels, drawn as the ProgressPanel says
// (which events are shown when, what each bar and label shows); a bar
// counting without a total is a marquee. A repaint also runs the pending
// window messages.
class WinProgress : public ProgressPort {
 public:
  void Attach(int kind, HWND bar, HWND label);
  // What runs pending window messages after a repaint.
  void SetPump(std::function<void()> pump) { pump_ = std::move(pump); }
  void Progress(const ProgressEvent& e) override;
  void Flush();
  // Whether the window shows bar `kind` and its label at all (the form's
  // controls); an event may still hide them.
  void Allow(int kind, bool bar, bool label) { panel_.Allow(kind, bar, label); }
  // Whether bar `kind` / its label is to be shown now: allowed, and the last
  // event had something to show (a count, a total, or times; the label also
  // for a text alone).
  bool BarShown(int kind) const { return panel_.BarShown(kind); }
  bool LabelShown(int kind) const { return panel_.LabelShown(kind); }
  // What runs when an event showed or hid a bar or a label (the window places them again).
  void SetShownChanged(std::function<void()> shown) { shown_ = std::move(shown); }

 private:
  // Draws one bar (marquee or position) and its label as `view` says.
  void Draw(const ProgressView& view);
  ProgressPanel panel_;
  HWND bars_[ProgressPanel::kKinds] = {};
  HWND labels_[ProgressPanel::kKinds] = {};
  std::function<void()> pump_;
  std::function<void()> shown_;
};

// The open-file dialog ("Abrir", several files at once) and the save-file
// dialog (asks before replacing a file); "" (or no file) when cancelled.
class WinFileChooser : public FileChooser {
 public:
  void SetOwner(HWND owner) { owner_ = owner; }
  std::string ChooseOpenFile(std::string_view filter) override;
  std::vector<std::string> ChooseOpenFiles(std::string_view filter) override;
  // The dialog opened in `folder` (the form's remembered folder); a folder
  // that does not exist leaves the dialog's own choice.
  std::vector<std::string> ChooseOpenFilesFrom(std::string_view filter, std::string_view folder) override;
  std::string ChooseSaveFile(std::string_view title, std::string_view suggested, std::string_view filter) override;

 private:
  std::vector<std::string> Open(std::string_view filter, bool several, const std::wstring& folder);
  HWND owner_ = nullptr;
  std::wstring lastFolder_;
};

// The folder chooser (IFileOpenDialog picking folders, which always lets the
// user create a folder); "" when cancelled.
class WinFolderChooser : public FolderChooser {
 public:
  void SetOwner(HWND owner) { owner_ = owner; }
  std::string ChooseFolder(std::string_view title, bool flag) override;
  // The chooser opened in `folder` ("" or a missing folder: its own choice).
  std::string ChooseFolderFrom(std::string_view title, bool flag, std::string_view folder) override;

 private:
  HWND owner_ = nullptr;
};

// The folders remembered between runs: strings (UTF-16) under
// HKEY_CURRENT_USER\Software\Quelvar\Quelvar, a key "pastas/ultimaEntrada"
// as the value "ultimaEntrada" of its subkey "pastas" (SettingPlace). A value
// that cannot be read is "", one that cannot be written is lost (the next run
// starts from the defaults).
class WinSettings : public SettingsPort {
 public:
  std::string Get(std::string_view key) override;
  void Set(std::string_view key, std::string_view value) override;
  static constexpr const wchar_t* kRoot = L"Software\\Quelvar\\Quelvar";
};

// Opens a folder in Explorer, a file with its program (ShellExecuteW "open");
// false when the system could not.
class WinPathOpener : public PathOpener {
 public:
  explicit WinPathOpener(HWND owner = nullptr) : owner_(owner) {}
  void SetOwner(HWND owner) { owner_ = owner; }
  bool OpenPath(std::string_view path) override;

 private:
  HWND owner_ = nullptr;
};

// Puts `text` on the clipboard as Unicode text; false when it could not.
bool CopyToClipboard(HWND owner, const std::wstring& text);

}  // namespace winui
