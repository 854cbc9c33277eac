// The Windows wizard's text conversions (app/win/win_text.h): engine texts to
// the UTF-16 of Win32 controls, the form's file filters to the entries of the
// file dialogs, and the width of a message box holding a long path.
#include <gtest/gtest.h>

#include <string>

#include "app/win/win_text.h"

namespace {

// Readable expectations: UTF-16 from a UTF-8 literal of plain characters.
std::u16string U(const char16_t* s) { return std::u16string(s); }

}  // namespace

TEST(WinControlText, Utf8Latin1AndLineBreaks) {
  struct Case {
    const char* name;
    std::string in;
    std::u16string out;
  };
  const Case cases[] = {
      {"plain", "Avançar >", U(u"Avançar >")},
      {"accents of the program", "Conciliação: 3 linhas", U(u"Conciliação: 3 linhas")},
      // A value read from an input file: Latin-1 bytes, not UTF-8.
      {"latin-1 value", "S\xC3O JO\xC3O", U(u"SÃO JOÃO")},
      {"latin-1 lone byte", "a\xE7\xE3o", U(u"ação")},
      // An overlong form of '/' and a surrogate in UTF-8 are no UTF-8.
      {"overlong", "a\xC0\xAF", U(u"a\u00C0\u00AF")},
      {"surrogate", "\xED\xA0\x80", U(u"\u00ED\u00A0\u0080")},
      {"truncated sequence", "fim\xC3", U(u"fim\u00C3")},
      {"outside Unicode", "\xF4\x90\x80\x80", U(u"\u00F4\u0090\u0080\u0080")},
      {"four bytes", "\xF0\x9F\x93\x84", U(u"\U0001F4C4")},
      // Every kind of line break becomes CR LF (edit controls draw no lone LF).
      {"lf", "a\nb", U(u"a\r\nb")},
      {"crlf kept", "a\r\nb", U(u"a\r\nb")},
      {"lone cr", "a\rb", U(u"a\r\nb")},
      {"cr cr lf", "a\r\r\nb", U(u"a\r\n\r\nb")},
      {"ends with lf", "a\n", U(u"a\r\n")},
      {"empty", "", U(u"")},
  };
  for (const Case& c : cases) EXPECT_EQ(winui::ControlText(c.in), c.out) << c.name;
}

TEST(WinDialogFilter, FormFiltersBecomeDialogEntries) {
  struct Case {
    const char* name;
    const char* filter;
    std::vector<winui::FilterEntry> entries;
    std::u16string extension;
  };
  const Case cases[] = {
      // The form's own filters.
      {"import", "Texto. TXT(*.txt)|*.txt", {{U(u"Texto. TXT(*.txt)"), U(u"*.txt")}}, U(u"txt")},
      {"ledger", "Planilha CSV (*.csv)|*.csv", {{U(u"Planilha CSV (*.csv)"), U(u"*.csv")}}, U(u"csv")},
      {"two entries, blanks trimmed, patterns appended",
       " Texto | *.txt;*.TXT |Todos os arquivos|*.*",
       {{U(u"Texto (*.txt;*.TXT)"), U(u"*.txt;*.TXT")}, {U(u"Todos os arquivos (*.*)"), U(u"*.*")}},
       U(u"txt")},
      {"odd last part dropped", "Texto|*.txt|Sobra", {{U(u"Texto (*.txt)"), U(u"*.txt")}}, U(u"txt")},
      {"entry without patterns dropped", "Nada||CSV|*.csv", {{U(u"CSV (*.csv)"), U(u"*.csv")}}, U(u"csv")},
      {"no description", "|*.txt", {{U(u"*.txt (*.txt)"), U(u"*.txt")}}, U(u"txt")},
      {"a bare pattern", "*.txt", {{U(u"*.txt"), U(u"*.txt")}}, U(u"txt")},
      {"every file: no extension", "Todos|*.*", {{U(u"Todos (*.*)"), U(u"*.*")}}, U(u"")},
      {"empty", "", {}, U(u"")},
  };
  for (const Case& c : cases) {
    const std::vector<winui::FilterEntry> got = winui::DialogFilter(c.filter);
    ASSERT_EQ(got.size(), c.entries.size()) << c.name;
    for (size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(got[i].name, c.entries[i].name) << c.name << " #" << i;
      EXPECT_EQ(got[i].patterns, c.entries[i].patterns) << c.name << " #" << i;
    }
    EXPECT_EQ(winui::DefaultExtension(got), c.extension) << c.name;
  }
}

TEST(WinBoxWidth, WideOnlyForLongUnbrokenRuns) {
  EXPECT_EQ(winui::BoxWidth("Arquivo Magnético NÃO foi gerado. Motivo: a pasta não existe."), 0);
  // A file name of the batch report ("Z:\\dados\\01-matriz-...txt") widens the box.
  EXPECT_GT(winui::BoxWidth("Importação do arquivo Z:\\tmp\\big\\01-matriz-98486082000120.txt cancelada."), 0);
  const std::string path =
      "Z:\\Declarações\\São Paulo\\Saída\\EFDPISCOFINS_42765521000180_01082023_31082023_Conciliacao.csv";
  const int width = winui::BoxWidth("Conciliação salva em " + path);
  // The longest run ("Paulo\\Saída\\EFD...csv") decides, not the whole text.
  EXPECT_GT(width, 0);
  EXPECT_LT(width, winui::BoxWidth("x" + std::string(120, 'a')));
  // Accented letters count once each (UTF-16 units, not bytes).
  EXPECT_EQ(winui::BoxWidth(std::string(winui::kWideRun, 'a')), 0);
  std::string accented;
  for (int i = 0; i < winui::kWideRun; ++i) accented += "ç";  // two bytes each
  EXPECT_EQ(winui::BoxWidth(accented), 0);
  EXPECT_GT(winui::BoxWidth(accented + "a"), 0);
  EXPECT_EQ(winui::BoxWidth(std::string(5000, 'a')), winui::kWidestBox);
  // A line break ends a run.
  EXPECT_EQ(winui::BoxWidth(std::string(30, 'a') + "\n" + std::string(30, 'b')), 0);
}

