#include "reports/windows/frmtreport.h"

#include <QApplication>
#include <QClipboard>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMouseEvent>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "core/eventlog.h"
#include "core/messages.h"
#include "core/settingkeys.h"
#include "core/windows/buttoncolouring.h"
#include "core/windows/showmodal.h"
#include "core/wizard.h"
#include "data/subjectfile/subjectfile.h"
#include "reports/windows/frmtrprint.h"
#include "reports/windows/printentry.h"
#include "reports/windows/printoutput.h"
#include "support/strings/strings.h"
#include "support/units/units.h"

namespace tarn {
namespace {

constexpr char kModule[] = "frmTReport";
constexpr int kMaxTracePoints = 200000;

QColor colourOf(quint32 stored) {
  return QColor(int(stored & 0xff), int((stored >> 8) & 0xff), int((stored >> 16) & 0xff));
}

QPushButton* button(const QString& text, QWidget* parent) {
  auto* b = new QPushButton(text, parent);
  b->setMinimumHeight(30);
  b->setMinimumWidth(110);
  b->setAutoDefault(false);
  return b;
}

QTableWidget* resultsGrid(int columns, QWidget* parent) {
  auto* g = new QTableWidget(kResultRows, columns, parent);
  g->verticalHeader()->setVisible(false);
  g->verticalHeader()->setDefaultSectionSize(g->fontMetrics().height() + 3);
  g->verticalHeader()->setMinimumSectionSize(g->fontMetrics().height() + 2);
  g->setEditTriggers(QAbstractItemView::NoEditTriggers);
  g->setSelectionMode(QAbstractItemView::ContiguousSelection);
  g->setAlternatingRowColors(true);
  g->setWordWrap(false);
  g->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  for (int r = 1; r <= kResultRows; ++r) {
    auto* label = new QTableWidgetItem(ResultRowLabel(r));
    g->setItem(r - 1, 0, label);
  }
  return g;
}

void setCell(QTableWidget* g, int row, int col, const QString& text) {
  auto* item = g->item(row, col);
  if (!item) {
    item = new QTableWidgetItem;
    g->setItem(row, col, item);
  }
  item->setText(text);
}

const char* buttonProcedure(int code) {
  switch (code) {
    case kWizOK:
      return "cmdOK_Click";
    case kWizNext:
      return "cmdNext_Click";
    case kWizBack:
      return "cmdBack_Click";
    default:
      return "cmdCancel_Click";
  }
}

bool defaultSave(SubjectFile& file, QString& error) {
  if (file.Save()) return true;
  error = file.LastError();
  return false;
}

}  // namespace

frmTReport::frmTReport(QWidget* parent) : QDialog(parent), exit_(kWizNone), saver_(&defaultSave) {
  ProcLog log(kModule, "Form_Load");
  setWindowTitle(Str(17000));
  model_.setOptions(ReportOptions::fromSettings(false));

  auto* root = new QVBoxLayout(this);
  menuBar = new QMenuBar(this);
  QMenu* test = menuBar->addMenu(Str(17950));
  mnuCoPOptions = new ReportCoPMenu(this);
  test->addMenu(mnuCoPOptions);
  root->setMenuBar(menuBar);

  auto* body = new QHBoxLayout;
  auto* left = new QVBoxLayout;
  lblInstructions = new QLabel(Str(17900), this);
  lblInstructions->setWordWrap(true);
  lblInstructions->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  lblInstructions->setFixedWidth(210);
  lblInstructions->setMargin(6);
  lblInstructions->setFrameShape(QFrame::StyledPanel);
  left->addWidget(lblInstructions);
  lblNotShown = new QLabel(Str(17901), this);
  lblNotShown->setWordWrap(true);
  lblNotShown->setFixedWidth(210);
  lblNotShown->setMargin(6);
  lblNotShown->setStyleSheet("color: #8a4b00;");
  lblNotShown->hide();
  left->addWidget(lblNotShown);
  left->addStretch(1);
  body->addLayout(left);

  tabs = new QTabWidget(this);
  tabs->addTab(buildVisionTab(), Str(17050));
  for (int k = 1; k <= kShownBalanceTests; ++k) tabs->addTab(buildBalanceTab(k), Str(17050 + k));
  tabs->addTab(buildComparisonTab(), Str(17055));
  tabs->addTab(buildEvalTab(), Str(17500));
  for (int t = 0; t < kReportTabs; ++t) tabs->setTabEnabled(t, false);
  connect(tabs, &QTabWidget::currentChanged, this, &frmTReport::currentTabChanged);
  body->addWidget(tabs, 1);
  root->addLayout(body, 1);

  auto* buttons = new QHBoxLayout;
  cmdPrint = button(Str(17010), this);
  cmdBack = button(Str(17012), this);
  cmdNext = button(Str(17013), this);
  cmdOK = button(Str(17011), this);
  cmdCancel = button(Str(17014), this);
  buttons->addWidget(cmdPrint);
  buttons->addStretch(1);
  for (QPushButton* b : {cmdBack, cmdNext, cmdOK, cmdCancel}) buttons->addWidget(b);
  // Named as the wizard's step windows name them, so a script finds the step's buttons.
  cmdBack->setObjectName(QStringLiteral("cmdBack"));
  cmdNext->setObjectName(QStringLiteral("cmdNext"));
  cmdOK->setObjectName(QStringLiteral("cmdOK"));
  cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
  root->addLayout(buttons);
  connect(cmdPrint, &QPushButton::clicked, this, &frmTReport::cmdPrint_Click);
  connect(cmdOK, &QPushButton::clicked, this, [this] { closeWith(kWizOK); });
  connect(cmdNext, &QPushButton::clicked, this, [this] { closeWith(kWizNext); });
  connect(cmdBack, &QPushButton::clicked, this, [this] { closeWith(kWizBack); });
  connect(cmdCancel, &QPushButton::clicked, this, [this] { closeWith(kWizCancel); });

  // Roomy where the screen allows, never wider or taller than the screen (a 1280 x 1024 monitor).
  const QRect avail = screen() ? screen()->availableGeometry() : QRect(0, 0, 1320, 960);
  resize(std::min(1320, avail.width()), std::min(960, avail.height()));
  setMinimumSize(1000, 700);
  CmdButtonColouring::install(this);
  mnuCoPOptions->setDisplay(nullptr);
  updateCommands();
  log.completed();
}

frmTReport::~frmTReport() = default;

QWidget* frmTReport::buildBalanceTab(int k) {
  auto* page = new QWidget(this);
  auto* v = new QVBoxLayout(page);
  fraTBResults[size_t(k)] = new QGroupBox(Str(17200), page);
  v->addWidget(fraTBResults[size_t(k)]);
  auto* g = new QGridLayout(fraTBResults[size_t(k)]);
  resultLayouts_[size_t(k)] = g;

  lblTBTitle[size_t(k)] = new QLabel(Str(17210), page);
  QFont tf = lblTBTitle[size_t(k)]->font();
  tf.setPointSizeF(tf.pointSizeF() * 1.4);
  tf.setBold(true);
  lblTBTitle[size_t(k)]->setFont(tf);
  lblTBTitle[size_t(k)]->installEventFilter(this);
  lblTBType[size_t(k)] = new QLabel(Str(17220), page);
  QFont yf = lblTBType[size_t(k)]->font();
  yf.setPointSizeF(yf.pointSizeF() * 1.15);
  yf.setBold(true);
  lblTBType[size_t(k)]->setFont(yf);
  g->addWidget(lblTBTitle[size_t(k)], 0, 0, 1, 2);
  g->addWidget(lblTBType[size_t(k)], 1, 0, 1, 2);

  grdTBResults[size_t(k)] = resultsGrid(2, page);
  grdTBResults[size_t(k)]->setHorizontalHeaderLabels({Str(17250), Str(17251)});
  grdTBResults[size_t(k)]->installEventFilter(this);
  g->addWidget(grdTBResults[size_t(k)], 2, 0, 4, 1);

  auto* d = new KMXCoPDisplay(page);
  d->setFocusPolicy(Qt::ClickFocus);
  d->setMinimumSize(300, 300);
  d->installEventFilter(this);
  KMXCoPDisplayTB[size_t(k)] = d;
  g->addWidget(d, 2, 1);
  lblPointer[size_t(k)] = new QLabel(page);
  lblPointer[size_t(k)]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  connect(d, &KMXCoPDisplay::PointerPosition, this, [this, k](double x, double y) {
    const int L = model_.options().units.length;
    lblPointer[size_t(k)]->setText("(" + FormatLength(x, L, kSwayDecimals) + ", " +
                                   FormatLength(y, L, kSwayDecimals) + ")");
  });
  g->addWidget(lblPointer[size_t(k)], 3, 1);
  txtTBNotes[size_t(k)] = new QPlainTextEdit(page);
  txtTBNotes[size_t(k)]->setFixedHeight(64);
  connect(txtTBNotes[size_t(k)], &QPlainTextEdit::textChanged, this,
          [this, k] { model_.setTestNotes(k - 1, txtTBNotes[size_t(k)]->toPlainText()); });
  g->addWidget(txtTBNotes[size_t(k)], 5, 1);
  g->setColumnStretch(0, 0);
  g->setColumnStretch(1, 1);
  g->setRowStretch(2, 1);

  // The stability level row: the five classes and their reference values.
  auto* levelBox = new QWidget(page);
  levelRows_[size_t(k)] = levelBox;
  auto* level = new QGridLayout(levelBox);
  level->setContentsMargins(0, 4, 0, 4);
  level->setHorizontalSpacing(4);
  level->setVerticalSpacing(2);
  level->addWidget(new QLabel(Str(17230), levelBox), 0, 0);
  level->addWidget(new QLabel(Str(17231), levelBox), 1, 0);
  for (int c = 0; c < 5; ++c) {
    auto* title = new QLabel(Str(17240 + c), levelBox);
    title->setAlignment(Qt::AlignCenter);
    title->setAutoFillBackground(true);
    QPalette p = title->palette();
    p.setColor(QPalette::Window, colourOf(StabilityClassColour(c + 1)));
    p.setColor(QPalette::WindowText, Qt::black);
    title->setPalette(p);
    title->setMargin(2);
    auto* value = new QLabel(levelBox);
    value->setAlignment(Qt::AlignCenter);
    value->setFrameShape(QFrame::Panel);
    value->setFrameShadow(QFrame::Sunken);
    level->addWidget(title, 0, c + 1);
    level->addWidget(value, 1, c + 1);
    level->setColumnStretch(c + 1, 1);
    lblTBNormTitle[size_t(k)][size_t(c)] = title;
    lblTBNorm[size_t(k)][size_t(c)] = value;
  }
  g->addWidget(levelBox, 4, 1);
  return page;
}

QWidget* frmTReport::buildComparisonTab() {
  auto* page = new QWidget(this);
  auto* v = new QVBoxLayout(page);
  fraTBResults[0] = new QGroupBox(Str(17201), page);
  v->addWidget(fraTBResults[0]);
  auto* g = new QVBoxLayout(fraTBResults[0]);
  lblTBTitle[0] = new QLabel(Str(17211), page);
  QFont tf = lblTBTitle[0]->font();
  tf.setPointSizeF(tf.pointSizeF() * 1.4);
  tf.setBold(true);
  lblTBTitle[0]->setFont(tf);
  lblTBType[0] = new QLabel(Str(17221), page);
  QFont yf = lblTBType[0]->font();
  yf.setPointSizeF(yf.pointSizeF() * 1.15);
  yf.setBold(true);
  lblTBType[0]->setFont(yf);
  g->addWidget(lblTBTitle[0]);
  g->addWidget(lblTBType[0]);
  grdTBResults[0] = resultsGrid(1, page);
  grdTBResults[0]->setHorizontalHeaderLabels({Str(17250)});
  grdTBResults[0]->installEventFilter(this);
  g->addWidget(grdTBResults[0], 1);

  auto* dep = new QGridLayout;
  lblTBCompVisualTitle = new QLabel(Str(17400), page);
  lblTBCompVisualRomberg = new QLabel(RombergRatioText(std::nullopt), page);
  lblTBCompVisualSR = new QLabel(StabilityRatioText(std::nullopt), page);
  lblTBCompFoamTitle = new QLabel(Str(17401), page);
  lblTBCompFoamRomberg = new QLabel(RombergRatioText(std::nullopt), page);
  lblTBCompFoamSR = new QLabel(StabilityRatioText(std::nullopt), page);
  for (QLabel* l : {lblTBCompVisualTitle, lblTBCompFoamTitle}) {
    QFont f = l->font();
    f.setBold(true);
    l->setFont(f);
  }
  dep->addWidget(lblTBCompVisualTitle, 0, 0);
  dep->addWidget(lblTBCompVisualRomberg, 0, 1);
  dep->addWidget(lblTBCompVisualSR, 0, 2);
  dep->addWidget(lblTBCompFoamTitle, 1, 0);
  dep->addWidget(lblTBCompFoamRomberg, 1, 1);
  dep->addWidget(lblTBCompFoamSR, 1, 2);
  dep->setColumnStretch(3, 1);
  dep->setHorizontalSpacing(24);
  g->addLayout(dep);
  return page;
}

QWidget* frmTReport::buildVisionTab() {
  auto* page = new QWidget(this);
  auto* v = new QVBoxLayout(page);
  grdVision = new QTableWidget(0, 5, page);
  grdVision->setHorizontalHeaderLabels({Str(17600), Str(17601), Str(17602), Str(17603), Str(17604)});
  grdVision->verticalHeader()->setVisible(false);
  grdVision->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grdVision->horizontalHeader()->setStretchLastSection(true);
  grdVision->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  v->addWidget(grdVision, 1);
  auto* note = new QLabel(Str(17620), page);
  note->setWordWrap(true);
  v->addWidget(note);
  return page;
}

QWidget* frmTReport::buildEvalTab() {
  auto* page = new QWidget(this);
  auto* v = new QVBoxLayout(page);
  fraEvaluation = new QGroupBox(Str(17510), page);
  fraIntervention = new QGroupBox(Str(17520), page);
  txtEvaluation = new QPlainTextEdit(fraEvaluation);
  txtIntervention = new QPlainTextEdit(fraIntervention);
  (new QVBoxLayout(fraEvaluation))->addWidget(txtEvaluation);
  (new QVBoxLayout(fraIntervention))->addWidget(txtIntervention);
  lblEvalIntervNotes = new QLabel(page);
  lblEvalIntervNotes->setWordWrap(true);
  v->addWidget(fraEvaluation, 1);
  v->addWidget(fraIntervention, 1);
  v->addWidget(lblEvalIntervNotes);
  connect(txtEvaluation, &QPlainTextEdit::textChanged, this,
          [this] { model_.setEvaluation(txtEvaluation->toPlainText()); });
  connect(txtIntervention, &QPlainTextEdit::textChanged, this,
          [this] { model_.setIntervention(txtIntervention->toPlainText()); });
  return page;
}

void frmTReport::setPatientFile(SubjectFile* file) {
  if (!file) {
    ProcLog log(kModule, "PatientFile");
    log.step("No object - Unloading");
    model_.setPatientFile(nullptr);
    unloading_ = true;
    QDialog::reject();
    log.completed();
    return;
  }
  model_.setPatientFile(file);
}

void frmTReport::setReprint(bool reprint) {
  ReportOptions o = model_.options();
  o.reprint = reprint;
  model_.setOptions(o);
  updateCommands();
}

bool frmTReport::AddTestBalance(const QString& visitID, const QString& sessionID, const QString& testID) {
  return model_.AddTestBalance(visitID, sessionID, testID);
}

bool frmTReport::AddTestVision(const QString& visitID, const QString& sessionID, const QString& testID) {
  return model_.AddTestVision(visitID, sessionID, testID);
}

void frmTReport::AddTestCompleted() {
  // The model logs the steps of the computation; the tabs are filled from it.
  model_.AddTestCompleted();
  for (int k = 1; k <= kShownBalanceTests; ++k) fillBalanceTab(k);
  fillComparison();
  fillVision();
  {
    const QSignalBlocker b1(txtEvaluation), b2(txtIntervention);
    txtEvaluation->setPlainText(model_.evaluation());
    txtIntervention->setPlainText(model_.intervention());
  }
  // Texts that cannot be saved are not offered for editing.
  txtEvaluation->setReadOnly(!model_.evalIntervSaved());
  txtIntervention->setReadOnly(!model_.evalIntervSaved());
  lblEvalIntervNotes->setText(model_.evalIntervNote());
  lblNotShown->setVisible(model_.balanceTestsNotShown() > 0);
  for (int t = 0; t < kReportTabs; ++t) tabs->setTabEnabled(t, model_.tabEnabled(t));
  tabs->setCurrentIndex(firstTab());
  currentTabChanged(tabs->currentIndex());
}

void frmTReport::fillBalanceTab(int k) {
  const auto& tests = model_.balanceTests();
  if (k > int(tests.size())) return;
  const ReportBalanceTest& b = tests[size_t(k - 1)];
  lblTBTitle[size_t(k)]->setText(b.title);
  lblTBType[size_t(k)]->setText(b.typeLine);
  QTableWidget* g = grdTBResults[size_t(k)];
  for (int r = 1; r <= kResultRows; ++r) setCell(g, r - 1, 1, b.rows[size_t(r)]);
  if (b.stabilityClass > 0) {
    QTableWidgetItem* cls = g->item(RowStabilityClass - 1, 1);
    cls->setBackground(colourOf(StabilityClassColour(b.stabilityClass)));
    cls->setForeground(Qt::black);
    QFont f = cls->font();
    f.setBold(true);
    cls->setFont(f);
    g->item(RowStability - 1, 1)->setFont(f);
  }
  resizeCols(g);
  for (int c = 0; c < 5; ++c) {
    QLabel* value = lblTBNorm[size_t(k)][size_t(c)];
    value->setText(b.levelLabels[size_t(c)]);
    QFont f = value->font();
    f.setBold(c + 1 == b.stabilityClass);
    value->setFont(f);
  }
  {
    const QSignalBlocker block(txtTBNotes[size_t(k)]);
    txtTBNotes[size_t(k)]->setPlainText(b.notes);
  }
  loadDataInCoPDisplay(k);
}

void frmTReport::loadDataInCoPDisplay(int k) {
  ProcLog log(kModule, "LoadDataInCoPDisplay", QString::number(k));
  const ReportBalanceTest& b = model_.balanceTests()[size_t(k - 1)];
  KMXCoPDisplay* d = KMXCoPDisplayTB[size_t(k)];
  const ReportOptions& o = model_.options();
  const KM_RQListTestBalance& r = b.test.record;
  d->Clear();
  d->setData_ThresholdFz(-o.thresholdN);
  d->setDataFrequency(r.fFrequency > 0 ? r.fFrequency : 100.0);
  const int n = b.test.samples ? b.test.samples->Count() : 0;
  d->setData_MaxNPoints(std::max(kMaxTracePoints, n));
  d->setPathMaxLenght(std::max(kMaxTracePoints, n));
  d->setTargetVisible(false);
  d->setTgPathVisible(false);
  d->setMarkVisible(b.hasResults);
  if (b.losML > 0 && b.losAP > 0) {
    d->setLoSX(b.losML);
    d->setLoSY(b.losAP);
  }
  // The score compares the sway ellipse with the limits about the sway's own centre.
  const double cx = b.hasResults ? r.fXo : 0.0, cy = b.hasResults ? r.fYo : 0.0;
  d->setLoS_Xo(cx);
  d->setLoS_Yo(cy);
  std::vector<KMXCoPDisplay::ReferenceLevel> levels;
  if (b.limits) {
    const std::array<double, 5> limits{b.limits->L1, b.limits->L2, b.limits->L3, b.limits->L4, 0.0};
    for (int c = 0; c < 5; ++c)
      levels.push_back({1.0 - limits[size_t(c)] / 100.0, colourOf(StabilityClassColour(c + 1))});
  }
  d->setReferenceLevels(cx, cy, levels);
  // The 95 % ellipse the analysis computed, never one worked out again from the trace.
  d->setConfidenceEllipse(b.hasResults && b.test.analysed ? AnalysisEllipse(b.test.result) : std::nullopt);
  ReportCoPMenu::applyStored(*d);
  std::vector<QPointF> points;
  if (n > 0) points = CoPPoints(*b.test.samples, o.thresholdN);
  d->AddPoints(points);
  log.step(QStringLiteral("Points: %1").arg(points.size()));
  if (settings::readBool(settings::ReportCoPScaleToSway)) {
    if (const auto view = ScaleToSway(points)) {
      log.step("Scaling CoP");
      d->setDisplay_Xo(view->xo);
      d->setDisplay_Yo(view->yo);
      d->setDisplay_XWidth(view->width);
      d->setDisplay_YWidth(view->width);
    }
  }
  log.completed();
}

void frmTReport::fillComparison() {
  const auto& tests = model_.balanceTests();
  QTableWidget* g = grdTBResults[0];
  g->setColumnCount(1 + int(tests.size()));
  QStringList headers{Str(17250)};
  for (size_t n = 0; n < tests.size(); ++n) headers << Str(17255 + int(n)) + "\n" + tests[n].title;
  g->setHorizontalHeaderLabels(headers);
  for (size_t n = 0; n < tests.size(); ++n) {
    for (int r = 1; r <= kResultRows; ++r) setCell(g, r - 1, int(n) + 1, tests[n].rows[size_t(r)]);
    if (tests[n].stabilityClass > 0) {
      QTableWidgetItem* cls = g->item(RowStabilityClass - 1, int(n) + 1);
      cls->setBackground(colourOf(StabilityClassColour(tests[n].stabilityClass)));
      cls->setForeground(Qt::black);
    }
  }
  resizeCols(g);
  const ReportComparisons& c = model_.comparisons();
  lblTBCompVisualRomberg->setText(RombergRatioText(c.visual.romberg));
  lblTBCompVisualSR->setText(StabilityRatioText(c.visual.stability));
  lblTBCompFoamRomberg->setText(RombergRatioText(c.perturbation.romberg));
  lblTBCompFoamSR->setText(StabilityRatioText(c.perturbation.stability));
}

void frmTReport::fillVision() {
  const auto& tests = model_.visionTests();
  grdVision->setRowCount(int(tests.size()));
  const QString na = NotAvailableText();
  for (size_t i = 0; i < tests.size(); ++i) {
    const ReportVisionTest& t = tests[i];
    const int row = int(i);
    setCell(grdVision, row, 0, t.sName);
    const QString date = ShortDateText(t.dtDate);
    setCell(grdVision, row, 1, date.isEmpty() ? na : date);
    setCell(grdVision, row, 2, t.lEye >= 1 && t.lEye <= 3 ? Str(17609 + t.lEye) : na);
    setCell(grdVision, row, 3, t.done ? FormatNumber(t.dAcuity, 2) : na);
    setCell(grdVision, row, 4,
            t.done && t.lAcuityClass >= 1 && t.lAcuityClass <= 3 ? Str(17614 + t.lAcuityClass) : na);
  }
  grdVision->resizeColumnsToContents();
}

void frmTReport::resizeCols(QTableWidget* g) {
  // Every column as wide as its widest text with a little room; the last one fills the grid.
  g->horizontalHeader()->setStretchLastSection(false);
  g->resizeColumnsToContents();
  for (int c = 0; c < g->columnCount(); ++c) g->setColumnWidth(c, g->columnWidth(c) + (c == 0 ? 4 : 6));
  g->horizontalHeader()->setStretchLastSection(true);
  if (g != grdTBResults[0]) {
    int width = g->frameWidth() * 2 + g->verticalScrollBar()->sizeHint().width();
    for (int c = 0; c < g->columnCount(); ++c) width += g->columnWidth(c);
    g->setMinimumWidth(width);
  }
}

void frmTReport::updateCommands() {
  cmdBack->setVisible(!bReprint());
  cmdNext->setVisible(!bReprint());
}

void frmTReport::currentTabChanged(int index) {
  const bool balance = index >= kTabBalance1 && index < kTabBalance1 + kShownBalanceTests;
  KMXCoPDisplay* d = balance ? KMXCoPDisplayTB[size_t(index)] : nullptr;
  mnuCoPOptions->setDisplay(d);
  if (d) d->update();
}

int frmTReport::tabOfDisplay(QObject* o) const {
  for (int k = 1; k <= kShownBalanceTests; ++k)
    if (o == KMXCoPDisplayTB[size_t(k)]) return k;
  return 0;
}

bool frmTReport::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonDblClick) {
    for (int k = 1; k <= kShownBalanceTests; ++k)
      if (watched == lblTBTitle[size_t(k)]) {
        renameTest(k);
        return true;
      }
    if (const int k = tabOfDisplay(watched)) {
      toggleExpanded(k);
      return true;
    }
  }
  if (event->type() == QEvent::MouseButtonRelease) {
    auto* me = static_cast<QMouseEvent*>(event);
    if (const int k = tabOfDisplay(watched); k && me->button() == Qt::RightButton) {
      mnuCoPOptions->setDisplay(KMXCoPDisplayTB[size_t(k)]);
      mnuCoPOptions->popup(me->globalPosition().toPoint());
      return true;
    }
  }
  if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
    if (const int k = tabOfDisplay(watched)) {
      ProcLog log(kModule, "KMXCoPDisplayTB_KeyDown", "Report CoP Image");
      KMXCoPDisplayTB[size_t(k)]->CopyToClipboard();
      log.completed();
      return true;
    }
    for (int t = 0; t <= kShownBalanceTests; ++t)
      if (watched == grdTBResults[size_t(t)]) {
        copyGrid(t);
        return true;
      }
  }
  return QDialog::eventFilter(watched, event);
}

