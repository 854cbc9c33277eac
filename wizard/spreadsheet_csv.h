// CSV as Brazilian spreadsheets open it: UTF-8 with a byte-order mark (so that
// accents are read as UTF-8), ';' between fields (the comma is the decimal
// separator there), amounts with a decimal comma, one line per row ended by
// LF (spreadsheets take LF and CR LF alike). Used by the ledger report and the
// run's summary.
#pragma once

#include <string>
#include <string_view>

#include "blocks/exact_decimal.h"

// The UTF-8 byte-order mark every CSV file of the program starts with.
inline constexpr std::string_view kCsvBom = "\xEF\xBB\xBF";
inline constexpr char kCsvSeparator = ';';

// `text` as one CSV field: as it is, or between double quotes (inner quotes
// doubled) when it holds the separator, a quote or a line break.
std::string CsvCell(std::string_view text);

// `amount` with exactly two decimals after a comma and no thousands
// separator, as spreadsheets read a number: "1234,50", "-0,01", "0,00".
std::string CsvAmount(const ExactDecimal& amount);
