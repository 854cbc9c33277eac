// The wizard window as the program's entry without arguments on Windows.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include <exception>
#include <string>

#include "app/gui/gui_main.h"
#include "app/win/win_ports.h"
#include "app/win/wizard_window.h"
#include "platform/console.h"

namespace {

// quelvar.exe is a console program, so that cmd and PowerShell wait for
// `merge` and `check` and show their output. Started from Explorer (or a
// shortcut) it gets a console of its own: that console is given up, so that
// only the wizard stays on the screen. A console shared with the shell that
// started the program is kept (the engine's errors still reach it).
void ReleaseOwnConsole() {
  DWORD processes[2];
  if (::GetConsoleProcessList(processes, 2) == 1) ::FreeConsole();
}

}  // namespace

int RunWizardGui(int, char**) {
  ReleaseOwnConsole();
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS | ICC_WIN95_CLASSES};
  ::InitCommonControlsEx(&controls);
  // The file dialogs are COM objects of a single-threaded apartment.
  const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  int status = 1;
  {
    std::string target;
    // Staging database, as `merge --database`: "" a temporary SQLite file,
    // sqlite:PATH, memory, odbc:CONNECTION-STRING.
    if (auto env = platform::Utf8Environment("QUELVAR_DATABASE")) target = *env;
    try {
      winui::WizardWindow window(target);
      try {
        window.Load();
      } catch (const std::exception& e) {
        winui::Box(nullptr, std::string("Não foi possível abrir o banco de dados de trabalho:\n") + e.what(),
                   MsgIcon::Critical, {L"OK"}, 0);
        throw;
      }
      status = window.Run();
    } catch (const std::exception&) {
      status = 1;
    }
  }
  if (SUCCEEDED(com)) ::CoUninitialize();
  return status;
}
