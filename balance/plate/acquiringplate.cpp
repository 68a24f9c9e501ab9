#include "balance/plate/acquiringplate.h"

#include <QVariantList>
#include <algorithm>
#include <cmath>

#include "core/clock.h"
#include "core/eventlog.h"

namespace tarn {

namespace {
constexpr char kModule[] = "KMX_BalancePlate";
constexpr qint32 kDefaultExcitationMv = 2500;
constexpr int kTickMs = 10;
constexpr qint64 kMaxSamples = 36000000;  // one hour at 10 kHz

const char* faultName(AcquiringPlate::Fault f) {
  switch (f) {
    case AcquiringPlate::Fault::BufferOverRun:
      return "BufferOverRun";
    case AcquiringPlate::Fault::DataClipped:
      return "DataClipped";
    case AcquiringPlate::Fault::ReadTimeout:
      return "ReadTimeout";
    case AcquiringPlate::Fault::WriteTimeout:
      return "WriteTimeout";
    case AcquiringPlate::Fault::Removal:
      return "Removal";
  }
  return "?";
}

double envTimeScale() {
  bool ok = false;
  const double v = qEnvironmentVariable("TARNRQ_PLATE_TIMESCALE").toDouble(&ok);
  return ok && v >= 0.01 && v <= 1e6 ? v : 1.0;
}

QVariantList toList(const std::array<double, 3>& a) { return {a[0], a[1], a[2]}; }

struct ManualClock {
  bool on = false;
  double ms = 0.0;
  std::vector<AcquiringPlate*> plates;  // every plate alive, in order of making
};
ManualClock& manualClock() {
  static ManualClock c;
  return c;
}
}  // namespace

namespace plateclock {
void setManual(bool on) {
  if (manualClock().on == on) return;
  manualClock().on = on;
  manualClock().ms = 0.0;
}
bool manual() { return manualClock().on; }
double manualMs() { return manualClock().ms; }
void advance(double ms) {
  ManualClock& c = manualClock();
  if (!c.on || !(ms > 0.0)) return;
  c.ms += ms;
  const std::vector<AcquiringPlate*> plates = c.plates;  // a slot may make or delete a plate
  for (AcquiringPlate* p : plates)
    if (std::find(c.plates.begin(), c.plates.end(), p) != c.plates.end() &&
        p->phase_ != AcquiringPlate::Phase::Idle)
      p->tick();
}
}  // namespace plateclock

AdcModel AdcModel::variantA() {
  AdcModel m;
  m.offsetV = {-4.10, -4.05, -4.08};
  m.gainV = {-0.0025, 0.008, 0.008};  // more load on the cells drives the converter up
  m.driftVPerC = {0.0005, 0.0003, 0.0003};
  return m;
}

AdcModel AdcModel::variantB() {
  AdcModel m;
  m.offsetV = {0.30, 0.28, 0.32};
  m.gainV = {-0.0025, 0.008, 0.008};
  m.driftVPerC = {0.0004, 0.00025, 0.00025};
  return m;
}

double AdcModel::volts(int c, double load, qint32 excitationMv, double temperature) const {
  return offsetV[c] + driftVPerC[c] * (temperature - 25.0) + gainV[c] * excitationMv / 2500.0 * load;
}

double AdcModel::gainCodes(int c, qint32 excitationMv) const {
  return gainV[c] * excitationMv / 2500.0 * kAdcCodesPerVolt;
}

AcquiringPlate::AcquiringPlate(QString name, QString serial, QString devicePath, QObject* parent)
    : KMX_BalancePlate(parent),
      name_(std::move(name)),
      serial_(std::move(serial)),
      path_(std::move(devicePath)),
      adc_(AdcModel::variantA()),
      rng_(std::random_device{}()),
      timeScale_(envTimeScale()),
      timer_(this) {
  timer_.setTimerType(Qt::PreciseTimer);
  timer_.setInterval(kTickMs);
  connect(&timer_, &QTimer::timeout, this, &AcquiringPlate::tick);
  life_.start();
  manualClock().plates.push_back(this);
}

AcquiringPlate::~AcquiringPlate() {
  auto& plates = manualClock().plates;
  plates.erase(std::remove(plates.begin(), plates.end(), this), plates.end());
}

double AcquiringPlate::clockMs() const {
  if (manualClock().on) return manualClock().ms;
  return lifeBaseMs_ + life_.nsecsElapsed() / 1e6 * timeScale_;
}

void AcquiringPlate::startClock() {
  acqStartMs_ = clockMs();
  if (!manualClock().on) timer_.start();
}

double AcquiringPlate::AcquisitionProgress() const {
  if (phase_ == Phase::Idle || total_ <= 0) return 0.0;
  return std::clamp(static_cast<double>(produced_) / static_cast<double>(total_), 0.0, 1.0);
}

void AcquiringPlate::setVariant(bool variantB, const AdcModel& model) {
  variantB_ = variantB;
  adc_ = model;
}

void AcquiringPlate::setGeometry(float rotation, float tilt1, float tilt2) {
  rotation_ = rotation;
  tilt1_ = tilt1;
  tilt2_ = tilt2;
}

void AcquiringPlate::setTimeScale(double scale) {
  if (!(scale >= 0.01 && scale <= 1e6)) {
    ProcLog("KMX_BalancePlate", "setTimeScale").error(QString("time scale %1 refused").arg(scale));
    return;
  }
  // Plate time goes on from where it is.
  lifeBaseMs_ += life_.nsecsElapsed() / 1e6 * timeScale_;
  life_.restart();
  timeScale_ = scale;
}

void AcquiringPlate::setZeroFrequency(float hz) {
  if (hz > 0.0f && hz <= 10000.0f) zeroFs_ = hz;
}

bool AcquiringPlate::readyFor(const char* procedure) const {
  QString why;
  if (!connected_)
    why = "the plate is disconnected";
  else if (notResponding_)
    why = "the plate is not responding";
  else if (phase_ != Phase::Idle)
    why = "an acquisition is already running";
  else if (IsSettling())
    why = "the electronics are settling after a reset";
  if (why.isEmpty()) return true;
  ProcLog(kModule, procedure).error(why);
  return false;
}

bool AcquiringPlate::ZeroStart(qint32 durationMs, qint32 excitationMv) {
  ProcLog log(kModule, "ZeroStart",
              QString("%1 ms, %2 mV, %3 Hz").arg(durationMs).arg(excitationMv).arg(zeroFs_));
  if (!readyFor("ZeroStart")) return false;
  if (durationMs < 1 || durationMs > 600000) {
    log.error(QString("zero duration %1 ms outside 1..600000").arg(durationMs));
    return false;
  }
  if (excitationMv < 500 || excitationMv > 5000) {
    log.error(QString("excitation %1 mV outside 500..5000").arg(excitationMv));
    return false;
  }
  zeroDurationMs_ = durationMs;
  zeroExcitationMv_ = excitationMv;
  fs_ = zeroFs_;
  preTotal_ = 0;
  total_ = std::max<qint64>(1, std::llround(fs_ * durationMs / 1000.0));
  for (auto& c : zeroCodes_) {
    c.clear();
    c.reserve(static_cast<size_t>(total_));
  }
  produced_ = 0;
  clipReported_ = false;
  phase_ = Phase::Zero;
  ++run_;
  acquisitionStarting(Phase::Zero, fs_, 0.0);
  startClock();
  log.completed();
  return true;
}

void AcquiringPlate::ZeroStop() {
  if (phase_ != Phase::Zero) return;
  ProcLog log(kModule, "ZeroStop");
  endAcquisition();
  log.completed();
}

void AcquiringPlate::ZeroAccept() {
  ProcLog log(kModule, "ZeroAccept");
  if (!lastZero_.valid) {
    log.error("no zero has been acquired");
    return;
  }
  accepted_ = lastZero_;
  zeroApplied_ = true;
  log.completed();
}

bool AcquiringPlate::IsZeroed() const { return accepted_.valid && zeroApplied_; }

double AcquiringPlate::ZeroTime() const { return accepted_.valid ? accepted_.time : clock::kMissingDate; }

bool AcquiringPlate::PowerCycled() const {
  return accepted_.valid && powerCycles_ != accepted_.powerCycleCount;
}

qint32 AcquiringPlate::Excitation() const {
  return IsZeroed() ? accepted_.excitationMv : kDefaultExcitationMv;
}

bool AcquiringPlate::TestStart(float frequencyHz, qint32 preTestMs, qint32 testMs) {
  ProcLog log(kModule, "TestStart",
              QString("%1 Hz, pre-test %2 ms, test %3 ms").arg(frequencyHz).arg(preTestMs).arg(testMs));
  if (!readyFor("TestStart")) return false;
  if (!(frequencyHz > 0.0f && frequencyHz <= 10000.0f) || preTestMs < 0 || testMs <= 0) {
    log.error("invalid sampling frequency or duration");
    return false;
  }
  const qint64 pre = std::llround(double(frequencyHz) * preTestMs / 1000.0);
  const qint64 test = std::max<qint64>(1, std::llround(double(frequencyHz) * testMs / 1000.0));
  if (pre + test > kMaxSamples) {
    log.error("acquisition too long");
    return false;
  }
  fs_ = frequencyHz;
  preTotal_ = pre;
  total_ = pre + test;
  produced_ = 0;
  clipReported_ = false;
  data_ = std::make_shared<PlateTestDataBuffer>(frequencyHz, clock::nowDays());
  phase_ = Phase::PreTest;
  ++run_;
  acquisitionStarting(Phase::PreTest, fs_, preTestMs / 1000.0);
  log.step(QString("Zero %1, %2 samples").arg(IsZeroed() ? "applied" : "not held").arg(test));
  startClock();
  log.completed();
  return true;
}

void AcquiringPlate::TestStop() {
  if (phase_ != Phase::PreTest && phase_ != Phase::Test) return;
  ProcLog log(kModule, "TestStop");
  endAcquisition();
  log.step(QString("%1 test samples kept").arg(data_ ? data_->Count() : 0));
  log.completed();
}

bool AcquiringPlate::IsAcquiring() const { return phase_ == Phase::PreTest || phase_ == Phase::Test; }

void AcquiringPlate::acquisitionStarting(Phase, double, double) {}

void AcquiringPlate::endAcquisition() {
  timer_.stop();
  phase_ = Phase::Idle;
  ++run_;
  pending_.clear();
}

void AcquiringPlate::tick() {
  if (phase_ == Phase::Idle) {
    timer_.stop();
    return;
  }
  const double simMs = clockMs() - acqStartMs_;
  const auto due = static_cast<qint64>(std::floor(simMs * fs_ / 1000.0));
  produce(std::min(total_, due));
}

qint32 AcquiringPlate::convert(int c, double load, qint32 excitationMv, double temperature, bool& clipped) {
  const double code =
      adc_.volts(c, load, excitationMv, temperature) * kAdcCodesPerVolt + gauss(adc_.codeNoise);
  qint64 rounded = std::llround(code);
  if (rounded > kAdcMaxCode || rounded < kAdcMinCode) {
    clipped = true;
    rounded = std::clamp<qint64>(rounded, kAdcMinCode, kAdcMaxCode);
  }
  return adjustCode(c, static_cast<qint32>(rounded));
}

void AcquiringPlate::produce(qint64 target) {
  const quint64 run = run_;
  const double temperature = temperatureNow();
  const bool converter = testUsesConverter();
  const qint32 excitation = Excitation();
  std::array<double, 3> zeroCode{}, gain{};
  for (int c = 0; c < 3; ++c) {
    zeroCode[c] = IsZeroed() ? accepted_.ave[c] : adc_.factoryOffsetCode(c);
    gain[c] = adc_.gainCodes(c, excitation);
  }

  qint64 batchFrom = produced_;
  auto flushBatch = [&] {
    if (phase_ == Phase::Zero || produced_ <= batchFrom) return;
    const qint64 base = phase_ == Phase::Test ? preTotal_ : 0;
    const qint64 phaseTotal = phase_ == Phase::Test ? total_ - preTotal_ : preTotal_;
    PlateChannelVolts bridge, converterVolts;
    PlateChannelCodes codes;
    for (int c = 0; c < 3; ++c) {
      codes.code[c] = lastCodes_[c];
      converterVolts.v[c] = static_cast<float>(adcCodeToVolts(lastCodes_[c]));
      bridge.v[c] = static_cast<float>(adcCodeToVolts(lastCodes_[c] - zeroCode[c]));
    }
    emit SampleIn(static_cast<qint32>(produced_ - 1 - base), static_cast<qint32>(phaseTotal), bridge,
                  converterVolts, codes);
    batchFrom = produced_;
  };

  while (true) {
    if (phase_ == Phase::PreTest && produced_ >= preTotal_) {
      flushBatch();
      if (run != run_) return;
      phase_ = Phase::Test;
      data_ = std::make_shared<PlateTestDataBuffer>(static_cast<float>(fs_), clock::nowDays());
      data_->reserve(static_cast<qint32>(total_ - preTotal_));
      acquisitionStarting(Phase::Test, fs_, preTotal_ / fs_);
      emit TestDone(true);
      if (run != run_) return;
    }
    if (produced_ >= target) break;

    for (auto it = pending_.begin(); it != pending_.end(); ++it) {
      if (it->first <= produced_) {
        const Fault f = it->second;
        pending_.erase(it);
        flushBatch();
        raise(f);
        if (run != run_) return;
        break;
      }
    }

    const qint64 base = phase_ == Phase::Test ? preTotal_ : 0;
    const qint64 index = produced_ - base;
    Load load;
    if (!nextLoad(phase_, index / fs_, fs_, load)) {
      if (phase_ == Phase::Zero) {
        load = Load{};
      } else {  // the source ran dry: the test ends with what it has
        flushBatch();
        ProcLog(kModule, "TestData").step(QString("source ended after %1 samples").arg(produced_));
        if (phase_ == Phase::PreTest) {
          data_ = std::make_shared<PlateTestDataBuffer>(static_cast<float>(fs_), clock::nowDays());
          emit TestDone(true);
          if (run != run_) return;
        }
        endAcquisition();
        emit TestDone(false);
        return;
      }
    }

    bool clipped = false;
    if (phase_ == Phase::Zero) {
      const double loads[3] = {load.fz, load.m1, load.m2};
      for (int c = 0; c < 3; ++c)
        zeroCodes_[c].push_back(convert(c, loads[c], zeroExcitationMv_, temperature, clipped));
    } else if (converter) {
      const double loads[3] = {load.fz, load.m1, load.m2};
      double out[3];
      for (int c = 0; c < 3; ++c) {
        lastCodes_[c] = convert(c, loads[c], excitation, temperature, clipped);
        out[c] = (lastCodes_[c] - zeroCode[c]) / gain[c];
      }
      load = Load{out[0], out[1], out[2]};
    } else {  // calibrated loads: the codes a quiet converter would read for them
      const double loads[3] = {load.fz, load.m1, load.m2};
      for (int c = 0; c < 3; ++c)
        lastCodes_[c] = static_cast<qint32>(
            std::clamp<qint64>(std::llround(zeroCode[c] + gain[c] * loads[c]), kAdcMinCode, kAdcMaxCode));
    }
    ++produced_;

    if (clipped && !clipReported_) {
      clipReported_ = true;
      ProcLog(kModule, "DataClipped").error(QString("converter clipped at sample %1").arg(index));
      emit DataClipped(static_cast<qint32>(index));
      if (run != run_) return;
    }
    if (phase_ == Phase::Zero) continue;

    const auto fz = static_cast<float>(load.fz), m1 = static_cast<float>(load.m1),
               m2 = static_cast<float>(load.m2);
    if (phase_ == Phase::Test) data_->append(fz, m1, m2);
    emit ForcesIn(static_cast<qint32>(index), PlateForces{fz, m1, m2});
    if (run != run_) return;
  }

  if (phase_ == Phase::Zero) {
    if (produced_ >= total_) finishZero();
    return;
  }
  flushBatch();
  if (run != run_) return;
  if (phase_ == Phase::Test && produced_ >= total_) {
    endAcquisition();
    ProcLog(kModule, "TestDone").step(QString("%1 samples").arg(data_->Count()));
    emit TestDone(false);
  }
}

void AcquiringPlate::finishZero() {
  PlateZero z;
  z.valid = true;
  z.durationMs = zeroDurationMs_;
  z.excitationMv = zeroExcitationMv_;
  z.frequencyHz = static_cast<float>(fs_);
  z.time = clock::nowDays();
  z.temperature = static_cast<float>(temperatureNow());
  z.tilt1 = tilt1_;
  z.tilt2 = tilt2_;
  z.powerCycleCount = powerCycles_;
  for (int c = 0; c < 3; ++c) {
    const auto& x = zeroCodes_[c];
    const double n = static_cast<double>(x.size());
    double mean = 0.0;
    for (double v : x) mean += v;
    mean /= n;
    // Residuals about the least-squares line through (k, x_k) give the noise without drift.
    const double kMean = (n - 1.0) / 2.0;
    double sxx = 0.0, skx = 0.0, skk = 0.0;
    for (size_t k = 0; k < x.size(); ++k) {
      const double dk = static_cast<double>(k) - kMean, dx = x[k] - mean;
      sxx += dx * dx;
      skx += dk * dx;
      skk += dk * dk;
    }
    const double slopeTerm = skk > 0.0 ? skx * skx / skk : 0.0;
    z.ave[c] = mean;
    z.sd[c] = n > 1.0 ? std::sqrt(sxx / (n - 1.0)) : 0.0;
    z.rms[c] = std::sqrt(std::max(0.0, sxx - slopeTerm) / n);
  }
  const double loadN = -(z.ave[0] - adc_.factoryOffsetCode(0)) / adc_.gainCodes(0, zeroExcitationMv_);
  z.heavyLoad = static_cast<float>(std::max(0.0, (adc_.topWeightN + loadN) / adc_.topWeightN));
  lastZero_ = z;
  endAcquisition();

  ProcLog log(kModule, "ZeroDone");
  for (int c = 0; c < 3; ++c)
    log.step(QString("Channel %1: average %2, SD %3, RMS %4 codes")
                 .arg(c + 1)
                 .arg(z.ave[c], 0, 'f', 1)
                 .arg(z.sd[c], 0, 'f', 1)
                 .arg(z.rms[c], 0, 'f', 1));
  emit ZeroDone(toList(z.ave), toList(z.sd), toList(z.rms));
}

void AcquiringPlate::injectFault(Fault fault, qint64 atSample) {
  if (atSample < 0) {
    QTimer::singleShot(0, this, [this, fault] { raise(fault); });
    return;
  }
  pending_.emplace_back(atSample, fault);
}

void AcquiringPlate::raise(Fault fault) {
  ProcLog log(kModule, faultName(fault));
  const qint64 base = phase_ == Phase::Test ? preTotal_ : 0;
  const auto inPhase = static_cast<qint32>(std::max<qint64>(0, produced_ - base));
  log.error(QString("%1 at sample %2").arg(faultName(fault)).arg(inPhase));
  switch (fault) {
    case Fault::BufferOverRun:
      endAcquisition();
      emit BufferOverRun(inPhase);
      break;
    case Fault::DataClipped:
      emit DataClipped(inPhase);
      break;
    case Fault::ReadTimeout:
      endAcquisition();
      emit ReadTimeout();
      break;
    case Fault::WriteTimeout:
      endAcquisition();
      emit WriteTimeout();
      break;
    case Fault::Removal:
      endAcquisition();
      connected_ = false;
      emit Removal();
      break;
  }
}

void AcquiringPlate::powerCycle() {
  ProcLog log(kModule, "PowerCycle");
  if (phase_ != Phase::Idle) raise(Fault::ReadTimeout);  // the link drops with the power
  ++powerCycles_;
  zeroApplied_ = false;
  notResponding_ = false;
  log.completed();
}

void AcquiringPlate::setNotResponding(bool on) {
  if (on && phase_ != Phase::Idle) endAcquisition();
  notResponding_ = on;
}

void AcquiringPlate::setConnected(bool on) {
  if (!on && phase_ != Phase::Idle) endAcquisition();
  connected_ = on;
}

void AcquiringPlate::Reset() {
  ProcLog log(kModule, "Reset");
  if (phase_ != Phase::Idle) endAcquisition();
  pending_.clear();
  notResponding_ = false;
  resetting();
  settleUntilMs_ = clockMs() + kResetSettleMs;
  log.completed();
}

bool AcquiringPlate::IsSettling() const { return clockMs() < settleUntilMs_; }

}  // namespace tarn
