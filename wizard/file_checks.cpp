// The checks a chosen file passes before it is imported: its header (0000)
// decides whether it belongs to the head office's company and period, and
// whether it is already part of the merge.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include "checker/line_reader.h"
#include "staging/line_field.h"
#include "checker/input_file.h"
#include "staging/system_error_text.h"
#include "staging/resources.h"
#include "platform/files.h"
#include "staging/run_state.h"
#include "staging/text.h"
#include "wizard/frm_assistente.h"
#include "wizard/header_fields.h"

namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

enum class FirstLine { Read, Empty, Unreadable };

// Reads the first line of `path` with a record (up to its CR or LF; lines of
// blanks only before it are passed over, "" when the file has no other) and,
// when `digest` is given, the 64-bit FNV-1a digest of all the file's bytes.
// Only a regular file is read (OpenRegularFile): anything else is Unreadable
// with `why` set.
FirstLine ReadFirstLine(const std::string& path, std::string& line, std::string& why, uint64_t* digest) {
  line.clear();
  std::unique_ptr<std::FILE, FileCloser> f(OpenRegularFile(path, why));
  if (!f) return FirstLine::Unreadable;
  uint64_t h = 14695981039346656037ull;
  bool found = false, any = false;
  std::vector<char> buf(1 << 16);
  size_t n;
  while ((n = std::fread(buf.data(), 1, buf.size(), f.get())) > 0) {
    any = true;
    for (size_t i = 0; i < n && !found;) {
      size_t end = i;
      while (end < n && buf[end] != '\r' && buf[end] != '\n') ++end;
      line.append(buf.data() + i, end - i);
      if (end == n) break;
      if (IsBlankLine(line)) line.clear();
      else found = true;
      i = end + 1;
    }
    if (digest) {
      for (size_t i = 0; i < n; ++i) h = (h ^ static_cast<unsigned char>(buf[i])) * 1099511628211ull;
    } else if (found) {
      break;
    }
  }
  if (std::ferror(f.get())) {
    why = SystemErrorText(errno ? errno : EIO);
    return FirstLine::Unreadable;
  }
  if (!found && IsBlankLine(line)) line.clear();
  if (digest) *digest = h;
  return any ? FirstLine::Read : FirstLine::Empty;
}

// A head office in the CNPJ sense: branch number (characters 9 to 12) "0001".
bool IsHeadOfficeCnpj(const std::string& cnpj) { return cnpj.size() >= 12 && cnpj.compare(8, 4, "0001") == 0; }

std::string CanonicalPath(const std::string& path) {
  std::error_code ec;
  std::filesystem::path p = std::filesystem::weakly_canonical(platform::PathFromUtf8(path), ec);
  return ec ? path : platform::Utf8FromPath(p);
}

// The CNPJs of the 0140 records of `path` (trimmed and upper-cased, as they
// are stored) with their line numbers: Block 0 is read up to its first line of
// another block. An unreadable file gives what could be read (the import
// reports why it cannot be read).
std::vector<std::pair<std::string, int64_t>> EstablishmentsOf(const std::string& path) {
  std::vector<std::pair<std::string, int64_t>> out;
  LineReader reader;
  if (!reader.Open(path)) return out;
  std::string_view line;
  for (int64_t n = 1; reader.Next(line); ++n) {
    if (line.empty()) continue;
    if (line.size() < 2 || line.compare(0, 2, "|0") != 0) break;
    if (line.compare(0, 6, "|0140|") == 0) out.emplace_back(UpperLatin1(TrimBlanks(LineField(line, 4))), n);
  }
  return out;
}

}  // namespace

// A refusal's text. The file is named by whoever reports it: the batch's
// report (ImportBatch) puts each file's name before its messages, the command
// line its path; the text itself stays without it.
std::string frmAssistente::NamedIfSeveral(const std::string& path, const std::string& message) const {
  (void)path;
  return message;
}

