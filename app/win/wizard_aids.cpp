// What the wizard window offers beside its pages: files dropped onto the
// list, Ctrl+O, "Sobre" (F1), the summary before the run, the result page's
// "Abrir pasta", "Abrir arquivo", summary per establishment and log with
// "Salvar registro...", menus to copy the result and the log, the step in the
// title. The rules live in the form (frmAssistente); this file only draws
// them and hands the user's actions to it, as app/gui/window_aids.cpp does.
#include "app/win/wizard_window.h"

#include <windowsx.h>

#include <algorithm>

#include "app/version.h"
#include "app/win/win_text.h"
#include "wizard/run_summary.h"

namespace winui {

namespace {

std::wstring EditText(HWND control) {
  std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(control)) + 1, L'\0');
  text.resize(static_cast<size_t>(::GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
  return text;
}

std::wstring FromU16(const std::u16string& s) { return std::wstring(s.begin(), s.end()); }

}  // namespace

void WizardWindow::CreateAids() {
  FormControls& c = form_->controls;
  const DWORD button = WS_TABSTOP | BS_PUSHBUTTON;
  auto bind = [&](HWND control, const Control& state) {
    items_.back().control = &state;
    return control;
  };
  // Page 3: what the run will do, selectable.
  lblResumo_ = bind(Add(kIdLblResumo, WC_EDITW, L"", ES_MULTILINE | ES_READONLY, 3, WS_EX_CLIENTEDGE), c.lblResumo);
  // Page 4: open the results, the summary per establishment, the log.
  cmdAbrirPasta_ = bind(Add(kIdCmdAbrirPasta, WC_BUTTONW, L"Abrir &pasta", button, 4), c.cmdAbrirPasta);
  cmdAbrirArquivo_ = bind(Add(kIdCmdAbrirArquivo, WC_BUTTONW, L"Abrir &arquivo", button, 4), c.cmdAbrirArquivo);
  grdResumo_ = Add(kIdGrdResumo, WC_LISTVIEWW, L"",
                   WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER, 4,
                   WS_EX_CLIENTEDGE);
  ListView_SetExtendedListViewStyle(grdResumo_, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES | LVS_EX_DOUBLEBUFFER);
  const std::vector<std::string>& columns = SummaryColumns();
  for (size_t k = 0; k < columns.size(); ++k) {
    std::wstring header = Wide(columns[k]);
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_FMT | LVCF_WIDTH;
    column.fmt = static_cast<int>(k) >= kFirstNumberColumn ? LVCFMT_RIGHT : LVCFMT_LEFT;
    column.cx = S(80);
    column.pszText = header.data();
    ListView_InsertColumn(grdResumo_, static_cast<int>(k), &column);
  }
  // The log: on the page that shows the run's result (the last page, or the
  // folder page after a failed run), as the form says (no page of its own).
  txtRegistro_ = bind(Add(kIdTxtRegistro, WC_EDITW, L"",
                          WS_TABSTOP | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | ES_AUTOHSCROLL | WS_VSCROLL |
                              WS_HSCROLL,
                          -1, WS_EX_CLIENTEDGE),
                      c.txtRegistro);
  // The button bar: "Sobre" at the left, "Salvar registro..." after "Salvar conciliação...".
  cmdSobre_ = Add(kIdCmdSobre, WC_BUTTONW, L"Sobre", button, -1);
  cmdSalvarRegistro_ =
      bind(Add(kIdCmdSalvarRegistro, WC_BUTTONW, L"Salvar &registro…", button, -1), c.cmdSalvarRegistro);
  // The texts copied through their own menu.
  for (HWND edit : {lblResultadoFinal_, txtRegistro_, lblResumo_})
    ::SetWindowSubclass(edit, &WizardWindow::TextProc, 2, reinterpret_cast<DWORD_PTR>(this));
  ::DragAcceptFiles(listSelecionados_, TRUE);
  ACCEL keys[] = {{FCONTROL | FVIRTKEY, 'O', static_cast<WORD>(kIdAbrir)},
                  {FVIRTKEY, VK_F1, static_cast<WORD>(kIdSobreKey)}};
  keys_ = ::CreateAcceleratorTableW(keys, 2);
}

LRESULT CALLBACK WizardWindow::TextProc(HWND edit, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
  auto* self = reinterpret_cast<WizardWindow*>(data);
  if (msg == WM_CONTEXTMENU) {
    self->OnCopyMenu(edit, GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
    return 0;
  }
  if (msg == WM_NCDESTROY) ::RemoveWindowSubclass(edit, &WizardWindow::TextProc, 2);
  return ::DefSubclassProc(edit, msg, wp, lp);
}

void WizardWindow::OnCopyMenu(HWND edit, int x, int y) {
  POINT at{x, y};
  if (x == -1 && y == -1) {  // the menu key: at the control's top left
    at = {S(8), S(8)};
    ::ClientToScreen(edit, &at);
  }
  const std::wstring all = EditText(edit);
  DWORD start = 0, end = 0;
  ::SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  const CopyChoice choice = CopyMenuChoice(std::u16string(all.begin(), all.end()), start, end);
  enum : UINT { kCopy = 1, kSelectAll = 2 };
  HMENU menu = ::CreatePopupMenu();
  ::AppendMenuW(menu, MF_STRING | (choice.enabled ? 0 : MF_GRAYED), kCopy, FromU16(choice.label).c_str());
  ::AppendMenuW(menu, MF_STRING | (all.empty() ? MF_GRAYED : 0), kSelectAll, L"Selecionar tudo");
  const UINT chosen =
      static_cast<UINT>(::TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0, hwnd_, nullptr));
  ::DestroyMenu(menu);
  if (chosen == kCopy) {
    CopyToClipboard(hwnd_, FromU16(choice.text));
  } else if (chosen == kSelectAll) {
    ::SetFocus(edit);
    ::SendMessageW(edit, EM_SETSEL, 0, -1);
  }
}

void WizardWindow::OnDropFiles(HDROP drop) {
  std::vector<std::string> paths;
  const UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    const UINT length = ::DragQueryFileW(drop, i, nullptr, 0);
    std::wstring name(static_cast<size_t>(length) + 1, L'\0');
    name.resize(::DragQueryFileW(drop, i, name.data(), length + 1));
    if (!name.empty()) paths.push_back(Utf8Path(name.c_str()));
  }
  ::DragFinish(drop);
  // The source of the drag (Explorer) waits until the drop is handled: the
  // import runs after it, from the window's messages.
  if (paths.empty() || !form_->AcceptsFiles() || !dropped_.empty()) return;
  dropped_ = std::move(paths);
  ::PostMessageW(hwnd_, kMsgDropped, 0, 0);
}

