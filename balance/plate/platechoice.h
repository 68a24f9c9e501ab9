#pragma once
// Which platform driver the station runs, as chosen by the TARNRQ_PLATE text (see plate.h).
#include "balance/plate/replayplate.h"
#include "balance/plate/simulatedplate.h"

namespace tarn {

struct PlateDriverChoice {
  enum class Kind { Simulated, Replay };
  Kind kind = Kind::Simulated;
  int plates = 1;
  SimulatedPlateConfig plate;
  SimulatedSubject subject;
  QString file;
  ReplayOptions replay;
  // Why the text was not understood. A simulated choice then falls back to the defaults whole;
  // a replay choice keeps its kind and the driver offers no plate.
  QString error;
};

PlateDriverChoice parsePlateDriverChoice(const QString& text);
std::unique_ptr<KMX_HID_Devices> makePlateDriver(const PlateDriverChoice& choice, QObject* parent = nullptr);

}  // namespace tarn
