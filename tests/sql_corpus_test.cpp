// Runs every statement corpus under tests/sql/ against a fresh staging database.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "staging/run_state.h"
#include "tests/support/test_run.h"
#include "tests/support/sql_support.h"

namespace {

std::vector<std::string> CorpusFiles() {
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(std::string(QUELVAR_SOURCE_DIR) + "/tests/sql"))
    if (entry.path().extension() == ".test") files.push_back(entry.path().string());
  std::sort(files.begin(), files.end());
  return files;
}

class SqlCorpus : public ::testing::TestWithParam<std::string> {};

TEST_P(SqlCorpus, RunsAsExpected) {
  TestRun().connection = CreateConnection("");
  TestRun().connection->Open();
  std::vector<std::string> failures = RunSqlCorpus(*TestRun().connection, GetParam());
  TestRun().connection->Close();
  TestRun().connection.reset();
  for (const std::string& f : failures) ADD_FAILURE() << f;
}

INSTANTIATE_TEST_SUITE_P(Files, SqlCorpus, ::testing::ValuesIn(CorpusFiles()),
                         [](const auto& info) {
                           std::string name = std::filesystem::path(info.param).stem().string();
                           std::replace_if(name.begin(), name.end(), [](char c) { return !isalnum(static_cast<unsigned char>(c)); }, '_');
                           return name;
                         });

}  // namespace
