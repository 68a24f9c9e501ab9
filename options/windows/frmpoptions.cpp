#include "options/windows/frmpoptions.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QPrinterInfo>
#include <QProcess>
#include <QScreen>
#include <QSplitter>
#include <QUrl>
#include <QVBoxLayout>

#include "balance/balancesettings.h"
#include "core/eventlog.h"
#include "core/messages.h"
#include "core/settingkeys.h"
#include "core/windows/buttoncolouring.h"
#include "core/windows/showmodal.h"
#include "core/windows/subjectforms.h"
#include "options/documentprint.h"
#include "options/monitorsize.h"
#include "options/resultrows.h"
#include "options/windows/frmpotest.h"
#include "options/windows/notedialogs.h"
#include "support/strings/strings.h"
#include "support/units/units.h"

namespace tarn {

using namespace options;

namespace {
constexpr char kModule[] = "frmPOptions";
QPointer<frmPOptions> g_open;

frmPOptions::Shell& shell() {
  static frmPOptions::Shell s;
  return s;
}

// The desktop's own choosers and shell, used where no stand-in is installed.
QString chooseFolder(QWidget* parent, const QString& title, const QString& start) {
  if (shell().chooseFolder) return shell().chooseFolder(parent, title, start);
  return QFileDialog::getExistingDirectory(parent, title, start);
}

QString chooseFile(QWidget* parent, const QString& title, const QString& start, const QString& filter) {
  if (shell().chooseFile) return shell().chooseFile(parent, title, start, filter);
  return QFileDialog::getOpenFileName(parent, title, start, filter);
}

int chooseDisplay(QWidget* parent, const QStringList& entries, int current) {
  if (shell().chooseDisplay) return shell().chooseDisplay(parent, entries, current);
  bool ok = false;
  const QString item =
      QInputDialog::getItem(parent, productTitle(), Str(6180), entries, std::max(0, current - 1), false, &ok);
  return ok ? static_cast<int>(entries.indexOf(item)) + 1 : 0;
}

bool openDocument(const QString& file) {
  if (shell().openDocument) return shell().openDocument(file);
  return QDesktopServices::openUrl(QUrl::fromLocalFile(file));
}

bool runCommand(const QStringList& command) {
  if (shell().runCommand) return shell().runCommand(command);
  return !command.isEmpty() && QProcess::startDetached(command.first(), command.mid(1));
}

QStringList installedPrinters() {
  if (shell().printers) return shell().printers();
  QStringList names;
  const QString def = QPrinterInfo::defaultPrinterName();
  if (!def.isEmpty()) names << def;
  for (const QString& n : QPrinterInfo::availablePrinterNames())
    if (n != def) names << n;
  return names;
}

// "Files (*.a *.b)" from the table's "All Files (*.*)|*.*": a pattern of "*.*" takes every file.
QString qtFilter(const QString& table) {
  const QStringList parts = table.split(QLatin1Char('|'));
  QString name = parts.value(0);
  name = name.left(name.indexOf(QLatin1Char('('))).trimmed();
  QString pattern = parts.value(1, QStringLiteral("*"));
  if (pattern == QLatin1String("*.*")) pattern = QStringLiteral("*");
  return QStringLiteral("%1 (%2)").arg(name, pattern);
}

QTableWidget* makeGrid(QWidget* parent, const char* name, const QList<int>& headerIds) {
  auto* g = new QTableWidget(0, static_cast<int>(headerIds.size()), parent);
  g->setObjectName(name);
  QStringList headers;
  for (int id : headerIds) headers << Str(id);
  g->setHorizontalHeaderLabels(headers);
  g->verticalHeader()->setVisible(false);
  g->setSelectionBehavior(QAbstractItemView::SelectRows);
  g->setSelectionMode(QAbstractItemView::SingleSelection);
  g->setEditTriggers(QAbstractItemView::NoEditTriggers);
  g->setAlternatingRowColors(true);
  g->setWordWrap(false);
  g->verticalHeader()->setDefaultSectionSize(g->fontMetrics().height() + 6);
  g->horizontalHeader()->setHighlightSections(false);
  return g;
}

void setCell(QTableWidget* g, int row, int col, const QString& text, bool number = false) {
  auto* item = g->item(row, col);
  if (!item) {
    item = new QTableWidgetItem;
    if (number) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    g->setItem(row, col, item);
  }
  item->setText(text);
  item->setToolTip(text.size() > 30 ? text : QString());
}

QPushButton* button(const QString& text, const char* name, QWidget* parent) {
  auto* b = new QPushButton(text, parent);
  b->setObjectName(name);
  return b;
}

QLineEdit* numberField(const char* name, QWidget* parent) {
  auto* e = new QLineEdit(parent);
  e->setObjectName(name);
  e->setMaximumWidth(e->fontMetrics().horizontalAdvance(QStringLiteral("0000000000")) + 16);
  e->setAlignment(Qt::AlignRight);
  return e;
}

// A label whose text the operator may want to copy (display names, file names).
QLabel* valueLabel(const char* name, QWidget* parent) {
  auto* l = new QLabel(parent);
  l->setObjectName(name);
  l->setTextInteractionFlags(Qt::TextSelectableByMouse);
  l->setMinimumWidth(120);
  return l;
}
}  // namespace

bool ShowOptionsWindow(QWidget* parent) {
  frmPOptions w(parent);
  w.LoadSettings();
  KMX_cShowModal show;
  show.ShowModal(w);
  return w.saved();
}

frmPOptions::Shell frmPOptions::setShell(Shell s) { return std::exchange(shell(), std::move(s)); }

frmPOptions* frmPOptions::openWindow() { return g_open; }

std::vector<DisplayInfo> frmPOptions::displays(int* primary) {
  // The names and resolutions as the subject-forms component reports them, so that what is
  // stored here matches what the main window's activation check compares.
  KMTARNRQSF forms;
  std::vector<DisplayInfo> list;
  const int n = forms.MonitorCount();
  for (int i = 1; i <= n; ++i) {
    forms.setMonitor(i);
    list.push_back({forms.DeviceName(), forms.DeviceString(), forms.ResHor(), forms.ResVert()});
  }
  const auto screens = QGuiApplication::screens();
  *primary = static_cast<int>(screens.indexOf(QGuiApplication::primaryScreen())) + 1;
  return list;
}

frmPOptions::frmPOptions(QWidget* parent) : QDialog(parent) {
  setObjectName("frmPOptions");
  setWindowTitle(Str(6000));
  int primary = 1;
  model_ = OptionsModel(displays(&primary), primary);

  auto* layout = new QVBoxLayout(this);
  tabs = new QTabWidget(this);
  tabs->setObjectName("tabOptions");
  tabs->setUsesScrollButtons(false);
  tabs->addTab(buildProgramPage(), Str(6010));
  tabs->addTab(buildReportsPage(), Str(6011));
  tabs->addTab(buildNotesPage(), Str(6012));
  tabs->addTab(buildDocsPage(), Str(6013));
  tabs->addTab(buildMonitorsPage(), Str(6014));
  tabs->addTab(buildPlatformPage(), Str(6015));
  tabs->addTab(buildTestsPage(), Str(6016));
  tabs->addTab(buildPasswordsPage(), Str(6017));
  layout->addWidget(tabs, 1);

  auto* buttons = new QHBoxLayout;
  cmdOK = button(Str(6001), "cmdOK", this);
  cmdOK->setDefault(true);
  cmdCancel = button(Str(6002), "cmdCancel", this);
  buttons->addStretch(1);
  buttons->addWidget(cmdOK);
  buttons->addWidget(cmdCancel);
  layout->addLayout(buttons);
  connect(cmdOK, &QPushButton::clicked, this, &frmPOptions::cmdOK_Click);
  connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);

