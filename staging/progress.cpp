// The progress display: the engine hands each update to the progress port, which
// decides when to repaint. Composing the label is left to the port (Label()),
// because md_ShowProgress runs for every line imported or written.
#include <chrono>
#include <cmath>
#include <cstdio>

#include "staging/resources.h"
#include "staging/run_context.h"
#include "staging/text.h"
#include "staging/ui_ports.h"

void ShowProgress(const UiPorts& ports, const ProgressEvent& e) {
  if (ProgressPort* port = ports.progress) port->Progress(e);
}

void md_ShowProgress(RunContext& ctx, int kind, std::string_view text, double done, double total) {
  ProgressPort* port = ctx.ports.progress;
  if (!port) return;
  ProgressEvent e;
  e.kind = kind;
  e.text = text;
  e.done = done;
  e.total = total;
  port->Progress(e);
}

namespace {

// A count as the labels show it: a plain whole number.
std::string Count(double v) {
  if (!std::isfinite(v)) return "0";
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.0f", RoundValue(v, 0));
  return buf;
}

// " (5/20)" with a known total, " (19795)" with a count alone, "" with nothing counted.
std::string Counts(const ProgressEvent& e) {
  if (e.Determinate()) return " (" + Count(e.done) + "/" + Count(e.total) + ")";
  if (e.done > 0) return " (" + Count(e.done) + ")";
  return std::string();
}

// "decorridos" / "restantes" after a duration, singular for "1 s", "1 min", "1 h".
std::string Agreeing(const std::string& duration, const char* singular) {
  const bool one = duration == "1 s" || duration == "1 min" || duration == "1 h";
  return duration + " " + singular + (one ? "" : "s");
}

// The time left as a person would say it: to 5 s under a minute, to 10 s
// under ten minutes, to the minute beyond.
std::string RemainingText(double seconds) {
  double step = seconds < 60 ? 5 : seconds < 600 ? 10 : 60;
  double rounded = std::ceil(seconds / step) * step;
  if (rounded < 5) rounded = 5;
  return DurationText(rounded);
}

// An overall bar's label: "Unificando Bloco C: 45% — 2 min 10 s decorridos,
// cerca de 2 min 40 s restantes".
std::string OverallLabel(const std::string& head, const ProgressEvent& e) {
  const int percent = e.Percent();
  std::string label = head + ": " + std::to_string(percent) + "% — " + Agreeing(DurationText(e.elapsed), "decorrido");
  if (e.remaining >= 0 && percent < 100) label += ", cerca de " + Agreeing(RemainingText(e.remaining), "restante");
  return label;
}

}  // namespace

std::string DurationText(double seconds) {
  if (!std::isfinite(seconds) || seconds < 0) seconds = 0;
  const long long s = std::llround(seconds);
  if (s < 60) return std::to_string(s) + " s";
  if (s < 3600) return std::to_string(s / 60) + " min" + (s % 60 ? " " + std::to_string(s % 60) + " s" : "");
  const long long m = (s % 3600) / 60;
  return std::to_string(s / 3600) + " h" + (m ? " " + std::to_string(m) + " min" : "");
}

std::string ProgressEvent::Label() const {
  switch (kind) {
    case 0:
      if (elapsed >= 0) {
        std::string head = files > 0 ? "Importando arquivo " + std::to_string(file) + " de " + std::to_string(files)
                                     : std::string("Importando");
        if (!text.empty()) head += " (" + std::string(text) + ")";
        return OverallLabel(head, *this);
      }
      // Between imports (nothing counted) the import bar's label is the status text alone.
      return done > 0 || total > 0 ? std::string(text) + Counts(*this) + " Registros..." : std::string(text);
    case 1:
      if (elapsed >= 0) return OverallLabel(std::string(text), *this);
      return std::string(text) + Counts(*this);
    case 2: return "Empresas" + Counts(*this) + " => " + std::string(text);
    case 3: return "Registros" + Counts(*this) + " => " + std::string(text);
    case 4: return "Registros Interno" + Counts(*this) + " => " + std::string(text);
    default: return std::string();
  }
}

int ProgressEvent::Percent() const {
  if (!(done > 0) || !(total > 0)) return 0;  // nothing done, no total (or negative, or NaN)
  double p = RoundValue(done / total * 100.0, 0);
  if (!(p > 0)) return 0;
  if (p > 100) return 100;
  return static_cast<int>(p);
}

double ProgressMeter::Now() const {
  if (clock_) return clock_();
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void ProgressMeter::Begin(double total) {
  active_ = true;
  finished_ = false;
  start_ = Now();
  total_ = total > 0 ? total : 1;
  base_ = weight_ = done_ = 0;
  shown_ = 0;
}

void ProgressMeter::AddTotal(double units) {
  if (units > 0) total_ += units;
}

void ProgressMeter::Step(double weight) {
  base_ += weight_ * 1.0;  // the step before is done, whatever it reported
  weight_ = weight > 0 ? weight : 0;
  done_ = 0;
}

void ProgressMeter::StepDone(double fraction) {
  if (!(fraction > done_)) return;  // also NaN
  done_ = fraction > 1 ? 1 : fraction;
}

void ProgressMeter::Finish() { finished_ = true; }

int ProgressMeter::Percent() {
  if (finished_) return shown_ = 100;
  double part = (base_ + weight_ * done_) / total_;
  int p = part > 0 ? static_cast<int>(std::floor(part * 100)) : 0;
  if (p > 99) p = 99;  // 100 only once the work is done
  if (p > shown_) shown_ = p;
  return shown_;
}

double ProgressMeter::Elapsed() const {
  const double e = Now() - start_;
  return e > 0 ? e : 0;
}

double ProgressMeter::Remaining() {
  if (finished_) return 0;
  const double elapsed = Elapsed();
  double part = (base_ + weight_ * done_) / total_;
  if (part > 1) part = 1;
  if (elapsed < kSettleSeconds || Percent() < kSettlePercent || !(part > 0)) return -1;
  const double left = elapsed * (1 - part) / part;
  return left > 0 ? left : 0;
}

void ProgressMeter::Fill(ProgressEvent& e) {
  e.done = Percent();
  e.total = 100;
  e.elapsed = Elapsed();
  e.remaining = Remaining();
}
