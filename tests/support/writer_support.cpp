#include "tests/support/writer_support.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/support/check_support.h"

#include "blocks/registry.h"
#include "staging/output_file.h"
#include "staging/resources.h"
#include "staging/run_state.h"
#include "staging/text.h"
#include "tests/support/test_run.h"

namespace fs = std::filesystem;

namespace writer_support {

namespace {

std::vector<std::string> Fields(std::string_view line) {
  std::vector<std::string> out;
  size_t start = 0;
  for (size_t bar = line.find('|'); bar != std::string_view::npos; bar = line.find('|', start)) {
    out.emplace_back(line.substr(start, bar - start));
    start = bar + 1;
  }
  out.emplace_back(line.substr(start));
  return out;
}

}  // namespace

int64_t StoreLine(std::string_view line, std::string_view idCnpj, int64_t parentId) {
  std::vector<std::string> f = Fields(line);
  const std::string code = f.size() > 1 ? f[1] : "";
  const LayoutSpec* spec = FindAnyLayout(code);
  if (!spec) {
    ADD_FAILURE() << "no layout for " << code;
    return 0;
  }
  std::string cols, vals;
  for (const FieldSpec& field : spec->fields) {
    std::string name = field.name, value;
    if (name == "ID" && spec->pkIdentity) continue;
    if (field.key > 0)
      value = static_cast<size_t>(field.key) < f.size() ? f[field.key] : "";
    else if (name == "Id_CNPJ")
      value = idCnpj;
    else if (name == "ID")
      value = std::to_string(parentId);
    cols += (cols.empty() ? "" : ",") + name;
    vals += (vals.empty() ? "'" : ",'") + PrepareSqlText(value) + "'";
  }
  TestRun().connection->Execute("INSERT INTO ###" + code + "(" + cols + ") VALUES (" + vals + ")");
  return spec->pkIdentity ? TestRun().connection->LastIdentity("###" + code) : 0;
}

void StoreLines(const std::vector<std::string>& lines, std::string_view idCnpj) {
  int64_t parent = 0;
  for (const std::string& line : lines) {
    int64_t id = StoreLine(line, idCnpj, parent);
    if (line.rfind("|0200|", 0) == 0) parent = id;
  }
}

double CounterOf(std::string_view reg) {
  auto rs = TestRun().connection->Execute("SELECT QtdeReg FROM ###Registros WHERE (Reg = '" + std::string(reg) + "')");
  return rs->Eof() ? -1 : rs->Column(0).AsDouble();
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteFileLines(const std::string& path, const std::vector<std::string>& lines) {
  std::ofstream out(path, std::ios::binary);
  for (const std::string& l : lines) out << l << "\r\n";
}

std::vector<std::string> WriteAndRead(const std::string& path, const std::function<void()>& write) {
  TestRun().output.Open(path);
  write();
  TestRun().output.Commit();
  return ReadCrLfLines(path);
}

int RunCheck(const std::string& path, std::string* output) {
#ifdef _WIN32
  // No POSIX shell: the program is started directly, its two outputs kept one after the other.
  ProcessResult r = RunQuelvar({"check", path});
  if (output) *output = r.out + r.err;
  return r.exitCode;
#else
  std::string cmd = std::string("'") + QUELVAR_BINARY + "' check '" + path + "' 2>&1";
  std::FILE* p = popen(cmd.c_str(), "r");
  if (!p) return -1;
  std::string text;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) text.append(buf, n);
  int status = pclose(p);
  if (output) *output = text;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}

void ExpectValidFile(const std::string& path) {
  std::string report;
  EXPECT_EQ(RunCheck(path, &report), 0) << "quelvar check " << path << ":\n" << report;
}

}  // namespace writer_support
