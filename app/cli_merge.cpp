#include "app/cli_merge.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <system_error>

#include "app/cli_ports.h"
#include "blocks/subtree_writer.h"
#include "staging/output_file.h"
#include "staging/run_state.h"
#include "platform/files.h"
#include "wizard/frm_assistente.h"
#include "wizard/output_folder.h"

namespace {

// The output folder, handed to the form as the folder chooser would.
class FixedFolder : public FolderChooser {
 public:
  explicit FixedFolder(std::string dir) : dir_(std::move(dir)) {}
  std::string ChooseFolder(std::string_view, bool) override { return dir_; }

 private:
  std::string dir_;
};

}  // namespace

int RunMergeCommand(const MergeOptions& options) {
  // A report that would be written over an input (or through a link) is
  // refused before anything is imported; the merged file's own name is known
  // only after the import, and the run checks it again with it.
  if (!options.report.empty()) {
    std::vector<RunFile> inputs;
    for (const std::string& file : options.files) inputs.push_back({"o arquivo de entrada", file});
    if (std::string clash = WrittenFilesClash(inputs, {{"o relatório de conciliação", options.report}});
        !clash.empty()) {
      std::fprintf(stderr, "quelvar: %s\n", clash.c_str());
      return 1;
    }
  }
  // A folder given on the command line that does not exist yet is created.
  std::error_code ec;
  std::filesystem::create_directories(platform::PathFromUtf8(options.outputDir), ec);
  if (ec) {
    std::fprintf(stderr, "quelvar: não foi possível criar a pasta %s: %s\n", options.outputDir.c_str(),
                 SystemErrorText(ec).c_str());
    return 1;
  }
  // A folder that takes no new file (read-only, a system folder) is refused
  // before the inputs are read, with its own reason.
  if (std::string problem = OutputFolderProblem(options.outputDir); !problem.empty()) {
    std::fprintf(stderr, "quelvar: não é possível gravar na pasta %s: %s\n", options.outputDir.c_str(),
                 problem.c_str());
    return 1;
  }
  CliMessages messages;
  CliProgress progress(options.progress);
  progress.currentFile = &messages.currentFile;
  FixedFolder folder(options.outputDir);
  frmAssistente::Ports ports;
  ports.folders = &folder;
  ports.ui = UiPorts{&messages, &progress, &messages};
  frmAssistente form(ports, options.database);
  try {
    form.Form_Load();
  } catch (const std::exception& e) {
    progress.Clear();
    std::fprintf(stderr, "quelvar: %s\n", e.what());
    return 1;
  }
  if (options.sameCnpj) {
    form.controls.OptionUnificaArquivo.Value = true;
    form.controls.OptionUnificaMatrizFilial.Value = false;
    form.OptionUnificaArquivo_Click();
  }
  if (options.sameCnpj || options.noHeadOfficeCheck) {
    form.controls.checkValidarMatriz.Value = false;
    form.checkValidarMatriz_Click();
  }

  // One overall percentage and time over the imports and the run.
  form.BeginWork(options.files);
  bool allAccepted = true;
  for (const std::string& file : options.files) {
    messages.currentFile = file;
    ImportOutcome outcome = form.ImportFile(file);
    progress.Clear();
    if (outcome != ImportOutcome::Imported) {
      allAccepted = false;
      if (outcome == ImportOutcome::Refused && messages.shown == 0)
        std::fprintf(stderr, "quelvar: %s: arquivo não importado\n", file.c_str());
    }
    messages.shown = 0;
  }
  messages.currentFile.clear();
  if (form.controls.ListBoxSelecionados.empty()) {
    std::fprintf(stderr, "quelvar: nenhum arquivo importado; nada a unificar\n");
    return 1;
  }
  // A merge without every file asked for is not the merge asked for: nothing
  // is written, and a merged file written earlier stays as it is.
  if (!allAccepted) {
    const size_t refused = options.files.size() - form.controls.ListBoxSelecionados.size();
    std::fprintf(stderr, "quelvar: %zu arquivo(s) não foram aceitos; o arquivo unificado não foi gravado\n",
                 refused);
    return 1;
  }

  form.m_CaminhoSalvo = options.outputDir;
  // The command line replaces an existing merged file without asking, and says so.
  const std::string target = form.PlannedOutputPath();
  std::error_code existsError;
  const bool replacing = !target.empty() && std::filesystem::exists(platform::PathFromUtf8(target), existsError);
  bool single = form.m_MesmoCNPJ;
  ResetEstablishmentPassTotals(form.Run());
  RunResult result = form.RunUnification(single, options.report, options.summary);
  progress.Clear();
  // For the benchmarks: how many statements the writers ran per establishment.
  if (std::getenv("QUELVAR_WRITER_STATEMENTS")) {
    const PassTotals t = EstablishmentPassTotals(form.Run());
    std::fprintf(stderr, "quelvar: writer statements per establishment pass: %.1f (%lld passes, %lld statements)\n",
                 t.passes ? static_cast<double>(t.statements) / static_cast<double>(t.passes) : 0.0,
                 static_cast<long long>(t.passes), static_cast<long long>(t.statements));
    // Every statement of the run, import included, where the backend counts them.
    if (form.Run().connection)
      std::fprintf(stderr, "quelvar: statements of the run: %lld\n",
                   static_cast<long long>(form.Run().connection->StatementsSent()));
  }
  if (!result.ok) {
    std::fprintf(stderr, "quelvar: %s\n", result.error.c_str());
    return 1;
  }
  if (replacing) std::fprintf(stderr, "quelvar: o arquivo existente %s foi substituído\n", result.path.c_str());
  if (!result.dropped.empty()) {
    const std::string list = DroppedCodesText(result);
    std::fprintf(stderr, "quelvar: linhas de registros não unificados: %s\n", list.c_str());
  }
  std::printf("%s\n", result.path.c_str());
  if (!result.summaryCsv.empty()) std::printf("%s\n%s\n", result.summaryCsv.c_str(), result.summaryHtml.c_str());
  if (LeftLinesOut(result)) {
    std::fprintf(stderr, "quelvar: gravado, com linhas deixadas de fora (%s)\n",
                 LedgerSummaryText(result.ledger).c_str());
    return kExitLinesLeftOut;
  }
  return 0;
}
