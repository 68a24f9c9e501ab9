#include "balance/windows/frmtbstatic.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QScreen>
#include <QVBoxLayout>

#include "balance/analysis/analysis.h"
#include "balance/balancesettings.h"
#include "balance/windows/subjectmirror.h"
#include "core/eventlog.h"
#include "core/settingkeys.h"
#include "core/windows/buttoncolouring.h"
#include "core/windows/showmodal.h"
#include "core/windows/subjectforms.h"
#include "support/strings/strings.h"
#include "support/units/units.h"

namespace tarn {

namespace {
constexpr char kModule[] = "frmTBStatic";
constexpr int kTargetSize = 12;
constexpr int kMarkSize = 14;
constexpr int kPointerDecimals = 4;  // 0.1 mm, in the unit chosen
const QColor kLivePathColor(0x1f, 0x5f, 0xbf);
const QColor kFrozenPathColor(0x8a, 0x93, 0x9e);  // a stopped trace reads as not counted

QString plain(const QString& caption) { return QString(caption).remove('&'); }

QPushButton* button(const QString& text, QWidget* parent) {
  auto* b = new QPushButton(text, parent);
  b->setMinimumHeight(30);
  b->setAutoDefault(false);
  return b;
}

int lengthUnit() {
  const qint32 u = settings::read(settings::UnitsLength);
  return u >= kFirstUnitCode && u <= kLastUnitCode ? u : kSIUnitCode;
}

// Black or white, whichever reads better on the colour.
QColor textOn(const QColor& c) {
  const double luminance = 0.299 * c.redF() + 0.587 * c.greenF() + 0.114 * c.blueF();
  return luminance > 0.55 ? Qt::black : Qt::white;
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
  lblInstructions->setMinimumHeight(90);
  lblInstructions->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
  auto* timeRow = new QHBoxLayout;
  lblTime = new QLabel(this);
  QFont tmf = lblTime->font();
  tmf.setPointSizeF(tmf.pointSizeF() * 1.4);
  tmf.setBold(true);
  lblTime->setFont(tmf);
  lblTime->setMinimumWidth(120);
  lblTime->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  lblStatus = new QLabel(this);
  lblStatus->setFont(tmf);
  lblStatus->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  timeRow->addWidget(lblStatus);
  timeRow->addSpacing(16);
  timeRow->addWidget(lblTime);
  copDisplay = new KMXCoPDisplay(this);
  copDisplay->setMinimumSize(420, 420);
  copDisplay->setContextMenuPolicy(Qt::CustomContextMenu);
  lblPointer = new QLabel(this);
  lblPointer->setAlignment(Qt::AlignRight);
  auto* titleRow = new QHBoxLayout;
  titleRow->addWidget(lblTitle, 1);
  titleRow->addLayout(timeRow);
  left->addLayout(titleRow);
  left->addWidget(lblInstructions);
  left->addWidget(copDisplay, 1);
  left->addWidget(lblPointer);
  root->addLayout(left, 3);

  // Right: the operator's commands.
  auto* right = new QVBoxLayout;
  lblHelp = new QLabel(Str(3300), this);
  lblHelp->setWordWrap(true);
  lblHelp->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  QFont hf = lblHelp->font();
  hf.setPointSizeF(hf.pointSizeF() * 0.92);
  lblHelp->setFont(hf);
  lblHelp->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Minimum);
  right->addWidget(lblHelp);

  auto* test = new QGridLayout;
  cmdPracticeStart = button(Str(3305), this);
  cmdPracticeStop = button(Str(3306), this);
  cmdRecenter = button(Str(3307), this);
  cmdAcquire = button(Str(3308), this);
  cmdStopTest = button(Str(3309), this);
  cmdRedoTest = button(Str(3310), this);
  cmdUnableToComplete = button(Str(3314), this);
  chkFallen = new QCheckBox(this);
  chkFallen->setToolTip(plain(Str(3314)));
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

  auto* options = new QHBoxLayout;
  auto* fraScreen = new QGroupBox(Str(3317), this);
  auto* sl = new QHBoxLayout(fraScreen);
  cmdSwitchView = button(Str(3311), fraScreen);
  cmdDisplay = button(Str(3312), fraScreen);
  cmdDisplay->setCheckable(true);
  sl->addWidget(cmdSwitchView);
  sl->addWidget(cmdDisplay);
  options->addWidget(fraScreen);

