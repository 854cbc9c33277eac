// The command line's ports: messages as one line on stderr naming the file in
// work, progress as one line on a terminal (nothing when stderr is not one).
#pragma once

#include "platform/console.h"

#include <chrono>
#include <string>

#include "staging/ui_ports.h"

class CliMessages : public MessagePort, public ErrorPort {
 public:
  // The file whose import is in progress; messages name it.
  std::string currentFile;
  int shown = 0;
  void ShowMessage(std::string_view text, MsgIcon icon) override;
  void ReportError(std::string_view source, std::string_view procedure,
                   std::string_view message) override;
};

class CliProgress : public ProgressPort {
 public:
  // Draws only when `enabled` and stderr is a terminal (`terminal`, asked of
  // the system unless given).
  explicit CliProgress(bool enabled, bool terminal = platform::StderrIsTerminal());
  // The file whose import is in progress; the import's line names it.
  const std::string* currentFile = nullptr;
  ~CliProgress() override;
  void Progress(const ProgressEvent& e) override;
  // Clears the progress line (before other output).
  void Clear();

 private:
  bool enabled_;
  bool drawn_ = false;
  std::string labels_[5];
  std::chrono::steady_clock::time_point next_{};
};