// Reads the chosen file's header and decides whether it may join the merge.
// An empty file, an unreadable one, one whose first line
// is not a 0000 record with its CNPJ (field 9), or one whose CNPJ is not 14
// digits or whose period is not two real dates DDMMAAAA is refused with a message;
// the other refusals show the message of the failed test.
bool frmAssistente::CheckChosenFile(const std::string& path) {
  m_CandidatePath = CanonicalPath(path);
  m_CandidateDigest = 0;
  std::string line, why;
  FirstLine got = ReadFirstLine(path, line, why, m_MesmoCNPJ ? &m_CandidateDigest : nullptr);
  if (got == FirstLine::Empty) {
    ShowMessage(NamedIfSeveral(path, "O arquivo está vazio: não há registros a importar."), MsgIcon::Information);
    return false;
  }
  if (got == FirstLine::Unreadable) {
    ShowMessage("Não foi possível ler o arquivo " + path + ": " + why, MsgIcon::Critical);
    return false;
  }
  std::vector<std::string_view> views = SplitBars(line);
  if (views.size() < 10 || views[1] != "0000") {
    ShowMessage(NamedIfSeveral(path, "O arquivo não começa por um registro 0000 completo (com o CNPJ no campo 9)!"),
                MsgIcon::Information);
    return false;
  }
  std::vector<std::string> fields(views.begin(), views.end());
  run_.fileCNPJ = fields[9];
  run_.fileDtIni = fields[6];
  run_.fileDtFin = fields[7];
  // The header names the merged file: a CNPJ or a date that could not is
  // refused before anything of the file is read.
  if (std::string problem = HeaderFieldsProblem(run_.fileCNPJ, run_.fileDtIni, run_.fileDtFin); !problem.empty()) {
    ShowMessage(NamedIfSeveral(path, problem + "!"), MsgIcon::Information);
    return false;
  }
  m_CandidateEstablishments.clear();
  if (!m_MesmoCNPJ) m_CandidateEstablishments = EstablishmentsOf(path);
  if (!run_.matrizSelected) {
    if (AcceptHeadOffice(fields)) return true;
    ShowMessage(NamedIfSeveral(path, "Selecione primeiramente o arquivo que contém o CNPJ da Empresa Matriz!"),
                MsgIcon::Information);
    return false;
  }
  std::string message;
  if (CheckAgainstHeadOffice(fields, message)) return true;
  ShowMessage(NamedIfSeveral(path, message), MsgIcon::Information);
  return false;
}

// Accepts the first file as the reference of the merge. With "Validar CNPJ
// Matriz" ticked it must be the head office (branch number 0001); otherwise
// every staging table is emptied and the file refused, and the next file is
// again taken as the first. Throws DatabaseError from emptying the tables.
bool frmAssistente::AcceptHeadOffice(std::vector<std::string>& fields) {
  const std::string& cnpj = fields.size() > 9 ? fields[9] : std::string();
  if (controls.checkValidarMatriz.Value && !IsHeadOfficeCnpj(cnpj)) {
    md_ClearTables(run_);
    return false;
  }
  run_.matrizCNPJ = cnpj;
  run_.matrizDtIni = fields.size() > 6 ? fields[6] : std::string();
  run_.matrizDtFin = fields.size() > 7 ? fields[7] : std::string();
  m_MatrizCodVer = std::string(TrimBlanks(fields.size() > 2 ? fields[2] : std::string()));
  run_.matrizSelected = true;
  return true;
}