  // The window closes after the OK click has been handled.
  tmrUnload = new QTimer(this);
  tmrUnload->setObjectName("tmrUnload");
  tmrUnload->setSingleShot(true);
  tmrUnload->setInterval(0);
  connect(tmrUnload, &QTimer::timeout, this, &QDialog::accept);

  // Roomier than the smallest size where the screen allows, so that the lists show more rows.
  resize(minimumSizeHint().expandedTo(QSize(1000, 680)));
  CmdButtonColouring::install(this);
  g_open = this;
}

frmPOptions::~frmPOptions() = default;

void frmPOptions::showPage(Page page) { tabs->setCurrentIndex(static_cast<int>(page)); }

Page frmPOptions::currentPage() const { return static_cast<Page>(tabs->currentIndex()); }

// ------------------------------------------------------------------ pages

QWidget* frmPOptions::buildProgramPage() {
  auto* page = new QWidget;
  auto* v = new QVBoxLayout(page);

  auto* fra = new QGroupBox(Str(6020), page);
  fra->setObjectName("fraProgram");
  auto* grid = new QGridLayout(fra);
  // Session and testing on the left, the station and its desktop on the right.
  constexpr int kLeftColumn = 7;
  for (int i = 0; i < kProgramSwitchCount; ++i) {
    auto* c = new QCheckBox(Str(kProgramSwitches[i].captionId), fra);
    c->setObjectName(i == 3 ? "chkPHideSubjFile" : QStringLiteral("chkP%1").arg(i).toLatin1().constData());
    chkProgram[i] = c;
    grid->addWidget(c, i < kLeftColumn ? i : i - kLeftColumn, i < kLeftColumn ? 0 : 1);
    connect(c, &QCheckBox::toggled, this, [this, i](bool on) { model_.program.switches[i] = on; });
  }
  chkProgram[9]->setToolTip(Str(6044));
  chkProgram[10]->setToolTip(Str(6045));
  grid->setColumnStretch(0, 1);
  grid->setColumnStretch(1, 1);
  v->addWidget(fra);

  auto* units = new QGroupBox(Str(6043), page);
  units->setObjectName("fraUnits");
  auto* form = new QFormLayout(units);
  for (int k = 0; k < kUnitKindCount; ++k) {
    auto* c = new QComboBox(units);
    c->setObjectName(QStringLiteral("cboUnits%1").arg(k).toLatin1().constData());
    c->addItems(choiceList(Str(kUnitChoices[k].choicesId)));
    c->setMinimumContentsLength(10);
    cboUnits[k] = c;
    form->addRow(Str(kUnitChoices[k].captionId), c);
    connect(c, &QComboBox::currentIndexChanged, this, [this, k](int index) {
      if (!filling_) model_.program.units[k] = index >= 0 ? index + 1 : kUnitNotChosen;
    });
  }
  v->addWidget(units);

  auto* folder = new QGroupBox(Str(6040), page);
  folder->setObjectName("fraDataFolder");
  auto* h = new QHBoxLayout(folder);
  txtPDataFolder = new QLineEdit(folder);
  txtPDataFolder->setObjectName("txtPDataFolder");
  cmdPSelectFolder = button(Str(6041), "cmdPSelectFolder", folder);
  h->addWidget(txtPDataFolder, 1);
  h->addWidget(cmdPSelectFolder);
  connect(txtPDataFolder, &QLineEdit::textEdited, this,
          [this](const QString& t) { model_.program.dataFolder = t; });
  connect(cmdPSelectFolder, &QPushButton::clicked, this, &frmPOptions::cmdPSelectFolder_Click);
  v->addWidget(folder);
  v->addStretch(1);
  return page;
}

QWidget* frmPOptions::buildReportsPage() {
  auto* page = new QWidget;
  auto* v = new QVBoxLayout(page);
  auto* fra = new QGroupBox(Str(6050), page);
  fra->setObjectName("fraReports");
  auto* fv = new QVBoxLayout(fra);
  auto* kinds = new QHBoxLayout;
  for (int k = 0; k < settings::kReportKinds; ++k) {
    // The kind's switch is the box's own check: its items grey out while the report is off.
    auto* box = new QGroupBox(Str(kReportKindCaptions[k]), fra);
    box->setObjectName(QStringLiteral("fraReportKind%1").arg(k).toLatin1().constData());
    box->setCheckable(true);
    fraReportKind[k] = box;
    auto* bv = new QVBoxLayout(box);
    bv->addWidget(new QLabel(Str(6054), box));
    for (int i = 0; i < kReportItemCount; ++i) {
      auto* c = new QCheckBox(Str(kReportItemCaptions[i]), box);
      c->setObjectName(QStringLiteral("chkReportItem%1%2").arg(k).arg(i).toLatin1().constData());
      chkReportItem[k][i] = c;
      bv->addWidget(c);
      connect(c, &QCheckBox::toggled, this, [this, k, i](bool on) { model_.reports.items[k][i] = on; });
    }
    bv->addStretch(1);
    kinds->addWidget(box, 1);
    connect(box, &QGroupBox::toggled, this, [this, k](bool on) { model_.reports.kinds[k] = on; });
  }
  fv->addLayout(kinds);
  auto* switches = new QGridLayout;
  for (int i = 0; i < kReportSwitchCount; ++i) {
    auto* c = new QCheckBox(Str(kReportSwitches[i].captionId), fra);
    c->setObjectName(QStringLiteral("chkReport%1").arg(i).toLatin1().constData());
    chkReport[i] = c;
    switches->addWidget(c, i / 2, i % 2);
    connect(c, &QCheckBox::toggled, this, [this, i](bool on) { model_.reports.switches[i] = on; });
  }
  fv->addLayout(switches);
  v->addWidget(fra);

  auto* printing = new QGroupBox(Str(6073), page);
  printing->setObjectName("fraPrinting");
  auto* form = new QFormLayout(printing);
  cboPrinter = new QComboBox(printing);
  cboPrinter->setObjectName("cboPrinter");
  cboPrinter->setMinimumContentsLength(24);
  connect(cboPrinter, &QComboBox::currentTextChanged, this, [this](const QString& t) {
    if (!filling_) model_.reports.printer = t;
  });
  form->addRow(Str(6064), cboPrinter);
  auto* paper = new QHBoxLayout;
  optLetter = new QRadioButton(Str(6066), printing);
  optLetter->setObjectName("optLetter");
  optA4 = new QRadioButton(Str(6067), printing);
  optA4->setObjectName("optA4");
  paper->addWidget(optLetter);
  paper->addWidget(optA4);
  paper->addStretch(1);
  auto* paperBox = new QWidget(printing);
  paperBox->setLayout(paper);
  paper->setContentsMargins(0, 0, 0, 0);
  form->addRow(Str(6065), paperBox);
  connect(optA4, &QRadioButton::toggled, this,
          [this](bool on) { model_.reports.paper = on ? kPaperA4 : kPaperLetter; });
  auto* quality = new QHBoxLayout;
  quality->setContentsMargins(0, 0, 0, 0);
  const QStringList q = choiceList(Str(6069));
  for (int i = 0; i < kQualityCount; ++i) {
    auto* r = new QRadioButton(q.value(i), printing);
    r->setObjectName(QStringLiteral("optQuality%1").arg(i).toLatin1().constData());
    optQuality[i] = r;
    quality->addWidget(r);
    connect(r, &QRadioButton::toggled, this, [this, i](bool on) {
      if (on) model_.reports.quality = -(i + 1);
    });
  }
  quality->addStretch(1);
  auto* qualityBox = new QWidget(printing);
  qualityBox->setLayout(quality);
  form->addRow(Str(6068), qualityBox);
  txtCopies = numberField("txtCopies", printing);
  connect(txtCopies, &QLineEdit::textEdited, this, [this](const QString& t) { model_.reports.copies = t; });
  form->addRow(Str(6070), txtCopies);
  chkColor = new QCheckBox(Str(6071), printing);
  chkColor->setObjectName("chkColor");
  connect(chkColor, &QCheckBox::toggled, this, [this](bool on) { model_.reports.color = on; });
  form->addRow(QString(), chkColor);
  v->addWidget(printing);
  v->addStretch(1);
  return page;
}

