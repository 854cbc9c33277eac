// End-to-end benchmark of a large network: generates 1 head office and 49
// branches (about 2,000,000 lines in all, and the same at half size), then
// times in one run (a) sqlite3's own .import of every input line into a
// one-column table — the floor for "read every line and store it" — and
// (b) `quelvar merge` of the network. Prints both times, their ratio, the
// merged file's lines per second and the merge's peak memory (RSS).
//
//   build/bench/merge_e2e_bench [--lines N] [--establishments N] [--dir DIR] [--usual-records]
//                               [--binary PATH]... [--rounds N]
// --binary (repeatable) compares builds of quelvar on the same generated
// network, paired: each round runs .import and then every binary in turn
// (A B, A B, ...); medians are printed, and each binary's median ratio of its wall
// and processor time to the first binary's in the same round (the machine may be busy:
// compare ratios, not seconds). Every round prints its pairs (each merge against
// that round's .import) with the merge's peak memory (ru_maxrss, the figure
// /usr/bin/time -v reports); each size then prints per binary the median
// ratio, the time per input line and, where the program reports them
// (QUELVAR_WRITER_STATEMENTS), the statements of the run per input line.
// Each file holds every record of the layout (tools/efdgen's full mix);
// --usual-records (or QUELVAR_BENCH_MIX=usual) generates only the generator's
// usual records, the mix of earlier measurements.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tools/efdgen/network.h"

extern char** environ;

