#include "tests/support/blocks_cd_support.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <set>
#include <stdexcept>

#include <unistd.h>

#include "blocks/registry.h"
#include "staging/output_file.h"
#include "staging/record_catalogue.h"
#include "staging/resources.h"
#include "staging/run_state.h"
#include "staging/text.h"
#include "tests/support/test_run.h"

namespace fs = std::filesystem;

BlocksCdStage::BlocksCdStage() { TestRun().output.Open(dir_.File("out.txt")); }

BlocksCdStage::~BlocksCdStage() { TestRun().output.Abort(); }

void BlocksCdStage::StageFile(std::string_view cnpj, const std::vector<std::string>& lines) {
  static const std::set<std::string, std::less<>> kParents = {"C100", "C180", "C190", "C380",
                                                              "C490", "C500", "D100", "D500"};
  for (const std::string& line : lines) {
    const std::vector<std::string> fields = RecordFields(line);
    if (fields.size() < 2) throw std::invalid_argument("not a record line: " + line);
    const std::string& reg = fields[1];
    const LayoutSpec* spec = FindAnyLayout(reg);
    if (!spec) continue;
    std::string columns, values;
    std::string whole = "|";  // the line of a record staged whole (LayoutSpec::wholeLine)
    for (const FieldSpec& f : spec->fields) {
      std::string value;
      if (f.key > 0 && spec->wholeLine) {
        whole += (static_cast<size_t>(f.key) < fields.size() ? fields[f.key] : "") + "|";
        continue;
      }
      if (f.key > 0)
        value = static_cast<size_t>(f.key) < fields.size() ? fields[f.key] : "";
      else if (std::string_view(f.name) == "Id_CNPJ")
        value = cnpj;
      else if (f.ref == RunRef::ParentID || (!spec->pkIdentity && std::string_view(f.name) == "ID"))
        value = std::to_string(parent_);
      else if (f.ref == RunRef::EcfID)
        value = std::to_string(ecf_);
      else if (f.ref == RunRef::CaixaID)
        value = std::to_string(caixa_);
      else if (f.ref == RunRef::PaiID)
        value = std::to_string(lastOf_[Layout006().Find(reg)->parent->code]);
      else
        continue;  // the identity, or a column the import leaves empty
      if (!columns.empty()) columns += ",", values += ",";
      columns += f.name;
      values += "'" + PrepareSqlText(value) + "'";
    }
    if (spec->wholeLine) columns += ",Linha", values += ",'" + PrepareSqlText(whole) + "'";
    TestRun().connection->Execute("INSERT INTO ###" + reg + " (" + columns + ") VALUES (" + values + ")");
    if (!spec->pkIdentity) continue;
    int64_t id = TestRun().connection->LastIdentity("###" + reg);
    lastOf_[reg] = id;
    if (kParents.count(reg)) parent_ = id;
    if (reg == "C400") ecf_ = id;
    if (reg == "C405") caixa_ = id;
  }
}

std::vector<std::string> BlocksCdStage::UnifyC(bool singleCnpj) {
  WriteBlock(TestRun(), *FindBlock('C'), singleCnpj);
  return Finish();
}

std::vector<std::string> BlocksCdStage::UnifyD(bool singleCnpj) {
  WriteBlock(TestRun(), *FindBlock('D'), singleCnpj);
  return Finish();
}

std::vector<std::string> BlocksCdStage::Finish() {
  TestRun().output.Commit();
  return ReadCrLfLines(dir_.File("out.txt"));
}

int64_t BlocksCdStage::Count(std::string_view reg) { return RegisteredCount(reg); }

std::vector<std::string> Tags(const std::vector<std::string>& lines) {
  std::vector<std::string> out;
  for (const std::string& line : lines) {
    std::vector<std::string> f = RecordFields(line);
    out.push_back(f.size() > 2 ? f[1] + " " + f[2] : line);
  }
  return out;
}

std::vector<std::string> RecordFields(std::string_view line) {
  std::vector<std::string> out;
  size_t start = 0;
  for (size_t bar = line.find('|'); bar != std::string_view::npos; bar = line.find('|', start)) {
    out.emplace_back(line.substr(start, bar - start));
    start = bar + 1;
  }
  out.emplace_back(line.substr(start));
  return out;
}

std::vector<std::string> PlacedDocumentLines(const std::vector<std::string>& lines) {
  static const std::set<std::string, std::less<>> kDocuments = {
      "C100", "C180", "C190", "C380", "C400", "C490", "C500", "D100", "D500"};
  static const std::set<std::string, std::less<>> kEnds = {"C001", "C990", "D001", "D990"};
  std::vector<std::string> out;
  std::string est, doc, caixa;
  for (const std::string& line : lines) {
    if (line.size() < 6 || (line[1] != 'C' && line[1] != 'D')) continue;
    const std::string code = line.substr(1, 4);
    if (kEnds.count(code)) continue;
    if (code == "C010" || code == "D010") {
      est = line, doc.clear(), caixa.clear();
      continue;
    }
    if (kDocuments.count(code)) {
      doc = line, caixa.clear();
      out.push_back(est + " > " + line);
    } else if (code == "C405") {
      caixa = line;
      out.push_back(est + " > " + doc + " > " + line);
    } else if (code == "C481" || code == "C485") {
      out.push_back(est + " > " + doc + " > " + caixa + " > " + line);
    } else {
      out.push_back(est + " > " + doc + " > " + line);
    }
  }
  std::sort(out.begin(), out.end());
  return out;
}
