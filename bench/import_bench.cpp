// Import benchmark: one generated file of about 1,000,000 lines (one
// establishment: participants, items, C100 documents with their C170 items,
// Block M) imported through frmAssistente::ImportFile into the default staging
// database, against sqlite3's own .import of the same lines into a one-column
// table in the same run. Prints both times and their ratio (target: at most 3).
//
//   build/bench/import_bench [--lines N] [--dir DIR] [--database TARGET]
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "staging/ui_ports.h"
#include "tools/efdgen/network.h"
#include "wizard/frm_assistente.h"

extern char** environ;

namespace {

double Seconds(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

double CpuSeconds(const rusage& ru) {
  return ru.ru_utime.tv_sec + ru.ru_stime.tv_sec + (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

// Runs `args` with stdin from `stdinPath` and stdout discarded; the wall time
// (and in `cpu` the processor time), or -1 when it did not run or failed.
double RunTimed(const std::vector<std::string>& args, const std::string& stdinPath, double& cpu) {
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 0, stdinPath.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
  auto t0 = std::chrono::steady_clock::now();
  pid_t pid = 0;
  int rc = posix_spawnp(&pid, argv[0], &fa, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&fa);
  if (rc != 0) return -1;
  int status = 0;
  rusage ru{};
  wait4(pid, &status, 0, &ru);
  double s = Seconds(t0);
  cpu = CpuSeconds(ru);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? s : -1;
}

// What a window's progress port does per line: remember the latest event.
class LatestProgress : public ProgressPort {
 public:
  ProgressEvent last;
  void Progress(const ProgressEvent& e) override { last = e; }
};

class CountingMessages : public MessagePort, public ErrorPort {
 public:
  int messages = 0, errors = 0;
  void ShowMessage(std::string_view text, MsgIcon) override {
    ++messages;
    std::fprintf(stderr, "message: %.*s\n", static_cast<int>(text.size()), text.data());
  }
  void ReportError(std::string_view, std::string_view, std::string_view m) override {
    if (errors++ < 5) std::fprintf(stderr, "error: %.*s\n", static_cast<int>(m.size()), m.data());
  }
};

}  // namespace

int main(int argc, char** argv) {
  int64_t lines = 1000000;
  std::string dir = (std::filesystem::temp_directory_path() / "quelvar_import_bench").string();
  std::string database;
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string a = argv[i];
    if (a == "--lines") lines = std::atoll(argv[i + 1]);
    else if (a == "--dir") dir = argv[i + 1];
    else if (a == "--database") database = argv[i + 1];
  }
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);

  NetworkOptions options;
  options.establishments = 1;
  options.targetLines = lines;
  options.seed = 1;
  std::vector<std::string> files = WriteNetwork(options, dir + "/in");
  const std::string& file = files.at(0);
  std::map<std::string, int64_t> codes;
  int64_t total = 0;
  {
    std::ifstream in(file, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
      ++total;
      if (line.size() > 5) ++codes[line.substr(1, 4)];
    }
  }
  std::printf("file: %s, %lld lines (C100 %lld, C170 %lld, 0150 %lld, 0200 %lld, M %lld)\n", file.c_str(),
              static_cast<long long>(total), static_cast<long long>(codes["C100"]),
              static_cast<long long>(codes["C170"]), static_cast<long long>(codes["0150"]),
              static_cast<long long>(codes["0200"]),
              static_cast<long long>(codes["M100"] + codes["M200"] + codes["M210"] + codes["M400"] +
                                     codes["M410"] + codes["M500"] + codes["M600"] + codes["M610"]));

  // Baseline: sqlite3's own .import of the same lines.
  std::string script = dir + "/import.sql";
  {
    std::ofstream s(script);
    s << ".mode ascii\n.separator \"\\037\" \"\\n\"\nCREATE TABLE t(l TEXT);\n.import " << file << " t\n";
  }
  std::filesystem::remove(dir + "/baseline.db");
  double baselineCpu = 0;
  double baseline = RunTimed({"sqlite3", dir + "/baseline.db"}, script, baselineCpu);
  if (baseline < 0) {
    std::fprintf(stderr, "sqlite3 .import failed (is the sqlite3 shell installed?)\n");
    return 1;
  }

  // The import through the wizard form.
  LatestProgress progress;
  CountingMessages messages;
  frmAssistente::Ports ports;
  ports.ui = UiPorts{&messages, &progress, &messages};
  frmAssistente form(ports, database);
  form.Form_Load();
  form.controls.checkValidarMatriz.Value = false;
  form.checkValidarMatriz_Click();
  rusage r0{}, r1{};
  getrusage(RUSAGE_SELF, &r0);
  auto t0 = std::chrono::steady_clock::now();
  ImportOutcome outcome = form.ImportFile(file);
  double ours = Seconds(t0);
  getrusage(RUSAGE_SELF, &r1);
  double oursCpu = CpuSeconds(r1) - CpuSeconds(r0);
  form.Form_Unload();
  if (outcome != ImportOutcome::Imported || messages.errors > 0) {
    std::fprintf(stderr, "import failed (outcome %d, %d errors)\n", static_cast<int>(outcome), messages.errors);
    return 1;
  }

  std::printf("                       wall s    cpu s\n");
  std::printf("sqlite3 .import:      %8.3f %8.3f\n", baseline, baselineCpu);
  std::printf("frmAssistente import: %8.3f %8.3f  (%.0f lines/s)\n", ours, oursCpu, total / ours);
  std::printf("ratio: %.2f wall, %.2f cpu (target <= 3)\n", ours / baseline, oursCpu / baselineCpu);
  std::filesystem::remove_all(dir);
  return 0;
}
