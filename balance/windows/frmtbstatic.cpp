#include "balance/windows/frmtbstatic.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QScreen>
#include <QVBoxLayout>

#include "balance/analysis/analysis.h"
#include "balance/windows/subjectmirror.h"
#include "core/eventlog.h"
#include "core/settingkeys.h"
#include "core/windows/buttoncolouring.h"
#include "core/windows/showmodal.h"
#include "core/windows/subjectforms.h"
#include "support/units/units.h"

namespace tarn {

namespace {
constexpr char kModule[] = "frmTBStatic";
constexpr char kOperatorHelp[] =
    "To switch to the Subject Screen press 'Subj Screen'.\n\nTo practice while viewing the sway press "
    "'Practice'.\nTo "
    "center the sway display press 'Recenter'.\n\nTo perform the test press 'Acquire'.\n\nDuring the test, "
    "if "
    "something that makes the test invalid occurs, press 'Stop Test' to immediately stop the test.\nThe test "
    "can be "
    "repeated by pressing 'Redo Test'.\n\nIf the test cannot be completed unaided in the specified "
    "conditions, check "
    "'Unable to Complete'";
constexpr int kTargetSize = 10;
constexpr int kMarkSize = 12;

QString plain(const QString& caption) { return QString(caption).remove('&'); }

QPushButton* button(const QString& text, QWidget* parent) {
  auto* b = new QPushButton(text, parent);
  b->setMinimumHeight(30);
  b->setAutoDefault(false);
  return b;
}
}  // namespace

frmTBStatic::frmTBStatic(KMX_BalancePlate* plate, KMX_HID_Devices* driver, KMTARNRQSF* forms, QWidget* parent)
    : QDialog(parent), forms_(forms) {
  ProcLog log(kModule, "Form_Load");
  ctl_ = new StaticTestController(plate, driver, this);
  setWindowTitle(StaticTestCaption(0));

  auto* root = new QHBoxLayout(this);
  root->setSpacing(12);

  // Left: what the subject sees.
  auto* left = new QVBoxLayout;
  lblTitle = new QLabel(this);
  QFont tf = lblTitle->font();
  tf.setPointSizeF(tf.pointSizeF() * 1.5);
  tf.setBold(true);
  lblTitle->setFont(tf);
  lblInstructions = new QLabel(this);
  lblInstructions->setWordWrap(true);
  lblInstructions->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  lblInstructions->setFrameShape(QFrame::StyledPanel);
  lblInstructions->setMargin(8);
  lblInstructions->setMinimumHeight(150);
  QFont inf = lblInstructions->font();
  inf.setPointSizeF(inf.pointSizeF() * 1.1);
  lblInstructions->setFont(inf);
  auto* timeRow = new QHBoxLayout;
  lblTime = new QLabel(this);
  QFont tmf = lblTime->font();
  tmf.setPointSizeF(tmf.pointSizeF() * 1.4);
  tmf.setBold(true);
  lblTime->setFont(tmf);
  lblTime->setMinimumWidth(140);
  lblTime->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  lblStatus = new QLabel(this);
  lblStatus->setFont(tmf);
  lblStatus->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  timeRow->addWidget(lblTime);
  timeRow->addStretch(1);
  timeRow->addWidget(lblStatus);
  copDisplay = new KMXCoPDisplay(this);
  copDisplay->setMinimumSize(420, 420);
  copDisplay->setContextMenuPolicy(Qt::CustomContextMenu);
  lblPointer = new QLabel(this);
  lblPointer->setAlignment(Qt::AlignRight);
  left->addWidget(lblTitle);
  left->addWidget(lblInstructions);
  left->addLayout(timeRow);
  left->addWidget(copDisplay, 1);
  left->addWidget(lblPointer);
  root->addLayout(left, 3);

  // Right: the operator's commands.
  auto* right = new QVBoxLayout;
  lblHelp = new QLabel(QString::fromUtf8(kOperatorHelp), this);
  lblHelp->setWordWrap(true);
  lblHelp->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  QFont hf = lblHelp->font();
  hf.setPointSizeF(hf.pointSizeF() * 0.92);
  lblHelp->setFont(hf);
  lblHelp->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Minimum);
  right->addWidget(lblHelp);

