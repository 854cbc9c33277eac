// The import of one input file: chosen on page 1, checked against the head
// office, then read line by line in one transaction, each line handed to the
// loader of its block.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>
#include <stdexcept>
#include <unordered_map>

#include "blocks/bloco0.h"
#include "blocks/blocom.h"
#include "blocks/load_rules.h"
#include "blocks/registry.h"
#include "blocks/record_links.h"
#include "checker/efd_check.h"
#include "checker/input_file.h"
#include "platform/files.h"
#include "staging/ledger.h"
#include "staging/output_file.h"
#include "staging/record_catalogue.h"
#include "staging/resources.h"
#include "staging/run_state.h"
#include "staging/text.h"
#include "wizard/frm_assistente.h"
#include "wizard/header_fields.h"
#include "wizard/input_validation.h"
#include "wizard/part_codes.h"

namespace {

// Reads a file line by line. A line ends in CR LF, LF alone or CR alone (the
// line end is not part of the line); the last line may lack a line break.
class LineReader {
 public:
  explicit LineReader(std::FILE* f) : f_(f), buf_(1 << 20) {}

  // The next line into `line`; false at the end of the file or on a read
  // error (Failed() tells which).
  bool Next(std::string& line) {
    line.clear();
    bool any = false;
    for (;;) {
      if (pos_ == len_ && !Fill()) return any;
      if (skipLf_) {
        skipLf_ = false;
        if (buf_[pos_] == '\n') {
          ++pos_;
          continue;
        }
      }
      const char* begin = buf_.data() + pos_;
      const char* end = buf_.data() + len_;
      const char* p = begin;
      while (p != end && *p != '\n' && *p != '\r') ++p;
      line.append(begin, p);
      any = true;
      if (p == end) {
        pos_ = len_;
        continue;
      }
      skipLf_ = *p == '\r';
      pos_ = static_cast<size_t>(p - buf_.data()) + 1;
      return true;
    }
  }
  bool Failed() const { return error_ != 0; }
  int Error() const { return error_; }

 private:
  bool Fill() {
    if (error_ || std::feof(f_)) return false;
    len_ = std::fread(buf_.data(), 1, buf_.size(), f_);
    pos_ = 0;
    if (len_ == 0 && std::ferror(f_)) error_ = errno ? errno : EIO;
    return len_ > 0;
  }

  std::FILE* f_;
  std::vector<char> buf_;
  size_t pos_ = 0, len_ = 0;
  bool skipLf_ = false;
  int error_ = 0;
};

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Opens `path` for reading; null with `why` set when it cannot be opened or is
// not a regular file (a FIFO or a device is never read: see OpenRegularFile).
// The check refused the file being staged (its verdict says why).
struct RefusedByCheck {};

// While alive, the messages and errors sent through the engine's ports (the
// loaders' notices about a file being staged) are held; Release sends them
// on in their order, destruction without Release drops them.
class HeldMessages final : public MessagePort, public ErrorPort {
 public:
  HeldMessages() : messages_(Ports().messages), errors_(Ports().errors) {
    Ports().messages = this;
    Ports().errors = this;
  }
  ~HeldMessages() override { Restore(); }
  HeldMessages(const HeldMessages&) = delete;
  HeldMessages& operator=(const HeldMessages&) = delete;
  void ShowMessage(std::string_view text, MsgIcon icon) override { held_.push_back({true, icon, {}, {}, std::string(text)}); }
  void ReportError(std::string_view source, std::string_view procedure, std::string_view message) override {
    held_.push_back({false, MsgIcon::Information, std::string(source), std::string(procedure), std::string(message)});
  }
  // Puts the ports back and sends what was held to them.
  void Release() {
    Restore();
    for (const Held& h : held_) {
      if (h.message) {
        if (messages_) messages_->ShowMessage(h.text, h.icon);
      } else if (errors_) {
        errors_->ReportError(h.source, h.procedure, h.text);
      }
    }
    held_.clear();
  }

