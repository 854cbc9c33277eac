#include "wizard/progress_panel.h"

namespace {
bool KnownKind(int kind) { return kind >= 0 && kind < ProgressPanel::kKinds; }
}  // namespace

bool ProgressPanel::Take(const ProgressEvent& e) {
  if (KnownKind(e.kind)) {
    Pending& p = pending_[e.kind];
    p.dirty = true;
    p.text.assign(e.text.data(), e.text.size());
    p.event = e;
  }
  const auto now = clock_ ? clock_() : std::chrono::steady_clock::now();
  if (now < next_ && e.kind != 1) return false;
  next_ = now + kInterval;
  return true;
}

bool ProgressPanel::Flush(const Draw& draw) {
  bool shownChanged = false;
  for (int kind = 0; kind < kKinds; ++kind) {
    Pending& p = pending_[kind];
    if (!p.dirty) continue;
    p.dirty = false;
    ProgressEvent e = p.event;
    e.text = p.text;
    const bool barHidden = e.Hidden(), labelHidden = e.Hidden() && e.text.empty();
    shownChanged = shownChanged || barHidden != p.barHidden || labelHidden != p.labelHidden;
    p.barHidden = barHidden;
    p.labelHidden = labelHidden;
    ProgressView view;
    view.kind = kind;
    view.barShown = BarShown(kind);
    view.labelShown = LabelShown(kind);
    view.busy = !e.Hidden() && !e.Determinate();
    view.percent = e.Percent();
    view.hasLabel = !labelHidden;
    if (view.hasLabel) view.label = e.Label();
    if (draw) draw(view);
  }
  return shownChanged;
}

void ProgressPanel::Allow(int kind, bool bar, bool label) {
  if (!KnownKind(kind)) return;
  pending_[kind].barAllowed = bar;
  pending_[kind].labelAllowed = label;
}

bool ProgressPanel::BarShown(int kind) const {
  return KnownKind(kind) && pending_[kind].barAllowed && !pending_[kind].barHidden;
}

bool ProgressPanel::LabelShown(int kind) const {
  return KnownKind(kind) && pending_[kind].labelAllowed && !pending_[kind].labelHidden;
}
