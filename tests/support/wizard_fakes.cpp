#include "tests/support/wizard_fakes.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace {

// True when the file's first line is a 0000 record of a head office.
bool IsHeadOffice(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string line;
  if (!std::getline(in, line)) return false;
  size_t start = 0;
  for (int field = 0; field < 9; ++field) {  // field 9 is the CNPJ
    start = line.find('|', start);
    if (start == std::string::npos) return false;
    ++start;
  }
  return line.size() >= start + 12 && line.compare(start + 8, 4, "0001") == 0;
}

}  // namespace

std::vector<std::string> SampleNetworkFiles() {
  namespace fs = std::filesystem;
  std::vector<std::string> files;
  fs::path dir = fs::path(QUELVAR_SOURCE_DIR) / "samples" / "network";
  std::error_code ec;
  if (!fs::is_directory(dir, ec)) return files;
  for (const auto& entry : fs::directory_iterator(dir, ec))
    if (entry.path().extension() == ".txt") files.push_back(entry.path().string());
  std::sort(files.begin(), files.end());
  std::stable_partition(files.begin(), files.end(), IsHeadOffice);
  return files;
}
