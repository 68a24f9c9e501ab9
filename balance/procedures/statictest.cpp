#include "balance/procedures/statictest.h"

#include <cmath>
#include <numeric>

#include "balance/balancesettings.h"
#include "balance/norms/norms.h"
#include "balance/plate/simulatedplate.h"
#include "balance/procedures/preliminaryresults.h"
#include "core/clock.h"
#include "core/eventlog.h"
#include "core/settingkeys.h"
#include "support/strings/strings.h"
#include "support/units/units.h"

namespace tarn {

namespace {
constexpr char kModule[] = "frmTBStatic";

int unitSetting(const settings::LongSetting& s) {
  const qint32 u = settings::read(s);
  return (u >= kFirstUnitCode && u <= kLastUnitCode) ? u : kSIUnitCode;
}
}  // namespace

QString StaticStateName(StaticState s) {
  switch (s) {
    case StaticState::Ready:
      return "Ready";
    case StaticState::Practising:
      return "Practising";
    case StaticState::PreTest:
      return "Pre-test";
    case StaticState::Testing:
      return "Testing";
    case StaticState::Storing:
      return "Storing";
    case StaticState::Stopped:
      return "Stopped";
    case StaticState::Done:
      return "Done";
    case StaticState::NoPlate:
      return "No plate";
  }
  return QString();
}

StaticTestController::StaticTestController(KMX_BalancePlate* plate, KMX_HID_Devices* driver, QObject* parent)
    : QObject(parent), plate_(plate), driver_(driver) {
  if (plate_) {
    connect(plate_, &KMX_BalancePlate::ForcesIn, this, &StaticTestController::onForces);
    connect(plate_, &KMX_BalancePlate::SampleIn, this, [this] {
      if (state_ == StaticState::Practising || state_ == StaticState::PreTest ||
          state_ == StaticState::Testing)
        emit timeChanged();
    });
    connect(plate_, &KMX_BalancePlate::TestDone, this, &StaticTestController::onTestDone);
    connect(plate_, &KMX_BalancePlate::BufferOverRun, this,
            [this](qint32) { onPlateError(PlateError::BufferOverRun); });
    connect(plate_, &KMX_BalancePlate::DataClipped, this,
            [this](qint32) { onPlateError(PlateError::DataClipped); });
    connect(plate_, &KMX_BalancePlate::ReadTimeout, this, [this] { onPlateError(PlateError::ReadTimeout); });
    connect(plate_, &KMX_BalancePlate::WriteTimeout, this,
            [this] { onPlateError(PlateError::WriteTimeout); });
    connect(plate_, &KMX_BalancePlate::Removal, this, [this] { onPlateError(PlateError::Removal); });
  }
  if (driver_)
    connect(driver_, &KMX_HID_Devices::PlateNotResponding, this,
            [this](const QString&, const QString& serial) {
              if (plate_ && serial == plate_->SerialNumber()) onPlateError(PlateError::NotResponding);
            });
}

StaticTestController::~StaticTestController() {
  if (plate_ && plate_->IsAcquiring()) plate_->TestStop();
}

void StaticTestController::setRun(const BalanceTestRun& run) {
  ProcLog log(kModule, "Set BalanceTest", run.sName);
  log.step("Make copy");
  run_ = run;
  run_.thresholdN = static_cast<float>(settings::read(settings::CoPThresholdF));
  run_.stanceFactors = ReadStanceFactors();
  if (plate_) {
    run_.geometry = {plate_->RotationAngle(), plate_->TiltAngle1(), plate_->TiltAngle2()};
  }
  transform_ = CoPTransform::make(-run_.thresholdN, run_.geometry.rotation);
  // The simulated platform's subject stands as the test asks: eyes closed and a soft surface
  // make it sway more, so a demo session's classes spread as a clinic's do.
  if (auto* sim = qobject_cast<SimulatedPlate*>(plate_.data())) {
    SimulatedSubject subject = sim->subject();
    subject.eyesClosed = run_.conditions.eyes == 2;
    subject.onFoam = run_.conditions.surface == SurfaceFoam || run_.conditions.surface == SurfaceWobbleBoard;
    sim->setSubject(subject);
    log.step(
        QString("Simulated subject: eyes %1, %2")
            .arg(subject.eyesClosed ? "closed" : "open", subject.onFoam ? "soft surface" : "firm surface"));
  }
  lengthUnit_ = unitSetting(settings::UnitsLength);
  forceUnit_ = unitSetting(settings::UnitsForce);
  const int perSecond = std::max(1, static_cast<int>(std::lround(run_.timing.frequencyHz)));
  recent_.assign(static_cast<size_t>(perSecond), {0.0, 0.0});
  resetRecent();
  changed_ = false;
  lastSample_ = -1;
  setState(run_.analysed ? (run_.bIsInterrupted ? StaticState::Stopped : StaticState::Done)
                         : StaticState::Ready);
  emit resultsChanged();
  log.completed();
}

void StaticTestController::setState(StaticState s) {
  state_ = s;
  emit stateChanged(s);
}

StaticButtons StaticTestController::buttons() const {
  StaticButtons b;
  const bool saveable = run_.bIsFallen || run_.enoughSamples();
  b.notes = true;
  b.unableToComplete = true;
  switch (state_) {
    case StaticState::Ready:
      b.practiceStart = b.acquire = true;
      b.back = b.cancel = true;
      b.save = run_.bIsFallen;
      break;
    case StaticState::Practising:
      b.practiceStop = b.recenter = true;
      break;
    case StaticState::PreTest:
    case StaticState::Testing:
      b.stopTest = b.recenter = true;
      break;
    case StaticState::Storing:
      b.notes = b.unableToComplete = false;
      break;
    case StaticState::Stopped:
    case StaticState::Done:
      b.redoTest = true;
      b.replay = run_.hasData();
      b.back = b.cancel = true;
      b.save = saveable && (state_ == StaticState::Done || run_.bIsFallen);
      break;
    case StaticState::NoPlate:
      b.back = b.cancel = true;
      b.replay = run_.hasData();
      b.save = run_.bIsFallen || (run_.enoughSamples() && !run_.bIsInterrupted);
      break;
  }
  return b;
}

QString StaticTestController::statusText() const {
  switch (state_) {
    case StaticState::Ready:
      return Str(3230);
    case StaticState::Practising:
    case StaticState::PreTest:
      return QString();
    case StaticState::Testing:
      return Str(3231);
    case StaticState::Storing:
      return Str(3232);
    case StaticState::Stopped:
      return Str(3234);
    case StaticState::Done:
      return run_.enoughSamples() ? Str(3233) : Str(3234);
    case StaticState::NoPlate:
      return Str(3235);
  }
  return QString();
}

double StaticTestController::elapsedSeconds() const {
  const double fs = run_.timing.frequencyHz;
  if (!(fs > 0)) return 0.0;
  switch (state_) {
    case StaticState::PreTest:
      return std::max(0.0, run_.timing.preTestMs / 1000.0 - (lastSample_ + 1) / fs);
    case StaticState::Practising:
    case StaticState::Testing:
      return (lastSample_ + 1) / fs;
    case StaticState::Storing:
    case StaticState::Stopped:
    case StaticState::Done:
      return run_.hasData() ? run_.samples->Count() / fs : 0.0;
    default:
      return 0.0;
  }
}

QString StaticTestController::timeText() const {
  const QString secs = QString::number(elapsedSeconds(), 'f', 1) + " s";
  switch (state_) {
    case StaticState::Practising:
      return Str(3242) + "\n" + secs;
    case StaticState::PreTest:
      return Str(3240) + "\n" + secs;
    case StaticState::Testing:
    case StaticState::Storing:
    case StaticState::Stopped:
    case StaticState::Done:
      return TestTimeText(elapsedSeconds());
    default:
      return QString();
  }
}

QString StaticTestController::instructions(const InstructionButtonNames& names, bool displayOn) const {
  switch (state_) {
    case StaticState::Storing:
    case StaticState::Stopped:
    case StaticState::Done: {
      // Only buttons the operator can use are named: a stopped test is saved only as not completed.
      const bool saveable = buttons().save;
      return ComposeAfterTestInstructions(names, saveable, run_.bIsFallen);
    }
    case StaticState::NoPlate:
      return ComposeNoPlateInstructions(names);
    default:
      return ComposeStaticInstructions(run_.conditions, run_.timing, displayOn, names);
  }
}

std::optional<std::pair<double, double>> StaticTestController::recentCoP() const {
  const size_t n = recentFull_ ? recent_.size() : recentNext_;
  if (n == 0) return std::nullopt;
  double sx = 0, sy = 0;
  for (size_t i = 0; i < n; ++i) {
    sx += recent_[i].first;
    sy += recent_[i].second;
  }
  return std::make_pair(sx / n, sy / n);
}

bool StaticTestController::plateUsable(ProcLog& log) {
  if (!plate_ || !plate_->IsConnected()) {
    log.error("the zeroed plate is gone");
    showMessage(Str(3250), MsgIcon::Exclamation);
    setState(StaticState::NoPlate);
    return false;
  }
  if (plate_->PowerCycled() || !plate_->IsZeroed()) {
    log.error("the plate was power-cycled since the zero");
    showMessage(Str(3251), MsgIcon::Exclamation);
    setState(StaticState::NoPlate);
    return false;
  }
  return true;
}

void StaticTestController::resetRecent() {
  recentNext_ = 0;
  recentFull_ = false;
}

bool StaticTestController::practiceStart() {
  ProcLog log(kModule, "cmdPracticeStart_Click");
  if (state_ != StaticState::Ready || !plateUsable(log)) return false;
  lastSample_ = -1;
  resetRecent();
  // A practice is an acquisition without pre-test whose samples are never kept.
  if (!plate_->TestStart(static_cast<float>(run_.timing.frequencyHz), 0, kPracticeMs)) {
    log.error("the plate refused to start");
    return false;
  }
  setState(StaticState::Practising);
  log.completed();
  return true;
}

void StaticTestController::practiceStop() {
  ProcLog log(kModule, "cmdPracticeStop_Click");
  if (state_ != StaticState::Practising) return;
  plate_->TestStop();
  setState(StaticState::Ready);
  log.completed();
}

bool StaticTestController::acquire() {
  ProcLog log(kModule, "cmdAcquire_Click");
  if (state_ != StaticState::Ready || !plateUsable(log)) return false;
  const TestTiming& t = run_.timing;
  if (!plate_->TestStart(static_cast<float>(t.frequencyHz), t.preTestMs, t.durationMs)) {
    log.error("the plate refused to start");
    showMessage(Str(3252), MsgIcon::Exclamation);
    return false;
  }
  run_.clearData();
  lastSample_ = -1;
  resetRecent();
  changed_ = true;
  log.step("Pre-test");
  setState(StaticState::PreTest);
  emit resultsChanged();
  log.completed();
  return true;
}

void StaticTestController::onForces(qint32 sample, PlateForces f) {
  if (state_ != StaticState::Practising && state_ != StaticState::PreTest && state_ != StaticState::Testing)
    return;
  lastSample_ = sample;
  double x, y;
  if (!transform_.apply(f.Fz, f.M1, f.M2, x, y)) return;
  recent_[recentNext_] = {x, y};
  const bool filledNow = ++recentNext_ == recent_.size() && !recentFull_;
  if (recentNext_ == recent_.size()) {
    recentNext_ = 0;
    recentFull_ = true;
  }
  emit copPoint(x, y);
  if (filledNow && state_ != StaticState::Testing) emit recenterDue();
}

void StaticTestController::onTestDone(bool preTest) {
  if (preTest) {
    if (state_ != StaticState::PreTest) return;
    ProcLog log(kModule, "prv_objPlate_TestDone", "pre-test");
    lastSample_ = -1;
    setState(StaticState::Testing);
    emit testStarted();
    if (run_.timing.beepBegin) emit beep();
    log.step("Acquiring...");
    log.completed();
    return;
  }
  if (state_ == StaticState::Practising) {  // the practice ran its full length
    setState(StaticState::Ready);
    return;
  }
  if (state_ != StaticState::Testing) return;
  if (run_.timing.beepEnd) emit beep();
  finishTest(false);
}

void StaticTestController::stopTest() {
  ProcLog log(kModule, "cmdStopTest_Click");
  if (state_ != StaticState::PreTest && state_ != StaticState::Testing) return;
  const bool hadTest = state_ == StaticState::Testing;
  plate_->TestStop();
  run_.bIsInterrupted = true;
  changed_ = true;
  if (hadTest) {
    finishTest(true);
  } else {
    setState(StaticState::Stopped);
    emit resultsChanged();
  }
  log.completed();
}

void StaticTestController::finishTest(bool stopped) {
  ProcLog log(kModule, "prv_objPlate_TestDone", stopped ? "stopped" : "done");
  log.step("Storing Data");
  setState(StaticState::Storing);
  run_.samples = plate_->TestData();
  run_.sPlate = plate_->Name();
  run_.zeroTime = plate_->ZeroTime();
  run_.geometry = {plate_->RotationAngle(), plate_->TiltAngle1(), plate_->TiltAngle2()};
  run_.bIsInterrupted = stopped;
  run_.result = AnalysisResult{};
  run_.stabilityClass.reset();
  run_.analysed = false;
  changed_ = true;
  if (run_.samples && run_.samples->Count() > 1) {
    AnalyseBalanceTest(0, run_.samples->Count() - 1, -run_.thresholdN, *run_.samples, run_.geometry,
                       run_.conditions.stance, run_.losX, run_.losY, run_.stanceFactors, run_.result, true,
                       true);
    run_.analysed = true;
  }
  if (run_.enoughSamples()) {
    run_.stabilityClass =
        ClassifyStability(static_cast<float>(run_.result.fStability), run_.subjectBirth, run_.result.dtDate,
                          static_cast<KM_RQNormTestType>(run_.lTestType));
    log.step(
        QString("Valid samples %1, stability %2").arg(run_.result.lValidSamples).arg(run_.result.fStability));
  }
  setState(stopped ? StaticState::Stopped : StaticState::Done);
  emit resultsChanged();
  if (!stopped && !run_.enoughSamples()) {
    log.error("too few valid samples");
    showMessage(NoSubjectDetectedText(), MsgIcon::Critical);
  }
  log.completed();
}

void StaticTestController::redoTest() {
  ProcLog log(kModule, "cmdRedoTest_Click");
  if (state_ != StaticState::Stopped && state_ != StaticState::Done) return;
  run_.clearData();
  changed_ = true;
  setState(StaticState::Ready);
  emit resultsChanged();
  log.completed();
}

void StaticTestController::setFallen(bool fallen) {
  if (run_.bIsFallen == fallen) return;
  ProcLog log(kModule, "chkFallen_Click", fallen ? "-1" : "0");
  run_.bIsFallen = fallen;
  changed_ = true;
  emit stateChanged(state_);
  log.completed();
}

void StaticTestController::setNotes(const QString& notes) {
  if (run_.sNotes == notes) return;
  run_.sNotes = notes;
  changed_ = true;
}

PreliminaryResults StaticTestController::results() const {
  if (!run_.analysed && state_ == StaticState::Stopped) {
    // Stopped in the pre-test: nothing was recorded.
    PreliminaryResults p;
    p.heading = Str(3401);
    p.note = Str(3406);
    return p;
  }
  if (!run_.analysed) return {};
  return ComposePreliminaryResults(run_, lengthUnit_, forceUnit_);
}

QString StaticTestController::resultsText() const {
  const PreliminaryResults p = results();
  return p.heading.isEmpty() ? QString() : p.text();
}

bool StaticTestController::confirmLeave() {
  ProcLog log(kModule, "confirmLeave");
  const bool live =
      state_ == StaticState::Practising || state_ == StaticState::PreTest || state_ == StaticState::Testing;
  if (changed_ || live) {
    const MsgResult r = showMessage(Str(3253), MsgIcon::Question, MsgButtons::YesNo, 0, 2);
    if (r != MsgResult::Yes) {
      log.step("Stay");
      return false;
    }
  }
  if (live && plate_) plate_->TestStop();
  log.completed();
  return true;
}

void StaticTestController::onPlateError(PlateError error) {
  if (!stepRunning_) return;
  ProcLog log(kModule, "prv_objPlate_Error", PlateErrorName(error));
  log.error(PlateErrorName(error));
  const bool live =
      state_ == StaticState::Practising || state_ == StaticState::PreTest || state_ == StaticState::Testing;
  // An acquisition hit by an error is not trusted: its samples are dropped and the test repeated.
  if (live) {
    if (plate_ && plate_->IsAcquiring()) plate_->TestStop();
    if (state_ != StaticState::Practising) {
      run_.clearData();
      log.step("Acquisition abandoned");
    }
    emit acquisitionAbandoned();
  }
  showMessage(PlateErrorMessage(error, PlateErrorWindow::Static), MsgIcon::Exclamation);
  if (error == PlateError::Removal || error == PlateError::NotResponding)
    setState(StaticState::NoPlate);
  else if (live)
    setState(StaticState::Ready);
  emit resultsChanged();
  log.completed();
}

}  // namespace tarn