  auto* fraReplay = new QGroupBox(Str(3318), this);
  auto* rl = new QGridLayout(fraReplay);
  cmdReplay = button(Str(3320), fraReplay);
  cmdReplayPause = button(Str(3321), fraReplay);
  cmdReplayUnpause = button(Str(3322), fraReplay);
  cmdReplayStop = button(Str(3323), fraReplay);
  hscReplaySpeed = new QScrollBar(Qt::Horizontal, fraReplay);
  hscReplaySpeed->setRange(1, 400);
  hscReplaySpeed->setValue(100);
  hscReplaySpeed->setSingleStep(5);
  hscReplaySpeed->setPageStep(25);
  lblReplaySpeedVal = new QLabel(ReplaySpeedText(100, false), fraReplay);
  lblReplaySpeedVal->setMinimumWidth(60);
  lblReplaySpeedVal->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  rl->addWidget(cmdReplay, 0, 0);
  rl->addWidget(cmdReplayPause, 0, 1);
  rl->addWidget(cmdReplayUnpause, 0, 2);
  rl->addWidget(cmdReplayStop, 0, 3);
  rl->addWidget(new QLabel(Str(3324), fraReplay), 1, 0);
  rl->addWidget(hscReplaySpeed, 1, 1, 1, 2);
  rl->addWidget(lblReplaySpeedVal, 1, 3);
  right->addLayout(options);
  right->addWidget(fraReplay);

  // Results: the score and class first, where they are always in view; the measures below.
  lblResultsHeading = new QLabel(this);
  lblResultsHeading->setWordWrap(true);
  QFont rh = lblResultsHeading->font();
  rh.setBold(true);
  lblResultsHeading->setFont(rh);
  lblScore = new QLabel(this);
  lblScore->setWordWrap(true);
  lblScore->setAlignment(Qt::AlignCenter);
  lblScore->setMargin(6);
  lblScore->setAutoFillBackground(true);
  QFont sf = lblScore->font();
  sf.setPointSizeF(sf.pointSizeF() * 1.35);
  sf.setBold(true);
  lblScore->setFont(sf);
  txtResults = new QTextBrowser(this);
  txtResults->setOpenLinks(false);
  txtResults->setMinimumHeight(120);
  right->addWidget(lblResultsHeading);
  right->addWidget(lblScore);
  right->addWidget(txtResults, 1);
  resultsSpacer_ = new QWidget(this);  // takes the results' room while there are none
  right->addWidget(resultsSpacer_, 1);

  auto* fraNotes = new QGroupBox(Str(3319), this);
  fraNotes->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
  auto* nl = new QHBoxLayout(fraNotes);
  txtNotes = new QPlainTextEdit(fraNotes);
  txtNotes->setReadOnly(true);
  txtNotes->setMaximumHeight(40);
  cmdNotes = button(Str(3316), fraNotes);
  cmdNotes->setVisible(false);  // shown once an editor is set
  nl->addWidget(txtNotes, 1);
  nl->addWidget(cmdNotes);
  right->addWidget(fraNotes);

