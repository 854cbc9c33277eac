// Loading of Block 0 lines: the header and the block's opener and closer once,
// the accountant once per CPF, the tax regime checked, units without repeats,
// every other line of every file (accounts too: the writer merges them by
// their key, company_rules.h) linked to its establishment and parent row.
#include <stdexcept>

#include "blocks/bloco0.h"
#include "blocks/load_rules.h"
#include "blocks/registry.h"
#include "staging/ledger.h"
#include "staging/line_field.h"
#include "staging/record_catalogue.h"
#include "staging/resources.h"
#include "staging/run_state.h"
#include "staging/text.h"
#include "staging/ui_ports.h"

namespace Bloco0 {

using namespace load_rules;

namespace {

// The layouts of Block 0, from the table of blocks.
const std::vector<LayoutSpec>& Layouts() { return FindBlock('0')->layouts(); }

// The accountant (0100) is kept once per CPF: a later file's 0100 is stored
// only when no stored row has its CPF.
void Load0100(RunContext& ctx, std::string_view line, std::string_view cpf) {
  std::string normalized = UpperLatin1(TrimBlanks(cpf));
  auto rs = ctx.connection->Execute("SELECT CPF FROM ###0100 WHERE CPF = '" + PrepareSqlText(normalized) + "'");
  if (rs->Eof()) Store(ctx, Layouts(), "0100", line);
}

// A later file's header (0000) is not stored: the first file's stands for the
// merged file. The fields that speak for the whole merged file — the kind of
// bookkeeping (TIPO_ESCRIT) with the receipt it corrects (NUM_REC_ANTERIOR),
// a special situation (IND_SIT_ESP), the company's legal nature (IND_NAT_PJ)
// and activity (IND_ATIV) — are compared with the stored header's, and those
// that differ are named in a notice (a branch's name and place are its own).
// Throws DatabaseError.
void NoteDifferingHeader(RunContext& ctx, std::string_view line) {
  auto rs = ctx.connection->Execute("SELECT * FROM ###0000");
  if (rs->Eof()) return;
  std::string differing;
  for (const FieldSpec& f : FindLayoutSpec(Layouts(), "0000")->fields) {
    if (f.key != 3 && f.key != 4 && f.key != 5 && f.key != 13 && f.key != 14) continue;
    const Value& v = (*rs)[f.name];
    const std::string stored = v.IsNull() ? std::string() : v.AsText(), here = StoredField(line, f.key);
    if (stored != here)
      differing += (differing.empty() ? "" : ", ") + Layout006().Find("0000")->fields[f.key - 1].name + " \"" +
                   here + "\" (primeiro arquivo: \"" + stored + "\")";
  }
  if (differing.empty()) return;
  if (MessagePort* port = ctx.ports.messages)
    port->ShowMessage("Arquivo " + ctx.StagedFileName(ctx.currentFileId) + ": o registro 0000 informa " + differing +
                          "; o arquivo unificado leva o registro 0000 do primeiro arquivo.",
                      MsgIcon::Information);
}

// The tax regime (0110) must be the same in every file: the first file's line is
// stored. A later file whose incidence (COD_INC_TRIB) or credit apportionment
// method (IND_APRO_CRED) differs from the stored one cannot join the merge: the
// merged Block M would mix two regimes. Throws std::runtime_error naming both
// values, which fails the file's import (nothing of it stays). A later line that
// differs only in the contribution type is reported and not stored.
void Load0110(RunContext& ctx, std::string_view line, std::string_view codIncTrib, std::string_view codTipoCont,
              std::string_view indAproCred) {
  if (!md_TableHasRows(ctx, "0110")) {
    Store(ctx, Layouts(), "0110", line);
    return;
  }
  const std::string inc = UpperLatin1(TrimBlanks(codIncTrib));
  const std::string apro = UpperLatin1(TrimBlanks(indAproCred));
  const std::string tipo = UpperLatin1(TrimBlanks(codTipoCont));
  auto rs = ctx.connection->Execute("SELECT * FROM ###0110");
  for (; !rs->Eof(); rs->MoveNext()) {
    const std::string storedInc = (*rs)["Cod_Inc_Trib"].AsText(), storedApro = (*rs)["Ind_Apro_Cred"].AsText();
    std::string differs;
    if (storedInc != inc) differs += "COD_INC_TRIB " + inc + " (Matriz: " + storedInc + ")";
    if (storedApro != apro)
      differs += (differs.empty() ? "" : ", ") + std::string("IND_APRO_CRED ") + apro + " (Matriz: " + storedApro + ")";
    if (!differs.empty())
      throw std::runtime_error("o registro 0110 difere do primeiro arquivo: " + differs);
    if (const std::string storedTipo = (*rs)["Cod_Tipo_Cont"].AsText(); storedTipo != tipo) {
      if (MessagePort* port = ctx.ports.messages)
        port->ShowMessage("Arquivo " + ctx.StagedFileName(ctx.currentFileId) + ": o registro 0110 informa COD_TIPO_CONT \"" +
                              tipo + "\" (primeiro arquivo: \"" + storedTipo +
                              "\"); o arquivo unificado leva o registro 0110 do primeiro arquivo.",
                          MsgIcon::Critical);
      return;
    }
  }
}

// Stores a 0190 line unless its establishment has the unit already (a code
// keeps its case); a unit left out is counted in the run's ledger as merged
// when it describes the unit as the stored line does, and not otherwise, so
// the ledger reports the lost description. Throws DatabaseError.
void LoadUnit(RunContext& ctx, std::string_view line) {
  const std::string_view unid = TrimBlanks(LineField(line, 2));
  std::string descr;  // the column of field 3 (DESCR)
  for (const FieldSpec& f : FindLayoutSpec(Layouts(), "0190")->fields)
    if (f.key == 3) descr = f.name;
  auto rs = ctx.connection->Execute("SELECT " + descr + " FROM ###0190 WHERE Unid = '" + PrepareSqlText(unid) +
                                  "' AND Id_CNPJ = '" + PrepareSqlText(ctx.currentCNPJ) + "'");
  if (rs->Eof()) {
    Store(ctx, Layouts(), "0190", line);
  } else if (rs->Column(0).AsText() == UpperLatin1(TrimBlanks(LineField(line, 3)))) {
    ctx.ledger.MergedAtImport("0190", ctx.currentCNPJ, ctx.CurrentStagedFile());
  }
}

}  // namespace

// Stores one Block 0 line by the block's rules. Throws DatabaseError when a
// look-up fails; a failing insert is reported by md_InsertTable and skipped.
void md_LoadRecord(RunContext& ctx, std::string_view reg, std::string_view line, std::string_view cpf,
                   std::string_view codIncTrib, std::string_view codTipoCont,
                   std::string_view indAproCred) {
  if (reg == "0000") {
    ctx.currentCNPJ = StoredField(line, 9);
    NoteDifferingHeader(ctx, line);
    StoreIfEmpty(ctx, Layouts(), reg, line);
  } else if (reg == "0001" || reg == "0990") {
    StoreIfEmpty(ctx, Layouts(), reg, line);
  } else if (reg == "0100") {
    Load0100(ctx, line, cpf);
  } else if (reg == "0110") {
    Load0110(ctx, line, codIncTrib, codTipoCont, indAproCred);
  } else if (reg == "0190") {
    LoadUnit(ctx, line);
  } else if (FindLayoutSpec(Layouts(), reg)) {
    Store(ctx, Layouts(), reg, line);
  }
}

}  // namespace Bloco0
