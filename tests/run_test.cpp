// The unification run: the merged file's name and place, its replacement of an
// existing file only when complete, clear failures, the progress of the blocks
// and the report of dropped record codes.
#include <gtest/gtest.h>

#include "checker/efd_check.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>

#include "platform/files.h"
#include "staging/run_state.h"
#include "staging/text.h"
#include "tests/support/wizard_fakes.h"
#include "tests/support/writer_support.h"
#include "tools/efdgen/network.h"
#include "wizard/frm_assistente.h"

namespace fs = std::filesystem;

namespace {

// Records every progress event as a window would show it; `hook` runs after each.
class OverallProgress : public ProgressPort {
 public:
  struct Shown {
    int kind;
    std::string text, label;
    int percent;
    double elapsed, remaining;
    int file, files;
    bool hidden;
  };
  std::vector<Shown> events;
  std::function<void(const ProgressEvent&)> hook;
  void Progress(const ProgressEvent& e) override {
    events.push_back({e.kind, std::string(e.text), e.Label(), e.Percent(), e.elapsed, e.remaining, e.file, e.files,
                      e.Hidden()});
    if (hook) hook(e);
  }
  // The texts of the overall bar of `kind`, each once in order of appearance.
  std::vector<std::string> Phases(int kind) const {
    std::vector<std::string> out;
    for (const Shown& s : events)
      if (s.kind == kind && s.elapsed >= 0 && (out.empty() || out.back() != s.text)) out.push_back(s.text);
    return out;
  }
};

// A loaded form with recording ports and a folder for inputs and output.
class RunFixture : public ::testing::Test {
 protected:
  RunFixture() {
    frmAssistente::Ports ports;
    ports.ui = UiPorts{&messages, &progress, &messages};
    form = std::make_unique<frmAssistente>(ports, "memory");
    form->Form_Load();
    fs::create_directories(in());
    fs::create_directories(out());
  }
  ~RunFixture() override { form.reset(); }

  std::string in() const { return dir.File("in"); }
  std::string out() const { return dir.File("out"); }

  std::vector<std::string> Network(const NetworkOptions& options) { return WriteNetwork(options, in()); }
  void Import(const std::vector<std::string>& files) {
    for (const std::string& f : files) ASSERT_EQ(form->ImportFile(f), ImportOutcome::Imported) << f;
  }
  RunResult Run(const std::string& folder) {
    form->m_CaminhoSalvo = folder;
    bool single = form->m_MesmoCNPJ;
    return form->RunUnification(single);
  }
  // The file's name as the head office's header gives it.
  static std::string NameFrom(const std::string& headOffice) {
    std::ifstream f(headOffice, std::ios::binary);
    std::string header;
    std::getline(f, header);
    std::vector<std::string> fields;
    size_t start = 0;
    for (size_t bar; (bar = header.find('|', start)) != std::string::npos; start = bar + 1)
      fields.push_back(header.substr(start, bar - start));
    return "EFDPISCOFINS_" + fields[9] + "_" + fields[6] + "_" + fields[7] + "_Unificado.txt";
  }
  static size_t FilesIn(const std::string& folder) {
    size_t n = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(folder)) ++n;
    return n;
  }

  TempFolder dir;
  RecordingMessages messages;
  OverallProgress progress;
  std::unique_ptr<frmAssistente> form;
};

}  // namespace

TEST_F(RunFixture, NamedFromTheFirstFileInTheChosenFolderReplacingAnOldOne) {
  auto files = Network({});
  Import(files);
  const std::string expected = out() + platform::kPathSeparator + NameFrom(files[0]);
  WriteFileLines(expected, {"OLD"});
  std::string first;
  for (const std::string& folder : {out(), out() + "/"}) {
    RunResult r = Run(folder);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.path, expected);
    EXPECT_EQ(FilesIn(out()), 1u);
    if (first.empty()) first = ReadFile(expected);
    EXPECT_EQ(ReadFile(expected), first) << "a second run gives the same file";
  }
  EXPECT_NE(first.rfind("|0000|", 0), std::string::npos);
  EXPECT_FALSE(form->Run().endTime.empty());
  EXPECT_TRUE(form->m_Resultado.ok);
  ExpectValidFile(expected);
}

