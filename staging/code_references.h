// Which fields of the layout refer to a code defined in a table record, and
// which record that is: participants (0150), items (0200), units (0190),
// natures of operation (0400), complementary notes (0450), accounts (0500) and
// cost centres (0600). The checker resolves these references; the generator
// makes them resolvable.
#pragma once

#include <string_view>

enum CodeKind : int { kCodePart, kCodeItem, kCodeUnit, kCodeNature, kCodeNote, kCodeAccount, kCodeCostCentre, kCodeKinds };

// The record that defines the codes of `kind`.
inline constexpr const char* kCodeTable[kCodeKinds] = {"0150", "0200", "0190", "0400", "0450", "0500", "0600"};

// The kind of code the field `name` (as the layout names it) holds, or -1 for
// a field that refers to no table. Never throws.
inline int CodeKindOfField(std::string_view name) {
  if (name == "COD_PART") return kCodePart;
  if (name == "COD_ITEM") return kCodeItem;
  if (name == "UNID" || name == "UNID_INV") return kCodeUnit;
  if (name == "COD_NAT") return kCodeNature;
  if (name == "COD_INF") return kCodeNote;
  if (name == "COD_CTA") return kCodeAccount;
  if (name == "COD_CCUS") return kCodeCostCentre;
  return -1;
}
