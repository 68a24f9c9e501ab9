#pragma once
// Dates are day counts from 30 December 1899 (fraction = time of day). Tests can set the clock.
#include <QDateTime>
#include <QtGlobal>

namespace tarn::clock {
inline constexpr double kMissingDate = -36522.0;  // 1 January 1800 stands for "no date"

QDateTime now();                      // local time, or the time a test set
void setNow(const QDateTime& fixed);  // null QDateTime returns to the real clock
double nowDays();
double toDays(const QDateTime& t);
QDateTime fromDays(double days);
double dateToDays(const QDate& d);    // midnight of that day
quint32 tickCount();                  // milliseconds, wraps like a 32-bit tick counter
}  // namespace tarn::clock
