// The state of the wizard's five progress bars and their labels, apart from
// the toolkit that draws them: the latest event of every bar, how often the
// window is repainted, and what each bar and label shows. The Qt and the
// Windows windows only draw what it hands them.
#pragma once

#include <chrono>
#include <functional>
#include <string>

#include "staging/ui_ports.h"

// What one bar and its label show after its latest event.
struct ProgressView {
  int kind = 0;
  bool barShown = false;    // allowed by the window, and the event has something to show
  bool labelShown = false;  // allowed, and the event has a count, a total, times or a text
  bool busy = false;        // counting without a total: drawn as busy, never as full
  int percent = 0;          // the fill 0..100 when not busy
  bool hasLabel = false;    // the event gives the label a text (false: the label is hidden, its text kept)
  std::string label;        // the label's text (ProgressEvent::Label)
};

class ProgressPanel {
 public:
  using Clock = std::chrono::steady_clock::time_point (*)();
  using Draw = std::function<void(const ProgressView&)>;
  static constexpr int kKinds = 5;
  static constexpr std::chrono::milliseconds kInterval{100};

  // `clock` null stands for the steady clock.
  explicit ProgressPanel(Clock clock = nullptr) : clock_(clock) {}

  // Remembers `e` (with a copy of its text) as the latest state of its bar;
  // an event of an unknown kind is not kept. True when the window is to be
  // repainted now: at most once per kInterval, and at every event of the
  // run's overall bar (kind 1, a few a second).
  bool Take(const ProgressEvent& e);
  // Hands every bar with an event not drawn yet to `draw`, in order of kind.
  // True when a bar or a label was shown or hidden by those events.
  bool Flush(const Draw& draw);
  // Whether the window shows bar `kind` and its label at all (the form's
  // controls); an event may still hide them. Unknown kinds are ignored.
  void Allow(int kind, bool bar, bool label);
  // Whether bar `kind` / its label is to be shown now: allowed, and the last
  // event had something to show (the label also for a text alone). False for
  // an unknown kind.
  bool BarShown(int kind) const;
  bool LabelShown(int kind) const;

 private:
  struct Pending {
    bool dirty = false;
    std::string text;
    ProgressEvent event;  // its text is `text`, set again when drawn
    bool barHidden = false, labelHidden = false;
    bool barAllowed = true, labelAllowed = true;
  };
  Clock clock_;
  Pending pending_[kKinds];
  std::chrono::steady_clock::time_point next_{};
};
