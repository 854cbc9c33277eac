#include "staging/run_state.h"

#include <ctime>

#include "platform/process.h"
#include "staging/swap_keys.h"

void RunContext::Reset() {
  for (std::string* s : {&currentCNPJ, &currentFileId, &currentParentID, &currentEcfID, &currentCaixaID, &currentIdPai,
                         &currentCST, &lastError, &matrizCNPJ, &matrizDtIni, &matrizDtFin, &fileCNPJ, &fileDtIni,
                         &fileDtFin, &startTime, &endTime})
    s->clear();
  matrizSelected = false;
  storeFailures = 0;
  filesStarted = 0;
  fileNames.clear();
  ledger.Clear();
  olderFormFields.clear();
}

int64_t RunContext::BeginStagedFile(std::string_view name) {
  currentFileId = std::to_string(++filesStarted);
  if (!name.empty()) fileNames[currentFileId] = std::string(name);
  return filesStarted;
}

std::string RunContext::StagedFileName(std::string_view fileId) const {
  auto it = fileNames.find(fileId);
  if (it != fileNames.end()) return it->second;
  return fileId.empty() ? std::string("arquivo desconhecido") : "arquivo " + std::string(fileId);
}

void RunContext::SwapStagedFiles(int64_t a, int64_t b) {
  SwapKeys(fileNames, std::to_string(a), std::to_string(b));
}

std::string NowText() {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  platform::LocalTime(t, tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%d/%m/%Y %H:%M:%S", &tm);
  return buf;
}
