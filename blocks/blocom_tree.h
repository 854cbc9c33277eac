// Block M as a tree of records in memory: the lines of every file read back
// from the staging tables with their parent links, merged into the company's
// block by the record's rules, and the values the block derives recomputed.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "blocks/exact_decimal.h"

namespace BlocoM {

// One record line: f[1] the record code, f[k] field k (f[0] unused), and the
// lines below it in the record tree.
struct MRecord {
  std::vector<std::string> f;
  std::vector<MRecord> children;
  std::string file;  // the input file the line came from (its Id_Arquivo); empty once merged
  bool apportioned = false;  // M100/M500 whose M105/M505 were apportioned again

  const std::string& Code() const { return f[1]; }
  // Field k, or an empty text when the line has fewer fields.
  const std::string& At(int k) const;
  // Numeric field k read by the reader of EFD amounts (0 for an empty text).
  // Throws std::runtime_error naming the record, field and text when it
  // cannot be read exactly (the input check refuses such files first).
  ExactDecimal Num(int k) const;
  // Sets field k, growing the line when needed.
  void Set(int k, std::string v);
  // The record line "|f1|f2|...|".
  std::string Line() const;
};

// A record of a line text ("|M100|101|...|"); the file is left empty.
MRecord ParseRecord(std::string_view line);

// What the merged file says of the company as a whole that Block M needs.
struct CompanyFacts {
  std::string codIncTrib;   // 0110 COD_INC_TRIB of the merged file ("1", "2", "3")
  std::string indAproCred;  // 0110 IND_APRO_CRED: "2" is apportionment by revenue
  bool hasRevenue = false;  // some 0111 was staged
  // The 0111 of every file summed field by field.
  ExactDecimal recTribMi, recNtMi, recExp, recCum, recTotal;
  // Σ VL_CRED_DESC_EFD of the staged 1100 (PIS) and 1500 (COFINS) lines, when
  // those records are staged at all.
  std::optional<ExactDecimal> creditUsedBefore[2];
};

// The number of field `name` of Block M record `code`, named as the PIS
// record of the pair names it (a COFINS code takes the field of the same
// number of its PIS twin: M505 "VL_BC_PIS" is M505 field 7). Throws
// std::logic_error for a name the catalogue does not have.
int FieldNo(std::string_view code, std::string_view pisName);

// The company's Block M from the blocks of all files: every top-level record
// with its children, in input order. Records are merged by their key fields
// (amounts summed exactly), M105/M505 apportioned again from the summed 0111
// when the company apportions by revenue, credits, consolidations and their
// details recomputed. Every correction the merge had to make is appended to
// `notices` as a sentence for the user. The result is in layout order.
std::vector<MRecord> MergeBlockM(const std::vector<MRecord>& input, const CompanyFacts& facts,
                                 std::vector<std::string>& notices);

// The part of the base `nc` (VL_BC_*_NC of an M105/M505 line of CST `cst`)
// that belongs to credit group `group` ('1' taxed domestic revenue, '2'
// untaxed domestic revenue, '3' exports) by the summed 0111 revenues, to two
// places. nullopt when the CST is not one of common credits (53–56, 63–66),
// the group is not one of the CST's, or the CST's revenues are all zero.
std::optional<ExactDecimal> ApportionedBase(ExactDecimal nc, std::string_view cst, char group,
                                            const CompanyFacts& facts, int places = 2);

}  // namespace BlocoM
