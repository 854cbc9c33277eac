// The table of blocks: one row per block of the merged file, in file order, with
// its opener, closer and the kind of content it holds. Staging-table creation,
// loading and writing all walk this table; only Block 0, Block M and Block 9
// have a module of their own (bloco0.h, blocom.h, bloco9.h).
#pragma once

#include <string_view>
#include <vector>

#include "staging/layout.h"
#include "staging/layout_spec.h"

struct RunContext;

// What a block holds between its opener and its closer, which decides how its
// lines are loaded and written.
enum class BlockContent {
  HeadAndEstablishments,  // Block 0: the file's head, company records, 0140 subtrees (bloco0.h)
  Establishments,         // one X010 per establishment with its subtree (establishment_block.h)
  CompanyRecords,         // company-level records by their rules only (opener_closer_block.h)
  Contributions,          // Block M, merged and recomputed (blocom.h)
  Counts,                 // Block 9, the line counts (bloco9.h)
};

struct BlockEntry {
  char letter;                // first character of the block's record codes, as in ###Registros.Bloco
  const char* opener;         // "C001"
  const char* closer;         // "C990"
  const char* establishment;  // "C010", "0140"; nullptr when the block has no establishments
  const char* countName;      // the closer's count field, "Qtd_Lin_C"
  BlockContent content;
  // True for blocks that older layouts lack (I, P): when no input file had the
  // block (no stored opener), the block is left out of the merged file.
  bool omitWhenAbsent;
  // True when the block ends with company-level records by the rules of
  // company_rules.h (P after its establishments, 1 alone).
  bool companyRecords;
  // The block's record layouts in staging-table creation order (the
  // catalogue's, catalogue_layouts.h).
  const std::vector<LayoutSpec>& (*layouts)();
  // True when the lines under the block's establishment record are only
  // carried: no rule reads their fields, so they are staged whole
  // (LayoutSpec::wholeLine, see IsCarriedRecord).
  bool carriedSubtree;
};

// 0, A, C, D, F, I, M, P, 1, 9: the order of the staging tables and of the file.
const std::vector<BlockEntry>& BlockTable();
// The row of a block letter, or nullptr.
const BlockEntry* FindBlock(char letter);
// A new layout for `reg` from its block's layouts (empty for a code no block
// knows).
Objeto_Collection BlockLayout(RunContext& ctx, std::string_view reg);
// The layout row of any record code the program knows, or nullptr.
const LayoutSpec* FindAnyLayout(std::string_view code);

// True when record `code` is only carried: it sits under the establishment
// record of a block whose subtree is carried (BlockEntry::carriedSubtree) and
// no company rule merges it. Its lines are staged whole, one column holding
// the normalised line, and written back as they were stored; the establishment
// records themselves, Block 0 (tables of codes, 0145, renames) and every
// record a rule computes on keep a column per field. Never throws.
bool IsCarriedRecord(std::string_view code);

// True when the merged file carries the lines of record `code` (stored by its
// block's loader and written by its block's writer); the import reports the
// lines of every other code as not merged.
bool IsMergedCode(std::string_view code);

// Writes the whole block `block` by its content; `singleCnpj` (files of one
// CNPJ merged) is read by Block 0 only. Throws DatabaseError for a rejected
// statement and whatever the output writer throws; lines written so far stay
// in the output.
void WriteBlock(RunContext& ctx, const BlockEntry& block, bool& singleCnpj);
