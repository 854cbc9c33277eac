// frmAssistente: the wizard's logic, free of any window toolkit. It keeps the
// state of its controls (what a window shows) and talks to the user only
// through ports, so that the Qt window, the command line and the tests can
// each drive it.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "staging/run_context.h"
#include "staging/ui_ports.h"
#include "wizard/ports.h"
#include "wizard/reconciliation.h"
#include "wizard/run_summary.h"

// What a window shows of one control.
struct Control {
  bool Visible = true;
  bool Enabled = true;
  std::string Caption;  // labels, buttons, options, frames' titles (tag)
  std::string Text;     // text boxes
  bool Value = false;   // check box ticked / option selected
};

struct FormControls {
  std::array<Control, 5> fraAssistente;  // the five pages; Caption = page title (tag)
  Control Image1, Frame2, Frame3, lblRotulo;
  Control cmdVoltar, cmdAvancar, cmdCancelar;
  Control OptionUnificaArquivo, OptionUnificaMatrizFilial;
  Control checkValidarMatriz, txtLocalMagnetico, cmdLocalArquivoMagnetico, Label15;
  // The file list's own buttons and its count ("3 arquivos na lista").
  Control cmdRemoverArquivo, cmdSubirArquivo, cmdDescerArquivo, lblQuantidadeArquivos;
  Control TxtCaminhoSalvo, ButtonLocalidadeSalvar;
  Control lblResultadoFinal;
  // Saves the reconciliation ledger of the last run (on its result page:
  // page 4, or page 2 after a failed run).
  Control cmdConciliacao;
  // the progress bars' labels and visibility (fill and text come through the progress port)
  Control sspProgressoPovoacaoTabela, lblProgressoPovoacaoTabela;
  Control sspProgressoBlocosGeral, lblProgressoBlocosGeral, sspProgressoEmpresa, lblProgressoEmpresa;
  Control sspProgressoBlocosParcial, lblProgressoBlocosParcial;
  Control sspProgressoBlocosParcialInterno, lblProgressoBlocosParcialInterno;
  // The window's title: the program and the step shown ("Quelvar — Passo 2 de 5: Arquivos").
  Control Titulo;
  // Page 3: what the run will do (files, kind, folder, the merged file's name).
  Control lblResumo;
  // The result page after a successful run: open the output folder / the merged file.
  Control cmdAbrirPasta, cmdAbrirArquivo;
  // The log of the session (Text, read-only; every line as it is logged)
  // and its save button, on the result page: page 4, or page 2 after a
  // failed run.
  Control txtRegistro, cmdSalvarRegistro;
  std::vector<std::string> ListBoxSelecionados;  // paths of the imported files, in merge order
  int ListBoxIndex = -1;                         // the selected row, -1 none
};

// One file of the merge as the list shows it.
struct ListedFile {
  std::string path;       // as chosen
  std::string canonical;  // the same file however its path is written
  uint64_t digest = 0;    // content fingerprint (merge of one CNPJ), 0 otherwise
  std::string cnpj, dtIni, dtFin;  // from its 0000 line
  int64_t lines = 0;
  std::vector<std::string> establishments;  // CNPJs of its 0140 records (merge of branches)
  // The number its staged rows carry in Id_Arquivo (0: not known).
  int64_t id = 0;
  // What its import added to the form's counts, given back when it is
  // removed: lines of codes not merged, lines shorter or longer than their
  // layout, per code; the most fields a line of each code had; the codes
  // outside the layout whose first line in the run it held.
  std::map<std::string, int64_t> dropped{}, shortLines{}, longLines{};
  std::map<std::string, size_t> widest{};
  std::vector<std::string> firstUnknown{};
  // The state its import left behind it (links of the last rows, header,
  // accountant and regime fields): what the next import and the run start
  // from while this file is the last one.
  std::vector<std::string> linksAfter{};
};

// A file a batch of chosen files did not take, or took with notices: its
// path and what the user must know (the reasons, in the order told).
struct FileNote {
  std::string path;
  std::string text;
};

enum class ImportOutcome { Imported, Refused, Failed, Cancelled };

struct RunFile;

