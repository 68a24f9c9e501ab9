#include "reports/windows/frmtrprint.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QKeyEvent>
#include <QPainter>
#include <QVBoxLayout>
#include <cmath>

#include "balance/windows/kmxcopdisplay.h"
#include "core/eventlog.h"
#include "core/filedialogs.h"
#include "core/messages.h"
#include "core/settingkeys.h"
#include "core/windows/buttoncolouring.h"
#include "core/windows/frmpprogress.h"
#include "reports/reportssettings.h"
#include "reports/windows/frmtreport.h"
#include "reports/windows/printentry.h"
#include "support/strings/strings.h"

namespace tarn {
namespace {

constexpr char kModule[] = "frmTRPrint";
constexpr double kTwipsPerPlotUnit = 16.0;  // plots are drawn in units of 16 twips (90 per inch)
constexpr int kPlotFontPx = 8;
constexpr int kClipboardPageWidth = 1224;  // 144 per inch

QPushButton* button(const QString& text, QWidget* parent) {
  auto* b = new QPushButton(text, parent);
  b->setMinimumHeight(30);
  b->setMinimumWidth(100);
  b->setAutoDefault(false);
  return b;
}

QString printerNameOf(const QComboBox* c) { return c->currentText(); }

}  // namespace

frmTRPrint::frmTRPrint(const frmTReport& report, QWidget* parent) : QDialog(parent), report_(report) {
  ProcLog log(kModule, "Form_Load");
  setWindowTitle(Str(18000));
  auto* root = new QVBoxLayout(this);
  auto* body = new QHBoxLayout;
  root->addLayout(body, 1);

  auto* items = new QGroupBox(Str(18020), this);
  auto* grid = new QGridLayout(items);
  for (int f = 0; f < kReportFamilies; ++f) {
    chkType[size_t(f)] = new QCheckBox(Str(18022 + f), items);
    QFont bold = chkType[size_t(f)]->font();
    bold.setBold(true);
    chkType[size_t(f)]->setFont(bold);
    grid->addWidget(chkType[size_t(f)], 0, f);
    int row = 1;
    auto add = [&](QCheckBox*& box, int id) {
      box = new QCheckBox(Str(id), items);
      grid->addWidget(box, row++, f);
      connect(box, &QCheckBox::toggled, this, &frmTRPrint::refreshStatus);
    };
    add(chkCover[size_t(f)], 18030);
    add(chkVision[size_t(f)], 18031);
    for (int k = 0; k < 4; ++k) add(chkBalance[size_t(f)][size_t(k)], 18032 + k);
    add(chkBComparison[size_t(f)], 18036);
    add(chkReferrals[size_t(f)], 18037);
    add(chkReportID[size_t(f)], 18038);
    add(chkPageNum[size_t(f)], 18039);
    connect(chkType[size_t(f)], &QCheckBox::toggled, this, [this, f] { familyToggled(f); });
  }
  body->addWidget(items, 1);

  auto* side = new QVBoxLayout;
  auto* form = new QGridLayout;
  int r = 0;
  form->addWidget(new QLabel(Str(18050), this), r, 0);
  cmbPrinters = new QComboBox(this);
  form->addWidget(cmbPrinters, r++, 1, 1, 2);
  form->addWidget(new QLabel(Str(18052), this), r, 0);
  txtPdfFile = new QLineEdit(this);
  form->addWidget(txtPdfFile, r, 1);
  cmdBrowse = new QPushButton(Str(18053), this);
  form->addWidget(cmdBrowse, r++, 2);
  form->addWidget(new QLabel(Str(18060), this), r, 0);
  optPaperSize[0] = new QRadioButton(Str(18061), this);
  optPaperSize[1] = new QRadioButton(Str(18062), this);
  auto* paper = new QHBoxLayout;
  paper->addWidget(optPaperSize[0]);
  paper->addWidget(optPaperSize[1]);
  paper->addStretch(1);
  form->addLayout(paper, r++, 1, 1, 2);
  form->addWidget(new QLabel(Str(18070), this), r, 0);
  mchQuality = new QButtonGroup(this);
  auto* quality = new QHBoxLayout;
  const QStringList choices = Str(18071).split('|', Qt::SkipEmptyParts);
  for (int i = 0; i < choices.size(); ++i) {
    auto* b = new QRadioButton(choices[i], this);
    mchQuality->addButton(b, i + 1);
    quality->addWidget(b);
  }
  quality->addStretch(1);
  form->addLayout(quality, r++, 1, 1, 2);
  form->addWidget(new QLabel(Str(18080), this), r, 0);
  txtCopies = new QLineEdit(this);
  txtCopies->setMaximumWidth(60);
  form->addWidget(txtCopies, r++, 1);
  chkColor = new QCheckBox(Str(18081), this);
  form->addWidget(chkColor, r++, 1, 1, 2);
  side->addLayout(form);
  side->addWidget(new QLabel(Str(18100), this));
  lstStatus = new QListWidget(this);
  lstStatus->setMaximumHeight(110);
  side->addWidget(lstStatus);
  lblInstructions = new QLabel(Str(18090), this);
  lblInstructions->setWordWrap(true);
  lblInstructions->setFrameShape(QFrame::StyledPanel);
  lblInstructions->setMargin(6);
  side->addWidget(lblInstructions, 1);
  body->addLayout(side, 1);

  auto* buttons = new QHBoxLayout;
  cmdPrint = button(Str(18010), this);
  cmdBack = button(Str(18011), this);
  cmdNext = button(Str(18012), this);
  cmdOK = button(Str(18013), this);
  cmdCancel = button(Str(18014), this);
  buttons->addWidget(cmdPrint);
  buttons->addStretch(1);
  for (QPushButton* b : {cmdBack, cmdNext, cmdOK, cmdCancel}) buttons->addWidget(b);
  root->addLayout(buttons);
  // This window only prints; every closing button leaves it.
  cmdBack->hide();
  cmdNext->hide();
  connect(cmdPrint, &QPushButton::clicked, this, [this] { cmdPrint_Click(); });
  connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);
  connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(cmbPrinters, &QComboBox::currentIndexChanged, this, &frmTRPrint::printerChanged);
  connect(cmdBrowse, &QPushButton::clicked, this, &frmTRPrint::browse);
  CmdButtonColouring::install(this);
  LoadSettings();
  log.completed();
}

