#include "reports/reportformat.h"

#include <QLocale>
#include <cmath>

#include "balance/norms/norms.h"
#include "core/clock.h"
#include "core/settingkeys.h"
#include "support/strings/strings.h"
#include "support/units/units.h"

namespace tarn {
namespace {

constexpr double kDegreesPerRadian = 57.29577951308238;

bool missingDate(double d) { return d == clock::kMissingDate || std::isnan(d) || d == 0; }

// A number with a unit, or "N/A" when the number cannot be written.
QString orNA(const QString& text) { return text.isEmpty() ? NotAvailableText() : text; }

QString numberText(double v, int decimals, const QString& suffix = QString()) {
  const QString n = FormatNumber(v, decimals);
  return n.isEmpty() ? NotAvailableText() : n + suffix;
}

int validUnit(int code) { return code >= kFirstUnitCode && code <= kLastUnitCode ? code : kSIUnitCode; }

}  // namespace

ReportUnits ReportUnits::fromSettings() {
  ReportUnits u;
  u.length = validUnit(settings::read(settings::UnitsLength));
  u.force = validUnit(settings::read(settings::UnitsForce));
  u.mass = validUnit(settings::read(settings::UnitsMass));
  return u;
}

QString ResultRowLabel(int row) { return row >= 1 && row <= kResultRows ? Str(17260 + row) : QString(); }

QString NotAvailableText() { return Str(17330); }

QString SwayText(double metres, int lengthUnit) {
  return orNA(FormatLength(metres, lengthUnit, kSwayDecimals));
}

QString AreaText(double m2, int lengthUnit) {
  switch (lengthUnit) {
    case 1:
      return numberText(m2 / (kMetresPerInch * kMetresPerInch), 3, " " + Str(17371));
    case 2:
      return numberText(m2 / (kMetresPerInch * kMetresPerInch), 3, " " + Str(17372));
    case 3:
      return numberText(m2, 7, " " + Str(17373));
    case 4:
      return numberText(m2 * 1e4, 2, " " + Str(17374));
    case 5:
      return numberText(m2 * 1e6, 1, " " + Str(17375));
    default:
      return numberText(m2, 7, " " + Str(17376));
  }
}

QString PercentText(double fraction, int decimals) { return numberText(fraction * 100.0, decimals, "%"); }

QString TestTypeText(qint32 type) {
  if (type < 1 || type > 4) return QString();
  const bool perturbed = type >= 3;
  const bool closed = type == 2 || type == 4;
  return Str(perturbed ? 17301 : 17300) + Str(closed ? 17303 : 17302);
}

QString StabilityClassName(qint32 cls) { return cls >= 1 && cls <= 5 ? Str(17319 + cls) : QString(); }

QString BMIClassName(qint32 cls) {
  const bool known = (cls >= 1 && cls <= 4) || (cls >= 6 && cls <= 9);
  return known ? Str(17339 + cls) : QString();
}

QString ShortDateText(double day) {
  if (missingDate(day)) return QString();
  return QLocale().toString(clock::fromDays(day).date(), QLocale::ShortFormat);
}

QString MediumTimeText(double day) {
  if (missingDate(day)) return QString();
  return QLocale().toString(clock::fromDays(day).time(), QStringLiteral("hh:mm AP"));
}

quint32 StabilityClassColour(qint32 cls) {
  static constexpr quint32 kColours[] = {65280, 65535, 33023, 255, 16711935};
  return cls >= 1 && cls <= 5 ? kColours[cls - 1] : 0;
}

std::array<QString, 5> ClassLimits::labels() const {
  auto n = [](double v) { return FormatNumber(v, 1); };
  return {">= " + n(L1) + "%", n(L2) + "-" + n(L1 - 0.1) + "%", n(L3) + "-" + n(L2 - 0.1) + "%",
          n(L4) + "-" + n(L3 - 0.1) + "%", "<= " + n(L4 - 0.1) + "%"};
}

qint32 ClassLimits::classOf(float fStability) const {
  return static_cast<qint32>(NormsClassOf(StabilityScorePercent(fStability), L1, L2, L3, L4));
}

std::optional<ClassLimits> LimitsForTest(double birth, double testDate, qint32 testType, int normsVersion) {
  if (missingDate(birth) || missingDate(testDate)) return std::nullopt;
  ClassLimits c;
  if (!NormsLookup(AgeInYears(birth, testDate), testType, c.L1, c.L2, c.L3, c.L4, normsVersion))
    return std::nullopt;
  return c;
}

QString TestStatusText(bool hasResults, bool interrupted) {
  if (!hasResults) return Str(17312);
  return Str(interrupted ? 17311 : 17310);
}

bool ListRecordHasResults(const KM_RQListTestBalanceData& r) {
  return !r.bIsFallen && r.lValidSamples > 10 && (r.fPlen > 0 || r.f95Area > 0 || r.fStability > 0);
}

ResultRowTexts BalanceResultRows(const BalanceRowsInput& in, const ReportUnits& u) {
  const KM_RQListTestBalanceData& r = in.record;
  const QString na = NotAvailableText();
  ResultRowTexts rows;
  rows.fill(na);
  rows[0].clear();

  rows[RowTestType] = orNA(TestTypeText(r.lTestType));
  rows[RowTestDate] = orNA(ShortDateText(r.dtDate));
  rows[RowTestTime] = orNA(MediumTimeText(r.dtDate));
  if (r.lTotalSamples > 0) {
    rows[RowDuration] = numberText(r.fActDuration, 3, "s");
    rows[RowTotalSamples] = numberText(r.lTotalSamples, 0);
    rows[RowValidSamples] = numberText(r.lValidSamples, 0);
  }
  if (r.fFrequency > 0) rows[RowFrequency] = numberText(r.fFrequency, 3, " Hz");
  rows[RowStatus] = TestStatusText(in.hasResults, r.bIsInterrupted);

  if (in.hasResults) {
    const int L = u.length;
    rows[RowXo] = SwayText(r.fXo, L);
    rows[RowYo] = SwayText(r.fYo, L);
    if (in.losML > 0 && in.losAP > 0) {
      // The theoretical sway is the whole width the limits allow, comparable with the actual sway.
      rows[RowLoSML] = SwayText(2.0 * in.losML, L);
      rows[RowLoSAP] = SwayText(2.0 * in.losAP, L);
    }
    rows[RowMaxSwayML] = SwayText(r.fMaxMLSway, L);
    rows[RowMaxSwayAP] = SwayText(r.fMaxAPSway, L);
    rows[Row95SwayML] = SwayText(r.f95MLSway, L);
    rows[Row95SwayAP] = SwayText(r.f95APSway, L);
    rows[Row95SwayMax] = SwayText(r.f95MaxSway, L);
    rows[Row95SwayMin] = SwayText(r.f95MinSway, L);
    rows[RowMaxSway] = SwayText(r.fMaxSway, L);
    rows[RowAveSway] = SwayText(r.fAveSway, L);
    rows[RowVMax] = orNA(FormatLength(r.fVMax, L, kSwayDecimals)) + Str(17350);
    rows[RowVAve] = orNA(FormatLength(r.fVAve, L, kSwayDecimals)) + Str(17350);
    rows[RowAMax] = orNA(FormatLength(r.fAMax, L, kSwayDecimals)) + Str(17351);
    rows[RowAAve] = orNA(FormatLength(r.fAAve, L, kSwayDecimals)) + Str(17351);
    if (rows[RowVMax].startsWith(na)) rows[RowVMax] = na;
    if (rows[RowVAve].startsWith(na)) rows[RowVAve] = na;
    if (rows[RowAMax].startsWith(na)) rows[RowAMax] = na;
    if (rows[RowAAve].startsWith(na)) rows[RowAAve] = na;
    rows[RowPathLength] = SwayText(r.fPlen, L);
    rows[RowArea] = AreaText(r.f95Area, L);
    rows[RowStability] = numberText(StabilityScorePercent(r.fStability), 1, "%");
    rows[RowStabilityClass] = orNA(StabilityClassName(r.lStabilityClass));
    rows[RowSwayDirection] = numberText(r.fSwayDirection * kDegreesPerRadian, 1, " " + Str(17360));
    rows[RowDirectionality] = PercentText(r.fDirectionality, 1);
    // A rise of the LoS use from the first half to the second is fatigue, a fall adaptation.
    rows[RowFatigue] = PercentText(std::max(0.0f, r.fFatigue), 1);
    rows[RowAdaptation] = PercentText(std::max(0.0f, -r.fFatigue), 1);
    rows[RowParP] = numberText(r.fParP, 2);
  }

  if (r.fHeight > 0) rows[RowHeight] = orNA(FormatLength(r.fHeight, u.length, kHeightDecimals));
  if (in.weightDisabled) {
    rows[RowWeight] = rows[RowBMI] = rows[RowBMIClass] = Str(17332);
  } else {
    if (r.fWeight > 0) rows[RowWeight] = orNA(FormatMass(r.fWeight, u.mass, kWeightDecimals));
    if (r.fBMI > 0) rows[RowBMI] = numberText(r.fBMI, 1);
    rows[RowBMIClass] = orNA(BMIClassName(r.lBMIClass));
  }
  return rows;
}

}  // namespace tarn
