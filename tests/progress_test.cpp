// Progress: the labels of each bar, the fill percentage, the overall bar's
// meter (never backwards, 100 only at the end, an honest time left) and the
// panel the windows draw from (throttle, busy, hidden and allowed bars).
#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

#include "app/cli_ports.h"
#include "staging/ui_ports.h"
#include "wizard/frm_assistente.h"
#include "wizard/progress_panel.h"

namespace {
ProgressEvent Event(int kind, std::string_view text, double done, double total) {
  ProgressEvent e;
  e.kind = kind;
  e.text = text;
  e.done = done;
  e.total = total;
  return e;
}

ProgressEvent Overall(int kind, std::string_view text, double percent, double elapsed, double remaining,
                      int file = 0, int files = 0) {
  ProgressEvent e = Event(kind, text, percent, 100);
  e.elapsed = elapsed;
  e.remaining = remaining;
  e.file = file;
  e.files = files;
  return e;
}

// A clock the test moves by hand.
double g_now = 0;
double FakeClock() { return g_now; }
}  // namespace

TEST(ProgressLabel, TextOfEveryBar) {
  // Between imports the import bar says what it waits for, without counts.
  EXPECT_EQ(Event(0, "Aguardando Próximo arquivo...", 0, 0).Label(), "Aguardando Próximo arquivo...");
  EXPECT_EQ(Event(0, "Arquivo: matriz.txt", 12, 3400).Label(), "Arquivo: matriz.txt (12/3400) Registros...");
  EXPECT_EQ(Event(1, "Unificando Bloco C...", 3, 9).Label(), "Unificando Bloco C... (3/9)");
  EXPECT_EQ(Event(3, "C100", 5, 20).Label(), "Registros (5/20) => C100");
  EXPECT_EQ(Event(4, "C170", 1000000, 2500000).Label(), "Registros Interno (1000000/2500000) => C170");
  EXPECT_EQ(Event(7, "x", 1, 2).Label(), "");
}

