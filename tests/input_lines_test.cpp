// What an input file may hold besides its records: lines of blanks only are
// skipped and named once, other malformed lines and text that is not
// ISO-8859-1 refuse the file, and only regular files are read at all.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "tests/support/check_support.h"
#include "tests/support/import_support.h"
#include "tests/support/staging_database.h"
#include "wizard/input_validation.h"

namespace fs = std::filesystem;

namespace {

using Lines = std::vector<std::string>;

const std::string kMatriz = "11111111000191";
const std::string kOther = "22222222000191";

// A whole valid input of one establishment: every required block, counts true.
Lines Whole() {
  return Recounted({HeaderLine(kMatriz), "|0001|0|", EstablishmentLine("1", kMatriz), "|0150|P1|Fornecedor|01058|11222333000343|||3550308||Rua|1||Centro|",
                    "|0990|0|", "|A001|1|", "|A990|0|", "|C001|1|", "|C990|0|", "|D001|1|", "|D990|0|", "|F001|1|",
                    "|F990|0|", "|M001|1|", "|M990|0|", "|1001|1|", "|1990|0|"});
}

// The stage with the structure check on, as the wizard and `merge` run it.
struct CheckedStage : ImportStage {
  CheckedStage() { form->m_ValidarEstrutura = true; }
};

// From two seconds on, opens and closes the writing end of the FIFO at `path`
// every 50 ms: a reader blocked in open() or read() on it then gets the end
// of the file, so that a reader that waits on a FIFO fails its test instead
// of hanging the suite.
class FifoUnblocker {
 public:
  explicit FifoUnblocker(std::string path)
      : thread_([this, path = std::move(path)] {
          const auto from = std::chrono::steady_clock::now() + std::chrono::seconds(2);
          while (!stop_) {
            if (std::chrono::steady_clock::now() > from)
              if (int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK); fd >= 0) ::close(fd);
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
          }
        }) {}
  ~FifoUnblocker() {
    stop_ = true;
    thread_.join();
  }

 private:
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace

// Before, an empty line (the one an editor leaves after 9999 included) or a
// line of blanks refused the whole file at the structure check, its counts
// all one off. Now such lines are skipped, counted and named in one notice
// with the file's own line numbers; any other malformed line still refuses it.
TEST(InputLines, LinesWithoutARecordAreSkippedAndNamedOnce) {
  const Lines whole = Whole();
  const std::string end = std::to_string(whole.size() + 1);
  struct Case {
    const char* what;
    // Lines inserted before an index, in turn (a 0140 replaces the line there).
    std::vector<std::pair<size_t, std::string>> inserted;
    bool imported;
    std::string message;  // the one message shown
  } cases[] = {
      {"as it is", {}, true, ""},
      {"an empty line after 9999", {{whole.size(), ""}}, true,
       "Arquivo f.txt: 1 linha(s) em branco ignorada(s) (linha " + end + ")."},
      {"an empty line inside Block 0", {{3, ""}}, true, "Arquivo f.txt: 1 linha(s) em branco ignorada(s) (linha 4)."},
      {"blanks and tabs", {{6, " \t  "}, {8, ""}}, true,
       "Arquivo f.txt: 2 linha(s) em branco ignorada(s) (linhas 7, 9)."},
      {"an empty line before 0000", {{0, ""}}, true, "Arquivo f.txt: 1 linha(s) em branco ignorada(s) (linha 1)."},
      // The 0000 after it is still the one whose CNPJ a 0140 must have.
      {"an empty line before a 0000 whose CNPJ no 0140 has", {{0, ""}, {3, EstablishmentLine("1", kOther)}}, false,
       "nenhum registro 0140 tem o CNPJ do registro 0000"},
      {"a line without its opening bar, after a blank one", {{2, ""}, {5, "0150|P2|OUTRO||||||||||"}}, false,
       "linha 6: a linha não começa e termina com \"|\""},
      {"a line of text", {{5, "texto"}}, false, "linha 6: a linha não começa e termina com \"|\""},
  };
  for (const Case& c : cases) {
    CheckedStage s;
    Lines file = whole;
    for (const auto& [at, text] : c.inserted) {
      if (text.rfind("|0140|", 0) == 0) file.erase(file.begin() + at);  // replaces the 0140
      file.insert(file.begin() + at, text);
    }
    EXPECT_EQ(s.Import(s.Write("f.txt", file)), c.imported ? ImportOutcome::Imported : ImportOutcome::Refused)
        << c.what;
    const std::vector<std::string> shown = s.TakeMessages();
    if (c.message.empty()) {
      EXPECT_TRUE(shown.empty()) << c.what << ": " << shown.front();
      continue;
    }
    ASSERT_EQ(shown.size(), 1u) << c.what;
    if (c.imported) {
      EXPECT_EQ(shown[0], c.message) << c.what;
      EXPECT_EQ(s.Count("0150"), 1u) << c.what;
      EXPECT_EQ(s.form->m_Arquivos.back().lines, static_cast<int64_t>(whole.size())) << c.what;
    } else {
      EXPECT_NE(shown[0].find(c.message), std::string::npos) << c.what << ": " << shown[0];
      EXPECT_EQ(s.Count("0000"), 0u) << c.what;
    }
  }
}

// EFD files are ISO-8859-1: before, a file saved as UTF-8 was merged and its
// names written in another encoding, and NUL bytes went into the merged file.
TEST(InputLines, TextThatIsNotIso88591IsRefused) {
  struct Case {
    const char* what;
    std::string name;  // the establishment's name
    bool imported;
    std::string message;
  } cases[] = {
      {"ISO-8859-1", "LOJA S\xC3O JO\xC3O", true, ""},
      {"UTF-8", "LOJA S\xC3\x83O JO\xC3\x83O", false, "linha 3 0140: o arquivo parece estar em UTF-8"},
      {"NUL", std::string("LOJA\0", 5), false, "linha 3 0140: a linha tem um byte nulo (NUL)"},
  };
  for (const Case& c : cases) {
    CheckedStage s;
    Lines file = Whole();
    file[2] = "|0140|1|" + c.name + "|" + kMatriz + "|SP||3550308|||";
    EXPECT_EQ(s.Import(s.Write("f.txt", file)), c.imported ? ImportOutcome::Imported : ImportOutcome::Refused)
        << c.what;
    const std::vector<std::string> shown = s.TakeMessages();
    if (c.imported) {
      EXPECT_TRUE(shown.empty()) << c.what;
    } else {
      ASSERT_EQ(shown.size(), 1u) << c.what;
      EXPECT_NE(shown[0].find(c.message), std::string::npos) << c.what << ": " << shown[0];
    }
  }
}

// Before, a FIFO given as an input waited for a writer for ever (and a device
// such as /dev/zero was read without end). Only regular files are read.
TEST(InputLines, OnlyRegularFilesAreRead) {
  CheckedStage s;
  const std::string fifo = (s.dir / "fifo.txt").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  FifoUnblocker unblocker(fifo);
  EXPECT_EQ(s.Import(fifo), ImportOutcome::Failed);
  const std::vector<std::string> shown = s.TakeMessages();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0], "Não foi possível abrir o arquivo " + fifo + ": não é um arquivo comum (é um pipe nomeado)");
  EXPECT_EQ(frmAssistente::CountLines(fifo), 0);
  InputValidation v = ValidateInputFile(fifo);
  EXPECT_FALSE(v.readable);
  EXPECT_NE(v.error.find("não é um arquivo comum"), std::string::npos) << v.error;
  // The wizard's choice of several files reads each first line.
  ScriptedFiles chooser;
  chooser.batches = {{fifo, "/dev/zero"}};
  frmAssistente::Ports ports;
  ports.files = &chooser;
  ports.ui = UiPorts{&s.messages, nullptr, &s.messages};
  frmAssistente form(ports, "memory");
  form.Form_Load();
  form.ChooseInputFile();
  // One list at the end of the batch names both files and why.
  const std::vector<std::string> messages = s.TakeMessages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_NE(messages[0].find("não é um arquivo comum (é um pipe nomeado)"), std::string::npos) << messages[0];
  EXPECT_NE(messages[0].find("não é um arquivo comum (é um dispositivo)"), std::string::npos) << messages[0];
  EXPECT_TRUE(form.m_Arquivos.empty());

  // The command line, each run given 20 seconds.
  for (const std::string& input : {fifo, std::string("/dev/zero")}) {
    ProcessResult check = RunQuelvar({"check", input}, 20);
    EXPECT_FALSE(check.timedOut) << input;
    EXPECT_EQ(check.exitCode, 2) << input;
    EXPECT_NE(check.err.find("não é um arquivo comum"), std::string::npos) << check.err;
    ProcessResult merge = RunQuelvar({"merge", "--no-progress", "--output-dir", (s.dir / "out").string(), input}, 20);
    EXPECT_FALSE(merge.timedOut) << input;
    EXPECT_EQ(merge.exitCode, 1) << input;
    EXPECT_NE(merge.err.find("não é um arquivo comum"), std::string::npos) << merge.err;
  }
}

