#pragma once
// Plain decisions of the main window's start-up.
#include <QtGlobal>

namespace tarn {
// A settings root with fewer than 3 values is a new installation (the access keys are written
// then: options/passwordgate.h).
inline constexpr int kNewInstallationBelow = 3;
bool IsNewInstallation();

// The reminder is due when the whole number of days between now and the last check (either
// direction, fraction cut off) exceeds the days between checks. A last check of 0 always reminds.
bool NeedsClockReminder(double nowDays, double lastCheck, qint32 daysBetween);
// The day number stored as "LastClockCheck": now rounded to a whole day.
qint32 ClockCheckDay(double nowDays);
}  // namespace tarn
