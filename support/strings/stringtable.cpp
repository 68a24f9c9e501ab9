#include "support/strings/strings.h"

#include <algorithm>
#include <iterator>

namespace tarn {
namespace {

struct Entry {
  int id;
  const char* text;  // UTF-8
};

// Ascending by number; one section per range of strings.h.
constexpr Entry kTable[] = {
    // ---- shared captions ----
    {100, "Kamrith Labs TARN™ RQ"},
    // ---- balance: platform, zeroing, static test, CoP display ----
    {3200, "Instructions:"},
    {3201, "Please stand on the %1"},
    {3202, ", wearing %1"},
    {3203, ", in a %1 stance"},
    {3204, ", arms %1"},
    {3205, ", with the head %1"},
    {3206, ", looking %1"},
    {3207, "The actual test will begin %1 seconds after the %2 button is pressed, and will last %3 seconds."},
    {3208, "A sound will be generated to signal %1 of the test."},
    {3209, "the beginning"},
    {3210, "the end"},
    {3211, " and "},
    {3212, "During the test, avoid any unnecessary movements, do not talk, keep your eyes %1"},
    {3213, ", if you'd like, you may watch your weight shifting movements on the display"},
    {3214, ", try breathing %1"},
    {3215, ", and relax."},
    {3216, "While standing, %1."},
    {3217,
     "If unable to complete the test as instructed without losing balance or requiring external support "
     "press or check %1."},
    {3218, "test surface"},
    {3219, "as instructed"},
    {3220, "Click %1 to perform the test again, or %2 to save the current test."},
    {3221, " or "},
    {3222,
     "Click %1 to perform the test again.\n\nIf the subject could not complete the test unaided, check %2: "
     "the test can then be saved as not completed."},
    {3223,
     "The Force Platform is no longer ready for this test.\n\nClick %1 to go back to the Force Platform Zero "
     "and zero it again."},
    {3224, "Click %1 to perform the test again, or save it as not completed."},
    {3225, "KM TARN™ RQ Balance Testing"},
    {3226, " (NSEO) Test"},
    {3227, " (NSEC) Test"},
    {3228, " (PSEO) Test"},
    {3229, " (PSEC) Test"},
    {3230, "Ready"},
    {3231, "Acquiring..."},
    {3232, "Storing Data"},
    {3233, "Test Done"},
    {3234, "Test not Done!"},
    {3235, "Zero Needed"},
    {3240, "Pre-Test"},
    {3241, "Testing"},
    {3242, "Practicing"},
    {3250,
     "The Force Platform selected for this test\nduring the last zero has been disconnected!\n\nPlease "
     "select a new Force Platform during the Zero."},
    {3251,
     "The Force Platform selected for this test\nhas been powered off and on since the last zero.\n\nThe "
     "Force Platform Zero is therefore invalid and must be repeated!\n\nPlease Zero the Force Platform "
     "again."},
    {3252, "The Force Platform could not start the test.\n\nPlease check the Force Platform and try again."},
    {3253, "If you exit, any data you acquired or changed will be lost! Do you want to exit?"},
    {3260, "Plate|Foam|Wobble Board|Other|||"},
    {3261, "Both Open|Both Closed|Right Open\nLeft Closed|Left Open\nRight Closed|"},
    {3262,
     "Normal|Feet Shoulder Width|Feet Together|Heels Together\nToes Apart (V)|Heel to Toe\n(R Front)|Heel to "
     "Toe\n(L Front)|Heel to Toe\n(Dominant Front)|Heel to Toe\n(Dominant Back)|Single Leg\n(R)|Single "
     "Leg\n(L)|Single Leg\n(Dominant)|Single Leg\n(Non Dominant)|Other"},
    {3263,
     "Free to move|to the Side|Stretched Laterally|Stretched Forward|Stretched Forward\nIndex against "
     "Index|Crossed Over Chest\n(hands touching opposite shoulders)|Other| |"},
    {3264, "No Shoes|Shoes (specify)|"},
    {3265, "Straight|Turned Right|Turned Left|Flexed|Extended|Tilted Right|Tilted Left|Other|"},
    {3266, "Forward|Right|Left|Up|Up-Right|Up-Left|Down|Down-Right|Down-Left|Other|||"},
    {3267, "Normally|Hyperventilating|Holding Breath|Other|"},
    {3268, "None|Count backwards from a 3 digit number in steps of 7|Other|"},
    {3300,
     "To switch to the Subject Screen press 'Subj Screen'.\n\nTo practice while viewing the sway press "
     "'Practice'.\nTo center the sway display press 'Recenter'.\n\nTo perform the test press "
     "'Acquire'.\n\nDuring the test, if something that makes the test invalid occurs, press 'Stop Test' to "
     "immediately stop the test.\nThe test can be repeated by pressing 'Redo Test'.\n\nIf the test cannot be "
     "completed unaided in the specified conditions, check 'Unable to Complete'"},
    {3301, "&OK"},
    {3302, "&Cancel"},
    {3303, "<< &Back"},
    {3304, "&Next >>"},
    {3305, "&Practice"},
    {3306, "End &Practice"},
    {3307, "&Recenter"},
    {3308, "&Acquire"},
    {3309, "&Stop Test"},
    {3310, "&Redo Test"},
    {3311, "&Subj Screen"},
    {3312, "Display &ON"},
    {3313, "Display O&FF"},
    {3314, "&Unable to Complete"},
    {3315, "(X) "},
    {3316, "No&tes ..."},
    {3317, "Subject's Screen:"},
    {3318, "Replay:"},
    {3319, "Test Notes:"},
    {3320, "Re&play"},
    {3321, "Pause"},
    {3322, "Resume"},
    {3323, "Stop"},
    {3324, "Speed:"},
    {3325, "Paused"},
    {3328, "Stability Score"},
    {3329, "(partial test: not classed)"},
    {3330, "Replay of the test as it was recorded."},
    {3400, "PRELIMINARY TEST RESULTS"},
    {3401, "PARTIAL TEST RESULTS"},
    {3402, "Not enough valid samples in the test!"},
    {3403, "No Subject was detected on the platform!\n\nThe test is not valid and must be repeated!"},
    {3404, "%1 AP, %2 ML"},
    {3405, "The test was stopped after %1 s of %2 s: the measures cover only that part."},
    {3406, "The test was stopped during the pre-test: nothing was recorded."},
    {3410, "Healthy Balance"},
    {3411, "Mildly Reduced"},
    {3412, "Moderately Reduced"},
    {3413, "Severely Reduced"},
    {3414, "Profoundly Reduced"},
    {3420, "Test Duration:"},
    {3421, "Samples Acquired:"},
    {3422, "Valid Samples Analyzed:"},
    {3423, "Average Vertical Force (weight):"},
    {3424, "Average CoP Location:"},
    {3425, "CoP Excursion (95% Confidence):"},
    {3426, "Predominant Direction of Sway (0 = ML, 90 = AP):"},
    {3427, "Directionality (0% = omnidirectional, 100% = along a line):"},
    {3428, "Sway along the Predominant Direction of Sway (95% Confidence):"},
    {3429, "Sway along the Direction of Minimum Sway (95% Confidence):"},
    {3430, "Min/Max Sway Ratio:"},
    {3431, "Length of the Sway Path:"},
    {3432, "Radial Sway - MAX :"},
    {3433, ", AVE: "},
    {3434, "Sway Velocity - MAX:"},
    {3435, "Sway Accel - MAX:"},
    {3436, "p Parameter:"},
    {3437, "Area of the 95% Confidence Ellipse:"},
    {3438, "Fatigue Ratio (0% = no fatigue):"},
    {3439, "Adaptation Ratio (0% = no adaptation):"},
    {3440, "Max Theoretical Sway (LoS):"},
    {3441, "% of Theoretical Stability Used (95% Confidence):"},
    {3443, "Stability Score (95% Confidence - 100% = Perfect Stability):"},
    {3444, "Test Completed On:"},
    {3445, "At:"},
    {3446, "Max = %1, Min = %2"},
    {3500, "CoP Display"},
    {3501, "Grid %1"},
    {3502, "true scale within %1 of the centre"},
    {3503, "AP ↑   ML →"},
    // ---- end of balance ----
};

constexpr bool ascending() {
  for (size_t i = 1; i < std::size(kTable); ++i)
    if (kTable[i - 1].id >= kTable[i].id) return false;
  return true;
}
static_assert(ascending(), "string numbers must be unique and ascending");

const Entry* find(int id) {
  const auto it = std::lower_bound(std::begin(kTable), std::end(kTable), id,
                                   [](const Entry& e, int key) { return e.id < key; });
  return it != std::end(kTable) && it->id == id ? it : nullptr;
}

}  // namespace

QString Str(int id) {
  const Entry* e = find(id);
  return e ? QString::fromUtf8(e->text) : QStringLiteral("#%1").arg(id);
}

bool StrExists(int id) { return find(id) != nullptr; }

}  // namespace tarn
