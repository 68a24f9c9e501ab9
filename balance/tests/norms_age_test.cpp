// Ages from day-count dates, checked against QDate's calendar.
#include <QDate>

#include <gtest/gtest.h>

#include "balance/norms/norms.h"

namespace tarn {
namespace {

double day(int y, int m, int d) { return static_cast<double>(QDate(1899, 12, 30).daysTo(QDate(y, m, d))); }

constexpr double kYear = 365.2425;
constexpr double kMonth = 365.2425 / 12;

TEST(NormsAge, YearsOnAndAroundBirthdays) {
  const double birth = day(1980, 6, 15);
  EXPECT_DOUBLE_EQ(AgeInYears(birth, day(2020, 6, 15)), 40.0);
  // The day before: 39 years and the 365 days since 15 June 2019.
  EXPECT_DOUBLE_EQ(AgeInYears(birth, day(2020, 6, 14)), 39.0 + 365 / kYear);
  EXPECT_DOUBLE_EQ(AgeInYears(birth, day(2020, 6, 16)), 40.0 + 1 / kYear);
  // An earlier month in the later year does not count a year.
  EXPECT_DOUBLE_EQ(AgeInYears(birth, day(2020, 5, 31)), 39.0 + (day(2020, 5, 31) - day(2019, 6, 15)) / kYear);
  EXPECT_DOUBLE_EQ(AgeInYears(birth, birth), 0.0);
}

TEST(NormsAge, YearsForLeapDayBirths) {
  const double birth = day(2000, 2, 29);
  // 28 February is before the 29th: no whole year yet.
  EXPECT_DOUBLE_EQ(AgeInYears(birth, day(2001, 2, 28)), 365 / kYear);
  // From 1 March the anniversary counts as 28 February.
  EXPECT_DOUBLE_EQ(AgeInYears(birth, day(2001, 3, 1)), 1.0 + 1 / kYear);
  EXPECT_DOUBLE_EQ(AgeInYears(birth, day(2004, 2, 29)), 4.0);
  // 1900 was not a leap year: the anniversary falls on 28 February 1900, before day 0.
  EXPECT_DOUBLE_EQ(AgeInYears(day(1896, 2, 29), day(1900, 3, 1)), 4.0 + 1 / kYear);
}

TEST(NormsAge, YearsAcrossTheEncodingsDayZero) {
  EXPECT_DOUBLE_EQ(AgeInYears(day(1890, 5, 1), day(1950, 5, 1)), 60.0);
  EXPECT_DOUBLE_EQ(AgeInYears(day(1899, 12, 30), day(1900, 12, 30)), 1.0);
  // Before day 0 the time of day is a positive fraction: -365.25 is 30 Dec 1898 at 06:00, so
  // midnight of 30 Dec 1899 is a quarter day short of the first birthday.
  EXPECT_DOUBLE_EQ(AgeInYears(day(1898, 12, 30) - 0.25, 0.0), 1.0 - 0.25 / kYear);
}

TEST(NormsAge, TimeOfDayAddsFractionOfADay) {
  const double birth = day(1950, 1, 1);
  EXPECT_DOUBLE_EQ(AgeInYears(birth, day(2000, 1, 1) + 0.75), 50.0 + 0.75 / kYear);
  EXPECT_DOUBLE_EQ(AgeInMonths(birth, day(1950, 3, 1) + 0.5), 2.0 + 0.5 / kMonth);
}

TEST(NormsAge, MonthsAtMonthEnds) {
  const double birth = day(2020, 1, 31);
  EXPECT_DOUBLE_EQ(AgeInMonths(birth, day(2020, 2, 29)), 29 / kMonth);
  // The one-month anniversary of 31 January 2020 is 29 February 2020.
  EXPECT_DOUBLE_EQ(AgeInMonths(birth, day(2020, 3, 1)), 1.0 + 1 / kMonth);
  EXPECT_DOUBLE_EQ(AgeInMonths(birth, day(2020, 3, 31)), 2.0);
  EXPECT_DOUBLE_EQ(AgeInMonths(birth, day(2020, 4, 30)), 2.0 + 30 / kMonth);
  EXPECT_DOUBLE_EQ(AgeInMonths(birth, day(2021, 2, 28)), 12.0 + 28 / kMonth);
  EXPECT_DOUBLE_EQ(AgeInMonths(birth, day(2021, 3, 1)), 13.0 + 1 / kMonth);
}

TEST(NormsAge, MonthsOverYearsAndBirthdays) {
  const double birth = day(2000, 1, 15);
  EXPECT_DOUBLE_EQ(AgeInMonths(birth, day(2020, 1, 15)), 240.0);
  EXPECT_DOUBLE_EQ(AgeInMonths(birth, day(2020, 1, 14)), 239.0 + 30 / kMonth);
  EXPECT_DOUBLE_EQ(AgeInMonths(birth, day(2001, 12, 15)), 23.0);
  EXPECT_DOUBLE_EQ(AgeInMonths(day(2019, 12, 31), day(2020, 1, 1)), 1 / kMonth);
}

}  // namespace
}  // namespace tarn