  auto* test = new QGridLayout;
  cmdPracticeStart = button("&Practice", this);
  cmdPracticeStop = button("End &Practice", this);
  cmdRecenter = button("&Recenter", this);
  cmdAcquire = button("&Acquire", this);
  cmdStopTest = button("&Stop Test", this);
  cmdRedoTest = button("&Redo Test", this);
  cmdUnableToComplete = button("&Unable to Complete", this);
  chkFallen = new QCheckBox(this);
  chkFallen->setToolTip("Unable to Complete");
  test->addWidget(cmdPracticeStart, 0, 0);
  test->addWidget(cmdPracticeStop, 0, 1);
  test->addWidget(cmdRecenter, 0, 2);
  test->addWidget(cmdAcquire, 1, 0);
  test->addWidget(cmdStopTest, 1, 1);
  test->addWidget(cmdRedoTest, 1, 2);
  auto* fallenRow = new QHBoxLayout;
  fallenRow->addWidget(chkFallen);
  fallenRow->addWidget(cmdUnableToComplete, 1);
  test->addLayout(fallenRow, 2, 0, 1, 3);
  right->addLayout(test);

  auto* fraScreen = new QGroupBox("Subject's Screen:", this);
  auto* sl = new QHBoxLayout(fraScreen);
  cmdSwitchView = button("&Subj Screen", fraScreen);
  cmdDisplay = button("Display &ON", fraScreen);
  cmdDisplay->setCheckable(true);
  sl->addWidget(cmdSwitchView);
  sl->addWidget(cmdDisplay);
  right->addWidget(fraScreen);

  auto* fraReplay = new QGroupBox("Replay:", this);
  auto* rl = new QGridLayout(fraReplay);
  cmdReplay = button("Re&play", fraReplay);
  cmdReplayPause = button("Pause", fraReplay);
  cmdReplayUnpause = button("Resume", fraReplay);
  cmdReplayStop = button("Stop", fraReplay);
  hscReplaySpeed = new QScrollBar(Qt::Horizontal, fraReplay);
  hscReplaySpeed->setRange(1, 400);
  hscReplaySpeed->setValue(100);
  hscReplaySpeed->setSingleStep(5);
  hscReplaySpeed->setPageStep(25);
  lblReplaySpeedVal = new QLabel("100%", fraReplay);
  lblReplaySpeedVal->setMinimumWidth(60);
  lblReplaySpeedVal->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  rl->addWidget(cmdReplay, 0, 0);
  rl->addWidget(cmdReplayPause, 0, 1);
  rl->addWidget(cmdReplayUnpause, 0, 2);
  rl->addWidget(cmdReplayStop, 0, 3);
  rl->addWidget(new QLabel("Speed:", fraReplay), 1, 0);
  rl->addWidget(hscReplaySpeed, 1, 1, 1, 2);
  rl->addWidget(lblReplaySpeedVal, 1, 3);
  right->addWidget(fraReplay);

  txtResults = new QPlainTextEdit(this);
  txtResults->setReadOnly(true);
  txtResults->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  txtResults->setMinimumHeight(120);
  right->addWidget(txtResults, 1);

  auto* fraNotes = new QGroupBox("Test Notes:", this);
  auto* nl = new QHBoxLayout(fraNotes);
  txtNotes = new QPlainTextEdit(fraNotes);
  txtNotes->setReadOnly(true);
  txtNotes->setMaximumHeight(40);
  cmdNotes = button("No&tes ...", fraNotes);
  cmdNotes->setVisible(false);  // shown once an editor is set
  nl->addWidget(txtNotes, 1);
  nl->addWidget(cmdNotes);
  right->addWidget(fraNotes);

  auto* exits = new QHBoxLayout;
  cmdCancel = button("&Cancel", this);
  cmdBack = button("<< &Back", this);
  cmdNext = button("&Next >>", this);
  cmdOK = button("&OK", this);
  exits->addWidget(cmdCancel);
  exits->addStretch(1);
  exits->addWidget(cmdBack);
  exits->addWidget(cmdNext);
  exits->addWidget(cmdOK);
  right->addLayout(exits);
  root->addLayout(right, 2);

  tmrReplay = new QTimer(this);
  tmrReplay->setInterval(10);
  tmrReplay->setTimerType(Qt::PreciseTimer);

