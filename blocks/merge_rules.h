// Which record codes the merge legitimately writes with fewer lines than the
// inputs hold, and why: the one table the reconciliation ledger consults.
// Every other code must have each line read written.
#pragma once

#include <string_view>

enum class MergeRule {
  None,          // every line read is written
  Once,          // written once for the whole merged file (the first file's)
  Deduplicated,  // lines of the same key are written once
  Summed,        // lines are summed per key into fewer lines
  Recomputed,    // openers, closers and counts: computed again for the merged file
};

struct MergeRuleInfo {
  MergeRule rule = MergeRule::None;
  const char* reason = "";  // Portuguese, for the ledger report
};

// The rule of `code` in a merge of head office and branches (`sameCnpj`
// false) or of files of one CNPJ (true).
MergeRuleInfo MergeRuleFor(std::string_view code, bool sameCnpj);
