// The built command line on a generated network: refused files are named on
// stderr, a merged file replaced is told, usage errors and help in Portuguese.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/version.h"
#include "tests/support/check_support.h"
#include "tests/support/staging_database.h"
#include "tools/efdgen/network.h"

namespace {

namespace fs = std::filesystem;

class CliMerge : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(QUELVAR_BINARY)) GTEST_SKIP() << "quelvar not built: " << QUELVAR_BINARY;
    dir_ = UniqueTempPath("quelvar_import_cli_" +
                          std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "out");
    NetworkOptions o{.establishments = 3, .targetLines = 1500, .seed = 7};
    files_ = WriteNetwork(o, (dir_ / "in").string());
    ASSERT_EQ(files_.size(), 3u);
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path dir_;
  std::vector<std::string> files_;
};

}  // namespace

TEST_F(CliMerge, AnExistingMergedFileIsReplacedAndTheUserTold) {
  const std::string out = (dir_ / "out").string();
  MergeResult first = RunMerge({files_[0]}, out);
  ASSERT_EQ(first.exitCode, 0) << first.err;
  EXPECT_EQ(first.err.find("substitu"), std::string::npos) << first.err;
  MergeResult second = RunMerge({files_[0]}, out);
  ASSERT_EQ(second.exitCode, 0) << second.err;
  EXPECT_NE(second.err.find("foi substituído"), std::string::npos) << second.err;
}

TEST_F(CliMerge, RefusedFilesAreNamedAndTheExitStatusTellsIt) {
  const std::string out = (dir_ / "out").string();
  MergeResult r = RunMerge({files_[1], files_[0], files_[0], (dir_ / "nada.txt").string()}, out);
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_NE(r.err.find(files_[1] + ": Selecione primeiramente o arquivo que contém o CNPJ da Empresa Matriz!"),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find(files_[0] + ": Arquivo já selecionado!!!"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("nada.txt: Não foi possível abrir o arquivo " + (dir_ / "nada.txt").string() +
                       ": a pasta ou o arquivo não existe"),
            std::string::npos)
      << r.err;
  // An empty file is named with its reason, and a system folder is refused
  // as such before anything is read.
  const std::string empty = (dir_ / "vazio.txt").string();
  { std::ofstream(empty, std::ios::binary); }
  r = RunMerge({files_[0], empty}, out);
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_NE(r.err.find(empty + ": O arquivo está vazio: não há registros a importar."), std::string::npos) << r.err;
  if (fs::is_directory("/proc/sys")) {
    r = RunMerge({files_[0]}, "/proc/sys");
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_NE(r.err.find("não é possível gravar na pasta /proc/sys: a pasta não aceita arquivos novos"),
              std::string::npos)
        << r.err;
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
