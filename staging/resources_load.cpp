// Record loading: binding an input line to its layout and storing it as one row
// of the record's staging table.
#include <array>
#include <exception>
#include <string>
#include <vector>

#include "staging/code_references.h"
#include "staging/resources.h"
#include "staging/run_state.h"
#include "staging/text.h"

namespace {

// Appends `v` to `out` trimmed of blanks and upper-cased (unless `keepCase`):
// the value stored for a line field, in its own column or in a whole line
// (LayoutSpec::wholeLine), which holds what the field's column would.
void AppendLineValue(std::string& out, std::string_view v, bool keepCase) {
  static const auto kUpper = [] {
    std::array<char, 256> t{};
    for (int c = 0; c < 256; ++c) t[c] = UpperLatin1(static_cast<char>(c));
    return t;
  }();
  v = TrimBlanks(v);
  const size_t at = out.size();
  out.append(v.data(), v.size());
  if (!keepCase)
    for (size_t i = at; i < out.size(); ++i) out[i] = kUpper[static_cast<unsigned char>(out[i])];
}

// Sets `out` to the value stored for a line field (AppendLineValue).
void LineValue(std::string& out, std::string_view v, bool keepCase) {
  out.clear();
  AppendLineValue(out, v, keepCase);
}

// True for a column that holds a code of a table or a reference to one
// (COD_PART, UNID, COD_ITEM... as code_references.h lists them, spelled in
// any case): codes are case-sensitive, "f1" and "F1" two participants, so
// they are stored as the file writes them.
bool IsCodeColumn(std::string_view column) {
  if (column.size() < 4 || column.size() > 8) return false;  // UNID .. COD_PART
  if (column[0] != 'C' && column[0] != 'c' && column[0] != 'U' && column[0] != 'u') return false;  // COD_*, UNID*
  char upper[8];
  for (size_t i = 0; i < column.size(); ++i) upper[i] = UpperLatin1(column[i]);
  return CodeKindOfField(std::string_view(upper, column.size())) >= 0;
}

const std::string* LinkValue(const Campos_Collection& f, const Objeto_Collection& layout) {
  const std::string& n = f.Nome_Campo;
  if (n == "ID") return layout.IsPkIdentity() ? nullptr : &ProcessRun().currentParentID;
  if (n == "Id_CNPJ") return &ProcessRun().currentCNPJ;
  if (n == "Id_Arquivo") return &ProcessRun().currentFileId;
  if (n == "IDECF") return &ProcessRun().currentEcfID;
  if (n == "IDCaixa") return &ProcessRun().currentCaixaID;
  if (n == "CST") return &ProcessRun().currentCST;
  if (n == "ID_Pai") return &ProcessRun().currentIdPai;
  return nullptr;
}

bool HasRow(const std::string& sql) { return !ProcessRun().connection->Execute(sql)->Eof(); }

}  // namespace

// Line fields (Key > 0) take the line's element of that number, trimmed and
// (but for code fields, see IsCodeColumn) upper-cased; a line shorter than the layout gives its missing fields empty, and
// surplus fields are ignored. A whole-line layout stores those values as one
// text in the column Linha, "|" + each value + "|", the line the writer would
// compose from field columns. Link columns (Key -1) take the run state by name.
// The statement of one record code always has the same column list. A failure
// is reported through ReportError, kept in ProcessRun().lastError and counted in
// ProcessRun().storeFailures (the import fails the file by it); the row is then not
// stored and false is returned. The values are bound through the
// connection's reusable insert of ###reg, never written into a statement.
bool md_InsertTable(std::string_view line, std::string_view reg, Objeto_Collection& layout) {
  // Reused for every line: the texts keep their storage.
  static std::vector<std::string_view> elems;
  static std::vector<std::string> columns, texts;
  static std::vector<std::string_view> values;
  static std::string table;
  static const std::string kZero = "0";
  try {
    SplitBars(line, elems);
    if (elems.size() > 9 && elems[1] == "0000") ProcessRun().currentCNPJ = UpperLatin1(TrimBlanks(elems[9]));
    size_t n = 0;
    values.clear();
    // Sized before any value is taken: `values` points into these texts.
    if (texts.size() < static_cast<size_t>(layout.Count())) texts.resize(static_cast<size_t>(layout.Count()));
    const bool whole = layout.WholeLine();
    std::string* lineText = nullptr;  // the line column's text, filled field by field
    for (const Campos_Collection& f : layout) {
      if (f.Key > 0 && whole) {
        if (!lineText) {
          if (columns.size() <= n) columns.resize(n + 1);
          columns[n].assign(kWholeLineColumn);
          lineText = &texts[n];
          lineText->assign("|");
          values.emplace_back();  // set once the line is complete
          ++n;
        }
        std::string_view v = static_cast<size_t>(f.Key) < elems.size() ? elems[f.Key] : std::string_view();
        AppendLineValue(*lineText, v, IsCodeColumn(f.Nome_Campo));
        lineText->push_back('|');
        continue;
      }
      const std::string* link = f.Key > 0 ? nullptr : LinkValue(f, layout);
      if (f.Key <= 0 && !link) continue;  // the identity column, generated by the database
      if (columns.size() <= n) columns.resize(n + 1);
      columns[n].assign(f.Nome_Campo);
      if (f.Key > 0) {
        std::string_view v = static_cast<size_t>(f.Key) < elems.size() ? elems[f.Key] : std::string_view();
        LineValue(texts[n], v, IsCodeColumn(f.Nome_Campo));
        values.push_back(texts[n]);
      } else if (link->empty() && f.Tipo == "Integer") {
        values.push_back(kZero);  // a row stored before any parent links to nothing
      } else {
        values.push_back(*link);
      }
      ++n;
    }
    if (n == 0) return false;
    if (lineText)
      for (size_t i = 0; i < n; ++i)
        if (&texts[i] == lineText) values[i] = *lineText;
    columns.resize(n);
    table.assign("###").append(reg);
    ProcessRun().connection->Insert(table, columns).Add(values);
    return true;
  } catch (const std::exception& e) {
    ProcessRun().lastError = e.what();
    ++ProcessRun().storeFailures;
    ReportError("Quelvar", ".md_InsertTable()", ProcessRun().lastError, 1);
    return false;
  }
}

// True when ###reg holds a row. Throws DatabaseError.
bool md_TableHasRows(std::string_view reg) {
  return HasRow("SELECT * FROM ###" + std::string(reg));
}

// True when ###0190 holds unit `unid` of establishment `idCnpj` (the 0140 the
// unit sits under), whichever file brought it: the merged file lists a unit
// once under its establishment, so a later part of one CNPJ repeating a unit
// adds nothing. Throws DatabaseError.
bool md_FindUnit(std::string_view unid, std::string_view idCnpj) {
  return HasRow("SELECT * FROM ###0190 WHERE Unid = '" + PrepareSqlText(unid) + "' AND Id_CNPJ = '" +
                PrepareSqlText(idCnpj) + "'");
}

// True when ###0500 holds account `codCta` (of any company). Throws DatabaseError.
bool md_FindAccount(std::string_view codCta) {
  return HasRow("SELECT * FROM ###0500 WHERE Cod_Cta = '" + PrepareSqlText(codCta) + "'");
}