void frmTReport::copyGrid(int tab) const {
  ProcLog log(kModule, "grdTBResults_KeyDown", "Copy");
  const QTableWidget* g = grdTBResults[size_t(tab)];
  QStringList lines;
  QStringList header;
  for (int c = 0; c < g->columnCount(); ++c) header << g->horizontalHeaderItem(c)->text().replace('\n', ' ');
  lines << header.join('\t');
  for (int r = 0; r < g->rowCount(); ++r) {
    QStringList cells;
    for (int c = 0; c < g->columnCount(); ++c) cells << (g->item(r, c) ? g->item(r, c)->text() : QString());
    lines << cells.join('\t');
  }
  QApplication::clipboard()->setText(lines.join('\n') + '\n');
  log.completed();
}

void frmTReport::renameTest(int k) {
  if (!rename_ || k < 1 || k > int(model_.balanceTests().size())) return;
  ProcLog log(kModule, "lblTBTitle_DblClick", QString::number(k));
  QString name = model_.balanceTests()[size_t(k - 1)].title;
  if (rename_(this, name) && model_.renameTest(k - 1, name)) {
    const QString title = model_.balanceTests()[size_t(k - 1)].title;
    lblTBTitle[size_t(k)]->setText(title);
    grdTBResults[0]->horizontalHeaderItem(k)->setText(Str(17254 + k) + "\n" + title);
    if (grdTBResults[0]->columnCount() >= 3) resizeCols(grdTBResults[0]);
    log.step("Renamed");
  }
  log.completed();
}

