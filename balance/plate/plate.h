#pragma once
// The force-platform component: a driver that lists the plates and a plate that zeroes and
// records. Events are Qt signals delivered on the thread that owns the windows.
// Sign convention: a loaded plate reports negative Fz (channel 0, newtons); channels 1 and 2
// are the moments (N·m) from which the analysis computes the centre of pressure:
// x = -M2 / Fz (medio-lateral), y = M1 / Fz (antero-posterior).
#include <QObject>
#include <QString>
#include <QVariant>
#include <array>
#include <memory>
#include <vector>

namespace tarn {

// The plate's converter: 24-bit codes over a 10 V span, V = code * 10 / 2^24.
inline constexpr double kAdcCodesPerVolt = 16777216.0 / 10.0;
inline constexpr qint32 kAdcMaxCode = 8388607;   // +5 V rail
inline constexpr qint32 kAdcMinCode = -8388608;  // -5 V rail
inline double adcCodeToVolts(double code) { return code * 10.0 / 16777216.0; }

// The samples of one finished acquisition.
class KMX_PlateTestData {
 public:
  virtual ~KMX_PlateTestData() = default;
  virtual qint32 Count() const = 0;                           // number of samples
  virtual float Frequency() const = 0;                        // Hz
  virtual double DateTime() const = 0;                        // acquisition start, day count from 1899-12-30
  virtual float Sample(int channel, qint32 index) const = 0;  // channel 0..2, index 0..Count-1
};

// Plain in-memory test data (used by drivers, subject files and tests alike).
class PlateTestDataBuffer final : public KMX_PlateTestData {
 public:
  PlateTestDataBuffer(float frequency, double dateTime);
  // From whole channels; longer channels are cut to the shortest.
  PlateTestDataBuffer(float frequency, double dateTime, std::vector<float> fz, std::vector<float> m1,
                      std::vector<float> m2);
  // A sample-for-sample copy of any test data.
  static std::shared_ptr<const PlateTestDataBuffer> copyOf(const KMX_PlateTestData& source);
  void append(float fz, float m1, float m2);
  void reserve(qint32 n);
  // Replaces all samples at once (e.g. from a stored test); false, and nothing changed, when the
  // three channels differ in length.
  bool setChannels(std::vector<float> fz, std::vector<float> m1, std::vector<float> m2);
  qint32 Count() const override;
  float Frequency() const override { return frequency_; }
  double DateTime() const override { return dateTime_; }
  // Out-of-range channel or index reads 0.
  float Sample(int channel, qint32 index) const override;
  const float* channel(int c) const;  // nullptr for a channel outside 0..2

 private:
  float frequency_;
  double dateTime_;
  std::vector<float> ch_[3];
};

// Live values of one sample, channels Fz, M1, M2.
struct PlateForces {
  float Fz = 0.0f, M1 = 0.0f, M2 = 0.0f;  // N, N·m
};
struct PlateChannelVolts {
  std::array<float, 3> v{};
};
struct PlateChannelCodes {
  std::array<qint32, 3> code{};
};

// One zero acquisition as the plate measured it. Channel order: Fz, M1, M2. Values in A/D codes.
struct PlateZero {
  bool valid = false;
  std::array<double, 3> ave{};  // mean code
  std::array<double, 3> sd{};   // sample standard deviation about the mean (includes drift)
  std::array<double, 3> rms{};  // RMS noise about the straight-line trend (drift removed)
  qint32 durationMs = 0;
  qint32 excitationMv = 0;
  float frequencyHz = 0.0f;
  double time = 0.0;         // day count when it finished
  float temperature = 0.0f;  // electronics, °C
  float tilt1 = 0.0f, tilt2 = 0.0f;
  qint32 powerCycleCount = 0;  // of the plate when the zero was taken
  float heavyLoad = 0.0f;      // load indicator, see KMX_BalancePlate::HeavyLoad
};

class KMX_BalancePlate : public QObject {
  Q_OBJECT
 public:
  using QObject::QObject;
  ~KMX_BalancePlate() override = default;

  virtual QString Name() const = 0;  // identity stored with each test
  virtual QString SerialNumber() const = 0;
  virtual QString DevicePath() const = 0;

  // Asynchronous zero; the result arrives as ZeroDone with three-element lists (QVariantList of
  // doubles, channels Fz, M1, M2) of the mean code, the standard deviation and the RMS noise.
  // The plate applies an accepted zero (see ZeroAccept) to the acquisitions that follow; the
  // excitation of the accepted zero stays in force until the next one.
  virtual bool ZeroStart(qint32 durationMs, qint32 excitationMv) = 0;
  virtual void ZeroAccept() = 0;
  virtual bool IsZeroed() const = 0;
  virtual double ZeroTime() const = 0;  // day count of the accepted zero, or kMissingDate

