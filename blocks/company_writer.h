// Writing the company-level records of Blocks 0, 1 and P by their rules
// (company_rules.h): the lines of every file of one record code read with one
// statement in load order, their children (linked by ID_Pai) with one
// statement per child code ordered by parent link, grouped and summed in
// memory, and written through the shared line writer so that Block 9 and the
// ledger count them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct RunContext;

// Writes the lines of company-level record `code` by its rule, each merged line
// followed by its children (in layout order, each by its own rule within the
// merged parent, then by their own children). Counts every code written in
// ###Registros and returns the number of lines written. A later line of a key
// that differs from the kept one where its rule asks for it, and children
// whose parent row is missing (not written), are told through the error port.
// Throws DatabaseError for a rejected statement, std::runtime_error when an
// amount to be added is no number (naming the record, field and text), and
// whatever the output writer throws; lines written so far stay in the output.
// A code without a company rule is written with every line (KeepAll).
int64_t WriteCompanyRecords(RunContext& ctx, std::string_view code);

// The company-level record codes of `block` ('1', 'P') directly under its
// opener, in layout order (those with a rule in company_rules.h).
std::vector<std::string> CompanyLevelCodes(char block);

// True when the table of one of CompanyLevelCodes(block) holds a row. Throws
// DatabaseError.
bool HasCompanyRows(RunContext& ctx, char block);
