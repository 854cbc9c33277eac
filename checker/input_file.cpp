#include "checker/input_file.h"

#include <cerrno>

#include "platform/files.h"
#include "staging/system_error_text.h"

namespace {

// Why a name of kind `kind` (not a regular file) is not read.
std::string NotRegularText(platform::FileKind kind) {
  switch (kind) {
    case platform::FileKind::Folder: return "é uma pasta, não um arquivo";
    case platform::FileKind::Fifo: return "não é um arquivo comum (é um pipe nomeado)";
    case platform::FileKind::Device: return "não é um arquivo comum (é um dispositivo)";
    case platform::FileKind::Socket: return "não é um arquivo comum (é um socket)";
    default: return "não é um arquivo comum";
  }
}

}  // namespace

std::FILE* OpenRegularFile(const std::string& path, std::string& why) {
  platform::FileKind kind = platform::FileKind::Regular;
  std::FILE* f = platform::OpenRegularFile(path, kind);
  if (!f) why = kind == platform::FileKind::Regular ? SystemErrorText(errno) : NotRegularText(kind);
  return f;
}

bool IsBlankLine(std::string_view line) {
  for (char c : line)
    if (c != ' ' && c != '\t') return false;
  return true;
}
