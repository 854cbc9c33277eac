// The block modules in the order of the merged file.
#pragma once

#include <string_view>
#include <vector>

#include "staging/layout_spec.h"

struct BlockModule {
  char letter;        // first character of the block's record codes
  const char* name;   // "Bloco0", "BlocoA", ...
  const std::vector<LayoutSpec>& (*layouts)();
  void (*createTables)();
};

// 0, A, C, D, F, I, M, P, 1, 9: the order of the staging tables and of the file.
const std::vector<BlockModule>& BlockModules();
// The module of a block letter, or nullptr.
const BlockModule* FindBlock(char letter);
// The layout row of any record code the program knows, or nullptr.
const LayoutSpec* FindAnyLayout(std::string_view code);

// True when the merged file carries the lines of record `code` (stored by its
// block's loader and written by its block's writer); the import reports the
// lines of every other code as not merged.
bool IsMergedCode(std::string_view code);
