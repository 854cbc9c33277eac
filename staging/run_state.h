// Run state shared by the import, the loaders and the block writers. Every
// value starts empty and keeps its value until ResetRunState (a new program run).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "staging/database.h"

extern std::unique_ptr<DatabaseConnection> g_Connection;

extern std::string g_CurrentCNPJ;       // CNPJ linking stored rows to their file / establishment written
extern std::string g_CurrentFileId;     // number of the input file being staged (Id_Arquivo), see BeginStagedFile
extern std::string g_CurrentParentID;   // identity of the parent row of the children stored or written
extern std::string g_CurrentEcfID;      // identity of the current C400 row
extern std::string g_CurrentCaixaID;    // identity of the current C405 row
extern std::string g_CurrentIdPai;      // identity of the parent row of a line stored under the common convention (ID_Pai)
extern std::string g_CurrentCST;        // CST of the current M400 / M800 line
extern std::string g_LastError;         // last error caught while inserting
extern int64_t g_StoreFailures;         // rows md_InsertTable could not store (never decreases)

extern bool g_MatrizSelected;
extern std::string g_MatrizCNPJ, g_MatrizDtIni, g_MatrizDtFin;
extern std::string g_FileCNPJ, g_FileDtIni, g_FileDtFin;
extern std::string g_StartTime, g_EndTime;

// Starts the staging of a new input file: g_CurrentFileId becomes the next
// number of the run (1 for the first file, then 2, 3, ...), which every row
// staged until the next call carries in Id_Arquivo. A number is never given
// twice in one run, also when files are removed or imported again, so the
// parts of one CNPJ stay apart however the list was edited. `name` (the
// file as the user named it) is kept for messages. Returns the number.
int64_t BeginStagedFile(std::string_view name = {});
// The name given to BeginStagedFile for the file numbered `fileId` (an
// Id_Arquivo), or "arquivo N" when none was given. Never throws.
std::string StagedFileName(std::string_view fileId);
// Input files `a` and `b` exchange their numbers (their staged rows did the
// same): StagedFileName(a) names what was b and the other way round.
void SwapStagedFiles(int64_t a, int64_t b);
// The number BeginStagedFile gave last (0 before the first file of the run).
int64_t CurrentStagedFile();

// Empties every run-state value and the run's ledger (closes nothing:
// g_Connection is left as it is).
void ResetRunState();

// The current date and time as "dd/mm/yyyy hh:mm:ss".
std::string NowText();
