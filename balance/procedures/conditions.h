#pragma once
// The conditions of one static balance test as the operator and the subject read them: the option
// lists, the subject's instructions composed from them, and the window caption of a test type.
#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace tarn {

// Option lists; items are separated by "|" and picked by 1-based index.
namespace conditionlists {
inline constexpr char kSurface[] = "Plate|Foam|Wobble Board|Other|||";
inline constexpr char kEyes[] = "Both Open|Both Closed|Right Open\nLeft Closed|Left Open\nRight Closed|";
inline constexpr char kStance[] =
    "Normal|Feet Shoulder Width|Feet Together|Heels Together\nToes Apart (V)|Heel to Toe\n(R Front)|Heel to "
    "Toe\n(L Front)|Heel to Toe\n(Dominant Front)|Heel to Toe\n(Dominant Back)|Single Leg\n(R)|Single "
    "Leg\n(L)|Single Leg\n(Dominant)|Single Leg\n(Non Dominant)|Other";
inline constexpr char kArms[] =
    "Free to move|to the Side|Stretched Laterally|Stretched Forward|Stretched Forward\nIndex against "
    "Index|Crossed Over Chest\n(hands touching opposite shoulders)|Other| |";
inline constexpr char kShoes[] = "No Shoes|Shoes (specify)|";
inline constexpr char kHead[] =
    "Straight|Turned Right|Turned Left|Flexed|Extended|Tilted Right|Tilted Left|Other|";
inline constexpr char kGaze[] = "Forward|Right|Left|Up|Up-Right|Up-Left|Down|Down-Right|Down-Left|Other|||";
inline constexpr char kBreathing[] = "Normally|Hyperventilating|Holding Breath|Other|";
inline constexpr char kMentalTasking[] = "None|Count backwards from a 3 digit number in steps of 7|Other|";
}  // namespace conditionlists

// Item `index` (1-based) of a "|"-separated list; empty outside the list.
QString ListItem(const char* list, qint32 index);

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
  QStringList save = {"Next >>"};  // the visible save buttons (Next and/or OK)
};

// The subject's instructions before a test. displayOn: the subject can watch the CoP display.
QString ComposeStaticInstructions(const TestConditions& c, const TestTiming& t, bool displayOn,
                                  const InstructionButtonNames& names = {});
// The instructions once a test is over.
QString ComposeAfterTestInstructions(const InstructionButtonNames& names = {});

// A condition text as it reads inside a sentence: line breaks become blanks, capitalised words
// are lower-cased (a single letter, such as the R of "(R Front)", stays).
QString ConditionInSentence(const QString& item);

// "KM TARN™ RQ Balance Testing" with the suffix of the norm test type (1..4).
QString StaticTestCaption(qint32 normTestType);

// Seconds as the instructions write them: whole seconds without decimals, else one decimal.
QString SecondsText(qint32 ms);

}  // namespace tarn