// Before, a bar with nothing counted read "(0/0)" and a count without a
// total "(19795/0)" over a full bar.
TEST(ProgressLabel, NeverACountOfNoTotal) {
  const struct {
    ProgressEvent event;
    std::string label;
    bool hidden, determinate;
  } cases[] = {
      {Event(2, "Aguardando...", 0, 0), "Empresas => Aguardando...", true, false},
      {Event(3, "", 0, 0), "Registros => ", true, false},
      {Event(4, "C170", 19795, 0), "Registros Interno (19795) => C170", false, false},
      {Event(3, "C100", 7, 0), "Registros (7) => C100", false, false},
      {Event(3, "C100", 30, 20), "Registros (30) => C100", false, false},  // a total that is wrong is not shown
      {Event(2, "CNPJ: 1", 1, 1), "Empresas (1/1) => CNPJ: 1", false, true},
      {Event(0, "Arquivo: a.txt", 5, 0), "Arquivo: a.txt (5) Registros...", false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(c.event.Label(), c.label);
    EXPECT_EQ(c.event.Label().find("/0)"), std::string::npos);
    EXPECT_EQ(c.event.Hidden(), c.hidden);
    EXPECT_EQ(c.event.Determinate(), c.determinate);
  }
}

TEST(ProgressPercent, WholeAndClampedNeverDividingByZero) {
  EXPECT_EQ(Event(3, "", 5, 20).Percent(), 25);
  EXPECT_EQ(Event(0, "", 0, 0).Percent(), 0);
  EXPECT_EQ(Event(0, "", 0, 7).Percent(), 0);
  EXPECT_EQ(Event(0, "", 3, 0).Percent(), 0);  // something done of no total: busy, not full
  EXPECT_EQ(Event(0, "", 1, 8).Percent(), 13);   // 12.5 rounds away from zero
  EXPECT_EQ(Event(0, "", 1, 3).Percent(), 33);
  EXPECT_EQ(Event(0, "", 11, 10).Percent(), 100);
  EXPECT_EQ(Event(0, "", -1, 10).Percent(), 0);
}

TEST(ProgressLabel, OverallBarsTellPercentTimesAndFile) {
  EXPECT_EQ(Overall(1, "Unificando Bloco C", 45, 130, 160).Label(),
            "Unificando Bloco C: 45% — 2 min 10 s decorridos, cerca de 2 min 40 s restantes");
  // No estimate yet: the time left is not guessed.
  EXPECT_EQ(Overall(1, "Unificando Bloco 0", 1, 1, -1).Label(), "Unificando Bloco 0: 1% — 1 s decorrido");
  EXPECT_EQ(Overall(0, "filial05.txt", 45, 65, 80, 5, 20).Label(),
            "Importando arquivo 5 de 20 (filial05.txt): 45% — 1 min 5 s decorridos, cerca de 1 min 20 s restantes");
  // The end: no time left is told.
  EXPECT_EQ(Overall(1, "Unificação concluída", 100, 290, 0).Label(), "Unificação concluída: 100% — 4 min 50 s decorridos");
  // The time left is rounded as a person says it, never below 5 s.
  EXPECT_EQ(Overall(1, "Unificando", 99, 600, 0.4).Label(), "Unificando: 99% — 10 min decorridos, cerca de 5 s restantes");
  EXPECT_EQ(Overall(1, "Unificando", 50, 600, 601).Label(),
            "Unificando: 50% — 10 min decorridos, cerca de 11 min restantes");
  EXPECT_FALSE(Overall(1, "Unificando", 0, 0, -1).Hidden());
}

TEST(ProgressDuration, Text) {
  const std::pair<double, std::string> cases[] = {
      {0, "0 s"},       {-5, "0 s"},          {44.6, "45 s"},       {60, "1 min"},
      {130, "2 min 10 s"}, {3600, "1 h"},     {3900, "1 h 5 min"},  {1.0 / 0.0, "0 s"},
  };
  for (const auto& [seconds, text] : cases) EXPECT_EQ(DurationText(seconds), text) << seconds;
}

TEST(ProgressMeter, NeverGoesBackAndEndsAtHundredOnlyWhenDone) {
  g_now = 100;
  ProgressMeter m(FakeClock);
  EXPECT_FALSE(m.Active());
  m.Begin(1000);
  EXPECT_TRUE(m.Active());
  m.Step(400);
  m.StepDone(0.5);
  EXPECT_EQ(m.Percent(), 20);
  m.StepDone(0.25);  // less than before: ignored
  EXPECT_EQ(m.Percent(), 20);
  m.AddTotal(1000);  // more work found: the part done shrinks, the bar does not
  EXPECT_EQ(m.Percent(), 20);
  m.Step(600);  // the first step is whole now
  EXPECT_EQ(m.Percent(), 20);
  m.StepDone(7);  // clamped to the whole step
  EXPECT_EQ(m.Percent(), 50);
  m.Step(2000);  // steps beyond the total never fill the bar
  m.StepDone(1);
  EXPECT_EQ(m.Percent(), 99);
  m.Finish();
  EXPECT_EQ(m.Percent(), 100);
  ProgressEvent e;
  m.Fill(e);
  EXPECT_EQ(e.Percent(), 100);
  EXPECT_EQ(e.remaining, 0);
  m.End();
  EXPECT_FALSE(m.Active());
}

TEST(ProgressMeter, TimeLeftOnlyOnceItCanBeToldAndNeverNegative) {
  g_now = 0;
  ProgressMeter m(FakeClock);
  m.Begin(100);
  m.Step(100);
  // Half the work in the first second: too early to tell.
  g_now = 1;
  m.StepDone(0.5);
  EXPECT_EQ(m.Remaining(), -1);
  // Three seconds, but under 2% done: still not told.
  m.Begin(1000);
  m.Step(1000);
  g_now = 4;
  m.StepDone(0.01);
  EXPECT_EQ(m.Remaining(), -1);
  // A quarter in 10 s: about 30 s left.
  g_now = 11;
  m.StepDone(0.25);
  EXPECT_DOUBLE_EQ(m.Elapsed(), 10);
  EXPECT_NEAR(m.Remaining(), 30, 1e-9);
  // Everything done but not finished: no time left, never below zero.
  m.StepDone(1);
  EXPECT_GE(m.Remaining(), 0);
  // A clock that goes back never gives a negative time.
  g_now = 0;
  EXPECT_EQ(m.Elapsed(), 0);
  EXPECT_EQ(m.Remaining(), -1);
}

// The command line's progress line never shows the wizard's file-page status
// ("Clique em '...'"): such an event without a count once took the line and,
// the line being redrawn at most five times a second, hid the first file's
// import behind it.
TEST(CliProgressLine, ShowsTheImportAndNotTheWizardsStatusTexts) {
  ::testing::internal::CaptureStderr();
  {
    CliProgress progress(true, true);
    progress.Progress(Event(0, frmAssistente::kStatusNoFile, 0, 0));
    progress.Progress(Overall(0, "Importando", 12, 1, -1, 1, 3));
  }
  const std::string shown = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(shown.find("Clique"), std::string::npos) << shown;
  EXPECT_NE(shown.find("Importando"), std::string::npos) << shown;
}

// The progress panel the windows draw from: which events are drawn when (the
// throttle), and what each bar and label shows (busy, fill, hidden, allowed).
namespace {
using namespace std::chrono_literals;

std::chrono::steady_clock::time_point g_panelNow{};
std::chrono::steady_clock::time_point PanelClock() { return g_panelNow; }

std::vector<ProgressView> Drawn(ProgressPanel& panel, bool* shownChanged = nullptr) {
  std::vector<ProgressView> views;
  const bool changed = panel.Flush([&](const ProgressView& v) { views.push_back(v); });
  if (shownChanged) *shownChanged = changed;
  return views;
}

TEST(ProgressPanel, RepaintsAtMostEveryIntervalButTheOverallBarAtOnce) {
  g_panelNow = std::chrono::steady_clock::time_point{} + 1h;
  ProgressPanel panel(PanelClock);
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
    g_panelNow += steps[i].after;
    EXPECT_EQ(panel.Take(Event(steps[i].kind, "C100", 1, 2)), steps[i].repaint) << "step " << i;
  }
}

TEST(ProgressPanel, LaterEventsOfABarCoalesceIntoItsLastState) {
  ProgressPanel panel(PanelClock);
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
    ProgressPanel panel(PanelClock);
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
  ProgressPanel panel(PanelClock);
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
