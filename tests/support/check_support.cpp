#include "tests/support/check_support.h"

#include <filesystem>

#ifndef _WIN32  // Windows: RunQuelvar lives in run_quelvar_windows.cpp
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <fstream>
#include <map>
#include <sstream>

#include <gtest/gtest.h>

#include "checker/efd_check.h"
#include "platform/files.h"

void ExpectValidEfd(const std::string& path) {
  CheckReport report;
  std::string error;
  if (!CheckEfdFile(path, report, error)) {
    ADD_FAILURE() << "cannot check " << path << ": " << error;
    return;
  }
  if (!report.Valid()) {
    std::ostringstream text;
    PrintCheckReport(report, text);
    ADD_FAILURE() << path << " is not a valid EFD file:\n" << text.str();
  }
}

std::string CheckFindings(const std::string& path) {
  CheckReport report;
  std::string error;
  if (!CheckEfdFile(path, report, error)) return "unreadable: " + error;
  std::ostringstream text;
  for (const CheckProblem& p : report.problems)
    text << "line " << p.line << " " << p.code << ": " << (p.warning ? "warning: " : "") << p.message << "\n";
  return text.str();
}

#ifndef _WIN32
namespace {

// Everything left to read on `fd`; closes it.
std::string ReadAll(int fd) {
  std::string s;
  char buf[65536];
  ssize_t n;
  while ((n = read(fd, buf, sizeof buf)) > 0) s.append(buf, static_cast<size_t>(n));
  close(fd);
  return s;
}

}  // namespace

ProcessResult RunQuelvar(const std::vector<std::string>& args, int timeoutSeconds) {
  ProcessResult result;
  // stdout and stderr go to temporary files, so that neither pipe can fill
  // up and block the child while the other is being read.
  char outName[] = "/tmp/quelvar-out-XXXXXX";
  char errName[] = "/tmp/quelvar-err-XXXXXX";
  int outFd = mkstemp(outName), errFd = mkstemp(errName);
  if (outFd < 0 || errFd < 0) {
    ADD_FAILURE() << "cannot create temporary files";
    return result;
  }
  std::vector<std::string> argv = {QUELVAR_BINARY};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> cargs;
  for (std::string& a : argv) cargs.push_back(a.data());
  cargs.push_back(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    dup2(outFd, 1);
    dup2(errFd, 2);
    execv(cargs[0], cargs.data());
    _exit(127);
  }
  int status = 0;
  if (pid > 0 && timeoutSeconds > 0) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    while (waitpid(pid, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        result.timedOut = true;
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  } else if (pid > 0) {
    waitpid(pid, &status, 0);
  }
  lseek(outFd, 0, SEEK_SET);
  lseek(errFd, 0, SEEK_SET);
  result.out = ReadAll(outFd);
  result.err = ReadAll(errFd);
  unlink(outName);
  unlink(errName);
  if (pid < 0) {
    ADD_FAILURE() << "cannot start " << QUELVAR_BINARY;
    return result;
  }
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

#endif  // !_WIN32

MergeResult RunMerge(const std::vector<std::string>& files, const std::string& outDir,
                     const std::vector<std::string>& options) {
  std::vector<std::string> args = {"merge", "--no-progress"};
  args.insert(args.end(), options.begin(), options.end());
  args.insert(args.end(), {"--output-dir", outDir});
  args.insert(args.end(), files.begin(), files.end());
  MergeResult r;
  static_cast<ProcessResult&>(r) = RunQuelvar(args);
  std::error_code error;
  for (const auto& e : std::filesystem::directory_iterator(outDir, error))
    if (e.path().string().ends_with("_Unificado.txt")) r.file = e.path().string();
  return r;
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(platform::PathFromUtf8(path), std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(platform::PathFromUtf8(path), std::ios::binary | std::ios::trunc);
  out << bytes;
  if (!out) ADD_FAILURE() << "cannot write " << path;
}

std::vector<std::string> WithBlock9(std::vector<std::string> body) {
  std::vector<std::string> order;
  std::map<std::string, int> count;
  body.push_back("|9001|0|");
  for (const std::string& l : body)
    if (count[l.substr(1, 4)]++ == 0) order.push_back(l.substr(1, 4));
  const size_t block9 = 1 + order.size() + 3 + 2;
  for (const std::string& c : order) body.push_back("|9900|" + c + "|" + std::to_string(count[c]) + "|");
  body.push_back("|9900|9900|" + std::to_string(order.size() + 3) + "|");
  body.push_back("|9900|9990|1|");
  body.push_back("|9900|9999|1|");
  body.push_back("|9990|" + std::to_string(block9) + "|");
  body.push_back("|9999|" + std::to_string(body.size() + 1) + "|");
  return body;
}

std::vector<std::string> Recounted(const std::vector<std::string>& lines) {
  std::vector<std::string> body;
  std::map<char, int> perBlock;
  for (const std::string& l : lines) {
    if (l.size() < 6 || l[1] == '9') continue;
    const int n = ++perBlock[l[1]];
    body.push_back(l.compare(2, 4, "990|") == 0 ? "|" + l.substr(1, 4) + "|" + std::to_string(n) + "|" : l);
  }
  return WithBlock9(std::move(body));
}

void SampleNetworkTest::SetUp() {
  if (!std::filesystem::exists(std::string(QUELVAR_SOURCE_DIR) + "/samples/network"))
    GTEST_SKIP() << "samples/network is missing";
  if (!std::filesystem::exists(QUELVAR_BINARY)) GTEST_SKIP() << "quelvar not built";
}

std::string SampleNetworkTest::Sample(int i) {
  static const char* kNames[] = {"1-matriz.txt", "2-filial.txt", "3-filial.txt"};
  return std::string(QUELVAR_SOURCE_DIR) + "/samples/network/" + kNames[i];
}
