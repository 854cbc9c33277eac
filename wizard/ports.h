// Ports of the wizard form: the dialogs it asks and the view it keeps informed.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// The open-file dialog: returns the chosen path, or "" when cancelled.
class FileChooser {
 public:
  virtual ~FileChooser() = default;
  virtual std::string ChooseOpenFile(std::string_view filter) = 0;
  // Several files in one visit, in the order chosen; empty when cancelled.
  // Choosers that take one file at a time answer with that one file.
  virtual std::vector<std::string> ChooseOpenFiles(std::string_view filter) {
    std::string one = ChooseOpenFile(filter);
    if (one.empty()) return {};
    return {one};
  }
  // The save-file dialog titled `title`, proposing the path `suggested`:
  // returns the path chosen, or "" when cancelled. Choosers that cannot ask
  // for a new file answer "" (cancelled).
  virtual std::string ChooseSaveFile(std::string_view title, std::string_view suggested, std::string_view filter) {
    (void)title;
    (void)suggested;
    (void)filter;
    return std::string();
  }
};

// The folder chooser: returns the chosen folder, or "" when cancelled.
class FolderChooser {
 public:
  virtual ~FolderChooser() = default;
  virtual std::string ChooseFolder(std::string_view title, bool flag) = 0;
};

// A yes/no question to the user: true for yes.
class QuestionPort {
 public:
  virtual ~QuestionPort() = default;
  virtual bool Ask(std::string_view question) = 0;
};

// Told after the form's controls changed, so that a window can repaint them.
class FormView {
 public:
  virtual ~FormView() = default;
  virtual void ControlsChanged() = 0;
  // Lets pending window events run (the window stays responsive).
  virtual void DoEvents() {}
  // Long work without a bar of its own begins (true: e.g. a wait cursor) or ends.
  virtual void Busy(bool on) { (void)on; }
};
