// The wizard window.
#pragma once

// Opens the wizard and returns the program's exit status when it closes.
int RunWizardGui(int argc, char** argv);
