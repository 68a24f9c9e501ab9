#pragma once
// Dates are day counts from 30 December 1899 (fraction = time of day). Tests can set the clock.
// Before that day the count is negative but its fraction is still the time of day:
// -1.25 is 29 December 1899, 06:00 (the whole part names the day, the fraction adds time).
#include <QDateTime>
#include <QtGlobal>

namespace tarn::clock {
inline constexpr double kMissingDate = -36522.0;  // 1 January 1800 stands for "no date"

QDateTime now();                      // local time, or the time a test set
void setNow(const QDateTime& fixed);  // null QDateTime returns to the real clock
double nowDays();
double toDays(const QDateTime& t);  // local wall-clock time; an invalid time gives kMissingDate
QDateTime fromDays(double days);    // local time, rounded to the millisecond
// The same day and time of day without making a local date-time (no time-zone look-up, for
// callers that write many dates); false, and nothing set, where fromDays gives an invalid time.
bool splitDays(double days, QDate* date, QTime* time);
double dateToDays(const QDate& d);  // midnight of that day
quint32 tickCount();                // milliseconds, wraps like a 32-bit tick counter
// Processor time the calling thread has used, in milliseconds: what a piece of work costs,
// whatever else the machine is busy with.
qint64 threadCpuMs();

// Texts in the user's locale. The general date is the short date with a four-digit year and the
// long time without a time zone (e.g. "12/5/2026 11:27:03 PM" for en_US); log headers use it.
QString generalDateText(const QDateTime& t);
// The two formats behind it, for callers that format many dates: the short date with a four-digit
// year, and the long time without a time zone.
QString shortDateFormat();
QString longTimeFormat();
QString longDateText(const QDate& d);
QString longTimeText(const QTime& t);
}  // namespace tarn::clock