  auto* exits = new QHBoxLayout;
  cmdCancel = button(Str(3302), this);
  cmdBack = button(Str(3303), this);
  cmdNext = button(Str(3304), this);
  cmdOK = button(Str(3301), this);
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
    const int u = lengthUnit();
    lblPointer->setText(FormatLength(x, u, kPointerDecimals) + ", " + FormatLength(y, u, kPointerDecimals));
  });

  connect(cmdPracticeStart, &QPushButton::clicked, this, [this] {
    displayStart();
    if (ctl_->practiceStart()) cmdPracticeStop->setFocus();
  });
  connect(cmdPracticeStop, &QPushButton::clicked, this, [this] {
    ctl_->practiceStop();
    cmdAcquire->setFocus();
  });
  connect(cmdRecenter, &QPushButton::clicked, this, &frmTBStatic::recenter);
  connect(cmdAcquire, &QPushButton::clicked, this, [this] {
    stopReplay();
    displayStart();
    recenter();
    if (ctl_->acquire()) cmdStopTest->setFocus();
  });
  connect(cmdStopTest, &QPushButton::clicked, this, [this] { ctl_->stopTest(); });
  connect(cmdRedoTest, &QPushButton::clicked, this, [this] {
    stopReplay();
    ctl_->redoTest();
    displayStart();
    cmdAcquire->setFocus();
  });
  connect(cmdUnableToComplete, &QPushButton::clicked, this,
          [this] { ctl_->setFallen(!ctl_->run().bIsFallen); });
  connect(chkFallen, &QCheckBox::clicked, this, [this](bool on) { ctl_->setFallen(on); });
  connect(cmdNotes, &QPushButton::clicked, this, &frmTBStatic::cmdNotes_Click);
  connect(cmdDisplay, &QPushButton::toggled, this, [this](bool on) {
    cmdDisplay->setText(Str(on ? 3312 : 3313));
    if (on) displayStart();
    copDisplay->setVisible(on);
    updateInstructions();
    syncSubject();
  });
  connect(cmdSwitchView, &QPushButton::clicked, this, &frmTBStatic::cmdSwitchView_Click);
  connect(cmdReplay, &QPushButton::clicked, this, &frmTBStatic::cmdReplay_Click);
  connect(cmdReplayPause, &QPushButton::clicked, this, [this] {
    replay_.pause();
    lblReplaySpeedVal->setText(ReplaySpeedText(hscReplaySpeed->value(), true));
    updateForm();
  });
  connect(cmdReplayUnpause, &QPushButton::clicked, this, [this] {
    replay_.resume();
    replayClock_.restart();
    lblReplaySpeedVal->setText(ReplaySpeedText(hscReplaySpeed->value(), false));
    updateForm();
  });
  connect(cmdReplayStop, &QPushButton::clicked, this, [this] {
    stopReplay();
    showFinished();
  });
  connect(hscReplaySpeed, &QScrollBar::valueChanged, this, &frmTBStatic::setReplaySpeed);
  connect(tmrReplay, &QTimer::timeout, this, &frmTBStatic::tmrReplay_Timer);
  connect(cmdNext, &QPushButton::clicked, this, [this] { leave(kWizNext); });
  connect(cmdOK, &QPushButton::clicked, this, [this] { leave(kWizOK); });
  connect(cmdBack, &QPushButton::clicked, this, [this] { leave(kWizBack); });
  connect(cmdCancel, &QPushButton::clicked, this, [this] { leave(kWizCancel); });

  connect(ctl_, &StaticTestController::copPoint, this, [this](double x, double y) {
    copDisplay->AddPoint(x, y);
    copDisplay->MoveTarget(x, y);
  });
  connect(ctl_, &StaticTestController::recenterDue, this, &frmTBStatic::recenter);
  connect(ctl_, &StaticTestController::testStarted, this, [this] {
    recenter();
    copDisplay->Clear();
  });
  connect(ctl_, &StaticTestController::acquisitionAbandoned, this, [this] { copDisplay->Clear(); });
  connect(ctl_, &StaticTestController::timeChanged, this, &frmTBStatic::updateTime);
  connect(ctl_, &StaticTestController::stateChanged, this, [this](StaticState s) {
    if (s == StaticState::Storing) {
      copDisplay->setTargetVisible(false);
      updateForm();
      // The analysis runs next on this thread: show "Storing Data" before it does.
      lblStatus->repaint();
      return;
    }
    if (s == StaticState::Stopped) copDisplay->setPathColor(kFrozenPathColor);
    if (s == StaticState::Done || s == StaticState::Stopped) showFinished();
    updateForm();
  });
  connect(ctl_, &StaticTestController::resultsChanged, this, &frmTBStatic::updateResults);
  connect(ctl_, &StaticTestController::beep, this, [] { QApplication::beep(); });

  CmdButtonColouring::install(this);
  resize(1240, 820);
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
  if (cmdDisplay->isChecked())
    displayStart();
  else
    cmdDisplay->setChecked(true);  // starts the display
  // A test that was already performed shows its trace as it finished.
  const BalanceTestRun& r = ctl_->run();
  if (r.analysed && r.hasData()) {
    const CoPTransform t = CoPTransform::make(-r.thresholdN, r.geometry.rotation);
    const auto* d = r.samples.get();
    double x, y;
    for (qint32 i = 0; i < d->Count(); ++i)
      if (t.apply(d->Sample(0, i), d->Sample(1, i), d->Sample(2, i), x, y)) copDisplay->AddPoint(x, y);
    if (r.bIsInterrupted) copDisplay->setPathColor(kFrozenPathColor);
    showFinished();
  }
  updateResults();
  updateForm();
  log.completed();
}

