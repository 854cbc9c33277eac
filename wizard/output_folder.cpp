// The output folder's test before and after a run: a probe file is created
// and removed, and the cause of a failure is told in Portuguese whatever the
// language of the C library's messages.
#include "wizard/output_folder.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "platform/files.h"
#include "staging/output_file.h"

namespace {

// Why a file cannot be created in a folder that exists: the folder's own
// reason for the errors a system or read-only folder gives (a folder such as
// /proc/sys answers "does not exist" for any new file), else the error's.
std::string FolderWriteProblem(int err) {
  switch (err) {
    case ENOENT:
    case EINVAL:
    case ENOTSUP:
      return "a pasta não aceita arquivos novos (é uma pasta especial do sistema); escolha uma pasta de documentos";
    case EACCES:
    case EPERM: return "não há permissão para gravar nesta pasta";
    case EROFS: return "a pasta está num disco somente para leitura";
    default: return SystemErrorText(err);
  }
}

}  // namespace

std::string OutputFolderProblem(const std::string& folder) {
  if (folder.empty()) return "nenhuma pasta foi escolhida";
  std::error_code ec;
  std::filesystem::file_status st = std::filesystem::status(platform::PathFromUtf8(folder), ec);
  if (!std::filesystem::exists(st)) return "a pasta não existe";
  if (!std::filesystem::is_directory(st)) return "o caminho não é uma pasta";
  if (int err = platform::ProbeWritableFolder(folder)) return FolderWriteProblem(err);
  return std::string();
}

std::string BesideMergedFile(const std::string& planned, const std::string& folder, std::string_view suffix,
                             std::string_view bareName) {
  constexpr std::string_view kMerged = "_Unificado.txt";
  if (planned.size() > kMerged.size() && planned.compare(planned.size() - kMerged.size(), kMerged.size(), kMerged) == 0)
    return planned.substr(0, planned.size() - kMerged.size()) + std::string(suffix);
  if (folder.empty()) return std::string(bareName);
  return platform::Utf8FromPath(platform::PathFromUtf8(folder) / platform::PathFromUtf8(std::string(bareName)));
}

namespace {

// "O relatório" from "o relatório": the role at the start of a sentence.
std::string Capitalized(std::string role) {
  if (!role.empty() && role[0] >= 'a' && role[0] <= 'z') role[0] = static_cast<char>(role[0] - 'a' + 'A');
  return role;
}

std::string Clash(const RunFile& written, const RunFile& other) {
  return Capitalized(written.role) + " " + written.path + " é o mesmo arquivo que " + other.role + " " + other.path +
         ": gravá-lo destruiria o outro. Nada foi gravado; escolha outro nome ou outra pasta";
}

}  // namespace

std::string WrittenFilesClash(const std::vector<RunFile>& kept, const std::vector<RunFile>& written) {
  for (size_t i = 0; i < written.size(); ++i) {
    const RunFile& w = written[i];
    if (w.path.empty()) continue;
    for (const RunFile& k : kept)
      if (SameFile(w.path, k.path)) return Clash(w, k);
    for (size_t j = 0; j < i; ++j)
      if (SameFile(w.path, written[j].path)) return Clash(w, written[j]);
  }
  for (const RunFile& w : written) {
    if (w.path.empty()) continue;
    std::error_code ec;
    const std::filesystem::file_status st = std::filesystem::symlink_status(platform::PathFromUtf8(w.path), ec);
    if (std::filesystem::is_symlink(st))
      return Capitalized(w.role) + " " + w.path +
             " é um link simbólico: o programa não grava através de links. Nada foi gravado; escolha outro nome";
    if (std::filesystem::is_directory(st))
      return Capitalized(w.role) + " " + w.path + " é uma pasta. Nada foi gravado; escolha o nome de um arquivo";
  }
  return std::string();
}
