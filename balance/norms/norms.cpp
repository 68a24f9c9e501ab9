#include "balance/norms/norms.h"

#include <cmath>
#include <cstdint>
#include <iterator>

#include "balance/balancesettings.h"
#include "core/clock.h"
#include "core/eventlog.h"
#include "core/settingkeys.h"
#include "core/settings.h"

namespace tarn {
namespace {

constexpr double kDaysPerYear = 365.2425;
constexpr double kDaysPerMonth = kDaysPerYear / 12.0;

// ---- Calendar arithmetic on day counts --------------------------------------------------------

struct Ymd {
  std::int64_t y;
  int m;  // 1..12
  int d;  // 1..31
};

// Days from 1970-01-01 for a proleptic Gregorian date, and back (integer algorithms, exact for
// every representable date).
std::int64_t daysFromCivil(std::int64_t y, int m, int d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

Ymd civilFromDays(std::int64_t z) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  const int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  const int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  return {yoe + era * 400 + (m <= 2), m, d};
}

const std::int64_t kEpochOffset = daysFromCivil(1899, 12, 30);  // day 0 of the date encoding

bool isLeap(std::int64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int daysInMonth(std::int64_t y, int m) {
  static constexpr int kLen[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && isLeap(y) ? 29 : kLen[m - 1];
}

// A stored date as a point on a continuous day line. Before day 0 the encoding keeps the day in
// the integer part and the time as a positive fraction (-1.25 is 29 Dec 1899, 06:00).
double linearDays(double date) {
  const double day = std::trunc(date);
  return day + std::fabs(date - day);
}

struct DayAndTime {
  Ymd ymd;
  double time;  // fraction of the day, 0 <= time < 1
};

DayAndTime split(double date) {
  const double lin = linearDays(date);
  const double day = std::floor(lin);
  return {civilFromDays(static_cast<std::int64_t>(day) + kEpochOffset), lin - day};
}

// The date `months` calendar months after `from` (same time of day); a day the target month
// lacks becomes the month's last day.
double addMonths(const DayAndTime& from, std::int64_t months) {
  const std::int64_t idx = from.ymd.y * 12 + (from.ymd.m - 1) + months;
  const std::int64_t y = idx >= 0 ? idx / 12 : -((-idx + 11) / 12);
  const int m = static_cast<int>(idx - y * 12) + 1;
  const int d = std::min(from.ymd.d, daysInMonth(y, m));
  return static_cast<double>(daysFromCivil(y, m, d) - kEpochOffset) + from.time;
}

// ---- Norms tables ----------------------------------------------------------------------------

struct Limits {
  double l1, l2, l3, l4;
};

// One age band: the band's bound and the limits for NSEO, NSEC, PSEO, PSEC.
struct Band {
  double bound;
  Limits byType[4];
};

constexpr double kOpen = INFINITY;

// clang-format off
// Version 1: a band covers ages above the previous bound up to and including its own.
constexpr Band kVersion1[] = {
    {10, {{85.0, 75.0, 65.0, 55.0}, {85.0, 75.0, 65.0, 55.0}, {80.0, 70.0, 60.0, 50.0}, {70.0, 60.0, 50.0, 40.0}}},
    {40, {{91.0, 81.0, 71.0, 60.0}, {88.0, 79.0, 70.0, 60.0}, {84.0, 75.0, 65.0, 55.0}, {73.0, 64.0, 55.0, 45.0}}},
    {50, {{92.0, 82.0, 71.0, 60.0}, {90.0, 80.0, 70.0, 60.0}, {84.0, 75.0, 65.0, 55.0}, {75.0, 67.0, 59.0, 50.0}}},
    {60, {{90.0, 80.0, 70.0, 60.0}, {87.0, 77.0, 67.0, 57.0}, {84.0, 75.0, 65.0, 55.0}, {72.0, 63.0, 54.0, 45.0}}},
    {70, {{90.0, 80.0, 70.0, 60.0}, {87.0, 77.0, 67.0, 57.0}, {80.0, 70.0, 60.0, 50.0}, {68.0, 59.0, 50.0, 40.0}}},
    {80, {{90.0, 80.0, 70.0, 60.0}, {86.0, 76.0, 66.0, 56.0}, {80.0, 70.0, 60.0, 50.0}, {65.0, 55.0, 45.0, 35.0}}},
    {kOpen, {{88.0, 79.0, 70.0, 60.0}, {85.0, 75.0, 65.0, 55.0}, {77.0, 66.0, 55.0, 45.0}, {60.0, 50.0, 40.0, 30.0}}},
};

// Version 2: bands closed at their upper bound, as version 1.
constexpr Band kVersion2[] = {
    {40, {{89.0, 86.0, 82.0, 79.0}, {87.0, 83.0, 78.0, 74.0}, {84.0, 79.0, 73.0, 69.0}, {74.0, 64.0, 53.0, 43.0}}},
    {50, {{90.0, 87.0, 83.0, 80.0}, {88.0, 84.0, 80.0, 77.0}, {84.0, 79.0, 73.0, 69.0}, {73.0, 67.0, 59.0, 52.0}}},
    {60, {{88.0, 85.0, 79.0, 73.0}, {87.0, 83.0, 77.0, 70.0}, {82.0, 78.0, 71.0, 64.0}, {71.0, 66.0, 57.0, 47.0}}},
    {70, {{88.0, 85.0, 78.0, 73.0}, {85.0, 81.0, 76.0, 70.0}, {80.0, 75.0, 68.0, 64.0}, {67.0, 60.0, 50.0, 43.0}}},
    {80, {{87.0, 85.0, 78.0, 73.0}, {85.0, 80.0, 74.0, 70.0}, {78.0, 74.0, 67.0, 64.0}, {64.0, 56.0, 45.0, 38.0}}},
    {kOpen, {{87.0, 85.0, 78.0, 73.0}, {85.0, 80.0, 74.0, 70.0}, {72.0, 65.0, 55.0, 51.0}, {58.0, 51.0, 40.0, 36.0}}},
};

// Version 3: a band covers ages from the previous bound up to, but not including, its own.
constexpr Band kVersion3[] = {
    {20, {{88.8, 85.0, 80.6, 71.7}, {84.5, 78.9, 72.2, 58.9}, {84.8, 80.9, 76.2, 66.8}, {74.7, 70.0, 64.4, 53.3}}},
    {40, {{90.3, 87.4, 83.9, 77.0}, {89.2, 86.1, 82.5, 75.3}, {85.0, 81.3, 76.9, 68.3}, {74.9, 69.6, 63.2, 50.5}}},
    {50, {{91.5, 89.2, 86.5, 81.2}, {88.9, 85.5, 81.5, 73.5}, {85.3, 81.6, 77.1, 68.2}, {74.8, 68.5, 60.9, 45.9}}},
    {60, {{89.5, 86.6, 83.2, 76.4}, {87.7, 84.4, 80.6, 72.9}, {82.6, 78.4, 73.4, 63.5}, {71.0, 65.7, 59.4, 46.8}}},
    {70, {{90.0, 87.7, 84.9, 79.4}, {86.3, 82.3, 77.6, 68.3}, {81.1, 76.5, 70.9, 60.0}, {69.8, 63.5, 55.9, 41.0}}},
    {80, {{88.3, 84.7, 80.4, 71.9}, {86.2, 82.0, 77.1, 67.2}, {79.4, 75.2, 70.3, 60.4}, {64.7, 56.3, 46.4, 26.7}}},
    {kOpen, {{90.8, 89.3, 87.5, 84.0}, {89.6, 87.3, 84.6, 79.3}, {71.2, 64.5, 56.5, 40.7}, {59.5, 50.4, 39.7, 18.4}}},
};
// clang-format on

template <std::size_t N>
const Band& bandClosedAbove(const Band (&bands)[N], double age) {
  for (const Band& b : bands)
    if (age <= b.bound) return b;
  return bands[N - 1];
}

template <std::size_t N>
const Band& bandClosedBelow(const Band (&bands)[N], double age) {
  for (const Band& b : bands)
    if (age < b.bound) return b;
  return bands[N - 1];
}

// Ties-to-even rounding that does not depend on the floating-point rounding mode.
double roundHalfEven(double x) {
  const double lower = std::floor(x);
  const double frac = x - lower;
  if (frac > 0.5) return lower + 1.0;
  if (frac < 0.5) return lower;
  return std::fmod(lower, 2.0) == 0.0 ? lower : lower + 1.0;
}

bool isMissing(double date) { return date == clock::kMissingDate || std::isnan(date); }

// Adult BMI limits and the limits used below the children's table.
constexpr double kAdultU = 30.0, kAdultH = 25.0, kAdultL = 18.5;
constexpr double kInfantU = 100.0, kInfantH = 100.0, kInfantL = 0.0;
constexpr int kFirstTableMonth = 24;

}  // namespace

double AgeInYears(double birth, double at) {
  const DayAndTime b = split(birth);
  const DayAndTime a = split(at);
  std::int64_t y = a.ymd.y - b.ymd.y;
  if (a.ymd.m < b.ymd.m || (a.ymd.m == b.ymd.m && a.ymd.d < b.ymd.d)) --y;
  return static_cast<double>(y) + (linearDays(at) - addMonths(b, 12 * y)) / kDaysPerYear;
}

double AgeInMonths(double birth, double at) {
  const DayAndTime b = split(birth);
  const DayAndTime a = split(at);
  std::int64_t m = 12 * (a.ymd.y - b.ymd.y) + a.ymd.m - b.ymd.m;
  if (a.ymd.d < b.ymd.d) --m;
  return static_cast<double>(m) + (linearDays(at) - addMonths(b, m)) / kDaysPerMonth;
}

bool NormsLookup(double ageYears, KM_RQNormTestType type, double& L1, double& L2, double& L3, double& L4,
                 int normsVersion) {
  const auto t = static_cast<qint32>(type);
  if (t < static_cast<qint32>(KM_RQNormTestType::First) || t > static_cast<qint32>(KM_RQNormTestType::Last) ||
      std::isnan(ageYears))
    return false;
  const Band* band = nullptr;
  switch (normsVersion) {
    case 1:
      band = &bandClosedAbove(kVersion1, ageYears);
      break;
    case 2:
      band = &bandClosedAbove(kVersion2, ageYears);
      break;
    case 3:
      band = &bandClosedBelow(kVersion3, ageYears);
      break;
    default:
      return false;
  }
  const Limits& lim = band->byType[t - 1];
  L1 = lim.l1;
  L2 = lim.l2;
  L3 = lim.l3;
  L4 = lim.l4;
  return true;
}

bool NormsLookup(double ageYears, qint32 type, double& L1, double& L2, double& L3, double& L4,
                 int normsVersion) {
  return NormsLookup(ageYears, static_cast<KM_RQNormTestType>(type), L1, L2, L3, L4, normsVersion);
}

double StabilityScorePercent(float fStability) {
  const float permille = fStability * 1000.0f;
  return roundHalfEven(permille) / 10.0;
}

KM_RQNormsClass NormsClassOf(double s, double L1, double L2, double L3, double L4) {
  if (s >= L1) return KM_RQNormsClass::Normal;
  if (s >= L2) return KM_RQNormsClass::Mildly;
  if (s >= L3) return KM_RQNormsClass::Moderately;
  if (s >= L4) return KM_RQNormsClass::Severely;
  return KM_RQNormsClass::Profundly;
}

int NormsVersion() {
  const QString text = settings::read(settings::NormsVersion).trimmed();
  bool ok = false;
  const int version = text.toInt(&ok);
  if (ok) return version;
  // "3.0" names version 3 as well.
  const double number = text.toDouble(&ok);
  if (ok && number == std::trunc(number) && std::fabs(number) < 1000) return static_cast<int>(number);
  ProcLog log("Analysis", "NormsVersion");
  log.error(QStringLiteral("The norms version \"%1\" is not a whole number; no norms apply").arg(text));
  return 0;
}

std::optional<KM_RQNormsClass> StabilityClass(float fStability, double ageYears, KM_RQNormTestType type,
                                              int normsVersion) {
  double l1 = 0, l2 = 0, l3 = 0, l4 = 0;
  if (!NormsLookup(ageYears, type, l1, l2, l3, l4, normsVersion)) return std::nullopt;
  return NormsClassOf(StabilityScorePercent(fStability), l1, l2, l3, l4);
}

std::optional<KM_RQNormsClass> ClassifyStability(float fStability, double birth, double testDate,
                                                 KM_RQNormTestType type) {
  // The log carries no results, ages or classes: they are the subject's health data.
  ProcLog log("Analysis", "ClassifyStability", QStringLiteral("Type %1").arg(static_cast<qint32>(type)));
  if (isMissing(birth) || isMissing(testDate)) {
    log.step(QStringLiteral("No date of birth or test date: no class"));
    log.completed();
    return std::nullopt;
  }
  const double age = AgeInYears(birth, testDate);
  const int version = NormsVersion();
  const auto cls = StabilityClass(fStability, age, type, version);
  if (cls)
    log.step(QStringLiteral("Classified with norms version %1").arg(version));
  else
    log.step(
        QStringLiteral("No norms for type %1 under version %2").arg(static_cast<qint32>(type)).arg(version));
  log.completed();
  return cls;
}

void BMILimits(double ageMonths, qint32 sex, double& U, double& H, double& L, bool& isChild) {
  int count = 0;
  const BMIPercentileRow* rows = sex == 1 ? BMIBoysTable(count) : BMIGirlsTable(count);
  const int lastMonth = rows[count - 1].month;
  if (std::isnan(ageMonths) || ageMonths < kFirstTableMonth) {
    U = kInfantU;
    H = kInfantH;
    L = kInfantL;
    isChild = true;
  } else if (ageMonths >= lastMonth + 1) {
    U = kAdultU;
    H = kAdultH;
    L = kAdultL;
    isChild = false;
  } else {
    const BMIPercentileRow& row = rows[static_cast<int>(std::floor(ageMonths)) - kFirstTableMonth];
    U = row.p95;
    H = row.p85;
    L = row.p5;
    isChild = true;
  }
}

KM_RQBMINormsClass BMIClassOf(float fBMI, double U, double H, double L, bool isChild) {
  if (fBMI >= static_cast<float>(U))
    return isChild ? KM_RQBMINormsClass::POverweight : KM_RQBMINormsClass::AObese;
  if (fBMI >= static_cast<float>(H))
    return isChild ? KM_RQBMINormsClass::PRiskOverweight : KM_RQBMINormsClass::AOverweight;
  if (fBMI >= static_cast<float>(L))
    return isChild ? KM_RQBMINormsClass::PHealthyWeight : KM_RQBMINormsClass::ANormal;
  return isChild ? KM_RQBMINormsClass::PUnderweight : KM_RQBMINormsClass::AUnderweight;
}

std::optional<KM_RQBMINormsClass> ClassifyBMI(float fBMI, double birth, double testDate, qint32 sex) {
  ProcLog log("Analysis", "ClassifyBMI");
  if (isMissing(birth) || isMissing(testDate)) {
    log.step(QStringLiteral("No date of birth or test date: no class"));
    log.completed();
    return std::nullopt;
  }
  const double months = AgeInMonths(birth, testDate);
  double u = 0, h = 0, l = 0;
  bool child = false;
  BMILimits(months, sex, u, h, l, child);
  const KM_RQBMINormsClass cls = BMIClassOf(fBMI, u, h, l, child);
  log.step(QStringLiteral("Classified"));
  log.completed();
  return cls;
}

std::optional<KM_RQNormTestType> NormTestTypeFromCode(QStringView code) {
  static constexpr struct {
    const char* code;
    KM_RQNormTestType type;
  } kCodes[] = {{"NSEO", KM_RQNormTestType::NSEO},
                {"NSEC", KM_RQNormTestType::NSEC},
                {"PSEO", KM_RQNormTestType::PSEO},
                {"PSEC", KM_RQNormTestType::PSEC}};
  const QStringView trimmed = code.trimmed();
  for (const auto& c : kCodes)
    if (trimmed.compare(QLatin1String(c.code), Qt::CaseInsensitive) == 0) return c.type;
  return std::nullopt;
}

QString NormTestTypeCode(KM_RQNormTestType type) {
  switch (type) {
    case KM_RQNormTestType::NSEO:
      return QStringLiteral("NSEO");
    case KM_RQNormTestType::NSEC:
      return QStringLiteral("NSEC");
    case KM_RQNormTestType::PSEO:
      return QStringLiteral("PSEO");
    case KM_RQNormTestType::PSEC:
      return QStringLiteral("PSEC");
    default:
      return QString();
  }
}

}  // namespace tarn
