#include "app/gui/qt_ports.h"

#include <cstdio>

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QProgressBar>
#include <QSettings>
#include <QStringDecoder>
#include <QTranslator>
#include <QUrl>

QString EngineText(std::string_view text) {
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString s = utf8.decode(QByteArrayView(text.data(), static_cast<qsizetype>(text.size())));
  if (utf8.hasError()) s = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
  s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return s;
}

QString PathText(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

std::string PathBytes(const QString& path) { return QFile::encodeName(path).toStdString(); }

QString QtFilter(std::string_view filter) {
  QStringList parts = EngineText(filter).split(QLatin1Char('|'));
  QStringList out;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString desc = parts[i].trimmed();
    QString pattern = parts[i + 1].trimmed();
    // Qt reads the patterns from the last parentheses of each entry.
    if (!desc.contains(QLatin1Char('('))) desc += QStringLiteral(" (") + pattern + QLatin1Char(')');
    out << desc;
  }
  if (out.isEmpty()) return EngineText(filter);
  return out.join(QStringLiteral(";;"));
}

void QtMessages::ShowMessage(std::string_view text, MsgIcon icon) {
  QMessageBox::Icon qicon = icon == MsgIcon::Information ? QMessageBox::Information
                            : icon == MsgIcon::Exclamation ? QMessageBox::Warning
                                                            : QMessageBox::Critical;
  QMessageBox box(qicon, QStringLiteral("Quelvar"), EngineText(text), QMessageBox::Ok, parent_);
  box.exec();
}

void QtMessages::ReportError(std::string_view source, std::string_view procedure, std::string_view message) {
  std::fprintf(stderr, "quelvar: %.*s: %.*s: %.*s\n", static_cast<int>(source.size()), source.data(),
               static_cast<int>(procedure.size()), procedure.data(), static_cast<int>(message.size()),
               message.data());
  if (errorsShown_ >= kErrorBoxes) return;
  ++errorsShown_;
  QString text = EngineText(message) + QStringLiteral("\n(") + EngineText(procedure) + QLatin1Char(')');
  if (errorsShown_ == kErrorBoxes)
    text += QStringLiteral("\n\nOs próximos erros desta execução serão mostrados apenas no terminal.");
  QMessageBox box(QMessageBox::Critical, QStringLiteral("Quelvar"), text, QMessageBox::Ok, parent_);
  box.exec();
}

void QtProgress::Attach(int kind, QProgressBar* bar, QLabel* label) {
  Q_ASSERT(kind >= 0 && kind < ProgressPanel::kKinds);
  bars_[kind] = bar;
  labels_[kind] = label;
}

void QtProgress::Progress(const ProgressEvent& e) {
  if (!panel_.Take(e)) return;
  Flush();
  QCoreApplication::processEvents();
}

void QtProgress::Allow(int kind, bool bar, bool label) {
  if (kind < 0 || kind >= ProgressPanel::kKinds) return;
  panel_.Allow(kind, bar, label);
  ApplyVisibility(kind);
}

void QtProgress::ApplyVisibility(int kind) {
  if (bars_[kind]) bars_[kind]->setVisible(panel_.BarShown(kind));
  if (labels_[kind]) labels_[kind]->setVisible(panel_.LabelShown(kind));
}

void QtProgress::Flush() {
  panel_.Flush([this](const ProgressView& view) { Draw(view); });
}

void QtProgress::Draw(const ProgressView& view) {
  if (QProgressBar* bar = bars_[view.kind]) {
    if (view.busy) {
      bar->setRange(0, 0);  // counting without a total: busy
    } else {
      bar->setRange(0, 100);
      bar->setValue(view.percent);
    }
  }
  if (labels_[view.kind] && view.hasLabel) labels_[view.kind]->setText(EngineText(view.label));
  ApplyVisibility(view.kind);
}

std::string QtFileChooser::ChooseOpenFile(std::string_view filter) {
  QString path = QFileDialog::getOpenFileName(parent_, QStringLiteral("Abrir"), lastFolder_, QtFilter(filter));
  if (path.isEmpty()) return "";
  lastFolder_ = QFileInfo(path).absolutePath();
  return PathBytes(path);
}

std::vector<std::string> QtFileChooser::ChooseOpenFiles(std::string_view filter) {
  return ChooseOpenFilesFrom(filter, "");
}

std::vector<std::string> QtFileChooser::ChooseOpenFilesFrom(std::string_view filter, std::string_view folder) {
  const QString start = folder.empty() ? lastFolder_ : PathText(std::string(folder));
  QStringList paths = QFileDialog::getOpenFileNames(parent_, QStringLiteral("Abrir"), start, QtFilter(filter));
  std::vector<std::string> out;
  for (const QString& path : paths) out.push_back(PathBytes(path));
  if (!paths.isEmpty()) lastFolder_ = QFileInfo(paths.front()).absolutePath();
  return out;
}

std::string QtFileChooser::ChooseSaveFile(std::string_view title, std::string_view suggested,
                                          std::string_view filter) {
  QString path = QFileDialog::getSaveFileName(parent_, EngineText(title), PathText(std::string(suggested)),
                                              QtFilter(filter));
  if (path.isEmpty()) return "";
  return PathBytes(path);
}

std::string QtFolderChooser::ChooseFolder(std::string_view title, bool flag) {
  return ChooseFolderFrom(title, flag, "");
}

std::string QtFolderChooser::ChooseFolderFrom(std::string_view title, bool flag, std::string_view folder) {
  QFileDialog dialog(parent_, EngineText(title));
  if (!folder.empty()) dialog.setDirectory(PathText(std::string(folder)));
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly, true);
  dialog.setOption(QFileDialog::ReadOnly, !flag);  // read-only: no new folder
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return "";
  return PathBytes(dialog.selectedFiles().first());
}

std::string QtSettings::Get(std::string_view key) {
  QSettings settings(QStringLiteral("Quelvar"), QStringLiteral("Quelvar"));
  return PathBytes(settings.value(QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size()))).toString());
}

void QtSettings::Set(std::string_view key, std::string_view value) {
  QSettings settings(QStringLiteral("Quelvar"), QStringLiteral("Quelvar"));
  settings.setValue(QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size())), PathText(std::string(value)));
}

bool QtPathOpener::OpenPath(std::string_view path) {
  return QDesktopServices::openUrl(QUrl::fromLocalFile(PathText(std::string(path))));
}

bool InstallPortugueseTranslation(QCoreApplication& app) {
  const QLocale brazil(QLocale::Portuguese, QLocale::Brazil);
  QLocale::setDefault(brazil);
  auto* translator = new QTranslator(&app);
  if (!translator->load(brazil, QStringLiteral("qtbase"), QStringLiteral("_"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete translator;
    return false;
  }
  return QCoreApplication::installTranslator(translator);
}
