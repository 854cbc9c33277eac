// Record layouts as data. Each block has one table of LayoutSpec rows (its
// record codes in staging-table creation order, catalogue_layouts.h); BuildLayout builds a
// fresh Objeto_Collection from the row of the asked code.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "staging/layout.h"

struct RunContext;

// The run-state text a link column refers to.
enum class RunRef : uint8_t { None, ParentID, EcfID, CaixaID, PaiID };

struct FieldSpec {
  std::string name;
  bool integer;  // Tipo "Integer" (INT column) instead of "String"
  int16_t key;   // 1..n line position, -1 link column
  RunRef ref = RunRef::None;
};

struct LayoutSpec {
  std::string code;
  bool pkIdentity = false;
  std::vector<FieldSpec> fields;
  // True for a record that is only carried (no rule reads its fields): its
  // staging table holds the link columns and one column Linha, the line as
  // it is written (each field normalised as a field column would hold it),
  // instead of one column per field. `fields` still lists the line fields.
  bool wholeLine = false;

  // Number of fields that come from the record line (Key > 0).
  int LineFieldCount() const;
};

// The row of `reg` in `table` (exact, case-sensitive), or nullptr.
const LayoutSpec* FindLayoutSpec(const std::vector<LayoutSpec>& table, std::string_view reg);

// A new layout for `reg`; an unknown code gives an empty layout (IsPkIdentity false).
Objeto_Collection BuildLayout(RunContext& ctx, const std::vector<LayoutSpec>& table, std::string_view reg);

// md_CreateTable for every row of `table`, in table order.
void CreateTablesOf(RunContext& ctx, const std::vector<LayoutSpec>& table);
