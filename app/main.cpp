// quelvar: the wizard (no arguments), `merge` and `check` on the command line.
#include <CLI/CLI.hpp>

#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "app/cli_merge.h"
#include "app/gui/gui_main.h"
#include "app/version.h"
#include "checker/efd_check.h"
#include "platform/console.h"

namespace {

// The usage error `e` in Portuguese, for stderr: the missing option or value,
// the argument not expected, or the parser's own text after "uso incorreto"
// for the rarer kinds; then where the options are described.
std::string UsageError(const CLI::App*, const CLI::Error& e) {
  const std::string what = e.what(), name = e.get_name();
  auto after = [&](const std::string& prefix) {
    return what.rfind(prefix, 0) == 0 ? what.substr(prefix.size()) : std::string();
  };
  std::string text;
  if (name == "RequiredError" && what.ends_with(" is required")) {
    text = "falta " + what.substr(0, what.size() - 12);
  } else if (name == "ArgumentMismatch" && what.find(" missing") != std::string::npos) {
    text = what.substr(0, what.find(':')) + " pede um valor";
  } else if (std::string extras = after("The following argument was not expected: ") +
                                   after("The following arguments were not expected: ");
             !extras.empty()) {
    text = "argumento não esperado: " + extras;
  } else {
    text = "uso incorreto: " + what;
  }
  return "quelvar: " + text + "\nUse --help para ver os comandos e as opções.\n";
}

}  // namespace

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
      "Quelvar unifica os arquivos da EFD-Contribuições (PIS/COFINS) de uma matriz e das suas\n"
      "filiais num só arquivo. Sem argumentos, abre a janela do assistente."};
  // The parser's own words in Portuguese, set before the commands copy them.
  app.get_formatter()->label("Usage", "Uso");
  app.get_formatter()->label("OPTIONS", "OPÇÕES");
  app.get_formatter()->label("SUBCOMMAND", "COMANDO");
  app.get_formatter()->label("Positionals", "Argumentos");
  app.get_formatter()->label("REQUIRED", "OBRIGATÓRIO");
  app.option_defaults()->group("Opções");
  app.set_help_flag("-h,--help", "mostra esta ajuda e sai");
  app.set_version_flag("--version", std::string(kQuelvarVersionText), "mostra a versão e sai");
  app.require_subcommand(0, 1);
  app.failure_message(UsageError);

  MergeOptions merge;
  if (auto envDatabase = platform::Utf8Environment("QUELVAR_DATABASE")) merge.database = *envDatabase;
  CLI::App* mergeCmd = app.add_subcommand(
      "merge",
      "Importa os arquivos (o primeiro é o da matriz) e grava o arquivo unificado\n"
      "EFDPISCOFINS_<CNPJ>_<início>_<fim>_Unificado.txt na pasta de saída; o seu caminho\n"
      "é escrito na saída padrão. Código de saída: 0 o arquivo foi gravado e cada linha\n"
      "de entrada está nele ou foi unificada por uma regra; 1 nada foi gravado (um arquivo\n"
      "recusado, uma execução que falhou, um arquivo unificado, relatório ou resumo que\n"
      "gravaria sobre uma entrada ou sobre outro deles); 2 erro de uso; 3 o arquivo foi gravado com\n"
      "linhas deixadas de fora (\"gravado, com linhas deixadas de fora\": códigos fora do\n"
      "leiaute ou não unificados, listados na saída de erros).");
  mergeCmd->group("Comandos");
  mergeCmd->get_help_ptr()->group("Opções");
  mergeCmd->add_flag("--same-cnpj", merge.sameCnpj,
                     "tipo de unificação \"Unifica Arquivo (Mesmo CNPJ)\": arquivos de um só CNPJ");
  mergeCmd->add_flag("--no-head-office-check", merge.noHeadOfficeCheck,
                     "não exige que o primeiro arquivo seja o da matriz (\"Validar CNPJ Matriz\" desmarcado)");
  mergeCmd->add_option("--output-dir", merge.outputDir, "pasta que recebe o arquivo unificado")
      ->type_name("PASTA")
      ->required();
  mergeCmd->add_option("--database", merge.database,
                       "banco de dados de trabalho: um arquivo SQLite temporário na pasta temporária\n"
                       "do sistema (removido ao sair); sqlite:CAMINHO o põe em CAMINHO; memory o\n"
                       "mantém na memória; odbc:CONNECTION-STRING usa o SQL Server por ODBC.\n"
                       "A variável de ambiente QUELVAR_DATABASE faz o mesmo.")
      ->type_name("DESTINO");
  mergeCmd->add_option("--report", merge.report,
                       "grava a conciliação (por código de registro e estabelecimento: linhas lidas,\n"
                       "gravadas, unificadas por uma regra, recusadas, não gravadas) em CSV neste\n"
                       "arquivo (campos separados por ';', UTF-8 com BOM), também quando a unificação\n"
                       "falha; nunca um arquivo de entrada, o arquivo unificado ou um link. O arquivo\n"
                       "unificado só recebe o seu nome final depois de gravado o relatório.")
      ->type_name("ARQUIVO");
  mergeCmd->add_flag("--summary", merge.summary,
                     "grava também, ao lado do arquivo unificado, o resumo por estabelecimento\n"
                     "(arquivo, CNPJ, papel, linhas lidas e gravadas, documentos C100/A100/D100/F100,\n"
                     "PIS e COFINS do período do bloco M, avisos) em <nome>_Resumo.csv e\n"
                     "<nome>_Resumo.html; os seus caminhos são escritos na saída padrão depois do\n"
                     "caminho do arquivo unificado.");
  bool noProgress = false;
  mergeCmd->add_flag("--no-progress", noProgress, "sem a linha de progresso no terminal");
  mergeCmd->add_option("ARQUIVO", merge.files, "arquivos de entrada, o da matriz primeiro")->type_name("")->required();

  std::string checkFile;
  CLI::App* checkCmd = app.add_subcommand(
      "check",
      "Verifica a estrutura de um arquivo da EFD-Contribuições (forma das linhas, ordem dos\n"
      "blocos, contagens de X990, 9900, 9990 e 9999, número de campos, valores, somas e\n"
      "códigos). Código de saída 0 quando é válido.");
  checkCmd->group("Comandos");
  checkCmd->get_help_ptr()->group("Opções");
  checkCmd->add_option("ARQUIVO", checkFile, "o arquivo a verificar")->type_name("")->required();

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