TEST(WinSettingPlace, KeysOfTheFormUnderTheProgramsRegistryKey) {
  struct Case {
    const char* key;
    std::u16string subkey, value;
  };
  const Case cases[] = {
      {"pastas/ultimaEntrada", U(u"pastas"), U(u"ultimaEntrada")},
      {"pastas/ultimaSaida", U(u"pastas"), U(u"ultimaSaida")},
      {"solto", U(u""), U(u"solto")},
      {"a/b/c", U(u"a\\b"), U(u"c")},
      // Empty parts are no subkeys of their own.
      {"/pastas//ultima/", U(u"pastas"), U(u"ultima")},
      {"", U(u""), U(u"")},
      {"///", U(u""), U(u"")},
      {"configuração/pasta", U(u"configuração"), U(u"pasta")},
  };
  for (const Case& c : cases) {
    const winui::RegistryPlace place = winui::SettingPlace(c.key);
    EXPECT_EQ(place.subkey, c.subkey) << c.key;
    EXPECT_EQ(place.value, c.value) << c.key;
  }
}

TEST(WinCopyMenu, SelectionOrWholeText) {
  const std::u16string all = U(u"Linha 1\r\nConcluído");
  struct Case {
    const char* name;
    std::u16string text;
    size_t start, end;
    std::u16string label, copied;
    bool enabled;
  };
  const Case cases[] = {
      {"nothing selected", all, 3, 3, U(u"Copiar tudo"), all, true},
      {"selection", all, 0, 7, U(u"Copiar"), U(u"Linha 1"), true},
      // An edit reports a selection made backwards with the anchor first.
      {"backwards", all, 7, 0, U(u"Copiar"), U(u"Linha 1"), true},
      {"past the end clamped", all, 9, 500, U(u"Copiar"), U(u"Concluído"), true},
      {"both past the end", all, 400, 500, U(u"Copiar tudo"), all, true},
      {"empty text", U(u""), 0, 0, U(u"Copiar tudo"), U(u""), false},
      {"whole text selected", all, 0, all.size(), U(u"Copiar"), all, true},
  };
  for (const Case& c : cases) {
    const winui::CopyChoice choice = winui::CopyMenuChoice(c.text, c.start, c.end);
    EXPECT_EQ(choice.label, c.label) << c.name;
    EXPECT_EQ(choice.text, c.copied) << c.name;
    EXPECT_EQ(choice.enabled, c.enabled) << c.name;
  }
}

TEST(WinResultRoom, PartsShareThePageAndNeverOverflow) {
  struct Case {
    const char* name;
    int room, textWanted, table, buttons;
    bool log;
    winui::ResultHeights expected;
  };
  // gap 6, the text at least 48, the log at least 60.
  const Case cases[] = {
      // A short result: the text as tall as it wants, the log the rest.
      {"short text", 400, 100, 80, 26, true, {100, 80, 26, 400 - 18 - 80 - 26 - 100}},
      // A long result: the log keeps a quarter of the page, the text scrolls.
      {"long text", 400, 900, 80, 26, true, {400 - 18 - 80 - 26 - 100, 80, 26, 100}},
      // A tiny text still gets its least height.
      {"tiny text", 400, 10, 80, 26, true, {48, 80, 26, 400 - 18 - 80 - 26 - 48}},
      // A failed run: no table, no buttons, no log: the text takes the page.
      {"text alone", 300, 40, 0, 0, false, {300, 0, 0, 0}},
      {"text and buttons", 300, 40, 0, 26, false, {300 - 6 - 26, 0, 26, 0}},
      // A table without log: the text keeps what it wants, at most the rest.
      {"table without log", 300, 500, 80, 0, false, {300 - 6 - 80, 80, 0, 0}},
      // A small page: the log gives way first, then the text.
      {"log squeezed", 220, 300, 80, 26, true, {48, 80, 26, 220 - 18 - 80 - 26 - 48}},
      {"little room for the log", 180, 300, 80, 26, true, {48, 80, 26, 180 - 18 - 80 - 26 - 48}},
      {"no room for the text", 120, 300, 80, 26, true, {0, 120 - 18 - 26, 26, 0}},
      {"no room at all", 0, 300, 80, 26, true, {0, 0, 26, 0}},
  };
  for (const Case& c : cases) {
    const winui::ResultHeights h = winui::SplitResultRoom(c.room, 6, c.textWanted, 48, c.table, c.buttons, c.log, 60);
    EXPECT_EQ(h.result, c.expected.result) << c.name;
    EXPECT_EQ(h.table, c.expected.table) << c.name;
    EXPECT_EQ(h.buttons, c.expected.buttons) << c.name;
    EXPECT_EQ(h.log, c.expected.log) << c.name;
    for (int part : {h.result, h.table, h.buttons, h.log}) EXPECT_GE(part, 0) << c.name;
    const int gaps = 6 * ((h.table > 0 || c.table > 0) + (c.buttons > 0) + (c.log ? 1 : 0));
    if (c.room >= gaps + c.buttons) EXPECT_LE(h.result + h.table + h.buttons + h.log + gaps, c.room) << c.name;
  }
}
