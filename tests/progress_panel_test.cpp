// The progress panel: which events are drawn when (the throttle), and what
// each bar and label shows (busy, fill, hidden, allowed by the window).
#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

#include "wizard/progress_panel.h"

namespace {
using namespace std::chrono_literals;

std::chrono::steady_clock::time_point g_now{};
std::chrono::steady_clock::time_point FakeClock() { return g_now; }

ProgressEvent Event(int kind, std::string_view text, double done, double total) {
  ProgressEvent e;
  e.kind = kind;
  e.text = text;
  e.done = done;
  e.total = total;
  return e;
}

std::vector<ProgressView> Drawn(ProgressPanel& panel, bool* shownChanged = nullptr) {
  std::vector<ProgressView> views;
  const bool changed = panel.Flush([&](const ProgressView& v) { views.push_back(v); });
  if (shownChanged) *shownChanged = changed;
  return views;
}

TEST(ProgressPanel, RepaintsAtMostEveryIntervalButTheOverallBarAtOnce) {
  g_now = std::chrono::steady_clock::time_point{} + 1h;
  ProgressPanel panel(FakeClock);
  struct Step {
    std::chrono::milliseconds after;
    int kind;
    bool repaint;
  } const steps[] = {
      {0ms, 3, true},    // the first event is drawn at once
      {10ms, 3, false},  // then the others wait for the interval
      {50ms, 4, false},
      {10ms, 1, true},   // the overall bar never waits
      {10ms, 3, false},  // and restarts the interval
      {89ms, 3, false},  // 99 ms after the overall bar
      {1ms, 3, true},
  };
  for (size_t i = 0; i < std::size(steps); ++i) {
    g_now += steps[i].after;
    EXPECT_EQ(panel.Take(Event(steps[i].kind, "C100", 1, 2)), steps[i].repaint) << "step " << i;
  }
}

TEST(ProgressPanel, LaterEventsOfABarCoalesceIntoItsLastState) {
  ProgressPanel panel(FakeClock);
  std::string text = "C100";
  for (int i = 1; i <= 1000; ++i) panel.Take(Event(3, text, i, 1000));
  panel.Take(Event(3, text = "C170", 5, 20));
  text = "XXXX";  // the event's text was copied
  const std::vector<ProgressView> views = Drawn(panel);
  ASSERT_EQ(views.size(), 1u);
  EXPECT_EQ(views[0].kind, 3);
  EXPECT_EQ(views[0].label, "Registros (5/20) => C170");
  EXPECT_EQ(views[0].percent, 25);
  EXPECT_FALSE(views[0].busy);
  EXPECT_TRUE(Drawn(panel).empty()) << "nothing new: nothing drawn again";
  panel.Take(Event(7, "?", 1, 1));  // an unknown bar is not kept
  EXPECT_TRUE(Drawn(panel).empty());
}

TEST(ProgressPanel, WhatEachEventShows) {
  struct Case {
    const char* name;
    ProgressEvent event;
    bool barShown, labelShown, busy, hasLabel, shownChanged;
  } const cases[] = {
      {"count and total", Event(3, "C100", 5, 20), true, true, false, true, false},
      {"count without total: busy", Event(3, "C100", 19795, 0), true, true, true, true, false},
      {"count past its total: busy", Event(3, "C100", 30, 20), true, true, true, true, false},
      {"nothing counted: bar hidden, label keeps its text", Event(0, "Aguardando...", 0, 0), false, true, false,
       true, true},
      {"nothing counted, no text: both hidden", Event(0, "", 0, 0), false, false, false, false, true},
  };
  for (const Case& c : cases) {
    ProgressPanel panel(FakeClock);
    panel.Take(c.event);
    bool changed = false;
    const std::vector<ProgressView> views = Drawn(panel, &changed);
    ASSERT_EQ(views.size(), 1u) << c.name;
    EXPECT_EQ(views[0].barShown, c.barShown) << c.name;
    EXPECT_EQ(views[0].labelShown, c.labelShown) << c.name;
    EXPECT_EQ(views[0].busy, c.busy) << c.name;
    EXPECT_EQ(views[0].hasLabel, c.hasLabel) << c.name;
    EXPECT_EQ(changed, c.shownChanged) << c.name;
    EXPECT_EQ(panel.BarShown(c.event.kind), c.barShown) << c.name;
    EXPECT_EQ(panel.LabelShown(c.event.kind), c.labelShown) << c.name;
  }
}

TEST(ProgressPanel, TheWindowAllowsOrHidesABarWhateverItsEvents) {
  ProgressPanel panel(FakeClock);
  panel.Allow(2, false, true);
  panel.Take(Event(2, "Bloco C", 3, 9));
  const std::vector<ProgressView> views = Drawn(panel);
  ASSERT_EQ(views.size(), 1u);
  EXPECT_FALSE(views[0].barShown);
  EXPECT_TRUE(views[0].labelShown);
  EXPECT_TRUE(views[0].hasLabel) << "a label not allowed still gets its text for when it is shown";
  panel.Allow(2, true, false);
  EXPECT_TRUE(panel.BarShown(2));
  EXPECT_FALSE(panel.LabelShown(2));
  // Hidden by its event, a bar stays hidden though allowed; shown again by the next event.
  bool changed = false;
  panel.Take(Event(2, "", 0, 0));
  Drawn(panel, &changed);
  EXPECT_TRUE(changed);
  EXPECT_FALSE(panel.BarShown(2));
  panel.Take(Event(2, "", 1, 0));
  Drawn(panel, &changed);
  EXPECT_TRUE(changed);
  EXPECT_TRUE(panel.BarShown(2));
  panel.Allow(9, false, false);  // an unknown bar: nothing
  EXPECT_FALSE(panel.BarShown(9));
}

}  // namespace
