#include "balance/procedures/preliminaryresults.h"

#include <QStringList>

#include "balance/norms/norms.h"
#include "core/clock.h"
#include "support/units/units.h"

namespace tarn {

namespace {
constexpr double kDegPerRad = 57.29577951308238;
constexpr int kLengthDecimals = 4;  // 0.1 mm
constexpr int kForceDecimals = 1;

QString percent(double ratio, int decimals = 1) { return FormatNumber(ratio * 100.0, decimals) + "%"; }
}  // namespace

QString FormatArea(double m2, int unit) {
  switch (unit) {
    case 1:
    case 2:
      return FormatNumber(m2 / 0.00064516, 3) + QString::fromUtf8(" in²");
    case 4:
      return FormatNumber(m2 * 100 * 100, 2) + QString::fromUtf8(" cm²");
    case 5:
      return FormatNumber(m2 * 1000 * 1000, 1) + QString::fromUtf8(" mm²");
    default:
      return FormatNumber(m2, 6) + QString::fromUtf8(" m²");
  }
}

QString PreliminaryResultsText(const AnalysisResult& r, bool enough, int lu, int fu) {
  QStringList l;
  l << "PRELIMINARY TEST RESULTS"
    << "";
  if (!enough) {
    l << kNotEnoughSamples;
    return l.join('\n');
  }
  auto len = [&](double m) { return FormatLength(m, lu, kLengthDecimals); };
  auto apml = [&](double ap, double ml) { return len(ap) + " AP, " + len(ml) + " ML"; };

  l << "Test Duration: " + FormatNumber(r.fDuration, 2) + " s";
  l << "Samples Acquired: " + QString::number(r.lTotalSamples) +
           " - Valid Samples Analyzed: " + QString::number(r.lValidSamples);
  l << "Average Vertical Force (weight): " + FormatForce(std::abs(r.fWeight), fu, kForceDecimals);
  l << "Average CoP Location: " + apml(r.fYo, r.fXo);
  l << "CoP Excursion (95% Confidence): " + apml(r.f95APSway, r.f95MLSway);
  l << "Predominant Direction of Sway (0 = ML, 90 = AP): " + FormatNumber(r.fSwayDirection * kDegPerRad, 1) +
           " deg";
  l << "Directionality (0% = omnidirectional, 100% = along a line): " + percent(r.fDirectionality);
  l << "Sway along the Predominant Direction of Sway (95% Confidence): " + len(r.f95MaxSway);
  l << "Sway along the Direction of Minimum Sway (95% Confidence): " + len(r.f95MinSway);
  l << "Min/Max Sway Ratio: " + FormatNumber(r.fMinMaxRatio, 2);
  l << "Length of the Sway Path: " + len(r.fPathLength);
  l << "Radial Sway - MAX : " + len(r.fRadialMax) + ", AVE: " + len(r.fRadialAve);
  l << "Sway Velocity - MAX: " + len(r.fVMax) + "/s, AVE: " + len(r.fVAve) + "/s";
  l << "Sway Accel - MAX: " + FormatLength(r.fAMax, lu, 3) + "/s^2, AVE: " + FormatLength(r.fAAve, lu, 3) +
           "/s^2";
  l << "p Parameter: " + FormatNumber(r.fParP, 2);
  l << "Area of the 95% Confidence Ellipse: " + FormatArea(r.f95Area, lu);
  if (r.fFatigue >= 0)
    l << "Fatigue Ratio (0% = no fatigue): " + percent(r.fFatigue);
  else
    l << "Adaptation Ratio (0% = no adaptation): " + percent(-r.fFatigue);
  l << "Max Theoretical Sway (LoS): " + apml(r.fLoSRangeAP, r.fLoSRangeML);
  l << "% of Theoretical Stability Used (95% Confidence): Max = " + percent(r.fLoSUsedMax) +
           ", Min = " + percent(r.fLoSUsedMin);
  l << "Stability Score (95% Confidence - 100% = Perfect Stability): " +
           FormatNumber(StabilityScorePercent(static_cast<float>(r.fStability)), 1) + "%";
  const QDateTime done = clock::fromDays(r.dtDate + r.fDuration / 86400.0);
  l << "Test Completed On: " + clock::longDateText(done.date()) + " At: " + clock::longTimeText(done.time());
  return l.join('\n');
}

}  // namespace tarn