QWidget* frmPOptions::buildNotesPage() {
  auto* page = new QWidget;
  auto* h = new QHBoxLayout(page);
  auto* split = new QSplitter(Qt::Horizontal, page);
  split->setChildrenCollapsible(false);

  auto* sets = new QGroupBox(Str(6090), split);
  sets->setObjectName("fraNoteSets");
  auto* sv = new QVBoxLayout(sets);
  grdPRCFile = makeGrid(sets, "grdPRCFile", {6091, 6092});
  grdPRCFile->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
  grdPRCFile->horizontalHeader()->setStretchLastSection(true);
  grdPRCFile->setMinimumWidth(200);
  sv->addWidget(grdPRCFile, 1);
  auto* sb = new QHBoxLayout;
  cmdPRCFileAdd = button(Str(6093), "cmdPRCFileAdd", sets);
  cmdPRCFileDelete = button(Str(6094), "cmdPRCFileDelete", sets);
  sb->addWidget(cmdPRCFileAdd);
  sb->addWidget(cmdPRCFileDelete);
  sb->addStretch(1);
  sv->addLayout(sb);

  auto* contents = new QGroupBox(Str(6095), split);
  contents->setObjectName("fraNoteContents");
  auto* cv = new QVBoxLayout(contents);
  auto* nameRow = new QFormLayout;
  txtPRCTName = new QLineEdit(contents);
  txtPRCTName->setObjectName("txtPRCTName");
  nameRow->addRow(Str(6101), txtPRCTName);
  cv->addLayout(nameRow);
  grdPRCTTemplate = makeGrid(contents, "grdPRCTTemplate", {6096, 6097, 6098, 6099, 6100});
  grdPRCTTemplate->setRowCount(kResultRows);
  for (int r = 0; r < kResultRows; ++r) {
    const ResultRow row = resultRow(r, RowUse::Notes);
    setCell(grdPRCTTemplate, r, 0, row.report);
    setCell(grdPRCTTemplate, r, 1, row.age);
    setCell(grdPRCTTemplate, r, 2, row.test);
    setCell(grdPRCTTemplate, r, 3, row.result);
  }
  // Every column as wide as its texts; the result takes what is left.
  for (int c = 0; c < 5; ++c)
    grdPRCTTemplate->horizontalHeader()->setSectionResizeMode(
        c, c == 3 ? QHeaderView::Stretch : QHeaderView::ResizeToContents);
  cv->addWidget(grdPRCTTemplate, 1);
  auto* preview = new QHBoxLayout;
  auto* previewLabel = new QLabel(Str(6105), contents);
  previewLabel->setAlignment(Qt::AlignTop);
  txtPRCTNote = new QPlainTextEdit(contents);
  txtPRCTNote->setObjectName("txtPRCTNote");
  txtPRCTNote->setReadOnly(true);
  txtPRCTNote->setMaximumHeight(txtPRCTNote->fontMetrics().height() * 4 + 12);
  cmdPRCTEdit = button(Str(6102), "cmdPRCTEdit", contents);
  preview->addWidget(previewLabel);
  preview->addWidget(txtPRCTNote, 1);
  preview->addWidget(cmdPRCTEdit, 0, Qt::AlignTop);
  cv->addLayout(preview);
  split->addWidget(sets);
  split->addWidget(contents);
  split->setStretchFactor(0, 1);
  split->setStretchFactor(1, 3);
  h->addWidget(split);

  connect(grdPRCFile, &QTableWidget::itemSelectionChanged, this, [this] {
    if (filling_) return;
    const auto rows = grdPRCFile->selectionModel()->selectedRows();
    model_.notes.selected = rows.isEmpty() ? -1 : rows.first().row();
    fillNoteContents();
  });
  connect(grdPRCTTemplate, &QTableWidget::itemSelectionChanged, this, [this] {
    const NoteSet* n = model_.selectedNoteSet();
    const int row = grdPRCTTemplate->currentRow();
    txtPRCTNote->setPlainText(n && row >= 0 && noteDefined(n->notes.sComment(row)) ? n->notes.sComment(row)
                                                                                   : QString());
  });
  connect(grdPRCTTemplate, &QTableWidget::cellDoubleClicked, this, [this] { cmdPRCTEdit_Click(); });
  connect(txtPRCTName, &QLineEdit::textEdited, this, [this](const QString& t) {
    if (model_.renameNoteSet(t) && model_.notes.selected >= 0)
      setCell(grdPRCFile, model_.notes.selected, 1, t);
  });
  connect(cmdPRCFileAdd, &QPushButton::clicked, this, &frmPOptions::cmdPRCFileAdd_Click);
  connect(cmdPRCFileDelete, &QPushButton::clicked, this, &frmPOptions::cmdPRCFileDelete_Click);
  connect(cmdPRCTEdit, &QPushButton::clicked, this, &frmPOptions::cmdPRCTEdit_Click);
  return page;
}

