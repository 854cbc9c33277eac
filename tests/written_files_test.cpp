// The files a merge writes — the merged file, its copy kept for inspection,
// the ledger report — never overwrite an input, the staging database or each
// other, and the report is never written through a link; the merged file
// takes its final name only once the report is written; a merge that left
// input lines out is written but says so (exit status 3, a warning on the
// wizard's result page).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include "platform/files.h"
#include "staging/output_file.h"
#include "staging/run_state.h"
#include "tests/support/check_support.h"
#include "tests/support/wizard_fakes.h"
#include "tests/support/writer_support.h"
#include "wizard/frm_assistente.h"

namespace fs = std::filesystem;

namespace {

const char* kMerged = "EFDPISCOFINS_42765521000180_01082023_31082023_Unificado.txt";

// The sample network copied into the test's folder ("in/"), an output folder
// ("out/") and the built command line.
class WrittenFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string samples = std::string(QUELVAR_SOURCE_DIR) + "/samples/network";
    if (!fs::exists(samples)) GTEST_SKIP() << "samples/network is missing";
    fs::create_directories(dir.File("in"));
    fs::create_directories(dir.File("out"));
    for (const char* name : {"1-matriz.txt", "2-filial.txt", "3-filial.txt"})
      fs::copy_file(samples + "/" + name, dir.File(std::string("in/") + name));
  }
  std::string Input(int i) const {
    static const char* kNames[] = {"1-matriz.txt", "2-filial.txt", "3-filial.txt"};
    return dir.File(std::string("in/") + kNames[i]);
  }
  std::vector<std::string> Inputs() const { return {Input(0), Input(1), Input(2)}; }
  std::string Merged() const { return dir.File("out") + platform::kPathSeparator + kMerged; }
  ProcessResult Merge(const std::vector<std::string>& files, const std::string& report = "") {
    if (!fs::exists(QUELVAR_BINARY)) return ProcessResult{};
    return RunMerge(files, dir.File("out"), report.empty() ? std::vector<std::string>{}
                                                           : std::vector<std::string>{"--report", report});
  }
  // The head office with a line of code C17O (a typo of C170) after its
  // first C170, every count redone: a file whose every other line merges.
  std::string HeadOfficeWithC17O() {
    std::vector<std::string> lines = ReadCrLfLines(Input(0)), edited;
    bool added = false;
    for (const std::string& l : lines) {
      edited.push_back(l);
      if (!added && l.rfind("|C170|", 0) == 0) {
        edited.push_back("|C17O|" + l.substr(6));
        added = true;
      }
    }
    WriteFileLines(Input(0), Recounted(edited));
    return Input(0);
  }
  // The names in `folder`, sorted.
  static std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  TempFolder dir;
};

}  // namespace

// Before, --report aimed at the merged file, at an input or through a link
// wrote the CSV over it and the run exited 0 printing the merged file's path.
// Now the run is refused before anything is written, naming both files.
TEST_F(WrittenFiles, AReportThatMeetsAnotherFileIsRefusedAndNothingReplaced) {
  if (!fs::exists(QUELVAR_BINARY)) GTEST_SKIP() << "quelvar not built";
  ProcessResult first = Merge(Inputs());
  ASSERT_EQ(first.exitCode, 0) << first.err;
  if (!CanPlantSymlinks()) GTEST_SKIP() << kNoSymlinks;
  const std::string merged = ReadFileBytes(Merged());
  WriteFileBytes(dir.File("victim.csv"), "PRECIOUS\n");
  fs::create_symlink(dir.File("victim.csv"), dir.File("link.csv"));
  fs::create_hard_link(Input(1), dir.File("hard-link.txt"));
  struct Case {
    const char* what;
    std::string report;
    std::string named;  // the file the message names besides the report
  };
  const std::vector<Case> cases = {
      {"the merged file", Merged(), "o arquivo unificado " + Merged()},
      {"the head office", Input(0), "o arquivo de entrada " + Input(0)},
      {"a hard link of a branch", dir.File("hard-link.txt"), "o arquivo de entrada " + Input(1)},
      {"a link", dir.File("link.csv"), "link simbólico"},
      {"a folder", dir.File("in"), "é uma pasta"},
  };
  for (const Case& c : cases) {
    const std::string before = ReadFileBytes(c.report);
    ProcessResult r = Merge(Inputs(), c.report);
    EXPECT_EQ(r.exitCode, 1) << c.what << ": " << r.err;
    EXPECT_EQ(r.out, "") << c.what;
    EXPECT_NE(r.err.find("O relatório de conciliação " + c.report), std::string::npos) << c.what << ": " << r.err;
    EXPECT_NE(r.err.find(c.named), std::string::npos) << c.what << ": " << r.err;
    EXPECT_EQ(ReadFileBytes(c.report), before) << c.what;
    EXPECT_EQ(ReadFileBytes(Merged()), merged) << c.what;
  }
  EXPECT_EQ(ReadFileBytes(dir.File("victim.csv")), "PRECIOUS\n");
  EXPECT_TRUE(fs::is_symlink(dir.File("link.csv")));
  EXPECT_EQ(Names(dir.File("out")), std::vector<std::string>{kMerged});
}

