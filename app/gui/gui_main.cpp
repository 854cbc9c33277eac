// The wizard window as the program's entry without arguments.
#include "app/gui/gui_main.h"

#include <cstdio>
#include <cstdlib>
#include <exception>

#include <QApplication>
#include <QMessageBox>

#include "app/gui/qt_ports.h"
#include "app/gui/wizard_window.h"

int RunWizardGui(int argc, char** argv) {
#if defined(__linux__)
  // Without a display Qt would abort; say what to use instead.
  if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") && !std::getenv("QT_QPA_PLATFORM")) {
    std::fprintf(stderr, "quelvar: no display for the wizard window; use 'quelvar merge' (see --help)\n");
    return 1;
  }
#endif
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quelvar"));
  // The window speaks Portuguese whatever the system's language: Qt's own
  // dialogs and buttons too.
  if (!InstallPortugueseTranslation(app))
    std::fprintf(stderr, "quelvar: Qt's Portuguese translation (qtbase_pt_BR.qm) is not installed; "
                         "dialogs keep Qt's English texts\n");

  WizardWindowOptions options;
  // Staging database, as `merge --database`: "" a temporary SQLite file,
  // sqlite:PATH, memory, odbc:CONNECTION-STRING.
  if (const char* target = std::getenv("QUELVAR_DATABASE")) options.databaseTarget = target;
  WizardWindow window(options);
  try {
    window.Load();
  } catch (const std::exception& e) {
    QMessageBox::critical(nullptr, QStringLiteral("Quelvar"),
                          QString::fromUtf8("Não foi possível abrir o banco de dados de trabalho:\n") +
                              EngineText(e.what()));
    return 1;
  }
  window.show();
  return app.exec();
}
