#pragma once
// What a measurement, a result or a test setting can be. A value past these limits comes from
// damage (of a file, a cached list or a platform's data), never from a subject standing on a
// platform: it is refused, and a recording that holds one is a damaged test that is never
// analysed or classed. This is the one place that says so: the list cache, the test templates
// and the comment templates all ask here.
#include <QtGlobal>

namespace tarn {

class KMX_PlateTestData;

namespace plausible {

enum class Quantity {
  Force,      // N, either sign (a loaded platform reports a negative vertical force)
  Moment,     // N·m, either sign
  Frequency,  // Hz of an acquisition; 0 where none is set
  Seconds,    // a test's pre-test, duration or interval between images
  Stability,  // the analysis's stability, 0..1
  Result,     // a result kept in a list summary (stability, BMI, acuity) or its start marks -1, 200
  Height,     // m of a subject; 0 where none was entered
  Mass,       // kg of a subject; 0 where none was entered
  BMI,        // kg/m²
  Acuity,     // a vision test's acuity value
  Distance,   // m between a subject and a screen
  Date,       // a day count between 1 January 1800 (also "no date") and 1 January 2200
  Items,      // entries of one list in a file: samples, tests, visits
  Setting,    // a count a person chooses: comments of a template, images per size, answers to pass
};

struct Range {
  double low, high;
};
Range rangeOf(Quantity q);
// Finite and within the range of its quantity.
bool isPlausible(Quantity q, double value);

// Codes stored as numbers: 0 is "none" for each.
enum class Code {
  StabilityClass,  // KM_RQNormsClass 1..5
  BMIClass,        // KM_RQBMINormsClass 1..4, 6..9
  VisionClass,     // KM_RQVNormsClass 1..3
  TestType,        // KM_RQNormTestType 1..4
  Eye,             // KM_RQVNormTestType 1..3
  Sex,             // 0 female, 1 male, 2 not given
  Flag,            // a stored truth value: 0, 1 or -1
};
bool isPlausible(Code code, qint32 value);

// The first sample no platform can give (a non-finite value, or a force or moment past the
// limits), or -1 when every sample is plausible. A recording with an implausible frequency
// counts as bad from its first sample.
qint32 firstImplausibleSample(const KMX_PlateTestData& data);

}  // namespace plausible
}  // namespace tarn
