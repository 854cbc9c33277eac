#include "app/win/win_text.h"

#include <algorithm>

namespace winui {

namespace {

// Decodes `text` as UTF-8 into `out`; false (out unspecified) when it is not
// valid UTF-8: a bad lead or continuation byte, an overlong form, a surrogate
// or a code point above U+10FFFF.
bool DecodeUtf8(std::string_view text, std::u16string& out) {
  out.clear();
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const unsigned char b = static_cast<unsigned char>(text[i]);
    char32_t cp;
    size_t n;
    if (b < 0x80) {
      cp = b;
      n = 1;
    } else if ((b & 0xE0) == 0xC0) {
      cp = b & 0x1F;
      n = 2;
    } else if ((b & 0xF0) == 0xE0) {
      cp = b & 0x0F;
      n = 3;
    } else if ((b & 0xF8) == 0xF0) {
      cp = b & 0x07;
      n = 4;
    } else {
      return false;
    }
    if (i + n > text.size()) return false;
    for (size_t k = 1; k < n; ++k) {
      const unsigned char c = static_cast<unsigned char>(text[i + k]);
      if ((c & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (c & 0x3F);
    }
    static constexpr char32_t kLeast[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kLeast[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
    i += n;
  }
  return true;
}

std::u16string Trimmed(std::u16string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == u' ' || s[b] == u'\t')) ++b;
  while (e > b && (s[e - 1] == u' ' || s[e - 1] == u'\t')) --e;
  return std::u16string(s.substr(b, e - b));
}

}  // namespace

std::u16string ControlText(std::string_view text) {
  std::u16string decoded;
  if (!DecodeUtf8(text, decoded)) {
    decoded.clear();
    for (char c : text) decoded.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
  }
  std::u16string out;
  out.reserve(decoded.size() + 8);
  for (size_t i = 0; i < decoded.size(); ++i) {
    if (decoded[i] == u'\r') {
      if (i + 1 < decoded.size() && decoded[i + 1] == u'\n') ++i;
      out += u"\r\n";
    } else if (decoded[i] == u'\n') {
      out += u"\r\n";
    } else {
      out.push_back(decoded[i]);
    }
  }
  return out;
}

std::vector<FilterEntry> DialogFilter(std::string_view filter) {
  const std::u16string text = ControlText(filter);
  std::vector<std::u16string> parts;
  size_t start = 0;
  for (;;) {
    const size_t bar = text.find(u'|', start);
    parts.push_back(Trimmed(std::u16string_view(text).substr(start, bar == std::u16string::npos ? bar : bar - start)));
    if (bar == std::u16string::npos) break;
    start = bar + 1;
  }
  std::vector<FilterEntry> entries;
  if (parts.size() == 1) {
    if (!parts[0].empty()) entries.push_back({parts[0], parts[0]});
    return entries;
  }
  for (size_t i = 0; i + 1 < parts.size(); i += 2) {
    if (parts[i + 1].empty()) continue;
    std::u16string name = parts[i].empty() ? parts[i + 1] : parts[i];
    if (name.find(u'(') == std::u16string::npos) name += u" (" + parts[i + 1] + u")";
    entries.push_back({std::move(name), parts[i + 1]});
  }
  return entries;
}

std::u16string DefaultExtension(const std::vector<FilterEntry>& entries) {
  if (entries.empty()) return u"";
  std::u16string_view first = entries.front().patterns;
  first = first.substr(0, first.find(u';'));
  if (first.size() < 3 || first.substr(0, 2) != u"*.") return u"";
  std::u16string_view ext = first.substr(2);
  if (ext.find_first_of(u"*?. ") != std::u16string_view::npos) return u"";
  return std::u16string(ext);
}

int BoxWidth(std::string_view text) {
  const std::u16string s = ControlText(text);
  size_t longest = 0, run = 0;
  for (char16_t c : s) {
    const bool blank = c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
    run = blank ? 0 : run + 1;
    longest = std::max(longest, run);
  }
  if (longest <= static_cast<size_t>(kWideRun)) return 0;
  return static_cast<int>(std::min<size_t>(longest * 9 / 2 + 40, kWidestBox));
}

RegistryPlace SettingPlace(std::string_view key) {
  const std::u16string text = ControlText(key);
  std::vector<std::u16string> parts;
  size_t start = 0;
  for (;;) {
    const size_t slash = text.find(u'/', start);
    std::u16string part = text.substr(start, slash == std::u16string::npos ? slash : slash - start);
    if (!part.empty()) parts.push_back(std::move(part));
    if (slash == std::u16string::npos) break;
    start = slash + 1;
  }
  RegistryPlace place;
  if (parts.empty()) return place;
  place.value = parts.back();
  parts.pop_back();
  for (const std::u16string& part : parts) {
    if (!place.subkey.empty()) place.subkey += u'\\';
    place.subkey += part;
  }
  return place;
}

CopyChoice CopyMenuChoice(const std::u16string& all, size_t start, size_t end) {
  if (start > end) std::swap(start, end);
  start = std::min(start, all.size());
  end = std::min(end, all.size());
  CopyChoice choice;
  if (start == end) {
    choice.label = u"Copiar tudo";
    choice.text = all;
  } else {
    choice.label = u"Copiar";
    choice.text = all.substr(start, end - start);
  }
  choice.enabled = !choice.text.empty();
  return choice;
}

ResultHeights SplitResultRoom(int room, int gap, int textWanted, int textMin, int table, int buttons, bool log,
                              int logMin) {
  room = std::max(0, room);
  ResultHeights h;
  h.table = std::max(0, table);
  h.buttons = std::max(0, buttons);
  const int gaps = gap * ((h.table > 0) + (h.buttons > 0) + (log ? 1 : 0));
  const int logWanted = log ? std::max(logMin, room / 4) : 0;
  int rest = room - gaps - h.table - h.buttons;  // for the text and the log
  if (!log && h.table == 0) {
    h.result = std::max(0, rest);
    return h;
  }
  h.result = std::clamp(textWanted, std::min(textMin, std::max(0, rest - logWanted)), std::max(textMin, rest - logWanted));
  if (h.result > rest) h.result = std::max(0, rest);  // the log gives way first
  if (rest < 0) {
    // Not even the table fits: it shrinks, the text keeps what it can.
    h.result = 0;
    h.table = std::max(0, h.table + rest);
  }
  h.log = log ? std::max(0, rest - h.result) : 0;
  return h;
}

}  // namespace winui
