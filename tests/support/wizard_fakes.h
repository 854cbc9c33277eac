// Fake ports for driving the wizard form without dialogs or message boxes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "staging/ui_ports.h"
#include "wizard/ports.h"

struct ShownMessage {
  std::string text;
  MsgIcon icon;
};

// Records every message box and reported error instead of showing it.
class RecordingMessages : public MessagePort, public ErrorPort {
 public:
  std::vector<ShownMessage> shown;
  std::vector<std::string> errors;
  void ShowMessage(std::string_view text, MsgIcon icon) override { shown.push_back({std::string(text), icon}); }
  void ReportError(std::string_view, std::string_view procedure, std::string_view message) override {
    errors.push_back(std::string(procedure) + ": " + std::string(message));
  }
};

// Answers the open-file dialog with the given paths in turn, then "" (cancelled).
// While `batches` has one left, a visit that takes several files gets the next
// batch instead (several files chosen at once).
class ScriptedFiles : public FileChooser {
 public:
  std::vector<std::string> paths;
  size_t next = 0;
  std::vector<std::vector<std::string>> batches;
  size_t nextBatch = 0;
  std::string lastFilter;
  std::string ChooseOpenFile(std::string_view filter) override {
    lastFilter = filter;
    return next < paths.size() ? paths[next++] : std::string();
  }
  std::vector<std::string> ChooseOpenFiles(std::string_view filter) override {
    if (nextBatch < batches.size()) return batches[nextBatch++];
    return FileChooser::ChooseOpenFiles(filter);
  }
  // The folder the last open dialog was asked to start in.
  std::string lastStartFolder;
  std::vector<std::string> ChooseOpenFilesFrom(std::string_view filter, std::string_view folder) override {
    lastStartFolder = folder;
    return ChooseOpenFiles(filter);
  }
  // The save-file dialog answers `savePath` ("" = cancelled), recording what it was asked.
  std::string savePath;
  std::string lastSaveTitle, lastSuggested, lastSaveFilter;
  int saves = 0;
  std::string ChooseSaveFile(std::string_view title, std::string_view suggested, std::string_view filter) override {
    ++saves;
    lastSaveTitle = title;
    lastSuggested = suggested;
    lastSaveFilter = filter;
    return savePath;
  }
};

// Answers every yes/no question with `answer`, recording the questions.
class ScriptedQuestions : public QuestionPort {
 public:
  bool answer = true;
  std::vector<std::string> asked;
  bool Ask(std::string_view question) override {
    asked.emplace_back(question);
    return answer;
  }
};

// Answers the folder chooser with `folder` ("" = cancelled), recording the question.
class FixedFolderChooser : public FolderChooser {
 public:
  std::string folder;
  std::string lastTitle;
  bool lastFlag = false;
  int calls = 0;
  std::string ChooseFolder(std::string_view title, bool flag) override {
    ++calls;
    lastTitle = title;
    lastFlag = flag;
    return folder;
  }
  std::string lastStartFolder;  // where the last visit was asked to start
  std::string ChooseFolderFrom(std::string_view title, bool flag, std::string_view start) override {
    lastStartFolder = start;
    return ChooseFolder(title, flag);
  }
};

// Opens nothing: records the paths it was asked to open and answers `opens`.
class RecordingOpener : public PathOpener {
 public:
  bool opens = true;
  std::vector<std::string> opened;
  bool OpenPath(std::string_view path) override {
    opened.emplace_back(path);
    return opens;
  }
};

// Counts the form's repaint requests and event runs.
class CountingView : public FormView {
 public:
  int changes = 0;
  int events = 0;
  void ControlsChanged() override { ++changes; }
  void DoEvents() override { ++events; }
  // The busy states told, in order (true: begins).
  std::vector<bool> busy;
  void Busy(bool on) override { busy.push_back(on); }
};

// The sample network of the project (samples/network/*.txt): the head office
// (branch number 0001 in its 0000 line) first, the others by name; empty when
// the samples are missing.
std::vector<std::string> SampleNetworkFiles();