  mnuCoPDisplay = new CoPDisplayOptionsMenu(copDisplay, CoPDisplayMenuSettings::plateStatic(), this);
  mnuCoPDisplay->setFullScreenHandler([this](bool on) { on ? showFullScreen() : showNormal(); });
  connect(copDisplay, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& p) { mnuCoPDisplay->popup(copDisplay->mapToGlobal(p)); });
  connect(copDisplay, &KMXCoPDisplay::PointerPosition, this, [this](double x, double y) {
    const int u = settings::read(settings::UnitsLength);
    double f = 1000.0;
    QString unit = " mm";
    if (u == 1 || u == 2) f = 1 / 0.0254, unit = " in";
    if (u == 3) f = 1, unit = " m";
    if (u == 4) f = 100, unit = " cm";
    const int d = u == 3 ? 4 : (u == 4 || u == 1 || u == 2 ? 2 : 1);
    lblPointer->setText(FormatNumber(x * f, d) + ", " + FormatNumber(y * f, d) + unit);
  });

  connect(cmdPracticeStart, &QPushButton::clicked, this, [this] {
    copDisplay->Clear();
    if (ctl_->practiceStart()) cmdPracticeStop->setFocus();
  });
  connect(cmdPracticeStop, &QPushButton::clicked, this, [this] {
    ctl_->practiceStop();
    cmdAcquire->setFocus();
  });
  connect(cmdRecenter, &QPushButton::clicked, this, &frmTBStatic::recenter);
  connect(cmdAcquire, &QPushButton::clicked, this, [this] {
    stopReplay();
    recenter();
    copDisplay->Clear();
    copDisplay->setPathColor(QColor(0x1f, 0x5f, 0xbf));
    copDisplay->setTargetVisible(true);
    if (ctl_->acquire()) cmdStopTest->setFocus();
  });
  connect(cmdStopTest, &QPushButton::clicked, this, [this] {
    ctl_->stopTest();
    copDisplay->setPathColor(QColor(0x8a, 0x93, 0x9e));  // a frozen trace reads as not counted
    copDisplay->setTargetVisible(false);
  });
  connect(cmdRedoTest, &QPushButton::clicked, this, [this] {
    stopReplay();
    ctl_->redoTest();
    copDisplay->Clear();
    copDisplay->setPathColor(QColor(0x1f, 0x5f, 0xbf));
    cmdAcquire->setFocus();
  });
  auto toggleFallen = [this] { ctl_->setFallen(!ctl_->run().bIsFallen); };
  connect(cmdUnableToComplete, &QPushButton::clicked, this, toggleFallen);
  connect(chkFallen, &QCheckBox::clicked, this, [this](bool on) { ctl_->setFallen(on); });
  connect(cmdNotes, &QPushButton::clicked, this, &frmTBStatic::cmdNotes_Click);
  connect(cmdDisplay, &QPushButton::toggled, this, [this](bool on) {
    if (on) displayStart();
    copDisplay->setVisible(on);
    updateInstructions();
    syncSubject();
  });
  connect(cmdSwitchView, &QPushButton::clicked, this, &frmTBStatic::cmdSwitchView_Click);
  connect(cmdReplay, &QPushButton::clicked, this, &frmTBStatic::cmdReplay_Click);
  connect(cmdReplayPause, &QPushButton::clicked, this, [this] {
    replayPaused_ = true;
    lblReplaySpeedVal->setText(ReplaySpeedText(hscReplaySpeed->value(), true));
    updateForm();
  });
  connect(cmdReplayUnpause, &QPushButton::clicked, this, [this] {
    replayPaused_ = false;
    replayClock_.restart();
    lblReplaySpeedVal->setText(ReplaySpeedText(hscReplaySpeed->value(), false));
    updateForm();
  });
  connect(cmdReplayStop, &QPushButton::clicked, this, &frmTBStatic::stopReplay);
  connect(hscReplaySpeed, &QScrollBar::valueChanged, this, &frmTBStatic::setReplaySpeed);
  connect(tmrReplay, &QTimer::timeout, this, &frmTBStatic::tmrReplay_Timer);
  connect(cmdNext, &QPushButton::clicked, this, [this] { leave(1); });
  connect(cmdOK, &QPushButton::clicked, this, [this] { leave(2); });
  connect(cmdBack, &QPushButton::clicked, this, [this] { leave(-1); });
  connect(cmdCancel, &QPushButton::clicked, this, [this] { leave(0); });

  connect(ctl_, &StaticTestController::copPoint, this, [this](double x, double y) {
    copDisplay->AddPoint(x, y);
    copDisplay->MoveTarget(x, y);
  });
  connect(ctl_, &StaticTestController::testStarted, this, [this] {
    recenter();
    copDisplay->Clear();
  });
  connect(ctl_, &StaticTestController::timeChanged, this, &frmTBStatic::updateTime);
  connect(ctl_, &StaticTestController::stateChanged, this, [this](StaticState s) {
    if (s == StaticState::Done) {
      // The finished trace is shown close up: at the LoS scale a steady subject's sway is a dot.
      copDisplay->setTargetVisible(false);
      const BalanceTestRun& r = ctl_->run();
      if (r.enoughSamples()) {
        const double w = std::clamp(2.2 * 2 * r.result.fRadialMax, 0.02, copDisplay->Display_XWidth());
        copDisplay->setDisplay_Xo(r.result.fXo);
        copDisplay->setDisplay_Yo(r.result.fYo);
        copDisplay->setDisplay_XWidth(w);
        copDisplay->setDisplay_YWidth(w);
      }
    }
    updateForm();
  });
  connect(ctl_, &StaticTestController::resultsChanged, this,
          [this] { txtResults->setPlainText(ctl_->resultsText()); });
  connect(ctl_, &StaticTestController::beep, this, [] { QApplication::beep(); });

  CmdButtonColouring::install(this);
  resize(1180, 800);
  log.completed();
}

