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
  // When above 0: instead of a network, this many parts of one establishment's
  // file (same CNPJ and period, overlapping participants, units and items).
  int sameCnpjParts = 0;
  // Cumulative regime: contributions under code 51 at 0,65 / 3,00 and no
  // credits, instead of the non-cumulative 01 at 1,65 / 7,60.
  bool cumulative = false;
  // Every record of the layout in every file (the rarer ones with zero
  // amounts), references resolved in the establishment's own tables.
  bool everyRecord = false;
  // Establishments per file (a network only): file k holds establishments
  // k*n .. k*n+n-1, each with its own 0140 and X010 records.
  int establishmentsPerFile = 1;
  // Common credits apportioned by revenue (non-cumulative only): every file
  // declares IND_APRO_CRED 2 and its own 0111, and besides its CST 50 base it
  // has bases of its own of CST 56 (nature 02) and CST 53 (nature 13), which
  // its M105/M505 lines split over credit types 101, 201 and 301 by its 0111.
  bool commonCredits = false;
};

// Writes one file per establishment into `dir` (created when missing) and
// returns their paths, head office first; the names sort in that order.
// Deterministic for equal options. Throws std::runtime_error when a file
// cannot be written and std::invalid_argument for options out of range
// (establishments < 1 or > 9999, sameCnpjParts < 0, establishmentsPerFile
// < 1, commonCredits with cumulative).
std::vector<std::string> WriteNetwork(const NetworkOptions& options, const std::string& dir);
