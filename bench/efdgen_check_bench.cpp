// Speed of the network generator and of the structural check on about
// 2,000,000 lines (10 establishments), each against a baseline measured in the
// same run: the generator against writing the same bytes with plain fwrite,
// the check against reading the same files and counting their line ends.
//
//   build/bench/efdgen_check_bench [--lines N] [--establishments N] [--dir DIR]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "checker/efd_check.h"
#include "tools/efdgen/network.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// Reads `path` in 1 MB chunks and counts LF bytes; -1 when it cannot be read.
int64_t CountLineEnds(const std::string& path, std::vector<char>& buffer) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return -1;
  int64_t n = 0;
  size_t got;
  while ((got = std::fread(buffer.data(), 1, buffer.size(), f)) > 0)
    for (size_t i = 0; i < got; ++i) n += buffer[i] == '\n';
  std::fclose(f);
  return n;
}

// Copies `from` to `to` with fread/fwrite in 1 MB chunks (the raw cost of
// producing the bytes on disk).
void CopyRaw(const std::string& from, const std::string& to, std::vector<char>& buffer) {
  std::FILE* in = std::fopen(from.c_str(), "rb");
  std::FILE* out = std::fopen(to.c_str(), "wb");
  size_t got;
  while (in && out && (got = std::fread(buffer.data(), 1, buffer.size(), in)) > 0) std::fwrite(buffer.data(), 1, got, out);
  if (in) std::fclose(in);
  if (out) std::fclose(out);
}

}  // namespace

int main(int argc, char** argv) {
  NetworkOptions options;
  options.establishments = 10;
  options.targetLines = 2000000;
  options.seed = 3;
  std::string dir = (std::filesystem::temp_directory_path() / "quelvar-efdgen-bench").string();
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string a = argv[i];
    if (a == "--lines") options.targetLines = std::atoll(argv[i + 1]);
    else if (a == "--establishments") options.establishments = std::atoi(argv[i + 1]);
    else if (a == "--dir") dir = argv[i + 1];
  }
  std::filesystem::remove_all(dir);
  std::vector<char> buffer(1 << 20);

  auto t0 = std::chrono::steady_clock::now();
  std::vector<std::string> files = WriteNetwork(options, dir + "/net");
  const double generate = Seconds(t0);

  std::filesystem::create_directories(dir + "/copy");
  t0 = std::chrono::steady_clock::now();
  for (size_t i = 0; i < files.size(); ++i) CopyRaw(files[i], dir + "/copy/" + std::to_string(i), buffer);
  const double copy = Seconds(t0);

  t0 = std::chrono::steady_clock::now();
  int64_t lines = 0;
  for (const std::string& f : files) lines += CountLineEnds(f, buffer);
  const double read = Seconds(t0);

  t0 = std::chrono::steady_clock::now();
  int64_t checked = 0;
  bool valid = true;
  for (const std::string& f : files) {
    CheckReport report;
    std::string error;
    if (!CheckEfdFile(f, report, error) || !report.Valid()) valid = false;
    checked += report.lines;
  }
  const double check = Seconds(t0);

  std::printf("%lld lines in %zu files\n", static_cast<long long>(lines), files.size());
  std::printf("generate %.2f s (%.0f lines/s), raw copy of the bytes %.2f s, ratio %.1f\n", generate,
              lines / generate, copy, generate / copy);
  std::printf("check    %.2f s (%.0f lines/s), read and count line ends %.2f s, ratio %.1f%s\n", check,
              checked / check, read, check / read, valid ? "" : "  (a file was NOT valid)");
  std::filesystem::remove_all(dir);
  return valid && checked == lines ? 0 : 1;
}
