#include "balance/procedures/plausibility.h"

#include <cmath>

#include "balance/plate/plate.h"

namespace tarn::plausible {
namespace {
// Far beyond any force platform (rated for a few kN, about half a metre wide), far beyond any
// test a clinic runs, and beyond any human being.
constexpr double kMaxForceN = 20000.0;
constexpr double kMaxMomentNm = 10000.0;
constexpr double kMaxFrequencyHz = 10000.0;
constexpr double kMaxSeconds = 3600.0;
constexpr double kMaxHeightM = 3.0;
constexpr double kMaxMassKg = 700.0;
constexpr double kMaxBMI = 200.0;
constexpr double kMaxDistanceM = 100.0;
constexpr double kFirstDate = -36522.0;  // 1 January 1800
constexpr double kLastDate = 109575.0;   // 1 January 2200
constexpr double kMaxItems = 10000000.0;
constexpr double kMaxSetting = 999.0;
}  // namespace

Range rangeOf(Quantity q) {
  switch (q) {
    case Quantity::Force:
      return {-kMaxForceN, kMaxForceN};
    case Quantity::Moment:
      return {-kMaxMomentNm, kMaxMomentNm};
    case Quantity::Frequency:
      return {0, kMaxFrequencyHz};
    case Quantity::Seconds:
      return {0, kMaxSeconds};
    case Quantity::Stability:
      return {0, 1};
    case Quantity::Result:
      return {-1, 200};
    case Quantity::Height:
      return {0, kMaxHeightM};
    case Quantity::Mass:
      return {0, kMaxMassKg};
    case Quantity::BMI:
      return {0, kMaxBMI};
    case Quantity::Acuity:
      return {-10, 100};
    case Quantity::Distance:
      return {0, kMaxDistanceM};
    case Quantity::Date:
      return {kFirstDate, kLastDate};
    case Quantity::Items:
      return {0, kMaxItems};
    case Quantity::Setting:
      return {0, kMaxSetting};
  }
  return {0, 0};
}

bool isPlausible(Quantity q, double value) {
  const Range r = rangeOf(q);
  return std::isfinite(value) && value >= r.low && value <= r.high;
}

bool isPlausible(Code code, qint32 v) {
  switch (code) {
    case Code::StabilityClass:
      return v >= 0 && v <= 5;
    case Code::BMIClass:
      return v >= 0 && v <= 9 && v != 5;
    case Code::VisionClass:
      return v >= 0 && v <= 3;
    case Code::TestType:
      return v >= 0 && v <= 4;
    case Code::Eye:
      return v >= 0 && v <= 3;
    case Code::Sex:
      return v >= 0 && v <= 2;
    case Code::Flag:
      return v == 0 || v == 1 || v == -1;
  }
  return false;
}

qint32 firstImplausibleSample(const KMX_PlateTestData& data) {
  const qint32 n = data.Count();
  if (n > 0 && !isPlausible(Quantity::Frequency, data.Frequency())) return 0;
  // Comparisons against the limits are false for NaN, so one test per value catches both.
  auto bad = [](float fz, float m1, float m2) {
    return !(std::fabs(fz) <= kMaxForceN) || !(std::fabs(m1) <= kMaxMomentNm) ||
           !(std::fabs(m2) <= kMaxMomentNm);
  };
  // Stored recordings hold their channels whole: read them straight, without a call per value.
  if (const auto* buffer = dynamic_cast<const PlateTestDataBuffer*>(&data)) {
    const float *fz = buffer->channel(0), *m1 = buffer->channel(1), *m2 = buffer->channel(2);
    if (n > 0 && fz && m1 && m2) {
      // A pass without early exit vectorises; only a recording that fails it is searched again.
      bool any = false;
      for (qint32 i = 0; i < n; ++i) any |= bad(fz[i], m1[i], m2[i]);
      if (!any) return -1;
    }
  }
  for (qint32 i = 0; i < n; ++i)
    if (bad(data.Sample(0, i), data.Sample(1, i), data.Sample(2, i))) return i;
  return -1;
}

}  // namespace tarn::plausible