frmTBStatic::~frmTBStatic() {
  if (subject_) subject_->hide();
  ProcLog(kModule, "Form_Unload").step("Unreferencing Objects");
}

void frmTBStatic::setBalanceTest(const BalanceTestRun& run, bool showNext, bool showOK) {
  ProcLog log(kModule, "Set BalanceTest");
  showNext_ = showNext;
  showOK_ = showOK;
  ctl_->setRun(run);
  saved_ = run;
  setWindowTitle(StaticTestCaption(run.lTestType));
  lblTitle->setText(run.sName.isEmpty() ? StaticTestCaption(run.lTestType) : run.sName);
  txtNotes->setPlainText(run.sNotes);
  copDisplay->setTickSize(settings::read(settings::StaticCoPTickSize));
  mnuCoPDisplay->applyStored();
  const bool full = settings::readBool(settings::FullScreen);
  mnuCoPDisplay->actFullScreen->setChecked(full);
  cmdDisplay->setChecked(true);  // also starts the display
  txtResults->setPlainText(ctl_->resultsText());
  updateForm();
  log.completed();
}

InstructionButtonNames frmTBStatic::buttonNames() const {
  InstructionButtonNames n;
  n.acquire = plain(cmdAcquire->text());
  n.unableToComplete = plain(QString("&Unable to Complete"));
  n.redo = plain(cmdRedoTest->text());
  n.save.clear();
  if (showNext_) n.save << plain(cmdNext->text());
  if (showOK_) n.save << plain(cmdOK->text());
  return n;
}

void frmTBStatic::updateInstructions() {
  const StaticState s = ctl_->state();
  if (replaying()) return;
  if (s == StaticState::Done || s == StaticState::Stopped)
    lblInstructions->setText(ComposeAfterTestInstructions(buttonNames()));
  else
    lblInstructions->setText(ComposeStaticInstructions(ctl_->run().conditions, ctl_->run().timing,
                                                       cmdDisplay->isChecked(), buttonNames()));
}

void frmTBStatic::updateTime() {
  lblTime->setText(ctl_->timeText());
  if (subject_ && subject_->isVisible()) subject_->lblTime->setText(lblTime->text());
}

void frmTBStatic::updateForm() {
  const StaticButtons b = ctl_->buttons();
  const bool rp = replaying();
  cmdPracticeStart->setEnabled(b.practiceStart && !rp);
  cmdPracticeStop->setEnabled(b.practiceStop);
  cmdRecenter->setEnabled(b.recenter || rp);
  cmdAcquire->setEnabled(b.acquire && !rp);
  cmdStopTest->setEnabled(b.stopTest);
  cmdRedoTest->setEnabled(b.redoTest && !rp);
  cmdUnableToComplete->setEnabled(b.unableToComplete);
  chkFallen->setEnabled(b.unableToComplete);
  const bool fallen = ctl_->run().bIsFallen;
  chkFallen->setChecked(fallen);
  cmdUnableToComplete->setText(fallen ? "(X) &Unable to Complete" : "&Unable to Complete");
  cmdNotes->setEnabled(b.notes);
  cmdReplay->setEnabled(b.replay && !rp);
  cmdReplayPause->setEnabled(rp && !replayPaused_);
  cmdReplayUnpause->setEnabled(rp && replayPaused_);
  cmdReplayStop->setEnabled(rp);
  cmdNext->setVisible(showNext_);
  cmdOK->setVisible(showOK_);
  cmdNext->setEnabled(b.save && !rp);
  cmdOK->setEnabled(b.save && !rp);
  cmdBack->setEnabled(b.back && !rp);
  cmdCancel->setEnabled(b.cancel);
  lblStatus->setText(ctl_->statusText());
  QPalette pal = lblStatus->palette();
  const StaticState s = ctl_->state();
  pal.setColor(QPalette::WindowText, s == StaticState::Testing ? QColor(0xb0, 0x1e, 0x1e)
                                     : s == StaticState::Done  ? QColor(0x1b, 0x7a, 0x3d)
                                                               : palette().color(QPalette::WindowText));
  lblStatus->setPalette(pal);
  updateTime();
  updateInstructions();
  syncSubject();
}

