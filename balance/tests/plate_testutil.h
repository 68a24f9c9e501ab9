#pragma once
// Helpers for the plate and test-window tests: waiting on the event loop, recording a plate's
// events and a simulated platform with a fixed seed and a fast clock.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QVariantList>
#include <cmath>
#include <memory>
#include <vector>

#include "balance/plate/acquiringplate.h"
#include "balance/plate/simulatedplate.h"
#include "balance/procedures/zerojudge.h"

namespace tarn::platetest {

template <class Pred>
bool waitUntil(Pred pred, int timeoutMs = 20000) {
  QElapsedTimer t;
  t.start();
  while (!pred()) {
    if (t.elapsed() > timeoutMs) return false;
    QCoreApplication::processEvents();
    QThread::msleep(1);
  }
  return true;
}

inline void spin(int ms) {
  waitUntil([] { return false; }, ms);
}

// One simulated plate, opened through its driver, with no zero held before or after.
struct SimRig {
  std::unique_ptr<SimulatedPlateDriver> driver;
  SimulatedPlate* plate = nullptr;

  explicit SimRig(SimulatedPlateConfig config = {}, SimulatedSubject subject = {}, double timeScale = 200.0) {
    if (config.seed == 0) config.seed = 42;
    if (std::isnan(config.temperatureC)) config.temperatureC = 27.0;
    driver = std::make_unique<SimulatedPlateDriver>(1, config, subject);
    driver->PlateDevicesOpen();
    plate = driver->simulatedPlate(1);
    plate->setTimeScale(timeScale);
    ForgetZero();
  }
  ~SimRig() { ForgetZero(); }
};

// Everything a plate reports, in order.
struct PlateEvents {
  QObject ctx;  // connections end with the recorder
  struct Forces {
    qint32 sample;
    float fz, m1, m2;
  };
  std::vector<Forces> pre, test;  // live values of each phase
  std::vector<std::pair<qint32, qint32>> sampleIn;
  std::vector<bool> testDone;
  QStringList log;  // compact trace of the other events
  QVariantList zeroAve, zeroSd, zeroRms;
  int zeroDone = 0;
  bool inTest = false;

  explicit PlateEvents(KMX_BalancePlate* p) {
    QObject::connect(p, &KMX_BalancePlate::ForcesIn, &ctx, [this](qint32 s, float fz, float m1, float m2) {
      (inTest ? test : pre).push_back({s, fz, m1, m2});
    });
    QObject::connect(p, &KMX_BalancePlate::SampleIn, &ctx,
                     [this](qint32 s, qint32 n) { sampleIn.emplace_back(s, n); });
    QObject::connect(p, &KMX_BalancePlate::TestDone, &ctx, [this](bool preTest) {
      testDone.push_back(preTest);
      log << QString("TestDone(%1)").arg(preTest);
      if (preTest) inTest = true;
    });
    QObject::connect(p, &KMX_BalancePlate::ZeroDone, &ctx, [this](QVariant a, QVariant s, QVariant r) {
      ++zeroDone;
      zeroAve = a.toList(), zeroSd = s.toList(), zeroRms = r.toList();
      log << "ZeroDone";
    });
    QObject::connect(p, &KMX_BalancePlate::BufferOverRun, &ctx,
                     [this](qint32 n) { log << QString("BufferOverRun(%1)").arg(n); });
    QObject::connect(p, &KMX_BalancePlate::DataClipped, &ctx,
                     [this](qint32 n) { log << QString("DataClipped(%1)").arg(n); });
    QObject::connect(p, &KMX_BalancePlate::ReadTimeout, &ctx, [this] { log << "ReadTimeout"; });
    QObject::connect(p, &KMX_BalancePlate::WriteTimeout, &ctx, [this] { log << "WriteTimeout"; });
    QObject::connect(p, &KMX_BalancePlate::Removal, &ctx, [this] { log << "Removal"; });
  }
  bool finished() const { return !testDone.empty() && !testDone.back(); }
};

// Centre of pressure the way the analysis computes it (no rotation or tilt).
struct CoPStats {
  double meanX = 0, meanY = 0, sdX = 0, sdY = 0, meanFz = 0, speed = 0;
};

inline CoPStats copStats(const KMX_PlateTestData& d) {
  CoPStats s;
  const int n = d.Count();
  std::vector<double> x(n), y(n);
  for (int i = 0; i < n; ++i) {
    const double fz = d.Sample(0, i);
    x[i] = -d.Sample(2, i) / fz;
    y[i] = d.Sample(1, i) / fz;
    s.meanX += x[i];
    s.meanY += y[i];
    s.meanFz += fz;
  }
  s.meanX /= n, s.meanY /= n, s.meanFz /= n;
  double path = 0;
  for (int i = 0; i < n; ++i) {
    s.sdX += (x[i] - s.meanX) * (x[i] - s.meanX);
    s.sdY += (y[i] - s.meanY) * (y[i] - s.meanY);
    if (i) path += std::hypot(x[i] - x[i - 1], y[i] - y[i - 1]);
  }
  s.sdX = std::sqrt(s.sdX / (n - 1));
  s.sdY = std::sqrt(s.sdY / (n - 1));
  s.speed = path / ((n - 1) / d.Frequency());
  return s;
}

inline double volts(const QVariantList& codes, int c) { return adcCodeToVolts(codes.at(c).toDouble()); }

}  // namespace tarn::platetest
