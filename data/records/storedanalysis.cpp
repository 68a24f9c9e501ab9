#include "data/records/storedanalysis.h"

#include <cmath>

#include "balance/procedures/plausibility.h"
#include "core/clock.h"
#include "core/eventlog.h"
#include "core/settingkeys.h"
#include "data/subjectfile/subjectfile.h"

namespace tarn {
namespace {

constexpr char kModule[] = "Analysis";
constexpr double kReferenceHeightM = 1.75;

bool missingDate(double d) { return d == clock::kMissingDate || std::isnan(d); }
bool positive(float v) { return std::isfinite(v) && v > 0; }

}  // namespace

StoredAnalysisSettings StoredAnalysisSettings::fromSettings() {
  StoredAnalysisSettings s;
  s.thresholdN = static_cast<float>(settings::read(settings::CoPThresholdF));
  s.stanceFactors = ReadStanceFactors();
  s.normsVersion = NormsVersion();
  return s;
}

LimitsOfStability StoredTestLimits(double heightM) {
  if (const auto los = BaseLimitsOfStability(heightM)) return *los;
  return *BaseLimitsOfStability(kReferenceHeightM);
}

StoredTestAnalysis AnalyseStoredTest(const BalanceTest& test, double subjectBirth,
                                     const StoredAnalysisSettings& settings) {
  ProcLog log(kModule, "AnalyseStoredTest", test.sTestID);
  StoredTestAnalysis a;
  a.thresholdN = positive(test.fCoPThresholdF) ? test.fCoPThresholdF : settings.thresholdN;
  a.geometry = {test.fRotation, test.fTilt1, test.fTilt2};
  if (positive(test.fLoSX) && positive(test.fLoSY)) {
    a.losX = test.fLoSX;
    a.losY = test.fLoSY;
  } else {
    const Visit* visit = test.session() ? test.session()->visit() : nullptr;
    const LimitsOfStability los = StoredTestLimits(visit ? visit->phys.dHeight : 0.0);
    a.losX = los.x;
    a.losY = los.y;
    log.step(QStringLiteral("No limits of stability stored: %1 m, %2 m").arg(a.losX).arg(a.losY));
  }

  const auto data = test.TestData();
  if (!data || data->Count() == 0) {
    log.step(QStringLiteral("Never run"));
    log.completed();
    return a;
  }
  if (test.samplesDamaged()) {
    a.state = StoredTestState::Damaged;
    log.error(QStringLiteral("The recorded samples are damaged: no results"));
    return a;
  }
  // A recording no platform can give (non-finite, or forces and moments far out of any range) is
  // damage too: never analysed or classed.
  if (plausible::firstImplausibleSample(*data) >= 0) {
    a.state = StoredTestState::Damaged;
    log.error(QStringLiteral("The recording holds values no platform gives: no results"));
    return a;
  }
  AnalyseBalanceTest(0, data->Count() - 1, -a.thresholdN, *data, a.geometry, test.lStance, a.losX, a.losY,
                     settings.stanceFactors, a.result, true, true);
  if (a.result.lWeightSamples <= 10) {
    a.state = StoredTestState::TooFewSamples;
    log.step(QStringLiteral("Not enough valid samples"));
    log.completed();
    return a;
  }
  a.state = StoredTestState::Analysed;
  const double date = missingDate(test.dtDate) ? data->DateTime() : test.dtDate;
  if (!missingDate(subjectBirth) && !missingDate(date))
    a.stabilityClass = StabilityClass(static_cast<float>(a.result.fStability), AgeInYears(subjectBirth, date),
                                      static_cast<KM_RQNormTestType>(test.lTestType), settings.normsVersion);
  log.completed();
  return a;
}

}  // namespace tarn