// What the run produced.
struct RunResult {
  bool ok = false;
  std::string path;   // the merged file (when ok)
  std::string error;  // why it failed (when not ok)
  // The merge's own result was refused (its ledger or its output check), not
  // the folder or the system: trying another folder would not help.
  bool failedInTheMerge = false;
  // The user cancelled the run: nothing was written.
  bool cancelled = false;
  // What the run told through the error port without failing (a kept line
  // whose key has other values in another file, Block M notices), in order.
  std::vector<std::string> notices;
  // Record codes whose lines were dropped by design, with their numbers of lines.
  std::vector<std::pair<std::string, int64_t>> dropped;
  // Of those, the codes that layout 006 does not know, with where the first
  // such line was read ("arquivo.txt, linha 17").
  std::map<std::string, std::string> unknownFirstLine;
  // The reconciliation ledger of the run: lines read, written, merged by a
  // rule, refused and missing per record code (and establishment), also when
  // the run failed after writing.
  std::vector<LedgerRow> ledger;
  // The summary per establishment of a run that wrote its merged file (one
  // row per establishment of each input file, then the total row), and the
  // paths of its files when they were saved.
  std::vector<SummaryRow> summary;
  std::string summaryCsv, summaryHtml;
};

// The record codes a run left out, as the result shows them: "A100 (2), C999
// (1; fora do leiaute 006, primeira: f.txt, linha 17)". Empty when none.
std::string DroppedCodesText(const RunResult& result);
// Whether the run left input lines out of the merged file (codes outside the
// layout or not merged, lines refused): such a file is written, but it is not
// the whole of the inputs.
bool LeftLinesOut(const RunResult& result);

class frmAssistente {
 public:
  struct Ports {
    FileChooser* files = nullptr;
    FolderChooser* folders = nullptr;
    FormView* view = nullptr;
    QuestionPort* questions = nullptr;  // null: every question is answered yes
    SettingsPort* settings = nullptr;   // null: nothing is remembered between runs
    PathOpener* opener = nullptr;       // null: "Abrir pasta"/"Abrir arquivo" say they cannot
    UiPorts ui;  // messages, progress, errors (installed as the engine's ports)
  };
  explicit frmAssistente(Ports ports, std::string databaseTarget = "");
  ~frmAssistente();
  frmAssistente(const frmAssistente&) = delete;
  frmAssistente& operator=(const frmAssistente&) = delete;

  // The state of this form's run (staging database, links, headers, ledger):
  // its own, shared with no other form.
  RunContext& Run() { return run_; }
  const RunContext& Run() const { return run_; }

  // ---- Start and end ----
  // Opens the staging database, creates ###Registros and every staging table,
  // shows page 0. Throws DatabaseError when the database cannot be opened.
  void Form_Load();
  // Closes the database (the staging tables vanish). Idempotent.
  void Form_Unload();

  // ---- Handlers of the controls ----
  void cmdAvancar_Click();
  void cmdVoltar_Click();
  void cmdCancelar_Click();
  void cmdLocalArquivoMagnetico_Click();
  void ButtonLocalidadeSalvar_Click();
  void OptionUnificaArquivo_Click();
  void OptionUnificaMatrizFilial_Click();
  // Call after the box's Value changed (by the user or the program).
  void checkValidarMatriz_Click();
  // The list's buttons: act on controls.ListBoxIndex (ignored without a selection).
  void cmdRemoverArquivo_Click();
  void cmdSubirArquivo_Click();
  void cmdDescerArquivo_Click();
  // "Salvar conciliação...": asks the file chooser for a file name and writes
  // the last run's ledger there as CSV; a failure to write is shown as a
  // message, a cancelled chooser does nothing. Ignored while hidden.
  void cmdConciliacao_Click();
  // Whether the wizard may close now: asks before imported files would be
  // lost (not after a merged file was written). Cancel uses it; a window's
  // close button should too.
  bool ConfirmLeave();
  // "Abrir pasta" / "Abrir arquivo" after a successful run: the output folder
  // or the merged file opened by the system (PathOpener); a failure is told
  // in a message. Ignored while hidden.
  void cmdAbrirPasta_Click();
  void cmdAbrirArquivo_Click();
  // "Salvar registro...": asks the file chooser for a name and writes the
  // log there (LogText, as the other outputs: a temporary renamed over the
  // name); a clash with an input or the merged file, or a failure to write,
  // is shown as a message; a cancelled chooser does nothing.
  void cmdSalvarRegistro_Click();

