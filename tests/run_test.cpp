// The unification run: the merged file's name and place, its replacement of an
// existing file only when complete, clear failures, the progress of the blocks
// and the report of dropped record codes.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/files.h"
#include "staging/run_state.h"
#include "staging/text.h"
#include "tests/support/wizard_fakes.h"
#include "tests/support/writer_support.h"
#include "tools/efdgen/network.h"
#include "wizard/frm_assistente.h"

namespace fs = std::filesystem;

namespace {

class OverallProgress : public ProgressPort {
 public:
  std::vector<std::string> labels;
  void Progress(const ProgressEvent& e) override {
    if (e.kind == 1) labels.push_back(e.Label());
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
  EXPECT_FALSE(g_EndTime.empty());
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
  g_Connection->Execute("INSERT INTO ###0111(Id_CNPJ,Reg,Rec_Bru_NCum_Trib_Mi,Rec_Bru_NCum_Nt_Mi,"
                        "Rec_Bru_NCum_Exp,Rec_Bru_Cum,Rec_Bru_Total) VALUES ('1','0111','X','0','0','0','0')");
  RunResult r = Run(out());
  EXPECT_FALSE(r.ok);
  EXPECT_FALSE(r.error.empty());
  EXPECT_FALSE(form->m_Resultado.ok);
  EXPECT_EQ(ReadFile(target), "OLD\r\n");
  EXPECT_EQ(FilesIn(out()), 1u) << "no temporary file left";
  // The counters are not left half-counted: once the value is gone the run succeeds.
  g_Connection->Execute("DELETE FROM ###0111 WHERE (Rec_Bru_NCum_Trib_Mi = 'X')");
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
  g_Connection->Execute("UPDATE ###0150 SET Nome = 'A|B'");
  RunResult r = Run(out());
  ASSERT_FALSE(r.ok);
  EXPECT_NE(r.error.find("não passou na verificação"), std::string::npos) << r.error;
  EXPECT_NE(r.error.find("o registro 0150 tem 13 no leiaute 006"), std::string::npos) << r.error;
  const std::string kept = target.substr(0, target.size() - std::string("_Unificado.txt").size()) + "_Unificado.invalido.txt";
  EXPECT_NE(r.error.find(kept), std::string::npos) << r.error;
  EXPECT_EQ(ReadFile(target), "OLD\r\n");
  EXPECT_TRUE(fs::exists(kept));
  EXPECT_EQ(FilesIn(out()), 2u);
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

TEST_F(RunFixture, OverallProgressCountsTheBlocks) {
  Import(Network({}));
  progress.labels.clear();
  ASSERT_TRUE(Run(out()).ok);
  EXPECT_EQ(progress.labels,
            (std::vector<std::string>{"Unificando Bloco 0... (1/11)", "Unificando Bloco A... (2/11)",
                                      "Unificando Bloco C... (3/11)", "Unificando Bloco D... (4/11)",
                                      "Unificando Bloco F... (5/11)", "Unificando Bloco I... (6/11)",
                                      "Unificando Bloco M... (7/11)", "Unificando Bloco P... (8/11)",
                                      "Unificando Bloco 1... (9/11)", "Unificando Bloco 9... (10/11)",
                                      "Finalizado todos os BLOCOS... (11/11)"}));
}

TEST_F(RunFixture, OpenersTellTheTruthAndDroppedCodesAreNamed) {
  // The head office has no documents of Block C ("C001|1") but keeps an A100
  // under "A001|0"; the branch has documents under "C001|0". Two lines of a
  // code outside the layout are not merged and are named.
  auto files = Network({.establishments = 2, .targetLines = 300, .seed = 7});
  std::vector<std::string> head = ReadLines(files[0]), edited;
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
  auto lines = ReadLines(r.path);
  EXPECT_EQ(LinesOf(lines, "A001"), std::vector<std::string>{"|A001|0|"});
  EXPECT_EQ(LinesOf(lines, "A010"), std::vector<std::string>{"|A010|" + cnpj + "|"});
  EXPECT_EQ(LinesOf(lines, "A100").size(), 1u);
  EXPECT_EQ(LinesOf(lines, "C001"), std::vector<std::string>{"|C001|0|"});
  ASSERT_EQ(r.dropped.size(), 1u);
  EXPECT_EQ(r.dropped[0], (std::pair<std::string, int64_t>{"X999", 2}));
  ExpectValidFile(r.path);
}
