#include "balance/procedures/zerojudge.h"

#include <cmath>

#include "balance/plate/plate.h"
#include "balance/procedures/conditions.h"
#include "core/eventlog.h"
#include "support/strings/strings.h"

namespace tarn {

namespace {
QString truth(bool b) { return b ? "-1" : "0"; }
constexpr double kTiltTolerance = 0.5 * M_PI / 180.0;  // a plate nudged by less is still level
constexpr double kDaysPerHour = 1.0 / 24.0;
std::optional<ZeroRecord> g_lastZero;
}  // namespace

QString ZeroQualityFlags::logText() const {
  return QString(
             "Quality Results: bBadAD=%1, bBadTrim=%2, bBadCable=%3, bObjOnPlate=%4, bSbjOnPlate=%5, "
             "bBadNoise=%6, bBadPower=%7")
      .arg(truth(bBadAD), truth(bBadTrim), truth(bBadCable), truth(bObjOnPlate), truth(bSbjOnPlate),
           truth(bBadNoise), truth(bBadPower));
}

double ZeroVolts(double code) { return code * 10.0 / 16777216.0; }

double ZeroSnrDb(double ave, double rms) {
  if (!(rms > 0.0) || ave == 0.0) return 0.0;
  return 20.0 * std::log10(std::abs(ave) / rms);
}

ZeroQualityFlags JudgeZeroQuality(bool variantB, const std::array<double, 3>& ave,
                                  const std::array<double, 3>& rms, double maxNoiseCodes, double heavyLoad) {
  ZeroQualityFlags f;
  const bool heavy = heavyLoad > kHeavyLoadRatio;
  if (variantB) f.bBadPower = false;
  for (int i = 0; i < 3; ++i) {
    const double v = ZeroVolts(ave[i]);
    const double r = rms[i];
    if (!variantB) {
      if (r < kQuietRmsCodes) {
        if (v <= -4.995) {
          f.bBadTrim = true;
          f.bBadPower = false;
        } else if (v >= 4.995) {
          f.bBadCable = true;
          f.bBadPower = false;
        } else if (v >= -0.1 && v <= 0.1) {
          f.bBadAD = true;
        }
      } else {
        f.bBadPower = false;
        if (r > maxNoiseCodes) {
          if (v > -3.5)
            f.bSbjOnPlate = true;
          else
            f.bBadNoise = true;
        } else if (v > -3.5 && heavy) {
          f.bObjOnPlate = true;
        }
      }
    } else {
      if (r < kQuietRmsCodes) {
        if (v <= -0.01) {
          f.bBadTrim = true;
          f.bBadAD = true;
        } else if (v >= 4.995) {
          f.bBadCable = true;
        }
      } else if (r > maxNoiseCodes) {
        if (v > 0.75)
          f.bSbjOnPlate = true;
        else
          f.bBadNoise = true;
      } else if (v > 0.75 && heavy) {
        f.bObjOnPlate = true;
      }
    }
  }
  return f;
}

ZeroVerdict ZeroVerdictFor(const ZeroQualityFlags& f, bool allowNoisy) {
  ZeroVerdict v;
  auto fault = [&](ZeroIssue issue, const QString& text) {
    v.issue = issue;
    v.message = text;
    v.icon = MsgIcon::Exclamation;
    v.buttons = MsgButtons::OK;
    v.keep = false;  // a zero from a faulty front end would spoil every test after it
    return v;
  };
  auto question = [&](ZeroIssue issue, const QString& text) {
    v.issue = issue;
    v.message = text;
    v.icon = MsgIcon::Question;
    v.buttons = MsgButtons::YesNo;
    v.ask = true;
    v.keep = false;
    return v;
  };
  if (f.bBadPower) {
    fault(ZeroIssue::BadPower, Str(3100));
    v.resetPlate = true;
    return v;
  }
  if (f.bBadTrim) return fault(ZeroIssue::BadTrim, Str(3101));
  if (f.bBadAD) return fault(ZeroIssue::BadAD, Str(3102));
  if (f.bBadCable) return fault(ZeroIssue::BadCable, Str(3103));
  if (f.bObjOnPlate) return question(ZeroIssue::ObjOnPlate, Str(3104));
  if (f.bSbjOnPlate) return question(ZeroIssue::SbjOnPlate, Str(3105));
  if (f.bBadNoise) {
    if (allowNoisy) return question(ZeroIssue::NoisyAllowed, Str(3106));
    return fault(ZeroIssue::NoisyRefused, Str(3107));
  }
  return v;
}

bool AskToKeepZero(const ZeroVerdict& v) {
  if (v.message.isEmpty()) return v.keep;
  const MsgResult r = showMessage(v.message, v.icon, v.buttons, 0, v.ask ? 2 : 1);
  return v.ask ? r == MsgResult::Yes : v.keep;
}

std::optional<ZeroRecord> LastZero() { return g_lastZero; }
void RememberZero(const ZeroRecord& zero) { g_lastZero = zero; }
void ForgetZero() { g_lastZero.reset(); }

QString SurfaceOnPlateText(qint32 surface) {
  switch (surface) {
    case SurfacePlate:
      return Str(3110);
    case SurfaceFoam:
      return Str(3111);
    case SurfaceWobbleBoard:
      return Str(3112);
    default:
      return Str(3113);
  }
}

QString ZeroReasonText(ZeroReason reason) {
  switch (reason) {
    case ZeroReason::NoZero:
      return Str(3120);
    case ZeroReason::SurfaceChanged:
      return Str(3121);
    case ZeroReason::TooOld:
      return Str(3122);
    case ZeroReason::OtherPlate:
      return Str(3123);
    case ZeroReason::PowerCycled:
      return Str(3124);
    case ZeroReason::TiltChanged:
      return Str(3125);
    case ZeroReason::ExcitationChanged:
      return Str(3126);
    case ZeroReason::FrequencyChanged:
      return Str(3127);
    case ZeroReason::Valid:
      return Str(3128);
    case ZeroReason::NoPlateChosen:
      return Str(3129);
  }
  return QString();
}

ZeroStatus JudgeLastZero(const std::optional<ZeroRecord>& last, const ZeroContext& ctx) {
  ZeroStatus s;
  if (!ctx.plateChosen) {
    s.reason = ZeroReason::NoPlateChosen;
    s.text = ZeroReasonText(s.reason);
    return s;
  }
  if (!last) {
    s.reason = ZeroReason::NoZero;
    s.text = ZeroReasonText(s.reason);
    return s;
  }
  const bool samePlate = last->plateSerial == ctx.chosenSerial;
  const double ageHours = (ctx.now - last->time) / kDaysPerHour;
  QStringList lines;
  lines << Str(3130).arg(last->plateName, SurfaceOnPlateText(last->surface));
  lines << Str(3131).arg(QString::number(std::max(0.0, ageHours), 'f', 2));
  if (samePlate && ctx.temperature) {
    const double change = *ctx.temperature - last->temperature;
    lines << Str(3132).arg((change > 0.05 ? "+" : "") +
                           QString::number(std::abs(change) < 0.05 ? 0.0 : change, 'f', 1));
  }

  const bool cycled = samePlate && ((ctx.powerCycled && *ctx.powerCycled) ||
                                    (ctx.powerCycleCount && *ctx.powerCycleCount != last->powerCycleCount) ||
                                    !ctx.zeroHeldByPlate);
  const bool tilted = samePlate && ((ctx.tilt1 && std::abs(*ctx.tilt1 - last->tilt1) > kTiltTolerance) ||
                                    (ctx.tilt2 && std::abs(*ctx.tilt2 - last->tilt2) > kTiltTolerance));
  if (last->surface != ctx.surface)
    s.reason = ZeroReason::SurfaceChanged;
  else if ((ctx.now - last->time) * 86400.0 > ctx.maxAgeS)
    s.reason = ZeroReason::TooOld;
  else if (!samePlate)
    s.reason = ZeroReason::OtherPlate;
  else if (cycled)
    s.reason = ZeroReason::PowerCycled;
  else if (tilted)
    s.reason = ZeroReason::TiltChanged;
  else if (last->excitationMv != ctx.excitationMv)
    s.reason = ZeroReason::ExcitationChanged;
  else if (ctx.frequencyHz > 0 && std::abs(last->frequencyHz - ctx.frequencyHz) > 1e-3f)
    s.reason = ZeroReason::FrequencyChanged;
  else
    s.reason = ZeroReason::Valid;
  s.mustZero = s.reason != ZeroReason::Valid;
  s.text = lines.join('\n') + "\n\n" + ZeroReasonText(s.reason);
  return s;
}

QString ZeroInstructions(ZeroPhase phase, qint32 surface, const QString& newZeroName,
                         const QString& nextName) {
  switch (phase) {
    case ZeroPhase::NoPlateConnected:
      return Str(3140);
    case ZeroPhase::NoPlateChosen:
      return Str(3141);
    case ZeroPhase::ZeroNeeded: {
      QString what;
      if (surface == SurfaceFoam)
        what = Str(3143);
      else if (surface == SurfaceWobbleBoard)
        what = Str(3144);
      else if (surface != SurfacePlate) {
        // Another surface is named as the list has it; "Other" or an empty item says what it is.
        const QString item = ListItem(conditionlists::kSurface, surface).trimmed();
        what = Str(3145).arg(item.isEmpty() || item == "Other" ? Str(3218) : ConditionInSentence(item));
      }
      return Str(3142).arg(what);
    }
    case ZeroPhase::ZeroValid:
      return Str(3146).arg(newZeroName, nextName);
    case ZeroPhase::Acquiring:
      return Str(3147);
    case ZeroPhase::Completed:
      return Str(3148);
  }
  return QString();
}

std::optional<qint32> ParseZeroDuration(const QString& text, QString& error) {
  bool ok = false;
  const double s = QString(text).replace(',', '.').trimmed().toDouble(&ok);
  if (!ok || !(s >= kZeroMinSeconds && s <= kZeroMaxSeconds)) {
    error = Str(3150).arg(kZeroMinSeconds).arg(kZeroMaxSeconds);
    return std::nullopt;
  }
  return static_cast<qint32>(std::lround(s * 1000.0));
}

bool TestDataUsesOtherZero(bool testHasData, double testZeroTime, double currentZeroTime) {
  return testHasData && std::abs(testZeroTime - currentZeroTime) > 1e-9;
}

QString EraseTestDataQuestion() { return Str(3151); }

QString PlateErrorMessage(PlateError error, PlateErrorWindow window) {
  switch (error) {
    case PlateError::NotResponding:
      return Str(3160);
    case PlateError::BufferOverRun:
      return Str(3161);
    case PlateError::DataClipped:
      if (window == PlateErrorWindow::Zero) return Str(3162);
      return Str(3163);
    case PlateError::ReadTimeout:
      return Str(3164);
    case PlateError::WriteTimeout:
      return Str(3165);
    case PlateError::Removal:
      return window == PlateErrorWindow::Zero ? Str(3166) : Str(3167);
  }
  return QString();
}

QString PlateErrorName(PlateError error) {
  static const char* const names[] = {"PlateNotResponding", "BufferOverRun", "DataClipped",
                                      "ReadTimeout",        "WriteTimeout",  "Removal"};
  return names[static_cast<int>(error)];
}

}  // namespace tarn