void frmTReport::toggleExpanded(int k) {
  QGridLayout* g = resultLayouts_[size_t(k)];
  KMXCoPDisplay* d = KMXCoPDisplayTB[size_t(k)];
  const bool expand = !expanded_[size_t(k)];
  expanded_[size_t(k)] = expand;
  QWidget* level = levelRows_[size_t(k)];
  g->removeWidget(d);
  g->removeWidget(level);
  g->removeWidget(lblPointer[size_t(k)]);
  if (expand) {
    grdTBResults[size_t(k)]->hide();
    txtTBNotes[size_t(k)]->hide();
    g->addWidget(d, 2, 0, 1, 2);
    g->addWidget(lblPointer[size_t(k)], 3, 0, 1, 2);
    g->addWidget(level, 4, 0, 1, 2);
  } else {
    g->addWidget(d, 2, 1);
    g->addWidget(lblPointer[size_t(k)], 3, 1);
    g->addWidget(level, 4, 1);
    grdTBResults[size_t(k)]->show();
    txtTBNotes[size_t(k)]->show();
  }
  d->update();
}

bool frmTReport::printsAutomatically() {
  return settings::readBool(settings::PrintReportsAutomatically) || AutomaticPdfOutput().has_value();
}

void frmTReport::cmdPrint_Click() {
  ProcLog log(kModule, "cmdPrint_Click");
  // A PDF file needs no printer; a printer run needs one installed.
  const bool pdf = AutomaticPdfOutput() || settings::read(settings::ReportPrinter) == Str(18051);
  if (InstalledPrinters().isEmpty() && !pdf) {
    log.step("No Printer");
    showMessage(Str(17920), MsgIcon::Critical);
    log.completed();
    return;
  }
  print_ = std::make_unique<frmTRPrint>(*this, this);
  if (!printsAutomatically() || bReprint()) {
    log.step("Show print form");
    KMX_cShowModal().ShowModal(*print_);
  } else {
    log.step("No Show - Just print");
    print_->cmdPrint_Click();
  }
  print_.reset();
  cmdOK->setFocus();
  log.completed();
}