  // ---- Files added, folders remembered, log (remembered_folders.cpp, run_log.cpp) ----
  // Whether the file list takes files now: the file page is shown and no
  // import or run is going on. The file button, its shortcut and a drop
  // onto the list all ask it.
  bool AcceptsFiles() const;
  // Adds `paths` (chosen in the dialog or dropped on the list) as one batch:
  // the same checks and the same report at its end; a folder among them is
  // not opened but named in the report. Remembers the folder of the first
  // file for the next open dialog. False (nothing done) when the list does
  // not take files now (AcceptsFiles) or `paths` is empty.
  bool AddFiles(const std::vector<std::string>& paths);
  // Where the open dialog starts: the folder files were last added from
  // (also in an earlier run, through the settings) when it still exists,
  // else the working folder.
  std::string StartingInputFolder() const;
  // The output folder proposed when page 2 is entered without one: the
  // folder of the last successful run when it still exists, else the folder
  // of the first file of the list; "" when neither is known.
  std::string ProposedOutputFolder() const;
  // The log's lines, oldest first (each "dd/mm/yyyy hh:mm:ss  text"): files
  // imported and not taken with their reasons, the batches' notices, each
  // run's result, notices, records left out and ledger totals, and every
  // other message box and question shown, once.
  const std::vector<std::string>& LogLines() const { return m_Registro; }
  // The log as one text, lines ended by CR LF; "" when empty.
  std::string LogText() const;
  // The summary shown on page 3 before the run: the number of files, the
  // merge kind, the output folder and the merged file's name (as the run
  // names it, PlannedOutputPath), noting an existing file of that name.
  std::string RunSummaryText();
  // The window title for `page` ("Quelvar — Passo 2 de 5: Arquivos").
  static std::string WindowTitle(int page);
  // The "Sobre" text: `versionText` ("Quelvar 1.0.0") and what the program does.
  static std::string AboutText(std::string_view versionText);
  static constexpr const char* kLastInputFolderKey = "pastas/ultimaEntrada";
  static constexpr const char* kLastOutputFolderKey = "pastas/ultimaSaida";
  static constexpr const char* kLogFilter = "Texto (*.txt)|*.txt";

  // The run asks whether to stop (Cancelar, Esc or the window's close
  // button during the run): true when the user said yes, and the run then
  // stops at its next line without writing the merged file. False (nothing
  // asked) when no run is going on.
  bool AskCancelRun();
  static constexpr const char* kConfirmCancelRun =
      "Cancelar a unificação? O arquivo unificado não será gravado; os arquivos importados serão mantidos.";

  // A window's Cancelar button (or Esc): during an import that can be
  // stopped asks kConfirmCancelImport first (the import may have ended while
  // asking); otherwise as cmdCancelar_Click.
  void CancelPressed();
  // A window's close button: true when the window may close now (the form
  // is unloaded). During the run it asks whether to cancel it, during an
  // import whether to stop it (kConfirmCloseImport); on yes the window is to
  // close once the work stopped (CloseWhenIdle). Otherwise asks before files
  // are lost (ConfirmLeave).
  bool CloseRequested();
  // Called by a window after work stopped: unloads the form when a close was
  // asked during the work; true when the window should close.
  bool CloseWhenIdle();
  static constexpr const char* kConfirmCancelImport =
      "Interromper a importação do arquivo em andamento? O arquivo não será incluído na unificação.";
  static constexpr const char* kConfirmCloseImport =
      "A importação em andamento será interrompida e o assistente será fechado. Deseja continuar?";

  // ---- Overall progress ----
  // Plans one overall bar over the import of `paths` and the run after it
  // (the command line's merge): each import and the run report into it
  // instead of beginning their own, so that its percentage and times cover
  // the whole work. Without it, a batch of imports and the run each have
  // their own overall bar.
  void BeginWork(const std::vector<std::string>& paths);
  // The weight of a file in the overall bar: its size in bytes (its lines'
  // share of the work), 1 when it cannot be read.
  static double WorkWeight(const std::string& path);
  // The share of an import's time spent reading the file before its lines
  // are stored (the count of its lines when its structure is not checked;
  // the check of the structure runs beside the staging), and the times of
  // the run against the import of the same bytes (as measured on generated
  // networks of 2 million lines: one file's reading about a third of its
  // import; 20 files imported in 20 to 45 s, written in 9 to 13 s). The
  // merged file is checked on a second thread as it is written, so what is
  // left of the check after the last line is the wait for the last blocks.
  static constexpr double kPreReadShare = 0.35;
  static constexpr double kMergePerImport = 0.4;
  static constexpr double kCheckPerImport = 0.02;

  // ---- Page machine ----
  void Navigate(int action);
  void GoFirst();
  void GoNext();
  void GoBack();
  void ShowPage();
  bool ValidatePage(int page, std::string& message);

