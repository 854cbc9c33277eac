#include "tests/support/staging_database.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "blocks/registry.h"
#include "platform/files.h"
#include "platform/process.h"
#include "staging/output_file.h"
#include "staging/resources.h"
#include "staging/run_state.h"
#include "staging/text.h"
#include "tests/support/test_run.h"

RunContext& TestRun() {
  static RunContext run;
  return run;
}

StagingDatabase::StagingDatabase() {
  TestRun().Reset();
  TestRun().connection = CreateConnection("memory");
  TestRun().connection->Open();
  md_CreateControlTable(TestRun());
  for (const BlockEntry& m : BlockTable()) CreateTablesOf(TestRun(), m.layouts());
}

StagingDatabase::~StagingDatabase() {
  TestRun().output.Abort();
  if (TestRun().connection) TestRun().connection->Close();
  TestRun().connection.reset();
  TestRun().Reset();
}

std::vector<std::string> ReadCrLfLines(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line.back() != '\r') throw std::runtime_error("line without CR LF: " + line);
    line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

int64_t RegisteredCount(std::string_view reg) {
  auto rs = TestRun().connection->Execute("SELECT QtdeReg FROM ###Registros WHERE (Reg = '" +
                                  PrepareSqlText(reg) + "')");
  return rs->Eof() ? -1 : (*rs)["QtdeReg"].AsInt();
}

std::string UniqueTempPath(std::string_view stem) {
  static std::atomic<int> serial{0};
  return (std::filesystem::temp_directory_path() /
          (std::string(stem) + "-" + std::to_string(platform::CurrentProcessId()) + "-" + std::to_string(serial++)))
      .string();
}

bool CanPlantSymlinks() {
  static const bool can = [] {
    namespace fs = std::filesystem;
    const fs::path link = platform::PathFromUtf8(UniqueTempPath("quelvar-link"));
    std::error_code ec;
    fs::create_symlink(link.parent_path(), link, ec);
    if (ec) return false;
    fs::remove(link, ec);
    return true;
  }();
  return can;
}

TempFolder::TempFolder() {
  namespace fs = std::filesystem;
  path_ = UniqueTempPath("quelvar-test");
  fs::remove_all(path_);
  fs::create_directories(path_);
}

TempFolder::~TempFolder() {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(path_, ec);
}

std::string TempFolder::File(std::string_view name) const {
  return platform::Utf8FromPath(platform::PathFromUtf8(path_) / platform::PathFromUtf8(std::string(name)));
}

std::vector<std::string> LinesOf(const std::vector<std::string>& lines, std::string_view reg) {
  std::vector<std::string> out;
  const std::string prefix = "|" + std::string(reg) + "|";
  for (const std::string& line : lines)
    if (line.rfind(prefix, 0) == 0) out.push_back(line);
  return out;
}
