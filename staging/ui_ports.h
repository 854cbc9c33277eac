// The ports through which the engine reaches whoever shows things to the user:
// message boxes, progress bars and errors. The Qt window, the command line and
// the tests each plug in their own; with none plugged in, nothing is shown.
#pragma once

#include <string>
#include <string_view>

enum class MsgIcon { Information, Exclamation, Critical };

class MessagePort {
 public:
  virtual ~MessagePort() = default;
  // Shows `text` with an OK button and returns when the user has seen it.
  virtual void ShowMessage(std::string_view text, MsgIcon icon) = 0;
};

// One progress update: which bar (kind 0..4), its text and the counts.
struct ProgressEvent {
  int kind = 0;
  std::string_view text;
  double done = 0;
  double total = 0;

  // The bar's label, exactly as the wizard shows it for this kind.
  std::string Label() const;
  // The bar's fill, a whole percentage 0..100 (0 when done and total are 0).
  int Percent() const;
};

class ProgressPort {
 public:
  virtual ~ProgressPort() = default;
  // Called for every line imported or written; cheap implementations only
  // remember the latest event per kind and repaint a few times a second.
  virtual void Progress(const ProgressEvent& e) = 0;
};

class ErrorPort {
 public:
  virtual ~ErrorPort() = default;
  // Makes an error known without stopping the caller.
  virtual void ReportError(std::string_view source, std::string_view procedure,
                           std::string_view message) = 0;
};

struct UiPorts {
  MessagePort* messages = nullptr;
  ProgressPort* progress = nullptr;
  ErrorPort* errors = nullptr;
};

// The ports in use (all null by default).
UiPorts& Ports();
