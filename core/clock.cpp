#include "core/clock.h"

#include <time.h>

#include <QLocale>
#include <QRegularExpression>
#include <cmath>
#include <mutex>

namespace tarn::clock {
namespace {
std::mutex g_mutex;
QDateTime g_fixed;  // null: real clock

const QDate kEpoch(1899, 12, 30);
constexpr qint64 kMsPerDay = 86400000;

}  // namespace

// The locale's long time format without its time-zone part.
QString longTimeFormat() {
  QString f = QLocale::system().timeFormat(QLocale::LongFormat);
  static const QRegularExpression zone(QStringLiteral("\\s*t+\\s*"));
  f.replace(zone, QStringLiteral(" "));
  return f.trimmed();
}
// The locale's short date with a four-digit year, so that logged dates are never ambiguous.
QString shortDateFormat() {
  QString f = QLocale::system().dateFormat(QLocale::ShortFormat);
  if (!f.contains(QLatin1String("yyyy"))) f.replace(QLatin1String("yy"), QLatin1String("yyyy"));
  return f;
}

QDateTime now() {
  {
    std::lock_guard lock(g_mutex);
    if (!g_fixed.isNull()) return g_fixed;
  }
  return QDateTime::currentDateTime();
}

void setNow(const QDateTime& fixed) {
  std::lock_guard lock(g_mutex);
  g_fixed = fixed.isNull() ? QDateTime() : fixed.toLocalTime();
}

double nowDays() { return toDays(now()); }

double toDays(const QDateTime& t) {
  if (!t.isValid()) return kMissingDate;
  const QDateTime local = t.toLocalTime();
  const double whole = static_cast<double>(kEpoch.daysTo(local.date()));
  const double frac = local.time().msecsSinceStartOfDay() / static_cast<double>(kMsPerDay);
  // Before the epoch the time of day still counts forward from midnight of that day.
  return whole < 0 ? whole - frac : whole + frac;
}

bool splitDays(double days, QDate* date, QTime* time) {
  if (!std::isfinite(days) || std::fabs(days) > 3.0e6) return false;
  const double whole = std::trunc(days);
  qint64 ms = std::llround(std::fabs(days - whole) * kMsPerDay);
  QDate d = kEpoch.addDays(static_cast<qint64>(whole));
  if (ms >= kMsPerDay) {
    d = d.addDays(1);
    ms -= kMsPerDay;
  }
  if (date) *date = d;
  if (time) *time = QTime::fromMSecsSinceStartOfDay(static_cast<int>(ms));
  return true;
}

QDateTime fromDays(double days) {
  QDate date;
  QTime time;
  if (!splitDays(days, &date, &time)) return QDateTime();
  return QDateTime(date, time);
}

double dateToDays(const QDate& d) {
  if (!d.isValid()) return kMissingDate;
  return static_cast<double>(kEpoch.daysTo(d));
}

qint64 threadCpuMs() {
  struct timespec t {};
  ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return qint64(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

quint32 tickCount() {
  timespec ts{};
  ::clock_gettime(CLOCK_BOOTTIME, &ts);
  const quint64 ms = static_cast<quint64>(ts.tv_sec) * 1000u + static_cast<quint64>(ts.tv_nsec) / 1000000u;
  return static_cast<quint32>(ms);  // wraps after about 49.7 days, as the counter it stands for
}

QString generalDateText(const QDateTime& t) {
  const QDateTime local = t.toLocalTime();
  const QLocale loc = QLocale::system();
  return loc.toString(local.date(), shortDateFormat()) + ' ' + loc.toString(local.time(), longTimeFormat());
}

QString longDateText(const QDate& d) { return QLocale::system().toString(d, QLocale::LongFormat); }

QString longTimeText(const QTime& t) { return QLocale::system().toString(t, longTimeFormat()); }
}  // namespace tarn::clock