QWidget* frmPOptions::buildDocsPage() {
  auto* page = new QWidget;
  auto* v = new QVBoxLayout(page);
  auto* fra = new QGroupBox(Str(6120), page);
  fra->setObjectName("fraDocs");
  auto* fv = new QVBoxLayout(fra);
  grdRReferralForms = makeGrid(fra, "grdRReferralForms", {6096, 6097, 6098, 6099, 6121});
  grdRReferralForms->setRowCount(kResultRows);
  for (int r = 0; r < kResultRows; ++r) {
    const ResultRow row = resultRow(r, RowUse::Documents);
    setCell(grdRReferralForms, r, 0, row.report);
    setCell(grdRReferralForms, r, 1, row.age);
    setCell(grdRReferralForms, r, 2, row.test);
    setCell(grdRReferralForms, r, 3, row.result);
  }
  grdRReferralForms->resizeColumnsToContents();
  grdRReferralForms->horizontalHeader()->setStretchLastSection(true);
  grdRReferralForms->setTextElideMode(Qt::ElideMiddle);
  fv->addWidget(grdRReferralForms, 1);
  auto* current = new QHBoxLayout;
  current->addWidget(new QLabel(Str(6122), fra));
  lblRCurrentFile = valueLabel("lblRCurrentFile", fra);
  lblRCurrentFile->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  current->addWidget(lblRCurrentFile, 1);
  fv->addLayout(current);
  auto* buttons = new QHBoxLayout;
  cmdRBrowse = button(Str(6123), "cmdRBrowse", fra);
  cmdRRemove = button(Str(6124), "cmdRRemove", fra);
  cmdROpen = button(Str(6125), "cmdROpen", fra);
  cmdRPrint = button(Str(6126), "cmdRPrint", fra);
  for (auto* b : {cmdRBrowse, cmdRRemove, cmdROpen, cmdRPrint}) buttons->addWidget(b);
  buttons->addStretch(1);
  fv->addLayout(buttons);
  v->addWidget(fra);

  connect(grdRReferralForms, &QTableWidget::itemSelectionChanged, this, [this] {
    const int row = grdRReferralForms->currentRow();
    const QString file = row >= 0 ? model_.docs.files[row] : QString();
    lblRCurrentFile->setText(file);
    lblRCurrentFile->setToolTip(file);
    for (auto* b : {cmdRRemove, cmdROpen, cmdRPrint}) b->setEnabled(!file.isEmpty());
    cmdRBrowse->setEnabled(row >= 0);
  });
  connect(grdRReferralForms, &QTableWidget::cellDoubleClicked, this, [this] { cmdRBrowse_Click(); });
  connect(cmdRBrowse, &QPushButton::clicked, this, &frmPOptions::cmdRBrowse_Click);
  connect(cmdRRemove, &QPushButton::clicked, this, [this] {
    const int row = grdRReferralForms->currentRow();
    if (row < 0) return;
    model_.removeDocument(row + 1);
    fillDocRow(row);
  });
  connect(cmdROpen, &QPushButton::clicked, this, [this] { cmdROpen_Click(false); });
  connect(cmdRPrint, &QPushButton::clicked, this, [this] { cmdROpen_Click(true); });
  return page;
}

QWidget* frmPOptions::buildMonitorsPage() {
  auto* page = new QWidget;
  auto* v = new QVBoxLayout(page);

  auto* fra = new QGroupBox(Str(6180), page);
  fra->setObjectName("fraMonitor");
  auto* form = new QFormLayout(fra);
  lblMDisplayName = valueLabel("lblMDisplayName", fra);
  lblMDisplayNumber = valueLabel("lblMDisplayNumber", fra);
  form->addRow(Str(6181), lblMDisplayName);
  form->addRow(Str(6182), lblMDisplayNumber);
  auto* choose = new QHBoxLayout;
  chkMSeparate = new QCheckBox(Str(6183), fra);
  chkMSeparate->setObjectName("chkMSeparate");
  cmdSubjectMonitor = button(Str(6184), "cmdSubjectMonitor", fra);
  choose->addWidget(chkMSeparate);
  choose->addWidget(cmdSubjectMonitor);
  choose->addStretch(1);
  form->addRow(choose);
  v->addWidget(fra);
  connect(cmdSubjectMonitor, &QPushButton::clicked, this, &frmPOptions::cmdSubjectMonitor_Click);
  connect(chkMSeparate, &QCheckBox::clicked, this, [this](bool on) {
    if (on)
      cmdSubjectMonitor_Click();
    else
      model_.chooseSubjectMonitor(0);
    fillMonitor();
  });

  auto* cal = new QGroupBox(Str(6185), page);
  cal->setObjectName("fraCalibration");
  auto* cv = new QVBoxLayout(cal);
  auto* calForm = new QFormLayout;
  lblMCalName = valueLabel("lblMCalName", cal);
  lblMResolution = valueLabel("lblMResolution", cal);
  calForm->addRow(Str(6186), lblMCalName);
  calForm->addRow(Str(6187), lblMResolution);
  cv->addLayout(calForm);
  auto* text = new QLabel(Str(6188), cal);
  text->setWordWrap(true);
  cv->addWidget(text);
  auto* grid = new QGridLayout;
  static const char* const kNames[kSizeFieldCount] = {"txtMWidthIn",  "txtMWidthMM",    "txtMHeightIn",
                                                      "txtMHeightMM", "txtMDiagonalIn", "txtMDiagonalMM"};
  for (int f = 0; f < kSizeFieldCount; ++f) {
    txtMSize[f] = numberField(kNames[f], cal);
    connect(txtMSize[f], &QLineEdit::textEdited, this, [this, f](const QString& t) {
      model_.monitor.size[f] = t;
      pendingSize_ = f;
    });
    connect(txtMSize[f], &QLineEdit::editingFinished, this, [this, f] { leaveSizeField(f); });
  }
  // Rows: width, height, then the diagonal under its own line of text.
  for (int side = 0; side < 3; ++side) {
    const int row = side < 2 ? side : 3;
    grid->addWidget(new QLabel(Str(6189 + side), cal), row, 0);
    grid->addWidget(txtMSize[2 * side], row, 1);
    grid->addWidget(new QLabel(Str(6193), cal), row, 2);
    grid->addWidget(txtMSize[2 * side + 1], row, 3);
  }
  auto* orDiagonal = new QLabel(Str(6192), cal);
  orDiagonal->setWordWrap(true);
  grid->addWidget(orDiagonal, 2, 0, 1, 4);
  grid->setColumnStretch(4, 1);
  cv->addLayout(grid);
  v->addWidget(cal);
  v->addStretch(1);
  return page;
}

