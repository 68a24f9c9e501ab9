#include <gtest/gtest.h>

#include <QThread>
#include <cmath>

#include "core/clock.h"

namespace tarn {
namespace {
QDateTime at(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
  return QDateTime(QDate(y, mo, d), QTime(h, mi, s, ms));
}

TEST(Clock, KnownDayCountsBothWays) {
  struct Case {
    QDateTime t;
    double days;
  } cases[] = {
      {at(1899, 12, 30), 0.0},
      {at(1899, 12, 31), 1.0},
      {at(1900, 1, 1), 2.0},
      {at(2026, 12, 5), 46361.0},
      {at(2000, 1, 1, 12), 36526.5},
      {at(2026, 12, 5, 6), 46361.25},
      {at(1800, 1, 1), clock::kMissingDate},
      // Before the epoch the fraction still counts forward from midnight.
      {at(1899, 12, 29, 6), -1.25},
      {at(1899, 12, 29, 18), -1.75},
      {at(1899, 12, 28), -2.0},
  };
  for (const Case& c : cases) {
    EXPECT_DOUBLE_EQ(clock::toDays(c.t), c.days) << c.t.toString(Qt::ISODate).toStdString();
    EXPECT_EQ(clock::fromDays(c.days), c.t) << c.days;
  }
  EXPECT_DOUBLE_EQ(clock::dateToDays(QDate(2026, 12, 5)), 46361.0);
  EXPECT_DOUBLE_EQ(clock::dateToDays(QDate(1800, 1, 1)), clock::kMissingDate);
  // Between -1 and 0 the day is the epoch itself: -0.5 and 0.5 are the same moment.
  EXPECT_EQ(clock::fromDays(-0.5), at(1899, 12, 30, 12));
}

TEST(Clock, FractionsRoundToTheMillisecondAndCarryIntoTheNextDay) {
  const QDateTime t = at(2024, 2, 29, 13, 45, 12, 345);
  EXPECT_EQ(clock::fromDays(clock::toDays(t)), t);
  EXPECT_EQ(clock::fromDays(46361.0 + 0.9999999999), at(2026, 12, 6));
  EXPECT_EQ(clock::fromDays(-1.0 - 0.9999999999), at(1899, 12, 30)) << "end of 29 Dec is midnight of 30 Dec";
  EXPECT_FALSE(clock::fromDays(std::nan("")).isValid());
  EXPECT_DOUBLE_EQ(clock::toDays(QDateTime()), clock::kMissingDate);
}

TEST(Clock, ASetClockStaysUntilReleased) {
  const QDateTime fixed = at(2026, 12, 5, 23, 27, 3);
  clock::setNow(fixed);
  EXPECT_EQ(clock::now(), fixed);
  EXPECT_DOUBLE_EQ(clock::nowDays(), 46361.0 + (23 * 3600 + 27 * 60 + 3) / 86400.0);
  clock::setNow(QDateTime());
  EXPECT_LT(qAbs(clock::now().secsTo(QDateTime::currentDateTime())), 5);
}

TEST(Clock, TickCountAdvancesInMilliseconds) {
  const quint32 a = clock::tickCount();
  QThread::msleep(30);
  const quint32 elapsed = clock::tickCount() - a;  // unsigned difference survives a wrap
  EXPECT_GE(elapsed, 30u);
  EXPECT_LT(elapsed, 5000u);
}

TEST(Clock, GeneralDateIsShortDateAndLongTimeWithoutZone) {
  const QString text = clock::generalDateText(at(2026, 12, 5, 23, 27, 3));
  EXPECT_TRUE(text.contains("27:03")) << text.toStdString();
  EXPECT_FALSE(text.contains("UTC")) << text.toStdString();
  EXPECT_TRUE(text.contains("2026")) << "four-digit year: " << text.toStdString();
  EXPECT_FALSE(text.endsWith(' '));
  EXPECT_TRUE(clock::longTimeText(QTime(9, 5, 7)).contains("05:07"));
}
}  // namespace
}  // namespace tarn
