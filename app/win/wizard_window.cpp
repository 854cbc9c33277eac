#include "app/win/wizard_window.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <stdexcept>

#include "app/win/win_pictures.h"

namespace winui {

namespace {

// Control IDs, named after the form's controls. "Cancelar" is IDCANCEL, so
// that Esc presses it as in any dialog.
enum : int {
  kIdCmdCancelar = IDCANCEL,
  kIdCmdAvancar = 1001,
  kIdCmdVoltar,
  kIdCmdConciliacao,
  kIdLblRotulo,
  kIdOptionUnificaArquivo = 1010,
  kIdOptionUnificaMatrizFilial,
  kIdCheckValidarMatriz = 1020,
  kIdTxtLocalMagnetico,
  kIdCmdLocalArquivoMagnetico,
  kIdListBoxSelecionados,
  kIdCmdRemoverArquivo,
  kIdCmdSubirArquivo,
  kIdCmdDescerArquivo,
  kIdLblQuantidadeArquivos,
  kIdLabel15,
  kIdTxtCaminhoSalvo = 1030,
  kIdButtonLocalidadeSalvar,
  kIdLblResultadoFinal = 1040,
  kIdSspProgresso = 1050,     // + kind: sspProgressoPovoacaoTabela, ...BlocosGeral, ...
  kIdLblProgresso = 1060,     // + kind: lblProgressoPovoacaoTabela, ...
  kIdFixedText = 1100,        // the pages' fixed texts
};

constexpr wchar_t kClassName[] = L"QuelvarAssistente";

// The window's DPI (GetDpiForWindow from Windows 10 on, else the screen's).
int WindowDpi(HWND hwnd) {
  using Fn = UINT(WINAPI*)(HWND);
  static const Fn getDpi =
      reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  if (getDpi && hwnd) {
    if (UINT dpi = getDpi(hwnd)) return static_cast<int>(dpi);
  }
  HDC dc = ::GetDC(hwnd);
  const int dpi = ::GetDeviceCaps(dc, LOGPIXELSY);
  ::ReleaseDC(hwnd, dc);
  return dpi > 0 ? dpi : 96;
}

// The system's message font at `dpi`, its height times `scale`, bold or not.
HFONT MessageFont(int dpi, double scale, bool bold) {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  LOGFONTW font{};
  int systemDpi = 96;
  if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
    font = metrics.lfMessageFont;
    HDC dc = ::GetDC(nullptr);
    systemDpi = ::GetDeviceCaps(dc, LOGPIXELSY);
    ::ReleaseDC(nullptr, dc);
  } else {
    font.lfHeight = -12;
    font.lfCharSet = DEFAULT_CHARSET;
    wcscpy(font.lfFaceName, L"Segoe UI");
  }
  font.lfHeight = -std::max(1, static_cast<int>(MulDiv(std::abs(font.lfHeight), dpi, systemDpi) * scale + 0.5));
  font.lfWidth = 0;
  if (bold) font.lfWeight = FW_BOLD;
  font.lfQuality = CLEARTYPE_QUALITY;
  return ::CreateFontIndirectW(&font);
}

std::wstring WindowText(HWND control) {
  std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(control)) + 1, L'\0');
  text.resize(static_cast<size_t>(::GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
  return text;
}

// Moves `control` (a null one is skipped).
void Place(HWND control, int x, int y, int w, int h) {
  if (control) ::MoveWindow(control, x, y, std::max(0, w), std::max(0, h), FALSE);
}

}  // namespace

WizardWindow::WizardWindow(std::string databaseTarget) {
  HINSTANCE instance = ::GetModuleHandleW(nullptr);
  WNDCLASSEXW cls{};
  cls.cbSize = sizeof cls;
  if (!::GetClassInfoExW(instance, kClassName, &cls)) {
    cls.cbSize = sizeof cls;
    cls.style = CS_HREDRAW | CS_VREDRAW;
    cls.lpfnWndProc = &WizardWindow::Proc;
    cls.hInstance = instance;
    cls.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    cls.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    cls.lpszClassName = kClassName;
    cls.hIcon = static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON, ::GetSystemMetrics(SM_CXICON),
                                                ::GetSystemMetrics(SM_CYICON), LR_DEFAULTCOLOR));
    cls.hIconSm = static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON,
                                                  ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON),
                                                  LR_DEFAULTCOLOR));
    if (!::RegisterClassExW(&cls)) throw std::runtime_error("RegisterClassExW");
  }
  white_ = ::CreateSolidBrush(RGB(255, 255, 255));
  hwnd_ = ::CreateWindowExW(WS_EX_CONTROLPARENT, kClassName, L"Quelvar",
                            WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT, 720, 540, nullptr,
                            nullptr, instance, this);
  if (!hwnd_) throw std::runtime_error("CreateWindowExW");
  dpi_ = WindowDpi(hwnd_);
  messages_.SetOwner(hwnd_);
  fileChooser_.SetOwner(hwnd_);
  folderChooser_.SetOwner(hwnd_);
  opener_.SetOwner(hwnd_);
  progress_.SetPump([this] { Pump(); });
  // A bar shown or hidden by its events: the page is placed again.
  progress_.SetShownChanged([this] { ControlsChanged(); });

  frmAssistente::Ports ports;
  ports.files = &fileChooser_;
  ports.folders = &folderChooser_;
  ports.view = this;
  ports.questions = this;
  ports.settings = &settings_;
  ports.opener = &opener_;
  ports.ui.messages = &messages_;
  ports.ui.errors = &messages_;
  ports.ui.progress = &progress_;
  form_ = std::make_unique<frmAssistente>(ports, std::move(databaseTarget));

  MakeFonts();
  CreateControls();
  ApplyFonts();
  // 720 x 540 at 96 DPI, grown with the DPI, but never larger than the
  // screen's work area (a laptop at 200 %), and centred on it.
  RECT frame{0, 0, S(720), S(540)};
  ::AdjustWindowRectEx(&frame, WS_OVERLAPPEDWINDOW, FALSE, WS_EX_CONTROLPARENT);
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  int w = frame.right - frame.left, h = frame.bottom - frame.top, x = CW_USEDEFAULT, y = CW_USEDEFAULT;
  if (::GetMonitorInfoW(::MonitorFromWindow(hwnd_, MONITOR_DEFAULTTONEAREST), &monitor)) {
    const RECT& area = monitor.rcWork;
    w = std::min<int>(w, area.right - area.left);
    h = std::min<int>(h, area.bottom - area.top);
    x = area.left + (area.right - area.left - w) / 2;
    y = area.top + (area.bottom - area.top - h) / 2;
  }
  ::SetWindowPos(hwnd_, nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE | (x == CW_USEDEFAULT ? SWP_NOMOVE : 0));
  ControlsChanged();
}