QWidget* frmPOptions::buildPlatformPage() {
  auto* page = new QWidget;
  auto* v = new QVBoxLayout(page);
  auto* fra = new QGroupBox(Str(6220), page);
  fra->setObjectName("fraPlatform");
  auto* fv = new QVBoxLayout(fra);
  auto* top = new QFormLayout;
  txtFPExcitation = numberField("txtFPExcitation", fra);
  top->addRow(Str(6221), txtFPExcitation);
  fv->addLayout(top);

  auto* zero = new QGroupBox(Str(6222), fra);
  auto* zf = new QFormLayout(zero);
  txtFPDuration = numberField("txtFPDuration", zero);
  txtFPMaxAge = numberField("txtFPMaxAge", zero);
  zf->addRow(Str(6223), txtFPDuration);
  zf->addRow(Str(6224), txtFPMaxAge);
  fv->addWidget(zero);

  auto* adv = new QGroupBox(Str(6225), fra);
  auto* af = new QFormLayout(adv);
  txtFPMaxNoise = numberField("txtFPMaxNoise", adv);
  chkFPAllowNoisy = new QCheckBox(Str(6227), adv);
  chkFPAllowNoisy->setObjectName("chkFPAllowNoisy");
  af->addRow(Str(6226), txtFPMaxNoise);
  af->addRow(QString(), chkFPAllowNoisy);
  fv->addWidget(adv);

  auto* defaults = new QHBoxLayout;
  cmdFPDefaults = button(Str(6228), "cmdFPDefaults", fra);
  defaults->addStretch(1);
  defaults->addWidget(cmdFPDefaults);
  fv->addLayout(defaults);
  v->addWidget(fra);
  v->addStretch(1);

  connect(txtFPExcitation, &QLineEdit::textEdited, this,
          [this](const QString& t) { model_.platform.excitation = t; });
  connect(txtFPDuration, &QLineEdit::textEdited, this,
          [this](const QString& t) { model_.platform.duration = t; });
  connect(txtFPMaxAge, &QLineEdit::textEdited, this,
          [this](const QString& t) { model_.platform.maxAge = t; });
  connect(txtFPMaxNoise, &QLineEdit::textEdited, this,
          [this](const QString& t) { model_.platform.maxNoise = t; });
  connect(chkFPAllowNoisy, &QCheckBox::toggled, this, [this](bool on) { model_.platform.allowNoisy = on; });
  connect(cmdFPDefaults, &QPushButton::clicked, this, &frmPOptions::cmdFPDefaults_Click);
  return page;
}

QWidget* frmPOptions::buildTestsPage() {
  auto* page = new QWidget;
  auto* v = new QVBoxLayout(page);
  auto* kinds = new QGroupBox(Str(6240), page);
  kinds->setObjectName("fraTestKinds");
  auto* kh = new QHBoxLayout(kinds);
  for (int i = 0; i < kTestKindCount; ++i) {
    auto* c = new QCheckBox(Str(kTestKinds[i].captionId), kinds);
    c->setObjectName(QStringLiteral("chkTestKind%1").arg(i).toLatin1().constData());
    chkTestKind[i] = c;
    kh->addWidget(c);
    connect(c, &QCheckBox::toggled, this, [this, i](bool on) {
      model_.tests.enabled[i] = on;
      if (!filling_) fillTemplateTests(templateRow());  // the status column follows
    });
  }
  kh->addStretch(1);
  v->addWidget(kinds);

  auto* split = new QSplitter(Qt::Horizontal, page);
  split->setChildrenCollapsible(false);
  auto* files = new QGroupBox(Str(6245), split);
  files->setObjectName("fraTemplates");
  auto* fv = new QVBoxLayout(files);
  grdTFile = makeGrid(files, "grdTFile", {6091, 6092, 6246, 6247});
  for (int c = 0; c < 4; ++c)
    grdTFile->horizontalHeader()->setSectionResizeMode(
        c, c == 1 ? QHeaderView::Stretch : QHeaderView::ResizeToContents);
  // Room for the counts and a name of some twenty characters without a horizontal scroll bar.
  const QFontMetrics fm = grdTFile->fontMetrics();
  grdTFile->setMinimumWidth(fm.horizontalAdvance(Str(6246) + Str(6247) + "#000") +
                            fm.horizontalAdvance(QLatin1Char('M')) * 16 + 60);
  fv->addWidget(grdTFile, 1);
  auto* fb = new QHBoxLayout;
  cmdTFileAdd = button(Str(6093), "cmdTFileAdd", files);
  cmdTFileDelete = button(Str(6094), "cmdTFileDelete", files);
  fb->addWidget(cmdTFileAdd);
  fb->addWidget(cmdTFileDelete);
  fb->addStretch(1);
  fv->addLayout(fb);

  auto* tests = new QGroupBox(Str(6248), split);
  tests->setObjectName("fraTemplateTests");
  auto* tv = new QVBoxLayout(tests);
  auto* nameRow = new QFormLayout;
  txtTTName = new QLineEdit(tests);
  txtTTName->setObjectName("txtTTName");
  nameRow->addRow(Str(6249), txtTTName);
  tv->addLayout(nameRow);
  auto* th = new QHBoxLayout;
  grdTTemplate = makeGrid(tests, "grdTTemplate", {6091, 6250, 6092, 6100});
  for (int c = 0; c < 4; ++c)
    grdTTemplate->horizontalHeader()->setSectionResizeMode(
        c, c == 2 ? QHeaderView::Stretch : QHeaderView::ResizeToContents);
  grdTTemplate->setMinimumWidth(
      grdTTemplate->fontMetrics().horizontalAdvance(Str(6147) + Str(6257) + "#00Foam Surface - Eyes Closed") +
      60);
  th->addWidget(grdTTemplate, 1);
  auto* tb = new QVBoxLayout;
  cmdTTInsVision = button(Str(6251), "cmdTTInsVision", tests);
  cmdTTInsBalance = button(Str(6252), "cmdTTInsBalance", tests);
  cmdTTUp = button(Str(6253), "cmdTTUp", tests);
  cmdTTDown = button(Str(6254), "cmdTTDown", tests);
  cmdTTRemove = button(Str(6255), "cmdTTRemove", tests);
  cmdTTEdit = button(Str(6102), "cmdTTEdit", tests);
  for (auto* b : {cmdTTInsVision, cmdTTInsBalance}) tb->addWidget(b);
  tb->addSpacing(12);
  for (auto* b : {cmdTTUp, cmdTTDown}) tb->addWidget(b);
  tb->addSpacing(12);
  for (auto* b : {cmdTTRemove, cmdTTEdit}) tb->addWidget(b);
  tb->addStretch(1);
  th->addLayout(tb);
  tv->addLayout(th, 1);
  split->addWidget(files);
  split->addWidget(tests);
  split->setStretchFactor(0, 1);
  split->setStretchFactor(1, 1);
  v->addWidget(split, 1);

  connect(grdTFile, &QTableWidget::itemSelectionChanged, this, [this] {
    if (filling_) return;
    const auto rows = grdTFile->selectionModel()->selectedRows();
    model_.tests.selected = rows.isEmpty() ? -1 : rows.first().row();
    fillTemplateTests();
  });
  connect(grdTTemplate, &QTableWidget::itemSelectionChanged, this, [this] {
    const TemplateEntry* t = model_.selectedTemplate();
    const bool editable = t && t->readable && t->tpl.bEditable;
    const int row = templateRow();
    cmdTTUp->setEnabled(editable && row > 1);
    cmdTTDown->setEnabled(editable && row >= 1 && row < t->tpl.lTestCount());
    cmdTTRemove->setEnabled(editable && row >= 1);
    cmdTTEdit->setEnabled(editable && row >= 1);
  });
  connect(grdTTemplate, &QTableWidget::cellDoubleClicked, this, [this] { cmdTTEdit_Click(); });
  connect(txtTTName, &QLineEdit::textEdited, this, [this](const QString& t) {
    if (model_.renameTemplate(t)) setCell(grdTFile, model_.tests.selected, 1, t);
  });
  connect(cmdTFileAdd, &QPushButton::clicked, this, &frmPOptions::cmdTFileAdd_Click);
  connect(cmdTFileDelete, &QPushButton::clicked, this, &frmPOptions::cmdTFileDelete_Click);
  connect(cmdTTInsVision, &QPushButton::clicked, this, &frmPOptions::cmdTTInsVision_Click);
  connect(cmdTTInsBalance, &QPushButton::clicked, this, &frmPOptions::cmdTTInsBalance_Click);
  connect(cmdTTUp, &QPushButton::clicked, this, [this] { cmdTTMove_Click(true); });
  connect(cmdTTDown, &QPushButton::clicked, this, [this] { cmdTTMove_Click(false); });
  connect(cmdTTRemove, &QPushButton::clicked, this, &frmPOptions::cmdTTRemove_Click);
  connect(cmdTTEdit, &QPushButton::clicked, this, &frmPOptions::cmdTTEdit_Click);
  return page;
}

