// Texts of the Windows wizard on their way to the Win32 controls, as pure
// functions (no Win32 here, so that they are tested on every system).
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace winui {

// A text of the engine as UTF-16 for a Win32 control: texts of the program
// are UTF-8, values taken from the input files are Latin-1, so a text that is
// not valid UTF-8 is read as Latin-1 (as the Qt window does). Every line
// break (CR LF, LF or a lone CR) becomes CR LF, what edit and static controls
// draw as a new line. Never fails.
std::u16string ControlText(std::string_view text);

// One entry of an open/save dialog's filter: what the user reads and the
// patterns ("*.txt;*.csv").
struct FilterEntry {
  std::u16string name;
  std::u16string patterns;
};

// The form's filter "description|pattern|description|pattern" as the entries
// of a Win32 file dialog (COMDLG_FILTERSPEC). Blanks around each part are
// dropped; a description without the patterns in parentheses gets them
// appended ("Texto (*.txt)"); an odd last part (a description without
// patterns) is left out. A text without any '|' is one pattern named by
// itself. An empty filter gives no entry (every file is shown).
std::vector<FilterEntry> DialogFilter(std::string_view filter);

// The extension of the first pattern of `entries` without the dot ("csv" of
// "*.csv;*.txt"), what a save dialog appends to a name typed without one;
// "" when the first pattern has no plain extension ("*.*", "*").
std::u16string DefaultExtension(const std::vector<FilterEntry>& entries);

// The width, in dialog units, a message box needs so that the longest run of
// `text` without a blank (a path, most often) fits on one line, about four
// units a character beside the box's icon; 0 (the box's own width) when
// every run is short (kWideRun characters or fewer), at most kWidestBox.
int BoxWidth(std::string_view text);
inline constexpr int kWideRun = 32;
inline constexpr int kWidestBox = 600;

// Where a setting of the form ("pastas/ultimaEntrada") is kept under the
// program's registry key: the subkey (the parts before the last '/', joined
// by '\\'; "" for none) and the value's name (the last part). Empty parts
// ("a//b", a leading '/') are skipped; a key of no part gives an empty value
// name, which the registry takes as the key's default value.
struct RegistryPlace {
  std::u16string subkey;
  std::u16string value;
};
RegistryPlace SettingPlace(std::string_view key);

// What the copy menu of a text offers for `all` with the selection
// [start, end) (in UTF-16 units, as an edit control reports it; either order,
// clamped to the text): "Copiar" and the selected text, or "Copiar tudo" and
// the whole text when nothing is selected; disabled when there is nothing to
// copy.
struct CopyChoice {
  std::u16string label;
  std::u16string text;
  bool enabled = false;
};
CopyChoice CopyMenuChoice(const std::u16string& all, size_t start, size_t end);

// The heights of the result page's parts, top to bottom (0: not shown): the
// result text, the summary table, the row of "Abrir pasta"/"Abrir arquivo"
// and the log.
struct ResultHeights {
  int result = 0, table = 0, buttons = 0, log = 0;
};
// Splits `room` pixels of the result page, `gap` between shown parts. The
// table (`table`, 0 none) and the buttons (`buttons`, 0 none) get their
// height; the log (when `log`) a quarter of the room, at least `logMin`; the
// result text as much as its text wants (`textWanted`), at least `textMin`,
// and without a table or log the whole rest. The log takes what the text
// leaves. When the room is too small, the log, then the text, then the table
// shrink: no part is ever negative and the parts never need more than `room`
// (a room of less than the buttons aside).
ResultHeights SplitResultRoom(int room, int gap, int textWanted, int textMin, int table, int buttons, bool log,
                              int logMin);

}  // namespace winui
