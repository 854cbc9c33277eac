// The links of a stored line to its establishment and to its parent row, kept
// while a file is read: the file's CNPJ (0000), the CNPJ of the establishment
// record read last (0140 or an X010), and the identity of the last stored row
// of every record code that has children. Before a line is stored, the run
// state that its link columns read (ctx.currentCNPJ for Id_CNPJ, ctx.currentIdPai
// for ID_Pai, ctx.currentParentID / ctx.currentEcfID / ctx.currentCaixaID for the
// links of the records staged since the first version) is set from them.
#pragma once

#include <string_view>

struct RunContext;

namespace record_links {

// True for the records that open an establishment's subtree: 0140, A010, C010,
// D010, F010, I010, P010.
bool IsEstablishmentRecord(std::string_view reg);
// The establishment record above `reg` in the record tree ("C010" for C170,
// "0140" for 0205), or "" for company-level records and the establishment
// records themselves.
std::string_view EstablishmentOf(std::string_view reg);

// Sets the run state the link columns of `reg` read, for `line` about to be
// stored. A 0000 line starts a new file (every remembered identity is
// forgotten); an establishment record makes its CNPJ the link of the lines
// under it. Never fails; a line without a parent stored before it links to no
// row (ID_Pai 0).
void PrepareLinks(RunContext& ctx, std::string_view reg, std::string_view line);

// Remembers (stored) or forgets (not stored) the identity of the row of `reg`
// just inserted, for the children that follow; does nothing for codes without
// children. Throws DatabaseError when the identity cannot be read.
void RememberRow(RunContext& ctx, std::string_view reg, bool stored);

// Forgets everything remembered (a new run, or a file given back).
void Reset(RunContext& ctx);

}  // namespace record_links
