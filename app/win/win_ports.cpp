#include "app/win/win_ports.h"

#include <commctrl.h>
#include <shellapi.h>
#include <shobjidl.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <filesystem>

#include "app/win/win_text.h"
#include "platform/files.h"

namespace winui {

namespace {

// Releases a COM interface when it goes out of scope.
template <class T>
struct ComPtr {
  T* p = nullptr;
  ~ComPtr() {
    if (p) p->Release();
  }
  T** operator&() { return &p; }
  T* operator->() const { return p; }
};

// The shell item of the folder `path`, or null.
IShellItem* FolderItem(const std::wstring& path) {
  if (path.empty()) return nullptr;
  IShellItem* item = nullptr;
  if (FAILED(::SHCreateItemFromParsingName(path.c_str(), nullptr, IID_PPV_ARGS(&item)))) return nullptr;
  return item;
}

// Hands `filter` to `dialog` as its file types (the first one chosen).
void SetFilter(IFileDialog* dialog, std::string_view filter) {
  const std::vector<FilterEntry> entries = DialogFilter(filter);
  std::vector<std::wstring> texts;
  for (const FilterEntry& e : entries) {
    texts.emplace_back(e.name.begin(), e.name.end());
    texts.emplace_back(e.patterns.begin(), e.patterns.end());
  }
  std::vector<COMDLG_FILTERSPEC> specs;
  for (size_t i = 0; i + 1 < texts.size(); i += 2) specs.push_back({texts[i].c_str(), texts[i + 1].c_str()});
  if (specs.empty()) return;
  dialog->SetFileTypes(static_cast<UINT>(specs.size()), specs.data());
  dialog->SetFileTypeIndex(1);
  const std::u16string ext = DefaultExtension(entries);
  if (!ext.empty()) dialog->SetDefaultExtension(std::wstring(ext.begin(), ext.end()).c_str());
}

// The file-system path of `item` as UTF-8, "" when it has none.
std::string ItemPath(IShellItem* item) {
  PWSTR name = nullptr;
  if (FAILED(item->GetDisplayName(SIGDN_FILESYSPATH, &name)) || !name) return "";
  std::string path = Utf8Path(name);
  ::CoTaskMemFree(name);
  return path;
}

}  // namespace

std::wstring Wide(std::string_view text) {
  const std::u16string s = ControlText(text);
  return std::wstring(s.begin(), s.end());
}

std::wstring WidePath(const std::string& utf8) { return platform::PathFromUtf8(utf8).wstring(); }

std::string Utf8Path(const wchar_t* wide) { return platform::Utf8FromPath(std::filesystem::path(wide)); }

int Box(HWND owner, std::string_view text, MsgIcon icon, const std::vector<std::wstring>& buttons, int escape,
        bool question, const wchar_t* title) {
  if (!title) title = L"Quelvar";
  const std::wstring body = Wide(text);
  std::vector<TASKDIALOG_BUTTON> tdButtons;
  for (size_t i = 0; i < buttons.size(); ++i) tdButtons.push_back({static_cast<int>(100 + i), buttons[i].c_str()});
  TASKDIALOGCONFIG config{};
  config.cbSize = sizeof config;
  config.hwndParent = owner;
  config.hInstance = ::GetModuleHandleW(nullptr);
  config.dwFlags = TDF_ALLOW_DIALOG_CANCELLATION | TDF_POSITION_RELATIVE_TO_WINDOW | TDF_SIZE_TO_CONTENT;
  config.pszWindowTitle = title;
  if (question) {
    config.dwFlags |= TDF_USE_HICON_MAIN;
    config.hMainIcon = ::LoadIconW(nullptr, IDI_QUESTION);
  } else {
    config.pszMainIcon = icon == MsgIcon::Information   ? TD_INFORMATION_ICON
                         : icon == MsgIcon::Exclamation ? TD_WARNING_ICON
                                                        : TD_ERROR_ICON;
  }
  config.pszContent = body.c_str();
  config.cButtons = static_cast<UINT>(tdButtons.size());
  config.pButtons = tdButtons.data();
  config.nDefaultButton = question && buttons.size() > 1 ? 101 : 100;
  // A path has no blank to break at: the box is made wide enough for it.
  if (const int width = BoxWidth(text)) {
    config.cxWidth = static_cast<UINT>(width);
    config.dwFlags &= ~TDF_SIZE_TO_CONTENT;
  }
  int pressed = 0;
  if (SUCCEEDED(::TaskDialogIndirect(&config, &pressed, nullptr, nullptr))) {
    if (pressed >= 100 && pressed < 100 + static_cast<int>(buttons.size())) return pressed - 100;
    return escape;
  }
  // The task dialog could not be shown: the system's box (its buttons in the
  // system's language).
  UINT type = question ? MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2
                       : MB_OK | (icon == MsgIcon::Information   ? MB_ICONINFORMATION
                                  : icon == MsgIcon::Exclamation ? MB_ICONWARNING
                                                                 : MB_ICONERROR);
  const int r = ::MessageBoxW(owner, body.c_str(), title, type);
  if (question) return r == IDYES ? 0 : 1;
  return 0;
}

bool AskYesNo(HWND owner, std::string_view question) {
  return Box(owner, question, MsgIcon::Information, {L"&Sim", L"&Não"}, 1, true) == 0;
}

void WinMessages::ShowMessage(std::string_view text, MsgIcon icon) { Box(owner_, text, icon, {L"OK"}, 0); }

void WinMessages::ReportError(std::string_view source, std::string_view procedure, std::string_view message) {
  std::fprintf(stderr, "quelvar: %.*s: %.*s: %.*s\n", static_cast<int>(source.size()), source.data(),
               static_cast<int>(procedure.size()), procedure.data(), static_cast<int>(message.size()),
               message.data());
  if (errorsShown_ >= kErrorBoxes) return;
  ++errorsShown_;
  std::string text = std::string(message) + "\n(" + std::string(procedure) + ")";
  if (errorsShown_ == kErrorBoxes) text += "\n\nOs próximos erros desta execução serão mostrados apenas no terminal.";
  Box(owner_, text, MsgIcon::Critical, {L"OK"}, 0);
}

void WinProgress::Attach(int kind, HWND bar, HWND label) {
  bars_[kind] = bar;
  labels_[kind] = label;
}

void WinProgress::Progress(const ProgressEvent& e) {
  if (!panel_.Take(e)) return;
  Flush();
  if (pump_) pump_();
}

void WinProgress::Flush() {
  if (panel_.Flush([this](const ProgressView& view) { Draw(view); }) && shown_) shown_();
}

void WinProgress::Draw(const ProgressView& view) {
  if (HWND bar = bars_[view.kind]) {
    const LONG_PTR style = ::GetWindowLongPtrW(bar, GWL_STYLE);
    if (view.busy != ((style & PBS_MARQUEE) != 0)) {
      ::SetWindowLongPtrW(bar, GWL_STYLE,
                          view.busy ? style | PBS_MARQUEE : style & ~static_cast<LONG_PTR>(PBS_MARQUEE));
      ::SendMessageW(bar, PBM_SETMARQUEE, view.busy ? TRUE : FALSE, 30);
    }
    if (!view.busy) ::SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(view.percent), 0);
  }
  if (labels_[view.kind] && view.hasLabel) ::SetWindowTextW(labels_[view.kind], Wide(view.label).c_str());
}

