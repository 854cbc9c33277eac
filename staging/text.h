// Text helpers for EFD lines: bytes in the single-byte code page of the files
// (Latin-1 / Windows-1252) pass unchanged.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// Splits a record line on every "|": element 0 is the text before the first
// bar, element 1 the record code, element k the k-th field. Views into `line`.
void SplitBars(std::string_view line, std::vector<std::string_view>& out);
std::vector<std::string_view> SplitBars(std::string_view line);

// Upper case over Latin-1: ASCII letters and the accented letters à..þ (except ÷)
// become their capitals; ÿ and ß stay as they are. Other bytes pass unchanged.
std::string UpperLatin1(std::string_view s);
char UpperLatin1(char c);
// Lower case over Latin-1 (the inverse of UpperLatin1 on letters).
char LowerLatin1(char c);

// Trims leading and trailing blanks (the space character only).
std::string_view TrimBlanks(std::string_view s);

// The text to put between single quotes so that the quoted text is a T-SQL
// literal holding `v`: every "'" doubled.
std::string PrepareSqlText(std::string_view v);

// `v` as a LIKE pattern matching itself only: PrepareSqlText plus the
// wildcards %, _ and [ enclosed in brackets.
std::string PrepareLikeText(std::string_view v);

// `v` rounded to `decimals` places, halves away from zero.
double RoundValue(double v, int decimals);

// A number as the merged file writes it: decimal comma, no thousands
// separator, at most 15 significant digits, no trailing zeros ("10,5", "100",
// "-0,3"); whatever the machine's locale.
std::string FormatNumber(double v);
std::string FormatNumber(long long v);

// True when `s` is an optional sign followed by digits only.
bool IsWholeNumber(std::string_view s);

struct UiPorts;

// Reports an error through the error port without stopping the caller.
void ReportError(const UiPorts& ports, std::string_view source, std::string_view procedure, std::string_view message, int flag);
