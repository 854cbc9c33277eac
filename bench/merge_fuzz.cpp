// A mutation fuzzer of the whole program: import + merge + check. Seeds are the
// sample network and the hostile cases the tests carry (header values that
// would leave the folder, template markers, codes beyond INT, truncated files,
// missing or empty 0140, non-numeric amounts); each round mutates the lines of
// one file of the network (bytes, fields, whole lines), runs `quelvar merge
// --report` on the three files in a fresh folder and judges the outcome:
//   exit 0  the merged file must exist, pass `quelvar check`, and leave no
//           temporary behind; the ledger must show no line not written;
//   exit 3  the same, the ledger showing lines refused and stderr saying so;
//   exit 1  a message on stderr and no merged file under its final name;
//   else    (a signal, exit 2, a timeout) a finding, kept in the findings folder.
// Usage: merge_fuzz [--seconds N] [--seed N] [--samples DIR] [--work DIR] [--quelvar PATH]
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "bench/fuzz_verdict.h"

namespace fs = std::filesystem;

namespace {

std::string ReadBytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteBytes(const fs::path& p, const std::string& bytes) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out << bytes;
}

std::vector<std::string> Lines(const std::string& bytes) {
  std::vector<std::string> lines;
  for (size_t at = 0; at < bytes.size();) {
    size_t end = bytes.find("\r\n", at);
    if (end == std::string::npos) end = bytes.size();
    lines.push_back(bytes.substr(at, end - at));
    at = end + 2;
  }
  return lines;
}

std::string Join(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& l : lines) out += l + "\r\n";
  return out;
}

struct Outcome {
  int exitCode = -1;  // -1: did not exit normally
  int signal = 0;
  bool timedOut = false;
  std::string err;
};

// Runs `args` with stdout and stderr into files of `dir`, killed after `limit` seconds.
Outcome Run(const std::vector<std::string>& args, const fs::path& dir, int limit) {
  Outcome o;
  const fs::path errPath = dir / "stderr.txt", outPath = dir / "stdout.txt";
  pid_t pid = fork();
  if (pid == 0) {
    std::freopen(outPath.c_str(), "w", stdout);
    std::freopen(errPath.c_str(), "w", stderr);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(limit);
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      o.timedOut = true;
      break;
    }
    usleep(2000);
  }
  if (WIFEXITED(status)) o.exitCode = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) o.signal = WTERMSIG(status);
  o.err = ReadBytes(errPath);
  return o;
}

// Texts that broke or fooled the program before.
const std::vector<std::string> kHostile = {
    "{TOP}", "{COLUMNS}", "{NAMECOL}", "{SELECTSUM}", "{Tipo}", "'", "''", "%", "_", "x/../../../escaped",
    std::string("1\0", 2), "2147483647", "12345678901234567890", "-1", "1,5", "1.5", "1O0,00", "", " ",
    "\xC7\xC3O", "|", "0001", "99999999999999", "NaN", "1e308", "9999999999999999999999999,99"};

class Mutator {
 public:
  explicit Mutator(uint64_t seed) : rng_(seed) {}
  size_t Pick(size_t n) { return n ? std::uniform_int_distribution<size_t>(0, n - 1)(rng_) : 0; }

  std::string Mutate(const std::string& bytes) {
    std::vector<std::string> lines = Lines(bytes);
    const int edits = 1 + static_cast<int>(Pick(3));
    for (int e = 0; e < edits && !lines.empty(); ++e) {
      size_t at = Pick(lines.size());
      switch (Pick(7)) {
        case 0: lines.erase(lines.begin() + static_cast<long>(at)); break;                    // drop a line
        case 1: lines.insert(lines.begin() + static_cast<long>(at), lines[at]); break;        // repeat it
        case 2: lines.resize(at + 1); break;                                                  // truncate
        case 3: if (!lines[at].empty()) lines[at][Pick(lines[at].size())] ^= static_cast<char>(1 << Pick(8)); break;
        case 4: std::swap(lines[at], lines[Pick(lines.size())]); break;                       // move a line
        default: lines[at] = ReplaceField(lines[at]); break;                                  // hostile field
      }
    }
    return Join(lines);
  }

 private:
  std::string ReplaceField(const std::string& line) {
    std::vector<size_t> bars;
    for (size_t i = 0; i < line.size(); ++i)
      if (line[i] == '|') bars.push_back(i);
    if (bars.size() < 3) return line;
    size_t k = 1 + Pick(bars.size() - 2);  // never the record code's opening bar
    return line.substr(0, bars[k] + 1) + kHostile[Pick(kHostile.size())] + line.substr(bars[k + 1]);
  }
  std::mt19937_64 rng_;
};

