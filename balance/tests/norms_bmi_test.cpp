// Body-mass-index limits: the children's table, its edges and the switch to adult limits.
#include <cmath>

#include <QDate>

#include <gtest/gtest.h>

#include "balance/norms/norms.h"

namespace tarn {
namespace {

using B = KM_RQBMINormsClass;

struct Lim {
  double u, h, l;
  bool child;
  bool operator==(const Lim&) const = default;
};

Lim limits(double months, qint32 sex) {
  Lim r{-1, -1, -1, false};
  BMILimits(months, sex, r.u, r.h, r.l, r.child);
  return r;
}

const Lim kAdult{30, 25, 18.5, false};
const Lim kInfant{100, 100, 0, true};
const Lim kBoys24{19.27889813, 18.11954923, 14.71929257, true};
const Lim kGirls24{19.05823845, 17.97371413, 14.3801866, true};
const Lim kBoys240{30.63106054, 27.07644874, 19.13539969, true};
const Lim kBoys25{19.16465965, 18.03668013, 14.68360841, true};
const Lim kGirls239{31.73068625, 26.46242912, 17.82126652, true};

TEST(NormsBMITable, RowsAreWholeAndOrdered) {
  int boys = 0, girls = 0;
  const BMIPercentileRow* b = BMIBoysTable(boys);
  const BMIPercentileRow* g = BMIGirlsTable(girls);
  ASSERT_EQ(boys, 240 - 24 + 1);
  ASSERT_EQ(girls, 239 - 24 + 1);
  for (const auto& [rows, count] : {std::pair{b, boys}, std::pair{g, girls}}) {
    for (int i = 0; i < count; ++i) {
      SCOPED_TRACE(::testing::Message() << "month " << rows[i].month);
      EXPECT_EQ(rows[i].month, 24 + i);
      EXPECT_LT(rows[i].p5, rows[i].p85);
      EXPECT_LT(rows[i].p85, rows[i].p95);
      EXPECT_GT(rows[i].p5, 12.0);
      EXPECT_LT(rows[i].p95, 35.0);
    }
  }
}

// First and last rows per sex, the infant and adult edges, and any sex other than 1 reading the
// girls' table.
TEST(NormsBMILimits, TableEdgesPerSex) {
  const double kUnder241 = std::nextafter(241.0, 0.0);
  const std::tuple<double, qint32, Lim> cases[] = {
      {24.0, 1, kBoys24},   {24.999, 1, kBoys24}, {24.0, 2, kGirls24},      {25.0, 1, kBoys25},
      {240.0, 1, kBoys240}, {240.5, 1, kBoys240}, {kUnder241, 1, kBoys240}, {239.99, 2, kGirls239},
      {23.999, 1, kInfant}, {0.0, 2, kInfant},    {-3.0, 1, kInfant},       {241.0, 1, kAdult},
      {240.0, 2, kAdult},   {600.0, 1, kAdult},   {24.0, 0, kGirls24},      {24.0, -1, kGirls24},
      {24.0, 7, kGirls24},  {240.0, 7, kAdult}};
  for (const auto& [months, sex, expected] : cases)
    EXPECT_EQ(limits(months, sex), expected) << months << " months, sex " << sex;
}

TEST(NormsBMIClass, ExactlyOnEachPercentile) {
  const Lim& r = kBoys24;
  auto cls = [&](float bmi) { return BMIClassOf(bmi, r.u, r.h, r.l, true); };
  const auto fu = static_cast<float>(r.u), fh = static_cast<float>(r.h), fl = static_cast<float>(r.l);
  EXPECT_EQ(cls(fu), B::POverweight);
  EXPECT_EQ(cls(std::nextafter(fu, 0.0f)), B::PRiskOverweight);
  EXPECT_EQ(cls(fh), B::PRiskOverweight);
  EXPECT_EQ(cls(std::nextafter(fh, 0.0f)), B::PHealthyWeight);
  EXPECT_EQ(cls(fl), B::PHealthyWeight);
  EXPECT_EQ(cls(std::nextafter(fl, 0.0f)), B::PUnderweight);
}

TEST(NormsBMIClass, AdultAndInfantLimits) {
  const std::pair<float, B> adult[] = {{30.0f, B::AObese},      {29.99f, B::AOverweight},
                                       {25.0f, B::AOverweight}, {24.99f, B::ANormal},
                                       {18.5f, B::ANormal},     {18.49f, B::AUnderweight}};
  for (const auto& [bmi, cls] : adult) EXPECT_EQ(BMIClassOf(bmi, 30, 25, 18.5, false), cls) << bmi;
  // Under 24 months every BMI short of 100 is a healthy weight.
  for (float bmi : {0.0f, 12.0f, 45.0f, 99.99f})
    EXPECT_EQ(BMIClassOf(bmi, 100, 100, 0, true), B::PHealthyWeight) << bmi;
  EXPECT_EQ(BMIClassOf(100.0f, 100, 100, 0, true), B::POverweight);
}

double day(int y, int m, int d) { return static_cast<double>(QDate(1899, 12, 30).daysTo(QDate(y, m, d))); }

TEST(NormsBMIClass, ChildToAdultSwitchFromDates) {
  const double birth = day(2000, 1, 15);
  const double at20 = day(2020, 1, 15);  // 240 months to the day
  // 27.5 lies between the boys' 85th (27.08) and 95th (30.63) percentiles at month 240.
  EXPECT_EQ(ClassifyBMI(27.5f, birth, at20, 1), B::PRiskOverweight);
  EXPECT_EQ(ClassifyBMI(27.5f, birth, at20, 2), B::AOverweight);
  EXPECT_EQ(ClassifyBMI(27.5f, birth, day(2020, 2, 15), 1), B::AOverweight);
  EXPECT_EQ(ClassifyBMI(27.5f, birth, day(2020, 1, 14), 2), B::PRiskOverweight);  // girls' month 239
  EXPECT_EQ(ClassifyBMI(30.0f, birth, day(2001, 6, 1), 1), B::PHealthyWeight);    // 16 months
  EXPECT_EQ(ClassifyBMI(20.0f, -36522.0, at20, 1), std::nullopt);
}

}  // namespace
}  // namespace tarn
