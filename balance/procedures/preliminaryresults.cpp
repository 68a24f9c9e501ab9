#include "balance/procedures/preliminaryresults.h"

#include <QStringList>
#include <cmath>

#include "balance/norms/norms.h"
#include "balance/plate/plate.h"
#include "balance/procedures/balancetestrun.h"
#include "core/clock.h"
#include "support/strings/strings.h"
#include "support/units/units.h"

namespace tarn {

namespace {
constexpr double kDegPerRad = 57.29577951308238;
constexpr int kForceDecimals = 1;
constexpr int kSignificant = 3;

QString percent(double ratio, int decimals = 1) { return FormatNumber(ratio * 100.0, decimals) + "%"; }

// Decimals that give a value at least kSignificant significant digits.
int significantDecimals(double shown) {
  if (!(std::abs(shown) > 0.0) || !std::isfinite(shown)) return 0;
  const int d = kSignificant - 1 - static_cast<int>(std::floor(std::log10(std::abs(shown))));
  return std::clamp(d, 0, 8);
}

double lengthInUnit(double m, int unit) {
  switch (unit) {
    case 1:
    case 2:
      return m / kMetresPerInch;
    case 4:
      return m * 100.0;
    case 5:
      return m * 1000.0;
    default:
      return m;
  }
}
}  // namespace

QString FormatLengthSignificant(double m, int unit) {
  const int shownDecimals = significantDecimals(lengthInUnit(m, unit));
  // FormatLength takes the decimals meant for metres and adjusts them to the unit.
  return FormatLength(m, unit, shownDecimals - UnitDecimals(Quantity::Length, unit, 0));
}

QString FormatArea(double m2, int unit) {
  double v = m2;
  QString symbol;
  switch (unit) {
    case 1:
    case 2:
      v = m2 / (kMetresPerInch * kMetresPerInch);
      symbol = QString::fromUtf8(" in²");
      break;
    case 4:
      v = m2 * 100 * 100;
      symbol = QString::fromUtf8(" cm²");
      break;
    case 5:
      v = m2 * 1000 * 1000;
      symbol = QString::fromUtf8(" mm²");
      break;
    default:
      symbol = QString::fromUtf8(" m²");
  }
  return FormatNumber(v, significantDecimals(v)) + symbol;
}

QString StabilityClassName(KM_RQNormsClass c) {
  const int i = static_cast<int>(c);
  return i >= 1 && i <= 5 ? Str(3409 + i) : QString();
}

unsigned StabilityClassRgb(KM_RQNormsClass c) {
  // The colours of the printed stability levels: green, dark yellow, orange, red and purple.
  switch (c) {
    case KM_RQNormsClass::Normal:
      return 0x00FF00;
    case KM_RQNormsClass::Mildly:
      return 0xD0D000;
    case KM_RQNormsClass::Moderately:
      return 0xFF8000;
    case KM_RQNormsClass::Severely:
      return 0xFF0000;
    case KM_RQNormsClass::Profundly:
      return 0xC000C0;
  }
  return 0x808080;
}

QString NotEnoughSamplesText() { return Str(3402); }
QString NoSubjectDetectedText() { return Str(3403); }

QString PreliminaryResults::text() const {
  QStringList l{heading, QString()};
  if (!note.isEmpty()) l << note;
  if (!enough) return l.join('\n');
  if (!note.isEmpty()) l << QString();
  for (const ResultLine& line : lines) {
    if (line.label == Str(3422)) {  // the valid count shares the line of the samples acquired
      l.last() += " - " + line.label + " " + line.value;
      continue;
    }
    l << line.label + " " + line.value;
    if (line.label == Str(3441)) l << scoreLabel + " " + score;  // the score follows the LoS use
  }
  return l.join('\n');
}

PreliminaryResults ComposePreliminaryResults(const AnalysisResult& r, bool enough, int lu, int fu) {
  PreliminaryResults p;
  p.heading = Str(3400);
  p.enough = enough;
  if (!enough) {
    p.note = NotEnoughSamplesText();
    return p;
  }
  auto len = [&](double m) { return FormatLengthSignificant(m, lu); };
  auto apml = [&](double ap, double ml) { return Str(3404).arg(len(ap), len(ml)); };
  auto add = [&](int label, const QString& value) { p.lines.push_back({Str(label), value}); };

  add(3420, FormatNumber(r.fDuration, 2) + " s");
  add(3421, QString::number(r.lTotalSamples));
  add(3422, QString::number(r.lValidSamples));
  add(3423, FormatForce(std::abs(r.fWeight), fu, kForceDecimals));
  add(3424, apml(r.fYo, r.fXo));
  add(3425, apml(r.f95APSway, r.f95MLSway));
  add(3426, FormatNumber(r.fSwayDirection * kDegPerRad, 1) + " deg");
  add(3427, percent(r.fDirectionality));
  add(3428, len(r.f95MaxSway));
  add(3429, len(r.f95MinSway));
  add(3430, FormatNumber(r.fMinMaxRatio, 2));
  add(3431, len(r.fPathLength));
  add(3432, len(r.fRadialMax) + Str(3433) + len(r.fRadialAve));
  add(3434, len(r.fVMax) + "/s" + Str(3433) + len(r.fVAve) + "/s");
  add(3435, len(r.fAMax) + "/s^2" + Str(3433) + len(r.fAAve) + "/s^2");
  add(3436, FormatNumber(r.fParP, 2));
  add(3437, FormatArea(r.f95Area, lu));
  if (r.fFatigue >= 0)
    add(3438, percent(r.fFatigue));
  else
    add(3439, percent(-r.fFatigue));
  add(3440, apml(r.fLoSRangeAP, r.fLoSRangeML));
  add(3441, Str(3446).arg(percent(r.fLoSUsedMax), percent(r.fLoSUsedMin)));
  p.scoreLabel = Str(3443);
  p.score = FormatNumber(StabilityScorePercent(static_cast<float>(r.fStability)), 1) + "%";
  const QDateTime done = clock::fromDays(r.dtDate + r.fDuration / 86400.0);
  add(3444, clock::longDateText(done.date()) + " " + Str(3445) + " " + clock::longTimeText(done.time()));
  return p;
}

PreliminaryResults ComposePreliminaryResults(const BalanceTestRun& run, int lu, int fu) {
  PreliminaryResults p = ComposePreliminaryResults(run.result, run.enoughSamples(), lu, fu);
  p.stabilityClass = run.enoughSamples() ? run.stabilityClass : std::nullopt;
  if (run.bIsInterrupted) {
    p.heading = Str(3401);
    const double planned = run.timing.durationMs / 1000.0;
    const double got = run.hasData() && run.samples->Frequency() > 0
                           ? run.samples->Count() / double(run.samples->Frequency())
                           : 0.0;
    const QString stopped = Str(3405).arg(FormatNumber(got, 1), FormatNumber(planned, 1));
    p.note = p.enough ? stopped : stopped + "\n" + p.note;
  }
  return p;
}

QString PreliminaryResultsText(const AnalysisResult& r, bool enough, int lu, int fu) {
  return ComposePreliminaryResults(r, enough, lu, fu).text();
}

}  // namespace tarn
