// File number 1: the merged file is written under a temporary name in its own
// folder and renamed over the final name only once it is complete, so that a
// failed run never leaves a partial file under the final name and never
// damages a file of that name written earlier.
#include "staging/output_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <random>
#include <stdexcept>
#include <system_error>

#include "platform/files.h"
#include "platform/process.h"
#include "staging/signal_cleanup.h"

namespace fs = std::filesystem;

namespace {

constexpr size_t kBufferSize = 1 << 20;
constexpr std::string_view kPartial = ".partial-";
// The program's own temporaries start with this: no other program names its
// files so, which lets the sweep of stale temporaries leave every other file alone.
constexpr std::string_view kOwnPrefix = ".quelvar-";
constexpr size_t kTagSize = 6;

std::string Cause(int err) { return err ? SystemErrorText(err) : "erro desconhecido"; }

// Six random letters and digits for a temporary name. One generator for the
// process, locked: runs on several threads draw from it.
std::string RandomTag() {
  static constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  static std::mutex mutex;
  static std::mt19937_64 rng{std::random_device{}() ^ static_cast<uint64_t>(platform::CurrentProcessId())};
  std::lock_guard<std::mutex> lock(mutex);
  std::string tag(6, 'x');
  for (char& c : tag) c = kChars[rng() % (sizeof kChars - 1)];
  return tag;
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

}  // namespace

int RemoveStalePartials(const std::string& folder) {
  int removed = 0;
  std::error_code ec;
  fs::directory_iterator it(folder.empty() ? fs::path(".") : platform::PathFromUtf8(folder), ec);
  if (ec) return 0;
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    if (ec) break;
    long pid = PartialOwner(platform::Utf8FromPath(it->path().filename()));
    if (pid == 0 || pid == platform::CurrentProcessId() || !platform::ProcessGone(pid)) continue;
    if (!platform::IsOwnPlainFile(it->path())) continue;
    std::error_code ignored;
    if (fs::remove(it->path(), ignored)) ++removed;
  }
  return removed;
}

OutputFile::~OutputFile() { Abort(); }

void OutputFile::Open(const std::string& finalPath) {
  Abort();
  fs::path final = platform::PathFromUtf8(finalPath);
  std::string name = platform::Utf8FromPath(final.filename());
  if (name.empty())
    throw FileWriteError("Não foi possível criar o arquivo \"" + finalPath + "\": nome de arquivo vazio",
                         "nome de arquivo vazio");
  RemoveStalePartials(platform::Utf8FromPath(final.parent_path()));
  const std::string stem = std::string(kOwnPrefix) + name + std::string(kPartial) + std::to_string(platform::CurrentProcessId()) + "-";
  std::FILE* f = nullptr;
  std::string temp;
  int err = 0;
  for (int attempt = 0; attempt < 100 && !f; ++attempt) {
    temp = platform::Utf8FromPath(final.parent_path() / platform::PathFromUtf8(stem + RandomTag()));
    errno = 0;
    f = platform::CreateNewFile(temp);
    err = errno;
    if (!f && err != EEXIST) break;
  }
  if (!f)
    throw FileWriteError("Não foi possível criar o arquivo \"" + finalPath + "\" na pasta \"" +
                             platform::Utf8FromPath(final.parent_path()) + "\": " + Cause(err),
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
  if (tap_) {
    tap_(line);
    tap_("\r\n");
  }
}

void OutputFile::Write(std::string_view bytes) {
  if (!f_) throw std::logic_error("OutputFile::Write: no file is open");
  if (std::fwrite(bytes.data(), 1, bytes.size(), f_) != bytes.size()) {
    int err = errno;
    throw FileWriteError("Erro ao gravar o arquivo \"" + final_ + "\": " + Cause(err), Cause(err));
  }
  if (tap_) tap_(bytes);
}

void OutputFile::Finish() {
  if (!f_) {
    if (temp_.empty()) throw std::logic_error("OutputFile::Finish: no file is open");
    return;
  }
  errno = 0;
  bool failed = std::fflush(f_) != 0 || std::ferror(f_);
  int err = errno;
  if (!failed) {
    if (int syncError = platform::SyncToDisk(f_)) {
      failed = true;
      err = syncError;
    }
  }
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
  std::error_code ec = platform::ReplaceByRename(temp_, path);
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
    fs::remove(platform::PathFromUtf8(temp_), ignored);
    Forget();
  }
}

void ReplaceFileContents(const std::string& path, std::string_view bytes) {
  std::error_code ec;
  const fs::file_status st = fs::symlink_status(platform::PathFromUtf8(path), ec);
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
  bool bothExist = false;
  const bool same = platform::SameExistingFile(a, b, bothExist);
  if (bothExist) return same;
  return Resolved(platform::PathFromUtf8(a)) == Resolved(platform::PathFromUtf8(b));
}
