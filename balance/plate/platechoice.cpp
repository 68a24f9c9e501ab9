#include "balance/plate/platechoice.h"

#include "core/eventlog.h"
#include "support/strings/strings.h"

namespace tarn {

namespace {
bool parseSimulated(const QString& options, PlateDriverChoice& c, QString& error) {
  for (const QString& raw : options.split(',', Qt::SkipEmptyParts)) {
    const QString item = raw.trimmed().toLower();
    const QString key = item.section('=', 0, 0), value = item.section('=', 1);
    bool ok = true;
    if (key == "plates") {
      c.plates = value.toInt(&ok);
      ok = ok && c.plates >= 0 && c.plates <= 8;
    } else if (key == "weight") {
      c.subject.weightKg = value.toDouble(&ok);
      ok = ok && c.subject.weightKg >= 10.0 && c.subject.weightKg <= 300.0;
    } else if (key == "seed") {
      c.plate.seed = value.toULongLong(&ok);
    } else if (item == "variant-b") {
      c.plate.variantB = true;
    } else if (item == "eyes-closed") {
      c.subject.eyesClosed = true;
    } else if (item == "foam") {
      c.subject.onFoam = true;
    } else {
      ok = false;
    }
    if (!ok) {
      error = Str(3711).arg(raw.trimmed());
      return false;
    }
  }
  return true;
}

void parseReplay(const QString& rest, PlateDriverChoice& c) {
  QStringList parts = rest.split(',');
  // Options trail the file name, which may itself hold commas.
  while (parts.size() > 1) {
    const QString opt = parts.last().trimmed().toLower();
    if (opt == "positive-fz") {
      c.replay.positiveFz = true;
    } else if (opt.startsWith("fs=")) {
      bool ok = false;
      const double fs = opt.mid(3).toDouble(&ok);
      if (!ok || !(fs > 0.0 && fs <= 10000.0)) {
        c.error = Str(3712).arg(opt.mid(3));
        return;
      }
      c.replay.frequencyHz = fs;
    } else {
      break;
    }
    parts.removeLast();
  }
  c.file = parts.join(',').trimmed();
  if (c.file.isEmpty()) c.error = Str(3713);
}
}  // namespace

PlateDriverChoice parsePlateDriverChoice(const QString& text) {
  PlateDriverChoice c;
  const QString t = text.trimmed();
  if (t.isEmpty() || t.compare("sim", Qt::CaseInsensitive) == 0) return c;
  if (t.compare("none", Qt::CaseInsensitive) == 0) {
    c.plates = 0;
    return c;
  }
  if (t.startsWith("replay:", Qt::CaseInsensitive)) {
    c.kind = PlateDriverChoice::Kind::Replay;
    parseReplay(t.mid(7), c);
    return c;
  }
  QString error;
  if (t.startsWith("sim:", Qt::CaseInsensitive)) {
    if (parseSimulated(t.mid(4), c, error)) return c;
  } else {
    error = Str(3714).arg(t);
  }
  PlateDriverChoice fallback;
  fallback.error = error;
  return fallback;
}

std::unique_ptr<KMX_HID_Devices> makePlateDriver(const PlateDriverChoice& choice, QObject* parent) {
  if (choice.kind == PlateDriverChoice::Kind::Replay)
    return std::make_unique<ReplayPlateDriver>(choice.file, choice.replay, choice.error, parent);
  return std::make_unique<SimulatedPlateDriver>(choice.plates, choice.plate, choice.subject, parent);
}

std::unique_ptr<KMX_HID_Devices> CreatePlateDriver(QObject* parent) {
  const QString text = qEnvironmentVariable("TARNRQ_PLATE");
  ProcLog log("KMX_HID_Devices", "CreatePlateDriver", text);
  const PlateDriverChoice choice = parsePlateDriverChoice(text);
  if (!choice.error.isEmpty()) log.error(choice.error);
  log.step(choice.kind == PlateDriverChoice::Kind::Replay
               ? QString("Replay platform: %1").arg(choice.file)
               : QString("Simulated platform, %1 plate(s)").arg(choice.plates));
  auto driver = makePlateDriver(choice, parent);
  log.completed();
  return driver;
}

}  // namespace tarn
