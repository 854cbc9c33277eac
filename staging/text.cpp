// Text helpers for EFD lines. Every byte is a character of the files' single-byte
// code page (Latin-1 / Windows-1252); nothing here decodes or re-encodes text.
#include "staging/text.h"

#include <cmath>

#include "staging/ui_ports.h"

void SplitBars(std::string_view line, std::vector<std::string_view>& out) {
  // A plain byte loop: fields are short (many empty), a library search per
  // field costs more than it saves.
  out.clear();
  const char* p = line.data();
  const size_t n = line.size();
  size_t start = 0;
  for (size_t i = 0; i < n; ++i) {
    if (p[i] != '|') continue;
    out.emplace_back(p + start, i - start);
    start = i + 1;
  }
  out.emplace_back(p + start, n - start);
}

std::vector<std::string_view> SplitBars(std::string_view line) {
  std::vector<std::string_view> out;
  SplitBars(line, out);
  return out;
}

char UpperLatin1(char c) {
  auto u = static_cast<unsigned char>(c);
  if (u >= 'a' && u <= 'z') return static_cast<char>(u - 0x20);
  // à (0xE0) .. þ (0xFE), except ÷ (0xF7); ÿ (0xFF) has no capital in Latin-1.
  if (u >= 0xE0 && u <= 0xFE && u != 0xF7) return static_cast<char>(u - 0x20);
  return c;
}

char LowerLatin1(char c) {
  auto u = static_cast<unsigned char>(c);
  if (u >= 'A' && u <= 'Z') return static_cast<char>(u + 0x20);
  // À (0xC0) .. Þ (0xDE), except × (0xD7); ß (0xDF) stays.
  if (u >= 0xC0 && u <= 0xDE && u != 0xD7) return static_cast<char>(u + 0x20);
  return c;
}

std::string UpperLatin1(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = UpperLatin1(c);
  return out;
}

std::string_view TrimBlanks(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && s[b] == ' ') ++b;
  while (e > b && s[e - 1] == ' ') --e;
  return s.substr(b, e - b);
}

std::string PrepareSqlText(std::string_view v) {
  std::string out;
  out.reserve(v.size() + 2);
  for (char c : v) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out;
}

std::string PrepareLikeText(std::string_view v) {
  std::string out;
  out.reserve(v.size() + 4);
  for (char c : v) {
    switch (c) {
      case '\'': out += "''"; break;
      case '%': out += "[%]"; break;
      case '_': out += "[_]"; break;
      case '[': out += "[[]"; break;
      default: out += c;
    }
  }
  return out;
}

double RoundValue(double v, int decimals) {
  if (!std::isfinite(v)) return v;
  double scale = std::pow(10.0, decimals);
  double scaled = v * scale;
  if (!std::isfinite(scaled)) return v;
  return std::round(scaled) / scale;  // std::round takes halves away from zero
}

bool IsWholeNumber(std::string_view s) {
  if (!s.empty() && (s[0] == '+' || s[0] == '-')) s.remove_prefix(1);
  if (s.empty()) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

void ReportError(const UiPorts& ports, std::string_view source, std::string_view procedure, std::string_view message, int) {
  if (ErrorPort* port = ports.errors) port->ReportError(source, procedure, message);
}
