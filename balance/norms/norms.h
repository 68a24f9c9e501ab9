#pragma once
// Normative comparison: the subject's age, the age-banded stability limits of the three norms
// versions, the stability class of a score, and the body-mass-index limits and classes.
//
// Dates are day counts from 30 December 1899 (fraction = time of day, negative dates carry the
// time as a positive fraction, as the stored date encoding does); clock::kMissingDate means "no date".
#include <optional>

#include <QString>
#include <QStringView>
#include <QtGlobal>

#include "balance/balancesettings.h"
#include "balance/norms/normtypes.h"

namespace tarn {

inline constexpr int kDefaultNormsVersion = settings::kNewestNormsVersion;  // used when none is set

// Fractional ages from a date of birth to a date: whole years (months) passed plus the days since
// the last anniversary over the mean year (month) length. An anniversary that falls on a day the
// month lacks (29 February, the 31st) moves to the month's last day.
double AgeInYears(double birth, double at);
double AgeInMonths(double birth, double at);

// Writes the four class limits L1 > L2 > L3 > L4 (percent of stability score) for the age in
// years, the test type and the norms version (1, 2 or 3). For another version, a type without
// norms or an age that is not a number, the outputs keep their values and the result is false.
bool NormsLookup(double ageYears, KM_RQNormTestType type, double& L1, double& L2, double& L3, double& L4,
                 int normsVersion);
// The same for a type as stored in a test record (lTestType).
bool NormsLookup(double ageYears, qint32 type, double& L1, double& L2, double& L3, double& L4,
                 int normsVersion);

// The score in percent with one decimal: fStability × 1000 (single precision, as the measure is
// stored) rounded to the nearest integer with ties to even, then divided by 10.
double StabilityScorePercent(float fStability);

// Class of a score s (percent): a score equal to a limit belongs to the better class.
KM_RQNormsClass NormsClassOf(double s, double L1, double L2, double L3, double L4);

// The norms version in force ("NormsVersion" in the main settings key, text, default 3), read
// on every call so a change applies to the next classification. Text that is not a whole
// number ("3" or "3.0") is logged and read as 0, a version without norms.
int NormsVersion();

// The whole rule for a score at a known age under a given version; nullopt when no norms apply
// (type Other, unknown version).
std::optional<KM_RQNormsClass> StabilityClass(float fStability, double ageYears, KM_RQNormTestType type,
                                              int normsVersion);
// The rule as the station applies it to a test: age from the dates, version from the settings.
// nullopt also when either date is missing.
std::optional<KM_RQNormsClass> ClassifyStability(float fStability, double birth, double testDate,
                                                 KM_RQNormTestType type);

// BMI limits for an age in months: U (95th), H (85th) and L (5th percentile) of the CDC 2000
// BMI-for-age charts for children from 24 months (sex 1 = boys, any other value = girls), fixed
// child limits below 24 months, adult limits 30 / 25 / 18.5 from 241 months (boys) or 240
// months (girls).
void BMILimits(double ageMonths, qint32 sex, double& U, double& H, double& L, bool& isChild);

// Class of a BMI against limits; BMI and limits are compared in single precision.
KM_RQBMINormsClass BMIClassOf(float fBMI, double U, double H, double L, bool isChild);

// The whole BMI rule for a test; nullopt when either date is missing.
std::optional<KM_RQBMINormsClass> ClassifyBMI(float fBMI, double birth, double testDate, qint32 sex);

// Short codes of the norm test types ("NSEO", "NSEC", "PSEO", "PSEC"), case-insensitive on input.
std::optional<KM_RQNormTestType> NormTestTypeFromCode(QStringView code);
QString NormTestTypeCode(KM_RQNormTestType type);  // "" for Other

// One row of the children's BMI table (month m covers ages m up to m + 1).
struct BMIPercentileRow {
  qint16 month;
  double p95;  // U
  double p85;  // H
  double p5;   // L
};
// The built-in tables: boys months 24..240, girls months 24..239, in month order.
const BMIPercentileRow* BMIBoysTable(int& count);
const BMIPercentileRow* BMIGirlsTable(int& count);

}  // namespace tarn