  // ---- File list ----
  // Takes file i out of the merge, its staged rows with it. False (with a
  // message) when the head-office rule would no longer hold. A file other
  // than the first loses only its own rows (see file_list.cpp); the first
  // (the reference the others were checked and stored against), a file whose
  // rows later files lean on, or a part of one CNPJ other than the last makes
  // the others be imported again.
  bool RemoveFile(size_t i);
  // Moves file i one place up (delta -1) or down (+1). Two files other than
  // the first change places in the staging (SwapFileRows); a move of the
  // first file, of a part of one CNPJ or of a file whose rows its neighbour
  // leans on imports the files again in the new order. False (with a
  // message) when not possible.
  bool MoveFile(size_t i, int delta);
  // Whether moving file i by `delta` keeps the head-office rule and the list's bounds.
  bool CanMoveFile(size_t i, int delta) const;
  // Selects row `row` of the list (-1 none); the list buttons follow.
  void SelectListRow(int row);
  // The row of file i: its name, then (second line) role, CNPJ, period and lines.
  std::string ListRowText(size_t i) const;
  // Empties the staging tables and forgets every imported file and the head office.
  void ClearImports();

  // ---- Import ----
  void ChooseInputFile();
  ImportOutcome ImportFile(const std::string& path);
  static int64_t CountLines(const std::string& path);
  void CaptureHeaderFields(std::string_view code, const std::vector<std::string_view>& fields);
  void DispatchRecord(std::string_view code, std::string& line);
  std::string RenumberEstablishment(std::string& line);
  // Asks the running import to stop (the file's rows are rolled back) and
  // the files chosen with it not to be imported (the batch's list names them).
  void RequestCancelImport() {
    m_CancelImport = true;
    m_CancelBatch = true;
  }
  // Whether the user may stop the running import: not while the files of the
  // list are imported again after an edit (stopping would drop files the
  // user kept).
  bool ImportCancellable() const { return m_Importing && !m_Restaging; }
  // A close was asked during work: the window closes once it stopped.
  bool m_CloseWhenIdle = false;
  // Imports `paths` in order as one batch (the file button, Next, Back and the
  // list's buttons disabled meanwhile). Nothing is shown per file: the
  // messages of each file are gathered, and the files not taken (with their
  // reasons, those skipped after a cancelled import too) end in m_Recusas,
  // the notices of files taken in m_Avisos. The caller reports them.
  void ImportBatch(const std::vector<std::string>& paths);
  // The text of the batch's report: the files not taken under `heading`
  // ("heading (2 de 6):", one line per file: its name and reasons), then the
  // notices of the files taken; "" when there is nothing to tell. `chosen`:
  // the number of files of the batch.
  std::string BatchReportText(const std::string& heading, size_t chosen) const;
  // The last batch's files not taken, and the notices of the files it took.
  std::vector<FileNote> m_Recusas, m_Avisos;

  // ---- File checks ----
  bool CheckChosenFile(const std::string& path);
  bool AcceptHeadOffice(std::vector<std::string>& fields);
  bool CheckAgainstHeadOffice(std::vector<std::string>& fields, std::string& message);

  // ---- Run ----
  // Writes the merged file into m_CaminhoSalvo and, when `reportPath` is
  // given, the ledger as CSV there (also when the run fails after the ledger
  // was set); with `summary`, the summary per establishment beside the merged
  // file (SaveSummaryFiles: "<name>_Resumo.csv" and "<name>_Resumo.html").
  // The merged file takes its final name only after the report and the
  // summary were written; a run whose files would meet an input, the staging
  // database or each other (WrittenFilesProblem) writes nothing. Never
  // throws: failures come back in the result (and in m_Resultado).
  RunResult RunUnification(bool& singleCnpj, const std::string& reportPath = "", bool summary = false);
  // Why the run may not write its files: the merged file, its copy kept for
  // inspection, `reportPath` (when given) or the summary files (with
  // `summary`) is the same file as an imported file, the staging database
  // file or another of them, or is a symbolic link. The message names both
  // files; "" when nothing clashes (or no merged file can be named yet).
  std::string WrittenFilesProblem(const std::string& reportPath = "", bool summary = false);
  // The merged file's full path as the run would name it; "" when no header is stored.
  std::string PlannedOutputPath();

