// Benchmark of Blocks C and D at scale: merges a generated network of 20
// establishments (1,000,000 lines in all) and one four times larger, each in
// a child process that imports and runs through frmAssistente as `quelvar
// merge` does. Prints per size the seconds per million input lines of the
// whole merge and of Blocks C and D alone (timed between the run's block
// steps), the peak memory (RSS) of the child, and the per-line cost of the
// larger network against the smaller one (the baseline).
//
//   build/bench/blocks_cd_bench [--lines N] [--establishments N] [--factor F] [--dir DIR]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "staging/ui_ports.h"
#include "tools/efdgen/network.h"
#include "wizard/frm_assistente.h"
#include "wizard/ports.h"

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

// CPU seconds (user + system) of this process so far: unlike wall time, not
// inflated by other work on a busy machine.
double CpuSeconds() {
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  return ru.ru_utime.tv_sec + ru.ru_stime.tv_sec + (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

// Remembers when the run entered Block C and when it left Block D.
class BlockTimer : public ProgressPort {
 public:
  void Progress(const ProgressEvent& e) override {
    if (e.kind != 1) return;
    if (e.text == "Unificando Bloco C...") cStart = Clock::now(), cCpu = CpuSeconds(), seenC = true;
    if (e.text == "Unificando Bloco F...") dEnd = Clock::now(), dCpu = CpuSeconds(), seenF = true;
  }
  Clock::time_point cStart, dEnd;
  double cCpu = 0, dCpu = 0;
  bool seenC = false, seenF = false;
};

class StderrMessages : public MessagePort, public ErrorPort {
 public:
  void ShowMessage(std::string_view text, MsgIcon) override {
    std::fprintf(stderr, "message: %.*s\n", static_cast<int>(text.size()), text.data());
  }
  void ReportError(std::string_view, std::string_view procedure, std::string_view message) override {
    std::fprintf(stderr, "error in %.*s: %.*s\n", static_cast<int>(procedure.size()), procedure.data(),
                 static_cast<int>(message.size()), message.data());
  }
};

class FixedFolder : public FolderChooser {
 public:
  explicit FixedFolder(std::string dir) : dir_(std::move(dir)) {}
  std::string ChooseFolder(std::string_view, bool) override { return dir_; }

 private:
  std::string dir_;
};

struct Result {
  double importSeconds = 0, runSeconds = 0, cdSeconds = 0;  // wall
  double cpuSeconds = 0, cdCpuSeconds = 0;                  // CPU: whole merge, C and D
  long long outputLines = 0, cdLines = 0;
};

// The child's work: import every file and run the unification. Returns false
// when a file was refused or the run failed.
bool MergeInProcess(const std::vector<std::string>& files, const std::string& outDir, Result& r) {
  StderrMessages messages;
  BlockTimer timer;
  FixedFolder folder(outDir);
  frmAssistente::Ports ports;
  ports.folders = &folder;
  ports.ui = UiPorts{&messages, &timer, &messages};
  frmAssistente form(ports, "");
  form.Form_Load();
  auto t0 = Clock::now();
  const double cpu0 = CpuSeconds();
  for (const std::string& f : files)
    if (form.ImportFile(f) != ImportOutcome::Imported) return false;
  r.importSeconds = Since(t0);
  form.m_CaminhoSalvo = outDir;
  bool single = form.m_MesmoCNPJ;
  auto t1 = Clock::now();
  RunResult run = form.RunUnification(single);
  r.runSeconds = Since(t1);
  if (!run.ok || !timer.seenC || !timer.seenF) {
    std::fprintf(stderr, "run failed: %s\n", run.error.c_str());
    return false;
  }
  r.cpuSeconds = CpuSeconds() - cpu0;
  r.cdSeconds = std::chrono::duration<double>(timer.dEnd - timer.cStart).count();
  r.cdCpuSeconds = timer.dCpu - timer.cCpu;
  std::ifstream in(run.path, std::ios::binary);
  for (std::string line; std::getline(in, line);) {
    ++r.outputLines;
    if (line.size() > 1 && (line[1] == 'C' || line[1] == 'D')) ++r.cdLines;
  }
  return true;
}

struct Measure {
  Result r;
  long long inputLines = 0;
  long peakKb = 0;
  bool ok = false;
};

long long CountLines(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  long long n = 0;
  for (std::string line; std::getline(in, line);) ++n;
  return n;
}

Measure RunSize(const std::string& dir, int establishments, long long lines) {
  Measure m;
  std::filesystem::remove_all(dir);
  NetworkOptions options;
  options.establishments = establishments;
  options.targetLines = lines;
  options.seed = 11;
  std::vector<std::string> files = WriteNetwork(options, dir + "/in");
  for (const auto& f : files) m.inputLines += CountLines(f);
  std::filesystem::create_directories(dir + "/out");

  int fds[2];
  if (pipe(fds) != 0) return m;
  pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    Result r;
    bool ok = false;
    try {
      ok = MergeInProcess(files, dir + "/out", r);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "merge failed: %s\n", e.what());
    }
    if (ok && write(fds[1], &r, sizeof r) != static_cast<ssize_t>(sizeof r)) ok = false;
    _exit(ok ? 0 : 1);
  }
  close(fds[1]);
  ssize_t got = read(fds[0], &m.r, sizeof m.r);
  close(fds[0]);
  int status = 0;
  rusage ru{};
  wait4(pid, &status, 0, &ru);
  m.peakKb = ru.ru_maxrss;
  m.ok = got == static_cast<ssize_t>(sizeof m.r) && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return m;
}

}  // namespace

