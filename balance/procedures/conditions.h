#pragma once
// The conditions of one static balance test as the operator and the subject read them: the option
// lists, the subject's instructions composed from them, and the window caption of a test type.
#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace tarn {

// Option lists, by their number in the string table; items are separated by "|" and picked by
// 1-based index.
namespace conditionlists {
inline constexpr int kSurface = 3260;
inline constexpr int kEyes = 3261;
inline constexpr int kStance = 3262;
inline constexpr int kArms = 3263;
inline constexpr int kShoes = 3264;
inline constexpr int kHead = 3265;
inline constexpr int kGaze = 3266;
inline constexpr int kBreathing = 3267;
inline constexpr int kMentalTasking = 3268;
}  // namespace conditionlists

// Item `index` (1-based) of a "|"-separated list; empty outside the list.
QString ListItem(int list, qint32 index);

// Surfaces of the surface list.
enum TestSurface : qint32 { SurfacePlate = 1, SurfaceFoam = 2, SurfaceWobbleBoard = 3, SurfaceOther = 4 };

struct TestConditions {
  qint32 surface = SurfacePlate;  // from the template item
  qint32 eyes = 1;                // from the template item
  qint32 stance = 1;              // stance code passed to the analysis
  qint32 arms = 1;
  qint32 shoes = 1;
  qint32 head = 1;
  qint32 gaze = 1;
  qint32 breathing = 1;
  qint32 mentalTasking = 1;

  bool operator==(const TestConditions&) const = default;
};

struct TestTiming {
  double frequencyHz = 64.0;
  qint32 preTestMs = 5000;
  qint32 durationMs = 20000;
  bool beepBegin = false;
  bool beepEnd = true;

  bool operator==(const TestTiming&) const = default;
};

// Names the instructions quote, as the operator sees them on the buttons.
struct InstructionButtonNames {
  QString acquire = "Acquire";
  QString unableToComplete = "Unable to Complete";
  QString redo = "Redo Test";
  QString back = "<< Back";
  QStringList save = {"Next >>"};  // the visible save buttons (Next and/or OK)
};

// The subject's instructions before a test. displayOn: the subject can watch the CoP display.
QString ComposeStaticInstructions(const TestConditions& c, const TestTiming& t, bool displayOn,
                                  const InstructionButtonNames& names = {});
// The instructions once a test is over. saveable: the save buttons are enabled; otherwise only
// the buttons that are (Redo, and Unable to Complete unless already set) are named.
QString ComposeAfterTestInstructions(const InstructionButtonNames& names = {}, bool saveable = true,
                                     bool fallen = false);
// The instructions once the plate is gone or lost its zero: back to the zeroing step.
QString ComposeNoPlateInstructions(const InstructionButtonNames& names = {});

// A condition text as it reads inside a sentence: line breaks become blanks, capitalised words
// are lower-cased (a single letter, such as the R of "(R Front)", stays).
QString ConditionInSentence(const QString& item);

// "KM TARN™ RQ Balance Testing" with the suffix of the norm test type (1..4).
QString StaticTestCaption(qint32 normTestType);

// Seconds as the instructions write them: whole seconds without decimals, else one decimal.
QString SecondsText(qint32 ms);

}  // namespace tarn
