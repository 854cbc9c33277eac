#include "app/gui/wizard_window.h"

#include <algorithm>

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QGridLayout>
#include <QHeaderView>
#include <QHBoxLayout>
#include <QLabel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QResizeEvent>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/gui/pictures.h"

namespace {

QString U(const char* text) { return QString::fromUtf8(text); }

// A wrapped label with the given object name.
QLabel* TextLabel(const QString& text, const char* name = nullptr) {
  auto* label = new QLabel(text);
  label->setWordWrap(true);
  label->setTextFormat(Qt::PlainText);
  if (name) label->setObjectName(QString::fromLatin1(name));
  return label;
}

QFont Bold(QFont font, qreal scale = 1.0) {
  font.setBold(true);
  if (scale != 1.0) font.setPointSizeF(font.pointSizeF() * scale);
  return font;
}

// A box the program fills itself: no focus, and drawn as not editable.
void ReadOnlyBox(QLineEdit* box) {
  box->setReadOnly(true);
  box->setFocusPolicy(Qt::NoFocus);
  QPalette palette = box->palette();
  palette.setColor(QPalette::Base, palette.color(QPalette::Window));
  box->setPalette(palette);
}

// The welcome picture, drawn again whenever the label's size changes, so that
// it fills the band beside page 0.
class WelcomeLabel : public QLabel {
 protected:
  void resizeEvent(QResizeEvent* event) override {
    QLabel::resizeEvent(event);
    if (pixmap().deviceIndependentSize().toSize() != size())
      setPixmap(WelcomePicture(width(), height(), devicePixelRatioF()));
  }
};

// The pages' scroll area: the pages take the whole area while it is larger
// than they need at its width (their least height, word-wrapped texts
// included), and scroll when it is smaller, so that the button bar stays in
// view on a small screen. (A resizable QScrollArea would give pages with
// wrapped texts their preferred height and scroll too early.)
class PageScroll : public QScrollArea {
 public:
  PageScroll() {
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  }
  void Hold(QWidget* pages) {
    setWidget(pages);
    pages->installEventFilter(this);
  }

 protected:
  void resizeEvent(QResizeEvent* event) override {
    QScrollArea::resizeEvent(event);
    Fit();
  }
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == widget() && event->type() == QEvent::LayoutRequest) Fit();
    return QScrollArea::eventFilter(watched, event);
  }

 private:
  void Fit() {
    QWidget* pages = widget();
    QLayout* layout = pages ? pages->layout() : nullptr;
    if (!layout) return;
    // The least height of the page shown, asked of its own layout (a page's
    // widget would answer its preferred height for a width).
    auto least = [pages, layout](int width) {
      const QMargins m = layout->contentsMargins();
      const int inner = width - m.left() - m.right();
      int h = 0;
      for (QWidget* page : pages->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        QLayout* l = page->layout();
        if (page->isHidden() || !l) continue;
        h = std::max(h, l->hasHeightForWidth() ? l->minimumHeightForWidth(inner) : l->minimumSize().height());
      }
      return h + m.top() + m.bottom();
    };
    const int full = width() - 2 * frameWidth();
    const int high = height() - 2 * frameWidth();
    int w = full;
    int h = least(w);
    if (h > high) {  // a scroll bar takes its width
      w = full - verticalScrollBar()->sizeHint().width();
      h = least(w);
    }
    pages->resize(w, std::max(h, high));
  }
};

void Apply(QWidget* widget, const Control& c) {
  widget->setVisible(c.Visible);
  widget->setEnabled(c.Enabled);
}

constexpr const char* kBarNames[5] = {"sspProgressoPovoacaoTabela", "sspProgressoBlocosGeral",
                                      "sspProgressoEmpresa", "sspProgressoBlocosParcial",
                                      "sspProgressoBlocosParcialInterno"};
constexpr const char* kBarLabelNames[5] = {"lblProgressoPovoacaoTabela", "lblProgressoBlocosGeral",
                                           "lblProgressoEmpresa", "lblProgressoBlocosParcial",
                                           "lblProgressoBlocosParcialInterno"};

}  // namespace