int main(int argc, char** argv) {
  long long lines = 1000000;
  int establishments = 20, factor = 4;
  std::string dir = (std::filesystem::temp_directory_path() / "quelvar-blocks-cd-bench").string();
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string a = argv[i];
    if (a == "--lines") lines = std::atoll(argv[i + 1]);
    else if (a == "--establishments") establishments = std::atoi(argv[i + 1]);
    else if (a == "--factor") factor = std::atoi(argv[i + 1]);
    else if (a == "--dir") dir = argv[i + 1];
  }
  std::printf("Wall seconds, and CPU seconds (user + system) that a busy machine does not inflate.\n");
  std::printf("%-5s %9s %8s %7s %8s %8s %9s %8s %8s %10s %10s %8s\n", "size", "in lines", "import s",
              "run s", "s/M in", "cpu/M in", "C+D lines", "C+D s", "C+D cpu", "C+D s/M", "C+D cpu/M",
              "peak MB");
  double perLine[2] = {0, 0}, cdPerLine[2] = {0, 0}, cpuPerLine[2] = {0, 0}, cdCpuPerLine[2] = {0, 0};
  for (int k = 0; k < 2; ++k) {
    const long long size = k == 0 ? lines : lines * factor;
    Measure m = RunSize(dir, establishments, size);
    if (!m.ok) {
      std::fprintf(stderr, "merge of %lld lines failed\n", size);
      return 1;
    }
    const double total = m.r.importSeconds + m.r.runSeconds;
    perLine[k] = total / m.inputLines;
    cpuPerLine[k] = m.r.cpuSeconds / m.inputLines;
    const double cdLines = static_cast<double>(std::max(1LL, m.r.cdLines));
    cdPerLine[k] = m.r.cdSeconds / cdLines;
    cdCpuPerLine[k] = m.r.cdCpuSeconds / cdLines;
    std::printf("%-5s %9lld %8.2f %7.2f %8.2f %8.2f %9lld %8.2f %8.2f %10.2f %10.2f %8.1f\n",
                k == 0 ? "base" : "large", m.inputLines, m.r.importSeconds, m.r.runSeconds,
                perLine[k] * 1e6, cpuPerLine[k] * 1e6, m.r.cdLines, m.r.cdSeconds, m.r.cdCpuSeconds,
                cdPerLine[k] * 1e6, cdCpuPerLine[k] * 1e6, m.peakKb / 1024.0);
  }
  std::printf("cost per line, large / base: whole merge %.2f wall, %.2f CPU; Blocks C and D %.2f wall, "
              "%.2f CPU\n",
              perLine[1] / perLine[0], cpuPerLine[1] / cpuPerLine[0], cdPerLine[1] / cdPerLine[0],
              cdCpuPerLine[1] / cdCpuPerLine[0]);
  std::filesystem::remove_all(dir);
  return 0;
}
