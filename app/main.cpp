// quelvar: the wizard (no arguments), `merge` and `check` on the command line.
#include <CLI/CLI.hpp>

#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "app/cli_merge.h"
#include "app/gui/gui_main.h"
#include "checker/efd_check.h"
#include "platform/console.h"

int main(int argc, char** argv) {
  // The arguments as UTF-8 on every system (on Windows read from the wide
  // command line), handed on as argc/argv.
  platform::PrepareConsole();
  std::vector<std::string> args = platform::Utf8Arguments(argc, argv);
  std::vector<char*> utf8Argv;
  for (std::string& a : args) utf8Argv.push_back(a.data());
  utf8Argv.push_back(nullptr);
  argc = static_cast<int>(args.size());
  argv = utf8Argv.data();

  if (argc == 1) return RunWizardGui(argc, argv);

  CLI::App app{
      "Quelvar merges the EFD-Contribuições (PIS/COFINS) files of a head office and its\n"
      "branches into one file. Without arguments it opens the wizard window."};
  app.require_subcommand(0, 1);

  MergeOptions merge;
  if (auto envDatabase = platform::Utf8Environment("QUELVAR_DATABASE")) merge.database = *envDatabase;
  CLI::App* mergeCmd = app.add_subcommand(
      "merge",
      "Import the files (the first is the head office) and write the merged file\n"
      "EFDPISCOFINS_<CNPJ>_<start>_<end>_Unificado.txt into the output folder; its path\n"
      "is printed on stdout. Exit status: 0 the file was written and every input line\n"
      "is in it or merged by a rule; 1 nothing was written (a file refused, a failed run,\n"
      "a merged file or report that would overwrite an input or each other); 2 usage\n"
      "error; 3 the file was written with lines left out (\"gravado, com linhas deixadas\n"
      "de fora\": codes outside the layout or not merged, listed on stderr).");
  mergeCmd->add_flag("--same-cnpj", merge.sameCnpj,
                     "merge kind \"Unifica Arquivo (Mesmo CNPJ)\": files of one and the same CNPJ");
  mergeCmd->add_flag("--no-head-office-check", merge.noHeadOfficeCheck,
                     "do not require the first file to be the head office (\"Validar CNPJ Matriz\" unticked)");
  mergeCmd->add_option("--output-dir", merge.outputDir, "folder that receives the merged file")->required();
  mergeCmd->add_option("--database", merge.database,
                       "staging database: a temporary SQLite file in the system's temp folder by\n"
                       "default (removed at exit); sqlite:PATH places it at PATH; memory keeps it\n"
                       "in memory; odbc:CONNECTION-STRING uses SQL Server through ODBC.\n"
                       "The environment variable QUELVAR_DATABASE sets the same.");
  mergeCmd->add_option("--report", merge.report,
                       "write the reconciliation ledger (per record code and establishment: lines\n"
                       "read, written, merged by a rule, refused, not written) as CSV to this file,\n"
                       "also when the merge fails; never an input file, the merged file or a link.\n"
                       "The merged file takes its final name only after the report was written.");
  bool noProgress = false;
  mergeCmd->add_flag("--no-progress", noProgress, "no progress line on the terminal");
  mergeCmd->add_option("FILE", merge.files, "input files, head office first")->required();

  std::string checkFile;
  CLI::App* checkCmd = app.add_subcommand(
      "check",
      "Check the structure of an EFD-Contribuições file (line shape, block order, X990,\n"
      "9900, 9990 and 9999 counts, field counts). Exit status 0 when it is valid.");
  checkCmd->add_option("FILE", checkFile, "the file to check")->required();

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    int rc = app.exit(e);
    return rc == 0 ? 0 : 2;
  }
  if (mergeCmd->parsed()) {
    merge.progress = !noProgress;
    return RunMergeCommand(merge);
  }
  if (checkCmd->parsed()) return RunCheckCommand(checkFile, std::cout, std::cerr);
  return RunWizardGui(argc, argv);
}
