// Files added to the list and the folders the wizard proposes. The open
// dialog and a drop onto the list hand their paths to one entry, AddFiles,
// so both go through the same checks and end in the same report. The last
// folder files came from and the last folder a merged file went to are kept
// through the settings port, so that the next run of the program starts
// there.
#include <filesystem>
#include <string>
#include <vector>

#include "platform/files.h"
#include "wizard/frm_assistente.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kFolderNotOpened =
    "é uma pasta; as pastas não são abertas: escolha ou arraste os arquivos .txt que estão nela.";

// Whether `path` names an existing folder (links followed); never throws.
bool IsFolder(const std::string& path) {
  std::error_code ec;
  return !path.empty() && fs::is_directory(platform::PathFromUtf8(path), ec);
}

// `path` without a trailing separator ("/a/b/" is "/a/b"), so that its name is the folder's.
std::string WithoutTrailingSeparator(const std::string& path) {
  fs::path p = platform::PathFromUtf8(path);
  if (!p.has_filename() && p.has_parent_path() && p.parent_path() != p.root_path()) p = p.parent_path();
  return platform::Utf8FromPath(p);
}

// The absolute folder of the file `path` ("" when it cannot be told).
std::string FolderOf(const std::string& path) {
  std::error_code ec;
  const fs::path absolute = fs::absolute(platform::PathFromUtf8(path), ec);
  if (ec) return std::string();
  return platform::Utf8FromPath(absolute.parent_path());
}

}  // namespace

bool frmAssistente::AcceptsFiles() const {
  return m_Page == 1 && !m_Unloaded && !m_Importing && !m_Running && controls.cmdLocalArquivoMagnetico.Enabled;
}

bool frmAssistente::AddFiles(const std::vector<std::string>& paths) {
  if (paths.empty() || !AcceptsFiles()) return false;
  TakeFiles(paths);
  return true;
}

void frmAssistente::TakeFiles(const std::vector<std::string>& paths) {
  std::vector<std::string> files;
  std::vector<FileNote> folders;
  for (const std::string& path : paths) {
    if (IsFolder(path))
      folders.push_back({WithoutTrailingSeparator(path), kFolderNotOpened});
    else
      files.push_back(path);
  }
  if (!files.empty() && ports_.settings) ports_.settings->Set(kLastInputFolderKey, FolderOf(files.front()));
  OrderHeadOfficeFirst(files);
  const size_t firstNew = m_Arquivos.size();
  ImportBatch(files);
  m_Recusas.insert(m_Recusas.begin(), folders.begin(), folders.end());
  LogBatch(firstNew);
  ShowPage();
  ReportBatch(paths.size() == 1 ? "Arquivo não importado" : "Arquivos não importados", paths.size());
}

std::string frmAssistente::StartingInputFolder() const {
  if (ports_.settings) {
    const std::string last = ports_.settings->Get(kLastInputFolderKey);
    if (IsFolder(last)) return last;
  }
  std::error_code ec;
  const fs::path here = fs::current_path(ec);
  return ec ? std::string() : platform::Utf8FromPath(here);
}

std::string frmAssistente::ProposedOutputFolder() const {
  if (ports_.settings) {
    const std::string last = ports_.settings->Get(kLastOutputFolderKey);
    if (IsFolder(last)) return last;
  }
  if (m_Arquivos.empty()) return std::string();
  return FolderOf(m_Arquivos.front().path);
}
