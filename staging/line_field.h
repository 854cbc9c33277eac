// One field of a record line without splitting the whole line.
#pragma once

#include <cstddef>
#include <string_view>

// Field `k` of a record line "|REG|f2|…|": k = 1 is the record code, k = 2 the
// first field after it. Empty when the line has fewer fields or the field is
// not closed by a bar. Never throws.
inline std::string_view LineField(std::string_view line, size_t k) {
  size_t start = 1;
  for (size_t i = 1; i < k; ++i) {
    size_t bar = line.find('|', start);
    if (bar == std::string_view::npos) return {};
    start = bar + 1;
  }
  size_t end = line.find('|', start);
  if (end == std::string_view::npos) return {};
  return line.substr(start, end - start);
}
