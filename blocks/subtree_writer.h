// Writing the subtree of one establishment (a 0140 or an X010 row) as the
// record tree of the layout: the records directly under the establishment
// record in layout order, each line followed at once by the lines of its
// children (in layout order, each followed by its own), rows of one code in
// load order.
//
// Statements: per establishment and record code at most two — one that counts
// the establishment's rows and gives the range of their identities, one that
// reads them (a record directly under the establishment by Id_CNPJ, a child
// record by the range of its parent's identities, ordered by its parent link).
// The results of all codes of the subtree are open at once and merged in
// memory by parent identity, so no statement runs per parent row.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>

struct RunContext;

// Record codes of `establishment`'s subtree whose tables hold rows, read once
// per block by the caller (one statement per code) and handed to every pass.
std::set<std::string, std::less<>> CodesWithRows(RunContext& ctx, std::string_view establishment);

struct SubtreeStats {
  int64_t statements = 0;  // statements run for the subtree
  int64_t lines = 0;       // lines written
};

// Writes the subtree of the establishment record `establishment` ("C010")
// whose rows carry Id_CNPJ `cnpj`, reading only the codes in `withRows`.
// With `dedupByCode`, a record with a code of its own under 0140 (0150
// COD_PART, 0190 UNID, 0200 COD_ITEM, 0400 COD_NAT, 0450 COD_INF) is written
// only for the first row of each code, its children with it; the later rows
// and their children are left out; a row left out that is the kept row again
// (its children too) is counted in the run's ledger as merged, one with other
// contents is not, so the ledger reports it lost. The 0145 rows of the
// establishment become one line, their amounts summed (a COD_INC_TRIB that
// differs stops the run with std::runtime_error, a differing INFO_COMPL is
// named in a notice). Counts the lines
// of each code in ###Registros. Throws DatabaseError for a rejected statement and whatever the
// output writer throws; lines written so far stay in the output.
SubtreeStats WriteEstablishmentSubtree(RunContext& ctx, std::string_view establishment, std::string_view cnpj,
                                       const std::set<std::string, std::less<>>& withRows, bool dedupByCode);

// Statements the writers ran for establishment passes since the last reset,
// and the number of passes (every block's X010 and Block 0's 0140 passes).
struct PassTotals {
  int64_t passes = 0;
  int64_t statements = 0;
};
PassTotals EstablishmentPassTotals(RunContext& ctx);
void ResetEstablishmentPassTotals(RunContext& ctx);
// Adds one pass that ran `statements` statements.
void NoteEstablishmentPass(RunContext& ctx, int64_t statements);

// The column whose value names a record under 0140 when rows of several files
// of one CNPJ are merged ("Cod_Part" for 0150), "" for a record kept once per
// establishment (0145), nullptr for codes that are not deduplicated.
const char* DedupColumn(std::string_view reg);
