// Lines of layouts older than the current one (0000 COD_VER below 006).
//
// Staging tables have the columns of the current layout: an older line is
// stored in them and, when every input line of a record code was of the older,
// shorter form, written back in that form. Most records grew only at their end
// (0110 gained IND_REG_CUM, C500 CHV_DOCe), so the older form is the first
// fields of the current one. M210 and M610 grew in the middle in 2019: the
// base adjustments and the adjusted base (fields 05 to 07) came after the
// base, and a 13-field line moves its later fields three places on.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>

// `line` ("|REG|f2|…|") of record `reg` in the current layout. A 13-field
// M210 / M610 line gets its base adjustments as zero and its adjusted base as
// the base; any other line is returned as it is.
std::string CurrentFormOf(std::string_view reg, std::string_view line);

// `line` of the current layout written with `fields` fields (the record code
// counted), the form the input files had: a 16-field M210 / M610 line loses
// fields 05 to 07 when `fields` is 13, any other line keeps its first `fields`
// fields. A line with no more than `fields` fields is returned as it is.
std::string OlderFormOf(std::string_view reg, std::string_view line, size_t fields);

// Per record code whose lines in the inputs all had fewer fields than the
// current layout, the most fields one of them had is kept in the run's
// context (RunContext::olderFormFields): the run sets it before writing and
// the output line writer writes those codes in that form (OlderFormOf).
