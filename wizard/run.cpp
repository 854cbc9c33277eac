// The unification run: names the merged file from the stored header, refuses
// to write over an input (or any file the run reads), writes it block by
// block in file order under a temporary name, checks what it wrote, writes the
// ledger report and the summary files when asked for, and puts the merged
// file under its final name only when every block, the report and the summary
// have been written and the file passed the check.
#include <chrono>
#include <exception>
#include <iterator>
#include <string>

#include "blocks/registry.h"
#include "checker/efd_check.h"
#include "checker/stream_check.h"
#include "platform/files.h"
#include "staging/ledger.h"
#include "staging/older_forms.h"
#include "staging/output_file.h"
#include "staging/resources.h"
#include "staging/run_state.h"
#include "wizard/frm_assistente.h"
#include "wizard/header_fields.h"
#include "wizard/output_folder.h"
#include "wizard/run_summary.h"

namespace {

constexpr char kSeparator = platform::kPathSeparator;

// A failure of the run that carries its own message for the user.
struct RunFailure {
  std::string message;
  // The merge itself went wrong (lines unaccounted for, an output the checker
  // rejects): another output folder would give the same result.
  bool inTheMerge = false;
};

// True for a character that separates folders in a path of this system (on
// Linux a backslash is an ordinary character of a name).
bool IsSeparator(char c) { return platform::IsPathSeparator(c); }

// The folder and the name joined by exactly one separator: a trailing
// separator of the folder (a drive root, a chooser's trailing separator)
// stands for that separator.
std::string JoinPath(std::string folder, const std::string& name) {
  if (!folder.empty() && IsSeparator(folder.back())) folder.pop_back();
  return folder + kSeparator + name;
}

constexpr std::string_view kFinalSuffix = "_Unificado.txt";
constexpr std::string_view kInvalidSuffix = "_Unificado.invalido.txt";

// The merged file's name from the stored header: digits, underscores and the
// fixed text only, so that the path stays inside the output folder; `cnpj`
// (when given) receives the header's CNPJ. Throws RunFailure when no header
// is stored or its CNPJ or dates cannot name a file.
std::string OutputName(RunContext& run, std::string* headerCnpj = nullptr) {
  auto rs = run.connection->Execute("SELECT * FROM ###0000");
  if (rs->Eof())
    throw RunFailure{"Nenhum arquivo importado: a tabela 0000 está vazia (o primeiro arquivo não "
                     "trouxe o registro 0000); nada a unificar"};
  std::string cnpj = (*rs)["CNPJ"].AsText(), dtIni = (*rs)["Dt_Ini"].AsText(), dtFin = (*rs)["Dt_Fin"].AsText();
  if (std::string problem = HeaderFieldsProblem(cnpj, dtIni, dtFin); !problem.empty())
    throw RunFailure{problem + "; o arquivo unificado não pode ser nomeado"};
  if (headerCnpj) *headerCnpj = cnpj;
  return "EFDPISCOFINS_" + cnpj + "_" + dtIni + "_" + dtFin + std::string(kFinalSuffix);
}

// Where an output that its own check rejected is kept for inspection.
std::string InvalidPath(const std::string& finalPath) {
  return finalPath.substr(0, finalPath.size() - kFinalSuffix.size()) + std::string(kInvalidSuffix);
}

// The user cancelled the run (thrown from the progress of the run).
struct RunCancelled {};

// The run's progress port while the run is alive (installed over the port in
// use, put back at the end). The bars of establishments and records (kinds
// 2 to 4) go on to that port; after them the overall bar (kind 1) follows
// the lines written against the lines staged, then the lines checked against
// the lines written, sent when its percentage moves or half a second passed.
// A cancel confirmed meanwhile (window events run inside the port in use)
// stops the run: the next event throws RunCancelled.
class ProgressOfTheRun final : public ProgressPort {
 public:
  ProgressOfTheRun(UiPorts& ports, ProgressMeter& meter, const OutputFile& out, const bool& cancel)
      : ports_(ports), meter_(meter), out_(out), cancel_(cancel), previous_(ports.progress) {
    ports_.progress = this;
  }
  ~ProgressOfTheRun() override { ports_.progress = previous_; }
  ProgressOfTheRun(const ProgressOfTheRun&) = delete;
  ProgressOfTheRun& operator=(const ProgressOfTheRun&) = delete;