QWidget* frmPOptions::buildPasswordsPage() {
  auto* page = new QWidget;
  auto* v = new QVBoxLayout(page);
  auto group = [&](int titleId, const char* name, QLineEdit*& txtNew, QLineEdit*& txtConfirm, QLabel*& status,
                   QPushButton*& change, int changeId, const char* changeName) {
    auto* fra = new QGroupBox(Str(titleId), page);
    fra->setObjectName(name);
    auto* form = new QFormLayout(fra);
    txtNew = new QLineEdit(fra);
    txtConfirm = new QLineEdit(fra);
    for (auto* e : {txtNew, txtConfirm}) {
      e->setEchoMode(QLineEdit::Password);
      e->setMaximumWidth(320);
    }
    txtNew->setObjectName(QByteArray(changeName).replace("Change", "New"));
    txtConfirm->setObjectName(QByteArray(changeName).replace("Change", "Confirm"));
    status = new QLabel(fra);
    status->setObjectName(QByteArray(changeName).replace("Change", "Status"));
    change = button(Str(changeId), changeName, fra);
    form->addRow(Str(6282), txtNew);
    form->addRow(Str(6283), txtConfirm);
    auto* row = new QHBoxLayout;
    row->addWidget(change);
    row->addWidget(status, 1);
    form->addRow(QString(), row);
    v->addWidget(fra);
  };
  group(6280, "fraPWAdministrator", txtPWANew, txtPWAConfirm, lblPWAStatus, cmdPWAChange, 6284,
        "cmdPWAChange");
  group(6281, "fraPWOperator", txtPWONew, txtPWOConfirm, lblPWOStatus, cmdPWOChange, 6295, "cmdPWOChange");
  auto* hint = new QLabel(Str(6296), page);
  hint->setWordWrap(true);
  v->addWidget(hint);
  v->addStretch(1);
  connect(cmdPWAChange, &QPushButton::clicked, this, &frmPOptions::cmdPWAChange_Click);
  connect(cmdPWOChange, &QPushButton::clicked, this, &frmPOptions::cmdPWOChange_Click);
  return page;
}

// ------------------------------------------------------------------ filling

void frmPOptions::LoadSettings() {
  ProcLog log(kModule, "Form_Load");
  model_.LoadSettings();
  fillControls();
  log.completed();
}

void frmPOptions::fillControls() {
  filling_ = true;
  for (int i = 0; i < kProgramSwitchCount; ++i) chkProgram[i]->setChecked(model_.program.switches[i]);
  for (int k = 0; k < kUnitKindCount; ++k) cboUnits[k]->setCurrentIndex(model_.program.units[k] - 1);
  txtPDataFolder->setText(model_.program.dataFolder);

  for (int k = 0; k < settings::kReportKinds; ++k) {
    fraReportKind[k]->setChecked(model_.reports.kinds[k]);
    for (int i = 0; i < kReportItemCount; ++i) chkReportItem[k][i]->setChecked(model_.reports.items[k][i]);
  }
  for (int i = 0; i < kReportSwitchCount; ++i) chkReport[i]->setChecked(model_.reports.switches[i]);
  cboPrinter->clear();
  QStringList printers = installedPrinters();
  const bool nonePrinting = printers.isEmpty();
  const QString printer = model_.reports.printer;
  printers << Str(18051);  // the printing window's PDF file is a printer that is always there
  if (!printer.isEmpty() && !printers.contains(printer)) printers.prepend(printer);
  cboPrinter->addItems(printers);
  cboPrinter->setPlaceholderText(Str(6074));
  cboPrinter->setCurrentIndex(printer.isEmpty() ? (nonePrinting ? -1 : 0) : printers.indexOf(printer));
  model_.reports.printer = cboPrinter->currentText();  // the system's default when none was chosen
  (model_.reports.paper == kPaperA4 ? optA4 : optLetter)->setChecked(true);
  optQuality[std::clamp(-model_.reports.quality, 1, kQualityCount) - 1]->setChecked(true);
  txtCopies->setText(model_.reports.copies);
  chkColor->setChecked(model_.reports.color);

  for (int r = 0; r < kResultRows; ++r) fillDocRow(r);
  grdRReferralForms->setCurrentCell(0, 0);

  fillMonitor();
  fillPlatform();
  for (int i = 0; i < kTestKindCount; ++i) chkTestKind[i]->setChecked(model_.tests.enabled[i]);
  filling_ = false;
  fillTemplates();
  fillNoteSets();
  fillPasswords();
}

void frmPOptions::fillMonitor() {
  const bool wasFilling = std::exchange(filling_, true);
  lblMDisplayName->setText(model_.subjectDisplayText());
  lblMDisplayNumber->setText(model_.subjectDisplayNumberText());
  chkMSeparate->setChecked(model_.monitor.subjectMonitor > 0);
  const DisplayInfo* d = model_.calibratedDisplay();
  lblMCalName->setText(d ? d->name : model_.subjectDisplayText());
  lblMResolution->setText(model_.resolutionText());
  for (int f = 0; f < kSizeFieldCount; ++f) {
    txtMSize[f]->setText(model_.monitor.size[f]);
    txtMSize[f]->setEnabled(d != nullptr);
  }
  pendingSize_ = -1;
  filling_ = wasFilling;
}