// The seeds: the sample network and its hostile variants, as file triples.
std::vector<std::vector<std::string>> Seeds(const fs::path& samples) {
  std::vector<std::string> net = {ReadBytes(samples / "1-matriz.txt"), ReadBytes(samples / "2-filial.txt"),
                                  ReadBytes(samples / "3-filial.txt")};
  auto edit = [&](int file, const std::function<std::string(const std::string&)>& f) {
    std::vector<std::string> lines = Lines(net[file]), out;
    for (const std::string& l : lines) {
      std::string e = f(l);
      if (!e.empty()) out.push_back(e);
    }
    std::vector<std::string> seed = net;
    seed[file] = Join(out);
    return seed;
  };
  auto field = [](const std::string& code, int k, const std::string& value) {
    return [=](const std::string& l) {
      if (l.rfind("|" + code + "|", 0) != 0) return l;
      size_t start = 0;
      for (int i = 0; i < k; ++i) start = l.find('|', start) + 1;
      size_t end = l.find('|', start);
      return l.substr(0, start) + value + l.substr(end);
    };
  };
  std::vector<std::vector<std::string>> seeds = {net};
  seeds.push_back(edit(0, field("0000", 9, "42765521000180X")));
  seeds.push_back(edit(0, field("0000", 9, "42765521000199")));
  seeds.push_back(edit(0, field("0000", 7, "x/../../../escaped")));
  seeds.push_back(edit(1, field("0140", 2, "2147483647")));
  seeds.push_back(edit(1, field("0140", 2, "12345678901234567890")));
  seeds.push_back(edit(1, field("0140", 4, "42765521{TOP}")));
  seeds.push_back(edit(1, field("0150", 2, "{COLUMNS}")));
  seeds.push_back(edit(0, field("M200", 2, "1O0,00")));
  seeds.push_back(edit(0, [](const std::string& l) { return l.rfind("|0140|", 0) == 0 ? std::string("|0140|") : l; }));
  seeds.push_back(edit(1, [](const std::string& l) { return l.rfind("|0140|", 0) == 0 ? std::string() : l; }));
  std::vector<std::string> truncated = net;
  std::vector<std::string> lines = Lines(net[1]);
  lines.resize(40);
  truncated[1] = Join(lines);
  seeds.push_back(truncated);
  return seeds;
}

}  // namespace

int main(int argc, char** argv) {
  int seconds = 60;
  uint64_t seed = 1;
  fs::path samples = fs::path(QUELVAR_SOURCE_DIR) / "samples/network";
  fs::path work = fs::temp_directory_path() / "quelvar-fuzz";
  std::string quelvar = QUELVAR_BINARY;
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string a = argv[i];
    if (a == "--seconds") seconds = std::atoi(argv[i + 1]);
    else if (a == "--seed") seed = std::strtoull(argv[i + 1], nullptr, 10);
    else if (a == "--samples") samples = argv[i + 1];
    else if (a == "--work") work = argv[i + 1];
    else if (a == "--quelvar") quelvar = argv[i + 1];
  }
  fs::remove_all(work / "round");
  fs::create_directories(work / "findings");
  const auto seeds = Seeds(samples);
  Mutator mutator(seed);
  std::map<std::string, int64_t> counts;
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  int64_t round = 0;
  while (std::chrono::steady_clock::now() < end) {
    ++round;
    const fs::path dir = work / "round";
    fs::remove_all(dir);
    fs::create_directories(dir / "out");
    std::vector<std::string> files = seeds[mutator.Pick(seeds.size())];
    if (round > static_cast<int64_t>(seeds.size())) {
      size_t which = mutator.Pick(files.size());
      files[which] = mutator.Mutate(files[which]);
    } else {
      files = seeds[static_cast<size_t>(round - 1)];  // every seed once, as it is
    }
    std::vector<std::string> args = {quelvar, "merge", "--no-progress", "--report", (dir / "ledger.csv").string(),
                                     "--output-dir", (dir / "out").string()};
    for (size_t i = 0; i < files.size(); ++i) {
      fs::path p = dir / ("in" + std::to_string(i + 1) + ".txt");
      WriteBytes(p, files[i]);
      args.push_back(p.string());
    }
    Outcome o = Run(args, dir, 120);
    FuzzRound judged{o.exitCode, o.signal, o.timedOut, o.err};
    for (const auto& e : fs::directory_iterator(dir / "out")) {
      std::string name = e.path().filename().string();
      if (name.ends_with("_Unificado.txt")) ++judged.outputs;
      else if (name.find(".partial-") != std::string::npos) judged.leftovers = true;
    }
    if ((o.exitCode == 0 || o.exitCode == 3) && judged.outputs == 1 && !o.timedOut && !o.signal) {
      for (const auto& e : fs::directory_iterator(dir / "out"))
        if (e.path().filename().string().ends_with("_Unificado.txt")) {
          Outcome check = Run({quelvar, "check", e.path().string()}, dir, 120);
          judged.checkExitCode = check.exitCode;
          judged.checkErr = check.err;
        }
      judged.ledger = ReadBytes(dir / "ledger.csv");
    }
    const std::string verdict = JudgeFuzzRound(judged);
    ++counts[verdict];
    if (verdict.rfind("finding", 0) == 0) {
      fs::path keep = work / "findings" / ("round-" + std::to_string(round));
      fs::create_directories(keep);
      for (const auto& e : fs::directory_iterator(dir))
        if (e.is_regular_file()) fs::copy_file(e.path(), keep / e.path().filename(), fs::copy_options::overwrite_existing);
      std::cerr << "round " << round << ": " << verdict << " (kept in " << keep.string() << ")\n";
    }
  }
  std::cout << round << " runs in " << seconds << " s (seed " << seed << ", " << seeds.size() << " seeds)\n";
  for (const auto& [verdict, n] : counts) std::cout << "  " << n << "  " << verdict << "\n";
  int64_t findings = 0;
  for (const auto& [verdict, n] : counts)
    if (verdict.rfind("finding", 0) == 0) findings += n;
  return findings == 0 ? 0 : 1;
}
