// Numbers, CNPJs and dates as a Brazilian reader reads them, for what the
// wizard shows (the file list, the summary per establishment).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// `digits` (digits only) with a dot between thousands: "1234567" → "1.234.567".
std::string GroupThousands(std::string_view digits);
// A whole number with dots between thousands: "1.234.567", "-1.000".
std::string ThousandsText(int64_t n);
// "11.111.111/0001-91" for fourteen characters; other texts as they are.
std::string CnpjText(const std::string& cnpj);
// "01/01/2020" for "01012020"; other texts as they are.
std::string DateText(const std::string& date);