  // ---- State ----
  FormControls controls;
  int m_Page = 0;
  bool m_MesmoCNPJ = false;
  // Layout version (0000 COD_VER) of the head office: every later file must declare the same.
  std::string m_MatrizCodVer;
  std::string m_ValidarMatrizTexto;
  std::string m_CaminhoSalvo;
  std::string m_CPF, m_Cod_Inc_Trib, m_Ind_Apro_Cred, m_Cod_Tipo_Cont;
  // Whether a file's whole structure is checked before it is imported (on
  // for every user; tests of the loaders' details on tiny files turn it off).
  bool m_ValidarEstrutura = true;
  bool m_Importing = false;
  bool m_Running = false;
  bool m_Unloaded = false;
  RunResult m_Resultado;
  // Lines of record codes dropped by design, counted per code during the import.
  std::map<std::string, int64_t> m_Descartados;
  // Codes outside layout 006: where the first line of each was read.
  std::map<std::string, std::string> m_ForaDoLeiaute;
  // Per code: lines shorter / longer than the code's layout (reported once per code).
  std::map<std::string, int64_t> m_LinhasCurtas, m_LinhasLongas;
  // Per code with a layout: the most fields one of its imported lines had.
  std::map<std::string, size_t> m_CamposLidos;
  // The imported files, in the order of the list.
  std::vector<ListedFile> m_Arquivos;
  // Start and end of the last run ("dd/mm/yyyy hh:mm:ss") and its length in seconds.
  std::string m_RunStart, m_RunEnd;
  double m_RunSeconds = 0;
  // The overall bar of the work in hand (a batch of imports, the run), and
  // the file being imported of how many (0 of 0 outside imports).
  ProgressMeter m_Meter;
  int m_WorkFile = 0, m_WorkFiles = 0;
  // Set when the user confirmed the cancel of the run; the run stops at its next line.
  bool m_CancelRun = false;
  // The file being checked: its canonical path and (merge of one CNPJ) its digest.
  std::string m_CandidatePath;
  uint64_t m_CandidateDigest = 0;
  // The file being checked (merge of branches): the CNPJs of its 0140 records and their lines.
  std::vector<std::pair<std::string, int64_t>> m_CandidateEstablishments;

  static constexpr int kPages = 5;
  static constexpr const char* kFilter = "Texto. TXT(*.txt)|*.txt";
  static constexpr const char* kLedgerFilter = "Planilha CSV (*.csv)|*.csv";
  // The import bar's label between imports: before the first file, and after one.
  static constexpr const char* kStatusNoFile = "Nenhum arquivo importado. Clique em '...' para escolher os arquivos.";
  static constexpr const char* kStatusWaiting = "Aguardando Próximo arquivo...";
  // Cancel pressed while the list's files are imported again after an edit.
  static constexpr const char* kRestagingGoesOn =
      "Os arquivos da lista estão sendo importados de novo após a alteração da lista; esta importação não pode "
      "ser interrompida, para que nenhum arquivo saia da lista. Aguarde o fim.";