 private:
  struct Held {
    bool message;
    MsgIcon icon;
    std::string source, procedure, text;
  };
  void Restore() {
    if (!installed_) return;
    Ports().messages = messages_;
    Ports().errors = errors_;
    installed_ = false;
  }
  MessagePort* messages_;
  ErrorPort* errors_;
  bool installed_ = true;
  std::vector<Held> held_;
};

FilePtr OpenInput(const std::string& path, std::string& why) { return FilePtr(OpenRegularFile(path, why)); }

// Number of fields of a split line (the bar that ends the line opens no field).
size_t FieldCount(const std::vector<std::string_view>& elems) {
  size_t n = elems.size() - 1;
  if (n > 1 && elems.back().empty()) --n;
  return n;
}

uint32_t CodeKey(std::string_view code) {
  uint32_t k = 0;
  for (size_t i = 0; i < code.size() && i < 4; ++i) k = k << 8 | static_cast<unsigned char>(code[i]);
  return k | static_cast<uint32_t>(code.size() > 4) << 31;
}

// What a file that fails or is cancelled must give back.
struct Snapshot {
  std::string cpf, incTrib, aproCred, tipoCont;
  bool matrizSelected;
  std::string matrizCnpj, matrizDtIni, matrizDtFin;
  std::string cnpj, parent, ecf, caixa, cst;
  std::map<std::string, int64_t> dropped;
  RecordLedger::ReadSide ledger;
  std::map<std::string, std::string> unknown;
};

struct Cancelled {};

}  // namespace

// Asks for files (several at once) and imports them as one batch in the
// order chosen, the head office first while none is chosen yet; the file
// button, Next and Back are disabled meanwhile. A cancelled dialog changes
// nothing; a cancelled import also skips the files chosen after it. One
// message at the end names every file not taken, with its reasons.
void frmAssistente::ChooseInputFile() {
  std::vector<std::string> names =
      ports_.files ? ports_.files->ChooseOpenFilesFrom(kFilter, StartingInputFolder()) : std::vector<std::string>();
  if (!names.empty()) TakeFiles(names);
}

// Lines with a record of the file as the import reads them (CR LF, LF or CR
// each end one line; a last line without a break counts too; lines of blanks
// only do not), so that the import bar ends at its total. 0 for an empty or
// unreadable file.
int64_t frmAssistente::CountLines(const std::string& path) {
  std::string why;
  FilePtr f = OpenInput(path, why);
  if (!f) return 0;
  std::vector<char> buf(1 << 20);
  int64_t lines = 0;
  bool filled = false;  // the current line holds a character other than a blank
  size_t n;
  while ((n = std::fread(buf.data(), 1, buf.size(), f.get())) > 0) {
    for (size_t i = 0; i < n; ++i) {
      const char c = buf[i];
      if (c == '\n' || c == '\r') {
        lines += filled ? 1 : 0;
        filled = false;
      } else if (c != ' ' && c != '\t') {
        filled = true;
      }
    }
  }
  return lines + (filled ? 1 : 0);
}

// Keeps the accountant's CPF (0100) and the tax regime (0110) for the Block 0
// loader; missing fields give empty values.
void frmAssistente::CaptureHeaderFields(std::string_view code, const std::vector<std::string_view>& fields) {
  auto field = [&](size_t k) { return k < fields.size() ? std::string(fields[k]) : std::string(); };
  if (code == "0100") {
    m_CPF = field(3);
  } else if (code == "0110") {
    m_Cod_Inc_Trib = field(2);
    m_Ind_Apro_Cred = field(3);
    m_Cod_Tipo_Cont = field(4);
  }
}