WizardWindow::WizardWindow(WizardWindowOptions options, QWidget* parent)
    : QDialog(parent),
      options_(std::move(options)),
      messages_(this),
      fileChooser_(this),
      folderChooser_(this) {
  frmAssistente::Ports ports;
  ports.files = options_.files ? options_.files : &fileChooser_;
  ports.folders = options_.folders ? options_.folders : &folderChooser_;
  ports.view = this;
  ports.questions = this;
  ports.settings = options_.settings ? options_.settings : &settings_;
  ports.opener = options_.opener ? options_.opener : &opener_;
  ports.ui.messages = options_.messages ? options_.messages : &messages_;
  ports.ui.errors = options_.errors ? options_.errors : &messages_;
  ports.ui.progress = &progress_;
  form_ = std::make_unique<frmAssistente>(ports, options_.databaseTarget);
  BuildWindow();
  ControlsChanged();
}

WizardWindow::~WizardWindow() {
  // The form goes first: its unload closes the database while the ports live.
  form_.reset();
}

void WizardWindow::Load() {
  form_->Form_Load();
  ControlsChanged();
}

void WizardWindow::BuildWindow() {
  setWindowTitle(QStringLiteral("Quelvar"));
  setWindowIcon(QIcon(HeaderPicture(64)));
  setObjectName(QStringLiteral("frmAssistente"));
  setWindowFlags(Qt::Window | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
  setMinimumSize(640, 480);
  resize(720, 540);
  setSizeGripEnabled(true);

  auto* root = new QVBoxLayout(this);
  root->setContentsMargins(0, 0, 0, 0);
  root->setSpacing(0);

  // Header band of pages 1 to 4: the page title and the header picture.
  frame2_ = new QFrame;
  frame2_->setObjectName(QStringLiteral("Frame2"));
  frame2_->setStyleSheet(QStringLiteral("#Frame2 { background: white; border-bottom: 1px solid #a8b4b8; }"));
  auto* header = new QHBoxLayout(frame2_);
  header->setContentsMargins(18, 10, 14, 10);
  lblRotulo_ = new QLabel;
  lblRotulo_->setObjectName(QStringLiteral("lblRotulo"));
  lblRotulo_->setTextFormat(Qt::RichText);
  header->addWidget(lblRotulo_, 1);
  frame3_ = new QFrame;
  frame3_->setObjectName(QStringLiteral("Frame3"));
  auto* pictureBox = new QHBoxLayout(frame3_);
  pictureBox->setContentsMargins(0, 0, 0, 0);
  auto* headerPicture = new QLabel;
  headerPicture->setPixmap(HeaderPicture(48, devicePixelRatioF()));
  pictureBox->addWidget(headerPicture);
  header->addWidget(frame3_);
  root->addWidget(frame2_);

  // Body: the welcome picture beside page 0; pages 1 to 4 share one area.
  auto* body = new QHBoxLayout;
  body->setContentsMargins(0, 0, 0, 0);
  body->setSpacing(0);
  image1_ = new WelcomeLabel;
  image1_->setObjectName(QStringLiteral("Image1"));
  image1_->setFixedWidth(170);
  image1_->setMinimumHeight(1);
  image1_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
  body->addWidget(image1_);
  // The pages scroll when the window is smaller than they need (a small
  // screen, a large scale): the button bar always stays in view.
  auto* pageHolder = new QWidget;
  pageHolder->setObjectName(QStringLiteral("pageHolder"));
  auto* pageArea = new QGridLayout(pageHolder);
  pageArea->setContentsMargins(22, 16, 22, 10);
  QWidget* pages[frmAssistente::kPages] = {BuildPage0(), BuildPage1(), BuildPage2(), BuildPage3(),
                                            BuildPage4()};
  for (int i = 0; i < frmAssistente::kPages; ++i) {
    pages_[i] = static_cast<QFrame*>(pages[i]);
    pages_[i]->setObjectName(QStringLiteral("fraAssistente_%1").arg(i));
    pageArea->addWidget(pages_[i], 0, 0);
  }
  auto* pageScroll = new PageScroll;
  pageScroll->setObjectName(QStringLiteral("pageScroll"));
  pageScroll->Hold(pageHolder);
  body->addWidget(pageScroll, 1);
  root->addLayout(body, 1);

  // Button bar.
  auto* line = new QFrame;
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);
  root->addWidget(line);
  auto* buttons = new QHBoxLayout;
  buttons->setContentsMargins(12, 10, 12, 10);
  // The last run's ledger, at the left of the bar while its result is shown.
  cmdConciliacao_ = new QPushButton;
  cmdConciliacao_->setObjectName(QStringLiteral("cmdConciliacao"));
  cmdConciliacao_->setAutoDefault(false);
  buttons->addWidget(cmdConciliacao_);
  buttons->addStretch(1);
  cmdVoltar_ = new QPushButton;
  cmdVoltar_->setObjectName(QStringLiteral("cmdVoltar"));
  cmdAvancar_ = new QPushButton;
  cmdAvancar_->setObjectName(QStringLiteral("cmdAvancar"));
  cmdAvancar_->setDefault(true);
  cmdCancelar_ = new QPushButton;
  cmdCancelar_->setObjectName(QStringLiteral("cmdCancelar"));
  for (QPushButton* b : {cmdVoltar_, cmdAvancar_, cmdCancelar_}) {
    b->setMinimumWidth(96);
    b->setAutoDefault(false);  // Enter always means the default button
  }
  buttons->addWidget(cmdVoltar_);
  buttons->addWidget(cmdAvancar_);
  buttons->addSpacing(14);
  buttons->addWidget(cmdCancelar_);
  root->addLayout(buttons);
  BuildAids(buttons);

  connect(cmdAvancar_, &QPushButton::clicked, this, &WizardWindow::OnNext);
  connect(cmdVoltar_, &QPushButton::clicked, this, &WizardWindow::OnBack);
  connect(cmdCancelar_, &QPushButton::clicked, this, &WizardWindow::OnCancel);
  connect(cmdConciliacao_, &QPushButton::clicked, this, [this] {
    form_->cmdConciliacao_Click();
    ControlsChanged();
  });
  connect(cmdLocalArquivo_, &QPushButton::clicked, this, &WizardWindow::OnChooseFile);
  connect(buttonLocalidade_, &QPushButton::clicked, this, &WizardWindow::OnChooseFolder);
  connect(cmdRemover_, &QPushButton::clicked, this, &WizardWindow::OnRemoveFile);
  connect(cmdSubir_, &QPushButton::clicked, this, [this] { OnMoveFile(-1); });
  connect(cmdDescer_, &QPushButton::clicked, this, [this] { OnMoveFile(1); });
  connect(listSelecionados_, &QListWidget::currentRowChanged, this, [this](int row) {
    if (form_->controls.ListBoxIndex == row) return;
    form_->SelectListRow(row);
    ControlsChanged();
  });
  listSelecionados_->installEventFilter(this);
  listSelecionados_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(listSelecionados_, &QListWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    QListWidgetItem* item = listSelecionados_->itemAt(at);
    if (!item) return;
    listSelecionados_->setCurrentItem(item);
    QMenu menu(this);
    const std::pair<QPushButton*, std::function<void()>> entries[] = {
        {cmdRemover_, [this] { OnRemoveFile(); }},
        {cmdSubir_, [this] { OnMoveFile(-1); }},
        {cmdDescer_, [this] { OnMoveFile(1); }}};
    for (const auto& [button, act] : entries) {
      QAction* action = menu.addAction(button->text(), this, act);
      action->setEnabled(button->isEnabled());
    }
    menu.exec(listSelecionados_->viewport()->mapToGlobal(at));
  });
  for (QPushButton* b : {cmdLocalArquivo_, buttonLocalidade_, cmdRemover_, cmdSubir_, cmdDescer_})
    b->setAutoDefault(false);
  connect(optionArquivo_, &QRadioButton::clicked, this, [this] { form_->OptionUnificaArquivo_Click(); });
  connect(optionMatrizFilial_, &QRadioButton::clicked, this,
          [this] { form_->OptionUnificaMatrizFilial_Click(); });
  connect(checkValidarMatriz_, &QCheckBox::clicked, this, [this](bool checked) {
    form_->controls.checkValidarMatriz.Value = checked;
    form_->checkValidarMatriz_Click();
  });
}

