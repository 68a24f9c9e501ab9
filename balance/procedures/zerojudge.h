#pragma once
// The decisions of the zeroing window: the quality of a fresh zero, what the operator is told
// about it, whether the zero held from before is still good for the coming test, and the texts
// of the window. No widgets here: the window shows what these routines decide.
#include <QString>
#include <QStringList>
#include <array>
#include <optional>

#include "core/messages.h"

namespace tarn {

class KMX_BalancePlate;

// ---- Quality of a fresh zero ----

inline constexpr double kQuietRmsCodes = 16.0;  // a channel below this RMS noise is "quiet"
inline constexpr double kHeavyLoadRatio = 2.6;  // load seen by the zero over the plate's own top

struct ZeroQualityFlags {
  bool bBadAD = false;
  bool bBadTrim = false;
  bool bBadCable = false;
  bool bObjOnPlate = false;
  bool bSbjOnPlate = false;
  bool bBadNoise = false;
  bool bBadPower = true;

  bool operator==(const ZeroQualityFlags&) const = default;
  // "Quality Results: bBadAD=..., bBadTrim=..." as the log records it (truth values -1 / 0).
  QString logText() const;
};

// ave, rms: per channel (Fz, M1, M2) in A/D codes. variantB: second plate generation.
// heavyLoad: the plate's load ratio (KMX_BalancePlate::HeavyLoad); above 2.6 confirms a heavy load.
ZeroQualityFlags JudgeZeroQuality(bool variantB, const std::array<double, 3>& ave,
                                  const std::array<double, 3>& rms, double maxNoiseCodes, double heavyLoad);

// What follows a judged zero.
enum class ZeroIssue {
  None,
  BadPower,
  BadTrim,
  BadAD,
  BadCable,
  ObjOnPlate,
  SbjOnPlate,
  NoisyAllowed,
  NoisyRefused
};

struct ZeroVerdict {
  ZeroIssue issue = ZeroIssue::None;
  QString message;  // empty for a good zero
  MsgIcon icon = MsgIcon::Information;
  MsgButtons buttons = MsgButtons::OK;
  bool ask = false;         // Yes keeps the zero
  bool keep = true;         // kept without asking (a good zero)
  bool resetPlate = false;  // the plate's electronics are re-initialised before the next try
};

// The first flag set, in the order power, trim, A/D, cable, heavy object, subject, noise.
ZeroVerdict ZeroVerdictFor(const ZeroQualityFlags& flags, bool allowNoisy);

// Shows the verdict's message (if any) and returns whether the zero is kept.
bool AskToKeepZero(const ZeroVerdict& verdict);

// ---- The zero held from before ----

// What the station remembers of the last accepted zero: the plate facts and the surface that lay
// on the plate, which only the zeroing window knows.
struct ZeroRecord {
  QString plateName;
  QString plateSerial;
  qint32 surface = 1;      // test surface list item
  double time = 0;         // day count
  double temperature = 0;  // °C at the zero
  qint32 powerCycleCount = 0;
  float tilt1 = 0, tilt2 = 0;
  qint32 excitationMv = 0;
  float frequencyHz = 0;
};

// The last accepted zero of this program run (one platform driver per run).
std::optional<ZeroRecord> LastZero();
void RememberZero(const ZeroRecord& zero);
void ForgetZero();

// The state of things now, as the window sees it.
struct ZeroContext {
  bool plateChosen = true;
  QString chosenSerial;
  qint32 surface = 1;  // of the coming test
  double now = 0;      // day count
  qint32 maxAgeS = 600;
  qint32 excitationMv = 2500;  // the zero excitation now in the settings
  float frequencyHz = 0;       // the zero sampling rate of the chosen plate
  // Facts of the zeroed plate now (when it is the chosen one): absent values are not compared.
  std::optional<double> temperature;
  std::optional<qint32> powerCycleCount;
  std::optional<bool> powerCycled;
  std::optional<float> tilt1, tilt2;
  bool zeroHeldByPlate = true;  // the plate still applies the zero
};

enum class ZeroReason {
  NoZero,
  SurfaceChanged,
  TooOld,
  OtherPlate,
  PowerCycled,
  TiltChanged,
  ExcitationChanged,
  FrequencyChanged,
  Valid,
  NoPlateChosen,
};

struct ZeroStatus {
  ZeroReason reason = ZeroReason::NoZero;
  bool mustZero = true;  // a new zero is needed before the test
  QString text;          // the status lines
};

ZeroStatus JudgeLastZero(const std::optional<ZeroRecord>& last, const ZeroContext& ctx);

// Texts of the parts of the status.
QString SurfaceOnPlateText(qint32 surface);  // "nothing", "the foam", "a wobble board"...
QString ZeroReasonText(ZeroReason reason);

// ---- Instructions of the zeroing window ----
enum class ZeroPhase { NoPlateConnected, NoPlateChosen, ZeroNeeded, ZeroValid, Acquiring, Completed };
QString ZeroInstructions(ZeroPhase phase, qint32 surface, const QString& newZeroName = "New Zero",
                         const QString& nextName = "Next >>");

// The zero duration box: seconds, within these limits.
inline constexpr double kZeroMinSeconds = 1.0;
inline constexpr double kZeroMaxSeconds = 60.0;
// Reads the box; nullopt (and the message text in `error`) when it is not a duration in range.
std::optional<qint32> ParseZeroDuration(const QString& text, QString& error);

// A channel's voltage from its code.
double ZeroVolts(double code);
// Signal-to-noise ratio of a channel: the average over the RMS noise, in dB (0 without noise).
double ZeroSnrDb(double ave, double rms);

// Whether the test of this step holds data taken with another zero than the one in force, and the
// question the operator answers before that data is erased.
bool TestDataUsesOtherZero(bool testHasData, double testZeroTime, double currentZeroTime);
QString EraseTestDataQuestion();

// ---- Plate errors ----
enum class PlateError { NotResponding, BufferOverRun, DataClipped, ReadTimeout, WriteTimeout, Removal };
enum class PlateErrorWindow { Zero, Static };
QString PlateErrorMessage(PlateError error, PlateErrorWindow window);
QString PlateErrorName(PlateError error);  // the event name, for the log

}  // namespace tarn