// Before, a report that could not be written failed the run (exit 1) after
// the merged file had already replaced the one written earlier.
TEST_F(WrittenFiles, AReportThatCannotBeWrittenLeavesTheOldMergedFile) {
  if (!fs::exists(QUELVAR_BINARY)) GTEST_SKIP() << "quelvar not built";
  WriteFileBytes(Merged(), "OLD\r\n");
  const std::string report = dir.File("missing/r.csv");
  ProcessResult r = Merge(Inputs(), report);
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("não foi possível gravar o relatório " + report + ": a pasta ou o arquivo não existe"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(ReadFileBytes(Merged()), "OLD\r\n");
  EXPECT_EQ(Names(dir.File("out")), std::vector<std::string>{kMerged});

  // Where it can be written, the report comes with the merged file, and no
  // temporary of either stays behind.
  r = Merge(Inputs(), dir.File("out/r.csv"));
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(ReadFileBytes(dir.File("out/r.csv")).rfind("\xEF\xBB\xBFregistro;estabelecimento;", 0), 0u);
  EXPECT_EQ(Names(dir.File("out")), (std::vector<std::string>{kMerged, "r.csv"}));
}

// Before, an input that had the merged file's name (computed from the head
// office's CNPJ and period) in the output folder was overwritten by a run
// that exited 0. Now the run is refused, whatever the link that gives the
// input that name.
TEST_F(WrittenFiles, AnInputNamedLikeTheMergedFileIsRefused) {
  if (!fs::exists(QUELVAR_BINARY)) GTEST_SKIP() << "quelvar not built";
  const std::string invalid = dir.File("out/EFDPISCOFINS_42765521000180_01082023_31082023_Unificado.invalido.txt");
  struct Case {
    const char* what;
    std::function<void()> place;  // puts the head office (or a branch) under the name
    std::vector<std::string> inputs;
    std::string named;
  };
  const std::vector<Case> cases = {
      {"a copy", [&] { fs::copy_file(Input(0), Merged()); }, {Merged(), Input(1), Input(2)}, Merged()},
      {"a hard link", [&] { fs::create_hard_link(Input(0), Merged()); }, Inputs(), Input(0)},
      {"a symbolic link", [&] { fs::create_symlink(Input(2), Merged()); }, Inputs(), Input(2)},
      {"the copy kept for inspection", [&] { fs::copy_file(Input(1), invalid); }, {Input(0), invalid, Input(2)},
       invalid},
  };
  for (const Case& c : cases) {
    if (std::string_view(c.what) == "a symbolic link" && !CanPlantSymlinks()) continue;
    for (const std::string& name : Names(dir.File("out"))) fs::remove(dir.File("out/" + name));
    c.place();
    const std::vector<std::string> before = Names(dir.File("out"));
    std::vector<std::string> bytes;
    for (const std::string& f : c.inputs) bytes.push_back(ReadFileBytes(f));
    ProcessResult r = Merge(c.inputs);
    EXPECT_EQ(r.exitCode, 1) << c.what << ": " << r.err;
    EXPECT_EQ(r.out, "") << c.what;
    EXPECT_NE(r.err.find("o arquivo de entrada " + c.named), std::string::npos) << c.what << ": " << r.err;
    EXPECT_NE(r.err.find("Nada foi gravado"), std::string::npos) << c.what << ": " << r.err;
    for (size_t i = 0; i < c.inputs.size(); ++i) EXPECT_EQ(ReadFileBytes(c.inputs[i]), bytes[i]) << c.what;
    EXPECT_EQ(Names(dir.File("out")), before) << c.what;
  }
}

// Before, a line of a code outside the layout was left out and the merge
// exited 0. Now the file is written, the code is named with its first line,
// and the exit status is 3; the report shows the line refused.
TEST_F(WrittenFiles, LinesLeftOutAreWrittenWithExitStatusThree) {
  if (!fs::exists(QUELVAR_BINARY)) GTEST_SKIP() << "quelvar not built";
  HeadOfficeWithC17O();
  ProcessResult r = Merge(Inputs(), dir.File("r.csv"));
  EXPECT_EQ(r.exitCode, 3) << r.err;
  EXPECT_EQ(r.out, Merged() + "\n");
  EXPECT_NE(r.err.find("C17O (1; fora do leiaute 006, primeira: 1-matriz.txt, linha 54)"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("gravado, com linhas deixadas de fora"), std::string::npos) << r.err;
  EXPECT_EQ(LinesOf(ReadCrLfLines(Merged()), "C17O").size(), 0u);
  EXPECT_NE(ReadFileBytes(dir.File("r.csv")).find("\nC17O;;0;0;0;1;0;registro não unificado\n"), std::string::npos);
}

// Files are the same by device and inode when both exist (links and hard
// links included), by their resolved folder and name when one does not exist yet.
TEST(SameFile, IdentityFollowsLinksAndNamesNotYetWritten) {
  if (!CanPlantSymlinks()) GTEST_SKIP() << kNoSymlinks;
  TempFolder dir;
  fs::create_directories(dir.File("a"));
  WriteFileLines(dir.File("a/x.txt"), {"x"});
  WriteFileLines(dir.File("a/y.txt"), {"x"});
  fs::create_hard_link(dir.File("a/x.txt"), dir.File("hard.txt"));
  fs::create_directory_symlink(dir.File("a"), dir.File("via"));
  const struct {
    std::string a, b;
    bool same;
  } cases[] = {
      {dir.File("a/x.txt"), dir.File("hard.txt"), true},
      {dir.File("a/x.txt"), dir.File("via/x.txt"), true},
      {dir.File("a/x.txt"), dir.File("a/y.txt"), false},  // same bytes, another file
      {dir.File("a/new.csv"), dir.File("via/../a/new.csv"), true},
      {dir.File("a/new.csv"), dir.File("via/new.csv"), true},
      {dir.File("a/new.csv"), dir.File("a/other.csv"), false},
      {dir.File("a/x.txt"), dir.File("a/new.csv"), false},
  };
  for (const auto& c : cases) EXPECT_EQ(SameFile(c.a, c.b), c.same) << c.a << " / " << c.b;
}

namespace {

class NoProgress : public ProgressPort {
 public:
  void Progress(const ProgressEvent&) override {}
};

// The wizard's form over the copied network, the merged file's folder chosen.
class WrittenFilesWizard : public WrittenFiles {
 protected:
  void SetUp() override {
    WrittenFiles::SetUp();
    if (IsSkipped()) return;
    frmAssistente::Ports ports;
    ports.ui = UiPorts{&messages, &progress, &messages};
    form = std::make_unique<frmAssistente>(ports, "memory");
    form->Form_Load();
  }
  void TearDown() override { form.reset(); }
  // Imports `files`, chooses out/ and shows the folder page.
  void ToFolderPage(const std::vector<std::string>& files) {
    for (const std::string& f : files) ASSERT_EQ(form->ImportFile(f), ImportOutcome::Imported) << f;
    form->m_CaminhoSalvo = dir.File("out");
    form->controls.TxtCaminhoSalvo.Text = form->m_CaminhoSalvo;
    form->m_Page = 2;
    form->ShowPage();
  }

  RecordingMessages messages;
  NoProgress progress;
  std::unique_ptr<frmAssistente> form;
};

}  // namespace

// Before, the wizard wrote the merged file over an input of that name. Now
// the folder page refuses to go on, and a run started anyway writes nothing.
TEST_F(WrittenFilesWizard, AnInputNamedLikeTheMergedFileKeepsTheWizardOnTheFolderPage) {
  fs::copy_file(Input(0), Merged());
  ToFolderPage({Merged(), Input(1), Input(2)});
  const std::string input = ReadFileBytes(Merged());
  form->cmdAvancar_Click();
  EXPECT_EQ(form->m_Page, 2);
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].text, "O arquivo unificado " + Merged() + " é o mesmo arquivo que o arquivo de entrada " +
                                        Merged() + ": gravá-lo destruiria o outro. Nada foi gravado; escolha outro "
                                        "nome ou outra pasta.");
  bool single = false;
  RunResult r = form->RunUnification(single);
  EXPECT_FALSE(r.ok);
  EXPECT_FALSE(r.failedInTheMerge);  // another folder helps
  EXPECT_NE(r.error.find("o arquivo de entrada " + Merged()), std::string::npos) << r.error;
  EXPECT_EQ(ReadFileBytes(Merged()), input);
  EXPECT_EQ(Names(dir.File("out")), std::vector<std::string>{kMerged});
}

// Before, the result page of a run that left a line out began "Arquivo
// Magnético gerado com Sucesso.". Now it begins with a warning.
TEST_F(WrittenFilesWizard, TheResultPageWarnsOfLinesLeftOut) {
  HeadOfficeWithC17O();
  ToFolderPage(Inputs());
  form->cmdAvancar_Click();
  form->cmdAvancar_Click();  // "Concluir"
  ASSERT_TRUE(form->m_Resultado.ok) << form->m_Resultado.error;
  EXPECT_EQ(form->m_Page, 4);
  const std::string& text = form->controls.lblResultadoFinal.Caption;
  EXPECT_EQ(text.rfind("ATENÇÃO: Arquivo Magnético gerado, com linhas deixadas de fora. \r\n", 0), 0u) << text;
  EXPECT_NE(text.find("C17O (1; fora do leiaute 006, primeira: 1-matriz.txt, linha 54)"), std::string::npos) << text;
  EXPECT_NE(text.find(", 1 recusadas"), std::string::npos) << text;
}