  // A new phase of the run (a block, the check), named in the overall bar.
  void Phase(std::string text) {
    phase_ = std::move(text);
    Send();
  }
  // Writing begins: `staged` lines are expected (the lines imported), in a
  // step of `weight` units of the overall bar.
  void Writing(double staged, double weight) {
    meter_.Step(weight);
    staged_ = staged > 0 ? staged : 1;
    checking_ = false;
  }
  // The check of what was written begins, in a step of `weight` units.
  void Checking(double weight) {
    meter_.Step(weight);
    written_ = static_cast<double>(out_.LinesWritten());
    if (written_ < 1) written_ = 1;
    checking_ = true;
    Phase("Verificando o arquivo unificado");
  }
  // `lines` of the written file checked.
  void Checked(int64_t lines) {
    meter_.StepDone(static_cast<double>(lines) / written_);
    Update();
    if (cancel_) throw RunCancelled{};
  }
  // The whole run is done: the bar at 100%.
  void Done() {
    meter_.Finish();
    phase_ = "Unificação concluída";
    Send();
  }

  void Progress(const ProgressEvent& e) override {
    if (previous_) previous_->Progress(e);
    if (!checking_ && !e.Hidden() && (++events_ % 256 == 0 || e.kind == 2)) {
      meter_.StepDone(static_cast<double>(out_.LinesWritten()) / staged_);
      Update();
    }
    if (cancel_) throw RunCancelled{};
  }

 private:
  // Sends the overall bar when its percentage moved or half a second passed.
  void Update() {
    const auto now = std::chrono::steady_clock::now();
    if (meter_.Percent() == sentPercent_ && now < next_) return;
    Send();
  }
  void Send() {
    ProgressEvent e;
    e.kind = 1;
    e.text = phase_;
    meter_.Fill(e);
    sentPercent_ = static_cast<int>(e.done);
    next_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
    if (previous_) previous_->Progress(e);
  }

  UiPorts& ports_;
  ProgressMeter& meter_;
  const OutputFile& out_;
  const bool& cancel_;
  ProgressPort* previous_;
  std::string phase_ = "Unificando";
  double staged_ = 1, written_ = 1;
  bool checking_ = false;
  int64_t events_ = 0;
  int sentPercent_ = -1;
  std::chrono::steady_clock::time_point next_{};
};

// Checks the written file before it takes its final name: `check` has been
// given every byte written (on its own thread, as the blocks were written),
// so only the lines still queued are waited for. Throws RunFailure with the
// checker's first findings when it is not a valid file; the output is then
// kept only under the "invalido" name. Throws RunCancelled when the user
// cancels meanwhile.
void CheckOwnOutput(OutputFile& out, BackgroundCheck& check, ProgressOfTheRun& progress, double weight) {
  out.Finish();
  out.SetTap({});
  progress.Checking(weight);
  CheckReport report;
  try {
    report = check.Finish([&](int64_t lines) { progress.Checked(lines); });
  } catch (const std::exception& e) {
    throw RunFailure{std::string("Não foi possível verificar o arquivo unificado: ") + e.what()};
  }
  if (report.Valid()) return;
  std::string first;
  int listed = 0;
  for (const CheckProblem& p : report.problems) {
    if (p.warning) continue;
    if (listed++ == 3) break;
    first += (first.empty() ? "" : "; ") + std::string("linha ") + std::to_string(p.line) +
             (p.code.empty() ? "" : " " + Printable(p.code)) + ": " + p.message;
  }
  std::string kept = InvalidPath(out.FinalPath());
  out.KeepAs(kept);
  throw RunFailure{"O arquivo unificado não passou na verificação (" + std::to_string(report.errors) +
                   " erro(s): " + first + "); ele não foi gravado com o nome final e foi guardado para "
                   "inspeção como " + kept, true};
}

// The first five of `items` joined by "; ", "; ..." when there are more.
std::string FirstFive(const std::vector<std::string>& items) {
  std::string text;
  for (size_t i = 0; i < items.size() && i < 5; ++i) text += (i ? "; " : "") + items[i];
  if (items.size() > 5) text += "; ...";
  return text;
}

// Sets the lines written against the lines read; the rows go into `result`.
// Throws RunFailure naming the first record codes and establishments whose
// lines were neither written nor accounted for by a merge rule or a refusal,
// then those written under an establishment that did not read them (or
// written twice).
void CheckLedger(RunContext& run, bool singleCnpj, const std::string& mergedCnpj, RunResult& result) {
  Reconciliation r = Reconcile(run.ledger, singleCnpj, mergedCnpj);
  result.ledger = r.rows;
  if (r.Balanced()) return;
  std::string text;
  if (!r.shortfalls.empty()) text = "Linhas lidas e não gravadas: " + FirstFive(r.shortfalls) + ". ";
  if (!r.surpluses.empty())
    text += "Linhas gravadas a mais: " + FirstFive(r.surpluses) + ". ";
  throw RunFailure{text + "O arquivo unificado não foi gravado.", true};
}

// Writes every block to file number 1, naming each in the overall bar; the
// bars of establishments and records are cleared (hidden) before each block
// and after the last. Throws whatever a block throws.
void WriteBlocks(RunContext& run, bool& singleCnpj, ProgressOfTheRun& progress) {
  auto clearDetails = [&run] {
    md_ShowProgress(run, 3, "", 0, 0);
    md_ShowProgress(run, 4, "", 0, 0);
    md_ShowProgress(run, 2, "", 0, 0);
  };
  for (const BlockEntry& block : BlockTable()) {
    clearDetails();
    progress.Phase(std::string("Unificando Bloco ") + block.letter);
    WriteBlock(run, block, singleCnpj);
  }
  clearDetails();
}

// Files of an older layout are written back in their own form: every code
// whose imported lines all had fewer fields than its current layout is written
// with the most fields one of them had.
void KeepOlderForms(RunContext& run, const std::map<std::string, size_t>& widest) {
  auto& older = run.olderFormFields;
  older.clear();
  for (const auto& [code, fields] : widest)
    if (const LayoutSpec* spec = FindAnyLayout(code); spec && fields < static_cast<size_t>(spec->LineFieldCount()))
      older[code] = fields;
}

// While alive, every error reported through the ports is also kept in `into`
// (and still reaches the port that was installed).
class NoticesOfTheRun final : public ErrorPort {
 public:
  NoticesOfTheRun(UiPorts& ports, std::vector<std::string>& into)
      : ports_(ports), into_(into), previous_(ports.errors) {
    ports_.errors = this;
  }
  ~NoticesOfTheRun() override { ports_.errors = previous_; }
  NoticesOfTheRun(const NoticesOfTheRun&) = delete;
  NoticesOfTheRun& operator=(const NoticesOfTheRun&) = delete;
  void ReportError(std::string_view source, std::string_view procedure, std::string_view message) override {
    into_.emplace_back(message);
    if (previous_) previous_->ReportError(source, procedure, message);
  }