// Hands the line to the loader of its block (0140 renumbered first), with its
// links to its establishment and parent row prepared. Lines of a code the
// merge does not carry (IsMergedCode) are not stored and are counted in
// m_Descartados. Every line is counted in the run's ledger, as read for the
// establishment it belongs to or as refused. Throws DatabaseError from the loaders.
void frmAssistente::DispatchRecord(std::string_view code, std::string& line) {
  if (code.empty()) return;
  const BlockEntry* block = FindBlock(code[0]);
  if (!block || !IsMergedCode(code)) {
    ++m_Descartados[std::string(code)];
    RunLedger().Refused(code, "registro não unificado", CurrentStagedFile());
    return;
  }
  record_links::PrepareLinks(code, line);
  struct CountRead {  // after the loader: a 0000 line sets the CNPJ it belongs to
    std::string_view code;
    ~CountRead() { RunLedger().Read(code, g_CurrentCNPJ, CurrentStagedFile()); }
  } countRead{code};
  switch (block->content) {
    case BlockContent::HeadAndEstablishments:
      if (code == "0140") RenumberEstablishment(line);
      Bloco0::md_LoadRecord(code, line, m_CPF, m_Cod_Inc_Trib, m_Cod_Tipo_Cont, m_Ind_Apro_Cred);
      break;
    case BlockContent::Contributions: BlocoM::md_LoadRecord(code, line); break;
    default: load_rules::StoreBlockLine(*block, code, line); break;
  }
}

// Gives a 0140 line the next establishment code: one above the highest stored,
// or, for the first establishment, its own code when that is a whole number
// and 1 otherwise. A line too short to hold a code is returned unchanged.
// Throws DatabaseError.
std::string frmAssistente::RenumberEstablishment(std::string& line) {
  static constexpr std::string_view kHead = "|0140|";
  if (line.size() < kHead.size() || std::string_view(line).substr(0, kHead.size()) != kHead) return line;
  std::string_view rest = std::string_view(line).substr(kHead.size());
  size_t bar = rest.find('|');
  std::string_view code = TrimBlanks(rest.substr(0, bar));
  auto rs = g_Connection->Execute("SELECT    Max(Cod_Est) as retorna FROM    ###0140");
  int64_t next;
  if (rs->Eof() || (*rs)["retorna"].IsNull()) {
    if (IsWholeNumber(code)) return line;
    next = 1;
  } else {
    next = (*rs)["retorna"].AsInt() + 1;
  }
  std::string renumbered = std::string(kHead) + std::to_string(next);
  if (bar != std::string_view::npos) renumbered += rest.substr(bar);
  line = renumbered;
  return renumbered;
}

