// Each merge keeps its run in its own RunContext: merges in one process, one
// after the other or on two threads at once, give byte for byte the files a
// `quelvar merge` process gives for each network.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/cli_merge.h"
#include "tests/support/staging_database.h"
#include "tests/support/writer_support.h"
#include "tools/efdgen/network.h"

namespace fs = std::filesystem;

namespace {

// Two networks that share nothing: branches under their head office, and the
// parts of one CNPJ.
struct Network {
  NetworkOptions options;
  bool sameCnpj;
};
const Network kNetworks[] = {
    {{.establishments = 4, .targetLines = 3000, .seed = 21}, false},
    {{.targetLines = 2000, .seed = 22, .sameCnpjParts = 3}, true},
};

// The merged file written into `dir` ("" when none).
std::string MergedFileIn(const std::string& dir) {
  for (const auto& e : fs::directory_iterator(dir))
    if (e.path().string().ends_with("_Unificado.txt")) return e.path().string();
  return {};
}

// One network's inputs, the file a `quelvar merge` process writes for them,
// and a folder for the merge in this process.
struct Case {
  TempFolder in, byProcess, here;
  MergeOptions options;
  std::string expected;

  explicit Case(const Network& n) {
    options.sameCnpj = n.sameCnpj;
    options.files = WriteNetwork(n.options, in.path());
    options.progress = false;
    std::string cmd = std::string("'") + QUELVAR_BINARY + "' merge " + (n.sameCnpj ? "--same-cnpj " : "") +
                      "--output-dir '" + byProcess.path() + "'";
    for (const std::string& f : options.files) cmd += " '" + f + "'";
    cmd += " > /dev/null 2>&1";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
    expected = ReadFile(MergedFileIn(byProcess.path()));
    options.outputDir = here.path();
    options.database = "sqlite:" + here.File("staging.db");
  }
  // Whether the merge in this process wrote the process's file, byte for byte.
  void ExpectSameFile() const {
    const std::string merged = MergedFileIn(here.path());
    ASSERT_FALSE(merged.empty()) << "no merged file in " << here.path();
    EXPECT_TRUE(ReadFile(merged) == expected) << merged << " differs from the file of a quelvar merge process";
  }
};

}  // namespace

TEST(RunContext, MergesOneAfterTheOtherInOneProcessGiveTheFilesOfSeparateProcesses) {
  std::vector<std::unique_ptr<Case>> cases;
  for (const Network& n : kNetworks) cases.push_back(std::make_unique<Case>(n));
  for (const auto& c : cases) {
    EXPECT_EQ(RunMergeCommand(c->options), 0);
    c->ExpectSameFile();
  }
}

TEST(RunContext, MergesOnTwoThreadsAtOnceGiveTheFilesOfSeparateProcesses) {
  std::vector<std::unique_ptr<Case>> cases;
  for (const Network& n : kNetworks) cases.push_back(std::make_unique<Case>(n));
  std::vector<int> status(cases.size(), -1);
  std::vector<std::thread> threads;
  for (size_t i = 0; i < cases.size(); ++i)
    threads.emplace_back([&, i] { status[i] = RunMergeCommand(cases[i]->options); });
  for (std::thread& t : threads) t.join();
  for (size_t i = 0; i < cases.size(); ++i) {
    EXPECT_EQ(status[i], 0) << i;
    cases[i]->ExpectSameFile();
  }
}