 private:
  UiPorts& ports_;
  std::vector<std::string>& into_;
  ErrorPort* previous_;
};

}  // namespace

// The run's summary per establishment, from the ledger, the imported files
// and their staged Block M. Throws what StagedContributions throws.
std::vector<SummaryRow> frmAssistente::RunSummaryRows(bool singleCnpj) const {
  const std::map<int64_t, StagedContribution> amounts = StagedContributions(run_);
  std::vector<SummaryInput> inputs;
  for (const ListedFile& f : m_Arquivos) {
    SummaryInput in{f.id, platform::FileNameOf(f.path), f.cnpj, f.establishments, {}, {}};
    if (auto it = amounts.find(f.id); it != amounts.end()) {
      in.pis = it->second.pis;
      in.cofins = it->second.cofins;
    }
    inputs.push_back(std::move(in));
  }
  return BuildRunSummary(run_.ledger, inputs, singleCnpj);
}

RunResult frmAssistente::RunUnification(bool& singleCnpj, const std::string& reportPath, bool summary) {
  RunResult result;
  // The report is owed also by a failed run, unless the failure is about the
  // files the run writes (the report itself among them).
  bool reportOwed = !reportPath.empty();
  for (const auto& [code, lines] : m_Descartados) result.dropped.emplace_back(code, lines);
  result.unknownFirstLine = m_ForaDoLeiaute;
  m_Running = true;
  m_CancelRun = false;
  OutputFile& out = run_.output;
  bool inTransaction = false;
  NoticesOfTheRun notices(run_.ports, result.notices);
  // The overall bar: the lines imported are the lines to write (the bytes
  // of the files weigh them against the imports when the command line
  // planned one bar over both), then the check of what was written.
  double staged = 0, bytes = 0;
  for (const ListedFile& f : m_Arquivos) {
    staged += static_cast<double>(f.lines);
    bytes += WorkWeight(f.path);
  }
  const bool ownMeter = !m_Meter.Active();
  if (ownMeter) m_Meter.Begin(bytes * (kMergePerImport + kCheckPerImport));
  struct MeterScope {
    ProgressMeter& meter;
    ~MeterScope() { meter.End(); }
  } meterScope{m_Meter};
  ProgressOfTheRun progress(run_.ports, m_Meter, out, m_CancelRun);
  try {
    if (!run_.connection) throw RunFailure{"O banco de dados de trabalho não está aberto"};
    if (m_CaminhoSalvo.empty()) throw RunFailure{"Nenhuma pasta de destino foi escolhida"};
    std::string mergedCnpj;
    std::string path = JoinPath(m_CaminhoSalvo, OutputName(run_, &mergedCnpj));
    if (std::string clash = WrittenFilesProblem(reportPath, summary); !clash.empty()) {
      reportOwed = false;
      throw RunFailure{clash};
    }
    out.Open(path);
    // One transaction for the run: the counters of ###Registros start at zero
    // and are left as they were when the run fails.
    run_.connection->Execute("BEGIN TRANSACTION");
    inTransaction = true;
    run_.connection->Execute("UPDATE ###Registros SET QtdeReg = 0");
    run_.ledger.ClearWritten();
    KeepOlderForms(run_, m_CamposLidos);
    progress.Writing(staged, bytes * kMergePerImport);
    // What is written is checked on a second thread as it is written.
    BackgroundCheck check;
    struct TapScope {
      OutputFile& out;
      ~TapScope() { out.SetTap({}); }
    } tapScope{out};
    out.SetTap([&check](std::string_view written) { check.Add(written); });
    WriteBlocks(run_, singleCnpj, progress);
    CheckLedger(run_, singleCnpj, mergedCnpj, result);
    CheckOwnOutput(out, check, progress, bytes * kCheckPerImport);
    if (reportOwed) {
      reportOwed = false;
      std::string error;
      if (!SaveLedgerCsv(reportPath, result.ledger, error))
        throw RunFailure{error + "; o arquivo unificado não foi gravado"};
    }
    result.summary = RunSummaryRows(singleCnpj);
    if (summary) {
      std::string error;
      if (!SaveSummaryFiles(path, result.summary, error))
        throw RunFailure{error + "; o arquivo unificado não foi gravado"};
      result.summaryCsv = SummaryCsvPath(path);
      result.summaryHtml = SummaryHtmlPath(path);
    }
    run_.endTime = NowText();
    run_.connection->Execute("COMMIT TRANSACTION");
    inTransaction = false;
    out.Commit();
    result.ok = true;
    result.path = path;
    progress.Done();
  } catch (const RunCancelled&) {
    result.cancelled = true;
    result.error = "a unificação foi cancelada; o arquivo unificado não foi gravado";
    reportOwed = false;
  } catch (const RunFailure& f) {
    result.error = f.message;
    result.failedInTheMerge = f.inTheMerge;
  } catch (const std::exception& e) {
    result.error = std::string("A unificação falhou: ") + e.what();
  }
  if (!result.ok) {
    out.Abort();
    if (inTransaction) {
      try {
        run_.connection->Execute("ROLLBACK TRANSACTION");
      } catch (const std::exception&) {
        // The run has already failed; its message is the one that matters.
      }
    }
    if (reportOwed) {
      std::string error;
      if (!SaveLedgerCsv(reportPath, result.ledger, error)) result.error += "; além disso, " + error;
    }
  }
  m_Running = false;
  m_Resultado = result;
  return result;
}

