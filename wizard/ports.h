// Ports of the wizard form: the dialogs it asks and the view it keeps informed.
#pragma once

#include <string>
#include <string_view>

// The open-file dialog: returns the chosen path, or "" when cancelled.
class FileChooser {
 public:
  virtual ~FileChooser() = default;
  virtual std::string ChooseOpenFile(std::string_view filter) = 0;
};

// The folder chooser: returns the chosen folder, or "" when cancelled.
class FolderChooser {
 public:
  virtual ~FolderChooser() = default;
  virtual std::string ChooseFolder(std::string_view title, bool flag) = 0;
};

// Told after the form's controls changed, so that a window can repaint them.
class FormView {
 public:
  virtual ~FormView() = default;
  virtual void ControlsChanged() = 0;
  // Lets pending window events run (the window stays responsive).
  virtual void DoEvents() {}
};