std::vector<std::string> WinFileChooser::Open(std::string_view filter, bool several, const std::wstring& folder) {
  std::vector<std::string> out;
  ComPtr<IFileOpenDialog> dialog;
  if (FAILED(::CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&dialog))))
    return out;
  FILEOPENDIALOGOPTIONS options = 0;
  dialog->GetOptions(&options);
  options |= FOS_FORCEFILESYSTEM | FOS_FILEMUSTEXIST | FOS_PATHMUSTEXIST;
  if (several) options |= FOS_ALLOWMULTISELECT;
  dialog->SetOptions(options);
  dialog->SetTitle(L"Abrir");
  dialog->SetOkButtonLabel(L"&Abrir");
  dialog->SetFileNameLabel(L"&Nome do arquivo:");
  SetFilter(dialog.p, filter);
  if (IShellItem* start = FolderItem(folder.empty() ? lastFolder_ : folder)) {
    dialog->SetFolder(start);
    start->Release();
  }
  if (FAILED(dialog->Show(owner_))) return out;  // cancelled
  ComPtr<IShellItemArray> items;
  if (FAILED(dialog->GetResults(&items))) return out;
  DWORD count = 0;
  items->GetCount(&count);
  for (DWORD i = 0; i < count; ++i) {
    ComPtr<IShellItem> item;
    if (FAILED(items->GetItemAt(i, &item))) continue;
    std::string path = ItemPath(item.p);
    if (!path.empty()) out.push_back(std::move(path));
  }
  if (!out.empty()) lastFolder_ = platform::PathFromUtf8(out.front()).parent_path().wstring();
  return out;
}

std::string WinFileChooser::ChooseOpenFile(std::string_view filter) {
  std::vector<std::string> one = Open(filter, false, L"");
  return one.empty() ? std::string() : one.front();
}

std::vector<std::string> WinFileChooser::ChooseOpenFiles(std::string_view filter) { return Open(filter, true, L""); }

std::vector<std::string> WinFileChooser::ChooseOpenFilesFrom(std::string_view filter, std::string_view folder) {
  return Open(filter, true, folder.empty() ? std::wstring() : WidePath(std::string(folder)));
}

