#include "balance/plate/replayplate.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <cmath>

#include "core/eventlog.h"

namespace tarn {

namespace {
constexpr char kModule[] = "ReplayPlate";

QString columnName(QString field) {
  field = field.trimmed();
  if (field.size() >= 2 && field.startsWith('"') && field.endsWith('"'))
    field = field.mid(1, field.size() - 2).trimmed();
  field = field.toLower();
  const int cut = field.indexOf(QRegularExpression("[_ (\\[]"));
  return cut < 0 ? field : field.left(cut);
}

QChar separatorOf(const QString& header) {
  for (QChar c : {QChar(','), QChar(';'), QChar('\t')})
    if (header.contains(c)) return c;
  return QChar();
}
}  // namespace

bool ReplayRecording::load(const QString& path, const ReplayOptions& options, ReplayRecording& out,
                           QString& error) {
  const QString shown = QFileInfo(path).fileName();
  if (!(options.frequencyHz > 0.0 && options.frequencyHz <= 10000.0)) {
    error = QString("The replay frequency %1 Hz is not between 0 and 10000 Hz.").arg(options.frequencyHz);
    return false;
  }
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
    error = QString("Cannot open the recording \"%1\": %2").arg(path, file.errorString());
    return false;
  }
  const QStringList lines = QString::fromUtf8(file.readAll()).split('\n');

  int at = 0;
  while (at < lines.size() && lines[at].trimmed().isEmpty()) ++at;
  if (at == lines.size()) {
    error = QString("The recording \"%1\" is empty.").arg(shown);
    return false;
  }
  const QString header = lines[at].trimmed();
  const QChar sep = separatorOf(header);
  const QStringList fields = sep.isNull() ? QStringList{header} : header.split(sep);
  const int columns = static_cast<int>(fields.size());

  bool numeric = true;
  QStringList names;
  for (const auto& f : fields) {
    bool ok = false;
    QLocale::c().toDouble(f.trimmed(), &ok);
    numeric = numeric && ok;
    names << columnName(f);
  }
  if (numeric) {
    error = QString("The recording \"%1\" has no header row (for example Fz,M1,M2).").arg(shown);
    return false;
  }

  int iFz = -1, iM1 = -1, iM2 = -1;
  QString layout;
  auto find = [&](const char* n) { return static_cast<int>(names.indexOf(QString(n))); };
  if (find("fz") >= 0 && find("m1") >= 0 && find("m2") >= 0) {
    iFz = find("fz"), iM1 = find("m1"), iM2 = find("m2");
    layout = "Fz,M1,M2";
  } else if (find("fz") >= 0 && find("mx") >= 0 && find("my") >= 0) {
    iFz = find("fz"), iM1 = find("mx"), iM2 = find("my");
    layout = "Fx,Fy,Fz,Mx,My,Mz";
  } else if (columns == 3) {
    iFz = 0, iM1 = 1, iM2 = 2;
    layout = "Fz,M1,M2";
  } else if (columns == 6) {
    iFz = 2, iM1 = 3, iM2 = 4;
    layout = "Fx,Fy,Fz,Mx,My,Mz";
  } else {
    error = QString(
                "The recording \"%1\" has the columns \"%2\"; expected Fz,M1,M2 or "
                "Fx,Fy,Fz,Mx,My,Mz.")
                .arg(shown, header);
    return false;
  }

  ReplayRecording rec;
  rec.path = path;
  rec.layout = layout;
  rec.frequencyHz = options.frequencyHz;
  const double sign = options.positiveFz ? -1.0 : 1.0;
  for (int i = at + 1; i < lines.size(); ++i) {
    const QString line = lines[i].trimmed();
    if (line.isEmpty()) continue;
    const QStringList values = sep.isNull() ? QStringList{line} : line.split(sep);
    if (values.size() != columns) {
      error = QString("The recording \"%1\", line %2, has %3 values instead of %4.")
                  .arg(shown)
                  .arg(i + 1)
                  .arg(values.size())
                  .arg(columns);
      return false;
    }
    double v[3];
    const int idx[3] = {iFz, iM1, iM2};
    for (int c = 0; c < 3; ++c) {
      bool ok = false;
      v[c] = QLocale::c().toDouble(values[idx[c]].trimmed(), &ok);
      if (!ok || !std::isfinite(v[c])) {
        error = QString("The recording \"%1\", line %2, column %3: \"%4\" is not a number.")
                    .arg(shown)
                    .arg(i + 1)
                    .arg(idx[c] + 1)
                    .arg(values[idx[c]].trimmed());
        return false;
      }
    }
    rec.fz.push_back(static_cast<float>(sign * v[0]));
    rec.m1.push_back(static_cast<float>(sign * v[1]));
    rec.m2.push_back(static_cast<float>(sign * v[2]));
  }
  if (rec.fz.empty()) {
    error = QString("The recording \"%1\" holds no samples.").arg(shown);
    return false;
  }
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
