#include "balance/procedures/zerocontroller.h"

#include <QTimer>
#include <array>

#include "balance/balancesettings.h"
#include "balance/plate/acquiringplate.h"
#include "balance/procedures/balancetestrun.h"
#include "core/clock.h"
#include "core/eventlog.h"
#include "core/settingkeys.h"
#include "support/strings/strings.h"

namespace tarn {

namespace {
constexpr char kModule[] = "frmTBZero";
constexpr int kSettleWatchMs = 100;

std::array<double, 3> toArray(const QVariant& v) {
  std::array<double, 3> a{};
  const QVariantList l = v.toList();
  for (int i = 0; i < 3 && i < l.size(); ++i) a[i] = l.at(i).toDouble();
  return a;
}
}  // namespace

ZeroController::ZeroController(KMX_HID_Devices* driver, QObject* parent)
    : QObject(parent), driver_(driver), settleWatch_(new QTimer(this)) {
  settleWatch_->setInterval(kSettleWatchMs);
  connect(settleWatch_, &QTimer::timeout, this, [this] {
    if (settling()) return;
    settleWatch_->stop();
    emit changed();
  });
  if (driver_) {
    connect(driver_, &KMX_HID_Devices::PlateListUpdateDone, this, [this] { onListUpdated(); });
    connect(driver_, &KMX_HID_Devices::PlateNotResponding, this,
            [this](const QString&, const QString&) { onPlateError(PlateError::NotResponding); });
  }
  // The plate of the last zero, else the only one.
  int chosen = 0;
  if (const auto last = LastZero())
    for (int i = 1; i <= plateCount(); ++i)
      if (driver_->Plate(i)->SerialNumber() == last->plateSerial && driver_->Plate(i)->IsConnected())
        chosen = i;
  if (chosen == 0 && plateCount() == 1 && driver_->Plate(1)->IsConnected()) chosen = 1;
  choosePlate(chosen);
}

ZeroController::~ZeroController() {
  if (acquiring_ && plate_) plate_->ZeroStop();
}

int ZeroController::plateCount() const { return driver_ ? driver_->PlateCount() : 0; }

QStringList ZeroController::plateTexts() const {
  QStringList l;
  for (int i = 1; i <= plateCount(); ++i) {
    const KMX_BalancePlate* p = driver_->Plate(i);
    l << p->Name() + " (" + p->SerialNumber() + ")" + (p->IsConnected() ? QString() : Str(3191));
  }
  return l;
}

int ZeroController::chosenIndex() const {
  for (int i = 1; i <= plateCount(); ++i)
    if (driver_->Plate(i) == plate_) return i;
  return 0;
}

void ZeroController::setSurface(qint32 surface) {
  surface_ = surface;
  emit changed();
}

void ZeroController::attach(KMX_BalancePlate* p) {
  for (const auto& c : plateConnections_) disconnect(c);
  plateConnections_.clear();
  plate_ = p;
  shown_.reset();
  shownRefused_ = false;
  if (!p) return;
  if (p->IsZeroed()) shown_ = p->AcceptedZero();
  plateConnections_ << connect(p, &KMX_BalancePlate::ZeroDone, this, &ZeroController::onZeroDone);
  plateConnections_ << connect(p, &KMX_BalancePlate::BufferOverRun, this,
                               [this](qint32) { onPlateError(PlateError::BufferOverRun); });
  plateConnections_ << connect(p, &KMX_BalancePlate::DataClipped, this,
                               [this](qint32) { onPlateError(PlateError::DataClipped); });
  plateConnections_ << connect(p, &KMX_BalancePlate::ReadTimeout, this,
                               [this] { onPlateError(PlateError::ReadTimeout); });
  plateConnections_ << connect(p, &KMX_BalancePlate::WriteTimeout, this,
                               [this] { onPlateError(PlateError::WriteTimeout); });
  plateConnections_ << connect(p, &KMX_BalancePlate::Removal, this,
                               [this] { onPlateError(PlateError::Removal); });
}

void ZeroController::choosePlate(int index) {
  ProcLog log(kModule, "cmbPlates_Click", QString::number(index));
  if (acquiring_) {
    log.error("a zero is in progress");
    return;
  }
  KMX_BalancePlate* p = (index >= 1 && index <= plateCount()) ? driver_->Plate(index) : nullptr;
  if (p && !p->IsConnected()) p = nullptr;
  attach(p);
  log.step(p ? "Chosen " + p->Name() : QString("No plate chosen"));
  emit changed();
  log.completed();
}

ZeroContext ZeroController::context() const {
  ZeroContext c;
  c.plateChosen = plate_ != nullptr;
  c.surface = surface_;
  c.now = clock::nowDays();
  c.maxAgeS = settings::read(settings::ZeroMaxAge);
  c.excitationMv = settings::read(settings::ZeroExcitation);
  if (!plate_) return c;
  c.chosenSerial = plate_->SerialNumber();
  c.temperature = plate_->Temperature();
  c.powerCycleCount = plate_->PowerCycleCount();
  c.powerCycled = plate_->PowerCycled();
  c.tilt1 = plate_->TiltAngle1();
  c.tilt2 = plate_->TiltAngle2();
  c.zeroHeldByPlate = plate_->IsZeroed();
  if (const auto* a = qobject_cast<const AcquiringPlate*>(plate_.data())) c.frequencyHz = a->zeroFrequency();
  return c;
}

ZeroStatus ZeroController::status() const { return JudgeLastZero(LastZero(), context()); }

ZeroPhase ZeroController::phase() const {
  if (acquiring_) return ZeroPhase::Acquiring;
  bool connected = false;
  for (int i = 1; i <= plateCount(); ++i) connected = connected || driver_->Plate(i)->IsConnected();
  if (!connected) return ZeroPhase::NoPlateConnected;
  if (!plate_) return ZeroPhase::NoPlateChosen;
  if (status().mustZero) return ZeroPhase::ZeroNeeded;
  return completed_ ? ZeroPhase::Completed : ZeroPhase::ZeroValid;
}

QString ZeroController::instructions() const { return ZeroInstructions(phase(), surface_); }

bool ZeroController::settling() const { return plate_ && plate_->IsSettling(); }

double ZeroController::progress() const { return acquiring_ && plate_ ? plate_->AcquisitionProgress() : 0.0; }

bool ZeroController::canProceed() const { return plate_ && !acquiring_ && !settling() && !status().mustZero; }

std::optional<PlateZero> ZeroController::shownZero() const { return shown_; }

bool ZeroController::acquire(qint32 durationMs) {
  ProcLog log(kModule, "cmdAcquire_Click", QString("%1 ms").arg(durationMs));
  if (!plate_ || acquiring_ || settling()) {
    log.error(!plate_      ? "no plate chosen"
              : acquiring_ ? "a zero is already in progress"
                           : "the Force Platform is settling after a reset");
    return false;
  }
  const qint32 excitation = settings::read(settings::ZeroExcitation);
  if (!plate_->ZeroStart(durationMs, excitation)) {
    log.error("the plate refused to start the zero");
    showMessage(Str(3152), MsgIcon::Exclamation);
    return false;
  }
  acquiring_ = true;
  completed_ = false;
  log.step("Zero started");
  emit changed();
  log.completed();
  return true;
}

void ZeroController::endAcquisition() {
  acquiring_ = false;
  emit changed();
}

void ZeroController::onZeroDone(QVariant aveV, QVariant, QVariant rmsV) {
  ProcLog log(kModule, "prv_objPlate_ZeroDone");
  if (!acquiring_ || !plate_) {
    log.step("Not zeroing - ignored");
    return;
  }
  const auto ave = toArray(aveV), rms = toArray(rmsV);
  const ZeroQualityFlags flags = JudgeZeroQuality(
      plate_->IsVariantB(), ave, rms, settings::read(settings::ZeroMaxNoise), plate_->HeavyLoad());
  log.step(flags.logText());
  const ZeroVerdict verdict = ZeroVerdictFor(flags, settings::readBool(settings::ZeroAllowNoisy));
  const bool keep = AskToKeepZero(verdict);
  if (keep) {
    log.step("Storing Data");
    plate_->ZeroAccept();
    const PlateZero z = plate_->AcceptedZero();
    ZeroRecord r;
    r.plateName = plate_->Name();
    r.plateSerial = plate_->SerialNumber();
    r.surface = surface_;
    r.time = z.time;
    r.temperature = z.temperature;
    r.powerCycleCount = z.powerCycleCount;
    r.tilt1 = z.tilt1;
    r.tilt2 = z.tilt2;
    r.excitationMv = z.excitationMv;
    r.frequencyHz = z.frequencyHz;
    RememberZero(r);
    shown_ = z;
    shownRefused_ = false;
    completed_ = true;
  } else {
    log.step("Zero Not Accepted");
    shown_ = plate_->LastZero();
    shownRefused_ = true;
  }
  acquiring_ = false;
  if (verdict.resetPlate) {
    // The front end is re-initialised and given time to settle before the next try.
    log.step("Resetting the Force Platform");
    plate_->Reset();
    settleWatch_->start();
  }
  log.step("Updating form");
  emit changed();
  emit zeroFinished(keep);
  if (keep && settings::readBool(settings::ProceedAutomatically) && canProceed()) emit proceedRequested();
  log.completed();
}

void ZeroController::setStepRunning(bool running) { stepRunning_ = running; }

void ZeroController::onPlateError(PlateError error) {
  if (!stepRunning_) return;
  ProcLog log(kModule, "prv_objPlate_Error", PlateErrorName(error));
  log.error(PlateErrorName(error));
  const bool wasAcquiring = acquiring_;
  if (acquiring_ && plate_ && error != PlateError::Removal) plate_->ZeroStop();
  acquiring_ = false;
  completed_ = false;
  showMessage(PlateErrorMessage(error, PlateErrorWindow::Zero), MsgIcon::Exclamation);
  if (wasAcquiring) log.step("Zero abandoned: it must be repeated");
  if (error == PlateError::Removal) attach(nullptr);
  emit changed();
  if (wasAcquiring) emit zeroFinished(false);
  log.completed();
}

void ZeroController::onListUpdated() {
  if (!stepRunning_) return;
  ProcLog log(kModule, "prv_objDevices_PlateListUpdateDone");
  const QString serial = plate_ ? plate_->SerialNumber() : QString();
  emit plateListChanged();
  int keep = 0;
  for (int i = 1; i <= plateCount(); ++i)
    if (!serial.isEmpty() && driver_->Plate(i)->SerialNumber() == serial && driver_->Plate(i)->IsConnected())
      keep = i;
  if (keep == 0 && !acquiring_ && plateCount() == 1 && driver_->Plate(1)->IsConnected()) keep = 1;
  if (!acquiring_) choosePlate(keep);
  log.completed();
}

bool ZeroController::dataOK(BalanceTestRun* run) {
  ProcLog log(kModule, "fnDataOK");
  bool ok = canProceed();
  if (ok && run && TestDataUsesOtherZero(run->hasData(), run->zeroTime, plate_->ZeroTime())) {
    ok = showMessage(EraseTestDataQuestion(), MsgIcon::Question, MsgButtons::YesNo, 0, 2) == MsgResult::Yes;
    if (ok) {
      log.step("Erasing the test data");
      run->clearData();
    }
  }
  log.step(QString("Done, Status=%1").arg(ok ? "True" : "False"));
  return ok;
}

}  // namespace tarn