QWidget* WizardWindow::BuildPage0() {
  auto* page = new QFrame;
  auto* v = new QVBoxLayout(page);
  v->setContentsMargins(0, 0, 0, 0);
  auto* title = TextLabel(U("Bem-vindo ao 'Quelvar de Arquivos Pis/Cofins Lumora'"));
  title->setFont(Bold(title->font(), 1.35));
  v->addWidget(title);
  v->addSpacing(10);
  v->addWidget(TextLabel(U("Este assistente o ajudará no processo de unificar os arquivos Pis/Cofins, que se "
                           "encontram como Matriz e Filiais. Serve para criar um arquivo único de apuração "
                           "de Pis/Cofins da rede.")));
  v->addSpacing(8);
  v->addWidget(TextLabel(U("O usuário deverá gerar os arquivos Pis/Cofins e validar no programa PVA (Programa "
                           "da Receita Federal) para verificar possíveis erros e correção da mesma, e após "
                           "utilizar o Quelvar de Arquivos.")));
  v->addSpacing(16);
  auto* kind = TextLabel(U("Selecione o tipo de Unificação.:"));
  kind->setFont(Bold(kind->font()));
  v->addWidget(kind);
  optionArquivo_ = new QRadioButton;
  optionArquivo_->setObjectName(QStringLiteral("OptionUnificaArquivo"));
  optionMatrizFilial_ = new QRadioButton;
  optionMatrizFilial_->setObjectName(QStringLiteral("OptionUnificaMatrizFilial"));
  auto* group = new QButtonGroup(page);
  group->addButton(optionArquivo_);
  group->addButton(optionMatrizFilial_);
  auto* options = new QVBoxLayout;
  options->setContentsMargins(16, 2, 0, 0);
  options->addWidget(optionArquivo_);
  options->addWidget(optionMatrizFilial_);
  v->addLayout(options);
  v->addStretch(1);
  v->addWidget(TextLabel(U("Para continuar, clique em 'Avançar'.")));
  return page;
}

