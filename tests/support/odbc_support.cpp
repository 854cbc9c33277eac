#include "tests/support/odbc_support.h"

#include <atomic>
#include <random>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

std::string SqliteOdbcDriverPath() {
  if (const char* env = std::getenv("QUELVAR_TEST_ODBC_DRIVER"); env && *env)
    return fs::exists(env) ? env : "";
  for (const char* p : {"/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so",
                        "/usr/lib/aarch64-linux-gnu/odbc/libsqlite3odbc.so",
                        "/usr/lib/odbc/libsqlite3odbc.so", "/usr/lib64/libsqlite3odbc.so"}) {
    if (fs::exists(p)) return p;
  }
  return "";
}

ScratchOdbcDatabase::ScratchOdbcDatabase(const std::string& driverPath) {
  static std::atomic<int> counter{0};
  path = (fs::temp_directory_path() /
          ("quelvar-odbc-" + std::to_string(std::random_device{}()) + "-" + std::to_string(counter++) + ".db"))
             .string();
  std::error_code ec;
  fs::remove(path, ec);
  connectionString = "Driver=" + driverPath + ";Database=" + path;
}

ScratchOdbcDatabase::~ScratchOdbcDatabase() {
  std::error_code ec;
  fs::remove(path, ec);
}
