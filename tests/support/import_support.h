// Helpers for the import tests: a wizard form on its own in-memory staging
// store, input files written into a private folder, and staged rows read back.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/wizard_fakes.h"
#include "wizard/frm_assistente.h"

// A header (0000) line of company `cnpj` for the period dtIni..dtFin.
std::string HeaderLine(const std::string& cnpj, const std::string& dtIni = "01012020",
                       const std::string& dtFin = "31012020");
// An establishment (0140) line with code `code` and CNPJ `cnpj`.
std::string EstablishmentLine(const std::string& code, const std::string& cnpj);

// One form, loaded on a "memory" database, with recording ports. The
// destructor unloads the form and removes the folder.
class ImportStage {
 public:
  ImportStage();
  ~ImportStage();
  ImportStage(const ImportStage&) = delete;
  ImportStage& operator=(const ImportStage&) = delete;

  // Writes `lines` joined by `eol` (and ended by it when `finalEol`) as file
  // `name` of the stage's folder; returns its path.
  std::string Write(const std::string& name, const std::vector<std::string>& lines,
                    const std::string& eol = "\r\n", bool finalEol = true);
  // Writes the bytes as they are.
  std::string WriteBytes(const std::string& name, const std::string& bytes);
  ImportOutcome Import(const std::string& path) { return form->ImportFile(path); }
  // Switches to the merge of files of one CNPJ (box unticked), as the wizard does.
  void SameCnpj();
  // Unticks "Validar CNPJ Matriz".
  void NoHeadOfficeCheck();

  // The rows of a SELECT, each column as text (NULL as "<null>").
  std::vector<std::vector<std::string>> Rows(const std::string& sql) const;
  // The values of one column of a table, in row order.
  std::vector<std::string> Column(const std::string& table, const std::string& column) const;
  size_t Count(const std::string& table) const;
  // Texts of the messages shown so far (then forgets them).
  std::vector<std::string> TakeMessages();

  std::filesystem::path dir;
  RecordingMessages messages;
  std::unique_ptr<frmAssistente> form;
};
