// The company-level records of Blocks 0, 1 and P (those that belong to no
// establishment) and how the lines of all files become the merged file's
// lines: one rule per record code, as data. The company-level writer
// (company_writer.h) follows it, and the reconciliation ledger
// (merge_rules.h) reads from it why a code has fewer lines written than read.
//
// A child record's rule applies among the children of one merged parent: the
// children of every line that went into that parent, in load order.
#pragma once

#include <string_view>
#include <vector>

enum class CompanyMerge {
  KeepAll,     // every line written, in load order, under its own parent
  Once,        // one line per key for the whole file (no key: the first line)
  FirstOfKey,  // the first line of each key (no key: of each whole line);
               // the children of the later ones are written under it
  SumByKey,    // the lines of one key (no key: all lines) become one line:
               // amounts added exactly, every other field from the first
};

struct CompanyRule {
  const char* code;
  CompanyMerge kind;
  // Field names as the record catalogue spells them ("PER_APU_CRED").
  std::vector<const char*> keys;
  // A later line of a key whose other fields (amounts of a sum aside) differ
  // from the kept line's is named in a warning.
  bool warnWhenDiffering;
  // Why fewer lines are written than read (Portuguese, for the ledger).
  const char* reason;
};

// The rule of `code`, or nullptr for records that are not company-level
// (written with their establishment, or openers, closers and Blocks 9 and M).
const CompanyRule* CompanyRuleFor(std::string_view code);

// Every rule, in layout order.
const std::vector<CompanyRule>& CompanyRules();

// True for a field the SumByKey rule adds up: a number with decimals in the
// record catalogue, other than REG and the rule's keys.
bool IsSummedField(const CompanyRule& rule, std::string_view field, char type, int decimals);