void WizardWindow::TakeDroppedFiles() {
  std::vector<std::string> paths;
  paths.swap(dropped_);
  if (paths.empty()) return;
  ::SetForegroundWindow(hwnd_);
  form_->AddFiles(paths);
  ControlsChanged();
  CloseIfDone();
}

bool WizardWindow::OnAidCommand(int id, int) {
  switch (id) {
    case kIdAbrir:
      if (form_->AcceptsFiles()) OnChooseFile();
      return true;
    case kIdCmdSobre:
    case kIdSobreKey: ShowAbout(); return true;
    case kIdCmdSalvarRegistro: form_->cmdSalvarRegistro_Click(); break;
    case kIdCmdAbrirPasta: form_->cmdAbrirPasta_Click(); break;
    case kIdCmdAbrirArquivo: form_->cmdAbrirArquivo_Click(); break;
    default: return false;
  }
  ControlsChanged();
  return true;
}

void WizardWindow::ShowAbout() {
  Box(hwnd_, frmAssistente::AboutText(kQuelvarVersionText), MsgIcon::Information, {L"OK"}, 0, false,
      L"Sobre o Quelvar");
}

void WizardWindow::ShowAids() {
  const FormControls& c = form_->controls;
  const std::wstring title = c.Titulo.Caption.empty() ? L"Quelvar" : Wide(c.Titulo.Caption);
  SetText(hwnd_, title);
  SetText(lblResumo_, Wide(c.lblResumo.Caption));
  // Set only when the log changed: a selection made for copying stays.
  if (c.txtRegistro.Text != shownLog_) {
    shownLog_ = c.txtRegistro.Text;
    ::SetWindowTextW(txtRegistro_, Wide(shownLog_).c_str());
    const int end = ::GetWindowTextLengthW(txtRegistro_);
    ::SendMessageW(txtRegistro_, EM_SETSEL, end, end);  // the newest lines in view
    ::SendMessageW(txtRegistro_, EM_SCROLLCARET, 0, 0);
  }
  ShowSummaryTable();
  // Drops are taken while the form takes files (the cursor says no otherwise).
  ::DragAcceptFiles(listSelecionados_, form_->AcceptsFiles() ? TRUE : FALSE);
}

