// What the wizard window offers beside its pages: files dropped onto the
// list, Ctrl+O, "Sobre", the summary before the run, the result page's
// "Abrir pasta", "Abrir arquivo" and log with "Salvar registro..." (the log
// on the folder page after a failed run), menus to copy the result, the
// step in the title, and a size that fits the screen.
// The rules live in the form (frmAssistente); this file only draws them.
#include <algorithm>
#include <functional>

#include <QAction>
#include <QApplication>
#include <QBoxLayout>
#include <QClipboard>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QTextDocumentFragment>
#include <QTimer>
#include <QUrl>

#include "app/gui/wizard_window.h"
#include "app/version.h"

namespace {

// The local files of a drag ("" when any of its items is not a local file).
QStringList LocalFiles(const QMimeData* mime) {
  QStringList paths;
  if (!mime || !mime->hasUrls()) return paths;
  for (const QUrl& url : mime->urls()) {
    if (!url.isLocalFile()) return {};
    paths << url.toLocalFile();
  }
  return paths;
}

// Takes drags of local files onto the file list while the form takes files;
// a drop is handed to the window.
class FileDrops : public QObject {
 public:
  FileDrops(QObject* parent, std::function<bool()> accepts, std::function<void(const QStringList&)> drop)
      : QObject(parent), accepts_(std::move(accepts)), drop_(std::move(drop)) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    switch (event->type()) {
      case QEvent::DragEnter:
      case QEvent::DragMove: {
        auto* drag = static_cast<QDropEvent*>(event);
        if (accepts_() && !LocalFiles(drag->mimeData()).isEmpty())
          drag->acceptProposedAction();
        else
          drag->ignore();
        return true;
      }
      case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const QStringList paths = LocalFiles(drop->mimeData());
        if (!accepts_() || paths.isEmpty()) {
          drop->ignore();
          return true;
        }
        drop->acceptProposedAction();
        drop_(paths);
        return true;
      }
      default: return QObject::eventFilter(watched, event);
    }
  }

 private:
  std::function<bool()> accepts_;
  std::function<void(const QStringList&)> drop_;
};

// The menu of a text the user reads and copies: "Copiar" (the selection, or
// the whole text when nothing is selected) and "Selecionar tudo".
void ShowCopyMenu(QWidget* owner, const QPoint& globalAt, const QString& selected, const QString& all,
                  const std::function<void()>& selectAll) {
  QMenu menu(owner);
  menu.setObjectName(QStringLiteral("menuCopiar"));
  const QString copied = selected.isEmpty() ? all : selected;
  menu.addAction(selected.isEmpty() ? QStringLiteral("Copiar tudo") : QStringLiteral("Copiar"), owner,
                 [copied] { QGuiApplication::clipboard()->setText(copied); })
      ->setEnabled(!copied.isEmpty());
  menu.addAction(QStringLiteral("Selecionar tudo"), owner, selectAll)->setEnabled(!all.isEmpty());
  menu.exec(globalAt);
}

QPushButton* Button(const char* name) {
  auto* b = new QPushButton;
  b->setObjectName(QString::fromLatin1(name));
  b->setAutoDefault(false);
  return b;
}

}  // namespace

