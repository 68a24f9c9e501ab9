#include "balance/plate/simulatedplate.h"

#include <algorithm>
#include <cmath>

#include "core/eventlog.h"

namespace tarn {

namespace {
constexpr double kG = 9.80665;

// Share of the variance, slow and quick time constants (s) of the three sway stages:
// drift, pendulum sway, corrections.
struct StageShape {
  double share, tau1, tau2;
};
constexpr StageShape kStages[3] = {{0.40, 10.0, 1.5}, {0.55, 1.5, 0.3}, {0.05, 0.3, 0.1}};

// Eyes-open firm ground: about 4.5 mm RMS antero-posterior, 70 % of that medio-lateral.
constexpr double kApRms = 0.0045;
constexpr double kVerticalAccelRms = 0.02;

double conditionFactor(bool eyesClosed, bool onFoam) {
  if (onFoam) return eyesClosed ? 3.0 : 2.0;
  return eyesClosed ? 1.4 : 1.0;
}

quint64 freshSeed() {
  std::random_device rd;
  return (quint64(rd()) << 32) ^ rd();
}
}  // namespace

double SwayModel::Stage::advance(double dt, double noise) {
  // Exact Ornstein-Uhlenbeck step with a unit-variance output after the low-pass.
  const double a = std::exp(-dt / tau1);
  const double s1 = std::sqrt((tau1 + tau2) / tau1);
  y1 = a * y1 + std::sqrt(1.0 - a * a) * s1 * noise;
  y2 += (1.0 - std::exp(-dt / tau2)) * (y1 - y2);
  return y2;
}

SwayModel::SwayModel(quint64 seed) : rng_(seed) {
  for (int i = 0; i < 3; ++i) {
    ap_[i] = Stage{kStages[i].tau1, kStages[i].tau2, std::sqrt(kStages[i].share)};
    ml_[i] = ap_[i];
  }
  vert_ = Stage{0.2, 0.05, 1.0};
  setCondition(false, false, 1.0);
  // Start from a settled state rather than from rest.
  for (int k = 0; k < 3000; ++k) step(0.02);
}

void SwayModel::setCondition(bool eyesClosed, bool onFoam, double scale) {
  const double f = conditionFactor(eyesClosed, onFoam) * std::max(0.0, scale);
  apRms_ = kApRms * f;
  mlRms_ = apRms_ * (onFoam ? 0.8 : 0.7);
  vertRms_ = kVerticalAccelRms * f;
}

SwayModel::Step SwayModel::step(double dt) {
  Step s;
  for (int i = 0; i < 3; ++i) {
    s.y += ap_[i].weight * ap_[i].advance(dt, normal_(rng_));
    s.x += ml_[i].weight * ml_[i].advance(dt, normal_(rng_));
  }
  s.y *= apRms_;
  s.x *= mlRms_;
  s.verticalAccel = vertRms_ * vert_.advance(dt, normal_(rng_));
  return s;
}

SimulatedPlate::SimulatedPlate(int number, const SimulatedPlateConfig& config, QObject* parent)
    : AcquiringPlate(QString("KM Force Platform SIM%1").arg(number, 5, 10, QChar('0')),
                     QString("SIM%1").arg(number, 5, 10, QChar('0')), QString("sim://plate/%1").arg(number),
                     parent),
      config_(config),
      sway_(config.seed ? config.seed * 2654435761u + 17u : freshSeed()) {
  reseed(config.seed ? config.seed : freshSeed());
  setConfig(config);
  setSubject(subject_);
  poweredUpMs_ = clockMs();
}

void SimulatedPlate::setConfig(const SimulatedPlateConfig& config) {
  config_ = config;
  AdcModel model = config.variantB ? AdcModel::variantB() : AdcModel::variantA();
  // Every plate leaves the factory with slightly different offsets; the seed picks them.
  std::mt19937_64 unit(config.seed ? config.seed : 1);
  std::uniform_real_distribution<double> spread(-0.05, 0.05);
  for (double& v : model.offsetV) v += spread(unit);
  setVariant(config.variantB, model);
  setGeometry(config.rotation, config.tilt1, config.tilt2);
}

void SimulatedPlate::setSubject(const SimulatedSubject& subject) {
  subject_ = subject;
  sway_.setCondition(subject.eyesClosed, subject.onFoam, subject.swayScale);
}

void SimulatedPlate::powerCycle() {
  AcquiringPlate::powerCycle();
  poweredUpMs_ = clockMs();
}

void SimulatedPlate::resetting() {
  if (config_.fault != ZeroFault::None) {
    ProcLog("SimulatedPlate", "Reset").step("front-end fault cleared");
    config_.fault = ZeroFault::None;
  }
}

double SimulatedPlate::temperatureNow() const {
  if (!std::isnan(config_.temperatureC)) return config_.temperatureC;
  // The electronics warm from room temperature with a quarter-hour time constant.
  const double seconds = std::max(0.0, clockMs() - poweredUpMs_) / 1000.0;
  return 23.0 + 7.0 * (1.0 - std::exp(-seconds / 900.0));
}

qint32 SimulatedPlate::adjustCode(int channel, qint32 code) {
  const bool b = IsVariantB();
  switch (config_.fault) {
    case ZeroFault::None:
    case ZeroFault::Vibration:
      return code;
    case ZeroFault::UsbPower:
      return static_cast<qint32>((b ? 1.2 : -1.2) * kAdcCodesPerVolt);
    case ZeroFault::OutOfTrim:
      return channel == 1 ? kAdcMinCode : code;
    case ZeroFault::BrokenCable:
      return channel == 2 ? kAdcMaxCode : code;
    case ZeroFault::DeadConverter:
      return channel == 0 ? static_cast<qint32>((b ? -0.05 : 0.02) * kAdcCodesPerVolt) : code;
  }
  return code;
}

bool SimulatedPlate::nextLoad(Phase phase, double tPhase, double fs, Load& out) {
  const SwayModel::Step s = sway_.step(1.0 / fs);

  double on = 0.0;  // share of the subject's weight on the plate
  using P = SimulatedSubject::Presence;
  switch (subject_.presence) {
    case P::Auto:
      on = phase == Phase::Zero ? 0.0 : 1.0;
      break;
    case P::Standing:
      on = 1.0;
      break;
    case P::Away:
      on = 0.0;
      break;
    case P::StepsOff:
      if (phase == Phase::Zero)
        on = 0.0;
      else if (phase == Phase::Test)
        on = std::clamp(1.0 - (tPhase - subject_.stepOffAfterS) / 0.4, 0.0, 1.0);
      else
        on = 1.0;
      break;
  }

  // Subject CoP in the subject's frame, then into the plate's frame (the analysis rotates back).
  const double X = subject_.meanXm + s.x, Y = subject_.meanYm + s.y;
  const double c = std::cos(config_.rotation), sn = std::sin(config_.rotation);
  const double xp = X * c - Y * sn, yp = X * sn + Y * c;
  const double fzSubject = -on * subject_.weightKg * (kG + s.verticalAccel);
  const double fz = fzSubject - (config_.surfaceMassKg + config_.objectMassKg) * kG;

  // Plate noise of the load cells; much more while something shakes it.
  const double shake = config_.fault == ZeroFault::Vibration ? 40.0 : 1.0;
  out.fz = fz * std::cos(config_.tilt1) * std::cos(config_.tilt2) + gauss(0.03 * shake);
  out.m1 = yp * fzSubject + gauss(0.003 * shake);
  out.m2 = -xp * fzSubject + gauss(0.003 * shake);
  return true;
}

SimulatedPlateDriver::SimulatedPlateDriver(int plates, const SimulatedPlateConfig& config,
                                           const SimulatedSubject& subject, QObject* parent)
    : PlateDriverBase(parent), plates_(std::max(0, plates)), config_(config), subject_(subject) {}

SimulatedPlate* SimulatedPlateDriver::makePlate() {
  ++made_;
  SimulatedPlateConfig c = config_;
  if (c.seed) c.seed += static_cast<quint64>(made_ - 1) * 7919u;
  auto* p = new SimulatedPlate(made_, c, this);
  p->setSubject(subject_);
  return p;
}

std::vector<AcquiringPlate*> SimulatedPlateDriver::openPlates() {
  // Opening again after a close finds the same plates, still powered.
  std::vector<AcquiringPlate*> out;
  for (int i = 1; i <= plates_; ++i) {
    AcquiringPlate* known = findGone(QString("SIM%1").arg(i, 5, 10, QChar('0')));
    out.push_back(known ? known : makePlate());
  }
  return out;
}

SimulatedPlate* SimulatedPlateDriver::simulatedPlate(int index) const {
  return static_cast<SimulatedPlate*>(acquiringPlate(index));
}

void SimulatedPlateDriver::setSubject(const SimulatedSubject& subject) {
  subject_ = subject;
  for (int i = 1; i <= PlateCount(); ++i) simulatedPlate(i)->setSubject(subject);
}

void SimulatedPlateDriver::simulateArrival(const QString& serial) {
  if (auto* back = static_cast<SimulatedPlate*>(findGone(serial))) {
    back->powerCycle();  // unplugging took its power
    attach(back);
    return;
  }
  attach(makePlate());
}

void SimulatedPlateDriver::simulateRemoval(int index) {
  if (auto* p = acquiringPlate(index)) p->injectFault(AcquiringPlate::Fault::Removal);
}

void SimulatedPlateDriver::simulateNotResponding(int index) {
  if (auto* p = acquiringPlate(index)) reportNotResponding(p);
}

}  // namespace tarn
