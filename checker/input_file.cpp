#include "checker/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "staging/output_file.h"

namespace {

// Why a file of mode `mode` (not a regular file) is not read.
std::string NotRegularText(mode_t mode) {
  if (S_ISDIR(mode)) return "é uma pasta, não um arquivo";
  if (S_ISFIFO(mode)) return "não é um arquivo comum (é um pipe nomeado)";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "não é um arquivo comum (é um dispositivo)";
  if (S_ISSOCK(mode)) return "não é um arquivo comum (é um socket)";
  return "não é um arquivo comum";
}

}  // namespace

std::FILE* OpenRegularFile(const std::string& path, std::string& why) {
  struct stat st;
  // Looked at before opening too: opening a FIFO or a device may block or
  // act on the device.
  if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    why = NotRegularText(st.st_mode);
    return nullptr;
  }
  // O_NONBLOCK: should the name now be a FIFO, opening it does not wait for a writer.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    why = SystemErrorText(errno);
    return nullptr;
  }
  if (::fstat(fd, &st) != 0) {
    why = SystemErrorText(errno);
    ::close(fd);
    return nullptr;
  }
  if (!S_ISREG(st.st_mode)) {
    why = NotRegularText(st.st_mode);
    ::close(fd);
    return nullptr;
  }
  // A regular file is read in the ordinary (blocking) way.
  if (const int flags = ::fcntl(fd, F_GETFL); flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  std::FILE* f = ::fdopen(fd, "rb");
  if (!f) {
    why = SystemErrorText(errno);
    ::close(fd);
  }
  return f;
}

bool IsBlankLine(std::string_view line) {
  for (char c : line)
    if (c != ' ' && c != '\t') return false;
  return true;
}
