#include "tests/support/sql_support.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <sstream>

#include "blocks/registry.h"
#include "staging/database.h"
#include "staging/resources.h"
#include "tests/support/test_run.h"

namespace {

std::string Show(const Value& v) {
  switch (v.kind()) {
    case Value::Kind::Null: return "NULL";
    case Value::Kind::Int: return std::to_string(v.AsInt());
    case Value::Kind::Float: {
      char buf[64];
      auto r = std::to_chars(buf, buf + sizeof buf, v.AsDouble());
      return std::string(buf, r.ptr);
    }
    default: return v.TextRef();
  }
}

char KindLetter(const Value& v) {
  switch (v.kind()) {
    case Value::Kind::Null: return 'N';
    case Value::Kind::Int: return 'I';
    case Value::Kind::Float: return 'R';
    default: return 'T';
  }
}

std::string Where(const std::string& path, int line) { return path + ":" + std::to_string(line) + ": "; }

}  // namespace

std::vector<std::string> RunSqlCorpus(DatabaseConnection& db, const std::string& path) {
  std::vector<std::string> failures;
  std::ifstream in(path, std::ios::binary);
  if (!in) return {"cannot read " + path};
  std::vector<std::string> lines;
  for (std::string l; std::getline(in, l);) {
    if (!l.empty() && l.back() == '\r') l.pop_back();
    lines.push_back(l);
  }
  size_t i = 0;
  while (i < lines.size()) {
    const std::string head = lines[i];
    int headLine = static_cast<int>(i) + 1;
    ++i;
    if (head.empty() || head[0] == '#') continue;
    if (head == "layouts") {
      md_CreateControlTable(TestRun());
      for (const BlockEntry& m : BlockTable()) CreateTablesOf(TestRun(), m.layouts());
      continue;
    }
    // Statement text: lines up to a blank line or "----".
    std::string sql;
    while (i < lines.size() && !lines[i].empty() && lines[i] != "----") {
      if (!sql.empty()) sql += "\n";
      sql += lines[i++];
    }
    std::vector<std::string> expected;
    if (i < lines.size() && lines[i] == "----") {
      ++i;
      while (i < lines.size() && !lines[i].empty()) expected.push_back(lines[i++]);
    }
    std::string at = Where(path, headLine);
    if (head == "statement ok") {
      try {
        db.Execute(sql);
      } catch (const std::exception& e) {
        failures.push_back(at + "unexpected error: " + e.what());
      }
    } else if (head == "statement error") {
      try {
        db.Execute(sql);
        failures.push_back(at + "expected an error: " + sql);
      } catch (const DatabaseError& e) {
        std::string msg = e.what();
        for (const std::string& part : expected)
          if (msg.find(part) == std::string::npos) failures.push_back(at + "message lacks \"" + part + "\": " + msg);
        if (msg.find(sql) == std::string::npos) failures.push_back(at + "message does not quote the statement: " + msg);
      }
    } else if (head.rfind("query ", 0) == 0) {
      std::istringstream hs(head.substr(6));
      std::string kinds, option;
      hs >> kinds >> option;
      std::vector<std::string> got;
      try {
        auto rs = db.Execute(sql);
        if (rs->ColumnCount() != static_cast<int>(kinds.size()))
          failures.push_back(at + "expected " + std::to_string(kinds.size()) + " columns, got " +
                             std::to_string(rs->ColumnCount()));
        int64_t count = rs->RecordCount();
        for (; !rs->Eof(); rs->MoveNext()) {
          std::string row;
          for (int c = 0; c < rs->ColumnCount(); ++c) {
            const Value& v = rs->Column(c);
            if (c < static_cast<int>(kinds.size()) && v.kind() != Value::Kind::Null && KindLetter(v) != kinds[c])
              failures.push_back(at + "column " + std::to_string(c + 1) + " is of kind " + KindLetter(v));
            if (c) row += '\t';
            row += Show(v);
          }
          got.push_back(row);
        }
        if (count != static_cast<int64_t>(got.size()))
          failures.push_back(at + "RecordCount " + std::to_string(count) + " but " + std::to_string(got.size()) + " rows");
      } catch (const std::exception& e) {
        failures.push_back(at + "unexpected error: " + e.what());
        continue;
      }
      if (option == "rowsort") {
        std::sort(got.begin(), got.end());
        std::sort(expected.begin(), expected.end());
      }
      if (got != expected) {
        std::string msg = at + "rows differ\n  expected:";
        for (const auto& r : expected) msg += "\n    " + r;
        msg += "\n  got:";
        for (const auto& r : got) msg += "\n    " + r;
        failures.push_back(msg);
      }
    } else {
      failures.push_back(at + "unknown record: " + head);
    }
  }
  return failures;
}
