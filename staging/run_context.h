// The state of one run: the staging database, the file and rows being
// imported or written, the headers read, the times, the failures, the staged
// files, the reconciliation ledger and the older-form fields. The form
// creates one and hands it down to the import, the loaders and the block
// writers; two contexts never share anything, so two runs may go on one
// after the other or side by side on two threads in one process.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "staging/database.h"
#include "staging/layout.h"
#include "staging/ledger.h"
#include "staging/output_file.h"
#include "staging/ui_ports.h"

struct RunContext {
  RunContext() = default;
  // The layouts point into the context: it never moves.
  RunContext(const RunContext&) = delete;
  RunContext& operator=(const RunContext&) = delete;

  std::unique_ptr<DatabaseConnection> connection;  // the staging database (null until opened)

  std::string currentCNPJ;      // CNPJ linking stored rows to their file / establishment written
  std::string currentFileId;    // number of the input file being staged (Id_Arquivo), see BeginStagedFile
  std::string currentParentID;  // identity of the parent row of the children stored or written
  std::string currentEcfID;     // identity of the current C400 row
  std::string currentCaixaID;   // identity of the current C405 row
  std::string currentIdPai;     // identity of the parent row of a line stored under the common convention (ID_Pai)
  std::string currentCST;       // CST of the current M400 / M800 line
  std::string lastError;        // last error caught while inserting
  int64_t storeFailures = 0;    // rows md_InsertTable could not store (never decreases)

  bool matrizSelected = false;  // a head office's file was imported
  std::string matrizCNPJ, matrizDtIni, matrizDtFin;  // the head office's 0000 header
  std::string fileCNPJ, fileDtIni, fileDtFin;        // the 0000 header of the file being imported
  std::string startTime, endTime;                    // of the last run ("dd/mm/yyyy hh:mm:ss")

  int64_t filesStarted = 0;  // input files whose staging began in this run
  std::map<std::string, std::string, std::less<>> fileNames;  // Id_Arquivo -> the file as the user named it

  RecordLedger ledger;  // lines read, refused, written and merged (staging/ledger.h)
  // Per record code whose input lines all had an older, shorter form: the
  // most fields one of them had (staging/older_forms.h).
  std::map<std::string, size_t, std::less<>> olderFormFields;

  UiPorts ports;       // messages, progress and errors of this run (all null: nothing told)
  OutputFile output;   // the merged file being written ("file number 1")

  // The links of the import (blocks/record_links.cpp): the CNPJ of the file's
  // 0000, of the establishment whose subtree is being read, and per record
  // code with children the identity of its last stored row.
  std::string linkFileCnpj, linkEstablishmentCnpj;
  std::map<std::string, std::string, std::less<>> linkLastRow;
  // Per Block M code, the identity of its last row stored from the current
  // file's Block M (emptied at each M001).
  std::map<std::string, std::string, std::less<>> blockMLastIdentity;
  // What the last Block M merge told the user (BlocoM::md_LastNotices).
  std::vector<std::string> blockMNotices;
  // The establishments' subtree passes of the run and their statements.
  int64_t establishmentPasses = 0, establishmentStatements = 0;
  // The staging layout of each record code, built once per run: its link
  // fields point into this context's current-row values.
  std::map<std::string, Objeto_Collection, std::less<>> layouts;
  // Storage reused by every insert of the import (md_InsertTable).
  struct InsertScratch {
    std::vector<std::string_view> elems;
    std::vector<std::string> columns, texts;
    std::vector<std::string_view> values;
    std::string table;
  } insertScratch;

  // Starts the staging of a new input file: currentFileId becomes the next
  // number of the run (1 for the first file, then 2, 3, ...), which every row
  // staged until the next call carries in Id_Arquivo. A number is never given
  // twice in one run, also when files are removed or imported again, so the
  // parts of one CNPJ stay apart however the list was edited. `name` (the
  // file as the user named it) is kept for messages. Returns the number.
  int64_t BeginStagedFile(std::string_view name = {});
  // The name given to BeginStagedFile for the file numbered `fileId` (an
  // Id_Arquivo), or "arquivo N" when none was given. Never throws.
  std::string StagedFileName(std::string_view fileId) const;
  // The number BeginStagedFile gave last (0 before the first file of the run).
  int64_t CurrentStagedFile() const { return filesStarted; }
  // Input files `a` and `b` exchange their numbers (their staged rows did the
  // same): StagedFileName(a) names what was b and the other way round.
  void SwapStagedFiles(int64_t a, int64_t b);
  // Empties every value of the run, its ledger and older-form fields (closes
  // nothing: the connection is left as it is).
  void Reset();
};