// Checks and imports one file in one transaction. Refusals and failures are
// shown through the message port; a file that fails or is cancelled leaves
// nothing in the staging tables and gives back the state it changed.
ImportOutcome frmAssistente::ImportFile(const std::string& path) {
  m_CancelImport = false;
  // Within an overall bar (a batch, the command line's work) the bar goes on
  // from file to file; alone, it says what it waits for after each file.
  auto waiting = [this] {
    if (!m_Meter.Active()) md_ShowProgress(0, m_Arquivos.empty() ? kStatusNoFile : kStatusWaiting, 0, 0);
  };
  const std::string status = "Arquivo: " + platform::FileNameOf(path);
  const std::string fileName = platform::FileNameOf(path);
  // The file counts as imported work from its first read: window events run
  // meanwhile (the reading reports its progress), and a cancel must stop the
  // import, never close the form under it.
  struct Scope {
    frmAssistente& form;
    ~Scope() {
      form.m_Importing = false;
      form.Busy(false);
    }
  } scope{*this};
  m_Importing = true;
  if (m_Meter.Active()) {
    m_Meter.Step(WorkWeight(path));
    ++m_WorkFile;
  }
  Busy(true);
  ShowImportProgress(fileName, 0);

  std::string why;
  if (!OpenInput(path, why)) {
    ShowMessage("Não foi possível abrir o arquivo " + path + ": " + why, MsgIcon::Critical);
    waiting();
    return ImportOutcome::Failed;
  }

  Snapshot before{m_CPF, m_Cod_Inc_Trib, m_Ind_Apro_Cred, m_Cod_Tipo_Cont, g_MatrizSelected,
                  g_MatrizCNPJ, g_MatrizDtIni, g_MatrizDtFin, g_CurrentCNPJ, g_CurrentParentID,
                  g_CurrentEcfID, g_CurrentCaixaID, g_CurrentCST, m_Descartados, RunLedger().SaveRead(), m_ForaDoLeiaute};
  bool accepted;
  try {
    accepted = CheckChosenFile(path);
  } catch (const std::exception& e) {
    g_MatrizSelected = before.matrizSelected;
    g_MatrizCNPJ = before.matrizCnpj;
    g_MatrizDtIni = before.matrizDtIni;
    g_MatrizDtFin = before.matrizDtFin;
    ShowMessage("Não foi possível verificar o arquivo " + path + ": " + e.what(), MsgIcon::Critical);
    waiting();
    return ImportOutcome::Failed;
  }
  if (!accepted) {
    waiting();
    return ImportOutcome::Refused;
  }
  // The whole file's structure is checked on a second thread while this one
  // stages the file inside its transaction: a file the check refuses (a
  // truncated or broken file) is rolled back, never merged in part, and only
  // its refusal is shown (what the loaders report meanwhile is held until
  // the verdict). Without that check the lines are counted first for the bar.
  std::optional<InputValidationThread> structure;
  if (m_ValidarEstrutura) structure.emplace(path);
  int64_t total = structure ? -1 : CountLines(path);  // -1: the bar follows the bytes staged
  const double size = WorkWeight(path);
  if (!structure) ShowImportProgress(fileName, kPreReadShare);  // the lines were counted
  Busy(false);  // the bar moves from here on
  std::map<std::string, int64_t> shortLines, longLines;
  std::map<std::string, size_t> widest;  // per code with a layout: the most fields of its lines
  int64_t blankLines = 0;            // lines without a record, skipped
  std::vector<int64_t> blankNumbers;  // the first of them, by their line numbers
  ImportOutcome outcome = ImportOutcome::Imported;
  std::string failure;
  bool inTransaction = false;
  PartCodes partCodes;
  std::vector<std::string> renameNotices;
  std::optional<HeldMessages> held;
  if (structure) held.emplace();
  try {
    // Parts of one CNPJ: a code an earlier part gave other contents is renamed in this one.
    if (m_MesmoCNPJ && !m_Arquivos.empty()) renameNotices = partCodes.Begin(path);
    FilePtr f = OpenInput(path, why);
    if (!f) throw std::runtime_error(why);
    BeginStagedFile(path);  // every row of this file carries its number in Id_Arquivo; messages name the file
    g_Connection->Execute("BEGIN TRANSACTION");
    inTransaction = true;

    LineReader reader(f.get());
    std::string line;
    std::vector<std::string_view> fields;
    struct CodeFields {
      int layout = -1;    // fields of the code's layout, -1 for none
      size_t widest = 0;  // the most fields one of its lines had
      std::string code;
    };
    std::unordered_map<uint32_t, CodeFields> lineFields;
    int64_t n = 0, records = 0;  // n: the file's line number
    double staged = 0;           // bytes read (each line's end counted as two)
    while (reader.Next(line)) {
      ++n;
      if (IsBlankLine(line)) {
        if (blankLines++ < static_cast<int64_t>(CheckReport::kMaxBlankListed)) blankNumbers.push_back(n);
        continue;
      }
      ++records;
      if (!line.empty()) {
        SplitBars(line, fields);
        std::string_view code = fields.size() > 1 ? fields[1] : std::string_view();
        if (!code.empty()) {
          auto [it, added] = lineFields.try_emplace(CodeKey(code));
          CodeFields& cf = it->second;
          if (added && code != "0035")
            if (const LayoutSpec* spec = FindAnyLayout(code)) cf = {spec->LineFieldCount(), 0, std::string(code)};
          if (cf.layout >= 0) {
            size_t have = FieldCount(fields);
            if (have > cf.widest) cf.widest = have;
            if (have < static_cast<size_t>(cf.layout)) ++shortLines[std::string(code)];
            else if (have > static_cast<size_t>(cf.layout)) ++longLines[std::string(code)];
          }
          if (added && !Layout006().Find(code))
            m_ForaDoLeiaute.try_emplace(std::string(code), platform::FileNameOf(path) +
                                                               ", linha " + std::to_string(n));
          CaptureHeaderFields(code, fields);
          std::string codeText(code);  // the line may be rewritten, and the views with it
          partCodes.Rewrite(codeText, line);
          const int64_t failuresBefore = g_StoreFailures;
          DispatchRecord(codeText, line);
          // A line that could not be stored fails the whole file: a merge
          // without it would silently lack its records.
          if (g_StoreFailures != failuresBefore)
            throw std::runtime_error("a linha " + std::to_string(n) + " (registro " + Printable(codeText) +
                                     ") não pôde ser gravada: " + g_LastError);
        }
      }
      staged += static_cast<double>(line.size() + 2);
      const double done = std::min(size, staged);
      if (m_Meter.Active())
        ShowImportProgress(fileName, total < 0 ? done / size
                                               : kPreReadShare + (1 - kPreReadShare) * static_cast<double>(records) /
                                                                     static_cast<double>(total > 0 ? total : 1));
      else if (total < 0)
        md_ShowProgress(0, status, done, size);
      else
        md_ShowProgress(0, status, static_cast<double>(records), static_cast<double>(total));
      if (m_CancelImport) throw Cancelled{};
      // A file the check already refused is not staged further.
      if (structure && (n & 4095) == 0 && structure->Done() && !structure->Wait().Valid()) throw RefusedByCheck{};
    }
    if (reader.Failed()) throw std::runtime_error(SystemErrorText(reader.Error()));
    if (structure) {
      const InputValidation& v = structure->Wait();
      if (!v.Valid()) throw RefusedByCheck{};
      total = v.lines;
    }
    for (const auto& [key, cf] : lineFields)
      if (cf.layout >= 0) widest[cf.code] = cf.widest;
    g_Connection->Execute("COMMIT TRANSACTION");
    inTransaction = false;
  } catch (const Cancelled&) {
    outcome = ImportOutcome::Cancelled;
  } catch (const RefusedByCheck&) {
    outcome = ImportOutcome::Refused;
  } catch (const std::exception& e) {
    outcome = ImportOutcome::Failed;
    failure = e.what();
  }
  m_Importing = false;
  m_CancelImport = false;
  // A file the check refuses is refused whatever its staging met (the
  // staging's own failure stands when the check found nothing).
  const InputValidation* refusal = nullptr;
  if (structure && outcome != ImportOutcome::Imported && outcome != ImportOutcome::Cancelled) {
    try {
      if (const InputValidation& v = structure->Wait(); !v.Valid()) refusal = &v;
    } catch (const std::exception& e) {
      if (outcome == ImportOutcome::Refused) {
        outcome = ImportOutcome::Failed;
        failure = e.what();
      }
    }
  }
  if (refusal)
    held.reset();  // only the refusal is shown
  else if (held)
    held->Release();

  if (outcome != ImportOutcome::Imported) {
    if (inTransaction) {
      try {
        g_Connection->Execute("ROLLBACK TRANSACTION");
      } catch (const std::exception&) {
        // the transaction is already gone; nothing more can be undone
      }
    }
    m_CPF = before.cpf;
    m_Cod_Inc_Trib = before.incTrib;
    m_Ind_Apro_Cred = before.aproCred;
    m_Cod_Tipo_Cont = before.tipoCont;
    g_MatrizSelected = before.matrizSelected;
    g_MatrizCNPJ = before.matrizCnpj;
    g_MatrizDtIni = before.matrizDtIni;
    g_MatrizDtFin = before.matrizDtFin;
    g_CurrentCNPJ = before.cnpj;
    g_CurrentParentID = before.parent;
    g_CurrentEcfID = before.ecf;
    g_CurrentCaixaID = before.caixa;
    g_CurrentCST = before.cst;
    m_Descartados = before.dropped;
    m_ForaDoLeiaute = before.unknown;
    RunLedger().RestoreRead(std::move(before.ledger));
    if (refusal) {
      if (!refusal->readable)
        ShowMessage("Não foi possível ler o arquivo " + path + ": " + refusal->error, MsgIcon::Critical);
      else
        ShowMessage(NamedIfSeveral(path, "Arquivo recusado: " + std::to_string(refusal->problemCount) +
                                             " erro(s): " + DescribeProblems(*refusal) +
                                             ". Nada deste arquivo foi gravado."),
                    MsgIcon::Information);
      waiting();
      return refusal->readable ? ImportOutcome::Refused : ImportOutcome::Failed;
    }
    if (outcome == ImportOutcome::Failed)
      ShowMessage("Não foi possível importar o arquivo " + path + ": " + failure +
                      ". Nada deste arquivo foi gravado.",
                  MsgIcon::Critical);
    else
      ShowMessage("Importação do arquivo " + path + " cancelada. Nada deste arquivo foi gravado.",
                  MsgIcon::Information);
    waiting();
    return outcome;
  }

  controls.ListBoxSelecionados.push_back(path);
  m_Arquivos.push_back({path, m_CandidatePath.empty() ? path : m_CandidatePath, m_CandidateDigest, g_FileCNPJ,
                        g_FileDtIni, g_FileDtFin, total, {}});
  for (const auto& [cnpj, line] : m_CandidateEstablishments) m_Arquivos.back().establishments.push_back(cnpj);
  NoteContribution(m_Arquivos.back(), before.dropped, before.unknown, shortLines, longLines, widest);
  for (const auto& [code, n] : widest)
    if (size_t& w = m_CamposLidos[code]; n > w) w = n;
  if (!m_Restaging)
    for (const std::string& notice : renameNotices) ShowMessage(notice, MsgIcon::Information);
  if (blankLines > 0 && !m_Restaging)
    ShowMessage("Arquivo " + std::filesystem::path(path).filename().string() + ": " + std::to_string(blankLines) +
                    " linha(s) em branco ignorada(s) (" + LineNumbersText(blankNumbers, blankLines) + ").",
                MsgIcon::Information);
  for (const auto& [code, count] : shortLines) {
    m_LinhasCurtas[code] += count;
    if (!m_Restaging)
      ShowMessage("Registro " + code + ": " + std::to_string(count) +
                    " linha(s) com menos campos que o leiaute; os campos ausentes foram gravados vazios.",
                MsgIcon::Information);
  }
  for (const auto& [code, count] : longLines) {
    m_LinhasLongas[code] += count;
    if (!m_Restaging)
      ShowMessage("Registro " + code + ": " + std::to_string(count) +
                    " linha(s) com mais campos que o leiaute; os campos excedentes foram ignorados.",
                MsgIcon::Information);
  }
  Changed();  // the list's count first: the bar's event lets window events run
  ShowImportProgress(fileName, 1);
  waiting();
  return outcome;
}

void frmAssistente::ShowImportProgress(const std::string& fileName, double fraction) {
  if (!m_Meter.Active()) return;
  m_Meter.StepDone(fraction);
  ProgressEvent e;
  e.kind = 0;
  e.text = fileName;
  e.file = m_WorkFile;
  e.files = m_WorkFiles;
  m_Meter.Fill(e);
  ShowProgress(e);
}
