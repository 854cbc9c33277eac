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
// The program's own temporaries start with this: no other program names its
// files so, which lets the sweep of stale temporaries leave every other file alone.
constexpr std::string_view kOwnPrefix = ".quelvar-";
constexpr size_t kTagSize = 6;

std::string Cause(int err) { return err ? SystemErrorText(err) : "erro desconhecido"; }

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

// The process number of one of the program's temporaries
// ".quelvar-<name>.partial-<pid>-<tag>" (tag: six lowercase letters or
// digits); 0 when the name is not of that shape.
long PartialOwner(const std::string& name) {
  if (name.compare(0, kOwnPrefix.size(), kOwnPrefix) != 0) return 0;
  size_t at = name.rfind(kPartial);
  if (at == std::string::npos || at <= kOwnPrefix.size()) return 0;
  size_t p = at + kPartial.size();
  long pid = 0;
  size_t digits = 0;
  while (p < name.size() && name[p] >= '0' && name[p] <= '9' && digits < 10) {
    pid = pid * 10 + (name[p++] - '0');
    ++digits;
  }
  if (digits == 0 || pid <= 0) return 0;
  if (p >= name.size() || name[p] != '-' || name.size() - p - 1 != kTagSize) return 0;
  for (size_t i = p + 1; i < name.size(); ++i)
    if (!((name[i] >= 'a' && name[i] <= 'z') || (name[i] >= '0' && name[i] <= '9'))) return 0;
  return pid;
}

// True when `path` is a plain file (not a link) owned by the user running
// the program: only such a file can be a temporary this program left.
bool OwnPlainFile(const fs::path& path) {
#ifdef _WIN32
  std::error_code ec;
  return fs::is_regular_file(fs::symlink_status(path, ec));
#else
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid();
#endif
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
    if (!OwnPlainFile(it->path())) continue;
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
    throw FileWriteError("Não foi possível criar o arquivo \"" + finalPath + "\": nome de arquivo vazio",
                         "nome de arquivo vazio");
  RemoveStalePartials(final.parent_path().string());
  const std::string stem = std::string(kOwnPrefix) + name + std::string(kPartial) + std::to_string(QUELVAR_GETPID()) + "-";
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
    throw FileWriteError("Não foi possível criar o arquivo \"" + finalPath + "\" na pasta \"" +
                             final.parent_path().string() + "\": " + Cause(err),
                         Cause(err));
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
    throw FileWriteError("Erro ao gravar o arquivo \"" + final_ + "\": " + Cause(err), Cause(err));
  }
  ++lines_;
}

void OutputFile::Write(std::string_view bytes) {
  if (!f_) throw std::logic_error("OutputFile::Write: no file is open");
  if (std::fwrite(bytes.data(), 1, bytes.size(), f_) != bytes.size()) {
    int err = errno;
    throw FileWriteError("Erro ao gravar o arquivo \"" + final_ + "\": " + Cause(err), Cause(err));
  }
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
    throw FileWriteError("Erro ao gravar o arquivo \"" + final_ + "\": " + Cause(err), Cause(err));
  }
}

void OutputFile::MoveTo(const std::string& path) {
  Finish();
  std::error_code ec;
  fs::rename(temp_, path, ec);
  if (ec) {
    Abort();
    throw FileWriteError("Não foi possível gravar o arquivo \"" + path + "\": " + Cause(ec.value()),
                         Cause(ec.value()));
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

void ReplaceFileContents(const std::string& path, std::string_view bytes) {
  std::error_code ec;
  const fs::file_status st = fs::symlink_status(path, ec);
  if (fs::is_symlink(st)) {
    const std::string cause = "é um link simbólico, e o programa não grava através de links";
    throw FileWriteError("O arquivo \"" + path + "\" " + cause, cause);
  }
  if (fs::is_directory(st)) throw FileWriteError("\"" + path + "\" é uma pasta, não um arquivo", "é uma pasta");
  OutputFile file;
  file.Open(path);
  file.Write(bytes);
  file.Commit();
}

namespace {

// A path with its folder resolved (links followed): the file itself when it
// exists, otherwise its resolved folder and its own name.
fs::path Resolved(const fs::path& p) {
  std::error_code ec;
  fs::path whole = fs::canonical(p, ec);
  if (!ec) return whole;
  fs::path folder = p.has_parent_path() ? p.parent_path() : fs::path(".");
  fs::path parent = fs::weakly_canonical(folder, ec);
  if (ec) parent = fs::absolute(folder, ec).lexically_normal();
  return parent / p.filename();
}

}  // namespace

bool SameFile(const std::string& a, const std::string& b) {
  if (a.empty() || b.empty()) return false;
#ifndef _WIN32
  struct stat sa, sb;
  const bool hasA = ::stat(a.c_str(), &sa) == 0, hasB = ::stat(b.c_str(), &sb) == 0;
  if (hasA && hasB) return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
#else
  std::error_code ec;
  if (fs::exists(a, ec) && fs::exists(b, ec)) return fs::equivalent(a, b, ec);
#endif
  return Resolved(a) == Resolved(b);
}

std::string SystemErrorText(int errnum) {
  switch (errnum) {
    case ENOENT: return "a pasta ou o arquivo não existe";
    case EACCES:
    case EPERM: return "permissão negada";
    case EROFS: return "o disco é somente para leitura";
    case ENOSPC: return "não há espaço livre no disco";
#ifdef EDQUOT
    case EDQUOT: return "a cota de disco foi excedida";
#endif
    case ENOTDIR: return "o caminho não é uma pasta";
    case EISDIR: return "o caminho é uma pasta";
    case EEXIST: return "o arquivo já existe";
    case EIO: return "erro de leitura ou gravação no disco";
    case ENAMETOOLONG: return "o nome do arquivo é longo demais";
    case EMFILE:
    case ENFILE: return "há arquivos abertos demais";
    case ELOOP: return "o caminho passa por links simbólicos demais (ou é um link)";
    case EFBIG: return "o arquivo ficaria maior do que o sistema de arquivos permite";
    case EBUSY:
    case ETXTBSY: return "o arquivo ou a pasta está em uso por outro programa";
    case ENOMEM: return "não há memória suficiente";
    case EINVAL: return "o nome ou a operação não é aceito por este sistema de arquivos";
    case ENODEV:
    case ENXIO: return "o dispositivo não existe ou não está disponível";
    case EXDEV: return "a operação passaria de um disco para outro";
    case ENOTEMPTY: return "a pasta não está vazia";
    case EAGAIN: return "o recurso está temporariamente indisponível; tente de novo";
    case EINTR: return "a operação foi interrompida";
#ifdef ESTALE
    case ESTALE: return "a pasta de rede deixou de estar disponível";
#endif
#ifdef ETIMEDOUT
    case ETIMEDOUT: return "o tempo de espera se esgotou (pasta de rede?)";
#endif
    default: return "erro do sistema número " + std::to_string(errnum) + " (" + std::strerror(errnum) + ")";
  }
}

std::string SystemErrorText(const std::error_code& ec) {
  if (!ec) return "erro desconhecido";
  if (ec.category() == std::generic_category() || ec.category() == std::system_category())
    return SystemErrorText(ec.value());
  return ec.message();
}

OutputFile& FileNumber1() {
  static OutputFile file;
  return file;
}
