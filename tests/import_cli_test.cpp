// The built command line imports a generated network: every establishment and
// document reaches the merged file, and refused files are named on stderr.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include <sys/wait.h>

#include "app/version.h"
#include "tests/support/check_support.h"
#include "tests/support/staging_database.h"
#include "tools/efdgen/network.h"

namespace {

namespace fs = std::filesystem;

struct Result {
  int status = -1;
  std::string out;  // stdout and stderr together
};

Result RunQuelvar(const std::string& args) {
  Result r;
  std::string cmd = std::string("'") + QUELVAR_BINARY + "' " + args + " 2>&1";
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return r;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
  int st = pclose(p);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return r;
}

// Lines per record code of a file.
std::map<std::string, int> Codes(const fs::path& file) {
  std::map<std::string, int> codes;
  std::ifstream in(file, std::ios::binary);
  std::string line;
  while (std::getline(in, line))
    if (line.size() > 5 && line[0] == '|') ++codes[line.substr(1, 4)];
  return codes;
}

class CliMerge : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(QUELVAR_BINARY)) GTEST_SKIP() << "quelvar not built: " << QUELVAR_BINARY;
    dir_ = UniqueTempPath("quelvar_import_cli_" +
                          std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "out");
    NetworkOptions o;
    o.establishments = 3;
    o.targetLines = 1500;
    o.seed = 7;
    files_ = WriteNetwork(o, (dir_ / "in").string());
    ASSERT_EQ(files_.size(), 3u);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Quoted(const std::string& s) { return "'" + s + "'"; }

  fs::path dir_;
  std::vector<std::string> files_;
};

}  // namespace

TEST_F(CliMerge, EveryEstablishmentAndDocumentReachesTheMergedFile) {
  Result r = RunQuelvar("merge --output-dir " + Quoted((dir_ / "out").string()) + " " + Quoted(files_[0]) + " " +
                 Quoted(files_[1]) + " " + Quoted(files_[2]));
  ASSERT_EQ(r.status, 0) << r.out;
  std::vector<fs::path> outputs;
  for (const auto& e : fs::directory_iterator(dir_ / "out")) outputs.push_back(e.path());
  ASSERT_EQ(outputs.size(), 1u);
  EXPECT_NE(outputs[0].filename().string().find("_Unificado.txt"), std::string::npos);
  std::map<std::string, int> in;
  for (const auto& f : files_)
    for (const auto& [code, n] : Codes(f)) in[code] += n;
  std::map<std::string, int> out = Codes(outputs[0]);
  EXPECT_EQ(out["0000"], 1);
  EXPECT_EQ(out["0140"], 3);
  for (const char* code : {"C100", "C170", "C010", "0150", "0200"})
    if (in[code] > 0) {
      EXPECT_GT(out[code], 0) << code;
    }
  EXPECT_EQ(out["C100"], in["C100"]);
  EXPECT_EQ(out["C170"], in["C170"]);
}

TEST_F(CliMerge, AnExistingMergedFileIsReplacedAndTheUserTold) {
  const std::string args = "merge --output-dir " + Quoted((dir_ / "out").string()) + " " + Quoted(files_[0]);
  Result first = RunQuelvar(args);
  ASSERT_EQ(first.status, 0) << first.out;
  EXPECT_EQ(first.out.find("substitu"), std::string::npos) << first.out;
  Result second = RunQuelvar(args);
  ASSERT_EQ(second.status, 0) << second.out;
  EXPECT_NE(second.out.find("foi substituído"), std::string::npos) << second.out;
}

TEST_F(CliMerge, RefusedFilesAreNamedAndTheExitStatusTellsIt) {
  Result r = RunQuelvar("merge --output-dir " + Quoted((dir_ / "out").string()) + " " + Quoted(files_[1]) + " " +
                 Quoted(files_[0]) + " " + Quoted(files_[0]) + " " + Quoted((dir_ / "nada.txt").string()));
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_NE(r.out.find(files_[1] + ": Selecione primeiramente o arquivo que contém o CNPJ da Empresa Matriz!"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find(files_[0] + ": Arquivo já selecionado!!!"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("nada.txt: Não foi possível abrir o arquivo " + (dir_ / "nada.txt").string() +
                       ": a pasta ou o arquivo não existe"),
            std::string::npos)
      << r.out;
  // An empty file is named with its reason, and a system folder is refused
  // as such before anything is read.
  const std::string empty = (dir_ / "vazio.txt").string();
  { std::ofstream(empty, std::ios::binary); }
  r = RunQuelvar("merge --output-dir " + Quoted((dir_ / "out").string()) + " " + Quoted(files_[0]) + " " +
                 Quoted(empty));
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_NE(r.out.find(empty + ": O arquivo está vazio: não há registros a importar."), std::string::npos) << r.out;
  if (fs::is_directory("/proc/sys")) {
    r = RunQuelvar("merge --output-dir /proc/sys " + Quoted(files_[0]));
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.out.find("não é possível gravar na pasta /proc/sys: a pasta não aceita arquivos novos"),
              std::string::npos)
        << r.out;
  }
}

// Before, a usage error was told in the parser's English ("--output-dir is
// required", "The following argument was not expected: ..."), and --help
// described the program in English; now both are in Portuguese, an error
// naming the option or argument, with exit status 2.
TEST(CliUsage, UsageErrorsArePortugueseAndNameTheOption) {
  struct Case {
    std::vector<std::string> args;
    const char* said;
  };
  const Case cases[] = {
      {{"merge", "a.txt"}, "quelvar: falta --output-dir"},
      {{"merge", "--output-dir"}, "quelvar: --output-dir pede um valor"},
      {{"merge", "--output-dir", "out", "--bogus", "a.txt"}, "quelvar: argumento não esperado: --bogus"},
      {{"bogus"}, "quelvar: argumento não esperado: bogus"},
  };
  for (const Case& c : cases) {
    ProcessResult r = RunQuelvar(c.args);
    EXPECT_EQ(r.exitCode, 2) << r.err;
    EXPECT_NE(r.err.find(c.said), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Use --help"), std::string::npos) << r.err;
    for (const char* english : {"is required", "not expected", "Run with"})
      EXPECT_EQ(r.err.find(english), std::string::npos) << r.err;
  }
  // The help too (it was in English).
  for (const std::vector<std::string>& args : {std::vector<std::string>{"--help"}, {"merge", "--help"}, {"check", "--help"}}) {
    ProcessResult r = RunQuelvar(args);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    for (const char* said : {"Uso:", "Opções:", "mostra esta ajuda"}) EXPECT_NE(r.out.find(said), std::string::npos) << r.out;
    for (const char* english : {"Usage", "Options", "Print this", "the file"})
      EXPECT_EQ(r.out.find(english), std::string::npos) << english << "\n" << r.out;
  }
  // --version prints the build's version and nothing else.
  ProcessResult version = RunQuelvar(std::vector<std::string>{"--version"});
  EXPECT_EQ(version.exitCode, 0) << version.err;
  EXPECT_EQ(version.out, std::string(kQuelvarVersionText) + "\n");
}