WizardWindow::~WizardWindow() {
  // The form goes first: its unload closes the database while the ports live.
  form_.reset();
  if (hwnd_) {
    ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    ::DestroyWindow(hwnd_);
  }
  for (HGDIOBJ o : {static_cast<HGDIOBJ>(font_), static_cast<HGDIOBJ>(bold_), static_cast<HGDIOBJ>(title_),
                    static_cast<HGDIOBJ>(attention_), static_cast<HGDIOBJ>(small_), static_cast<HGDIOBJ>(header_),
                    static_cast<HGDIOBJ>(welcome_), static_cast<HGDIOBJ>(headerPicture_),
                    static_cast<HGDIOBJ>(white_)})
    if (o) ::DeleteObject(o);
  if (keys_) ::DestroyAcceleratorTable(keys_);
}

void WizardWindow::Load() {
  form_->Form_Load();
  ControlsChanged();
}

HWND WizardWindow::Add(int id, const wchar_t* cls, const wchar_t* text, DWORD style, int page, DWORD exStyle) {
  HWND control = ::CreateWindowExW(exStyle, cls, text, WS_CHILD | style, 0, 0, 10, 10, hwnd_,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ::GetModuleHandleW(nullptr),
                                   nullptr);
  items_.push_back({control, page, nullptr});
  return control;
}

void WizardWindow::CreateControls() {
  FormControls& c = form_->controls;
  int fixed = kIdFixedText;
  auto text = [&](const wchar_t* t, int page, DWORD extra = 0) {
    return Add(fixed++, WC_STATICW, t, SS_LEFT | SS_NOPREFIX | extra, page);
  };
  auto bind = [&](HWND control, const Control& state) { items_.back().control = &state; return control; };
  const DWORD button = WS_TABSTOP | BS_PUSHBUTTON;

  // Header band (pages 1 to 4): the page title, drawn by the window.
  lblRotulo_ = bind(Add(kIdLblRotulo, WC_STATICW, L"", SS_OWNERDRAW, -1), c.lblRotulo);

  // Page 0.
  p0Title_ = text(L"Bem-vindo ao 'Quelvar de Arquivos Pis/Cofins Lumora'", 0);
  p0Text1_ = text(L"Este assistente o ajudará no processo de unificar os arquivos Pis/Cofins, que se encontram como "
                  L"Matriz e Filiais. Serve para criar um arquivo único de apuração de Pis/Cofins da rede.", 0);
  p0Text2_ = text(L"O usuário deverá gerar os arquivos Pis/Cofins e validar no programa PVA (Programa da Receita "
                  L"Federal) para verificar possíveis erros e correção da mesma, e após utilizar o Quelvar de "
                  L"Arquivos.", 0);
  p0Kind_ = text(L"Selecione o tipo de Unificação.:", 0);
  optionArquivo_ = bind(Add(kIdOptionUnificaArquivo, WC_BUTTONW, L"", WS_TABSTOP | WS_GROUP | BS_RADIOBUTTON, 0),
                        c.OptionUnificaArquivo);
  optionMatrizFilial_ =
      bind(Add(kIdOptionUnificaMatrizFilial, WC_BUTTONW, L"", BS_RADIOBUTTON, 0), c.OptionUnificaMatrizFilial);
  p0Continue_ = text(L"Para continuar, clique em 'Avançar'.", 0);

  // Page 1.
  checkValidarMatriz_ = bind(Add(kIdCheckValidarMatriz, WC_BUTTONW, L"", WS_TABSTOP | WS_GROUP | BS_CHECKBOX, 1),
                             c.checkValidarMatriz);
  p1Local_ = text(L"Local dos Arquivos Magnéticos", 1);
  // Read-only: filled by the open-file dialog only.
  txtLocalMagnetico_ = bind(Add(kIdTxtLocalMagnetico, WC_EDITW, L"", ES_AUTOHSCROLL | ES_READONLY, 1,
                                WS_EX_CLIENTEDGE),
                            c.txtLocalMagnetico);
  cmdLocalArquivo_ = bind(Add(kIdCmdLocalArquivoMagnetico, WC_BUTTONW, L"", button, 1), c.cmdLocalArquivoMagnetico);
  p1List_ = text(L"Relação de arquivos povoados para unificação", 1);
  // Rows of two lines (name, then role, CNPJ, period and lines), drawn by the window.
  listSelecionados_ = Add(kIdListBoxSelecionados, WC_LISTBOXW, L"",
                          WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS |
                              LBS_NOINTEGRALHEIGHT,
                          1, WS_EX_CLIENTEDGE);
  cmdRemover_ = bind(Add(kIdCmdRemoverArquivo, WC_BUTTONW, L"", button, 1), c.cmdRemoverArquivo);
  cmdSubir_ = bind(Add(kIdCmdSubirArquivo, WC_BUTTONW, L"", button, 1), c.cmdSubirArquivo);
  cmdDescer_ = bind(Add(kIdCmdDescerArquivo, WC_BUTTONW, L"", button, 1), c.cmdDescerArquivo);
  lblQuantidade_ = bind(Add(kIdLblQuantidadeArquivos, WC_STATICW, L"", SS_LEFT | SS_NOPREFIX, 1),
                        c.lblQuantidadeArquivos);
  label15_ = bind(Add(kIdLabel15, WC_STATICW, L"", SS_LEFT | SS_NOPREFIX, 1), c.Label15);

  // Page 2.
  p2Local_ = text(L"Local do Arquivo Magnético", 2);
  // Read-only: the run writes into the chosen folder, so a typed one would
  // pass the page test without reaching the run.
  txtCaminhoSalvo_ =
      bind(Add(kIdTxtCaminhoSalvo, WC_EDITW, L"", ES_AUTOHSCROLL | ES_READONLY, 2, WS_EX_CLIENTEDGE),
           c.TxtCaminhoSalvo);
  buttonLocalidade_ = bind(Add(kIdButtonLocalidadeSalvar, WC_BUTTONW, L"", button, 2), c.ButtonLocalidadeSalvar);
  p2Note_ = text(L"Observação: Pra que o assistente possa continuar é necessário que destine um caminho pro arquivo, "
                 L"onde será salvo.", 2);

  // Page 3.
  p3Attention_ = text(L"Atenção", 3);
  p3Text_ = text(L"Ao concluir o assistente o processo de unificação será iniciado. Este processo poderá durar "
                 L"alguns minutos; ele pode ser cancelado com 'Cancelar' (ou Esc), e então o arquivo unificado não é "
                 L"gravado.", 3);
  p3Finish_ = text(L"Para finalizar, clique em 'Concluir'.", 3);

  // The progress bars: the import's on page 1, the run's four on page 4.
  const Control* bars[5] = {&c.sspProgressoPovoacaoTabela, &c.sspProgressoBlocosGeral, &c.sspProgressoEmpresa,
                            &c.sspProgressoBlocosParcial, &c.sspProgressoBlocosParcialInterno};
  const Control* labels[5] = {&c.lblProgressoPovoacaoTabela, &c.lblProgressoBlocosGeral, &c.lblProgressoEmpresa,
                              &c.lblProgressoBlocosParcial, &c.lblProgressoBlocosParcialInterno};
  for (int kind = 0; kind < 5; ++kind) {
    const int page = kind == 0 ? 1 : 4;
    barLabels_[kind] = bind(Add(kIdLblProgresso + kind, WC_STATICW, L"", SS_LEFT | SS_NOPREFIX | SS_ENDELLIPSIS, page),
                            *labels[kind]);
    bars_[kind] = bind(Add(kIdSspProgresso + kind, PROGRESS_CLASSW, L"", 0, page), *bars[kind]);
    ::SendMessageW(bars_[kind], PBM_SETRANGE32, 0, 100);
    progress_.Attach(kind, bars_[kind], barLabels_[kind]);
  }
  // The result: selectable text that scrolls when long.
  lblResultadoFinal_ =
      bind(Add(kIdLblResultadoFinal, WC_EDITW, L"", ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL, 4,
               WS_EX_CLIENTEDGE),
           c.lblResultadoFinal);

  // Button bar; the ledger's button at its left while the run's result is shown.
  cmdConciliacao_ = bind(Add(kIdCmdConciliacao, WC_BUTTONW, L"", button, -1), c.cmdConciliacao);
  cmdVoltar_ = bind(Add(kIdCmdVoltar, WC_BUTTONW, L"", button, -1), c.cmdVoltar);
  cmdAvancar_ = bind(Add(kIdCmdAvancar, WC_BUTTONW, L"", WS_TABSTOP | BS_DEFPUSHBUTTON, -1), c.cmdAvancar);
  cmdCancelar_ = bind(Add(kIdCmdCancelar, WC_BUTTONW, L"", button, -1), c.cmdCancelar);
  CreateAids();
  AddListTip();
}