  // Asynchronous acquisition: a pre-test phase (TestDone(true) at its end) followed by the test
  // (TestDone(false)). Live values arrive in both phases: ForcesIn for every sample and SampleIn
  // once per batch with the newest sample index of the phase, the phase's sample total and the
  // newest sample's signals: the bridge signals (converter input less the zero level, V), the
  // converter input (V) and the converter's codes.
  // TestStop ends an acquisition at once without a TestDone; TestData then holds the test
  // samples delivered so far. An error event (other than DataClipped) also ends it.
  virtual bool TestStart(float frequencyHz, qint32 preTestMs, qint32 testMs) = 0;
  virtual void TestStop() = 0;
  virtual bool IsAcquiring() const = 0;
  // The samples of the latest test phase (nullptr before the first test).
  virtual std::shared_ptr<const KMX_PlateTestData> TestData() const = 0;

  // Geometry read by the analysis, radians.
  virtual float RotationAngle() const = 0;
  virtual float TiltAngle1() const = 0;
  virtual float TiltAngle2() const = 0;

  // State the zeroing window judges a held zero by. Defaults suit a plate without these sensors.
  virtual bool IsConnected() const { return true; }
  virtual bool IsZeroing() const { return false; }
  virtual bool IsPreTest() const { return false; }  // acquiring and still in the pre-test
  virtual void ZeroStop() {}                        // abandons a zero in progress, no ZeroDone
  // Re-initialises the plate's electronics and ends any acquisition; the electronics then settle
  // for a moment (IsSettling) before the plate starts another.
  virtual void Reset() {}
  virtual bool IsSettling() const { return false; }
  // Second plate generation: its converters idle near 0 V instead of near the negative rail,
  // so the zero quality limits differ.
  virtual bool IsVariantB() const { return false; }
  virtual float Temperature() const { return 25.0f; }  // electronics, °C
  // Share of the running zero or test acquired so far, 0..1, by the plate's own clock; 0 when idle.
  virtual double AcquisitionProgress() const { return 0.0; }
  virtual qint32 PowerCycleCount() const { return 0; }  // times the plate lost power
  // Power lost since the accepted zero (the zero is then no longer applied).
  virtual bool PowerCycled() const { return false; }
  // Vertical load seen by the last zero divided by the weight of the plate's own top:
  // about 1 for an empty plate; above 2.6 means a heavy load was zeroed.
  virtual float HeavyLoad() const { return LastZero().heavyLoad; }
  virtual PlateZero LastZero() const { return {}; }                          // latest zero, accepted or not
  virtual PlateZero AcceptedZero() const { return {}; }                      // the zero in force
  virtual qint32 Excitation() const { return AcceptedZero().excitationMv; }  // mV
  double ZeroAgeSeconds() const;  // age of the accepted zero; negative when none is held

 signals:
  void ZeroDone(QVariant ZeroAve, QVariant ZeroSD, QVariant ZeroRMS);
  void SampleIn(qint32 Sample, qint32 Samples, tarn::PlateChannelVolts Volts,
                tarn::PlateChannelVolts ConverterVolts, tarn::PlateChannelCodes ConverterData);
  void ForcesIn(qint32 Sample, tarn::PlateForces Forces);
  void TestDone(bool PreTest);
  void BufferOverRun(qint32 Samples);
  void DataClipped(qint32 Sample);
  void ReadTimeout();
  void WriteTimeout();
  void Removal();
};

class KMX_HID_Devices : public QObject {
  Q_OBJECT
 public:
  using QObject::QObject;
  ~KMX_HID_Devices() override = default;

  // Opens every connected plate. The list is ready on return; PlateListUpdateBegin, one
  // PlateArrived per plate and PlateListUpdateDone follow as queued events.
  virtual bool PlateDevicesOpen() = 0;
  virtual void PlateDevicesClose() = 0;
  virtual int PlateCount() const = 0;
  // 1-based; nullptr outside 1..PlateCount. A plate stays a valid object after it was removed
  // (IsConnected() is then false) until the driver is destroyed.
  virtual KMX_BalancePlate* Plate(int index) const = 0;
  virtual QString LastError() const { return QString(); }  // why the driver found no plate

 signals:
  void PlateListUpdateBegin();
  void PlateArrived(QString DevicePath, QString SerialNumber);
  void PlateNotResponding(QString DevicePath, QString SerialNumber);
  void PlateRemoved(QString DevicePath, QString SerialNumber);
  void PlateListUpdateDone(qint32 Plates, qint32 HIDs, bool Changed);
};

// The driver the station uses, chosen by the environment variable TARNRQ_PLATE:
//   replay:<file.csv>[,positive-fz][,fs=<Hz>]  plays a recording;
//   none                                     a simulated platform with no plate connected;
//   sim[:plates=<n>][,weight=<kg>][,seed=<n>][,variant-b] or unset: the simulated platform.
// TARNRQ_PLATE_TIMESCALE (default 1) speeds the plates' clock up (demos, timed tries); tests take
// the clock in hand instead (see plateclock.h).
// A parent takes ownership: release() the returned pointer when passing one.
std::unique_ptr<KMX_HID_Devices> CreatePlateDriver(QObject* parent = nullptr);

}  // namespace tarn

Q_DECLARE_METATYPE(tarn::PlateForces)
Q_DECLARE_METATYPE(tarn::PlateChannelVolts)
Q_DECLARE_METATYPE(tarn::PlateChannelCodes)
