// Placeholder, replaced by the Qt window.
#include "app/gui/gui_main.h"

#include <cstdio>

int RunWizardGui(int, char**) {
  std::fprintf(stderr, "quelvar: the wizard window is not built yet; use 'quelvar merge'\n");
  return 1;
}