void WizardWindow::AddListTip() {
  listTip_ = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr,
                               ::GetModuleHandleW(nullptr), nullptr);
  if (!listTip_) return;  // the list works without its tooltip
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = hwnd_;
  tool.uId = reinterpret_cast<UINT_PTR>(listSelecionados_);
  tool.lpszText = LPSTR_TEXTCALLBACKW;
  ::SendMessageW(listTip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  ::SetWindowSubclass(listSelecionados_, &WizardWindow::ListProc, 1, reinterpret_cast<DWORD_PTR>(this));
}

LRESULT CALLBACK WizardWindow::ListProc(HWND list, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
  auto* self = reinterpret_cast<WizardWindow*>(data);
  if (msg == WM_MOUSEMOVE && self->listTip_) {
    // Another row under the mouse: the tip shown goes, the next one asks its text again.
    const LRESULT hit = ::SendMessageW(list, LB_ITEMFROMPOINT, 0, lp);
    const int row = HIWORD(hit) ? -1 : static_cast<int>(LOWORD(hit));
    if (row != self->tipRow_) {
      self->tipRow_ = row;
      ::SendMessageW(self->listTip_, TTM_POP, 0, 0);
    }
  } else if (msg == WM_DROPFILES) {
    self->OnDropFiles(reinterpret_cast<HDROP>(wp));
    return 0;
  } else if (msg == WM_NCDESTROY) {
    ::RemoveWindowSubclass(list, &WizardWindow::ListProc, 1);
  }
  return ::DefSubclassProc(list, msg, wp, lp);
}

void WizardWindow::ListTipText(NMTTDISPINFOW& info) {
  POINT at;
  ::GetCursorPos(&at);
  ::ScreenToClient(listSelecionados_, &at);
  const LRESULT hit = ::SendMessageW(listSelecionados_, LB_ITEMFROMPOINT, 0, MAKELPARAM(at.x, at.y));
  const size_t row = LOWORD(hit);
  const std::vector<std::string>& paths = form_->controls.ListBoxSelecionados;
  tipText_ = HIWORD(hit) || row >= paths.size() ? std::wstring() : WidePath(paths[row]);
  info.lpszText = tipText_.data();
  info.hinst = nullptr;
}

void WizardWindow::MakeFonts() {
  for (HFONT* f : {&font_, &bold_, &title_, &attention_, &small_, &header_}) {
    if (*f) ::DeleteObject(*f);
    *f = nullptr;
  }
  font_ = MessageFont(dpi_, 1.0, false);
  bold_ = MessageFont(dpi_, 1.0, true);
  title_ = MessageFont(dpi_, 1.35, true);
  attention_ = MessageFont(dpi_, 1.2, true);
  small_ = MessageFont(dpi_, 0.9, false);
  header_ = MessageFont(dpi_, 1.2, true);
  HDC dc = ::GetDC(hwnd_);
  HGDIOBJ old = ::SelectObject(dc, font_);
  TEXTMETRICW tm{};
  ::GetTextMetricsW(dc, &tm);
  ::SelectObject(dc, old);
  ::ReleaseDC(hwnd_, dc);
  lineHeight_ = tm.tmHeight + tm.tmExternalLeading;
  for (HBITMAP* b : {&welcome_, &headerPicture_}) {
    if (*b) ::DeleteObject(*b);
    *b = nullptr;
  }
}

