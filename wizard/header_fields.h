// The header values that name the merged file (CNPJ, period start and end of
// the 0000 record) checked before they are used: a CNPJ is 14 digits, a date
// is 8 digits DDMMAAAA naming a real day.
#pragma once

#include <string>
#include <string_view>

// True for exactly 14 decimal digits.
bool IsCnpjText(std::string_view cnpj);
// True for 8 decimal digits DDMMAAAA that name a day of the calendar
// (29 February only in leap years).
bool IsEfdDate(std::string_view date);
// The message that refuses a header whose CNPJ (field 9), period start (6) or
// end (7) cannot name the merged file; empty when all three are sound.
std::string HeaderFieldsProblem(std::string_view cnpj, std::string_view dtIni, std::string_view dtFin);
// `value` made printable for a message: control bytes as '?', cut at 40 bytes.
std::string Printable(std::string_view value);
