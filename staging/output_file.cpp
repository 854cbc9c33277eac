// File number 1: the merged file is written under a temporary name in its own
// folder and renamed over the final name only once it is complete, so that a
// failed run never leaves a partial file under the final name and never
// damages a file of that name written earlier.
#include "staging/output_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#ifdef _WIN32
#include <process.h>
#define QUELVAR_GETPID _getpid
#else
#include <unistd.h>
#define QUELVAR_GETPID getpid
#endif

namespace fs = std::filesystem;

namespace {

constexpr size_t kBufferSize = 1 << 20;

std::string Cause(int err) { return err ? std::strerror(err) : "erro desconhecido"; }

}  // namespace

OutputFile::~OutputFile() { Abort(); }

void OutputFile::Open(const std::string& finalPath) {
  Abort();
  fs::path final(finalPath);
  std::string name = final.filename().string();
  if (name.empty())
    throw std::runtime_error("Não foi possível criar o arquivo \"" + finalPath + "\": nome de arquivo vazio");
  fs::path temp = final.parent_path() / ("." + name + ".partial-" + std::to_string(QUELVAR_GETPID()));
  errno = 0;
  std::FILE* f = std::fopen(temp.string().c_str(), "wb");
  if (!f)
    throw std::runtime_error("Não foi possível criar o arquivo \"" + finalPath + "\" na pasta \"" +
                             final.parent_path().string() + "\": " + Cause(errno));
  std::setvbuf(f, nullptr, _IOFBF, kBufferSize);
  f_ = f;
  final_ = finalPath;
  temp_ = temp.string();
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

void OutputFile::Commit() {
  if (!f_) throw std::logic_error("OutputFile::Commit: no file is open");
  errno = 0;
  bool failed = std::fflush(f_) != 0 || std::ferror(f_);
  int err = errno;
  if (std::fclose(f_) != 0 && !failed) {
    failed = true;
    err = errno;
  }
  f_ = nullptr;
  if (failed) {
    std::error_code ignored;
    fs::remove(temp_, ignored);
    throw std::runtime_error("Erro ao gravar o arquivo \"" + final_ + "\": " + Cause(err));
  }
  std::error_code ec;
  fs::rename(temp_, final_, ec);
  if (ec) {
    std::error_code ignored;
    fs::remove(temp_, ignored);
    throw std::runtime_error("Não foi possível gravar o arquivo \"" + final_ + "\": " + ec.message());
  }
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
    temp_.clear();
  }
}

OutputFile& FileNumber1() {
  static OutputFile file;
  return file;
}