void WizardWindow::ApplyFonts() {
  for (const Item& item : items_) {
    HFONT f = font_;
    if (item.hwnd == p0Title_) f = title_;
    else if (item.hwnd == p0Kind_) f = bold_;
    else if (item.hwnd == p3Attention_) f = attention_;
    else if (item.hwnd == label15_) f = small_;
    ::SendMessageW(item.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(f), FALSE);
  }
  ::SendMessageW(listSelecionados_, LB_SETITEMHEIGHT, 0, 2 * lineHeight_ + S(6));
  for (HWND edit : {lblResultadoFinal_, lblResumo_, txtRegistro_})
    ::SendMessageW(edit, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(S(6), S(6)));
}

int WizardWindow::TextHeight(HWND control, int width) const {
  const std::wstring text = WindowText(control);
  HDC dc = ::GetDC(control);
  HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0)));
  RECT r{0, 0, std::max(1, width), 0};
  int h = text.empty() ? 0 : ::DrawTextW(dc, text.c_str(), -1, &r, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
  if (text.empty()) {
    TEXTMETRICW tm{};
    ::GetTextMetricsW(dc, &tm);
    h = tm.tmHeight;
  }
  ::SelectObject(dc, old);
  ::ReleaseDC(control, dc);
  return h;
}

void WizardWindow::Layout() {
  const FormControls& c = form_->controls;
  RECT client;
  ::GetClientRect(hwnd_, &client);
  const int cw = client.right, ch = client.bottom;
  const int headerH = c.Frame2.Visible ? S(68) : 0;
  const int barH = S(46);
  const int bodyBottom = ch - barH - S(2);
  const int imageW = c.Image1.Visible ? S(170) : 0;
  const int x0 = imageW + S(22), x1 = cw - S(22), W = x1 - x0;
  const int y0 = headerH + S(16), y1 = bodyBottom - S(10);
  // Rows of one line: an edit's text sits at its top, so the box is made just
  // one line and its borders high.
  const int buttonH = S(26), rowH = std::max(S(22), lineHeight_ + S(9));

  Place(lblRotulo_, S(18), S(10), cw - S(18) - S(14) - S(48) - S(10), S(48));

  // Button bar.
  const int by = ch - S(10) - buttonH;
  const int bw = S(96);
  Place(cmdCancelar_, cw - S(12) - bw, by, bw, buttonH);
  Place(cmdAvancar_, cw - S(12) - bw - S(14) - bw, by, bw, buttonH);
  Place(cmdVoltar_, cw - S(12) - bw - S(14) - bw - S(6) - bw, by, bw, buttonH);
  {
    // At the left: "Sobre", then the shown save buttons, each as wide as its caption.
    HDC dc = ::GetDC(hwnd_);
    HGDIOBJ old = ::SelectObject(dc, font_);
    int bx = S(12);
    for (HWND b : {cmdSobre_, cmdConciliacao_, cmdSalvarRegistro_}) {
      const std::wstring caption = WindowText(b);
      RECT r{0, 0, 0, 0};
      ::DrawTextW(dc, caption.c_str(), -1, &r, DT_CALCRECT | DT_SINGLELINE);
      const int width = std::max(b == cmdSobre_ ? S(72) : bw, static_cast<int>(r.right) + S(24));
      Place(b, bx, by, width, buttonH);
      const bool shown = b == cmdSobre_ || (b == cmdConciliacao_ ? c.cmdConciliacao.Visible : c.cmdSalvarRegistro.Visible);
      if (shown) bx += width + S(6);
    }
    ::SelectObject(dc, old);
    ::ReleaseDC(hwnd_, dc);
  }

  // Page 0.
  int y = y0, h = 0;
  h = TextHeight(p0Title_, W);
  Place(p0Title_, x0, y, W, h);
  y += h + S(10);
  h = TextHeight(p0Text1_, W);
  Place(p0Text1_, x0, y, W, h);
  y += h + S(8);
  h = TextHeight(p0Text2_, W);
  Place(p0Text2_, x0, y, W, h);
  y += h + S(16);
  h = TextHeight(p0Kind_, W);
  Place(p0Kind_, x0, y, W, h);
  y += h + S(4);
  Place(optionArquivo_, x0 + S(16), y, W - S(16), rowH);
  y += rowH;
  Place(optionMatrizFilial_, x0 + S(16), y, W - S(16), rowH);
  h = TextHeight(p0Continue_, W);
  Place(p0Continue_, x0, y1 - h, W, h);

  // Page 1, from the top down to the list, then from the bottom up to it.
  y = y0;
  Place(checkValidarMatriz_, x0, y, W, rowH);
  y += rowH + S(8);
  Place(p1Local_, x0, y, W, lineHeight_);
  y += lineHeight_ + S(4);
  const int small = S(36);
  Place(txtLocalMagnetico_, x0, y, W - small - S(6), rowH);
  Place(cmdLocalArquivo_, x1 - small, y, small, rowH);
  y += rowH + S(8);
  Place(p1List_, x0, y, W, lineHeight_);
  y += lineHeight_ + S(4);
  int bottom = y1;
  Place(bars_[0], x0, bottom - S(18), W, S(18));
  bottom -= S(18) + S(4);
  Place(barLabels_[0], x0, bottom - lineHeight_, W, lineHeight_);
  bottom -= lineHeight_ + S(8);
  h = c.Label15.Caption.empty() ? 0 : TextHeight(label15_, W);
  Place(label15_, x0, bottom - h, W, h);
  bottom -= h + (h ? S(4) : 0);
  Place(lblQuantidade_, x0, bottom - lineHeight_, W, lineHeight_);
  bottom -= lineHeight_ + S(4);
  const int listButtonW = S(90);
  Place(listSelecionados_, x0, y, W - listButtonW - S(8), std::max(S(70), bottom - y));
  for (HWND b : {cmdRemover_, cmdSubir_, cmdDescer_}) {
    Place(b, x1 - listButtonW, y, listButtonW, buttonH);
    y += buttonH + S(6);
  }

  // Page 2.
  y = y0;
  Place(p2Local_, x0, y, W, lineHeight_);
  y += lineHeight_ + S(4);
  Place(txtCaminhoSalvo_, x0, y, W - small - S(6), rowH);
  Place(buttonLocalidade_, x1 - small, y, small, rowH);
  y += rowH + S(14);
  h = TextHeight(p2Note_, W);
  Place(p2Note_, x0, y, W, h);
  // After a failed run the log under the note, down to the bottom of the page.
  if (c.fraAssistente[2].Visible && c.txtRegistro.Visible) {
    y += h + S(10);
    Place(txtRegistro_, x0, y, W, std::max(S(60), y1 - y));
  }

  // Page 3.
  y = y0;
  h = TextHeight(p3Attention_, W);
  Place(p3Attention_, x0, y, W, h);
  y += h + S(8);
  h = TextHeight(p3Text_, W);
  Place(p3Text_, x0, y, W, h);
  y += h + S(10);
  h = c.lblResumo.Caption.empty() ? 0 : TextHeight(lblResumo_, W - S(16)) + S(12);
  Place(lblResumo_, x0, y, W, h);
  h = TextHeight(p3Finish_, W);
  Place(p3Finish_, x0, y1 - h, W, h);

  // Page 4: the shown bars one under the other, then the result.
  y = y0;
  for (int kind = 1; kind < 5; ++kind) {
    const bool label = progress_.LabelShown(kind), bar = progress_.BarShown(kind);
    if (label) {
      Place(barLabels_[kind], x0, y, W, lineHeight_);
      y += lineHeight_ + S(2);
    }
    if (bar) {
      Place(bars_[kind], x0, y, W, S(18));
      y += S(18);
    }
    if (label || bar) y += S(10);
  }
  LayoutResult(x0, y, W, y1);

  ::InvalidateRect(hwnd_, nullptr, TRUE);
}

