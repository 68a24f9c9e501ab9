#pragma once
// What every plate of this station's drivers shares: the zero and test state machines on a Qt
// timer of the owning thread, the converter model between loads and A/D codes, the applied
// zero, a clock that can run faster than real time, and error events that tests can trigger.
#include <QElapsedTimer>
#include <QTimer>
#include <array>
#include <random>
#include <vector>

#include "balance/plate/plate.h"
#include "balance/plate/plateclock.h"

namespace tarn {

// Front end of one plate: per channel (Fz, M1, M2) the converter input for a load.
// volts = offset + drift * (T - 25 °C) + gain * excitation / 2500 mV * load
struct AdcModel {
  std::array<double, 3> offsetV{};  // unloaded level at 25 °C
  std::array<double, 3> gainV{};    // V per N (Fz) or per N·m (moments) at 2500 mV
  std::array<double, 3> driftVPerC{};
  double codeNoise = 20.0;    // converter noise, codes RMS
  double topWeightN = 117.7;  // the plate's own top, carried by the load cells

  // First generation: the converters idle near the negative rail and a load drives them up.
  static AdcModel variantA();
  // Second generation: they idle a little above 0 V.
  static AdcModel variantB();

  double volts(int c, double load, qint32 excitationMv, double temperature) const;
  double gainCodes(int c, qint32 excitationMv) const;  // codes per unit load
  double factoryOffsetCode(int c) const { return offsetV[c] * kAdcCodesPerVolt; }
};

class AcquiringPlate : public KMX_BalancePlate {
  Q_OBJECT
 public:
  enum class Fault { BufferOverRun, DataClipped, ReadTimeout, WriteTimeout, Removal };
  enum class Phase { Idle, Zero, PreTest, Test };

  AcquiringPlate(QString name, QString serial, QString devicePath, QObject* parent = nullptr);
  ~AcquiringPlate() override;

  QString Name() const override { return name_; }
  QString SerialNumber() const override { return serial_; }
  QString DevicePath() const override { return path_; }

  bool ZeroStart(qint32 durationMs, qint32 excitationMv) override;
  void ZeroAccept() override;
  bool IsZeroed() const override;
  double ZeroTime() const override;
  void ZeroStop() override;

  bool TestStart(float frequencyHz, qint32 preTestMs, qint32 testMs) override;
  void TestStop() override;
  bool IsAcquiring() const override;
  bool IsPreTest() const override { return phase_ == Phase::PreTest; }
  bool IsZeroing() const override { return phase_ == Phase::Zero; }
  std::shared_ptr<const KMX_PlateTestData> TestData() const override { return data_; }

  float RotationAngle() const override { return rotation_; }
  float TiltAngle1() const override { return tilt1_; }
  float TiltAngle2() const override { return tilt2_; }

  bool IsConnected() const override { return connected_; }
  void Reset() override;
  bool IsSettling() const override;
  static constexpr double kResetSettleMs = 500.0;
  bool IsVariantB() const override { return variantB_; }
  float Temperature() const override { return static_cast<float>(temperatureNow()); }
  qint32 PowerCycleCount() const override { return powerCycles_; }
  bool PowerCycled() const override;
  PlateZero LastZero() const override { return lastZero_; }
  PlateZero AcceptedZero() const override { return accepted_; }
  qint32 Excitation() const override;
  double AcquisitionProgress() const override;

  // Controls for tests and the demo.
  void setGeometry(float rotation, float tilt1, float tilt2);
  // Plate seconds per real second on the wall clock; below 0.01 is refused. No effect while the
  // clock is manual.
  void setTimeScale(double scale);
  double timeScale() const { return timeScale_; }
  void setZeroFrequency(float hz);  // sampling rate of a zero, default 100 Hz
  float zeroFrequency() const { return zeroFs_; }
  // Raises an error event: at once (queued, atSample < 0) or when the running acquisition
  // reaches that sample, counted from its start (pre-test and test together).
  void injectFault(Fault fault, qint64 atSample = -1);
  virtual void powerCycle();       // power lost and back: the applied zero is gone
  void setNotResponding(bool on);  // communication lost; Reset() restores it
  bool isNotResponding() const { return notResponding_; }
  void setConnected(bool on);  // the driver's view of the USB link
  Phase phase() const { return phase_; }

 protected:
  struct Load {
    double fz = 0.0, m1 = 0.0, m2 = 0.0;
  };
  // The loads on the plate for the next sample of the phase: tPhase seconds after the phase
  // began, sampling at fs. False when the source has nothing more to give.
  virtual bool nextLoad(Phase phase, double tPhase, double fs, Load& out) = 0;
  virtual void acquisitionStarting(Phase phase, double fs, double preTestSeconds);
  // A recording already holds calibrated loads; a plate's samples pass through the converters.
  virtual bool testUsesConverter() const { return true; }
  virtual double temperatureNow() const { return 25.0; }
  // Lets a faulty front end replace the converter reading of a channel.
  virtual qint32 adjustCode(int channel, qint32 code) {
    (void)channel;
    return code;
  }
  virtual void resetting() {}

  // Plate time in ms: the wall clock times the time scale since the plate was made, or the manual
  // clock of the tests.
  double clockMs() const;
  void setVariant(bool variantB, const AdcModel& model);
  const AdcModel& adc() const { return adc_; }
  std::mt19937_64& rng() { return rng_; }
  void reseed(quint64 seed) { rng_.seed(seed); }
  double gauss(double sd) { return sd * normal_(rng_); }

 private:
  friend void plateclock::advance(double ms);
  void startClock();
  void tick();
  void produce(qint64 target);
  void finishZero();
  void endAcquisition();
  void raise(Fault fault);
  bool readyFor(const char* procedure) const;
  qint32 convert(int c, double load, qint32 excitationMv, double temperature, bool& clipped);

  QString name_, serial_, path_;
  AdcModel adc_;
  bool variantB_ = false;
  std::mt19937_64 rng_;
  std::normal_distribution<double> normal_{0.0, 1.0};

  float rotation_ = 0.0f, tilt1_ = 0.0f, tilt2_ = 0.0f;
  double timeScale_ = 1.0;
  float zeroFs_ = 100.0f;
  bool connected_ = true;
  bool notResponding_ = false;
  qint32 powerCycles_ = 0;

  QTimer timer_;
  QElapsedTimer life_;
  double lifeBaseMs_ = 0.0;  // plate time reached before the last change of time scale
  double acqStartMs_ = 0.0;  // plate time the running acquisition began
  double settleUntilMs_ = -1.0;
  std::array<qint32, 3> lastCodes_{};
  Phase phase_ = Phase::Idle;
  quint64 run_ = 0;  // changes with every start and end, so a slot that restarts is noticed
  double fs_ = 0.0;
  qint64 produced_ = 0;
  qint64 preTotal_ = 0;
  qint64 total_ = 0;
  bool clipReported_ = false;
  std::vector<std::pair<qint64, Fault>> pending_;

  qint32 zeroDurationMs_ = 0;
  qint32 zeroExcitationMv_ = 0;
  std::array<std::vector<double>, 3> zeroCodes_;
  PlateZero lastZero_;
  PlateZero accepted_;
  bool zeroApplied_ = false;

  std::shared_ptr<PlateTestDataBuffer> data_;
};

}  // namespace tarn
