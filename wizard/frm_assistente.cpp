// The form's start and end, and what the other parts of the form share.
#include "wizard/frm_assistente.h"

#include "blocks/registry.h"
#include "staging/database.h"
#include "staging/resources.h"
#include "staging/run_state.h"

frmAssistente::frmAssistente(Ports ports, std::string databaseTarget)
    : ports_(ports), databaseTarget_(std::move(databaseTarget)) {
  InitControls();
}

frmAssistente::~frmAssistente() { Form_Unload(); }

void frmAssistente::Form_Load() {
  run_.Reset();
  run_.ports = ports_.ui;
  controls.checkValidarMatriz.Value = true;
  checkValidarMatriz_Click();
  controls.OptionUnificaMatrizFilial.Value = true;
  controls.OptionUnificaArquivo.Value = false;
  OptionUnificaMatrizFilial_Click();
  Navigate(0);
  run_.connection = CreateConnection(databaseTarget_);
  run_.connection->Open();
  md_CreateControlTable(run_);
  for (const BlockEntry& block : BlockTable()) CreateTablesOf(run_, block.layouts());
  run_.startTime = NowText();
  md_ShowProgress(run_, 0, kStatusNoFile, 0, 0);  // no file yet: the import bar is hidden, its status shown
  Changed();
}

void frmAssistente::Form_Unload() {
  if (m_Unloaded) return;
  m_Unloaded = true;
  if (run_.connection) {
    run_.connection->Close();
    run_.connection.reset();
  }
  run_.ports = UiPorts{};
}

// The view is told of every change; the file count follows the list first
// (rows come and go during a batch or an import again).
void frmAssistente::Changed() {
  UpdateFileCount();
  if (ports_.view) ports_.view->ControlsChanged();
}

// While a batch imports its files, a message belongs to the file being
// imported and is reported with it at the end of the batch (its log lines
// are the batch's). Any other message is logged as it is shown.
void frmAssistente::ShowMessage(std::string_view text, MsgIcon icon) {
  if (m_Collecting) {
    NoteFileMessage(text);
    return;
  }
  LogMessage(text, icon);
  ShowLoggedMessage(text, icon);
}

void frmAssistente::ShowLoggedMessage(std::string_view text, MsgIcon icon) {
  if (ports_.ui.messages) ports_.ui.messages->ShowMessage(text, icon);
}