frmTRPrint::~frmTRPrint() {
  ProcLog log(kModule, "Form_Unload");
  log.step("Unreferencing Objects");
  log.completed();
}

void frmTRPrint::LoadSettings() {
  ProcLog log(kModule, "LoadSettings");
  namespace s = settings;
  const ReportModel& m = report_.model();
  const PrintChoice c = PrintChoice::fromSettings();
  const bool enabledTab[7] = {m.tabEnabled(0), m.tabEnabled(1), m.tabEnabled(2), m.tabEnabled(3),
                              m.tabEnabled(4), m.tabEnabled(5), m.tabEnabled(6)};
  for (int f = 0; f < kReportFamilies; ++f) {
    const FamilyChoice& fc = c.families[size_t(f)];
    const size_t i = size_t(f);
    chkCover[i]->setChecked(fc.cover);
    chkVision[i]->setChecked(fc.vision && enabledTab[kTabVision]);
    for (int k = 0; k < 4; ++k)
      chkBalance[i][size_t(k)]->setChecked(fc.balance[size_t(k)] && enabledTab[1 + k]);
    chkBComparison[i]->setChecked(fc.comparison && enabledTab[kTabComparison]);
    chkReferrals[i]->setChecked(fc.referrals);
    chkReportID[i]->setChecked(fc.reportID);
    chkPageNum[i]->setChecked(fc.pageNums);
    chkType[i]->setChecked(fc.print);
    familyToggled(f);
  }

  const QSignalBlocker block(cmbPrinters);
  cmbPrinters->clear();
  cmbPrinters->addItems(InstalledPrinters());
  cmbPrinters->addItem(Str(18051));
  const std::optional<QString> automatic = AutomaticPdfOutput();
  QString wanted = automatic ? Str(18051) : s::read(s::ReportPrinter);
  if (wanted.isEmpty()) wanted = DefaultPrinter();
  const int at = cmbPrinters->findText(wanted);
  cmbPrinters->setCurrentIndex(at >= 0 ? at : 0);
  txtPdfFile->setText(automatic ? *automatic : s::read(s::ReportPdfFile));
  printerChanged();

  const int paper = s::read(s::ReportPaper);
  optPaperSize[paper == 9 ? 1 : 0]->setChecked(true);
  chkColor->setChecked(s::read(s::ReportColor) == 2);
  const int quality = -s::read(s::ReportQuality);
  if (auto* b = mchQuality->button(quality)) b->setChecked(true);
  txtCopies->setText(QString::number(c.copies));
  refreshStatus();
  log.completed();
}

