// The program's entry without arguments in a build without the wizard window.
#include <cstdio>

#include "app/gui/gui_main.h"

// Says that this build has no window and returns 1.
int RunWizardGui(int, char**) {
  std::fprintf(stderr, "quelvar: esta versão não tem a janela do assistente; use 'quelvar merge' (veja --help)\n");
  return 1;
}