void frmTBStatic::displayStart() {
  ProcLog log(kModule, "cmdDisplay_Click");
  const BalanceTestRun& run = ctl_->run();
  copDisplay->Clear();
  double losX = 0, losY = 0;
  StanceLimits(run.conditions.stance, run.losX, run.losY, ReadStanceFactors(), losX, losY);
  // The display spans a little more than the widest limit of stability.
  const double ref = std::max(losX, losY);
  copDisplay->setDisplay_YWidth(2.2 * ref);
  copDisplay->setDisplay_XWidth(2.2 * ref);
  copDisplay->setLoSX(losX);
  copDisplay->setLoSY(losY);
  copDisplay->setDataFrequency(run.timing.frequencyHz);
  copDisplay->setData_ThresholdFz(-run.thresholdN);
  const int points =
      static_cast<int>(run.timing.frequencyHz * (run.timing.durationMs + run.timing.preTestMs) / 1000.0) +
      1000;
  copDisplay->setData_MaxNPoints(std::max(points, 1000));
  copDisplay->setPathMaxLenght(std::max(points, 1000));
  copDisplay->setTgPathMaxLenght(std::max(10, static_cast<int>(run.timing.frequencyHz)));  // the last second
  copDisplay->setTargetSize(kTargetSize);
  copDisplay->setMarkSize(kMarkSize);
  copDisplay->show();
  log.completed();
}

void frmTBStatic::recenter() {
  if (const auto c = ctl_->recentCoP()) {
    copDisplay->setDisplay_Xo(c->first);
    copDisplay->setDisplay_Yo(c->second);
    copDisplay->setLoS_Xo(c->first);
    copDisplay->setLoS_Yo(c->second);
  } else {
    copDisplay->Recenter();
  }
}

void frmTBStatic::cmdNotes_Click() {
  ProcLog log(kModule, "cmdNotes_Click");
  QString notes = ctl_->run().sNotes;
  if (notesEditor_ && notesEditor_(this, notes)) {
    ctl_->setNotes(notes);
    txtNotes->setPlainText(notes);
  }
  log.completed();
}

void frmTBStatic::setNotesEditor(NotesEditor editor) {
  notesEditor_ = std::move(editor);
  cmdNotes->setVisible(static_cast<bool>(notesEditor_));
}

void frmTBStatic::syncSubject() {
  if (subject_ && subject_->isVisible()) subject_->Display_SyncContent();
}

void frmTBStatic::cmdSwitchView_Click() {
  ProcLog log(kModule, "cmdSwitchView_Click");
  if (!subject_) {
    subject_ = new SubjectMirror(this);
    subject_->setSource({this,
                         lblTitle,
                         lblInstructions,
                         lblTime,
                         copDisplay,
                         {cmdAcquire, cmdStopTest, cmdUnableToComplete}});
    connect(subject_, &SubjectMirror::dismissed, this, [this] {
      // Over the operator's own monitor the subject screen gives way on a click.
      if (!forms_ || !forms_->subjectScreen() || forms_->subjectScreen() == screen()) {
        subject_->followDisplay(false);
        subject_->hide();
      }
    });
  }
  if (subject_->isVisible()) {
    subject_->followDisplay(false);
    subject_->hide();
    if (forms_) forms_->ShowIdle(this);
  } else {
    if (forms_) forms_->HideAll();
    subject_->showOn(forms_ ? forms_->displayScreen() : screen());
    subject_->followDisplay(true);
  }
  log.completed();
}

// ---- Replay ----

void frmTBStatic::setReplaySpeed(int percent) {
  if (const auto ms = ReplayIntervalMs(ctl_->run().timing.frequencyHz, percent)) tmrReplay->setInterval(*ms);
  lblReplaySpeedVal->setText(ReplaySpeedText(percent, replayPaused_));
}