QWidget* WizardWindow::BuildPage1() {
  auto* page = new QFrame;
  auto* v = new QVBoxLayout(page);
  v->setContentsMargins(0, 0, 0, 0);
  v->setSpacing(4);
  checkValidarMatriz_ = new QCheckBox;
  checkValidarMatriz_->setObjectName(QStringLiteral("checkValidarMatriz"));
  v->addWidget(checkValidarMatriz_);
  v->addSpacing(4);
  v->addWidget(TextLabel(U("Local dos Arquivos Magnéticos")));
  auto* row = new QHBoxLayout;
  txtLocalMagnetico_ = new QLineEdit;
  txtLocalMagnetico_->setObjectName(QStringLiteral("txtLocalMagnetico"));
  ReadOnlyBox(txtLocalMagnetico_);  // filled by the open-file dialog only
  cmdLocalArquivo_ = new QPushButton;
  cmdLocalArquivo_->setObjectName(QStringLiteral("cmdLocalArquivoMagnetico"));
  cmdLocalArquivo_->setFixedWidth(36);
  row->addWidget(txtLocalMagnetico_, 1);
  row->addWidget(cmdLocalArquivo_);
  v->addLayout(row);
  v->addSpacing(4);
  v->addWidget(TextLabel(U("Relação de arquivos povoados para unificação")));
  listSelecionados_ = new QListWidget;
  listSelecionados_->setObjectName(QStringLiteral("ListBoxSelecionados"));
  listSelecionados_->setMinimumHeight(70);
  listSelecionados_->setSelectionMode(QAbstractItemView::SingleSelection);
  listSelecionados_->setAlternatingRowColors(true);  // rows of two lines, told apart
  cmdRemover_ = new QPushButton;
  cmdRemover_->setObjectName(QStringLiteral("cmdRemoverArquivo"));
  cmdSubir_ = new QPushButton;
  cmdSubir_->setObjectName(QStringLiteral("cmdSubirArquivo"));
  cmdDescer_ = new QPushButton;
  cmdDescer_->setObjectName(QStringLiteral("cmdDescerArquivo"));
  lblQuantidade_ = TextLabel(QString(), "lblQuantidadeArquivos");
  auto* listRow = new QHBoxLayout;
  listRow->addWidget(listSelecionados_, 1);
  auto* listButtons = new QVBoxLayout;
  for (QPushButton* b : {cmdRemover_, cmdSubir_, cmdDescer_}) listButtons->addWidget(b);
  listButtons->addStretch(1);
  listRow->addLayout(listButtons);
  v->addLayout(listRow, 1);
  v->addWidget(lblQuantidade_);
  label15_ = TextLabel(QString(), "Label15");
  QFont small = label15_->font();
  small.setPointSizeF(small.pointSizeF() * 0.9);
  label15_->setFont(small);
  v->addWidget(label15_);
  v->addSpacing(4);
  bars_[0] = new QProgressBar;
  barLabels_[0] = TextLabel(QString());
  v->addWidget(barLabels_[0]);
  v->addWidget(bars_[0]);
  return page;
}

