// Connection strings as ODBC reads them: attributes "key=value" separated by
// ";", a value in braces running to the matching "}" ("}}" stands for "}").
#include <cctype>
#include <string>
#include <string_view>
#include <vector>

#include "staging/odbc/odbc_backend.h"
#include "staging/text.h"

namespace {

struct Attribute {
  size_t valueBegin = 0;  // offsets into the connection string
  size_t valueEnd = 0;
  std::string_view key;   // trimmed
  bool braced = false;
};

// `s` without leading and trailing white space.
std::string_view TrimSpaces(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

// ASCII comparison without regard to case (ODBC keys are ASCII).
bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

// True for the keys whose value is a password.
bool IsPasswordKey(std::string_view key) {
  return EqualsNoCase(key, "PWD") || EqualsNoCase(key, "Password");
}

// Splits `cs` into its attributes. A braced value without its closing brace
// runs to the end of the text.
std::vector<Attribute> ParseAttributes(std::string_view cs) {
  std::vector<Attribute> out;
  size_t i = 0;
  while (i < cs.size()) {
    size_t eq = cs.find_first_of("=;", i);
    if (eq == std::string_view::npos) break;
    if (cs[eq] == ';') { i = eq + 1; continue; }  // a piece without "=": skipped
    Attribute a;
    a.key = TrimSpaces(cs.substr(i, eq - i));
    size_t v = eq + 1;
    while (v < cs.size() && cs[v] == ' ') ++v;
    if (v < cs.size() && cs[v] == '{') {
      a.braced = true;
      size_t j = v + 1;
      while (j < cs.size()) {
        if (cs[j] == '}') {
          if (j + 1 < cs.size() && cs[j + 1] == '}') { j += 2; continue; }
          ++j;
          break;
        }
        ++j;
      }
      a.valueBegin = v;
      a.valueEnd = j;
      size_t semi = cs.find(';', j);
      i = semi == std::string_view::npos ? cs.size() : semi + 1;
    } else {
      size_t semi = cs.find(';', eq + 1);
      a.valueBegin = eq + 1;
      a.valueEnd = semi == std::string_view::npos ? cs.size() : semi;
      i = semi == std::string_view::npos ? cs.size() : semi + 1;
    }
    out.push_back(a);
  }
  return out;
}

}  // namespace

std::string HideOdbcPasswords(std::string_view cs) {
  std::string out;
  size_t copied = 0;
  for (const Attribute& a : ParseAttributes(cs)) {
    if (!IsPasswordKey(a.key)) continue;
    out.append(cs.substr(copied, a.valueBegin - copied));
    out += "***";
    copied = a.valueEnd;
  }
  out.append(cs.substr(copied));
  return out;
}

std::vector<std::string> OdbcPasswords(std::string_view cs) {
  std::vector<std::string> out;
  for (const Attribute& a : ParseAttributes(cs)) {
    if (!IsPasswordKey(a.key)) continue;
    std::string_view raw = cs.substr(a.valueBegin, a.valueEnd - a.valueBegin);
    out.emplace_back(TrimSpaces(raw));
    if (a.braced && raw.size() >= 2) {
      std::string_view inner = raw.substr(1, raw.back() == '}' ? raw.size() - 2 : raw.size() - 1);
      std::string unescaped;
      for (size_t k = 0; k < inner.size(); ++k) {
        unescaped += inner[k];
        if (inner[k] == '}' && k + 1 < inner.size() && inner[k + 1] == '}') ++k;
      }
      out.push_back(std::move(unescaped));
    }
  }
  return out;
}

std::string ScrubSecrets(std::string text, const std::vector<std::string>& secrets) {
  for (const std::string& s : secrets) {
    if (s.size() < 3) continue;
    for (size_t at = text.find(s); at != std::string::npos; at = text.find(s, at + 3))
      text.replace(at, s.size(), "***");
  }
  return text;
}

std::string OdbcIdentityQuery(std::string_view dbmsName, std::string_view table) {
  if (EqualsNoCase(dbmsName, "SQLite")) return "SELECT last_insert_rowid()";
  // Temporary tables ("#" and "##" names) live in tempdb, and SQL Server's
  // metadata functions find them by name only from tempdb itself or with the
  // database named, whatever database the connection is in.
  std::string name = !table.empty() && table.front() == '#' ? "tempdb.." + std::string(table) : std::string(table);
  return "SELECT IDENT_CURRENT('" + PrepareSqlText(name) + "')";
}