// Checks a later file against the reference: not already in the merge (the
// same file, however its path is written; merge of one CNPJ: also the same
// bytes under another name; merge of branches: its CNPJ among the stored
// establishments, said to be a part for the other merge kind when it is
// another file), the same CNPJ root, the same period start and end, the same
// layout version (0000 COD_VER: lines of two versions have different fields
// and cannot make one file). On refusal `message` receives the text to show.
// Throws DatabaseError.
bool frmAssistente::CheckAgainstHeadOffice(std::vector<std::string>& fields, std::string& message) {
  const std::string cnpj = fields.size() > 9 ? fields[9] : std::string();
  bool samePath = false, sameBytes = false;
  for (const ListedFile& f : m_Arquivos) {
    samePath = samePath || f.canonical == m_CandidatePath;
    sameBytes = sameBytes || (m_MesmoCNPJ && f.digest == m_CandidateDigest);
  }
  bool already = samePath || sameBytes;
  if (!already && !m_MesmoCNPJ) {
    const std::string stored = UpperLatin1(TrimBlanks(cnpj));
    bool cnpjStored =
        !run_.connection->Execute("SELECT CNPJ FROM ###0140 WHERE CNPJ like '" + PrepareLikeText(stored) + "' ")->Eof();
    if (cnpjStored) {
      // Another file of an establishment already in the merge: a second part
      // of one CNPJ, which the other merge kind joins.
      std::string holder;  // the file that brought it, by its name
      for (const ListedFile& f : m_Arquivos)
        if (holder.empty() && (f.cnpj == cnpj || std::find(f.establishments.begin(), f.establishments.end(),
                                                            cnpj) != f.establishments.end()))
          holder = " (" + std::filesystem::path(f.path).filename().string() + ")";
      message = "O CNPJ " + cnpj + " já está na unificação por outro arquivo" + holder +
                ". Se este arquivo é outra parte do mesmo CNPJ, volte à primeira página e use 'Unifica Arquivo "
                "(Mesmo CNPJ)' (na linha de comando, merge --same-cnpj).";
      return false;
    }
  }
  if (already) {
    message = "Arquivo já selecionado!!!";
    return false;
  }
  // The parts of one CNPJ: every part declares the first part's CNPJ (a
  // branch, or another company, is not a part of it).
  if (m_MesmoCNPJ && UpperLatin1(TrimBlanks(cnpj)) != UpperLatin1(TrimBlanks(run_.matrizCNPJ))) {
    message = "O CNPJ deste arquivo (" + cnpj + ") difere do CNPJ da primeira parte (" + run_.matrizCNPJ +
              "): na unificação do mesmo CNPJ todas as partes são do mesmo CNPJ. Para unir matriz e filiais, "
              "volte à primeira página e use 'Unifica Matriz e Filiais (Diferente CNPJ)'.";
    return false;
  }
  // Merge of branches: an establishment comes from one file only; a second
  // file's 0140 of a CNPJ already imported would be merged into the first.
  if (!m_MesmoCNPJ)
    for (const auto& [est, line] : m_CandidateEstablishments)
      for (const ListedFile& f : m_Arquivos)
        if (std::find(f.establishments.begin(), f.establishments.end(), est) != f.establishments.end()) {
          message = "O arquivo " + std::filesystem::path(m_CandidatePath).filename().string() +
                    " declara na linha " + std::to_string(line) + " (registro 0140) o estabelecimento de CNPJ " +
                    est + ", já importado do arquivo " + std::filesystem::path(f.path).filename().string() +
                    ": cada estabelecimento deve vir de um só arquivo. Nada deste arquivo foi gravado.";
          return false;
        }
  if (run_.matrizCNPJ.substr(0, 8) != run_.fileCNPJ.substr(0, 8)) {
    message = "Arquivo selecionado não pertence à Matriz!!!";
    return false;
  }
  if (run_.matrizDtIni != run_.fileDtIni) {
    message = "Arquivo selecionado não pertence ao mesmo período (INICIAL)!!!";
    return false;
  }
  if (run_.matrizDtFin != run_.fileDtFin) {
    message = "Arquivo selecionado não pertence ao mesmo período (FINAL)!!!";
    return false;
  }
  if (const std::string ver(TrimBlanks(fields.size() > 2 ? fields[2] : std::string())); ver != m_MatrizCodVer) {
    message = "Arquivo selecionado declara o leiaute " + ver + " e a Matriz o leiaute " + m_MatrizCodVer +
              ": arquivos de versões diferentes do leiaute não podem ser unificados!!!";
    return false;
  }
  return true;
}

bool frmAssistente::HeadOfficeFirst(const std::vector<ListedFile>& files) const {
  if (files.empty() || m_MesmoCNPJ || !controls.checkValidarMatriz.Value) return true;
  return IsHeadOfficeCnpj(files.front().cnpj);
}

// Reads each header once; files that cannot be read keep their place among
// the others (their import reports why).
void frmAssistente::OrderHeadOfficeFirst(std::vector<std::string>& paths) {
  if (run_.matrizSelected || m_MesmoCNPJ || !controls.checkValidarMatriz.Value) return;
  std::stable_partition(paths.begin(), paths.end(), [](const std::string& path) {
    std::string line, why;
    if (ReadFirstLine(path, line, why, nullptr) != FirstLine::Read) return false;
    std::vector<std::string_view> fields = SplitBars(line);
    return fields.size() > 9 && IsHeadOfficeCnpj(std::string(fields[9]));
  });
}