void frmTReport::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  if (activated_) return;
  activated_ = true;
  ProcLog log(kModule, "Form_Activate");
  if (print_) {
    log.step("Unload print form");
    print_.reset();
  }
  tabs->setCurrentIndex(firstTab());
  currentTabChanged(tabs->currentIndex());
  if (cmdPrint->isEnabled()) cmdPrint->setFocus();
  if (printsAutomatically()) {
    log.step("AutoPrint");
    QTimer::singleShot(0, this, [this] { cmdPrint->click(); });
  }
  log.completed();
}

bool frmTReport::unloadCheck(int code, bool changed) {
  ProcLog log(kModule, "Form_Unload", QString::number(code));
  const bool saving = code == kWizOK || code == kWizNext;
  if (bReprint()) {
    if (!saving && changed) {
      if (showMessage(Str(17911), MsgIcon::Question, MsgButtons::YesNo, 0, 2) != MsgResult::Yes) {
        log.step("Reprinting - Cancelling unload");
        return false;
      }
    }
    if (saving && changed) {
      QString error;
      SubjectFile* file = model_.PatientFile();
      if (!file || !saver_(*file, error)) {
        log.step("Reprinting - Data Not Saved - Cancel Unload");
        log.error(error);
        showMessage(Str(17922).arg(error), MsgIcon::Critical);
        return false;
      }
      log.step("Reprinting - Data Saved - Save File");
    }
  } else if (!saving && code != kWizBack) {
    // Going back to the test list loses nothing; leaving the session does.
    if (showMessage(Str(17910), MsgIcon::Question, MsgButtons::YesNo, 0, 2) != MsgResult::Yes) {
      log.step("Testing - Cancelling unload");
      return false;
    }
  }
  log.step("Unreferencing Objects");
  log.completed();
  return true;
}

void frmTReport::closeWith(int code) {
  ProcLog log(kModule, buttonProcedure(code));
  const bool changed = model_.fnDataChanged();
  if ((code == kWizOK || code == kWizNext) && !model_.fnDataSave()) {
    log.step("Data not saved");
    log.completed();
    return;
  }
  if (!unloadCheck(code, changed)) {
    log.completed();
    return;
  }
  exit_ = code;
  unloading_ = true;
  wroteChanges_ = changed && (code == kWizOK || code == kWizNext);
  log.completed();
  done(code);
}

void frmTReport::reject() {
  // The close box and Escape: a close without a button.
  if (!unloading_) {
    if (!unloadCheck(kWizNone, model_.fnDataChanged())) return;
    unloading_ = true;
  }
  done(kWizCancel);
}

}  // namespace tarn