std::string WinFileChooser::ChooseSaveFile(std::string_view title, std::string_view suggested,
                                           std::string_view filter) {
  ComPtr<IFileSaveDialog> dialog;
  if (FAILED(::CoCreateInstance(CLSID_FileSaveDialog, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&dialog))))
    return "";
  FILEOPENDIALOGOPTIONS options = 0;
  dialog->GetOptions(&options);
  dialog->SetOptions(options | FOS_FORCEFILESYSTEM | FOS_OVERWRITEPROMPT | FOS_PATHMUSTEXIST);
  dialog->SetTitle(Wide(title).c_str());
  dialog->SetOkButtonLabel(L"&Salvar");
  dialog->SetFileNameLabel(L"&Nome do arquivo:");
  SetFilter(dialog.p, filter);
  const std::filesystem::path proposed = platform::PathFromUtf8(std::string(suggested));
  if (proposed.has_filename()) dialog->SetFileName(proposed.filename().wstring().c_str());
  if (IShellItem* folder = FolderItem(proposed.parent_path().wstring())) {
    dialog->SetFolder(folder);
    folder->Release();
  }
  if (FAILED(dialog->Show(owner_))) return "";
  ComPtr<IShellItem> item;
  if (FAILED(dialog->GetResult(&item))) return "";
  return ItemPath(item.p);
}

std::string WinFolderChooser::ChooseFolder(std::string_view title, bool flag) {
  return ChooseFolderFrom(title, flag, "");
}

std::string WinFolderChooser::ChooseFolderFrom(std::string_view title, bool, std::string_view folder) {
  ComPtr<IFileOpenDialog> dialog;
  if (FAILED(::CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&dialog))))
    return "";
  FILEOPENDIALOGOPTIONS options = 0;
  dialog->GetOptions(&options);
  dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST);
  dialog->SetTitle(Wide(title).c_str());
  dialog->SetOkButtonLabel(L"&Selecionar pasta");
  dialog->SetFileNameLabel(L"&Pasta:");
  if (IShellItem* start = folder.empty() ? nullptr : FolderItem(WidePath(std::string(folder)))) {
    dialog->SetFolder(start);
    start->Release();
  }
  if (FAILED(dialog->Show(owner_))) return "";
  ComPtr<IShellItem> item;
  if (FAILED(dialog->GetResult(&item))) return "";
  return ItemPath(item.p);
}

namespace {

// The registry key of `place`'s subkey under the program's key, or the
// program's key itself.
std::wstring SettingKey(const RegistryPlace& place) {
  std::wstring key = WinSettings::kRoot;
  if (!place.subkey.empty()) key += L"\\" + std::wstring(place.subkey.begin(), place.subkey.end());
  return key;
}

}  // namespace

std::string WinSettings::Get(std::string_view key) {
  const RegistryPlace place = SettingPlace(key);
  const std::wstring subkey = SettingKey(place);
  const std::wstring name(place.value.begin(), place.value.end());
  DWORD bytes = 0;
  if (::RegGetValueW(HKEY_CURRENT_USER, subkey.c_str(), name.c_str(), RRF_RT_REG_SZ, nullptr, nullptr, &bytes) !=
          ERROR_SUCCESS ||
      bytes < sizeof(wchar_t))
    return "";
  std::wstring value(bytes / sizeof(wchar_t), L'\0');
  if (::RegGetValueW(HKEY_CURRENT_USER, subkey.c_str(), name.c_str(), RRF_RT_REG_SZ, nullptr, value.data(), &bytes) !=
      ERROR_SUCCESS)
    return "";
  value.resize(wcsnlen(value.c_str(), bytes / sizeof(wchar_t)));
  return value.empty() ? std::string() : Utf8Path(value.c_str());
}

void WinSettings::Set(std::string_view key, std::string_view value) {
  const RegistryPlace place = SettingPlace(key);
  HKEY hkey = nullptr;
  if (::RegCreateKeyExW(HKEY_CURRENT_USER, SettingKey(place).c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &hkey,
                        nullptr) != ERROR_SUCCESS)
    return;
  const std::wstring name(place.value.begin(), place.value.end());
  const std::wstring text = value.empty() ? std::wstring() : WidePath(std::string(value));
  ::RegSetValueExW(hkey, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  ::RegCloseKey(hkey);
}

bool WinPathOpener::OpenPath(std::string_view path) {
  const std::wstring wide = WidePath(std::string(path));
  const HINSTANCE done = ::ShellExecuteW(owner_, L"open", wide.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  return reinterpret_cast<INT_PTR>(done) > 32;
}

bool CopyToClipboard(HWND owner, const std::wstring& text) {
  if (!::OpenClipboard(owner)) return false;
  ::EmptyClipboard();
  const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, bytes);
  bool ok = false;
  if (memory) {
    if (void* p = ::GlobalLock(memory)) {
      std::memcpy(p, text.c_str(), bytes);
      ::GlobalUnlock(memory);
      ok = ::SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
    }
    if (!ok) ::GlobalFree(memory);
  }
  ::CloseClipboard();
  return ok;
}

}  // namespace winui
