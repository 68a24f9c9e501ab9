#include "balance/procedures/zerojudge.h"

#include <cmath>

#include "balance/plate/plate.h"
#include "balance/procedures/conditions.h"
#include "core/eventlog.h"

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
  auto fault = [&](ZeroIssue issue, const char* text) {
    v.issue = issue;
    v.message = QString::fromUtf8(text);
    v.icon = MsgIcon::Exclamation;
    v.buttons = MsgButtons::OK;
    v.keep = false;  // a zero from a faulty front end would spoil every test after it
    return v;
  };
  auto question = [&](ZeroIssue issue, const char* text) {
    v.issue = issue;
    v.message = QString::fromUtf8(text);
    v.icon = MsgIcon::Question;
    v.buttons = MsgButtons::YesNo;
    v.ask = true;
    v.keep = false;
    return v;
  };
  if (f.bBadPower) {
    fault(ZeroIssue::BadPower,
          "The Signals from the Force Platform indicate\nthat there is a USB power supply problem!\n\nPlease "
          "repeat the Zero.\n\nIf the problem persists, try connecting the Force Platform\nto another USB "
          "port or "
          "try using a powered external USB Hub.");
    v.resetPlate = true;
    return v;
  }
  if (f.bBadTrim)
    return fault(ZeroIssue::BadTrim,
                 "The Signals from the Force Platform indicate\nthat one or more channels might be out of "
                 "trim!\n\nRefer to the User Manual or the online Help for more information.");
  if (f.bBadAD)
    return fault(
        ZeroIssue::BadAD,
        "The Signals from the Force Platform indicate\nthat the A/D converter of one or more channels is "
        "malfunctioning!\n\nPlease contact Kamrith Labs Customer Support.");
  if (f.bBadCable)
    return fault(ZeroIssue::BadCable,
                 "The Signals from the Force Platform indicate\nthat one or more sensors are "
                 "malfunctioning!\n\nPlease contact Kamrith Labs Customer Support.");
  if (f.bObjOnPlate)
    return question(
        ZeroIssue::ObjOnPlate,
        "The Signals from the Force Platform indicate\nthat you might be trying to Zero a heavy "
        "load.\nIf this is the case, click Yes, otherwise click No to repeat the Zero.\n\nDo you want "
        "to keep this Zero?");
  if (f.bSbjOnPlate)
    return question(
        ZeroIssue::SbjOnPlate,
        "The Signals from the Force Platform indicate\nthat you might be trying to Zero the entire "
        "subject's weight.\nIf this is the case, click Yes, otherwise click No to repeat the "
        "Zero.\n\nDo you want to keep this Zero?");
  if (f.bBadNoise) {
    if (allowNoisy)
      return question(
          ZeroIssue::NoisyAllowed,
          "The Zero was too noisy.\nThe Zero should be repeated making sure nothing is touching the "
          "Force Platform.\n\nDo you want to keep this zero anyway?");
    return fault(
        ZeroIssue::NoisyRefused,
        "The Zero was too noisy.\nThe Zero must be repeated making sure nothing is touching the Force "
        "Platform.");
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
      return "nothing";
    case SurfaceFoam:
      return "the foam";
    case SurfaceWobbleBoard:
      return "a wobble board";
    default:
      return "another surface";
  }
}

