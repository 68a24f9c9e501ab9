#include "reports/reanalysis.h"

#include <cmath>

#include "balance/norms/norms.h"
#include "core/clock.h"
#include "data/records/storedanalysis.h"

namespace tarn {
namespace {
bool missingDate(double d) { return d == clock::kMissingDate || std::isnan(d); }
float single(double v) { return static_cast<float>(v); }
}  // namespace

ReanalysedBalanceTest ReanalyseBalanceTest(const Visit& visit, const Session& session, const BalanceTest& t,
                                           double birth, qint32 sex, float minCoPFzN, int normsVersion) {
  ReanalysedBalanceTest out;
  KM_RQListTestBalance& r = out.record;
  r.sName = t.sName;
  r.sVisitID = visit.sVisitID;
  r.sSessionID = session.sSessionID;
  r.sTestID = t.sTestID;
  r.sPlate = t.sPlate;
  r.lTestType = t.lTestType;
  r.dtDate = t.dtDate;
  r.fFrequency = t.fFrequency;
  r.fPretest = t.fPretest;
  r.fOrigDuration = t.fOrigDuration;
  r.fActDuration = t.fActDuration;
  r.lTotalSamples = t.lTotalSamples;
  r.lValidSamples = t.lValidSamples;
  r.bIsInterrupted = t.bIsInterrupted != 0;
  r.bIsFallen = t.bIsFallen != 0;
  r.fLoSX = t.fLoSX;
  r.fLoSY = t.fLoSY;
  r.sNotes = t.sNotes;
  r.fHeight = single(visit.phys.dHeight);
  r.fWeight = single(visit.phys.dMass);
  r.bBMIEnabled = true;

  out.samples = t.storedData();
  out.recorded = out.samples && out.samples->Count() > 0;
  if (out.recorded) {
    // The one re-analysis of a stored test: its own angles, threshold and limits of stability.
    StoredAnalysisSettings settings = StoredAnalysisSettings::fromSettings();
    settings.thresholdN = minCoPFzN;
    settings.normsVersion = normsVersion;
    const StoredTestAnalysis a = AnalyseStoredTest(t, birth, settings);
    r.fLoSX = single(a.losX);
    r.fLoSY = single(a.losY);
    AnalysisResult& res = out.result;
    res = a.result;
    const bool damaged = a.state == StoredTestState::Damaged;
    r.lTotalSamples = damaged ? out.samples->Count() : res.lTotalSamples;
    r.lValidSamples = damaged ? 0 : res.lValidSamples;
    r.fActDuration = damaged ? 0.0f : single(res.fDuration);
    out.analysed = a.measured();
    if (out.analysed) {
      r.fXo = single(res.fXo);
      r.fYo = single(res.fYo);
      r.fMaxMLSway = single(res.fRangeML);
      r.fMaxAPSway = single(res.fRangeAP);
      r.f95MLSway = single(res.f95MLSway);
      r.f95APSway = single(res.f95APSway);
      r.f95MaxSway = single(res.f95MaxSway);
      r.f95MinSway = single(res.f95MinSway);
      r.fMaxSway = single(res.fRadialMax);
      r.fAveSway = single(res.fRadialAve);
      r.fVMax = single(res.fVMax);
      r.fVAve = single(res.fVAve);
      r.fAMax = single(res.fAMax);
      r.fAAve = single(res.fAAve);
      r.fPlen = single(res.fPathLength);
      r.f95Area = single(res.f95Area);
      r.fStability = single(res.fStability);
      r.fSwayDirection = single(res.fSwayDirection);
      r.fDirectionality = single(res.fDirectionality);
      r.fMinMaxRatio = single(res.fMinMaxRatio);
      r.fFatigue = single(res.fFatigue);
      r.fParP = single(res.fParP);
      if (!missingDate(birth) && !missingDate(r.dtDate)) {
        const auto cls = StabilityClass(r.fStability, AgeInYears(birth, r.dtDate),
                                        static_cast<KM_RQNormTestType>(r.lTestType), normsVersion);
        r.lStabilityClass = cls ? static_cast<qint32>(*cls) : 0;
      }
    }
  }
  if (out.recorded && r.fHeight > 0 && r.fWeight > 0) {
    r.fBMI = single(double(r.fWeight) / (double(r.fHeight) * double(r.fHeight)));
    const auto cls = ClassifyBMI(r.fBMI, birth, r.dtDate, sex);
    r.lBMIClass = cls ? static_cast<qint32>(*cls) : 0;
  }
  return out;
}

}  // namespace tarn
