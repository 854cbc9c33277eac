// The window's aids driven as a user would, offscreen: files dropped onto
// the list, a small screen at scale 2, the result's copy menus, Ctrl+O and
// "Sobre". Their rules are tested on the form (tests/wizard_aids_test.cpp);
// these tests check what only the window does.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include "app/gui/qt_ports.h"
#include "app/gui/wizard_window.h"
#include "app/version.h"
#include "tests/support/staging_database.h"
#include "tests/support/wizard_fakes.h"
#include "tests/gui/window_fixture.h"
#include "tools/efdgen/network.h"

namespace {

namespace fs = std::filesystem;

class WindowAidsTest : public WindowFixture {
 protected:
  WindowAidsTest() : WindowFixture("quelvar_window_aids_") {}
  void SetUp() override {
    WindowFixture::SetUp();
    NetworkOptions network;
    network.establishments = 3;
    network.targetLines = 300;
    files3_ = SampleNetworkFiles();  // the project's three files when present
    if (files3_.size() != 3) files3_ = WriteNetwork(network, (dir_ / "in").string());
  }
  // A drag of `paths` as a file manager offers it, entering the file list:
  // whether the list takes it; when it does and `drop`, the files are dropped.
  bool DragOntoTheList(const std::vector<std::string>& paths, bool drop) {
    QWidget* target = Find<QListWidget>("ListBoxSelecionados")->viewport();
    QMimeData mime;
    QList<QUrl> urls;
    for (const std::string& p : paths) urls << QUrl::fromLocalFile(PathText(p));
    mime.setUrls(urls);
    const QPoint at = target->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted() || !drop) return enter.isAccepted();
    QDropEvent dropped(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &dropped);
    EXPECT_TRUE(dropped.isAccepted());
    return true;
  }
  // Whether every shown button of the bar lies inside the window.
  void ExpectButtonsInside(const char* page) {
    for (const char* name : {"cmdVoltar", "cmdAvancar", "cmdCancelar", "cmdSobre"}) {
      QPushButton* b = Button(name);
      if (!b->isVisible()) continue;
      const QRect where(b->mapTo(window_.get(), QPoint(0, 0)), b->size());
      EXPECT_TRUE(window_->rect().contains(where)) << page << ": " << name << " at " << where.x() << ","
                                                   << where.y() << " in " << window_->width() << "x"
                                                   << window_->height();
    }
  }
  // Runs the merge of the three files into "out" (from page 0).
  void RunTheMerge() {
    files_.batches = {files3_};
    Button("cmdAvancar")->click();
    Button("cmdLocalArquivoMagnetico")->click();
    Button("cmdAvancar")->click();
    ASSERT_TRUE(MergeInto(dir_ / "out").ok) << window_->form().m_Resultado.error;
  }
  // Opens the context menu of `widget` and triggers its action `text`.
  void ChooseFromContextMenu(QWidget* widget, const QString& text) {
    bool found = false;
    QTimer::singleShot(0, [&] {
      auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
      ASSERT_NE(menu, nullptr);
      for (QAction* action : menu->actions())
        if (action->text() == text) {
          found = true;
          menu->close();
          action->trigger();
          return;
        }
      menu->close();
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(4, 4));
    QApplication::sendEvent(widget, &event);
    EXPECT_TRUE(found) << text.toStdString();
  }

  std::vector<std::string> files3_;
};

TEST_F(WindowAidsTest, ThreeFilesDroppedOntoTheListAreImportedAsOneBatch) {
  EXPECT_FALSE(DragOntoTheList(files3_, false)) << "page 0 takes no drop";
  Button("cmdAvancar")->click();
  EXPECT_EQ(window_->windowTitle(), QString::fromUtf8("Quelvar — Passo 2 de 5: Arquivos"));
  ASSERT_TRUE(DragOntoTheList(files3_, true));
  // The import starts once the drop has returned.
  QTRY_COMPARE(Find<QListWidget>("ListBoxSelecionados")->count(), 3);
  EXPECT_TRUE(messages_.shown.empty()) << messages_.shown[0].text;
  EXPECT_EQ(window_->form().LogLines().size(), 3u);
  // What a drop refuses, and how it is told, is the form's (wizard_aids_test).
}

TEST_F(WindowAidsTest, TheWindowFitsA1600x1000ScreenAtScale2) {
  // 1600x1000 pixels at scale 2: 800x500 for the window, a panel and a title bar taking their share.
  const QRect available(0, 0, 800, 476);
  const QMargins frame(4, 30, 4, 4);
  const QRect fitted = WizardWindow::FittedGeometry(QSize(720, 540), QSize(640, 480), available, frame);
  EXPECT_TRUE(available.contains(fitted.marginsAdded(frame))) << fitted.width() << "x" << fitted.height();
  EXPECT_EQ(fitted.width(), 720);
  EXPECT_EQ(fitted.height(), 476 - 34);
  // A larger screen: the preferred size, centred.
  EXPECT_EQ(WizardWindow::FittedGeometry(QSize(720, 540), QSize(640, 480), QRect(0, 0, 1600, 1000), frame),
            QRect(440, 230, 720, 540));

  // A screen smaller than the window's least size: the window takes the
  // area, the file page scrolls and the buttons stay in view.
  window_->FitTo(QRect(0, 0, 600, 330), QMargins());
  Button("cmdAvancar")->click();
  files_.batches = {files3_};
  Button("cmdLocalArquivoMagnetico")->click();
  QCoreApplication::processEvents();
  EXPECT_EQ(window_->size(), QSize(600, 330));
  ExpectButtonsInside("page 1 on a tiny screen");
  EXPECT_TRUE(Find<QScrollArea>("pageScroll")->verticalScrollBar()->isVisible());

  window_->FitTo(available, frame);
  QCoreApplication::processEvents();
  EXPECT_EQ(window_->size(), fitted.size());
  EXPECT_FALSE(Find<QScrollArea>("pageScroll")->verticalScrollBar()->isVisible()) << "page 1 needs no scrolling";
  ExpectButtonsInside("page 1");
  Button("cmdAvancar")->click();
  ASSERT_TRUE(MergeInto(dir_ / "out").ok) << window_->form().m_Resultado.error;
  QCoreApplication::processEvents();
  EXPECT_EQ(window_->size(), fitted.size()) << "the result page does not grow the window";
  ExpectButtonsInside("page 4");
  EXPECT_TRUE(Find<QPlainTextEdit>("txtRegistro")->isVisible());
  EXPECT_TRUE(Button("cmdAbrirPasta")->isVisible());
}

// On the screen the tests run on (offscreen; under Xvfb with QT_SCALE_FACTOR=2
// the small screen of a large scale): each page within the screen's free area
// with its buttons, saved as pictures (the window, and the screen when it can
// be grabbed).
TEST_F(WindowAidsTest, EveryPageFitsTheScreenItIsShownOn) {
  const QRect available = window_->screen()->availableGeometry();
  QDir().mkpath(QStringLiteral(QUELVAR_SCREENSHOT_DIR));
  auto shoot = [&](const char* page) {
    QCoreApplication::processEvents();
    EXPECT_TRUE(available.contains(window_->frameGeometry()))
        << page << ": window " << window_->frameGeometry().width() << "x" << window_->frameGeometry().height()
        << ", screen " << available.width() << "x" << available.height();
    ExpectButtonsInside(page);
    const QString dir = QStringLiteral(QUELVAR_SCREENSHOT_DIR "/");
    window_->grab().save(dir + QStringLiteral("aids_%1.png").arg(QString::fromLatin1(page)));
    const QPixmap screen = window_->screen()->grabWindow(0);
    if (!screen.isNull()) screen.save(dir + QStringLiteral("screen_%1.png").arg(QString::fromLatin1(page)));
  };
  shoot("page0");
  files_.batches = {files3_};
  Button("cmdAvancar")->click();
  Button("cmdLocalArquivoMagnetico")->click();
  shoot("page1");
  Button("cmdAvancar")->click();
  folders_.folder = (dir_ / "out").string();
  Button("ButtonLocalidadeSalvar")->click();
  shoot("page2");
  Button("cmdAvancar")->click();
  EXPECT_TRUE(Find<QLabel>("lblResumo")->text().contains(QStringLiteral("Arquivo unificado: EFDPISCOFINS_")));
  shoot("page3");
  Button("cmdAvancar")->click();
  ASSERT_TRUE(window_->form().m_Resultado.ok);
  shoot("page4");
}

TEST_F(WindowAidsTest, TheResultAndTheLogAreCopiedFromTheirMenus) {
  RunTheMerge();
  auto* result = Find<QLabel>("lblResultadoFinal");
  QGuiApplication::clipboard()->clear();
  ChooseFromContextMenu(result, QStringLiteral("Copiar tudo"));
  EXPECT_EQ(QGuiApplication::clipboard()->text(), result->text());
  EXPECT_TRUE(result->text().startsWith(QStringLiteral("Arquivo Magnético gerado")));

  auto* log = Find<QPlainTextEdit>("txtRegistro");
  ChooseFromContextMenu(log->viewport(), QStringLiteral("Selecionar tudo"));
  window_->ControlsChanged();  // a repaint keeps the selection
  EXPECT_EQ(log->textCursor().selectedText().size(), log->toPlainText().size());
  ChooseFromContextMenu(log->viewport(), QStringLiteral("Copiar"));
  EXPECT_EQ(QGuiApplication::clipboard()->text(), log->toPlainText()) << "lines end in line feeds";
  EXPECT_TRUE(QGuiApplication::clipboard()->text().contains(QStringLiteral("Arquivo unificado gravado: ")));

  Button("cmdAbrirArquivo")->click();
  EXPECT_EQ(opener_.opened, std::vector<std::string>{window_->form().m_Resultado.path});
}

TEST_F(WindowAidsTest, CtrlOChoosesFilesOnTheFilePageOnlyAndSobreShowsTheVersion) {
  files_.batches = {{files3_.front()}};
  QApplication::setActiveWindow(window_.get());  // shortcuts reach the active window
  if (!QTest::qWaitForWindowActive(window_.get())) GTEST_SKIP() << "no window manager activates the window here";
  QTest::keyClick(window_.get(), Qt::Key_O, Qt::ControlModifier);
  EXPECT_EQ(files_.nextBatch, 0u) << "page 0 chooses no file";
  Button("cmdAvancar")->click();
  QTest::keyClick(window_.get(), Qt::Key_O, Qt::ControlModifier);
  EXPECT_EQ(files_.nextBatch, 1u);
  EXPECT_EQ(Find<QListWidget>("ListBoxSelecionados")->count(), 1);

  QString about;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    about = box->text();
    box->accept();
  });
  Button("cmdSobre")->click();
  EXPECT_TRUE(about.startsWith(QString::fromUtf8(kQuelvarVersionText) + QLatin1Char('\n'))) << about.toStdString();
}

}  // namespace
