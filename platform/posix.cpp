// The Linux (POSIX) side of the platform helpers: the calls the engine has
// always made, unchanged.
#ifndef _WIN32

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <vector>

#include "platform/console.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/stop.h"

namespace fs = std::filesystem;

namespace platform {

fs::path PathFromUtf8(const std::string& utf8) { return fs::path(utf8); }

std::string Utf8FromPath(const fs::path& path) { return path.string(); }

std::string FileNameOf(const std::string& utf8) { return fs::path(utf8).filename().string(); }

std::FILE* OpenFile(const std::string& utf8, const char* mode) { return std::fopen(utf8.c_str(), mode); }

namespace {
FileKind KindOf(mode_t mode) {
  if (S_ISREG(mode)) return FileKind::Regular;
  if (S_ISDIR(mode)) return FileKind::Folder;
  if (S_ISFIFO(mode)) return FileKind::Fifo;
  if (S_ISCHR(mode) || S_ISBLK(mode)) return FileKind::Device;
  if (S_ISSOCK(mode)) return FileKind::Socket;
  return FileKind::Other;
}
}  // namespace

std::FILE* OpenRegularFile(const std::string& utf8, FileKind& kind) {
  kind = FileKind::Regular;
  struct stat st;
  // Looked at before opening too: opening a FIFO or a device may block or
  // act on the device.
  if (::stat(utf8.c_str(), &st) == 0 && (kind = KindOf(st.st_mode)) != FileKind::Regular) return nullptr;
  // O_NONBLOCK: should the name now be a FIFO, opening it does not wait for a writer.
  const int fd = ::open(utf8.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  if (::fstat(fd, &st) != 0 || (kind = KindOf(st.st_mode)) != FileKind::Regular) {
    const int err = errno;
    ::close(fd);
    errno = err;
    return nullptr;
  }
  // A regular file is read in the ordinary (blocking) way.
  if (const int flags = ::fcntl(fd, F_GETFL); flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  std::FILE* f = ::fdopen(fd, "rb");
  if (!f) {
    const int err = errno;
    ::close(fd);
    errno = err;
  }
  return f;
}

std::FILE* CreateNewFile(const std::string& utf8, bool privateFile) {
  int fd = ::open(utf8.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, privateFile ? 0600 : 0666);
  if (fd < 0) return nullptr;
  std::FILE* f = ::fdopen(fd, "wb");
  if (!f) {
    int err = errno;
    ::close(fd);
    ::unlink(utf8.c_str());
    errno = err;
  }
  return f;
}

std::error_code ReplaceByRename(const std::string& from, const std::string& to) {
  std::error_code ec;
  fs::rename(from, to, ec);
  return ec;
}

int SyncToDisk(std::FILE* f) {
  if (::fsync(::fileno(f)) != 0 && errno != EINVAL) return errno;
  return 0;
}

bool IsFolder(const std::string& utf8) {
  struct stat st;
  return ::stat(utf8.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsOwnPlainFile(const fs::path& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid();
}

bool SameExistingFile(const std::string& a, const std::string& b, bool& bothExist) {
  struct stat sa, sb;
  bothExist = ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0;
  return bothExist && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

int ProbeWritableFolder(const std::string& folder) {
  std::string name = (fs::path(folder) / ".quelvar-XXXXXX").string();
  std::vector<char> buf(name.begin(), name.end());
  buf.push_back('\0');
  int fd = ::mkstemp(buf.data());
  if (fd < 0) return errno;
  ::close(fd);
  ::unlink(buf.data());
  return 0;
}

bool RemoveFileNow(const char* utf8) { return ::unlink(utf8) == 0; }

bool LocalTime(std::time_t t, std::tm& out) { return ::localtime_r(&t, &out) != nullptr; }

long CurrentProcessId() { return static_cast<long>(::getpid()); }

bool ProcessGone(long pid) { return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH; }

std::vector<std::string> Utf8Arguments(int argc, char** argv) { return std::vector<std::string>(argv, argv + argc); }

std::optional<std::string> Utf8Environment(const char* name) {
  const char* value = std::getenv(name);
  if (!value) return std::nullopt;
  return std::string(value);
}

void PrepareConsole() {}

bool StderrIsTerminal() { return ::isatty(STDERR_FILENO) != 0; }

namespace {

void (*g_cleanup)() = nullptr;

extern "C" void RunCleanupAndDie(int sig) {
  if (g_cleanup) g_cleanup();
  std::signal(sig, SIG_DFL);
  std::raise(sig);
}

}  // namespace

void OnStop(void (*cleanup)()) {
  if (g_cleanup) return;
  g_cleanup = cleanup;
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
    auto previous = std::signal(sig, RunCleanupAndDie);
    if (previous == SIG_IGN) std::signal(sig, SIG_IGN);
  }
}

}  // namespace platform

#endif  // !_WIN32