QWidget* WizardWindow::BuildPage2() {
  auto* page = new QFrame;
  auto* v = new QVBoxLayout(page);
  v->setContentsMargins(0, 0, 0, 0);
  v->addWidget(TextLabel(U("Local do Arquivo Magnético")));
  auto* row = new QHBoxLayout;
  txtCaminhoSalvo_ = new QLineEdit;
  txtCaminhoSalvo_->setObjectName(QStringLiteral("TxtCaminhoSalvo"));
  // Read-only: the run writes into the chosen folder, so a typed one would
  // pass the page test without reaching the run.
  ReadOnlyBox(txtCaminhoSalvo_);
  buttonLocalidade_ = new QPushButton;
  buttonLocalidade_->setObjectName(QStringLiteral("ButtonLocalidadeSalvar"));
  buttonLocalidade_->setFixedWidth(36);
  row->addWidget(txtCaminhoSalvo_, 1);
  row->addWidget(buttonLocalidade_);
  v->addLayout(row);
  v->addSpacing(14);
  v->addWidget(TextLabel(U("Observação: Pra que o assistente possa continuar é necessário que destine um caminho "
                           "pro arquivo, onde será salvo.")));
  // After a failed run the log is shown here (ShowAids moves it in).
  v->addSpacing(10);
  logOnFolderPage_ = new QVBoxLayout;
  v->addLayout(logOnFolderPage_, 10);
  v->addStretch(1);
  return page;
}

QWidget* WizardWindow::BuildPage3() {
  auto* page = new QFrame;
  auto* v = new QVBoxLayout(page);
  v->setContentsMargins(0, 0, 0, 0);
  auto* attention = TextLabel(U("Atenção"));
  attention->setFont(Bold(attention->font(), 1.2));
  v->addWidget(attention);
  v->addSpacing(8);
  v->addWidget(TextLabel(U("Ao concluir o assistente o processo de unificação será iniciado. Este processo "
                           "poderá durar alguns minutos; ele pode ser cancelado com 'Cancelar' (ou Esc), e então "
                           "o arquivo unificado não é gravado.")));
  v->addSpacing(10);
  v->addWidget(BuildRunSummary());
  v->addStretch(1);
  v->addWidget(TextLabel(U("Para finalizar, clique em 'Concluir'.")));
  return page;
}

