#pragma once
// Demonstration subject files that look like a clinic's: plausible subjects (ages 5 to 90, both
// sexes, heights and weights that fit their age, steadiness from healthy to profoundly reduced),
// one to three visits each with a session of the four standard balance tests recorded on the
// simulated platform, some visits with a repeat session. Every test is stored as the station
// stores it: samples, the zero it was taken with, the measures, the stability class and the BMI.
#include <QString>
#include <QtGlobal>

#include <memory>

#include "balance/plate/simulatedplate.h"
#include "data/subjectfile/subjectfile.h"

namespace tarn::demodata {

// Produces the samples of one test of a subject standing on a platform.
class Recorder {
 public:
  virtual ~Recorder() = default;
  // date: the acquisition date stored with the samples. Null on failure.
  virtual std::shared_ptr<const StoredTestData> record(const SimulatedSubject& subject, float fs,
                                                       double seconds, double date) = 0;
  // The zero the last recording was taken with.
  virtual PlateZero zero() const = 0;
};

// Zeroes and records on a simulated platform whose clock the recorder advances itself, so it
// runs at processor speed. Takes the plate clock in hand while it lives (unless a caller already
// has); needs a Qt application object on the calling thread.
std::unique_ptr<Recorder> makePlateRecorder(quint64 seed);
// The platform's sway model written straight into calibrated loads: the same sway without the
// converters and the event loop, for large benchmark folders.
std::unique_ptr<Recorder> makeModelRecorder(quint64 seed);

struct Options {
  int files = 10;
  quint64 seed = 1;
  float fs = 100.0f;
  double testSeconds = 20.0;
  int minVisits = 1;
  int maxVisits = 3;
  bool repeatSessions = true;  // some visits get a second (rarely a third) session
  double today = 0;            // day count of "now"; 0 = the clock's today
};

// Writes options.files subject files "DEMO000001.kpf" ... into folder. Returns the number
// written; error says why it stopped early.
int writeDemoFolder(const QString& folder, const Options& options, Recorder& recorder, QString* error);

}  // namespace tarn::demodata
