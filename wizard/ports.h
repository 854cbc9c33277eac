// Ports of the wizard form: the dialogs it asks and the view it keeps informed.
#pragma once

#include <map>
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
  // The same, the dialog opened in `folder` ("" = the dialog's own choice).
  // Choosers that cannot start in a folder ignore it.
  virtual std::vector<std::string> ChooseOpenFilesFrom(std::string_view filter, std::string_view folder) {
    (void)folder;
    return ChooseOpenFiles(filter);
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
  // The same, the chooser opened in `folder` ("" = the chooser's own choice).
  virtual std::string ChooseFolderFrom(std::string_view title, bool flag, std::string_view folder) {
    (void)folder;
    return ChooseFolder(title, flag);
  }
};

// Values kept between runs of the program (the last folders used). Get
// answers "" for a key never set; a store that cannot write loses the value
// silently (the next run starts from the defaults).
class SettingsPort {
 public:
  virtual ~SettingsPort() = default;
  virtual std::string Get(std::string_view key) = 0;
  virtual void Set(std::string_view key, std::string_view value) = 0;
};

// Settings kept in memory only: for the command line and the tests.
class MemorySettings : public SettingsPort {
 public:
  std::string Get(std::string_view key) override {
    auto it = values.find(std::string(key));
    return it == values.end() ? std::string() : it->second;
  }
  void Set(std::string_view key, std::string_view value) override { values[std::string(key)] = std::string(value); }
  std::map<std::string, std::string> values;
};

// Opens a file or a folder with the system's program for it (the file
// manager for a folder). False when the system could not open it.
class PathOpener {
 public:
  virtual ~PathOpener() = default;
  virtual bool OpenPath(std::string_view path) = 0;
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