#ifndef _WIN32
TEST_F(RunFixture, ABackslashIsACharacterOfTheFolderName) {
  auto files = Network({});
  Import(files);
  const std::string folder = out() + "\\";
  fs::create_directories(folder);
  RunResult r = Run(folder);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.path, folder + "/" + NameFrom(files[0]));
  EXPECT_EQ(FilesIn(out()), 0u) << "nothing written beside the folder of that name";
}
#endif

TEST_F(RunFixture, FailureLeavesTheOldFileAndNoPartialOne) {
  auto files = Network({});
  Import(files);
  const std::string target = out() + platform::kPathSeparator + NameFrom(files[0]);
  WriteFileLines(target, {"OLD"});
  // A stored value that is no number makes a sum fail in the middle of Block 0.
  form->Run().connection->Execute("INSERT INTO ###0111(Id_CNPJ,Reg,Rec_Bru_NCum_Trib_Mi,Rec_Bru_NCum_Nt_Mi,"
                        "Rec_Bru_NCum_Exp,Rec_Bru_Cum,Rec_Bru_Total) VALUES ('1','0111','X','0','0','0','0')");
  RunResult r = Run(out());
  EXPECT_FALSE(r.ok);
  EXPECT_FALSE(r.error.empty());
  EXPECT_FALSE(form->m_Resultado.ok);
  EXPECT_EQ(ReadFile(target), "OLD\r\n");
  EXPECT_EQ(FilesIn(out()), 1u) << "no temporary file left";
  // The counters are not left half-counted: once the value is gone the run succeeds.
  form->Run().connection->Execute("DELETE FROM ###0111 WHERE (Rec_Bru_NCum_Trib_Mi = 'X')");
  r = Run(out());
  ASSERT_TRUE(r.ok) << r.error;
  ExpectValidFile(target);
}

// Before, an output that the checker rejects was put under the final name
// and reported as a success.
TEST_F(RunFixture, AnOutputItsOwnCheckRejectsIsKeptOnlyAsInvalido) {
  auto files = Network({});
  Import(files);
  const std::string target = out() + platform::kPathSeparator + NameFrom(files[0]);
  WriteFileLines(target, {"OLD"});
  // A stored name holding the field separator: its lines get one field too many.
  form->Run().connection->Execute("UPDATE ###0150 SET Nome = 'A|B'");
  RunResult r = Run(out());
  ASSERT_FALSE(r.ok);
  EXPECT_NE(r.error.find("não passou na verificação"), std::string::npos) << r.error;
  EXPECT_NE(r.error.find("o registro 0150 tem 13 no leiaute 006"), std::string::npos) << r.error;
  const std::string kept = target.substr(0, target.size() - std::string("_Unificado.txt").size()) + "_Unificado.invalido.txt";
  EXPECT_NE(r.error.find(kept), std::string::npos) << r.error;
  EXPECT_EQ(ReadFile(target), "OLD\r\n");
  EXPECT_TRUE(fs::exists(kept));
  EXPECT_EQ(FilesIn(out()), 2u);
  // The findings named are those of a check of the kept file on its own
  // (the check ran on the bytes as they were written).
  CheckReport own;
  std::string error;
  ASSERT_TRUE(CheckEfdFile(kept, own, error)) << error;
  ASSERT_FALSE(own.Valid());
  auto error1 = std::find_if(own.problems.begin(), own.problems.end(), [](const CheckProblem& p) { return !p.warning; });
  ASSERT_NE(error1, own.problems.end());
  const CheckProblem& first = *error1;
  EXPECT_NE(r.error.find("(" + std::to_string(own.errors) + " erro(s): linha " + std::to_string(first.line) + " " +
                         first.code + ": " + first.message),
            std::string::npos)
      << r.error;
}

TEST_F(RunFixture, NothingImportedOrNoFolder) {
  RunResult r = Run(out());
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find("0000"), std::string::npos) << r.error;
  EXPECT_EQ(FilesIn(out()), 0u);

  Import(Network({}));
  r = Run(out() + "/missing");
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find("missing"), std::string::npos) << r.error;
  r = Run("");
  EXPECT_FALSE(r.ok);
  EXPECT_FALSE(r.error.empty());
}

