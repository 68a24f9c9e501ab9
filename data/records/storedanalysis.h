#pragma once
// The one analysis of a stored balance test: the list refresh, the result windows and reports
// and automation all re-analyse a test of a subject file through it, so a test gives the same
// numbers wherever it is shown.
#include <optional>

#include "balance/analysis/analysis.h"
#include "balance/norms/norms.h"
#include "balance/norms/normtypes.h"

namespace tarn {

class BalanceTest;

// What the analysis takes besides the test. The caller reads it once (for a list refresh, once
// for all its worker threads, which never touch the settings store).
struct StoredAnalysisSettings {
  float thresholdN = 10.0f;  // "CoP Threshold F (N)", for tests stored without their own
  StanceFactors stanceFactors;
  int normsVersion = kDefaultNormsVersion;
  static StoredAnalysisSettings fromSettings();
};

enum class StoredTestState {
  NotRun,         // no recorded samples: no results
  Damaged,        // the samples failed their checksum: no results
  TooFewSamples,  // 10 weight samples or fewer: counts and date, no measures
  Analysed,       // every measure
};

struct StoredTestAnalysis {
  StoredTestState state = StoredTestState::NotRun;
  AnalysisResult result;  // for TooFewSamples and Analysed
  // What the analysis used: the test's own values where it has them (see AnalyseStoredTest).
  float thresholdN = 0;
  PlateGeometry geometry;
  double losX = 0, losY = 0;  // base limits of stability
  // Analysed, with a known age at the test and a norm test type.
  std::optional<KM_RQNormsClass> stabilityClass;

  bool measured() const { return state == StoredTestState::Analysed; }
};

// Re-analyses a stored test with what it was recorded with:
//  - the plate's rotation and tilt angles stored with it (0 in files written before they were);
//  - its force threshold, or the settings' one when it has none stored;
//  - its base limits of stability; a test stored without them gets those the station gives a
//    new test, from the subject's height at the test's visit, or from the reference height of
//    1.75 m when that is not known either (a test never has limits of 0, which would class any
//    sway as Profundly reduced).
// The class needs the subject's date of birth (day count; the missing date when unknown) and
// the test's date (its recording's date when the test has none).
StoredTestAnalysis AnalyseStoredTest(const BalanceTest& test, double subjectBirth,
                                     const StoredAnalysisSettings& settings);

// The base limits of stability of that rule for a subject of a height (m; 0 when unknown).
LimitsOfStability StoredTestLimits(double heightM);

}  // namespace tarn