void frmPOptions::fillPlatform() {
  txtFPExcitation->setText(model_.platform.excitation);
  txtFPDuration->setText(model_.platform.duration);
  txtFPMaxAge->setText(model_.platform.maxAge);
  txtFPMaxNoise->setText(model_.platform.maxNoise);
  chkFPAllowNoisy->setChecked(model_.platform.allowNoisy);
}

void frmPOptions::fillTemplates() {
  filling_ = true;
  const auto& list = model_.tests.templates;
  grdTFile->setRowCount(static_cast<int>(list.size()));
  for (int r = 0; r < static_cast<int>(list.size()); ++r) {
    const KM_RQTemplate& t = list[r].tpl;
    setCell(grdTFile, r, 0, QString::number(r + 1), true);
    setCell(grdTFile, r, 1, t.sName);
    setCell(grdTFile, r, 2, QString::number(t.lTestCountVision()), true);
    setCell(grdTFile, r, 3, QString::number(t.lTestCountBalance()), true);
  }
  grdTFile->clearSelection();
  if (model_.tests.selected >= 0) grdTFile->selectRow(model_.tests.selected);
  filling_ = false;
  fillTemplateTests();
}

void frmPOptions::fillTemplateTests(int selectRow) {
  TemplateEntry* t = model_.selectedTemplate();
  const bool editable = t && t->readable && t->tpl.bEditable;
  const int count = t ? t->tpl.lTestCount() : 0;
  grdTTemplate->setRowCount(count);
  for (int r = 1; r <= count; ++r) {
    const KM_RQTemplateItem& item = *t->tpl.tiTestItem(r);
    setCell(grdTTemplate, r - 1, 0, QString::number(r), true);
    setCell(grdTTemplate, r - 1, 1, Str(item.isVision() ? 6146 : 6147));
    setCell(grdTTemplate, r - 1, 2, item.sName);
    setCell(grdTTemplate, r - 1, 3, model_.testStatusText(item));
  }
  if (t && model_.tests.selected >= 0) {
    setCell(grdTFile, model_.tests.selected, 2, QString::number(t->tpl.lTestCountVision()));
    setCell(grdTFile, model_.tests.selected, 3, QString::number(t->tpl.lTestCountBalance()));
  }
  txtTTName->setText(t ? t->tpl.sName : QString());
  txtTTName->setEnabled(editable);
  txtTTName->setToolTip(t && !editable ? Str(6262) : QString());
  cmdTFileDelete->setEnabled(t != nullptr);
  cmdTTInsVision->setEnabled(editable);
  cmdTTInsBalance->setEnabled(editable);
  grdTTemplate->clearSelection();
  if (selectRow >= 1 && selectRow <= count)
    grdTTemplate->selectRow(selectRow - 1);
  else
    grdTTemplate->setCurrentCell(-1, -1);
  emit grdTTemplate->itemSelectionChanged();  // the buttons follow the row
}

void frmPOptions::fillNoteSets() {
  filling_ = true;
  const auto& sets = model_.notes.sets;
  grdPRCFile->setRowCount(static_cast<int>(sets.size()));
  for (int r = 0; r < static_cast<int>(sets.size()); ++r) {
    setCell(grdPRCFile, r, 0, QString::number(r + 1), true);
    setCell(grdPRCFile, r, 1, sets[r].notes.sName);
  }
  grdPRCFile->clearSelection();
  if (model_.notes.selected >= 0) grdPRCFile->selectRow(model_.notes.selected);
  filling_ = false;
  fillNoteContents();
}

void frmPOptions::fillNoteContents(int selectRow) {
  const NoteSet* n = model_.selectedNoteSet();
  const bool editable = n && n->readable && n->notes.bEditable;
  for (int r = 0; r < kResultRows; ++r) {
    QString status;
    if (n) {
      if (r < kFirstPrintedNote)
        status = Str(6109);
      else
        status = Str(noteDefined(n->notes.sComment(r)) ? 6103 : 6104);
    }
    setCell(grdPRCTTemplate, r, 4, status);
  }
  txtPRCTName->setText(n ? n->notes.sName : QString());
  txtPRCTName->setEnabled(editable);
  txtPRCTName->setToolTip(n && !editable ? Str(6263) : QString());
  grdPRCTTemplate->setEnabled(n != nullptr);
  cmdPRCTEdit->setEnabled(editable);
  cmdPRCFileDelete->setEnabled(n != nullptr);
  grdPRCTTemplate->setCurrentCell(n ? selectRow : -1, 0);
  emit grdPRCTTemplate->itemSelectionChanged();
}

void frmPOptions::fillDocRow(int row) {
  setCell(grdRReferralForms, row, 4, QDir::toNativeSeparators(model_.docs.files[row]));
  if (row == grdRReferralForms->currentRow()) emit grdRReferralForms->itemSelectionChanged();
}

void frmPOptions::fillPasswords() {
  lblPWAStatus->setText(model_.administratorStatusText());
  lblPWOStatus->setText(model_.operatorStatusText());
}

void frmPOptions::UpdateMonitor() {
  ProcLog log(kModule, "UpdateMonitor");
  int primary = 1;
  model_.monitor.displays = displays(&primary);
  model_.monitor.primary = primary;
  fillMonitor();
  log.completed();
}

// ------------------------------------------------------------------ commands

int frmPOptions::templateRow() const {
  const auto rows = grdTTemplate->selectionModel()->selectedRows();
  return rows.isEmpty() ? 0 : rows.first().row() + 1;
}

int frmPOptions::lengthUnit() const {
  const int chosen = model_.program.units[kUnitLength];
  return chosen >= 1 ? chosen : settings::read(settings::UnitsLength);
}

void frmPOptions::leaveSizeField(int field) {
  if (pendingSize_ != field) return;
  pendingSize_ = -1;
  if (!model_.leaveSizeField(static_cast<SizeField>(field))) {
    pendingSize_ = field;
    QTimer::singleShot(0, txtMSize[field], [e = txtMSize[field]] {
      e->setFocus();
      e->selectAll();
    });
    return;
  }
  for (int f = 0; f < kSizeFieldCount; ++f)
    if (txtMSize[f]->text() != model_.monitor.size[f]) txtMSize[f]->setText(model_.monitor.size[f]);
}

bool frmPOptions::commitPendingSize() {
  if (pendingSize_ < 0) return true;
  const int field = pendingSize_;
  leaveSizeField(field);
  return pendingSize_ < 0;
}

void frmPOptions::cmdOK_Click() {
  ProcLog log(kModule, "cmdOK_Click");
  if (!commitPendingSize()) {
    showPage(Page::Monitors);
    return;
  }
  Page page = currentPage();
  if (!model_.fnDataSave(&page)) {
    showPage(page);
    log.step("Stays open");
    return;
  }
  saved_ = true;
  tmrUnload->start();
  log.completed();
}

