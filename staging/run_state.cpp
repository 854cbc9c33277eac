#include "staging/run_state.h"

#include <ctime>
#include <map>

#include "platform/process.h"
#include "staging/ledger.h"
#include "staging/older_forms.h"

std::unique_ptr<DatabaseConnection> g_Connection;
std::string g_CurrentCNPJ, g_CurrentFileId, g_CurrentParentID, g_CurrentEcfID, g_CurrentCaixaID, g_CurrentIdPai, g_CurrentCST,
    g_LastError;
int64_t g_StoreFailures = 0;
namespace {
int64_t g_FilesStarted = 0;  // input files whose staging began in this run
std::map<std::string, std::string, std::less<>> g_FileNames;  // Id_Arquivo -> the file as the user named it
}  // namespace
bool g_MatrizSelected = false;
std::string g_MatrizCNPJ, g_MatrizDtIni, g_MatrizDtFin;
std::string g_FileCNPJ, g_FileDtIni, g_FileDtFin;
std::string g_StartTime, g_EndTime;

void ResetRunState() {
  for (std::string* s : {&g_CurrentCNPJ, &g_CurrentFileId, &g_CurrentParentID, &g_CurrentEcfID, &g_CurrentCaixaID, &g_CurrentIdPai,
                         &g_CurrentCST, &g_LastError, &g_MatrizCNPJ, &g_MatrizDtIni, &g_MatrizDtFin,
                         &g_FileCNPJ, &g_FileDtIni, &g_FileDtFin, &g_StartTime, &g_EndTime})
    s->clear();
  g_MatrizSelected = false;
  g_StoreFailures = 0;
  g_FilesStarted = 0;
  g_FileNames.clear();
  RunLedger().Clear();
  OlderFormFields().clear();
}

int64_t BeginStagedFile(std::string_view name) {
  g_CurrentFileId = std::to_string(++g_FilesStarted);
  if (!name.empty()) g_FileNames[g_CurrentFileId] = std::string(name);
  return g_FilesStarted;
}

std::string StagedFileName(std::string_view fileId) {
  auto it = g_FileNames.find(fileId);
  if (it != g_FileNames.end()) return it->second;
  return fileId.empty() ? std::string("arquivo desconhecido") : "arquivo " + std::string(fileId);
}

void SwapStagedFiles(int64_t a, int64_t b) {
  const std::string ka = std::to_string(a), kb = std::to_string(b);
  auto na = g_FileNames.extract(ka), nb = g_FileNames.extract(kb);
  if (!na.empty()) {
    na.key() = kb;
    g_FileNames.insert(std::move(na));
  }
  if (!nb.empty()) {
    nb.key() = ka;
    g_FileNames.insert(std::move(nb));
  }
}

int64_t CurrentStagedFile() { return g_FilesStarted; }

std::string NowText() {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  platform::LocalTime(t, tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%d/%m/%Y %H:%M:%S", &tm);
  return buf;
}