void WizardWindow::BuildAids(QBoxLayout* buttonBar) {
  cmdSobre_ = Button("cmdSobre");
  cmdSobre_->setText(QStringLiteral("Sobre"));
  cmdSobre_->setToolTip(QStringLiteral("Versão do programa e o que ele faz (F1)"));
  buttonBar->insertWidget(0, cmdSobre_);
  cmdSalvarRegistro_ = Button("cmdSalvarRegistro");
  cmdSalvarRegistro_->setText(QString::fromUtf8("Salvar &registro…"));
  cmdSalvarRegistro_->setToolTip(QStringLiteral("Grava num arquivo de texto o registro dos arquivos importados "
                                                "ou recusados e da unificação"));
  buttonBar->insertWidget(buttonBar->indexOf(cmdConciliacao_) + 1, cmdSalvarRegistro_);
  connect(cmdSobre_, &QPushButton::clicked, this, &WizardWindow::ShowAbout);
  connect(new QShortcut(QKeySequence::HelpContents, this), &QShortcut::activated, this, &WizardWindow::ShowAbout);
  connect(cmdSalvarRegistro_, &QPushButton::clicked, this, [this] {
    form_->cmdSalvarRegistro_Click();
    ControlsChanged();
  });

  // Ctrl+O: the file button of the file page.
  connect(new QShortcut(QKeySequence::Open, this), &QShortcut::activated, this, [this] {
    if (form_->AcceptsFiles()) OnChooseFile();
  });

  // Files dropped onto the list go where the dialog's go.
  listSelecionados_->setAcceptDrops(true);
  listSelecionados_->viewport()->setAcceptDrops(true);
  listSelecionados_->viewport()->installEventFilter(new FileDrops(
      this, [this] { return form_->AcceptsFiles(); }, [this](const QStringList& paths) { DropFiles(paths); }));
  listSelecionados_->setToolTip(QStringLiteral("Arraste os arquivos para cá, ou clique em '...' (Ctrl+O)"));

  // The result text: copied through its menu.
  lblResultadoFinal_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(lblResultadoFinal_, &QLabel::customContextMenuRequested, this, [this](const QPoint& at) {
    ShowCopyMenu(this, lblResultadoFinal_->mapToGlobal(at), lblResultadoFinal_->selectedText(),
                 lblResultadoFinal_->text(),
                 [this] { lblResultadoFinal_->setSelection(0, static_cast<int>(lblResultadoFinal_->text().size())); });
  });
}

QWidget* WizardWindow::BuildRunSummary() {
  lblResumo_ = new QLabel;
  lblResumo_->setObjectName(QStringLiteral("lblResumo"));
  lblResumo_->setWordWrap(true);
  lblResumo_->setTextFormat(Qt::PlainText);
  lblResumo_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  lblResumo_->setFrameShape(QFrame::StyledPanel);
  lblResumo_->setMargin(10);
  return lblResumo_;
}

QWidget* WizardWindow::BuildResultAids() {
  auto* box = new QWidget;
  auto* v = new QVBoxLayout(box);
  v->setContentsMargins(0, 0, 0, 0);
  auto* row = new QHBoxLayout;
  cmdAbrirPasta_ = Button("cmdAbrirPasta");
  cmdAbrirArquivo_ = Button("cmdAbrirArquivo");
  row->addWidget(cmdAbrirPasta_);
  row->addWidget(cmdAbrirArquivo_);
  row->addStretch(1);
  v->addLayout(row);
  txtRegistro_ = new QPlainTextEdit;
  txtRegistro_->setObjectName(QStringLiteral("txtRegistro"));
  txtRegistro_->setReadOnly(true);
  txtRegistro_->setLineWrapMode(QPlainTextEdit::NoWrap);
  txtRegistro_->setMinimumHeight(60);
  txtRegistro_->setPlaceholderText(QStringLiteral("Registro da execução"));
  txtRegistro_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(txtRegistro_, &QPlainTextEdit::customContextMenuRequested, this, [this](const QPoint& at) {
    ShowCopyMenu(this, txtRegistro_->viewport()->mapToGlobal(at), txtRegistro_->textCursor().selection().toPlainText(),
                 txtRegistro_->toPlainText(), [this] { txtRegistro_->selectAll(); });
  });
  logOnResultPage_ = new QVBoxLayout;
  logOnResultPage_->addWidget(txtRegistro_);
  v->addLayout(logOnResultPage_, 1);
  connect(cmdAbrirPasta_, &QPushButton::clicked, this, [this] {
    form_->cmdAbrirPasta_Click();
    ControlsChanged();
  });
  connect(cmdAbrirArquivo_, &QPushButton::clicked, this, [this] {
    form_->cmdAbrirArquivo_Click();
    ControlsChanged();
  });
  return box;
}