void frmTRPrint::familyToggled(int f) {
  // A family's items follow its box; items the report lacks stay off.
  const ReportModel& m = report_.model();
  const size_t i = size_t(f);
  const bool on = chkType[i]->isChecked();
  chkCover[i]->setEnabled(on);
  chkVision[i]->setEnabled(on && m.tabEnabled(kTabVision));
  for (int k = 0; k < 4; ++k) chkBalance[i][size_t(k)]->setEnabled(on && m.tabEnabled(1 + k));
  chkBComparison[i]->setEnabled(on && m.tabEnabled(kTabComparison));
  for (QCheckBox* b : {chkReferrals[i], chkReportID[i], chkPageNum[i]}) b->setEnabled(on);
  refreshStatus();
}

PrintChoice frmTRPrint::choice() const {
  PrintChoice c;
  for (int f = 0; f < kReportFamilies; ++f) {
    const size_t i = size_t(f);
    FamilyChoice& fc = c.families[i];
    auto ticked = [](const QCheckBox* b) { return b->isChecked() && b->isEnabled(); };
    fc.print = chkType[i]->isChecked();
    fc.cover = ticked(chkCover[i]);
    fc.vision = ticked(chkVision[i]);
    for (int k = 0; k < 4; ++k) fc.balance[size_t(k)] = ticked(chkBalance[i][size_t(k)]);
    fc.comparison = ticked(chkBComparison[i]);
    fc.referrals = ticked(chkReferrals[i]);
    fc.reportID = ticked(chkReportID[i]);
    fc.pageNums = ticked(chkPageNum[i]);
  }
  c.copies = CopiesFromText(txtCopies->text());
  return c;
}

bool frmTRPrint::pdfChosen() const { return cmbPrinters->currentText() == Str(18051); }

PrintSettings frmTRPrint::printSettings() const {
  PrintSettings s;
  s.toPdf = pdfChosen();
  s.printer = s.toPdf ? QString() : printerNameOf(cmbPrinters);
  s.pdfPath = txtPdfFile->text().trimmed();
  s.paper = optPaperSize[1]->isChecked() ? 9 : 1;
  s.colour = chkColor->isChecked();
  s.quality = PrintQualityCode(mchQuality->checkedId());
  return s;
}

int frmTRPrint::GetItemsCount() const {
  PrintInputs in;
  in.hipaa = settings::readBool(settings::HipaaCompliant);
  return ReportPrintout(report_.model(), in).GetItemsCount(choice());
}

void frmTRPrint::refreshStatus() {
  if (!lstStatus) return;
  const QString line = QString::number(GetItemsCount()) + Str(18110);
  if (lstStatus->count() == 0) lstStatus->addItem(line);
  lstStatus->item(0)->setText(line);
}

void frmTRPrint::printerChanged() {
  const bool pdf = pdfChosen();
  txtPdfFile->setEnabled(pdf);
  cmdBrowse->setEnabled(pdf);
}

void frmTRPrint::browse() {
  FileDialogRequest r;
  r.kind = FileDialogKind::Save;
  r.title = Str(18052);
  r.filter = Str(18054) + "|*.pdf";
  r.folder = QFileInfo(txtPdfFile->text()).absolutePath();
  r.fileName = txtPdfFile->text();
  r.defaultExt = ".pdf";
  const QStringList chosen = showFileDialog(r);
  if (!chosen.isEmpty()) txtPdfFile->setText(chosen.front());
}

PrintInputs frmTRPrint::inputs(bool* commentsLoaded, QString* commentsFile) const {
  PrintInputs in = PrintInputs::fromSettings(commentsLoaded, commentsFile);
  in.showNames = showNames_;
  // The printed plots keep the grid the operator chose for each plot in the results window.
  for (int k = 0; k < kShownBalanceTests; ++k)
    if (const KMXCoPDisplay* d = report_.KMXCoPDisplayTB[size_t(k + 1)])
      in.gridSteps[size_t(k)] = d->GridStep();
  return in;
}

std::vector<FamilyPrintout> frmTRPrint::composeRun() const {
  return ReportPrintout(report_.model(), inputs()).PrintRun(choice());
}

KMXCoPDisplay* frmTRPrint::printDisplay(int k) const {
  if (k < 0 || k >= 4 || !report_.KMXCoPDisplayTB[size_t(k + 1)]) return nullptr;
  auto& d = displays_[size_t(k)];
  if (!d) {
    // A copy of the results window's plot, styled for paper: white, finer lines, small legend.
    d = std::make_unique<KMXCoPDisplay>();
    d->copyFrom(*report_.KMXCoPDisplayTB[size_t(k + 1)]);
    QPalette pal = d->palette();
    pal.setColor(QPalette::Window, Qt::white);
    pal.setColor(QPalette::WindowText, Qt::black);
    d->setPalette(pal);
    QFont f("Times New Roman");
    f.setPixelSize(kPlotFontPx);
    d->setFont(f);
    d->setPathWidth(0.8);
    d->setMarkSize(8);
  }
  return d.get();
}

