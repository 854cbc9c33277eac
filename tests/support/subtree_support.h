// Reading merged and input files as record trees, for tests that follow every
// line of an establishment's subtree from the inputs into the merged file.
#pragma once

#include <map>
#include <string>
#include <vector>

// Every line of an establishment subtree (below a 0140 or an X010) keyed by
// where it sits: "<establishment CNPJ>\n<parent line or '-' under the
// establishment record>\n<line>", texts upper-cased as the merge stores them;
// the value counts the lines with that key.
std::map<std::string, int> PlacedSubtreeLines(const std::vector<std::string>& lines);

// Lines that sit in no establishment subtree, other than block openers,
// closers and Block 9, upper-cased, counted per line.
std::map<std::string, int> CompanyLevelLines(const std::vector<std::string>& lines);

// The file cut into one file per establishment (per 0140, in file order), each
// with the header naming that establishment's CNPJ, the company-level records
// of Blocks 0 (0100, 0110, 0500, 0600 in every file, the others and a zeroed
// 0111 as the first file has them), and its own 0140 and X010 subtrees. Blocks
// M and 1 and the other company-level records stay in the first file; the others
// get those blocks empty. Block closers and Block 9 are counted again.
std::vector<std::vector<std::string>> SplitPerEstablishment(const std::vector<std::string>& lines);
