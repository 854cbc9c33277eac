// Files chosen together are imported as one batch. Nothing is shown per file
// while the batch runs (twenty files refused would be twenty boxes to click):
// every message about a file is kept with it, and at the end one report names
// each file not taken with its reasons, then the notices of the files taken.
#include <filesystem>
#include <functional>

#include "platform/files.h"
#include "staging/resources.h"
#include "staging/ui_ports.h"
#include "wizard/frm_assistente.h"

namespace {

constexpr const char* kCrLf = "\r\n";
constexpr const char* kSkipped = "não foi importado: a importação foi interrompida antes deste arquivo.";
constexpr const char* kNoReason = "não foi importado.";

// The engine's message and error ports while a batch runs: what the loaders
// tell, errors of a row that could not be stored too, joins the messages of
// the file being imported instead of opening a box.
class GatheringMessages : public MessagePort, public ErrorPort {
 public:
  explicit GatheringMessages(std::function<void(std::string_view)> note) : note_(std::move(note)) {}
  void ShowMessage(std::string_view text, MsgIcon) override { note_(text); }
  void ReportError(std::string_view, std::string_view, std::string_view message) override { note_(message); }

 private:
  std::function<void(std::string_view)> note_;
};

// Puts back the engine's ports and ends the gathering, also when an import throws.
struct BatchScope {
  UiPorts& ports;
  UiPorts engine;
  bool& collecting;
  ~BatchScope() {
    ports = engine;
    collecting = false;
  }
};

std::string FileName(const std::string& path) { return std::filesystem::path(path).filename().string(); }

// The messages of one file on one line each after the first.
std::string Joined(const std::vector<std::string>& messages) {
  std::string text;
  for (const std::string& m : messages) text += (text.empty() ? "" : std::string(kCrLf) + "    ") + m;
  return text;
}

}  // namespace

double frmAssistente::WorkWeight(const std::string& path) {
  std::error_code ec;
  const auto size = std::filesystem::file_size(platform::PathFromUtf8(path), ec);
  return ec || size == 0 ? 1.0 : static_cast<double>(size);
}

void frmAssistente::BeginWork(const std::vector<std::string>& paths) {
  double bytes = 0;
  for (const std::string& path : paths) bytes += WorkWeight(path);
  m_Meter.Begin(bytes * (1 + kMergePerImport + kCheckPerImport));
  m_WorkFile = 0;
  m_WorkFiles = static_cast<int>(paths.size());
}

void frmAssistente::NoteFileMessage(std::string_view text) { m_FileMessages.emplace_back(text); }

void frmAssistente::ImportBatch(const std::vector<std::string>& paths) {
  m_Recusas.clear();
  m_Avisos.clear();
  m_CancelBatch = false;
  GatheringMessages gathering([this](std::string_view text) { NoteFileMessage(text); });
  BatchScope scope{run_.ports, run_.ports, m_Collecting};
  run_.ports.messages = &gathering;
  run_.ports.errors = &gathering;
  m_Collecting = true;
  // One overall bar over the batch, each file weighted by its size; within
  // the command line's planned work the batch reports into that one.
  const bool ownMeter = !m_Meter.Active();
  if (ownMeter) {
    double total = 0;
    for (const std::string& path : paths) total += WorkWeight(path);
    m_Meter.Begin(total);
    m_WorkFile = 0;
    m_WorkFiles = static_cast<int>(paths.size());
  }
  struct MeterScope {
    frmAssistente& form;
    bool own;
    ~MeterScope() {
      if (!own) return;
      form.m_Meter.End();
      form.m_WorkFile = form.m_WorkFiles = 0;
      md_ShowProgress(form.run_, 0, form.m_Arquivos.empty() ? kStatusNoFile : kStatusWaiting, 0, 0);
    }
  } meterScope{*this, ownMeter};
  for (const std::string& path : paths) {
    if (m_CancelBatch) {
      m_Recusas.push_back({path, kSkipped});
      if (m_Meter.Active()) {  // its share of the bar is passed over
        m_Meter.Step(WorkWeight(path));
        ++m_WorkFile;
      }
      continue;
    }
    controls.txtLocalMagnetico.Text = path;
    DisableWhileImporting();
    m_FileMessages.clear();
    const ImportOutcome outcome = ImportFile(path);
    if (outcome == ImportOutcome::Imported) {
      controls.ListBoxIndex = static_cast<int>(m_Arquivos.size()) - 1;
      if (!m_FileMessages.empty()) m_Avisos.push_back({path, Joined(m_FileMessages)});
    } else {
      m_Recusas.push_back({path, m_FileMessages.empty() ? std::string(kNoReason) : Joined(m_FileMessages)});
    }
    m_FileMessages.clear();
    Changed();
  }
  if (ownMeter) {  // the batch's bar ends full before it gives way to the status
    m_Meter.Finish();
    ShowImportProgress(std::string(), 1);
  }
  m_CancelBatch = false;
  controls.txtLocalMagnetico.Text.clear();
}

std::string frmAssistente::BatchReportText(const std::string& heading, size_t chosen) const {
  std::string text;
  if (!m_Recusas.empty()) {
    text = heading;
    if (chosen > 1) text += " (" + std::to_string(m_Recusas.size()) + " de " + std::to_string(chosen) + ")";
    text += ":";
    for (const FileNote& n : m_Recusas) text += std::string(kCrLf) + "• " + FileName(n.path) + ": " + n.text;
  }
  if (!m_Avisos.empty()) {
    if (!text.empty()) text += std::string(kCrLf) + kCrLf;
    text += "Avisos dos arquivos importados:";
    for (const FileNote& n : m_Avisos) text += std::string(kCrLf) + "• " + FileName(n.path) + ": " + n.text;
  }
  return text;
}

void frmAssistente::ReportBatch(const std::string& heading, size_t chosen) {
  const std::string text = BatchReportText(heading, chosen);
  if (!text.empty()) ShowLoggedMessage(text, m_Recusas.empty() ? MsgIcon::Information : MsgIcon::Exclamation);
}