PagePlotDrawer frmTRPrint::plotDrawer() const {
  return [this](QPainter& p, const QRectF& area, int plot, double unitsPerTwip) {
    KMXCoPDisplay* d = printDisplay(plot);
    if (!d || !(unitsPerTwip > 0)) return;
    // Drawn in plot units scaled onto the page, so lines and the legend keep their printed size.
    const double k = kTwipsPerPlotUnit * unitsPerTwip;
    const double units = area.width() / k;
    p.save();
    p.translate(area.topLeft());
    p.scale(k, k);
    d->render(p, QRectF(0, 0, units, area.height() / k));
    p.restore();
  };
}

bool frmTRPrint::copyFirstPage() const {
  ProcLog log(kModule, "Form_KeyDown", "Copy");
  const std::vector<FamilyPrintout> run = composeRun();
  for (const FamilyPrintout& f : run) {
    if (f.pages.empty()) continue;
    log.step(f.pages.front().name);
    CopyPageToClipboard(f.pages.front(), kClipboardPageWidth, plotDrawer());
    log.completed();
    return true;
  }
  log.step("Nothing ticked");
  log.completed();
  return false;
}

void frmTRPrint::keyPressEvent(QKeyEvent* e) {
  if (e->matches(QKeySequence::Copy)) {
    copyFirstPage();
    return;
  }
  QDialog::keyPressEvent(e);
}

bool frmTRPrint::cmdPrint_Click() {
  ProcLog log(kModule, "cmdPrint_Click");
  outcome_ = PrintOutcome{};
  const int copies = CopiesFromText(txtCopies->text());
  txtCopies->setText(QString::number(copies));
  PrintSettings s = printSettings();

  if (!s.toPdf && !InstalledPrinters().contains(s.printer)) {
    log.step("No Printer");
    if (cmbPrinters->count() > 0) cmbPrinters->setCurrentIndex(0);
    s = printSettings();
  }
  if (s.toPdf && s.pdfPath.isEmpty()) {
    log.step("No PDF file");
    showMessage(Str(18134), MsgIcon::Exclamation);
    outcome_.ok = false;
    log.completed();
    return false;
  }

  frmPProgress progress(isVisible() ? this : nullptr);
  progress.setWindowTitle(Str(18120));
  progress.lblMessage->setText(Str(18121));
  if (isVisible()) {
    progress.move(mapToGlobal(QPoint(0, height() - progress.height())));
    progress.show();
    progress.repaint();
  }

  const QString previous = DefaultPrinter();
  log.step("Setting Printer");
  if (!s.toPdf) SetDefaultPrinter(s.printer);
  log.step("Setting Printer Settings");

  bool commentsLoaded = true;
  QString commentsFile;
  PrintInputs in = inputs(&commentsLoaded, &commentsFile);
  const PrintChoice c = choice();
  if (!commentsLoaded && (c.families[kFamilySubject].print || c.families[kFamilyExternal].print)) {
    log.error("Comment template not read: " + commentsFile);
    showMessage(Str(18135).arg(commentsFile), MsgIcon::Information);
  }
  const std::vector<FamilyPrintout> run = ReportPrintout(report_.model(), in).PrintRun(c);

  progress.lblMessage->setText(Str(18122));
  log.step("Print");
  if (!run.empty()) {
    // The progress is repainted, not the event loop run: nothing else happens while a run prints.
    outcome_ = PrintReports(run, s, plotDrawer(), [&](const QString&) {
      if (progress.isVisible()) progress.lblMessage->repaint();
    });
  }
  log.step("Restore Printer");
  SetDefaultPrinter(previous);
  log.step("Unload progress");
  progress.close();
  cmdOK->setFocus();

  if (!outcome_.ok) {
    const QString where = s.toPdf ? s.pdfPath : s.printer;
    showMessage((s.toPdf ? Str(18132) : Str(18131)).arg(where, outcome_.failure), MsgIcon::Critical);
  } else if (!outcome_.failedDocs.isEmpty()) {
    showMessage(Str(18133).arg(outcome_.failedDocs.join('\n')), MsgIcon::Exclamation);
  }
  log.step(QStringLiteral("Pages printed: %1").arg(outcome_.pages));
  log.completed();
  return outcome_.ok && outcome_.failedDocs.isEmpty();
}

}  // namespace tarn