QString ZeroReasonText(ZeroReason reason) {
  switch (reason) {
    case ZeroReason::NoZero:
      return "\n\nThere is no Zero in memory\n\nThe Zero must be acquired";
    case ZeroReason::SurfaceChanged:
      return "The test surface is different from the one used for the last Zero!\nA new Zero must be "
             "acquired.";
    case ZeroReason::TooOld:
      return "Too much time has passed since the last Zero!\nA new Zero must be acquired.";
    case ZeroReason::OtherPlate:
      return "The selected force Force Platform is different from the one used for the last Zero!\nSelect "
             "that "
             "Force Platform or acquire a new Zero";
    case ZeroReason::PowerCycled:
      return "The Force Platform power has been cycled on/off since last time!\nA new Zero must be acquired.";
    case ZeroReason::TiltChanged:
      return "The Force Platform pitch and/or roll has changed from the last Zero!\nA new Zero must be "
             "acquired.";
    case ZeroReason::ExcitationChanged:
      return "The Force Platform Excitation has changed from the last Zero!\nA new Zero must be acquired.";
    case ZeroReason::FrequencyChanged:
      return "The Force Platform Sampling Frequency has changed from the last Zero!\nA new Zero must be "
             "acquired.";
    case ZeroReason::Valid:
      return "The last Zero is still valid.\nAcquire a new Zero or proceed to the test.";
    case ZeroReason::NoPlateChosen:
      return "Please select the Force Platform to be used for the next test";
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
  lines << "Last Zero was for Force Platform " + last->plateName + ", with " +
               SurfaceOnPlateText(last->surface) + " on the Force Platform.";
  lines << "It was acquired " + QString::number(std::max(0.0, ageHours), 'f', 2) + " hours ago.";
  if (samePlate && ctx.temperature) {
    const double change = *ctx.temperature - last->temperature;
    lines << QString::fromUtf8(
                 "Since then the temperature of the Force Platform electronics has changed by ") +
                 (change > 0.05 ? "+" : "") +
                 QString::number(std::abs(change) < 0.05 ? 0.0 : change, 'f', 1) + QString::fromUtf8(" °C");
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
      return "\n\n\nNO Force Platform CONNECTED\n\nPlease connect a Force Platform!";
    case ZeroPhase::NoPlateChosen:
      return "\n\n\nPlease select the Force Platform to be used for the next test.";
    case ZeroPhase::ZeroNeeded: {
      QString what;
      if (surface == SurfaceFoam)
        what = " but the foam cushion";
      else if (surface == SurfaceWobbleBoard)
        what = " but the wobble board";
      else if (surface != SurfacePlate) {
        // Another surface is named as the list has it; "Other" or an empty item says what it is.
        const QString item = ListItem(conditionlists::kSurface, surface).trimmed();
        what = " but the " +
               (item.isEmpty() || item == "Other" ? QString("test surface") : ConditionInSentence(item));
      }
      return "\n\nThe Force Platform must now be zeroed.\n\nPlease make sure nothing" + what +
             " is in contact with the surface of the Force Platform during the zeroing";
    }
    case ZeroPhase::ZeroValid:
      return "\n\nClick '" + newZeroName + "' to redo the Zero, or '" + nextName +
             "' to proceed with the testing.";
    case ZeroPhase::Acquiring:
      return "\n\n\nForce Platform Zero in Progress...\n\nPlease Wait";
    case ZeroPhase::Completed:
      return "\n\n\n\n\nForce Platform Zero Completed";
  }
  return QString();
}

std::optional<qint32> ParseZeroDuration(const QString& text, QString& error) {
  bool ok = false;
  const double s = QString(text).replace(',', '.').trimmed().toDouble(&ok);
  if (!ok || !(s >= kZeroMinSeconds && s <= kZeroMaxSeconds)) {
    error = QString("The zero duration must be a number of seconds from %1 to %2.")
                .arg(kZeroMinSeconds)
                .arg(kZeroMaxSeconds);
    return std::nullopt;
  }
  return static_cast<qint32>(std::lround(s * 1000.0));
}

bool TestDataUsesOtherZero(bool testHasData, double testZeroTime, double currentZeroTime) {
  return testHasData && std::abs(testZeroTime - currentZeroTime) > 1e-9;
}

QString EraseTestDataQuestion() {
  return "The test has already been performed\nwith a Zero different from the one you have just "
         "acquired.\n\nIf "
         "you proceed, the test data will be erased!\n\nDo you want to proceed and erase the test data?";
}

QString PlateErrorMessage(PlateError error, PlateErrorWindow window) {
  switch (error) {
    case PlateError::NotResponding:
      return "A connected KM Force Platform is not responding to communication attempts from the "
             "computer!\n\nPlease disconnect and then reconnect all KM Force Platforms.";
    case PlateError::BufferOverRun:
      return "Error: A/D Buffer Overrun!\n\nTry the acquisition again.\nIf the problem persists, the "
             "selected "
             "sampling frequency might be too high.\nTry selecting a lower sampling frequency in the test "
             "settings.";
    case PlateError::DataClipped:
      if (window == PlateErrorWindow::Zero)
        return "Error: A/D Signals Clipped!\n\nMake sure nothing is in contact with the Force Platform.\nIf "
               "the "
               "problem persists, contact technical support.";
      return "Error: A/D Signals Clipped!\n\nTry the acquisition again.\nIf the problem persists,\nthe "
             "selected "
             "sensor bridges excitation voltage might be too high.\nTry selecting a lower excitation voltage "
             "in the "
             "force platform settings.";
    case PlateError::ReadTimeout:
      return "Error: Time-out while reading from the Force Platform!";
    case PlateError::WriteTimeout:
      return "Error: Time-out while writing to the Force Platform!";
    case PlateError::Removal:
      return window == PlateErrorWindow::Zero ? "The Force Platform has been disconnected!!!"
                                              : "The Force Platform Has Been Disconnected!!!";
  }
  return QString();
}

QString PlateErrorName(PlateError error) {
  static const char* const names[] = {"PlateNotResponding", "BufferOverRun", "DataClipped",
                                      "ReadTimeout",        "WriteTimeout",  "Removal"};
  return names[static_cast<int>(error)];
}

}  // namespace tarn