QWidget* WizardWindow::BuildPage4() {
  auto* page = new QFrame;
  auto* v = new QVBoxLayout(page);
  v->setContentsMargins(0, 0, 0, 0);
  v->setSpacing(6);  // hidden bars leave no gap: spacing only between shown widgets
  for (int kind = 1; kind < 5; ++kind) {
    bars_[kind] = new QProgressBar;
    barLabels_[kind] = TextLabel(QString());
    v->addWidget(barLabels_[kind]);
    v->addWidget(bars_[kind]);
  }
  lblResultadoFinal_ = TextLabel(QString(), "lblResultadoFinal");
  lblResultadoFinal_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  lblResultadoFinal_->setFrameShape(QFrame::StyledPanel);
  lblResultadoFinal_->setMargin(10);
  v->addWidget(lblResultadoFinal_);
  // The run's summary per establishment, shown with the result.
  auto* grdResumo = new QTableWidget;
  grdResumo->setObjectName(QStringLiteral("grdResumo"));
  grdResumo->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grdResumo->setSelectionBehavior(QAbstractItemView::SelectRows);
  grdResumo->verticalHeader()->setVisible(false);
  grdResumo->setVisible(false);
  v->addWidget(grdResumo, 1);
  v->addWidget(BuildResultAids(), 10);
  v->addStretch(1);
  for (int kind = 0; kind < 5; ++kind) {
    bars_[kind]->setObjectName(QString::fromLatin1(kBarNames[kind]));
    bars_[kind]->setRange(0, 100);
    bars_[kind]->setValue(0);
    barLabels_[kind]->setObjectName(QString::fromLatin1(kBarLabelNames[kind]));
    progress_.Attach(kind, bars_[kind], barLabels_[kind]);
  }
  return page;
}

namespace {

// Fills `grid` with the summary `rows` (numbers right-aligned, the total row
// in bold), shown while `shown` and there are rows; unchanged rows are not
// filled again.
void ShowSummaryTable(QTableWidget* grid, const std::vector<SummaryRow>& rows, bool shown) {
  if (!grid) return;
  grid->setVisible(shown && !rows.empty());
  if (!grid->isVisible()) return;
  const std::vector<std::string>& columns = SummaryColumns();
  std::vector<std::vector<std::string>> cells;
  for (const SummaryRow& row : rows) cells.push_back(SummaryCells(row));
  if (grid->rowCount() == static_cast<int>(rows.size()) && grid->item(0, 0) &&
      grid->item(0, 0)->text() == EngineText(cells[0][0]) &&
      grid->item(grid->rowCount() - 1, 3)->text() == EngineText(cells.back()[3]))
    return;
  grid->clear();
  grid->setColumnCount(static_cast<int>(columns.size()));
  grid->setRowCount(static_cast<int>(rows.size()));
  QStringList headers;
  for (const std::string& column : columns) headers << EngineText(column);
  grid->setHorizontalHeaderLabels(headers);
  for (int r = 0; r < grid->rowCount(); ++r) {
    for (int k = 0; k < grid->columnCount(); ++k) {
      auto* item = new QTableWidgetItem(EngineText(cells[static_cast<size_t>(r)][static_cast<size_t>(k)]));
      if (k >= kFirstNumberColumn) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      if (rows[static_cast<size_t>(r)].total) {
        QFont bold = item->font();
        bold.setBold(true);
        item->setFont(bold);
      }
      grid->setItem(r, k, item);
    }
  }
  grid->resizeColumnsToContents();
  // Compact rows, tall enough for a few establishments; more scroll, so that
  // the result page keeps its buttons and log in view.
  grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 8);
  const int shownRows = std::min(grid->rowCount(), 6);
  grid->setMinimumHeight(grid->horizontalHeader()->height() + shownRows * grid->verticalHeader()->defaultSectionSize() +
                         2 * grid->frameWidth() + grid->horizontalScrollBar()->sizeHint().height());
}

}  // namespace

