#pragma once
// The force-platform component: a driver that lists the plates and a plate that zeroes and
// records. Events are Qt signals delivered on the thread that owns the windows.
// Sign convention: a loaded plate reports negative Fz (channel 0, newtons); channels 1 and 2
// are the moments (N·m) from which the analysis computes the centre of pressure.
#include <QObject>
#include <QString>
#include <QVariant>
#include <memory>
#include <vector>

namespace tarn {

// The samples of one finished acquisition.
class KMX_PlateTestData {
 public:
  virtual ~KMX_PlateTestData() = default;
  virtual qint32 Count() const = 0;        // number of samples
  virtual float Frequency() const = 0;     // Hz
  virtual double DateTime() const = 0;     // acquisition start, day count from 1899-12-30
  virtual float Sample(int channel, qint32 index) const = 0;  // channel 0..2, index 0..Count-1
};

// Plain in-memory test data (used by drivers, subject files and tests alike).
class PlateTestDataBuffer final : public KMX_PlateTestData {
 public:
  PlateTestDataBuffer(float frequency, double dateTime);
  void append(float fz, float m1, float m2);
  void reserve(qint32 n);
  qint32 Count() const override;
  float Frequency() const override { return frequency_; }
  double DateTime() const override { return dateTime_; }
  float Sample(int channel, qint32 index) const override;
  const float* channel(int c) const;

 private:
  float frequency_;
  double dateTime_;
  std::vector<float> ch_[3];
};

class KMX_BalancePlate : public QObject {
  Q_OBJECT
 public:
  using QObject::QObject;
  ~KMX_BalancePlate() override = default;

  virtual QString Name() const = 0;          // identity stored with each test
  virtual QString SerialNumber() const = 0;
  virtual QString DevicePath() const = 0;

  // Asynchronous zero; the result arrives as ZeroDone. The plate applies an accepted zero
  // (see ZeroAccept) to the acquisitions that follow.
  virtual bool ZeroStart(qint32 durationMs, qint32 excitationMv) = 0;
  virtual void ZeroAccept() = 0;
  virtual bool IsZeroed() const = 0;
  virtual double ZeroTime() const = 0;       // day count of the accepted zero, or kMissingDate

  // Asynchronous acquisition: a pre-test phase (TestDone(true) at its end) followed by the test.
  virtual bool TestStart(float frequencyHz, qint32 preTestMs, qint32 testMs) = 0;
  virtual void TestStop() = 0;
  virtual bool IsAcquiring() const = 0;
  virtual std::shared_ptr<const KMX_PlateTestData> TestData() const = 0;

  // Geometry read by the analysis, radians.
  virtual float RotationAngle() const = 0;
  virtual float TiltAngle1() const = 0;
  virtual float TiltAngle2() const = 0;

 signals:
  void ZeroDone(QVariant ZeroAve, QVariant ZeroSD, QVariant ZeroRMS);
  void SampleIn(qint32 Sample, qint32 Samples);
  void ForcesIn(qint32 Sample, float Fz, float M1, float M2);
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

  virtual bool PlateDevicesOpen() = 0;   // opens every connected plate
  virtual void PlateDevicesClose() = 0;
  virtual int PlateCount() const = 0;
  virtual KMX_BalancePlate* Plate(int index) const = 0;  // 1-based

 signals:
  void PlateListUpdateBegin();
  void PlateArrived(QString DevicePath, QString SerialNumber);
  void PlateNotResponding(QString DevicePath, QString SerialNumber);
  void PlateRemoved(QString DevicePath, QString SerialNumber);
  void PlateListUpdateDone(qint32 Plates, qint32 HIDs, bool Changed);
};

// The driver the station uses: TARNRQ_PLATE=replay:<file.csv>[,positive-fz][,fs=<Hz>] plays a
// recording; anything else (the default) is the simulated platform.
std::unique_ptr<KMX_HID_Devices> CreatePlateDriver(QObject* parent = nullptr);

}  // namespace tarn
