#include "balance/windows/frmtbzero.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "balance/balancesettings.h"
#include "balance/plate/acquiringplate.h"
#include "balance/procedures/balancetestrun.h"
#include "balance/windows/subjectmirror.h"
#include "core/eventlog.h"
#include "core/settingkeys.h"
#include "core/windows/buttoncolouring.h"
#include "core/windows/subjectforms.h"
#include "support/strings/strings.h"

namespace tarn {

namespace {
constexpr char kModule[] = "frmTBZero";

QLabel* valueLabel(QWidget* parent) {
  auto* l = new QLabel("-", parent);
  l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  l->setFrameShape(QFrame::StyledPanel);
  l->setMinimumWidth(90);
  return l;
}
}  // namespace

frmTBZero::frmTBZero(KMX_HID_Devices* driver, BalanceTestRun* run, KMTARNRQSF* forms, QWidget* parent)
    : QDialog(parent), run_(run), forms_(forms) {
  ProcLog log(kModule, "Form_Load");
  setWindowTitle(Str(3170));
  zc_ = new ZeroController(driver, this);
  zc_->setSurface(run ? run->conditions.surface : 1);

  auto* top = new QVBoxLayout(this);
  top->setSpacing(10);
  auto* plateRow = new QHBoxLayout;
  auto* lblPlates = new QLabel(Str(3171), this);
  cmbPlates = new QComboBox(this);
  cmbPlates->setMinimumWidth(320);
  lblPlates->setBuddy(cmbPlates);
  plateRow->addWidget(lblPlates);
  plateRow->addWidget(cmbPlates, 1);
  top->addLayout(plateRow);

  auto* frames = new QHBoxLayout;
  auto* fraParams = new QGroupBox(Str(3172), this);
  auto* pg = new QGridLayout(fraParams);
  lblExcitation = valueLabel(fraParams);
  lblFreqTxt = valueLabel(fraParams);
  txtDuration = new QLineEdit(fraParams);
  txtDuration->setAlignment(Qt::AlignRight);
  txtDuration->setMaximumWidth(90);
  auto* lblDuration = new QLabel(Str(3175), fraParams);
  lblDuration->setBuddy(txtDuration);
  pg->addWidget(new QLabel(Str(3173), fraParams), 0, 0);
  pg->addWidget(lblExcitation, 0, 1);
  pg->addWidget(new QLabel(Str(3174), fraParams), 1, 0);
  pg->addWidget(lblFreqTxt, 1, 1);
  pg->addWidget(lblDuration, 2, 0);
  pg->addWidget(txtDuration, 2, 1);
  pg->setRowStretch(3, 1);
  frames->addWidget(fraParams);

  fraValues = new QGroupBox(Str(3176), this);
  auto* vg = new QGridLayout(fraValues);
  auto header = [&](const QString& t, int row, int col, int span = 1) {
    auto* l = new QLabel(t, fraValues);
    l->setAlignment(Qt::AlignCenter);
    vg->addWidget(l, row, col, 1, span);
  };
  header(Str(3178), 0, 1, 2);
  header(Str(3181), 0, 3);
  header(Str(3182), 0, 4);
  header(Str(3179), 1, 1);
  header(Str(3180), 1, 2);
  header(Str(3179), 1, 3);
  for (int c = 0; c < 3; ++c) {
    vg->addWidget(new QLabel(Str(3177).arg(c + 1), fraValues), c + 2, 0);
    for (int k = 0; k < 4; ++k) {
      lblValue[c][k] = valueLabel(fraValues);
      vg->addWidget(lblValue[c][k], c + 2, k + 1);
    }
  }
  frames->addWidget(fraValues, 1);
  top->addLayout(frames);

  auto text = [&](const QString& caption, QLabel*& label, int minHeight) {
    auto* box = new QGroupBox(caption, this);
    auto* l = new QVBoxLayout(box);
    label = new QLabel(box);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setMinimumHeight(minHeight);
    l->addWidget(label);
    top->addWidget(box);
  };
  text(Str(3183), lblStatus, 90);
  text(Str(3200), lblInstructions, 110);
  QFont big = lblInstructions->font();
  big.setPointSizeF(big.pointSizeF() * 1.15);
  big.setBold(true);
  lblInstructions->setFont(big);

  prgZero = new QProgressBar(this);
  prgZero->setRange(0, 100);
  prgZero->setTextVisible(false);
  prgZero->setMaximumHeight(10);
  top->addWidget(prgZero);

  auto* buttons = new QHBoxLayout;
  cmdCancel = new QPushButton(Str(3302), this);
  cmdBack = new QPushButton(Str(3303), this);
  cmdRedoZero = new QPushButton(Str(3189), this);
  cmdAcquire = new QPushButton(Str(3308), this);
  cmdNext = new QPushButton(Str(3304), this);
  for (QPushButton* b : {cmdCancel, cmdBack, cmdRedoZero, cmdAcquire, cmdNext}) {
    b->setMinimumSize(110, 32);
    b->setAutoDefault(false);
  }
  buttons->addWidget(cmdCancel);
  buttons->addStretch(1);
  buttons->addWidget(cmdRedoZero);
  buttons->addWidget(cmdAcquire);
  buttons->addSpacing(24);
  buttons->addWidget(cmdBack);
  buttons->addWidget(cmdNext);
  top->addLayout(buttons);

  Timer1 = new QTimer(this);
  Timer1->setInterval(100);
  connect(Timer1, &QTimer::timeout, this, &frmTBZero::Timer1_Timer);

  txtDuration->setText(QString::number(settings::read(settings::ZeroDuration) / 1000.0));
  connect(cmdAcquire, &QPushButton::clicked, this, &frmTBZero::cmdAcquire_Click);
  connect(cmdRedoZero, &QPushButton::clicked, this, &frmTBZero::cmdAcquire_Click);
  connect(cmdNext, &QPushButton::clicked, this, &frmTBZero::cmdNext_Click);
  connect(cmdBack, &QPushButton::clicked, this, [this] { finish(-1); });
  connect(cmdCancel, &QPushButton::clicked, this, [this] { finish(0); });
  connect(cmbPlates, &QComboBox::activated, this, [this](int i) { zc_->choosePlate(i); });
  connect(zc_, &ZeroController::changed, this, &frmTBZero::updateForm);
  connect(zc_, &ZeroController::plateListChanged, this, &frmTBZero::fillPlates);
  connect(zc_, &ZeroController::zeroFinished, this, [this](bool) {
    Timer1->stop();
    prgZero->setValue(0);
    if (subject_) subject_->hide();
    if (forms_) forms_->ShowIdle(this);
  });
  connect(zc_, &ZeroController::proceedRequested, this,
          [this] { QTimer::singleShot(0, this, [this] { cmdNext_Click(); }); });

  fillPlates();
  CmdButtonColouring::install(this);
  resize(820, 640);
  log.completed();
}

frmTBZero::~frmTBZero() { ProcLog(kModule, "Form_Unload").step("Unreferencing Objects"); }

void frmTBZero::fillPlates() {
  cmbPlates->blockSignals(true);
  cmbPlates->clear();
  cmbPlates->addItem(Str(3190));
  cmbPlates->addItems(zc_->plateTexts());
  cmbPlates->setCurrentIndex(zc_->chosenIndex());
  cmbPlates->blockSignals(false);
  updateForm();
}

void frmTBZero::updateForm() {
  const bool busy = zc_->acquiring();
  if (cmbPlates->currentIndex() != zc_->chosenIndex()) cmbPlates->setCurrentIndex(zc_->chosenIndex());
  const ZeroStatus st = zc_->status();
  lblStatus->setText(st.text);
  lblInstructions->setText(zc_->instructions());
  lblExcitation->setText(QString::number(settings::read(settings::ZeroExcitation) / 1000.0, 'f', 2));
  const auto* acq = qobject_cast<const AcquiringPlate*>(zc_->plate());
  lblFreqTxt->setText(acq ? QString::number(acq->zeroFrequency(), 'f', 0) : QString("-"));
  const auto z = zc_->shownZero();
  const bool refused = z && zc_->shownZeroRefused();
  fraValues->setTitle(Str(refused ? 3194 : 3176));
  for (int c = 0; c < 3; ++c)
    for (int k = 0; k < 4; ++k)
      lblValue[c][k]->setStyleSheet(refused ? QStringLiteral("color: #b05a00;") : QString());
  for (int c = 0; c < 3; ++c) {
    if (!z) {
      for (int k = 0; k < 4; ++k) lblValue[c][k]->setText("-");
      continue;
    }
    lblValue[c][0]->setText(QString::number(z->ave[c], 'f', 0));
    lblValue[c][1]->setText(QString::number(ZeroVolts(z->ave[c]), 'f', 4));
    lblValue[c][2]->setText(QString::number(z->rms[c], 'f', 1));
    lblValue[c][3]->setText(QString::number(ZeroSnrDb(z->ave[c], z->rms[c]), 'f', 1));
  }
  const bool chosen = zc_->plate() != nullptr;
  cmbPlates->setEnabled(!busy);
  txtDuration->setEnabled(!busy);
  cmdAcquire->setEnabled(chosen && !busy && st.mustZero);
  cmdRedoZero->setEnabled(chosen && !busy && !st.mustZero);
  cmdNext->setEnabled(zc_->canProceed());
  cmdBack->setEnabled(!busy);
  cmdCancel->setEnabled(!busy);
  if (!busy) {
    QPushButton* focus = cmdNext->isEnabled() ? cmdNext : (cmdAcquire->isEnabled() ? cmdAcquire : nullptr);
    if (focus && !focus->hasFocus() && isVisible()) focus->setFocus();
  }
}

void frmTBZero::cmdAcquire_Click() {
  ProcLog log(kModule, "cmdAcquire_Click");
  QString error;
  const auto ms = ParseZeroDuration(txtDuration->text(), error);
  if (!ms) {
    log.error(error);
    showMessage(error, MsgIcon::Exclamation);
    txtDuration->setFocus();
    txtDuration->selectAll();
    return;
  }
  if (!zc_->acquire(*ms)) return;
  Timer1->start();
  if (forms_ && forms_->subjectScreen()) {
    if (!subject_) subject_ = new SubjectMirror(this);
    subject_->setSource({});
    subject_->lblTitle->setText(Str(3192));
    subject_->lblInstructions->setText(Str(3193));
    subject_->showOn(forms_->subjectScreen());
    subject_->lblTitle->show();
    subject_->lblInstructions->show();
    subject_->display->hide();
    subject_->lblTime->hide();
  }
  log.completed();
}

void frmTBZero::Timer1_Timer() { prgZero->setValue(static_cast<int>(zc_->progress() * 100)); }

void frmTBZero::cmdNext_Click() {
  ProcLog log(kModule, "cmdNext_Click");
  if (!zc_->dataOK(run_)) return;
  finish(1);
  log.completed();
}

void frmTBZero::showEvent(QShowEvent* e) {
  zc_->setStepRunning(true);
  QDialog::showEvent(e);
}

void frmTBZero::finish(int code) {
  if (zc_->acquiring()) return;
  zc_->setStepRunning(false);
  exit_ = code;
  ProcLog(kModule, "Form_Exit", QString("DialogExitButton=%1").arg(code)).completed();
  done(code);
}

void frmTBZero::reject() {
  if (zc_->acquiring()) return;  // Esc during a zero does nothing
  finish(0);
}

void frmTBZero::closeEvent(QCloseEvent* e) {
  if (zc_->acquiring()) {
    e->ignore();
    return;
  }
  exit_ = 0;
  zc_->setStepRunning(false);
  QDialog::closeEvent(e);
}

}  // namespace tarn
