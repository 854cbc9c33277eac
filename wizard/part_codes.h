// Codes of the parts of one CNPJ ("Mesmo CNPJ"): each part's tables of codes
// (participants 0150, units 0190, items 0200, natures 0400, notes 0450 per
// establishment; accounts 0500 and cost centres 0600 of the company) are
// merged with those of the parts imported before it. A code a later part
// gives other contents than an earlier part (a participant "F1" that is
// another company) is renamed in that part, definition and every reference
// alike, so that its documents keep pointing at their own participant; a code
// with the same contents stays one.
#pragma once

#include <map>
#include <set>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "staging/code_references.h"

struct RunContext;

class PartCodes {
 public:
  // Prepares the import of the part `path`: reads the codes the staging
  // tables hold (the earlier parts'), reads the part's Block 0 and decides
  // which of its codes are renamed and to what. Returns one notice per
  // renamed code (Portuguese, naming the file, record, old and new code).
  // Throws DatabaseError from the staging tables and std::runtime_error when
  // the file cannot be read.
  std::vector<std::string> Begin(RunContext& run, const std::string& path);

  // Rewrites the code fields of `line` (of record `code`) that name a
  // renamed code: the definition and the references. Lines of an
  // establishment use its renames; lines of the company (Blocks M and 1) the
  // rename of the code in any establishment of the part. Never throws.
  void Rewrite(std::string_view code, std::string& line);

  // True when the part renames no code (Rewrite changes nothing).
  bool Empty() const { return renamed_.empty(); }

 private:
  // (kind, establishment CNPJ or "" for accounts and cost centres, code) -> new code
  using Scoped = std::tuple<int, std::string, std::string>;
  std::map<Scoped, std::string> renamed_;
  std::map<std::pair<int, std::string>, std::string> anyScope_;  // (kind, code) -> new code, first rename
  std::string scope_;  // CNPJ of the establishment of the lines being rewritten
};

// The code `code` renamed for a part: `code` with the suffix "_2" (then "_3",
// ...), cut so that the whole is at most `size` characters (0: no limit), the
// first not in `used`. Never throws.
std::string RenamedCode(const std::string& code, size_t size, const std::set<std::string>& used);