void WizardWindow::ControlsChanged() {
  const FormControls& c = form_->controls;
  progress_.Flush();

  image1_->setVisible(c.Image1.Visible);
  frame2_->setVisible(c.Frame2.Visible);
  frame3_->setVisible(c.Frame3.Visible);
  for (int i = 0; i < frmAssistente::kPages; ++i) pages_[i]->setVisible(c.fraAssistente[i].Visible);
  // The header: the page title in bold, then the start time.
  QString rotulo = EngineText(c.lblRotulo.Caption);
  qsizetype br = rotulo.indexOf(QLatin1Char('\n'));
  QString first = br < 0 ? rotulo : rotulo.left(br);
  QString rest = br < 0 ? QString() : rotulo.mid(br + 1);
  if (first.isEmpty())  // a page without title: the start time alone
    lblRotulo_->setText(rest.toHtmlEscaped());
  else
    lblRotulo_->setText(QStringLiteral("<b style='font-size:large'>%1</b><br>%2")
                            .arg(first.toHtmlEscaped(), rest.toHtmlEscaped()));

  const std::pair<QPushButton*, const Control*> buttons[] = {
      {cmdVoltar_, &c.cmdVoltar}, {cmdAvancar_, &c.cmdAvancar}, {cmdCancelar_, &c.cmdCancelar},
      {cmdLocalArquivo_, &c.cmdLocalArquivoMagnetico}, {buttonLocalidade_, &c.ButtonLocalidadeSalvar},
      {cmdRemover_, &c.cmdRemoverArquivo}, {cmdSubir_, &c.cmdSubirArquivo}, {cmdDescer_, &c.cmdDescerArquivo},
      {cmdConciliacao_, &c.cmdConciliacao}};
  for (const auto& [button, control] : buttons) {
    Apply(button, *control);
    button->setText(EngineText(control->Caption));
  }
  {
    QSignalBlocker b1(optionArquivo_), b2(optionMatrizFilial_), b3(checkValidarMatriz_);
    optionArquivo_->setText(EngineText(c.OptionUnificaArquivo.Caption));
    optionMatrizFilial_->setText(EngineText(c.OptionUnificaMatrizFilial.Caption));
    Apply(optionArquivo_, c.OptionUnificaArquivo);
    Apply(optionMatrizFilial_, c.OptionUnificaMatrizFilial);
    if (c.OptionUnificaArquivo.Value) optionArquivo_->setChecked(true);
    if (c.OptionUnificaMatrizFilial.Value) optionMatrizFilial_->setChecked(true);
    checkValidarMatriz_->setText(EngineText(c.checkValidarMatriz.Caption));
    Apply(checkValidarMatriz_, c.checkValidarMatriz);
    checkValidarMatriz_->setChecked(c.checkValidarMatriz.Value);
  }
  Apply(txtLocalMagnetico_, c.txtLocalMagnetico);
  txtLocalMagnetico_->setText(PathText(c.txtLocalMagnetico.Text));
  Apply(txtCaminhoSalvo_, c.TxtCaminhoSalvo);
  txtCaminhoSalvo_->setText(PathText(c.TxtCaminhoSalvo.Text));
  label15_->setText(EngineText(c.Label15.Caption));

  ShowFileList();
  lblQuantidade_->setText(EngineText(c.lblQuantidadeArquivos.Caption));

  const Control* bars[5] = {&c.sspProgressoPovoacaoTabela, &c.sspProgressoBlocosGeral, &c.sspProgressoEmpresa,
                            &c.sspProgressoBlocosParcial, &c.sspProgressoBlocosParcialInterno};
  const Control* labels[5] = {&c.lblProgressoPovoacaoTabela, &c.lblProgressoBlocosGeral, &c.lblProgressoEmpresa,
                              &c.lblProgressoBlocosParcial, &c.lblProgressoBlocosParcialInterno};
  for (int kind = 0; kind < 5; ++kind) {
    progress_.Allow(kind, bars[kind]->Visible, labels[kind]->Visible);
    // A caption set by the form replaces what the progress port wrote last.
    if (labels[kind]->Caption != shownCaption_[kind]) {
      shownCaption_[kind] = labels[kind]->Caption;
      barLabels_[kind]->setText(EngineText(labels[kind]->Caption));
    }
  }
  lblResultadoFinal_->setVisible(c.lblResultadoFinal.Visible);
  lblResultadoFinal_->setText(EngineText(c.lblResultadoFinal.Caption));
  ShowSummaryTable(findChild<QTableWidget*>(QStringLiteral("grdResumo")), form_->m_Resultado.summary,
                   c.lblResultadoFinal.Visible);
  // Enter presses "Avançar"/"Concluir" while shown, "Fechar" after the run.
  cmdAvancar_->setDefault(c.cmdAvancar.Visible);
  cmdCancelar_->setDefault(!c.cmdAvancar.Visible);
  if (form_->m_Page != shownPage_ && !form_->m_Unloaded) FocusPage(form_->m_Page);
  ShowAids();
  update();
}