void WizardWindow::SetText(HWND control, const std::wstring& text) {
  if (WindowText(control) != text) ::SetWindowTextW(control, text.c_str());
}

void WizardWindow::ControlsChanged() {
  if (!hwnd_ || !form_) return;  // closed, or the form being destroyed
  const FormControls& c = form_->controls;
  progress_.Flush();

  // Captions first (the layout measures them), then states and places.
  const std::pair<HWND, const Control*> captions[] = {
      {cmdVoltar_, &c.cmdVoltar},          {cmdAvancar_, &c.cmdAvancar},
      {cmdCancelar_, &c.cmdCancelar},      {cmdConciliacao_, &c.cmdConciliacao},
      {cmdLocalArquivo_, &c.cmdLocalArquivoMagnetico}, {buttonLocalidade_, &c.ButtonLocalidadeSalvar},
      {cmdRemover_, &c.cmdRemoverArquivo}, {cmdSubir_, &c.cmdSubirArquivo},
      {cmdDescer_, &c.cmdDescerArquivo},   {optionArquivo_, &c.OptionUnificaArquivo},
      {optionMatrizFilial_, &c.OptionUnificaMatrizFilial}, {checkValidarMatriz_, &c.checkValidarMatriz},
      {lblQuantidade_, &c.lblQuantidadeArquivos}, {label15_, &c.Label15},
      {lblResultadoFinal_, &c.lblResultadoFinal}};
  for (const auto& [control, state] : captions) SetText(control, Wide(state->Caption));
  SetText(lblRotulo_, Wide(c.lblRotulo.Caption));
  SetText(txtLocalMagnetico_, WidePath(c.txtLocalMagnetico.Text));
  SetText(txtCaminhoSalvo_, WidePath(c.TxtCaminhoSalvo.Text));
  ::SendMessageW(optionArquivo_, BM_SETCHECK, c.OptionUnificaArquivo.Value ? BST_CHECKED : BST_UNCHECKED, 0);
  ::SendMessageW(optionMatrizFilial_, BM_SETCHECK, c.OptionUnificaMatrizFilial.Value ? BST_CHECKED : BST_UNCHECKED,
                 0);
  ::SendMessageW(checkValidarMatriz_, BM_SETCHECK, c.checkValidarMatriz.Value ? BST_CHECKED : BST_UNCHECKED, 0);
  const Control* labels[5] = {&c.lblProgressoPovoacaoTabela, &c.lblProgressoBlocosGeral, &c.lblProgressoEmpresa,
                              &c.lblProgressoBlocosParcial, &c.lblProgressoBlocosParcialInterno};
  const Control* bars[5] = {&c.sspProgressoPovoacaoTabela, &c.sspProgressoBlocosGeral, &c.sspProgressoEmpresa,
                            &c.sspProgressoBlocosParcial, &c.sspProgressoBlocosParcialInterno};
  for (int kind = 0; kind < 5; ++kind) {
    progress_.Allow(kind, bars[kind]->Visible, labels[kind]->Visible);
    // A caption set by the form replaces what the progress port wrote last.
    if (labels[kind]->Caption != shownCaption_[kind]) {
      shownCaption_[kind] = labels[kind]->Caption;
      ::SetWindowTextW(barLabels_[kind], Wide(labels[kind]->Caption).c_str());
    }
  }
  ShowFileList();
  ShowAids();
  Layout();

  for (const Item& item : items_) {
    bool visible = item.page < 0 || c.fraAssistente[static_cast<size_t>(item.page)].Visible;
    if (item.control) visible = visible && item.control->Visible;
    if (item.hwnd == lblRotulo_) visible = c.Frame2.Visible;
    if (item.hwnd == grdResumo_) visible = visible && c.lblResultadoFinal.Visible && !shownSummary_.empty();
    for (int kind = 0; kind < 5; ++kind) {
      if (item.hwnd == bars_[kind]) visible = visible && progress_.BarShown(kind);
      if (item.hwnd == barLabels_[kind]) visible = visible && progress_.LabelShown(kind);
    }
    const bool enabled = !item.control || item.control->Enabled;
    if (static_cast<bool>(::IsWindowEnabled(item.hwnd)) != enabled) ::EnableWindow(item.hwnd, enabled);
    if (static_cast<bool>(::IsWindowVisible(item.hwnd)) != visible || !::IsWindowVisible(hwnd_))
      ::ShowWindow(item.hwnd, visible ? SW_SHOWNA : SW_HIDE);
  }
  // Enter presses "Avançar"/"Concluir" while shown, "Fechar" after the run.
  const bool nextIsDefault = c.cmdAvancar.Visible;
  ::SendMessageW(cmdAvancar_, BM_SETSTYLE, nextIsDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
  ::SendMessageW(cmdCancelar_, BM_SETSTYLE, nextIsDefault ? BS_PUSHBUTTON : BS_DEFPUSHBUTTON, TRUE);
  // The page's control takes the focus when the page changes, and whenever
  // the focus was lost to a control disabled or hidden meanwhile (the
  // buttons during an import, "Cancelar" during the run), so that the
  // keyboard (Esc, Enter, Tab) keeps working.
  const HWND focus = ::GetFocus();
  const bool focusLost = !focus || !::IsWindowVisible(focus) || !::IsWindowEnabled(focus);
  if (!form_->m_Unloaded && (form_->m_Page != shownPage_ || (focusLost && ::GetActiveWindow() == hwnd_)))
    FocusPage(form_->m_Page);
  ::InvalidateRect(lblRotulo_, nullptr, TRUE);
  ::UpdateWindow(hwnd_);
}

void WizardWindow::ShowFileList() {
  const FormControls& c = form_->controls;
  std::vector<std::wstring> rows;
  for (size_t i = 0; i < c.ListBoxSelecionados.size(); ++i) {
    const std::string row = form_->ListRowText(i);
    rows.push_back(row.empty() ? WidePath(c.ListBoxSelecionados[i]) : Wide(row));
  }
  if (rows != shownRows_) {
    const bool grew = rows.size() > shownRows_.size();
    ::SendMessageW(listSelecionados_, WM_SETREDRAW, FALSE, 0);
    ::SendMessageW(listSelecionados_, LB_RESETCONTENT, 0, 0);
    for (const std::wstring& row : rows)
      ::SendMessageW(listSelecionados_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(row.c_str()));
    if (grew && !rows.empty())  // the list follows the newest row
      ::SendMessageW(listSelecionados_, LB_SETTOPINDEX, rows.size() - 1, 0);
    ::SendMessageW(listSelecionados_, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(listSelecionados_, nullptr, TRUE);
    shownRows_ = std::move(rows);
  }
  if (static_cast<int>(::SendMessageW(listSelecionados_, LB_GETCURSEL, 0, 0)) != c.ListBoxIndex)
    ::SendMessageW(listSelecionados_, LB_SETCURSEL, static_cast<WPARAM>(c.ListBoxIndex), 0);
}

void WizardWindow::FocusPage(int page) {
  shownPage_ = page;
  const FormControls& c = form_->controls;
  HWND target = nullptr;
  switch (page) {
    case 0: target = c.OptionUnificaArquivo.Value ? optionArquivo_ : optionMatrizFilial_; break;
    case 1: target = cmdLocalArquivo_; break;
    case 2: target = buttonLocalidade_; break;
    case 3: target = cmdAvancar_; break;
    default: target = cmdCancelar_; break;
  }
  if (target && ::IsWindowEnabled(target)) ::SetFocus(target);
}

void WizardWindow::Paint(HDC dc) {
  const FormControls& c = form_->controls;
  RECT client;
  ::GetClientRect(hwnd_, &client);
  const int headerH = c.Frame2.Visible ? S(68) : 0;
  const int barH = S(46);
  // Frame2: the white header band with its picture (Frame3) at the right.
  if (headerH) {
    RECT band{0, 0, client.right, headerH - 1};
    ::FillRect(dc, &band, white_);
    RECT line{0, headerH - 1, client.right, headerH};
    HBRUSH border = ::CreateSolidBrush(RGB(0xa8, 0xb4, 0xb8));
    ::FillRect(dc, &line, border);
    ::DeleteObject(border);
    if (c.Frame3.Visible) {
      if (!headerPicture_) headerPicture_ = HeaderBitmap(S(48), RGB(255, 255, 255));
      DrawBitmap(dc, headerPicture_, client.right - S(14) - S(48), S(10));
    }
  }
  // Image1: the welcome band beside page 0, drawn again for a new size.
  if (c.Image1.Visible) {
    const int w = S(170), h = client.bottom - barH - S(2) - headerH;
    BITMAP info{};
    if (welcome_) ::GetObjectW(welcome_, sizeof info, &info);
    if (!welcome_ || info.bmWidth != w || info.bmHeight != h) {
      if (welcome_) ::DeleteObject(welcome_);
      welcome_ = WelcomeBitmap(w, h);
    }
    DrawBitmap(dc, welcome_, 0, headerH);
  }
  // The line over the button bar.
  RECT edge{0, client.bottom - barH - S(2), client.right, client.bottom - barH};
  ::DrawEdge(dc, &edge, EDGE_ETCHED, BF_TOP);
}

void WizardWindow::DrawRotulo(const DRAWITEMSTRUCT& d) {
  // The page title in bold, then (second line) the start time.
  ::FillRect(d.hDC, &d.rcItem, white_);
  const std::wstring text = WindowText(d.hwndItem);
  const size_t br = text.find(L"\r\n");
  const std::wstring first = br == std::wstring::npos ? text : text.substr(0, br);
  const std::wstring rest = br == std::wstring::npos ? L"" : text.substr(br + 2);
  ::SetBkMode(d.hDC, TRANSPARENT);
  ::SetTextColor(d.hDC, ::GetSysColor(COLOR_WINDOWTEXT));
  RECT r = d.rcItem;
  if (!first.empty()) {
    HGDIOBJ old = ::SelectObject(d.hDC, header_);
    RECT measured = r;
    ::DrawTextW(d.hDC, first.c_str(), -1, &measured, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    ::DrawTextW(d.hDC, first.c_str(), -1, &r, DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    r.top += measured.bottom - measured.top + S(2);
    ::SelectObject(d.hDC, old);
  }
  HGDIOBJ old = ::SelectObject(d.hDC, font_);
  ::DrawTextW(d.hDC, rest.c_str(), -1, &r, DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
  ::SelectObject(d.hDC, old);
}

void WizardWindow::DrawListRow(const DRAWITEMSTRUCT& d) {
  if (d.itemID == static_cast<UINT>(-1)) return;
  const bool selected = d.itemState & ODS_SELECTED;
  // Rows of two lines, told apart by alternating colours.
  COLORREF back = ::GetSysColor(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW);
  if (!selected && d.itemID % 2 == 1)
    back = RGB(GetRValue(back) * 15 / 16, GetGValue(back) * 15 / 16, GetBValue(back) * 15 / 16);
  HBRUSH brush = ::CreateSolidBrush(back);
  ::FillRect(d.hDC, &d.rcItem, brush);
  ::DeleteObject(brush);
  const int length = static_cast<int>(::SendMessageW(d.hwndItem, LB_GETTEXTLEN, d.itemID, 0));
  std::wstring text(static_cast<size_t>(std::max(0, length)) + 1, L'\0');
  text.resize(static_cast<size_t>(std::max<LRESULT>(0, ::SendMessageW(d.hwndItem, LB_GETTEXT, d.itemID,
                                                                       reinterpret_cast<LPARAM>(text.data())))));
  ::SetBkMode(d.hDC, TRANSPARENT);
  ::SetTextColor(d.hDC, ::GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
  HGDIOBJ old = ::SelectObject(d.hDC, font_);
  RECT r = d.rcItem;
  r.left += S(4);
  r.right -= S(4);
  r.top += S(3);
  size_t start = 0;
  for (int line = 0; line < 2 && start <= text.size(); ++line) {
    const size_t br = text.find(L"\r\n", start);
    const std::wstring part = text.substr(start, br == std::wstring::npos ? std::wstring::npos : br - start);
    RECT lr{r.left, r.top + line * lineHeight_, r.right, r.top + (line + 1) * lineHeight_};
    ::DrawTextW(d.hDC, part.c_str(), -1, &lr, DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    if (br == std::wstring::npos) break;
    start = br + 2;
  }
  ::SelectObject(d.hDC, old);
  if (d.itemState & ODS_FOCUS) ::DrawFocusRect(d.hDC, &d.rcItem);
}

bool WizardWindow::Pump() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      ::PostQuitMessage(static_cast<int>(msg.wParam));
      return false;
    }
    if (PreTranslate(msg)) continue;
    if (hwnd_ && ::IsDialogMessageW(hwnd_, &msg)) continue;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  return true;
}

void WizardWindow::DoEvents() {
  progress_.Flush();
  Pump();
}

void WizardWindow::Busy(bool on) {
  if (on == busy_) return;
  busy_ = on;
  // The cursor over the window follows WM_SETCURSOR (see Handle); it is set
  // at once too, so that it shows before the work goes on.
  ::SetCursor(::LoadCursorW(nullptr, on ? IDC_WAIT : IDC_ARROW));
  if (!on) {
    POINT at;
    ::GetCursorPos(&at);
    ::SetCursorPos(at.x, at.y);  // the control under the mouse sets its own cursor again
  }
  Pump();
}

bool WizardWindow::PreTranslate(MSG& msg) {
  if (keys_ && hwnd_ && (msg.hwnd == hwnd_ || ::IsChild(hwnd_, msg.hwnd)) && ::TranslateAcceleratorW(hwnd_, keys_, &msg))
    return true;
  if (msg.hwnd == listSelecionados_ && msg.message == WM_KEYDOWN && msg.wParam == VK_DELETE) {
    OnRemoveFile();
    return true;
  }
  return false;
}

int WizardWindow::Run() {
  ::ShowWindow(hwnd_, SW_SHOWNORMAL);
  ControlsChanged();
  FocusPage(form_->m_Page);
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (PreTranslate(msg)) continue;
    if (hwnd_ && ::IsDialogMessageW(hwnd_, &msg)) continue;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  return 0;
}

bool WizardWindow::Ask(std::string_view question) { return AskYesNo(hwnd_, question); }

void WizardWindow::OnCommand(int id, int code) {
  switch (id) {
    case kIdCmdAvancar: OnNext(); break;
    case kIdCmdVoltar: OnBack(); break;
    case kIdCmdCancelar: OnCancel(); break;
    case kIdCmdConciliacao:
      form_->cmdConciliacao_Click();
      ControlsChanged();
      break;
    case kIdCmdLocalArquivoMagnetico: OnChooseFile(); break;
    case kIdButtonLocalidadeSalvar: OnChooseFolder(); break;
    case kIdCmdRemoverArquivo: OnRemoveFile(); break;
    case kIdCmdSubirArquivo: OnMoveFile(-1); break;
    case kIdCmdDescerArquivo: OnMoveFile(1); break;
    case kIdOptionUnificaArquivo:
      if (code == BN_CLICKED) form_->OptionUnificaArquivo_Click();
      break;
    case kIdOptionUnificaMatrizFilial:
      if (code == BN_CLICKED) form_->OptionUnificaMatrizFilial_Click();
      break;
    case kIdCheckValidarMatriz:
      if (code == BN_CLICKED) {
        form_->controls.checkValidarMatriz.Value = !form_->controls.checkValidarMatriz.Value;
        form_->checkValidarMatriz_Click();
      }
      break;
    case kIdListBoxSelecionados:
      if (code == LBN_SELCHANGE) {
        const int row = static_cast<int>(::SendMessageW(listSelecionados_, LB_GETCURSEL, 0, 0));
        if (form_->controls.ListBoxIndex != row) {
          form_->SelectListRow(row);
          ControlsChanged();
        }
      }
      break;
    default: OnAidCommand(id, code); break;
  }
}

void WizardWindow::OnListMenu(int x, int y) {
  POINT at{x, y};
  if (x == -1 && y == -1) {  // the menu key: at the selected row
    RECT r{};
    ::SendMessageW(listSelecionados_, LB_GETITEMRECT, static_cast<WPARAM>(std::max(0, form_->controls.ListBoxIndex)),
                   reinterpret_cast<LPARAM>(&r));
    at = {r.left + S(8), r.bottom};
    ::ClientToScreen(listSelecionados_, &at);
  } else {
    POINT local = at;
    ::ScreenToClient(listSelecionados_, &local);
    const LRESULT hit = ::SendMessageW(listSelecionados_, LB_ITEMFROMPOINT, 0, MAKELPARAM(local.x, local.y));
    if (HIWORD(hit)) return;  // not on a row
    const int row = LOWORD(hit);
    if (form_->controls.ListBoxIndex != row) {
      form_->SelectListRow(row);
      ControlsChanged();
    }
  }
  if (form_->controls.ListBoxIndex < 0) return;
  HMENU menu = ::CreatePopupMenu();
  for (HWND b : {cmdRemover_, cmdSubir_, cmdDescer_}) {
    const int id = ::GetDlgCtrlID(b);
    ::AppendMenuW(menu, MF_STRING | (::IsWindowEnabled(b) ? 0 : MF_GRAYED), static_cast<UINT_PTR>(id),
                  WindowText(b).c_str());
  }
  const int chosen = ::TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0, hwnd_, nullptr);
  ::DestroyMenu(menu);
  if (chosen) OnCommand(chosen, BN_CLICKED);
}

void WizardWindow::OnRemoveFile() {
  form_->cmdRemoverArquivo_Click();
  ControlsChanged();
}

void WizardWindow::OnMoveFile(int delta) {
  if (delta < 0)
    form_->cmdSubirArquivo_Click();
  else
    form_->cmdDescerArquivo_Click();
  ControlsChanged();
}

void WizardWindow::OnNext() {
  form_->cmdAvancar_Click();
  ControlsChanged();
  CloseIfDone();
}

void WizardWindow::OnBack() {
  form_->cmdVoltar_Click();
  ControlsChanged();
}

void WizardWindow::OnCancel() {
  form_->CancelPressed();
  CloseIfDone();
}

void WizardWindow::OnChooseFile() {
  form_->cmdLocalArquivoMagnetico_Click();
  ControlsChanged();
  CloseIfDone();
}

void WizardWindow::OnChooseFolder() {
  form_->ButtonLocalidadeSalvar_Click();
  ControlsChanged();
}

void WizardWindow::CloseIfDone() {
  if (hwnd_ && form_->CloseWhenIdle()) ::DestroyWindow(hwnd_);
}

void WizardWindow::OnClose() {
  // Closing never happens under running work: the form asks, and the window
  // closes once the work stopped (CloseIfDone).
  if (form_->CloseRequested()) ::DestroyWindow(hwnd_);
}

LRESULT CALLBACK WizardWindow::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* self = static_cast<WizardWindow*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<WizardWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self || !self->form_ || !self->hwnd_) return ::DefWindowProcW(hwnd, msg, wp, lp);
  return self->Handle(msg, wp, lp);
}

LRESULT WizardWindow::Handle(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_COMMAND:
      OnCommand(LOWORD(wp), HIWORD(wp));
      return 0;
    case DM_GETDEFID:
      // What Enter presses (IsDialogMessage asks the window).
      return MAKELRESULT(form_->controls.cmdAvancar.Visible ? kIdCmdAvancar : kIdCmdCancelar, DC_HASDEFID);
    case WM_SIZE:
      if (wp != SIZE_MINIMIZED) Layout();
      return 0;
    case WM_GETMINMAXINFO: {
      RECT frame{0, 0, S(640), S(480)};
      ::AdjustWindowRectEx(&frame, WS_OVERLAPPEDWINDOW, FALSE, WS_EX_CONTROLPARENT);
      auto* info = reinterpret_cast<MINMAXINFO*>(lp);
      info->ptMinTrackSize = {frame.right - frame.left, frame.bottom - frame.top};
      return 0;
    }
    case WM_DPICHANGED: {
      dpi_ = HIWORD(wp);
      MakeFonts();
      ApplyFonts();
      const RECT* suggested = reinterpret_cast<const RECT*>(lp);
      ::SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
      Layout();
      return 0;
    }
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = ::BeginPaint(hwnd_, &ps);
      Paint(dc);
      ::EndPaint(hwnd_, &ps);
      return 0;
    }
    case WM_CTLCOLORSTATIC: {
      // Texts of the header band on its white, the others on the window's colour.
      if (reinterpret_cast<HWND>(lp) == lblRotulo_) return reinterpret_cast<LRESULT>(white_);
      break;
    }
    case WM_DRAWITEM: {
      const auto* d = reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
      if (d->hwndItem == lblRotulo_) DrawRotulo(*d);
      else if (d->hwndItem == listSelecionados_) DrawListRow(*d);
      return TRUE;
    }
    case WM_MEASUREITEM: {
      auto* m = reinterpret_cast<MEASUREITEMSTRUCT*>(lp);
      m->itemHeight = static_cast<UINT>(2 * lineHeight_ + S(6));
      return TRUE;
    }
    case WM_NOTIFY: {
      auto* header = reinterpret_cast<NMHDR*>(lp);
      if (header->code == TTN_GETDISPINFOW && reinterpret_cast<HWND>(header->idFrom) == listSelecionados_) {
        ListTipText(*reinterpret_cast<NMTTDISPINFOW*>(lp));
        return 0;
      }
      if (header->code == NM_CUSTOMDRAW && header->hwndFrom == grdResumo_)
        return SummaryCustomDraw(*reinterpret_cast<NMLVCUSTOMDRAW*>(lp));
      break;
    }
    case WM_CONTEXTMENU:
      if (reinterpret_cast<HWND>(wp) == listSelecionados_) {
        OnListMenu(GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
        return 0;
      }
      break;
    case kMsgDropped:
      TakeDroppedFiles();
      return 0;
    case WM_SETCURSOR:
      if (busy_) {
        ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
        return TRUE;
      }
      break;
    case WM_CLOSE:
      OnClose();
      return 0;
    case WM_DESTROY:
      hwnd_ = nullptr;
      ::PostQuitMessage(0);
      return 0;
    default: break;
  }
  return ::DefWindowProcW(hwnd_, msg, wp, lp);
}

}  // namespace winui
