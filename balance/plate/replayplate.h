#pragma once
// The replay platform: a plate that plays a recorded CSV file instead of measuring.
#include <vector>

#include "balance/plate/acquiringplate.h"
#include "balance/plate/platedriver.h"

namespace tarn {

struct ReplayOptions {
  bool positiveFz = false;     // the file's loaded Fz is positive: Fz and both moments are negated
  double frequencyHz = 100.0;  // rate the file was recorded at
};

// A recording in the plate's channels and sign convention, read by ReadRecordingCsv with the
// columns told by their names (Fz, M1, M2 or Fx, Fy, Fz, Mx, My, Mz in any order, a time column
// skipped).
struct ReplayRecording {
  QString path;
  QString layout;  // "Fz,M1,M2" or "Fx,Fy,Fz,Mx,My,Mz"
  double frequencyHz = 100.0;
  std::vector<float> fz, m1, m2;

  qint32 count() const { return static_cast<qint32>(fz.size()); }
  // False with a message for the operator, and `out` untouched, when the file cannot be used.
  static bool load(const QString& path, const ReplayOptions& options, ReplayRecording& out, QString& error);
};

// Each acquisition plays the recording from its start (the pre-test takes its first seconds),
// resampled to the requested rate by linear interpolation; a test ends early when the recording
// does. A zero reads an empty, quiet plate; the recording is played as it was zeroed.
class ReplayPlate final : public AcquiringPlate {
  Q_OBJECT
 public:
  explicit ReplayPlate(ReplayRecording recording, QObject* parent = nullptr);
  const ReplayRecording& recording() const { return rec_; }

 protected:
  bool nextLoad(Phase phase, double tPhase, double fs, Load& out) override;
  void acquisitionStarting(Phase phase, double fs, double preTestSeconds) override;
  bool testUsesConverter() const override { return false; }

 private:
  ReplayRecording rec_;
  double preTestSeconds_ = 0.0;
};

class ReplayPlateDriver final : public PlateDriverBase {
  Q_OBJECT
 public:
  // A non-empty setupError (a malformed choice of file) leaves the driver without a plate.
  ReplayPlateDriver(QString path, const ReplayOptions& options, QString setupError = QString(),
                    QObject* parent = nullptr);

 protected:
  std::vector<AcquiringPlate*> openPlates() override;

 private:
  QString path_;
  ReplayOptions options_;
  QString setupError_;
};

}  // namespace tarn
