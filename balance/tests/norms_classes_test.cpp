// Norms bands, score rounding and stability classes.
#include <cmath>
#include <limits>

#include <QDate>

#include <gtest/gtest.h>

#include "balance/norms/norms.h"
#include "core/settingkeys.h"
#include "core/settings.h"

namespace tarn {
namespace {

using T = KM_RQNormTestType;
using C = KM_RQNormsClass;

struct L4 {
  double l1, l2, l3, l4;
  bool operator==(const L4&) const = default;
};

L4 lookup(double age, T type, int version) {
  L4 out{-1, -1, -1, -1};
  EXPECT_TRUE(NormsLookup(age, type, out.l1, out.l2, out.l3, out.l4, version))
      << "age " << age << " version " << version;
  return out;
}

double below(double x) { return std::nextafter(x, -std::numeric_limits<double>::infinity()); }
double above(double x) { return std::nextafter(x, std::numeric_limits<double>::infinity()); }

// Both sides of every band edge, with a column whose limits differ across that edge.
struct Edge {
  int version;
  double age;
  T type;
  L4 atOrBelow;  // the band holding ages just under the edge (and the edge itself for 1 and 2)
  L4 above;      // the band holding ages just over the edge (and the edge itself for 3)
};

const Edge kEdges[] = {
    {1, 10, T::NSEO, {85, 75, 65, 55}, {91, 81, 71, 60}},
    {1, 40, T::NSEO, {91, 81, 71, 60}, {92, 82, 71, 60}},
    {1, 50, T::NSEC, {90, 80, 70, 60}, {87, 77, 67, 57}},
    {1, 60, T::PSEC, {72, 63, 54, 45}, {68, 59, 50, 40}},
    {1, 70, T::NSEC, {87, 77, 67, 57}, {86, 76, 66, 56}},
    {1, 80, T::PSEO, {80, 70, 60, 50}, {77, 66, 55, 45}},
    {2, 40, T::NSEC, {87, 83, 78, 74}, {88, 84, 80, 77}},
    {2, 50, T::NSEO, {90, 87, 83, 80}, {88, 85, 79, 73}},
    {2, 60, T::PSEO, {82, 78, 71, 64}, {80, 75, 68, 64}},
    {2, 70, T::PSEC, {67, 60, 50, 43}, {64, 56, 45, 38}},
    {2, 80, T::PSEC, {64, 56, 45, 38}, {58, 51, 40, 36}},
    {3, 20, T::NSEO, {88.8, 85.0, 80.6, 71.7}, {90.3, 87.4, 83.9, 77.0}},
    {3, 40, T::NSEC, {89.2, 86.1, 82.5, 75.3}, {88.9, 85.5, 81.5, 73.5}},
    {3, 50, T::PSEO, {85.3, 81.6, 77.1, 68.2}, {82.6, 78.4, 73.4, 63.5}},
    {3, 60, T::PSEC, {71.0, 65.7, 59.4, 46.8}, {69.8, 63.5, 55.9, 41.0}},
    {3, 70, T::NSEO, {90.0, 87.7, 84.9, 79.4}, {88.3, 84.7, 80.4, 71.9}},
    {3, 80, T::PSEC, {64.7, 56.3, 46.4, 26.7}, {59.5, 50.4, 39.7, 18.4}},
};

TEST(NormsLookupBands, BothSidesOfEveryEdge) {
  for (const Edge& e : kEdges) {
    SCOPED_TRACE(::testing::Message() << "version " << e.version << " edge " << e.age);
    EXPECT_EQ(lookup(below(e.age), e.type, e.version), e.atOrBelow);
    EXPECT_EQ(lookup(above(e.age), e.type, e.version), e.above);
    // Versions 1 and 2 close a band at its upper end, version 3 at its lower end.
    EXPECT_EQ(lookup(e.age, e.type, e.version), e.version == 3 ? e.above : e.atOrBelow);
  }
}

TEST(NormsLookupBands, OpenEnds) {
  EXPECT_EQ(lookup(0, T::PSEC, 1), (L4{70, 60, 50, 40}));
  EXPECT_EQ(lookup(-1, T::NSEO, 3), (L4{88.8, 85.0, 80.6, 71.7}));
  EXPECT_EQ(lookup(120, T::NSEC, 2), (L4{85, 80, 74, 70}));
  EXPECT_EQ(lookup(120, T::PSEO, 3), (L4{71.2, 64.5, 56.5, 40.7}));
}

TEST(NormsLookupBands, NoNormsLeaveTheCallersLimits) {
  // Unknown versions, unknown type numbers, no age.
  const std::tuple<double, qint32, int> bad[] = {{30, 1, 0}, {30, 1, 4},  {30, 1, -3},         {30, 0, 3},
                                                 {30, 5, 3}, {30, -1, 3}, {std::nan(""), 1, 3}};
  for (const auto& [age, type, version] : bad) {
    L4 out{1, 2, 3, 4};
    EXPECT_FALSE(NormsLookup(age, type, out.l1, out.l2, out.l3, out.l4, version)) << type << " " << version;
    EXPECT_EQ(out, (L4{1, 2, 3, 4}));
  }
  // A stored type number reads the same column as the enumeration.
  L4 out;
  EXPECT_TRUE(NormsLookup(30, qint32{4}, out.l1, out.l2, out.l3, out.l4, 3));
  EXPECT_EQ(out, (L4{74.9, 69.6, 63.2, 50.5}));
}

TEST(NormsScore, RoundsPermilleWithTiesToEven) {
  // 812.5 → 812, 437.5 → 438, 62.5 → 62.
  const std::pair<float, double> cases[] = {{0.9f, 90.0},   {0.8125f, 81.2}, {0.4375f, 43.8},
                                            {0.0625f, 6.2}, {0.8126f, 81.3}, {0.81249f, 81.2},
                                            {0.0f, 0.0},    {1.0f, 100.0}};
  for (const auto& [stability, percent] : cases)
    EXPECT_DOUBLE_EQ(StabilityScorePercent(stability), percent) << stability;
}

TEST(NormsClass, LimitBelongsToTheBetterClass) {
  const std::pair<double, C> cases[] = {{90.3, C::Normal},     {90.2, C::Mildly},     {87.4, C::Mildly},
                                        {87.3, C::Moderately}, {83.9, C::Moderately}, {83.8, C::Severely},
                                        {77.0, C::Severely},   {76.9, C::Profundly}};
  for (const auto& [score, cls] : cases) EXPECT_EQ(NormsClassOf(score, 90.3, 87.4, 83.9, 77.0), cls) << score;
}

TEST(NormsClass, WholeRuleFromStabilityScore) {
  // 0.9 is 90.0 %: below L1 91 of version 1 at 25, on L1 90.0 of version 3 at 65.
  EXPECT_EQ(StabilityClass(0.9f, 25, T::NSEO, 1), C::Mildly);
  EXPECT_EQ(StabilityClass(0.9f, 65, T::NSEO, 3), C::Normal);
  // Limits met after the one-decimal rounding: 0.903 → 90.3 = L1 (version 3, 20-40, NSEO).
  EXPECT_EQ(StabilityClass(0.903f, 30, T::NSEO, 3), C::Normal);
  EXPECT_EQ(StabilityClass(0.9025f, 30, T::NSEO, 3), C::Mildly);  // 902.5 → 902
  // Ties that round down drop below a limit: 812.5 → 81.2 < L2 81.3 (PSEO, 20-40) and
  // 562.5 → 56.2 < L2 56.3 (PSEC, 70-80).
  EXPECT_EQ(StabilityClass(0.8125f, 30, T::PSEO, 3), C::Moderately);
  EXPECT_EQ(StabilityClass(0.5625f, 75, T::PSEC, 3), C::Moderately);
  EXPECT_EQ(StabilityClass(0.1f, 75, T::PSEC, 3), C::Profundly);
  EXPECT_EQ(StabilityClass(0.9f, 30, T::Other, 3), std::nullopt);
  EXPECT_EQ(StabilityClass(0.9f, 30, T::NSEO, 7), std::nullopt);
}

TEST(NormsClass, TypeCodes) {
  EXPECT_EQ(NormTestTypeFromCode(u"PSEC"), T::PSEC);
  EXPECT_EQ(NormTestTypeFromCode(u" nsec "), T::NSEC);
  EXPECT_EQ(NormTestTypeFromCode(u"NSE"), std::nullopt);
  EXPECT_EQ(NormTestTypeFromCode(u""), std::nullopt);
  for (T t : {T::NSEO, T::NSEC, T::PSEO, T::PSEC}) EXPECT_EQ(NormTestTypeFromCode(NormTestTypeCode(t)), t);
  EXPECT_EQ(NormTestTypeCode(T::Other), QString());
}

void setNormsVersion(const QString& text) {
  SettingWriteString(Hive::CurrentUser, QString::fromLatin1(settings::kRootKey),
                     QStringLiteral("NormsVersion"), text);
}

double day(int y, int m, int d) { return static_cast<double>(QDate(1899, 12, 30).daysTo(QDate(y, m, d))); }

TEST(NormsSettings, VersionIsReadAtEveryClassification) {
  const double birth = day(1960, 3, 1);
  const double test = day(2025, 3, 1);  // 65 years
  EXPECT_EQ(NormsVersion(), 3);         // nothing stored yet
  // 85.0 %: version 3 (90.0 / 87.7 / 84.9 / 79.4) against version 1 (90 / 80 / 70 / 60).
  EXPECT_EQ(ClassifyStability(0.85f, birth, test, T::NSEO), C::Moderately);
  setNormsVersion(QStringLiteral("1"));
  EXPECT_EQ(NormsVersion(), 1);
  EXPECT_EQ(ClassifyStability(0.85f, birth, test, T::NSEO), C::Mildly);
  // 88.0 % meets L1 only in version 2 (88 / 85 / 78 / 73).
  EXPECT_EQ(ClassifyStability(0.88f, birth, test, T::NSEO), C::Mildly);
  setNormsVersion(QStringLiteral(" 2 "));
  EXPECT_EQ(ClassifyStability(0.88f, birth, test, T::NSEO), C::Normal);
}

TEST(NormsSettings, UnreadableVersionGivesNoClass) {
  setNormsVersion(QStringLiteral("3.0"));
  EXPECT_EQ(NormsVersion(), 3);
  setNormsVersion(QStringLiteral("2.5"));
  EXPECT_EQ(NormsVersion(), 0);
  setNormsVersion(QStringLiteral("three"));
  EXPECT_EQ(NormsVersion(), 0);
  EXPECT_EQ(ClassifyStability(0.9f, day(1960, 3, 1), day(2025, 3, 1), T::NSEO), std::nullopt);
}

TEST(NormsSettings, MissingDatesGiveNoClass) {
  EXPECT_EQ(ClassifyStability(0.9f, -36522.0, day(2025, 3, 1), T::NSEO), std::nullopt);
  EXPECT_EQ(ClassifyStability(0.9f, day(1960, 3, 1), -36522.0, T::NSEO), std::nullopt);
}

}  // namespace
}  // namespace tarn