std::string frmAssistente::PlannedOutputPath() {
  if (!run_.connection || m_CaminhoSalvo.empty()) return std::string();
  try {
    return JoinPath(m_CaminhoSalvo, OutputName(run_));
  } catch (const RunFailure&) {
    return std::string();
  }
}

std::vector<RunFile> frmAssistente::FilesToKeep() const {
  std::vector<RunFile> kept;
  for (const ListedFile& f : m_Arquivos) kept.push_back({"o arquivo de entrada", f.path});
  constexpr std::string_view kSqliteFile = "sqlite:";
  if (databaseTarget_.compare(0, kSqliteFile.size(), kSqliteFile) == 0)
    kept.push_back({"o banco de dados de trabalho", databaseTarget_.substr(kSqliteFile.size())});
  return kept;
}

std::string frmAssistente::WrittenFilesProblem(const std::string& reportPath, bool summary) {
  std::vector<RunFile> written;
  if (const std::string path = PlannedOutputPath(); !path.empty()) {
    written.push_back({"o arquivo unificado", path});
    written.push_back({"a cópia do arquivo unificado guardada para inspeção", InvalidPath(path)});
    if (summary) {
      written.push_back({"o resumo por estabelecimento (CSV)", SummaryCsvPath(path)});
      written.push_back({"o resumo por estabelecimento (página)", SummaryHtmlPath(path)});
    }
  }
  if (!reportPath.empty()) written.push_back({"o relatório de conciliação", reportPath});
  return WrittenFilesClash(FilesToKeep(), written);
}

bool LeftLinesOut(const RunResult& result) {
  if (!result.dropped.empty()) return true;
  const LedgerSummary s = SummarizeLedger(result.ledger);
  return s.refused > 0 || s.missing > 0;
}

std::string DroppedCodesText(const RunResult& result) {
  std::string list;
  for (const auto& [code, count] : result.dropped) {
    list += (list.empty() ? "" : ", ") + code + " (" + std::to_string(count);
    if (auto it = result.unknownFirstLine.find(code); it != result.unknownFirstLine.end())
      list += "; fora do leiaute 006, primeira: " + it->second;
    list += ")";
  }
  return list;
}
