// File number 1: the merged file is written under a temporary name in its own
// folder and renamed over the final name only once it is complete, so that a
// failed run never leaves a partial file under the final name and never
// damages a file of that name written earlier.
#include "staging/output_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <system_error>

#include "staging/signal_cleanup.h"

#ifdef _WIN32
#include <process.h>
#define QUELVAR_GETPID _getpid
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#define QUELVAR_GETPID getpid
#endif

namespace fs = std::filesystem;

namespace {

constexpr size_t kBufferSize = 1 << 20;
constexpr std::string_view kPartial = ".partial-";

std::string Cause(int err) { return err ? std::strerror(err) : "erro desconhecido"; }

// Six random letters and digits for a temporary name.
std::string RandomTag() {
  static constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  static std::mt19937_64 rng{std::random_device{}() ^ static_cast<uint64_t>(QUELVAR_GETPID())};
  std::string tag(6, 'x');
  for (char& c : tag) c = kChars[rng() % (sizeof kChars - 1)];
  return tag;
}

// Creates `path` as a new file for writing: fails when anything, a link
// included, already has that name. Null with errno set on failure.
std::FILE* CreateExclusive(const std::string& path) {
#ifdef _WIN32
  return std::fopen(path.c_str(), "wbx");
#else
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  std::FILE* f = ::fdopen(fd, "wb");
  if (!f) {
    int err = errno;
    ::close(fd);
    ::unlink(path.c_str());
    errno = err;
  }
  return f;
#endif
}

// The process number of a temporary's name ".<name>.partial-<pid>" or
// ".<name>.partial-<pid>-<tag>"; 0 when the name is not such a temporary.
long PartialOwner(const std::string& name) {
  if (name.size() < 2 || name[0] != '.') return 0;
  size_t at = name.rfind(kPartial);
  if (at == std::string::npos || at < 2) return 0;
  size_t p = at + kPartial.size();
  long pid = 0;
  size_t digits = 0;
  while (p < name.size() && name[p] >= '0' && name[p] <= '9' && digits < 10) {
    pid = pid * 10 + (name[p++] - '0');
    ++digits;
  }
  if (digits == 0 || pid <= 0) return 0;
  if (p == name.size()) return pid;
  if (name[p] != '-' || name.size() - p - 1 != 6) return 0;
  return pid;
}

// True when process `pid` is known not to run any more.
bool ProcessGone(long pid) {
#ifdef _WIN32
  (void)pid;
  return false;
#else
  return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
#endif
}

}  // namespace

int RemoveStalePartials(const std::string& folder) {
  int removed = 0;
  std::error_code ec;
  fs::directory_iterator it(folder.empty() ? fs::path(".") : fs::path(folder), ec);
  if (ec) return 0;
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    if (ec) break;
    long pid = PartialOwner(it->path().filename().string());
    if (pid == 0 || pid == static_cast<long>(QUELVAR_GETPID()) || !ProcessGone(pid)) continue;
    std::error_code type;
    fs::file_status st = it->symlink_status(type);
    if (type || fs::is_directory(st)) continue;  // a link is removed, never what it points to
    std::error_code ignored;
    if (fs::remove(it->path(), ignored)) ++removed;
  }
  return removed;
}

OutputFile::~OutputFile() { Abort(); }

void OutputFile::Open(const std::string& finalPath) {
  Abort();
  fs::path final(finalPath);
  std::string name = final.filename().string();
  if (name.empty())
    throw std::runtime_error("Não foi possível criar o arquivo \"" + finalPath + "\": nome de arquivo vazio");
  RemoveStalePartials(final.parent_path().string());
  const std::string stem = "." + name + std::string(kPartial) + std::to_string(QUELVAR_GETPID()) + "-";
  std::FILE* f = nullptr;
  std::string temp;
  int err = 0;
  for (int attempt = 0; attempt < 100 && !f; ++attempt) {
    temp = (final.parent_path() / (stem + RandomTag())).string();
    errno = 0;
    f = CreateExclusive(temp);
    err = errno;
    if (!f && err != EEXIST) break;
  }
  if (!f)
    throw std::runtime_error("Não foi possível criar o arquivo \"" + finalPath + "\" na pasta \"" +
                             final.parent_path().string() + "\": " + Cause(err));
  std::setvbuf(f, nullptr, _IOFBF, kBufferSize);
  f_ = f;
  final_ = finalPath;
  temp_ = temp;
  signalSlot_ = RemoveOnSignal(temp_);
  lines_ = 0;
}

void OutputFile::WriteLine(std::string_view line) {
  if (!f_) throw std::logic_error("OutputFile::WriteLine: no file is open");
  if (std::fwrite(line.data(), 1, line.size(), f_) != line.size() || std::fwrite("\r\n", 1, 2, f_) != 2) {
    int err = errno;
    throw std::runtime_error("Erro ao gravar o arquivo \"" + final_ + "\": " + Cause(err));
  }
  ++lines_;
}

void OutputFile::Finish() {
  if (!f_) {
    if (temp_.empty()) throw std::logic_error("OutputFile::Finish: no file is open");
    return;
  }
  errno = 0;
  bool failed = std::fflush(f_) != 0 || std::ferror(f_);
  int err = errno;
#ifndef _WIN32
  if (!failed && ::fsync(::fileno(f_)) != 0 && errno != EINVAL) {
    failed = true;
    err = errno;
  }
#endif
  if (std::fclose(f_) != 0 && !failed) {
    failed = true;
    err = errno;
  }
  f_ = nullptr;
  if (failed) {
    Abort();
    throw std::runtime_error("Erro ao gravar o arquivo \"" + final_ + "\": " + Cause(err));
  }
}

void OutputFile::MoveTo(const std::string& path) {
  Finish();
  std::error_code ec;
  fs::rename(temp_, path, ec);
  if (ec) {
    Abort();
    throw std::runtime_error("Não foi possível gravar o arquivo \"" + path + "\": " + ec.message());
  }
  Forget();
}

void OutputFile::Commit() {
  if (!f_ && temp_.empty()) throw std::logic_error("OutputFile::Commit: no file is open");
  MoveTo(final_);
}

void OutputFile::KeepAs(const std::string& path) {
  if (!f_ && temp_.empty()) throw std::logic_error("OutputFile::KeepAs: no file is open");
  MoveTo(path);
}

void OutputFile::Forget() {
  ForgetOnSignal(signalSlot_);
  signalSlot_ = -1;
  temp_.clear();
}

void OutputFile::Abort() {
  if (f_) {
    std::fclose(f_);
    f_ = nullptr;
  }
  if (!temp_.empty()) {
    std::error_code ignored;
    fs::remove(temp_, ignored);
    Forget();
  }
}

OutputFile& FileNumber1() {
  static OutputFile file;
  return file;
}
