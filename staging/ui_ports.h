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
// Bars 0 (the import on the file page) and 1 (the run) are overall bars when
// `elapsed` is set (0 or more): their fill is the whole work's percentage
// (done of total 100), with the time since the work began and, once it can
// be told, the time left; the import's also says which file of how many.
struct ProgressEvent {
  int kind = 0;
  std::string_view text;
  double done = 0;
  double total = 0;
  double elapsed = -1;    // seconds since the work began; -1: not an overall bar
  double remaining = -1;  // seconds left; -1: no estimate yet
  int file = 0;           // the file being imported, 1-based (0: none)
  int files = 0;          // the files of the work

  // The bar's label for this kind. A count is shown with its total only when
  // the total is known ("(5/20)"), alone when it is not ("(19795)"); a bar
  // with nothing counted has no counts at all ("(0/0)" is never shown).
  std::string Label() const;
  // The bar's fill, a whole percentage 0..100: 0 when nothing is done or the
  // total is unknown (see Determinate).
  int Percent() const;
  // Whether the fill means something: the total is known. A bar counting
  // without a total is drawn as busy, never as full.
  bool Determinate() const { return total > 0 && !(done > total); }
  // Whether the bar has nothing to show (no count, no total): hidden.
  bool Hidden() const { return !(done > 0) && !(total > 0) && elapsed < 0; }
};

// A duration as the progress labels tell it: "45 s", "2 min 10 s", "1 h 5 min".
// Negative or not finite: "0 s".
std::string DurationText(double seconds);

// The overall progress of a piece of work made of weighted steps (the import
// of each file by its size, the merge by the lines it writes, the check of
// what it wrote): the part done, which never goes back, the time since the
// work began, and an estimate of the time left once enough is done to tell.
class ProgressMeter {
 public:
  // Seconds from any fixed origin; null stands for the steady clock.
  using Clock = double (*)();
  explicit ProgressMeter(Clock clock = nullptr) : clock_(clock) {}
  // Starts timing a work of `total` units (a total of 0 or less counts as 1).
  void Begin(double total);
  // Whether a work is being measured (between Begin and End).
  bool Active() const { return active_; }
  // Adds `units` to the work (a step not known at Begin); the part done may
  // then shrink, but the percentage shown never goes back.
  void AddTotal(double units);
  // The current step is done; the next one, of `weight` units, begins.
  void Step(double weight);
  // The part of the current step done, 0..1 (outside clamped). Less than
  // before is ignored.
  void StepDone(double fraction);
  // The whole work is done: 100%.
  void Finish();
  // Stops measuring (Active() false).
  void End() { active_ = false; }
  // The whole percentage done: never smaller than one shown before, 100 only
  // after Finish().
  int Percent();
  double Elapsed() const;
  // Seconds left, never negative; -1 until at least kSettleSeconds passed
  // and kSettlePercent is done (a guess from the first moments is noise).
  double Remaining();
  // Sets the event's fill (done of 100), elapsed and remaining.
  void Fill(ProgressEvent& e);

  static constexpr double kSettleSeconds = 3;
  static constexpr int kSettlePercent = 2;

 private:
  double Now() const;
  Clock clock_;
  bool active_ = false, finished_ = false;
  double start_ = 0, total_ = 1, base_ = 0, weight_ = 0, done_ = 0;
  int shown_ = 0;
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

// The ports of a run live in its context (RunContext::ports).

// Hands `e` to the progress port in use (nothing without one).
void ShowProgress(const UiPorts& ports, const ProgressEvent& e);