TEST_F(RunFixture, OverallBarNamesEachBlockThenTheCheckAndEndsAtHundred) {
  Import(Network({}));
  progress.events.clear();
  ASSERT_TRUE(Run(out()).ok);
  EXPECT_EQ(progress.Phases(1),
            (std::vector<std::string>{"Unificando Bloco 0", "Unificando Bloco A", "Unificando Bloco C",
                                      "Unificando Bloco D", "Unificando Bloco F", "Unificando Bloco I",
                                      "Unificando Bloco M", "Unificando Bloco P", "Unificando Bloco 1",
                                      "Unificando Bloco 9", "Verificando o arquivo unificado",
                                      "Unificação concluída"}));
  ASSERT_FALSE(progress.events.empty());
  EXPECT_EQ(progress.events.back().kind, 1);
  EXPECT_EQ(progress.events.back().percent, 100);
  EXPECT_FALSE(form->m_Meter.Active()) << "the run's bar ends with the run";
}

// Over a whole import (as one batch, as the file page does) and run of a
// network whose files have many lines: every label a window shows is a real
// count, each overall bar only moves forward to 100, and the time left is
// never negative. Before, the detail bars read "(0/0)" at each block and
// "(19795/0)" under a full bar, and the overall bar stood at one block for
// most of the run.
TEST_F(RunFixture, EveryLabelOfAWholeImportAndRunIsARealCount) {
  auto files = Network({.establishments = 3, .targetLines = 60000, .seed = 3});
  form->ImportBatch(files);
  ASSERT_EQ(form->m_Arquivos.size(), files.size()) << (form->m_Recusas.empty() ? "" : form->m_Recusas[0].text);
  const size_t imported = progress.events.size();
  RunResult r = Run(out());
  ASSERT_TRUE(r.ok) << r.error;

  int last[2] = {-1, -1};
  int lastFile = 0;
  size_t overall[2] = {0, 0};
  std::set<int> kinds;
  for (size_t i = 0; i < progress.events.size(); ++i) {
    const auto& e = progress.events[i];
    SCOPED_TRACE(e.label);
    kinds.insert(e.kind);
    EXPECT_EQ(e.label.find("(0/0)"), std::string::npos);
    EXPECT_EQ(e.label.find("/0)"), std::string::npos);
    if (e.elapsed < 0) continue;
    ASSERT_TRUE(e.kind == 0 || e.kind == 1);
    ++overall[e.kind];
    // The run's bar starts anew after the import's.
    if (i == imported) last[1] = -1;
    EXPECT_GE(e.percent, last[e.kind]) << "the overall bar went back";
    last[e.kind] = e.percent;
    EXPECT_TRUE(e.remaining == -1 || e.remaining >= 0) << e.remaining;
    if (e.kind == 0) {
      EXPECT_EQ(e.files, 3);
      EXPECT_GE(e.file, lastFile);
      EXPECT_LE(e.file, 3);
      lastFile = e.file;
      EXPECT_EQ(e.label.rfind("Importando arquivo " + std::to_string(e.file) + " de 3", 0), 0u);
    }
  }
  EXPECT_GT(overall[0], 10u);
  EXPECT_GT(overall[1], 10u) << "the run's bar moves while the blocks are written";
  EXPECT_EQ(last[0], 100);
  EXPECT_EQ(last[1], 100);
  EXPECT_EQ(lastFile, 3);
  EXPECT_EQ(kinds, (std::set<int>{0, 1, 2, 3, 4}));
  // After the batch the import bar tells what it waits for, without counts.
  EXPECT_EQ(progress.events[imported - 1].label, frmAssistente::kStatusWaiting);
}