void WizardWindow::ShowAids() {
  const FormControls& c = form_->controls;
  setWindowTitle(c.Titulo.Caption.empty() ? QStringLiteral("Quelvar") : EngineText(c.Titulo.Caption));
  lblResumo_->setText(EngineText(c.lblResumo.Caption));
  cmdAbrirPasta_->setText(QStringLiteral("Abrir &pasta"));
  cmdAbrirArquivo_->setText(QStringLiteral("Abrir &arquivo"));
  cmdAbrirPasta_->setVisible(c.cmdAbrirPasta.Visible);
  cmdAbrirArquivo_->setVisible(c.cmdAbrirArquivo.Visible);
  cmdSalvarRegistro_->setVisible(c.cmdSalvarRegistro.Visible);
  // One log box, on the page that shows the run's result: the folder page
  // after a failed run, else the last page.
  const bool onFolderPage = c.fraAssistente[2].Visible;
  QBoxLayout* home = onFolderPage ? logOnFolderPage_ : logOnResultPage_;
  if (home->indexOf(txtRegistro_) < 0) {
    (onFolderPage ? logOnResultPage_ : logOnFolderPage_)->removeWidget(txtRegistro_);
    home->addWidget(txtRegistro_);
  }
  txtRegistro_->setVisible(c.txtRegistro.Visible);
  // Set only when the log changed: a selection made for copying stays.
  const QString log = EngineText(c.txtRegistro.Text);
  if (log != shownLog_) {
    shownLog_ = log;
    txtRegistro_->setPlainText(log);
    txtRegistro_->moveCursor(QTextCursor::End);  // the newest lines in view
  }
}

void WizardWindow::ShowAbout() {
  QMessageBox box(QMessageBox::Information, QStringLiteral("Sobre o Quelvar"),
                  EngineText(frmAssistente::AboutText(kQuelvarVersionText)), QMessageBox::Ok, this);
  box.setObjectName(QStringLiteral("msgSobre"));
  box.setIconPixmap(windowIcon().pixmap(48, 48));
  box.exec();
}

void WizardWindow::DropFiles(const QStringList& paths) {
  std::vector<std::string> files;
  for (const QString& path : paths) files.push_back(PathBytes(path));
  QTimer::singleShot(0, this, [this, files] {
    form_->AddFiles(files);
    ControlsChanged();
    CloseIfDone();
  });
}

QRect WizardWindow::FittedGeometry(QSize preferred, QSize minimum, QRect available, QMargins frame) {
  const QSize room(available.width() - frame.left() - frame.right(),
                   available.height() - frame.top() - frame.bottom());
  const QSize floor = minimum.boundedTo(room);
  const QSize size = preferred.boundedTo(room).expandedTo(floor);
  QRect geometry(QPoint(0, 0), size);
  geometry.moveCenter(available.center());
  // The frame's top and left stay on the screen.
  geometry.moveLeft(std::max(geometry.left(), available.left() + frame.left()));
  geometry.moveTop(std::max(geometry.top(), available.top() + frame.top()));
  return geometry;
}

void WizardWindow::FitToScreen() {
  QScreen* s = screen();
  if (!s) return;
  const QRect available = s->availableGeometry();
  // Before the first show the frame is not known: room for a title bar.
  QMargins frame(geometry().left() - frameGeometry().left(), geometry().top() - frameGeometry().top(),
                   frameGeometry().right() - geometry().right(), frameGeometry().bottom() - geometry().bottom());
  if (frame.isNull() && QGuiApplication::platformName() != QLatin1String("offscreen"))
    frame = QMargins(4, 32, 4, 4);
  FitTo(available, frame);
}

void WizardWindow::FitTo(QRect available, QMargins frame) {
  const QSize minimum = minimumSize();
  const QRect fitted = FittedGeometry(QSize(720, 540), minimum, available, frame);
  setMinimumSize(minimum.boundedTo(fitted.size()));
  setGeometry(fitted);
}

void WizardWindow::showEvent(QShowEvent* event) {
  if (!fitted_) {
    fitted_ = true;
    FitToScreen();
  }
  QDialog::showEvent(event);
}
