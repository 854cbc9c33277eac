// One generated EFD-Contribuições file: the company's shared data and the
// writer of a single establishment's (or part's) file.
#pragma once

#include <cstdint>
#include <string>

#include "tools/efdgen/network.h"

// What every file of a network shares: the company, its period, its regime.
struct CompanyPlan {
  uint64_t seed = 1;
  uint32_t root = 0;          // 8-digit CNPJ root
  int month = 1, year = 2023;
  int lastDay = 31;
  bool cumulative = false;
  bool apportionment = false;  // credits apportioned by revenue: writes 0111
  bool commonCredits = false;  // each file has common-credit bases (CST 53, 56) of its own

  std::string Cnpj(int establishment) const;  // establishment 0 is the head office
  std::string Date(int day) const;            // ddmmyyyy within the period
};

struct FilePlan {
  int index = 0;          // position of the file in the network (0 first)
  int establishment = 0;  // 0 head office, 1.. branches: the file's first establishment
  int establishments = 1;  // establishments in the file: establishment, establishment + 1, ...
  int64_t targetLines = 1000;  // per establishment
  bool everyRecord = false;    // complete the file with every record of the layout
};

// The company plan derived from the options (deterministic by seed).
CompanyPlan PlanCompany(const NetworkOptions& options);

// Writes the file of `plan` to `path`. Throws std::runtime_error when the file
// cannot be written.
void WriteEfdFile(const CompanyPlan& company, const FilePlan& plan, const std::string& path);