InstructionButtonNames frmTBStatic::buttonNames() const {
  InstructionButtonNames n;
  n.acquire = plain(cmdAcquire->text());
  n.unableToComplete = plain(Str(3314));
  n.redo = plain(cmdRedoTest->text());
  n.back = plain(cmdBack->text());
  n.save.clear();
  if (showNext_) n.save << plain(cmdNext->text());
  if (showOK_) n.save << plain(cmdOK->text());
  return n;
}

void frmTBStatic::updateInstructions() {
  if (replaying()) return;
  if (replayEnded_) {  // the replay's last sample: its status until something else happens
    lblInstructions->setText(ctl_->statusText());
    return;
  }
  lblInstructions->setText(ctl_->instructions(buttonNames(), cmdDisplay->isChecked()));
}

void frmTBStatic::updateTime() {
  lblTime->setText(replaying() || replayEnded_ ? replay_.timeText() : ctl_->timeText());
  if (subject_ && subject_->isVisible()) subject_->lblTime->setText(lblTime->text());
}

void frmTBStatic::updateResults() {
  const PreliminaryResults p = ctl_->results();
  const bool shown = !p.heading.isEmpty();
  lblHelp->setVisible(!shown);  // the operator's help gives way to the results of a test
  lblResultsHeading->setVisible(shown);
  txtResults->setVisible(shown);
  lblScore->setVisible(shown && p.enough);
  resultsSpacer_->setVisible(!shown);
  if (!shown) {
    txtResults->clear();
    return;
  }
  lblResultsHeading->setText(p.note.isEmpty() ? p.heading : p.heading + "\n" + p.note);
  QString score = Str(3328) + ": " + p.score;
  QColor colour(0xe0, 0xe3, 0xe7);
  if (ctl_->run().bIsInterrupted) {
    score += " " + Str(3329);  // a part of a test is not classed
  } else if (p.stabilityClass) {
    score += QStringLiteral("  -  ") + StabilityClassName(*p.stabilityClass);
    colour = QColor::fromRgb(StabilityClassRgb(*p.stabilityClass));
  }
  lblScore->setText(score);
  QPalette pal = lblScore->palette();
  pal.setColor(QPalette::Window, colour);
  pal.setColor(QPalette::WindowText, textOn(colour));
  lblScore->setPalette(pal);
  QString html = "<table cellspacing='0' cellpadding='3' width='100%'>";
  bool odd = false;
  for (const ResultLine& l : p.lines) {
    html += QString("<tr%1><td>%2</td><td align='right'>%3</td></tr>")
                .arg(odd ? " bgcolor='#f1f3f5'" : "", l.label.toHtmlEscaped(), l.value.toHtmlEscaped());
    odd = !odd;
  }
  txtResults->setHtml(html + "</table>");
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
  cmdUnableToComplete->setText(fallen ? Str(3315) + Str(3314) : Str(3314));
  cmdNotes->setEnabled(b.notes);
  cmdReplay->setEnabled(b.replay && !rp);
  cmdReplayPause->setEnabled(rp && !replay_.paused());
  cmdReplayUnpause->setEnabled(rp && replay_.paused());
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
  const bool good = s == StaticState::Done && ctl_->run().enoughSamples();
  const bool bad =
      s == StaticState::Stopped || s == StaticState::NoPlate || (s == StaticState::Done && !good);
  pal.setColor(QPalette::WindowText, s == StaticState::Testing ? QColor(0xb0, 0x1e, 0x1e)
                                     : good                    ? QColor(0x1b, 0x7a, 0x3d)
                                     : bad                     ? QColor(0xb0, 0x5a, 0x00)
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
  copDisplay->applyGeometry(LiveDisplayGeometry(run, ReadStanceFactors()));
  copDisplay->setPathColor(kLivePathColor);
  copDisplay->setTargetVisible(true);
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
  replayEnded_ = false;
  log.completed();
}

void frmTBStatic::showFinished() {
  if (const auto g = FinishedDisplayGeometry(ctl_->run(), ReadStanceFactors())) copDisplay->applyGeometry(*g);
  copDisplay->setTargetVisible(false);
}

void frmTBStatic::recenter() {
  const auto c = ctl_->recentCoP();
  if (!c || replaying()) {  // a replay keeps its scale and centres on its own newest second
    copDisplay->Recenter();
    return;
  }
  copDisplay->applyGeometry(LiveDisplayGeometry(ctl_->run(), ReadStanceFactors(), c->first, c->second));
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
  replay_.setSpeed(percent);
  lblReplaySpeedVal->setText(ReplaySpeedText(percent, replay_.paused()));
}

void frmTBStatic::cmdReplay_Click() {
  ProcLog log(kModule, "cmdReplay_Click");
  const BalanceTestRun& run = ctl_->run();
  if (!run.hasData()) return;
  copDisplay->Clear();
  // The geometry of the finished view, and the display choices as they are kept.
  if (const auto g = FinishedDisplayGeometry(run, ReadStanceFactors())) {
    CoPDisplayGeometry replayGeometry = *g;
    replayGeometry.ellipse.reset();  // drawn when the replay reaches the end of the recording
    copDisplay->applyGeometry(replayGeometry);
  } else {
    copDisplay->applyGeometry(LiveDisplayGeometry(run, ReadStanceFactors()));
  }
  mnuCoPDisplay->applyStored();
  copDisplay->setTargetSize(kTargetSize);
  copDisplay->setMarkSize(kMarkSize);
  copDisplay->setMarkVisible(true);
  copDisplay->setTargetVisible(true);
  copDisplay->setPathColor(run.bIsInterrupted ? kFrozenPathColor : kLivePathColor);
  copDisplay->setData_ThresholdFz(-run.thresholdN);
  copDisplay->setDataFrequency(run.samples->Frequency());
  replayEnded_ = false;
  replay_.start(run.samples, CoPTransform::make(-run.thresholdN, run.geometry.rotation));
  setReplaySpeed(hscReplaySpeed->value());
  replayClock_.start();
  tmrReplay->start();
  lblInstructions->setText(Str(3330));
  updateForm();
  log.completed();
}

void frmTBStatic::tmrReplay_Timer() { advanceReplay(static_cast<double>(replayClock_.restart())); }

void frmTBStatic::advanceReplay(double ms) {
  if (!replaying()) {
    tmrReplay->stop();
    return;
  }
  const bool ended = replay_.advance(ms, [this](double x, double y) {
    copDisplay->AddPoint(x, y);
    copDisplay->MoveTarget(x, y);
  });
  updateTime();
  if (!ended) return;
  ProcLog(kModule, "tmrReplay_Timer").step("Replay ended");
  tmrReplay->stop();
  copDisplay->setTargetVisible(false);
  if (const auto g = FinishedDisplayGeometry(ctl_->run(), ReadStanceFactors()))
    copDisplay->setConfidenceEllipse(g->ellipse);
  replayEnded_ = true;
  updateForm();
}

void frmTBStatic::stopReplay() {
  replayEnded_ = false;
  if (!replaying()) return;
  tmrReplay->stop();
  replay_.stop();
  lblReplaySpeedVal->setText(ReplaySpeedText(hscReplaySpeed->value(), false));
  updateForm();
}

// ---- Leaving ----

void frmTBStatic::leave(WizardButton code) {
  ProcLog log(kModule, "cmdExit_Click", QString::number(code));
  stopReplay();
  if (code == kWizNext || code == kWizOK) {
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

void frmTBStatic::reject() { leave(kWizCancel); }

void frmTBStatic::showEvent(QShowEvent* e) {
  ctl_->setStepRunning(true);
  QDialog::showEvent(e);
}

void frmTBStatic::closeEvent(QCloseEvent* e) {
  if (exit_ == kWizNone) {
    e->ignore();
    leave(kWizCancel);
    return;
  }
  QDialog::closeEvent(e);
}

}  // namespace tarn
