#include "balance/plate/replayplate.h"

#include <QFileInfo>
#include <algorithm>
#include <cmath>

#include "balance/plate/recordingcsv.h"
#include "core/eventlog.h"
#include "support/strings/strings.h"

namespace tarn {

namespace {
constexpr char kModule[] = "ReplayPlate";
}  // namespace

bool ReplayRecording::load(const QString& path, const ReplayOptions& options, ReplayRecording& out,
                           QString& error) {
  if (!(options.frequencyHz > 0.0 && options.frequencyHz <= 10000.0)) {
    error = Str(3715).arg(options.frequencyHz);
    return false;
  }
  RecordingCsv csv;
  if (!ReadRecordingCsv(path, {RecordingLayout::Auto, options.positiveFz}, csv, error)) return false;
  ReplayRecording rec;
  rec.path = path;
  rec.layout = RecordingLayoutColumns(csv.layout);
  rec.frequencyHz = options.frequencyHz;
  rec.fz = std::move(csv.fz);
  rec.m1 = std::move(csv.m1);
  rec.m2 = std::move(csv.m2);
  out = std::move(rec);
  return true;
}

ReplayPlate::ReplayPlate(ReplayRecording recording, QObject* parent)
    : AcquiringPlate(QString("KM Force Platform Replay %1").arg(QFileInfo(recording.path).fileName()),
                     QString("REPLAY-%1").arg(QFileInfo(recording.path).completeBaseName()),
                     QString("replay://%1").arg(QFileInfo(recording.path).absoluteFilePath()), parent),
      rec_(std::move(recording)) {
  reseed(1);  // the zero of a replay reads the same every time
}

void ReplayPlate::acquisitionStarting(Phase, double, double preTestSeconds) {
  preTestSeconds_ = preTestSeconds;
}

bool ReplayPlate::nextLoad(Phase phase, double tPhase, double, Load& out) {
  if (phase == Phase::Zero) {  // nothing on the plate
    out = Load{};
    return true;
  }
  const double t = (phase == Phase::Test ? preTestSeconds_ : 0.0) + tPhase;
  const double r = t * rec_.frequencyHz;
  const auto last = static_cast<double>(rec_.count() - 1);
  if (r > last + 1e-9) return false;
  const auto i = static_cast<size_t>(std::floor(std::min(r, last)));
  const size_t j = std::min(i + 1, rec_.fz.size() - 1);
  const double w = std::clamp(r - static_cast<double>(i), 0.0, 1.0);
  auto lerp = [&](const std::vector<float>& v) { return v[i] + w * (v[j] - v[i]); };
  out = Load{lerp(rec_.fz), lerp(rec_.m1), lerp(rec_.m2)};
  return true;
}

ReplayPlateDriver::ReplayPlateDriver(QString path, const ReplayOptions& options, QString setupError,
                                     QObject* parent)
    : PlateDriverBase(parent),
      path_(std::move(path)),
      options_(options),
      setupError_(std::move(setupError)) {}

std::vector<AcquiringPlate*> ReplayPlateDriver::openPlates() {
  ProcLog log(kModule, "openPlates", path_);
  if (!setupError_.isEmpty()) {
    setLastError(setupError_);
    log.error(setupError_);
    return {};
  }
  ReplayRecording rec;
  QString error;
  if (!ReplayRecording::load(path_, options_, rec, error)) {
    setLastError(error);
    log.error(error);
    return {};
  }
  double mean = 0.0;
  for (float v : rec.fz) mean += v;
  mean /= rec.count();
  log.step(QString("%1 samples at %2 Hz, columns %3, mean Fz %4 N")
               .arg(rec.count())
               .arg(rec.frequencyHz)
               .arg(rec.layout)
               .arg(mean, 0, 'f', 1));
  if (mean > 10.0)
    log.step("Fz is positive under load: give the positive-fz option if the recording uses that sign");
  log.completed();
  return {new ReplayPlate(std::move(rec), this)};
}

}  // namespace tarn