 private:
  void Changed();
  // The import bar during an import with an overall bar: the file's share
  // `fraction` (0..1, its reading before the lines included) moves the
  // overall bar; without one, nothing is shown here.
  void ShowImportProgress(const std::string& fileName, double fraction);
  // Tells the view that long work without a bar of its own begins (true) or ends.
  void Busy(bool on);
  // The header of the result page: the run's start, end and length.
  std::string RunTimesText() const;
  // Shows a message box and logs it (LogMessage); during a batch the
  // message is kept with the file being imported instead.
  void ShowMessage(std::string_view text, MsgIcon icon);
  // Shows a message box whose content the log already holds in its own
  // lines (a batch's report, a run's result): nothing is logged again.
  void ShowLoggedMessage(std::string_view text, MsgIcon icon);
  // During a batch: keeps a message about the file being imported.
  void NoteFileMessage(std::string_view text);
  // Keeps in `f` (just imported) its number and what its import added to
  // the form's counts: the dropped and outside-layout counts against their
  // values before the import, its lines shorter/longer than the layout and
  // its widest lines per code.
  void NoteContribution(ListedFile& f, const std::map<std::string, int64_t>& droppedBefore,
                        const std::map<std::string, std::string>& unknownBefore,
                        const std::map<std::string, int64_t>& shortLines,
                        const std::map<std::string, int64_t>& longLines, const std::map<std::string, size_t>& widest);
  // Shows the last batch's report (BatchReportText) in one message, if any;
  // not logged: the caller logs the batch's files (LogBatch).
  void ReportBatch(const std::string& heading, size_t chosen);
  // Deletes the staged rows of file i (not the first) and gives back what it
  // added; false when later files lean on its rows (see file_list.cpp) and
  // nothing was changed. Throws DatabaseError (the deletion is rolled back).
  bool DropFileRows(size_t i);
  // Whether the lines of a file after file i (up to, not including, file
  // `end`) were left out because file i held the same rows (or its first
  // line of a code outside the layout stands for theirs).
  bool LaterFilesLeanOn(size_t i, size_t end = static_cast<size_t>(-1));
  // Files i and i + 1 (neither the first) change places without importing
  // anything again: their staged rows exchange their file numbers, so that
  // the numbers still follow the list, and their establishment codes are
  // given in the new order. False, nothing changed, when file i + 1 leans on
  // file i's rows (a fresh import in the new order would store other rows)
  // or a file's number is not known. Throws DatabaseError (rolled back).
  bool SwapFileRows(size_t i);
  // The state the import leaves behind it (links, header, accountant and
  // regime fields) becomes the one the last file of the list left.
  void TakeLastFileLinks();
  // The file count beside the list ("3 arquivos na lista"), from the list itself.
  void UpdateFileCount();
  void SetPage1Note();
  bool Ask(std::string_view question);
  // Imports `files` again, in order, into emptied staging tables (after a
  // removal or a move); a file that no longer imports leaves the list, with a message.
  void RestageFiles(const std::vector<ListedFile>& files);
  // Whether `files` may stand in this order: with "Validar CNPJ Matriz"
  // ticked in the merge of head office and branches the first must be a head office.
  bool HeadOfficeFirst(const std::vector<ListedFile>& files) const;
  // Puts head-office files first among `paths` while no head office is chosen yet.
  void OrderHeadOfficeFirst(std::vector<std::string>& paths);
  // The files the run reads and must never write over: the imported files
  // and the staging database's file (a "sqlite:PATH" target).
  std::vector<RunFile> FilesToKeep() const;
  // The summary rows of the run that just wrote its file (RunSummary).
  std::vector<SummaryRow> RunSummaryRows(bool singleCnpj) const;
  // The run when page 4 is entered (the summary files saved with the merged
  // file); a failed run leads back to page 2.
  void RunFromLastPage();
  void UpdateListControls();
  // The buttons that would start other work, disabled while a file is
  // imported (ShowPage enables them again).
  void DisableWhileImporting();
  std::string NamedIfSeveral(const std::string& path, const std::string& message) const;
  // Captions of pages, buttons and options before the first page is shown.
  void InitControls();

  Ports ports_;
  std::string databaseTarget_;
  RunContext run_;
  bool m_CancelImport = false;
  // The page that shows the last run's result with its ledger (4, or 2 after
  // a failed run); -1 once the user left it.
  int m_PaginaConciliacao = -1;
  bool m_CancelBatch = false;
  bool m_Restaging = false;      // importing again files the user already chose
  bool m_Collecting = false;     // a batch runs: messages about its files are gathered
  bool m_BusyShown = false;      // the view was told that long work goes on
  std::vector<std::string> m_FileMessages;  // of the file the batch imports now
  std::vector<std::string> m_Registro;      // the log (LogLines)
  // The page that shows the last run's log and its save button (4, or 2 after a failed run); -1 none.
  int m_PaginaRegistro = -1;
  // The work of AddFiles for the open dialog and a drop alike: the batch,
  // its log lines and its one report; the folder of the first file remembered.
  void TakeFiles(const std::vector<std::string>& paths);
  // Adds a line to the log, stamped with the time.
  void Log(const std::string& text);
  // Logs the last batch: its files taken (from list row `firstNew` on), not
  // taken (each line opened by `notTaken`) and their notices.
  void LogBatch(size_t firstNew, const char* notTaken = "Arquivo não importado");
  // Logs a message box shown to the user: its kind by the icon ("Mensagem",
  // "Atenção", "Erro"), then its text, the lines after the first indented.
  void LogMessage(std::string_view text, MsgIcon icon);
  // Logs a question asked and the user's answer.
  void LogQuestion(std::string_view question, bool answer);
  // Logs the run just ended (m_Resultado) and remembers its output folder when it succeeded.
  void LogRun();
  // The state of the controls above for page `p` (ShowPage calls it):
  // title, proposed folder on page 2, summary on page 3, result's buttons and log.
  void ShowPageAids(int p);
};
