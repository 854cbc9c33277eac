// The output folder's test before and after a run: a probe file is created
// and removed, and the cause of a failure is told in Portuguese whatever the
// language of the C library's messages.
#include "wizard/output_folder.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#ifdef _WIN32
#include <cstdio>
#else
#include <unistd.h>
#endif

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
    default: return std::string(std::strerror(errnum)) + " (erro " + std::to_string(errnum) + ")";
  }
}

std::string OutputFolderProblem(const std::string& folder) {
  if (folder.empty()) return "nenhuma pasta foi escolhida";
  std::error_code ec;
  std::filesystem::file_status st = std::filesystem::status(folder, ec);
  if (!std::filesystem::exists(st)) return "a pasta não existe";
  if (!std::filesystem::is_directory(st)) return "o caminho não é uma pasta";
#ifdef _WIN32
  std::string probe = (std::filesystem::path(folder) / ".quelvar-teste-gravacao").string();
  std::FILE* f = std::fopen(probe.c_str(), "wb");
  if (!f) return SystemErrorText(errno);
  std::fclose(f);
  std::remove(probe.c_str());
#else
  std::string name = (std::filesystem::path(folder) / ".quelvar-XXXXXX").string();
  std::vector<char> buf(name.begin(), name.end());
  buf.push_back('\0');
  int fd = mkstemp(buf.data());
  if (fd < 0) return SystemErrorText(errno);
  ::close(fd);
  ::unlink(buf.data());
#endif
  return std::string();
}
