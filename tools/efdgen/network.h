// Generates EFD-Contribuições networks (a head office and branches of one
// company) for tests and benchmarks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct NetworkOptions {
  int establishments = 3;       // head office + branches
  int64_t targetLines = 1000;   // about this many lines in all files together
  uint32_t seed = 1;
};

// Writes one file per establishment into `dir` (created when missing) and
// returns their paths, head office first.
std::vector<std::string> WriteNetwork(const NetworkOptions& options, const std::string& dir);