void frmPOptions::cmdPSelectFolder_Click() {
  ProcLog log(kModule, "cmdPSelectFolder_Click");
  const QString folder = chooseFolder(this, Str(6042), model_.program.dataFolder);
  if (!folder.isEmpty()) {
    model_.program.dataFolder = QDir::cleanPath(folder);
    txtPDataFolder->setText(model_.program.dataFolder);
  }
  log.completed();
}

void frmPOptions::cmdSubjectMonitor_Click() {
  QStringList entries;
  int n = 0;
  for (const DisplayInfo& d : model_.monitor.displays)
    entries << Str(6201).arg(++n).arg(d.name, Str(6199).arg(d.resHor).arg(d.resVert));
  const int chosen = chooseDisplay(this, entries, model_.monitor.subjectMonitor);
  if (chosen > 0) model_.chooseSubjectMonitor(chosen);
  fillMonitor();
}

void frmPOptions::cmdFPDefaults_Click() {
  model_.restoreDefaults();
  fillPlatform();
}

void frmPOptions::cmdTFileAdd_Click() {
  model_.addTemplate();
  fillTemplates();
  txtTTName->setFocus();
  txtTTName->selectAll();
}

void frmPOptions::cmdTFileDelete_Click() {
  const TemplateEntry* t = model_.selectedTemplate();
  if (!t) return;
  if (showMessage(Str(6260).arg(t->tpl.sName), MsgIcon::Question, MsgButtons::YesNo, 0, 2) != MsgResult::Yes)
    return;
  model_.deleteTemplate(model_.tests.selected);
  fillTemplates();
}

void frmPOptions::cmdTTInsBalance_Click() { fillTemplateTests(model_.insertBalance(templateRow())); }

void frmPOptions::cmdTTInsVision_Click() { fillTemplateTests(model_.insertVision(templateRow())); }

void frmPOptions::cmdTTMove_Click(bool up) { fillTemplateTests(model_.moveTest(templateRow(), up)); }

void frmPOptions::cmdTTRemove_Click() {
  const int row = templateRow();
  if (row < 1) return;
  model_.removeTest(row);
  const TemplateEntry* t = model_.selectedTemplate();
  fillTemplateTests(std::min(row, t ? t->tpl.lTestCount() : 0));
}

void frmPOptions::cmdTTEdit_Click() {
  TemplateEntry* t = model_.selectedTemplate();
  const int row = templateRow();
  if (!t || row < 1 || !t->readable || !t->tpl.bEditable) return;
  frmPOTest dlg(this);
  dlg.setLengthUnit(lengthUnit());
  // The sizes on the monitor page count even before they are saved.
  const DisplayInfo* d = model_.calibratedDisplay();
  double widthMM = 0, heightMM = 0;
  parseNumber(model_.monitor.size[kWidthMM], widthMM);
  parseNumber(model_.monitor.size[kHeightMM], heightMM);
  dlg.setMinimumDistance(d ? MinimumVisionDistance(widthMM, heightMM, d->resHor, d->resVert,
                                                   settings::read(settings::VisionMinLogMAR),
                                                   settings::read(settings::VisionNormalMAR),
                                                   settings::read(settings::VisionSmallestImgPix))
                           : 0.0);
  dlg.setTestItem(*t->tpl.tiTestItem(row));
  KMX_cShowModal show;
  if (show.ShowModal(dlg) != QDialog::Accepted) return;
  model_.replaceTest(row, dlg.testItem());
  fillTemplateTests(row);
}

void frmPOptions::cmdPRCFileAdd_Click() {
  frmPOTNTemplate dlg(this);
  const NoteSet* n = model_.selectedNoteSet();
  dlg.setSelectedSet(n && n->readable ? n->notes.sName : QString());
  KMX_cShowModal show;
  if (show.ShowModal(dlg) != QDialog::Accepted) return;
  model_.addNoteSet(dlg.source(), dlg.name());
  fillNoteSets();
}

void frmPOptions::cmdPRCFileDelete_Click() {
  const NoteSet* n = model_.selectedNoteSet();
  if (!n) return;
  if (showMessage(Str(6106).arg(n->notes.sName), MsgIcon::Question, MsgButtons::YesNo, 0, 2) !=
      MsgResult::Yes)
    return;
  model_.deleteNoteSet(model_.notes.selected);
  fillNoteSets();
}

void frmPOptions::cmdPRCTEdit_Click() {
  const NoteSet* n = model_.selectedNoteSet();
  const int row = grdPRCTTemplate->currentRow();
  if (!n || row < 0 || !n->readable || !n->notes.bEditable) return;
  frmPOTNotes dlg(this);
  dlg.setNote(resultRow(row, RowUse::Notes), n->notes.sComment(row));
  KMX_cShowModal show;
  if (show.ShowModal(dlg) != QDialog::Accepted) return;
  model_.setNote(row, dlg.note());
  fillNoteContents(row);
}

void frmPOptions::cmdRBrowse_Click() {
  const int row = grdRReferralForms->currentRow();
  if (row < 0) return;
  const QString current = model_.docs.files[row];
  const QString start = current.isEmpty() ? model_.docs.lastPath : current;
  const QString file = chooseFile(this, productTitle() + Str(6127), start, qtFilter(Str(6128)));
  if (file.isEmpty()) return;
  model_.setDocument(row + 1, file);
  fillDocRow(row);
}

void frmPOptions::cmdROpen_Click(bool print) {
  const int row = grdRReferralForms->currentRow();
  const QString file = row >= 0 ? model_.docs.files[row] : QString();
  if (file.isEmpty()) {
    showMessage(Str(6129), MsgIcon::Exclamation);
    return;
  }
  if (!QFileInfo::exists(file)) {
    showMessage(Str(6130).arg(QDir::toNativeSeparators(file)), MsgIcon::Exclamation);
    return;
  }
  if (print) {
    const QStringList command = DocumentPrintCommand(file);
    if (command.isEmpty()) {
      showMessage(Str(6131).arg(QDir::toNativeSeparators(file)), MsgIcon::Exclamation);
      return;
    }
    if (!runCommand(command))
      showMessage(Str(6132).arg(QDir::toNativeSeparators(file)), MsgIcon::Exclamation);
    return;
  }
  if (!openDocument(file)) showMessage(Str(6132).arg(QDir::toNativeSeparators(file)), MsgIcon::Exclamation);
}

void frmPOptions::cmdPWAChange_Click() {
  const PasswordChange c = model_.changeAdministratorPassword(txtPWANew->text(), txtPWAConfirm->text());
  if (c != PasswordChange::AdministratorFirst) {
    txtPWANew->clear();
    txtPWAConfirm->clear();
  }
  if (c == PasswordChange::Different) txtPWANew->setFocus();
  fillPasswords();
}

void frmPOptions::cmdPWOChange_Click() {
  const PasswordChange c = model_.changeOperatorPassword(txtPWONew->text(), txtPWOConfirm->text());
  if (c != PasswordChange::AdministratorFirst) {
    txtPWONew->clear();
    txtPWOConfirm->clear();
  }
  if (c == PasswordChange::Different) txtPWONew->setFocus();
  fillPasswords();
}

}  // namespace tarn
