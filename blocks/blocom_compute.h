// The values of the company's Block M that are derived from other records,
// recomputed after the merge. `tax` is 0 for PIS (M100..M410), 1 for COFINS
// (M500..M810). Each step appends to `notices` every value it had to correct
// beyond what the inputs said.
#pragma once

#include <string>
#include <vector>

#include "blocks/blocom_tree.h"

namespace BlocoM {

// The records of `code` among `list` (not below it).
std::vector<MRecord*> RecordsOf(std::vector<MRecord>& list, std::string_view code);

// With apportionment by revenue: every M105/M505 of a common-credit CST
// (53–56, 63–66) gets its base total from the files (each file's base counted
// once per CST and nature, whichever credit groups it listed it under), its
// cumulative and non-cumulative parts and the part of the credit group of its
// M100/M500 from the summed 0111; a credit group of the CST that lacks the
// line gets it when its part is above zero.
void Apportion(std::vector<MRecord>& merged, const std::vector<MRecord>& input, int tax,
               const CompanyFacts& facts, std::vector<std::string>& notices);

// Every M100/M500: the base from its M105/M505 lines; the credit again from
// base and rate when some of those lines were apportioned again; available
// credit (08 + 09 − 10 − 11); the credit used reduced to the available credit
// when above it; the use indicator and the balance (12 − 14).
void RecomputeCredits(std::vector<MRecord>& merged, int tax, std::vector<std::string>& notices);

// M200/M600 by the guide's formulas from the merged M210/M610, M100/M500 and
// 1100/1500; their M205/M605 made to add up to fields 08 and 12.
void RecomputeConsolidation(std::vector<MRecord>& merged, int tax, const CompanyFacts& facts,
                            std::vector<std::string>& notices);

// Every M400/M800 with M410/M810 lines: its total is the sum of theirs.
void RecomputeExemptRevenue(std::vector<MRecord>& merged, int tax, std::vector<std::string>& notices);

}  // namespace BlocoM