void WizardWindow::ShowSummaryTable() {
  std::vector<std::vector<std::string>> cells;
  for (const SummaryRow& row : form_->m_Resultado.summary) cells.push_back(SummaryCells(row));
  if (cells == shownSummary_) return;
  shownSummary_ = cells;
  ::SendMessageW(grdResumo_, WM_SETREDRAW, FALSE, 0);
  ListView_DeleteAllItems(grdResumo_);
  for (size_t r = 0; r < cells.size(); ++r) {
    for (size_t k = 0; k < cells[r].size(); ++k) {
      std::wstring text = Wide(cells[r][k]);
      if (k == 0) {
        LVITEMW item{};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = static_cast<int>(r);
        item.pszText = text.data();
        item.lParam = form_->m_Resultado.summary[r].total ? 1 : 0;
        ListView_InsertItem(grdResumo_, &item);
      } else {
        ListView_SetItemText(grdResumo_, static_cast<int>(r), static_cast<int>(k), text.data());
      }
    }
  }
  // Each column as wide as its header or its widest cell (the total row's
  // bold text and the cell's margins included).
  const std::vector<std::string>& columns = SummaryColumns();
  for (size_t k = 0; k < columns.size(); ++k) {
    int width = ListView_GetStringWidth(grdResumo_, Wide(columns[k]).c_str());
    for (const std::vector<std::string>& row : cells)
      if (k < row.size()) width = std::max(width, ListView_GetStringWidth(grdResumo_, Wide(row[k]).c_str()) * 11 / 10);
    ListView_SetColumnWidth(grdResumo_, static_cast<int>(k), width + S(18));
  }
  ::SendMessageW(grdResumo_, WM_SETREDRAW, TRUE, 0);
  ::InvalidateRect(grdResumo_, nullptr, TRUE);
}

LRESULT WizardWindow::SummaryCustomDraw(NMLVCUSTOMDRAW& draw) {
  switch (draw.nmcd.dwDrawStage) {
    case CDDS_PREPAINT: return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT:
      if (draw.nmcd.lItemlParam == 1) {  // the total row
        ::SelectObject(draw.nmcd.hdc, bold_);
        return CDRF_NEWFONT;
      }
      return CDRF_DODEFAULT;
    default: return CDRF_DODEFAULT;
  }
}

void WizardWindow::LayoutResult(int x, int y, int w, int bottom) {
  const FormControls& c = form_->controls;
  const bool table = c.lblResultadoFinal.Visible && !shownSummary_.empty();
  const bool log = c.txtRegistro.Visible && c.fraAssistente[4].Visible;
  const bool open = c.cmdAbrirPasta.Visible || c.cmdAbrirArquivo.Visible;
  const int buttonH = S(26);
  // The table's rows as the list view draws them (up to six; more scroll),
  // under its header, over a horizontal scroll bar.
  int rowH = lineHeight_ + S(4), headerH = lineHeight_ + S(8);
  RECT r{};
  if (table && ListView_GetItemRect(grdResumo_, 0, &r, LVIR_BOUNDS) && r.bottom > r.top) rowH = r.bottom - r.top;
  if (HWND header = ListView_GetHeader(grdResumo_); header && Header_GetItemRect(header, 0, &r) && r.bottom > r.top)
    headerH = r.bottom - r.top;
  const int tableH = table ? headerH + rowH * static_cast<int>(std::min<size_t>(shownSummary_.size(), 6)) +
                                 ::GetSystemMetrics(SM_CYHSCROLL) + S(8)
                           : 0;
  const int gap = S(6);
  const ResultHeights h = SplitResultRoom(bottom - y, gap, TextHeight(lblResultadoFinal_, w - S(30)) + S(10), S(48),
                                          tableH, open ? buttonH : 0, log, S(60));
  ::MoveWindow(lblResultadoFinal_, x, y, w, h.result, FALSE);
  y += h.result + gap;
  if (h.table) {
    ::MoveWindow(grdResumo_, x, y, w, h.table, FALSE);
    y += h.table + gap;
  }
  if (h.buttons) {
    const int bw = S(110);
    ::MoveWindow(cmdAbrirPasta_, x, y, bw, h.buttons, FALSE);
    ::MoveWindow(cmdAbrirArquivo_, x + bw + gap, y, bw, h.buttons, FALSE);
    y += h.buttons + gap;
  }
  if (log) ::MoveWindow(txtRegistro_, x, y, w, h.log, FALSE);
}

}  // namespace winui
