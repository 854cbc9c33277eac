// The checks a chosen file passes before it is imported: its header (0000)
// decides whether it belongs to the head office's company and period, and
// whether it is already part of the merge.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

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

// Reads the first line of `path` (up to its first CR or LF) and, when `digest`
// is given, the 64-bit FNV-1a digest of all the file's bytes.
FirstLine ReadFirstLine(const std::string& path, std::string& line, std::string& why, uint64_t* digest) {
  line.clear();
  std::error_code ec;
  if (std::filesystem::is_directory(platform::PathFromUtf8(path), ec)) {
    why = "é uma pasta, não um arquivo";
    return FirstLine::Unreadable;
  }
  std::unique_ptr<std::FILE, FileCloser> f(platform::OpenFile(path, "rb"));
  if (!f) {
    why = std::strerror(errno);
    return FirstLine::Unreadable;
  }
  uint64_t h = 14695981039346656037ull;
  bool inFirst = true, any = false;
  std::vector<char> buf(1 << 16);
  size_t n;
  while ((n = std::fread(buf.data(), 1, buf.size(), f.get())) > 0) {
    any = true;
    if (inFirst) {
      size_t i = 0;
      while (i < n && buf[i] != '\r' && buf[i] != '\n') ++i;
      line.append(buf.data(), i);
      inFirst = i == n;
    }
    if (digest) {
      for (size_t i = 0; i < n; ++i) h = (h ^ static_cast<unsigned char>(buf[i])) * 1099511628211ull;
    } else if (!inFirst) {
      break;
    }
  }
  if (std::ferror(f.get())) {
    why = std::strerror(errno ? errno : EIO);
    return FirstLine::Unreadable;
  }
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

}  // namespace

// A refusal's text; while several files chosen at once are imported, the
// file's name comes first, so that the user knows which one was refused.
std::string frmAssistente::NamedIfSeveral(const std::string& path, const std::string& message) const {
  if (!m_SeveralChosen) return message;
  return platform::FileNameOf(path) + ": " + message;
}

// Reads the chosen file's header and decides whether it may join the merge.
// An empty file is refused silently; an unreadable one, one whose first line
// is not a 0000 record with its CNPJ (field 9), or one whose CNPJ is not 14
// digits or whose period is not two real dates DDMMAAAA is refused with a message;
// the other refusals show the message of the failed test.
bool frmAssistente::CheckChosenFile(const std::string& path) {
  m_CandidatePath = CanonicalPath(path);
  m_CandidateDigest = 0;
  std::string line, why;
  FirstLine got = ReadFirstLine(path, line, why, m_MesmoCNPJ ? &m_CandidateDigest : nullptr);
  if (got == FirstLine::Empty) return false;
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
  g_FileCNPJ = fields[9];
  g_FileDtIni = fields[6];
  g_FileDtFin = fields[7];
  // The header names the merged file: a CNPJ or a date that could not is
  // refused before anything of the file is read.
  if (std::string problem = HeaderFieldsProblem(g_FileCNPJ, g_FileDtIni, g_FileDtFin); !problem.empty()) {
    ShowMessage(problem + "!", MsgIcon::Information);
    return false;
  }
  if (!g_MatrizSelected) {
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
    md_ClearTables();
    return false;
  }
  g_MatrizCNPJ = cnpj;
  g_MatrizDtIni = fields.size() > 6 ? fields[6] : std::string();
  g_MatrizDtFin = fields.size() > 7 ? fields[7] : std::string();
  m_MatrizCodVer = std::string(TrimBlanks(fields.size() > 2 ? fields[2] : std::string()));
  g_MatrizSelected = true;
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
        !g_Connection->Execute("SELECT CNPJ FROM ###0140 WHERE CNPJ like '" + PrepareLikeText(stored) + "' ")->Eof();
    if (cnpjStored) {
      // Another file of an establishment already in the merge: a second part
      // of one CNPJ, which the other merge kind joins.
      message = "O CNPJ " + cnpj + " já está na unificação por outro arquivo. Se este arquivo é outra parte do "
                "mesmo CNPJ, volte à primeira página e use 'Unifica Arquivo (Mesmo CNPJ)'.";
      return false;
    }
  }
  if (already) {
    message = "Arquivo já selecionado!!!";
    return false;
  }
  if (g_MatrizCNPJ.substr(0, 8) != g_FileCNPJ.substr(0, 8)) {
    message = "Arquivo selecionado não pertence à Matriz!!!";
    return false;
  }
  if (g_MatrizDtIni != g_FileDtIni) {
    message = "Arquivo selecionado não pertence ao mesmo período (INICIAL)!!!";
    return false;
  }
  if (g_MatrizDtFin != g_FileDtFin) {
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

bool frmAssistente::HeadOfficeFirst(const std::vector<ListedFile>& files) {
  if (files.empty() || m_MesmoCNPJ || !controls.checkValidarMatriz.Value) return true;
  return IsHeadOfficeCnpj(files.front().cnpj);
}

// Reads each header once; files that cannot be read keep their place among
// the others (their import reports why).
void frmAssistente::OrderHeadOfficeFirst(std::vector<std::string>& paths) {
  if (g_MatrizSelected || m_MesmoCNPJ || !controls.checkValidarMatriz.Value) return;
  std::stable_partition(paths.begin(), paths.end(), [](const std::string& path) {
    std::string line, why;
    if (ReadFirstLine(path, line, why, nullptr) != FirstLine::Read) return false;
    std::vector<std::string_view> fields = SplitBars(line);
    return fields.size() > 9 && IsHeadOfficeCnpj(std::string(fields[9]));
  });
}
