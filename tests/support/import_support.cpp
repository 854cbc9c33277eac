#include "tests/support/import_support.h"

#include <gtest/gtest.h>

#include <fstream>

#include "blocks/registry.h"
#include "staging/run_state.h"
#include "tests/support/staging_database.h"

namespace fs = std::filesystem;

std::string HeaderLine(const std::string& cnpj, const std::string& dtIni, const std::string& dtFin) {
  return "|0000|006|0|||" + dtIni + "|" + dtFin + "|EMPRESA TESTE|" + cnpj + "|SP|3550308||00|0|";
}

std::string EstablishmentLine(const std::string& code, const std::string& cnpj) {
  return "|0140|" + code + "|LOJA " + code + "|" + cnpj + "|SP||3550308|||";
}

ImportStage::ImportStage() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  dir = UniqueTempPath("quelvar_import_" + std::string(info->test_suite_name()) + "_" + info->name());
  fs::remove_all(dir);
  fs::create_directories(dir);
  frmAssistente::Ports ports;
  ports.ui = UiPorts{&messages, nullptr, &messages};
  form = std::make_unique<frmAssistente>(ports, "memory");
  form->Form_Load();
  // The loaders' details are tried on small hand-written files that are not
  // whole EFD files; the structure check before import has its own tests.
  form->m_ValidarEstrutura = false;
}

ImportStage::~ImportStage() {
  form.reset();
  std::error_code ec;
  fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(dir, ec);
}

std::string ImportStage::WriteBytes(const std::string& name, const std::string& bytes) {
  fs::path p = dir / name;
  std::ofstream(p, std::ios::binary) << bytes;
  return p.string();
}

std::string ImportStage::Write(const std::string& name, const std::vector<std::string>& lines,
                               const std::string& eol, bool finalEol) {
  std::string bytes;
  for (size_t i = 0; i < lines.size(); ++i) {
    bytes += lines[i];
    if (i + 1 < lines.size() || finalEol) bytes += eol;
  }
  return WriteBytes(name, bytes);
}

void ImportStage::SameCnpj() {
  form->controls.OptionUnificaArquivo.Value = true;
  form->controls.OptionUnificaMatrizFilial.Value = false;
  form->OptionUnificaArquivo_Click();
  NoHeadOfficeCheck();
}

void ImportStage::NoHeadOfficeCheck() {
  form->controls.checkValidarMatriz.Value = false;
  form->checkValidarMatriz_Click();
}

std::vector<std::vector<std::string>> ImportStage::Rows(const std::string& sql) const {
  std::vector<std::vector<std::string>> rows;
  auto rs = form->Run().connection->Execute(sql);
  for (; !rs->Eof(); rs->MoveNext()) {
    std::vector<std::string> row;
    for (int i = 0; i < rs->ColumnCount(); ++i)
      row.push_back(rs->Column(i).IsNull() ? "<null>" : rs->Column(i).AsText());
    rows.push_back(row);
  }
  return rows;
}

std::vector<std::string> ImportStage::Column(const std::string& table, const std::string& column) const {
  std::vector<std::string> out;
  // identity tables in the order of their rows; child tables as stored
  const LayoutSpec* spec = FindAnyLayout(table);
  std::string order = spec && spec->pkIdentity ? " ORDER BY ID" : "";
  for (auto& row : Rows("SELECT " + column + " FROM ###" + table + order)) out.push_back(row[0]);
  return out;
}

size_t ImportStage::Count(const std::string& table) const { return Rows("SELECT * FROM ###" + table).size(); }

std::vector<std::string> ImportStage::TakeMessages() {
  std::vector<std::string> out;
  for (auto& m : messages.shown) out.push_back(m.text);
  messages.shown.clear();
  return out;
}
