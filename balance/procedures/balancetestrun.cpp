#include "balance/procedures/balancetestrun.h"

#include <QStringList>
#include <QVariant>

#include "balance/plate/plate.h"
#include "core/clock.h"

namespace tarn {

bool BalanceTestRun::hasData() const { return samples && samples->Count() > 0; }

bool BalanceTestRun::enoughSamples() const {
  return analysed && result.lValidSamples > 10 && result.lWeightSamples > 10 && result.fWeight != 0.0;
}

void BalanceTestRun::clearData() {
  samples.reset();
  analysed = false;
  result = AnalysisResult{};
  stabilityClass.reset();
  bIsInterrupted = false;
  zeroTime = clock::kMissingDate;
  sPlate.clear();
}

QString BalanceTestRun::describe() const {
  QStringList l;
  auto add = [&](const QString& name, const QVariant& v) { l << name + " = " + v.toString(); };
  add("sName", sName);
  add("sTestID", sTestID);
  add("lTestType", lTestType);
  add("sPlate", sPlate);
  add("surface", ListItem(conditionlists::kSurface, conditions.surface));
  add("eyes", ListItem(conditionlists::kEyes, conditions.eyes).replace('\n', ' '));
  add("stance", ListItem(conditionlists::kStance, conditions.stance).replace('\n', ' '));
  add("fFrequency", timing.frequencyHz);
  add("fPretest", timing.preTestMs / 1000.0);
  add("fOrigDuration", timing.durationMs / 1000.0);
  add("zeroTime", clock::generalDateText(clock::fromDays(zeroTime)));
  add("samples", hasData() ? samples->Count() : 0);
  add("analysed", analysed);
  if (analysed) {
    add("dtDate", clock::generalDateText(clock::fromDays(result.dtDate)));
    add("fActDuration", result.fDuration);
    add("lTotalSamples", result.lTotalSamples);
    add("lValidSamples", result.lValidSamples);
    add("fWeight (N)", result.fWeight);
    add("fXo (m)", result.fXo);
    add("fYo (m)", result.fYo);
    add("fLoSX (m)", result.fLoSX);
    add("fLoSY (m)", result.fLoSY);
    add("fMaxMLSway (m)", result.fRangeML);
    add("fMaxAPSway (m)", result.fRangeAP);
    add("f95MLSway (m)", result.f95MLSway);
    add("f95APSway (m)", result.f95APSway);
    add("f95MaxSway (m)", result.f95MaxSway);
    add("f95MinSway (m)", result.f95MinSway);
    add("fMaxSway (m)", result.fRadialMax);
    add("fAveSway (m)", result.fRadialAve);
    add("fVMax (m/s)", result.fVMax);
    add("fVAve (m/s)", result.fVAve);
    add("fAMax (m/s2)", result.fAMax);
    add("fAAve (m/s2)", result.fAAve);
    add("fPlen (m)", result.fPathLength);
    add("f95Area (m2)", result.f95Area);
    add("fStability", result.fStability);
    add("fSwayDirection (rad)", result.fSwayDirection);
    add("fDirectionality", result.fDirectionality);
    add("fMinMaxRatio", result.fMinMaxRatio);
    add("fFatigue", result.fFatigue);
    add("fParP", result.fParP);
  }
  add("lStabilityClass", stabilityClass ? static_cast<int>(*stabilityClass) : 0);
  add("bIsFallen", bIsFallen ? -1 : 0);
  add("bIsInterrupted", bIsInterrupted ? -1 : 0);
  add("sNotes", sNotes);
  return l.join('\n');
}

}  // namespace tarn