namespace {

struct Measure {
  double seconds = 0;
  double cpu = 0;  // user + system seconds of the process
  long peakKb = 0;
  int status = -1;
};

// Runs argv (stdout to `out` when given), waits, and measures wall time and peak RSS.
Measure Run(const std::vector<std::string>& args, const std::string& stdinPath,
            const std::string& stdoutPath, const std::string& stderrPath = "") {
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  if (!stdinPath.empty()) posix_spawn_file_actions_addopen(&fa, 0, stdinPath.c_str(), O_RDONLY, 0);
  if (!stdoutPath.empty())
    posix_spawn_file_actions_addopen(&fa, 1, stdoutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (!stderrPath.empty())
    posix_spawn_file_actions_addopen(&fa, 2, stderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  auto t0 = std::chrono::steady_clock::now();
  pid_t pid = 0;
  Measure m;
  if (posix_spawnp(&pid, argv[0], &fa, nullptr, argv.data(), environ) != 0) {
    std::fprintf(stderr, "cannot start %s\n", argv[0]);
    return m;
  }
  int status = 0;
  rusage ru{};
  wait4(pid, &status, 0, &ru);
  m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  m.peakKb = ru.ru_maxrss;
  m.cpu = ru.ru_utime.tv_sec + ru.ru_stime.tv_sec + (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
  m.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  posix_spawn_file_actions_destroy(&fa);
  return m;
}

int64_t CountLinesOf(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  int64_t n = 0;
  std::string line;
  while (std::getline(in, line)) ++n;
  return n;
}

struct Row {
  int64_t inputLines = 0, outputLines = 0;
  Measure import, merge;                          // the medians (by time)
  std::vector<double> imports;                    // per round
  std::vector<double> importCpus;                 // processor seconds of each round's .import
  std::vector<std::vector<double>> merges;        // per binary, per round
  std::vector<std::vector<double>> cpus;          // processor seconds, per binary, per round
  std::vector<long> peakKb;                       // per binary, the highest of its rounds
  std::vector<long long> statements;              // per binary, of its last round (-1: not reported)
};

// The number after `label` in the text file `path`, or -1.
long long NumberAfter(const std::string& path, const std::string& label) {
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line))
    if (size_t at = line.find(label); at != std::string::npos) return std::atoll(line.c_str() + at + label.size());
  return -1;
}

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

Row RunSize(const std::string& dir, int establishments, int64_t lines, bool everyRecord,
            const std::vector<std::string>& binaries, int rounds) {
  Row row;
  std::filesystem::remove_all(dir);
  NetworkOptions options;
  options.establishments = establishments;
  options.targetLines = lines;
  options.seed = 7;
  options.everyRecord = everyRecord;
  std::vector<std::string> files = WriteNetwork(options, dir + "/in");
  for (const auto& f : files) row.inputLines += CountLinesOf(f);

  // (a) sqlite3's .import of every line into a one-column table.
  std::string script = dir + "/import.sql";
  {
    std::ofstream s(script);
    s << ".mode ascii\n.separator \"\\037\" \"\\n\"\nCREATE TABLE t(l TEXT);\n";
    for (const auto& f : files) s << ".import " << f << " t\n";
  }
  std::string db = dir + "/import.db";
  std::filesystem::create_directories(dir + "/out");
  std::string pathFile = dir + "/merged-path.txt";
  setenv("QUELVAR_WRITER_STATEMENTS", "1", 1);  // the merge prints its writers' statements per establishment
  row.merges.resize(binaries.size());
  row.cpus.resize(binaries.size());
  row.peakKb.assign(binaries.size(), 0);
  row.statements.assign(binaries.size(), -1);
  const std::string errFile = dir + "/merge-stderr.txt";
  for (int round = 0; round < rounds; ++round) {
    row.import = Run({"sqlite3", db}, script, "/dev/null");
    std::filesystem::remove(db);
    if (row.import.status != 0) return row;
    row.imports.push_back(row.import.seconds);
    row.importCpus.push_back(row.import.cpu);
    // (b) quelvar merge of the network, by each binary in turn.
    for (size_t b = 0; b < binaries.size(); ++b) {
      std::vector<std::string> args = {binaries[b], "merge", "--no-progress", "--output-dir", dir + "/out"};
      args.insert(args.end(), files.begin(), files.end());
      Measure m = Run(args, "", pathFile, errFile);
      if (m.status != 0) {
        row.merge = m;
        return row;
      }
      row.merges[b].push_back(m.seconds);
      row.cpus[b].push_back(m.cpu);
      row.peakKb[b] = std::max(row.peakKb[b], m.peakKb);
      row.statements[b] = NumberAfter(errFile, "statements of the run: ");
      if (b == 0) row.merge = m;
      std::printf("  round %d: import %.2f s (CPU %.2f s), binary %zu merge %.2f s (CPU %.2f s): ratio %.2f "
                  "(CPU %.2f), peak %.1f MB\n",
                  round + 1, row.import.seconds, row.import.cpu, b, m.seconds, m.cpu, m.seconds / row.import.seconds,
                  m.cpu / row.import.cpu, m.peakKb / 1024.0);
      std::fflush(stdout);
    }
  }
  std::ifstream p(pathFile);
  std::string merged;
  std::getline(p, merged);
  if (!merged.empty()) row.outputLines = CountLinesOf(merged);
  row.import.seconds = Median(row.imports);
  row.merge.seconds = Median(row.merges[0]);
  return row;
}

}  // namespace

int main(int argc, char** argv) {
  int64_t lines = 2000000;
  int establishments = 50;
  std::string dir = (std::filesystem::temp_directory_path() / "quelvar-e2e-bench").string();
  const char* mix = std::getenv("QUELVAR_BENCH_MIX");
  bool everyRecord = !(mix && std::string(mix) == "usual");
  std::vector<std::string> binaries;
  int rounds = 1;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--every-record") everyRecord = true;
    else if (a == "--usual-records") everyRecord = false;
    else if (i + 1 >= argc) break;
    else if (a == "--lines") lines = std::atoll(argv[++i]);
    else if (a == "--establishments") establishments = std::atoi(argv[++i]);
    else if (a == "--dir") dir = argv[++i];
    else if (a == "--binary") binaries.push_back(argv[++i]);
    else if (a == "--rounds") rounds = std::max(1, std::atoi(argv[++i]));
  }
  if (binaries.empty()) binaries.push_back(QUELVAR_BINARY);
  std::printf("mix: %s\n", everyRecord ? "every record of the layout" : "the generator's usual records");
  std::printf("%-6s %10s %10s %10s %8s %12s %10s %10s\n", "size", "in lines", "import s", "merge s",
              "ratio", "out lines/s", "peak MB", "s/M lines");
  double perLine[2] = {0, 0};
  std::vector<std::array<double, 2>> perLineOf(binaries.size(), {0, 0});  // per binary: seconds per input line
  int k = 0;
  for (int64_t size : {lines / 2, lines}) {
    Row r = RunSize(dir, establishments, size, everyRecord, binaries, rounds);
    if (r.merge.status != 0 || r.import.status != 0) {
      std::fprintf(stderr, "run failed: sqlite3 status %d, quelvar status %d\n", r.import.status,
                   r.merge.status);
      return 1;
    }
    perLine[k] = r.merge.seconds / r.inputLines;
    std::printf("%-6s %10lld %10.2f %10.2f %8.2f %12.0f %10.1f %10.2f\n", k == 0 ? "half" : "full",
                static_cast<long long>(r.inputLines), r.import.seconds, r.merge.seconds,
                r.merge.seconds / r.import.seconds, r.outputLines / r.merge.seconds,
                r.merge.peakKb / 1024.0, perLine[k] * 1e6);
    for (size_t b = 0; b < binaries.size(); ++b) {
      // Each round's merge against the .import of the same round.
      std::vector<double> ratios, cpuRatios, paired, pairedCpu;
      for (size_t i = 0; i < r.merges[b].size(); ++i) {
        ratios.push_back(r.merges[b][i] / r.imports[i]);
        cpuRatios.push_back(r.cpus[b][i] / r.importCpus[i]);
        paired.push_back(r.merges[b][i] / r.merges[0][i]);
        pairedCpu.push_back(r.cpus[b][i] / r.cpus[0][i]);
      }
      perLineOf[b][k] = Median(r.merges[b]) / r.inputLines;
      std::printf("  binary %zu %s: median merge %.2f s (CPU %.2f s), median ratio to import %.2f (CPU %.2f), "
                  "/ binary 0 (paired) %.3f, CPU %.3f, peak %.1f MB, %.2f us per input line",
                  b, binaries[b].c_str(), Median(r.merges[b]), Median(r.cpus[b]), Median(ratios), Median(cpuRatios),
                  Median(paired),
                  Median(pairedCpu), r.peakKb[b] / 1024.0, perLineOf[b][k] * 1e6);
      if (r.statements[b] >= 0)
        std::printf(", %.2f statements per input line", static_cast<double>(r.statements[b]) / r.inputLines);
      std::printf("\n");
    }
    ++k;
  }
  std::printf("time per line, full / half: %.2f\n", perLine[1] / perLine[0]);
  for (size_t b = 0; b < binaries.size(); ++b)
    std::printf("  binary %zu: %.2f us per line at half size, %.2f at full size\n", b, perLineOf[b][0] * 1e6,
                perLineOf[b][1] * 1e6);
  std::filesystem::remove_all(dir);
  return 0;
}
