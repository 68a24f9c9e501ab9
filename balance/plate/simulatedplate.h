#pragma once
// The simulated force platform: a person of a chosen weight standing on a plate whose converters,
// noise, zero, temperature and power behave like the real electronics.
#include <QElapsedTimer>
#include <cmath>
#include <limits>
#include <random>

#include "balance/plate/acquiringplate.h"
#include "balance/plate/platedriver.h"

namespace tarn {

// Who stands on the plate, and how.
struct SimulatedSubject {
  enum class Presence {
    Auto,      // steps off for a zero, stands during tests
    Standing,  // always on the plate, zeros included
    Away,      // never on the plate
    StepsOff,  // stands, then steps off stepOffAfterS seconds into the test
  };
  double weightKg = 70.0;
  bool eyesClosed = false;
  bool onFoam = false;
  Presence presence = Presence::Auto;
  double stepOffAfterS = 10.0;
  double meanXm = 0.002;   // mean CoP, medio-lateral (m)
  double meanYm = 0.015;   // mean CoP, antero-posterior (m): people lean slightly forward
  double swayScale = 1.0;  // beyond the conditions, e.g. 1.5 for an unsteady person
};

// Two-dimensional CoP sway of a standing person: per axis a slow drift, the pendulum sway and
// quick corrections, each a low-passed Ornstein-Uhlenbeck process, so the path is smooth and its
// statistics do not depend on the sampling rate. Also a small vertical acceleration.
class SwayModel {
 public:
  struct Step {
    double x = 0.0, y = 0.0;     // ML and AP deviation from the mean CoP (m)
    double verticalAccel = 0.0;  // m/s²
  };
  explicit SwayModel(quint64 seed = 1);
  void setCondition(bool eyesClosed, bool onFoam, double scale);
  // Expected RMS of the AP and ML deviations for the current condition (m).
  double apRms() const { return apRms_; }
  double mlRms() const { return mlRms_; }
  Step step(double dt);

 private:
  struct Stage {
    double tau1, tau2, weight;
    double y1 = 0.0, y2 = 0.0;
    double advance(double dt, double noise);
  };
  std::mt19937_64 rng_;
  std::normal_distribution<double> normal_{0.0, 1.0};
  Stage ap_[3], ml_[3], vert_;
  double apRms_ = 0.0, mlRms_ = 0.0, vertRms_ = 0.0;
};

// Faults of the front end that a zero reveals.
enum class ZeroFault {
  None,
  UsbPower,       // every converter reads a steady mid-scale value
  OutOfTrim,      // channel 2 sits at the negative rail
  BrokenCable,    // channel 3 sits at the positive rail
  DeadConverter,  // channel 1 reads a steady value near 0 V
  Vibration,      // something shakes the empty plate
};

struct SimulatedPlateConfig {
  bool variantB = false;
  float rotation = 0.0f, tilt1 = 0.0f, tilt2 = 0.0f;  // rad
  double surfaceMassKg = 0.0;                         // foam or board lying on the plate
  double objectMassKg = 0.0;                          // anything else left on the plate
  ZeroFault fault = ZeroFault::None;
  double temperatureC = std::numeric_limits<double>::quiet_NaN();  // NaN: warms up after power-on
  quint64 seed = 0;                                                // 0: a different plate every run
};

class SimulatedPlate final : public AcquiringPlate {
  Q_OBJECT
 public:
  SimulatedPlate(int number, const SimulatedPlateConfig& config, QObject* parent = nullptr);

  void setSubject(const SimulatedSubject& subject);
  const SimulatedSubject& subject() const { return subject_; }
  void setConfig(const SimulatedPlateConfig& config);  // keeps the seed's random stream
  const SimulatedPlateConfig& config() const { return config_; }
  void powerCycle() override;

 protected:
  bool nextLoad(Phase phase, double tPhase, double fs, Load& out) override;
  double temperatureNow() const override;
  qint32 adjustCode(int channel, qint32 code) override;
  void resetting() override;

 private:
  SimulatedPlateConfig config_;
  SimulatedSubject subject_;
  SwayModel sway_;
  double poweredUpMs_ = 0.0;  // plate clock at the last power-on
};

class SimulatedPlateDriver final : public PlateDriverBase {
  Q_OBJECT
 public:
  SimulatedPlateDriver(int plates, const SimulatedPlateConfig& config, const SimulatedSubject& subject,
                       QObject* parent = nullptr);

  SimulatedPlate* simulatedPlate(int index) const;   // 1-based, as Plate()
  void setSubject(const SimulatedSubject& subject);  // for every plate
  // A plate is plugged in: a removed plate of that serial comes back (power-cycled), any other
  // serial (or none) adds a new plate.
  void simulateArrival(const QString& serial = QString());
  void simulateRemoval(int index);
  void simulateNotResponding(int index);

 protected:
  std::vector<AcquiringPlate*> openPlates() override;

 private:
  SimulatedPlate* makePlate();
  int plates_;
  int made_ = 0;
  SimulatedPlateConfig config_;
  SimulatedSubject subject_;
};

}  // namespace tarn