// The command line plans one bar over the imports and the run: its
// percentage goes on from the imports into the run and ends at 100.
TEST_F(RunFixture, OnePlannedBarCoversTheImportsAndTheRun) {
  auto files = Network({.establishments = 2, .targetLines = 3000, .seed = 5});
  form->BeginWork(files);
  Import(files);
  int lastImport = -1;
  for (const auto& e : progress.events)
    if (e.kind == 0 && e.elapsed >= 0) lastImport = e.percent;
  EXPECT_GT(lastImport, 5);
  EXPECT_LT(lastImport, 80) << "the run is part of the work";
  const size_t before = progress.events.size();
  ASSERT_TRUE(Run(out()).ok);
  int last = lastImport;
  for (size_t i = before; i < progress.events.size(); ++i)
    if (progress.events[i].elapsed >= 0) {
      EXPECT_GE(progress.events[i].percent, last);
      last = progress.events[i].percent;
    }
  EXPECT_EQ(last, 100);
}

// A cancel confirmed during the run stops it at its next line: nothing is
// written, an earlier merged file stays, no temporary is left, and the
// staging is as before (the same run then succeeds).
TEST_F(RunFixture, ACancelledRunWritesNothing) {
  auto files = Network({});
  Import(files);
  const std::string target = out() + platform::kPathSeparator + NameFrom(files[0]);
  WriteFileLines(target, {"OLD"});
  bool asked = false;
  progress.hook = [&](const ProgressEvent& e) {
    if (e.kind == 3 && !asked) asked = form->AskCancelRun();  // no question port: yes
  };
  RunResult r = Run(out());
  EXPECT_TRUE(asked);
  EXPECT_FALSE(r.ok);
  EXPECT_TRUE(r.cancelled);
  EXPECT_NE(r.error.find("cancelada"), std::string::npos) << r.error;
  EXPECT_EQ(ReadFile(target), "OLD\r\n");
  EXPECT_EQ(FilesIn(out()), 1u) << "no temporary file left";
  EXPECT_FALSE(form->AskCancelRun()) << "no run: nothing to cancel";
  progress.hook = nullptr;
  r = Run(out());
  ASSERT_TRUE(r.ok) << r.error;
  ExpectValidFile(target);
}

TEST_F(RunFixture, OpenersTellTheTruthAndDroppedCodesAreNamed) {
  // The head office has no documents of Block C ("C001|1") but keeps an A100
  // under "A001|0"; the branch has documents under "C001|0". Two lines of a
  // code outside the layout are not merged and are named.
  auto files = Network({.establishments = 2, .targetLines = 300, .seed = 7});
  std::vector<std::string> head = ReadCrLfLines(files[0]), edited;
  std::string cnpj;
  bool inC = false;
  for (const std::string& l : head) {
    if (l.rfind("|0000|", 0) == 0) {
      std::vector<std::string_view> f;
      SplitBars(l, f);
      cnpj = std::string(f[9]);
    }
    if (l.rfind("|C001|", 0) == 0) {
      edited.push_back("|C001|1|");
      inC = true;
      continue;
    }
    if (l.rfind("|C990|", 0) == 0) inC = false;
    if (inC) continue;
    if (l.rfind("|A001|", 0) == 0) {
      edited.push_back("|A001|0|");
      edited.push_back("|A010|" + cnpj + "|");
      edited.push_back("|A100|1|0|||00|||||||||||||||||");
      edited.push_back("|X999|1|");
      edited.push_back("|X999|2|");
      continue;
    }
    if (l.rfind("|A010|", 0) == 0 || l.rfind("|A100|", 0) == 0) continue;
    edited.push_back(l);
  }
  WriteFileLines(files[0], edited);
  form->m_ValidarEstrutura = false;  // the edited file's counts are not redone
  Import(files);
  RunResult r = Run(out());
  ASSERT_TRUE(r.ok) << r.error;
  auto lines = ReadCrLfLines(r.path);
  EXPECT_EQ(LinesOf(lines, "A001"), std::vector<std::string>{"|A001|0|"});
  EXPECT_EQ(LinesOf(lines, "A010"), std::vector<std::string>{"|A010|" + cnpj + "|"});
  EXPECT_EQ(LinesOf(lines, "A100").size(), 1u);
  EXPECT_EQ(LinesOf(lines, "C001"), std::vector<std::string>{"|C001|0|"});
  ASSERT_EQ(r.dropped.size(), 1u);
  EXPECT_EQ(r.dropped[0], (std::pair<std::string, int64_t>{"X999", 2}));
  ExpectValidFile(r.path);
}
