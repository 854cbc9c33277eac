// Progress: the labels of each bar, the fill percentage, and the overall bar's
// meter (never backwards, 100 only at the end, an honest time left).
#include <gtest/gtest.h>

#include "app/cli_ports.h"
#include "staging/ui_ports.h"
#include "wizard/frm_assistente.h"

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
