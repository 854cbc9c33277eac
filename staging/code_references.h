// Which fields of the layout refer to a code defined in a table record, and
// which record that is: participants (0150), items (0200), units (0190),
// natures of operation (0400), complementary notes (0450), accounts (0500) and
// cost centres (0600). The checker resolves these references; the generator
// makes them resolvable.
#pragma once

#include <span>
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

// The fields (as the layout names them) that identify one line of the table of
// `kind`: its code and, for accounts and cost centres, the date of the change
// (and the referential account) under which the guide lets a code repeat.
// Two lines of one establishment's table (accounts and cost centres: of the
// file) with these fields equal are one definition given twice.
inline std::span<const std::string_view> CodeTableKey(int kind) {
  static constexpr std::string_view kKeys[kCodeKinds][3] = {
      {"COD_PART"}, {"COD_ITEM"}, {"UNID"}, {"COD_NAT"}, {"COD_INF"}, {"DT_ALT", "COD_CTA", "COD_CTA_REF"},
      {"DT_ALT", "COD_CCUS"}};
  static constexpr size_t kCount[kCodeKinds] = {1, 1, 1, 1, 1, 3, 2};
  if (kind < 0 || kind >= kCodeKinds) return {};
  return {kKeys[kind], kCount[kind]};
}

// The kind of code whose table `record` is ("0150": kCodePart), or -1.
inline int CodeTableKind(std::string_view record) {
  for (int k = 0; k < kCodeKinds; ++k)
    if (record == kCodeTable[k]) return k;
  return -1;
}