void WizardWindow::ShowFileList() {
  const FormControls& c = form_->controls;
  const frmAssistente& form = *form_;
  QStringList rows;
  for (size_t i = 0; i < c.ListBoxSelecionados.size(); ++i) {
    std::string row = form.ListRowText(i);
    rows << (row.empty() ? PathText(c.ListBoxSelecionados[i]) : EngineText(row));
  }
  bool same = listSelecionados_->count() == rows.size();
  for (int i = 0; same && i < listSelecionados_->count(); ++i) same = listSelecionados_->item(i)->text() == rows[i];
  QSignalBlocker block(listSelecionados_);
  if (!same) {
    const bool grew = rows.size() > listSelecionados_->count();
    listSelecionados_->clear();
    for (qsizetype i = 0; i < rows.size(); ++i) {
      auto* item = new QListWidgetItem(rows[i], listSelecionados_);
      item->setToolTip(PathText(c.ListBoxSelecionados[static_cast<size_t>(i)]));
    }
    if (grew) listSelecionados_->scrollToBottom();  // the list follows the newest row
  }
  if (listSelecionados_->currentRow() != c.ListBoxIndex) listSelecionados_->setCurrentRow(c.ListBoxIndex);
  if (c.ListBoxIndex >= 0) listSelecionados_->scrollToItem(listSelecionados_->item(c.ListBoxIndex));
}

void WizardWindow::FocusPage(int page) {
  shownPage_ = page;
  QWidget* target = nullptr;
  switch (page) {
    case 0: target = optionArquivo_->isChecked() ? optionArquivo_ : optionMatrizFilial_; break;
    case 1: target = cmdLocalArquivo_; break;
    case 2: target = buttonLocalidade_; break;
    case 3: target = cmdAvancar_; break;
    default: target = cmdCancelar_; break;
  }
  // A widget of a page still hidden takes the focus when the page shows.
  if (target && target->isEnabled()) target->setFocus(Qt::OtherFocusReason);
}

void WizardWindow::DoEvents() {
  progress_.Flush();
  QCoreApplication::processEvents();
}

void WizardWindow::Busy(bool on) {
  if (on == busy_) return;
  busy_ = on;
  if (on)
    QApplication::setOverrideCursor(Qt::WaitCursor);
  else
    QApplication::restoreOverrideCursor();
  QCoreApplication::processEvents();  // the cursor shows before the work goes on
}

bool WizardWindow::Confirm(const QString& question) {
  if (options_.confirm) return options_.confirm(question);
  return QMessageBox::question(this, QStringLiteral("Quelvar"), question, QMessageBox::Yes | QMessageBox::No,
                               QMessageBox::No) == QMessageBox::Yes;
}

bool WizardWindow::Ask(std::string_view question) { return Confirm(EngineText(question)); }

void WizardWindow::reject() { OnCancel(); }

bool WizardWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == listSelecionados_ && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
    OnRemoveFile();
    return true;
  }
  return QDialog::eventFilter(watched, event);
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
  if (form_->CloseWhenIdle()) close();
}

void WizardWindow::closeEvent(QCloseEvent* event) {
  if (form_->CloseRequested())
    event->accept();
  else
    event->ignore();
}
