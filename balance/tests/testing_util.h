#pragma once
// A simulated platform for the test-window logic: one plate, a fixed seed and a fast clock.
#include <memory>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include "balance/plate/simulatedplate.h"
#include "balance/testing/zerojudge.h"

namespace tarn::testwin {

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

}  // namespace tarn::testwin
