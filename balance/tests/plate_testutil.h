#pragma once
// Helpers for the plate and test-window tests: the plates' clock moved on by hand, recording a
// plate's events and a simulated platform with a fixed seed.
#include <QCoreApplication>
#include <QVariantList>
#include <cmath>
#include <memory>
#include <vector>

#include "balance/plate/acquiringplate.h"
#include "balance/plate/plateclock.h"
#include "balance/plate/simulatedplate.h"
#include "balance/procedures/zerojudge.h"

namespace tarn::platetest {

// Every plate of these tests runs on the manual clock, from before the first plate is made.
inline const bool kManualPlateClock = (plateclock::setManual(true), true);

// Moves plate time on in steps of stepMs, delivering queued events at each step, until pred holds;
// false when it still does not after limitMs of plate time.
template <class Pred>
bool runUntil(Pred pred, double limitMs = 120000.0, double stepMs = 10.0) {
  for (double t = 0.0;; t += stepMs) {
    QCoreApplication::processEvents();
    if (pred()) return true;
    if (t >= limitMs) return false;
    plateclock::advance(stepMs);
  }
}

// The same, under the name the older tests of other modules use.
template <class Pred>
bool waitUntil(Pred pred, double limitMs = 120000.0) {
  return runUntil(pred, limitMs);
}

// Lets ms of plate time pass.
inline void runFor(double ms) {
  runUntil([] { return false; }, ms);
}

// One simulated plate, opened through its driver, with no zero held before or after.
struct SimRig {
  std::unique_ptr<SimulatedPlateDriver> driver;
  SimulatedPlate* plate = nullptr;

  explicit SimRig(SimulatedPlateConfig config = {}, SimulatedSubject subject = {}) {
    if (config.seed == 0) config.seed = 42;
    if (std::isnan(config.temperatureC)) config.temperatureC = 27.0;
    driver = std::make_unique<SimulatedPlateDriver>(1, config, subject);
    driver->PlateDevicesOpen();
    plate = driver->simulatedPlate(1);
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
  PlateChannelVolts bridgeVolts, converterVolts;  // of the newest SampleIn
  PlateChannelCodes converterCodes;
  std::vector<bool> testDone;
  QStringList log;  // compact trace of the other events
  QVariantList zeroAve, zeroSd, zeroRms;
  int zeroDone = 0;
  bool inTest = false;

  explicit PlateEvents(KMX_BalancePlate* p) {
    QObject::connect(p, &KMX_BalancePlate::ForcesIn, &ctx, [this](qint32 s, PlateForces f) {
      (inTest ? test : pre).push_back({s, f.Fz, f.M1, f.M2});
    });
    QObject::connect(
        p, &KMX_BalancePlate::SampleIn, &ctx,
        [this](qint32 s, qint32 n, PlateChannelVolts v, PlateChannelVolts cv, PlateChannelCodes codes) {
          sampleIn.emplace_back(s, n);
          bridgeVolts = v, converterVolts = cv, converterCodes = codes;
        });
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