void frmTBStatic::cmdReplay_Click() {
  ProcLog log(kModule, "cmdReplay_Click");
  const BalanceTestRun& run = ctl_->run();
  if (!run.hasData()) return;
  copDisplay->Clear();
  const auto* data = run.samples.get();
  double losX = 0, losY = 0;
  StanceLimits(run.conditions.stance, run.losX, run.losY, ReadStanceFactors(), losX, losY);
  const double xo = run.analysed ? run.result.fXo : 0, yo = run.analysed ? run.result.fYo : 0;
  copDisplay->setDisplay_Xo(xo);
  copDisplay->setDisplay_Yo(yo);
  copDisplay->setDisplay_YWidth(2.2 * std::max(losX, losY));
  copDisplay->setDisplay_XWidth(2.2 * std::max(losX, losY));
  copDisplay->setLoSX(losX);
  copDisplay->setLoSY(losY);
  copDisplay->setLoS_Xo(xo);
  copDisplay->setLoS_Yo(yo);
  copDisplay->setTargetSize(kTargetSize);
  copDisplay->setMarkSize(kMarkSize);
  copDisplay->setTargetVisible(true);
  copDisplay->setPathColor(QColor(0x1f, 0x5f, 0xbf));
  copDisplay->setData_ThresholdFz(-run.thresholdN);
  copDisplay->setDataFrequency(data->Frequency());
  replayTransform_ = CoPTransform::make(-run.thresholdN, run.geometry.rotation);
  replayIndex_ = 0;
  replayPos_ = 0;
  replayPaused_ = false;
  setReplaySpeed(hscReplaySpeed->value());
  replayClock_.start();
  tmrReplay->start();
  updateForm();
  log.completed();
}

void frmTBStatic::tmrReplay_Timer() {
  const BalanceTestRun& run = ctl_->run();
  if (replayIndex_ < 0 || !run.hasData()) {
    stopReplay();
    return;
  }
  if (replayPaused_) {
    replayClock_.restart();
    return;
  }
  // As many samples as are due since the last tick, so the speed holds when ticks come late.
  const auto* d = run.samples.get();
  const double fs = d->Frequency();
  replayPos_ += replayClock_.restart() / 1000.0 * fs * hscReplaySpeed->value() / 100.0;
  const qint32 due = std::min<qint32>(d->Count(), static_cast<qint32>(replayPos_));
  for (; replayIndex_ < due; ++replayIndex_) {
    double x, y;
    if (replayTransform_.apply(d->Sample(0, replayIndex_), d->Sample(1, replayIndex_),
                               d->Sample(2, replayIndex_), x, y)) {
      copDisplay->AddPoint(x, y);
      copDisplay->MoveTarget(x, y);
    }
  }
  lblTime->setText("Test Time\n" + QString::number(replayIndex_ / fs, 'f', 1) + " s");
  if (replayIndex_ >= d->Count()) {
    copDisplay->setTargetVisible(false);
    tmrReplay->stop();
    replayIndex_ = -1;
    lblInstructions->setText("Test Done");
    updateForm();
    lblInstructions->setText("Test Done");
  }
}

void frmTBStatic::stopReplay() {
  if (replayIndex_ < 0) return;
  tmrReplay->stop();
  replayIndex_ = -1;
  replayPaused_ = false;
  lblReplaySpeedVal->setText(ReplaySpeedText(hscReplaySpeed->value(), false));
  updateForm();
}

// ---- Leaving ----

void frmTBStatic::leave(int code) {
  ProcLog log(kModule, "cmdExit_Click", QString::number(code));
  stopReplay();
  if (code == 1 || code == 2) {
    if (!ctl_->buttons().save) return;
    log.step("Storing Data");
    saved_ = ctl_->run();
  } else if (!ctl_->confirmLeave()) {
    return;
  }
  exit_ = code;
  ctl_->setStepRunning(false);
  if (subject_) subject_->hide();
  if (forms_) forms_->ShowIdle(this);
  log.step(QString("DialogExitButton=%1").arg(code));
  done(code);
}

void frmTBStatic::reject() { leave(0); }

void frmTBStatic::showEvent(QShowEvent* e) {
  ctl_->setStepRunning(true);
  QDialog::showEvent(e);
}

void frmTBStatic::closeEvent(QCloseEvent* e) {
  if (exit_ == -99) {
    e->ignore();
    leave(0);
    return;
  }
  QDialog::closeEvent(e);
}

}  // namespace tarn
