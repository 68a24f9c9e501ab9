#include "options/testitemform.h"

#include <cmath>

#include "options/optionsmodel.h"
#include "support/strings/strings.h"
#include "support/units/units.h"

namespace tarn::options {
namespace {
constexpr double kMinFrequencyHz = 10.0, kMaxFrequencyHz = 990.0;  // both excluded
constexpr double kMaxPreTestS = 600.0;
constexpr double kMinDurationS = 20.0, kMaxDurationS = 600.0;
constexpr double kMaxIntervalS = 60.0;
constexpr double kMinTestsPerSize = 4.0, kMaxTestsPerSize = 100.0;
constexpr int kDistanceDecimals = 2;  // for metres

ItemCheck fail(int id, ItemField field) { return {false, Str(id), field}; }

// A whole number, or false.
bool parseWhole(const QString& text, double& v) { return parseNumber(text, v) && v == std::floor(v); }
}  // namespace

QString compactNumber(double value) {
  QString t = FormatNumber(value, 3);
  if (t.contains(QLatin1Char('.'))) {
    while (t.endsWith(QLatin1Char('0'))) t.chop(1);
    if (t.endsWith(QLatin1Char('.'))) t.chop(1);
  }
  return t;
}

TestItemForm formFromItem(const KM_RQTemplateItem& item, int lengthUnit) {
  TestItemForm f;
  f.name = item.sName;
  f.vision = item.isVision();
  if (f.vision) {
    f.eye = item.eye() >= 1 && item.eye() <= 3 ? item.eye() : 0;
    f.interval = compactNumber(item.intervalSeconds());
    f.distance =
        item.distance() > 0.0 ? FormatLength(item.distance(), lengthUnit, kDistanceDecimals) : QString();
    f.testsPerSize = QString::number(item.testsPerSize());
    f.correctAnswers = QString::number(item.correctAnswers());
    f.fullScreen = item.fullScreenBackground();
    f.highContrast = item.highContrast();
  } else {
    f.surface = item.surface() == kSurfacePlate || item.surface() == kSurfaceFoam ? item.surface() : 0;
    f.eyes = item.eyes() == kEyesOpen || item.eyes() == kEyesClosed ? item.eyes() : 0;
    f.beepBegin = item.beepBegin();
    f.beepEnd = item.beepEnd();
    f.frequency = compactNumber(item.frequencyHz());
    f.preTest = compactNumber(item.preTestSeconds());
    f.duration = compactNumber(item.durationSeconds());
  }
  return f;
}

ItemCheck checkTestItem(const TestItemForm& f, int lengthUnit, double minimumDistance) {
  if (f.name.trimmed().isEmpty()) return fail(6371, ItemField::Name);
  double v = 0;
  if (!f.vision) {
    if (f.surface < 1 || f.surface > 2) return fail(6372, ItemField::Surface);
    if (f.eyes < 1 || f.eyes > 2) return fail(6373, ItemField::Eyes);
    if (!parseNumber(f.frequency, v)) return fail(6374, ItemField::Frequency);
    if (v <= kMinFrequencyHz || v >= kMaxFrequencyHz) return fail(6375, ItemField::Frequency);
    if (!parseNumber(f.preTest, v)) return fail(6376, ItemField::PreTest);
    if (v < 0.0) return fail(6377, ItemField::PreTest);
    if (v > kMaxPreTestS) return fail(6388, ItemField::PreTest);
    if (!parseNumber(f.duration, v)) return fail(6378, ItemField::Duration);
    if (v < kMinDurationS) return fail(6379, ItemField::Duration);
    if (v > kMaxDurationS) return fail(6389, ItemField::Duration);
    return {};
  }
  if (f.eye < 1 || f.eye > 3) return fail(6380, ItemField::Eye);
  if (!parseNumber(f.interval, v)) return fail(6381, ItemField::Interval);
  if (v < 0.0) return fail(6382, ItemField::Interval);
  if (v > kMaxIntervalS) return fail(6390, ItemField::Interval);
  const UnitParseResult d = ParseLength(f.distance, lengthUnit);
  if (!d) return {false, Str(6395).arg(f.distance.trimmed(), d.error), ItemField::Distance};
  if (!(d.si > minimumDistance) || !(d.si > 0.0)) return fail(6383, ItemField::Distance);
  double tests = 0;
  if (!parseWhole(f.testsPerSize, tests)) return fail(6384, ItemField::TestsPerSize);
  if (tests < kMinTestsPerSize) return fail(6385, ItemField::TestsPerSize);
  if (tests > kMaxTestsPerSize) return fail(6391, ItemField::TestsPerSize);
  if (!parseWhole(f.correctAnswers, v)) return fail(6386, ItemField::CorrectAnswers);
  if (v > tests) return fail(6387, ItemField::CorrectAnswers);
  if (v < 1.0) return fail(6392, ItemField::CorrectAnswers);
  return {};
}

void updateTestItem(const TestItemForm& f, int lengthUnit, KM_RQTemplateItem& item) {
  item.sName = f.name.trimmed();
  double v = 0;
  if (!f.vision) {
    item.setSurface(f.surface);
    item.setEyes(f.eyes);
    item.setBeepBegin(f.beepBegin);
    item.setBeepEnd(f.beepEnd);
    if (parseNumber(f.frequency, v)) item.setFrequencyHz(v);
    if (parseNumber(f.preTest, v)) item.setPreTestSeconds(v);
    if (parseNumber(f.duration, v)) item.setDurationSeconds(v);
    return;
  }
  item.setEye(f.eye);
  if (parseNumber(f.interval, v)) item.setIntervalSeconds(v);
  if (const UnitParseResult d = ParseLength(f.distance, lengthUnit)) item.setDistance(d.si);
  if (parseNumber(f.testsPerSize, v)) item.setTestsPerSize(static_cast<qint32>(v));
  if (parseNumber(f.correctAnswers, v)) item.setCorrectAnswers(static_cast<qint32>(v));
  item.setFullScreenBackground(f.fullScreen);
  item.setHighContrast(f.highContrast);
}

QString distanceLabel(double minimumDistance, int lengthUnit) {
  const QString minimum =
      minimumDistance > 0.0 ? FormatLength(minimumDistance, lengthUnit, kDistanceDecimals) : Str(6394);
  return Str(6365) + minimum + Str(6366);
}

}  // namespace tarn::options