// A network whose branches carry lines of blanks (one after 9999, as editors
// leave it, one inside a block) merges into the very bytes of the network
// without them, and says which lines it skipped.
TEST(InputLines, BlankLinesLeaveTheMergedFileAsItIs) {
  const std::string samples = std::string(QUELVAR_SOURCE_DIR) + "/samples/network";
  if (!fs::exists(samples)) GTEST_SKIP() << "samples/network is missing";
  TempFolder dir;
  const std::vector<std::string> names = {"1-matriz.txt", "2-filial.txt", "3-filial.txt"};
  std::vector<std::string> plain, blank;
  for (const std::string& name : names) plain.push_back(samples + "/" + name);
  fs::create_directories(dir.File("in"));
  for (const std::string& name : names) blank.push_back(dir.File("in/" + name));
  const std::string second = ReadFileBytes(plain[1]), third = ReadFileBytes(plain[2]);
  ASSERT_TRUE(second.ends_with("\r\n"));
  WriteFileBytes(blank[0], ReadFileBytes(plain[0]));
  WriteFileBytes(blank[1], second + "\r\n");
  const size_t cut = third.find("\r\n", third.find("\r\n") + 2) + 2;  // after line 2
  WriteFileBytes(blank[2], third.substr(0, cut) + " \t\r\n" + third.substr(cut));
  const std::string lastOfSecond = std::to_string(std::count(second.begin(), second.end(), '\n') + 1);

  // Merged, it is the reviewed file of the network without them
  // (MergeEndToEnd.NetworksGiveTheirGoldenFiles, which also sees no
  // notice of blank lines there).
  MergeResult b = RunMerge(blank, dir.File("b"));
  ASSERT_EQ(b.exitCode, 0) << b.err;
  EXPECT_TRUE(ReadFileBytes(b.file) ==
              ReadFileBytes(std::string(QUELVAR_SOURCE_DIR) + "/tests/golden/sample-network-merged.txt"));
  EXPECT_NE(b.err.find("2-filial.txt: 1 linha(s) em branco ignorada(s) (linha " + lastOfSecond + ")."),
            std::string::npos)
      << b.err;
  EXPECT_NE(b.err.find("3-filial.txt: 1 linha(s) em branco ignorada(s) (linha 3)."), std::string::npos) << b.err;
}
