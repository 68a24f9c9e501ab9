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
    {3100,
     "The Signals from the Force Platform indicate\nthat there is a USB power supply problem!\n\nPlease "
     "repeat the Zero.\n\nIf the problem persists, try connecting the Force Platform\nto another USB port or "
     "try using a powered external USB Hub."},
    {3101,
     "The Signals from the Force Platform indicate\nthat one or more channels might be out of trim!\n\nRefer "
     "to the User Manual or the online Help for more information."},
    {3102,
     "The Signals from the Force Platform indicate\nthat the A/D converter of one or more channels is "
     "malfunctioning!\n\nPlease contact Kamrith Labs Customer Support."},
    {3103,
     "The Signals from the Force Platform indicate\nthat one or more sensors are malfunctioning!\n\nPlease "
     "contact Kamrith Labs Customer Support."},
    {3104,
     "The Signals from the Force Platform indicate\nthat you might be trying to Zero a heavy load.\nIf this "
     "is the case, click Yes, otherwise click No to repeat the Zero.\n\nDo you want to keep this Zero?"},
    {3105,
     "The Signals from the Force Platform indicate\nthat you might be trying to Zero the entire subject's "
     "weight.\nIf this is the case, click Yes, otherwise click No to repeat the Zero.\n\nDo you want to keep "
     "this Zero?"},
    {3106,
     "The Zero was too noisy.\nThe Zero should be repeated making sure nothing is touching the Force "
     "Platform.\n\nDo you want to keep this zero anyway?"},
    {3107,
     "The Zero was too noisy.\nThe Zero must be repeated making sure nothing is touching the Force "
     "Platform."},
    {3110, "nothing"},
    {3111, "the foam"},
    {3112, "a wobble board"},
    {3113, "another surface"},
    {3120, "\n\nThere is no Zero in memory\n\nThe Zero must be acquired"},
    {3121,
     "The test surface is different from the one used for the last Zero!\nA new Zero must be acquired."},
    {3122, "Too much time has passed since the last Zero!\nA new Zero must be acquired."},
    {3123,
     "The selected force Force Platform is different from the one used for the last Zero!\nSelect that Force "
     "Platform or acquire a new Zero"},
    {3124, "The Force Platform power has been cycled on/off since last time!\nA new Zero must be acquired."},
    {3125,
     "The Force Platform pitch and/or roll has changed from the last Zero!\nA new Zero must be acquired."},
    {3126, "The Force Platform Excitation has changed from the last Zero!\nA new Zero must be acquired."},
    {3127,
     "The Force Platform Sampling Frequency has changed from the last Zero!\nA new Zero must be acquired."},
    {3128, "The last Zero is still valid.\nAcquire a new Zero or proceed to the test."},
    {3129, "Please select the Force Platform to be used for the next test"},
    {3130, "Last Zero was for Force Platform %1, with %2 on the Force Platform."},
    {3131, "It was acquired %1 hours ago."},
    {3132, "Since then the temperature of the Force Platform electronics has changed by %1 °C"},
    {3140, "\n\n\nNO Force Platform CONNECTED\n\nPlease connect a Force Platform!"},
    {3141, "\n\n\nPlease select the Force Platform to be used for the next test."},
    {3142,
     "\n\nThe Force Platform must now be zeroed.\n\nPlease make sure nothing%1 is in contact with the "
     "surface of the Force Platform during the zeroing"},
    {3143, " but the foam cushion"},
    {3144, " but the wobble board"},
    {3145, " but the %1"},
    {3146, "\n\nClick '%1' to redo the Zero, or '%2' to proceed with the testing."},
    {3147, "\n\n\nForce Platform Zero in Progress...\n\nPlease Wait"},
    {3148, "\n\n\n\n\nForce Platform Zero Completed"},
    {3150, "The zero duration must be a number of seconds from %1 to %2."},
    {3151,
     "The test has already been performed\nwith a Zero different from the one you have just acquired.\n\nIf "
     "you proceed, the test data will be erased!\n\nDo you want to proceed and erase the test data?"},
    {3152, "The Force Platform could not start the Zero.\n\nPlease check the Force Platform and try again."},
    {3160,
     "A connected KM Force Platform is not responding to communication attempts from the computer!\n\nPlease "
     "disconnect and then reconnect all KM Force Platforms."},
    {3161,
     "Error: A/D Buffer Overrun!\n\nTry the acquisition again.\nIf the problem persists, the selected "
     "sampling frequency might be too high.\nTry selecting a lower sampling frequency in the test settings."},
    {3162,
     "Error: A/D Signals Clipped!\n\nMake sure nothing is in contact with the Force Platform.\nIf the "
     "problem persists, contact technical support."},
    {3163,
     "Error: A/D Signals Clipped!\n\nTry the acquisition again.\nIf the problem persists,\nthe selected "
     "sensor bridges excitation voltage might be too high.\nTry selecting a lower excitation voltage in the "
     "force platform settings."},
    {3164, "Error: Time-out while reading from the Force Platform!"},
    {3165, "Error: Time-out while writing to the Force Platform!"},
    {3166, "The Force Platform has been disconnected!!!"},
    {3167, "The Force Platform Has Been Disconnected!!!"},
    {3170, "KM TARN™ RQ Balance Testing - Force Platform Zero"},
    {3171, "&Force Platform to be used for this test:"},
    {3172, "Zeroing Parameters:"},
    {3173, "Gage Excitation (V):"},
    {3174, "Sampling Freq (Hz):"},
    {3175, "&Duration (s):"},
    {3176, "Zeroing Values:"},
    {3177, "Channel %1:"},
    {3178, "Average"},
    {3179, "A/D Code"},
    {3180, "V"},
    {3181, "RMS Noise"},
    {3182, "SNR (dB)"},
    {3183, "Status:"},
    {3189, "New &Zero"},
    {3190, "(none)"},
    {3191, " - disconnected"},
    {3192, "TARN™ RQ - Force Platform Zero"},
    {3193, "Zeroing ..."},
    {3194, "Zeroing Values (not accepted: see the message):"},
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
    {3243, "Test Time"},
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
    {3510, "&CoP Display Options"},
    {3511, "&Full Screen"},
    {3512, "&Grid"},
    {3513, "&Interval"},
    {3514, "&LoS ON"},
    {3515, "&Trace ON"},
    {3516, "Tar&get Trace ON"},
    {3517, "&Confidence Ellipse ON"},
    {3518, "Zoom &In"},
    {3519, "Zoom &Out"},
    {3520, "&ReCenter"},
    {3521, "&Clear"},
    {3522, "&Copy"},
    {3530, "&Off"},
    {3531, "&X"},
    {3532, "&Y"},
    {3533, "XY"},
    {3534, "&Ticks"},
    {3540, "50 mm|25 mm|10 mm|5 mm|2.5 mm|1 mm|0.5 mm"},
    {3541, "2 in|1 in|1/2 in|1/4 in|1/8 in|1/16 in|1/32 in"},
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
