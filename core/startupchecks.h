#pragma once
// Plain decisions of the main window's start-up.
#include <QString>
#include <QtGlobal>

#include "core/settings.h"

namespace tarn {
class SingleInstanceLock;

// A settings root with fewer than 3 values is a new installation (the access keys are written then:
// options/passwordgate.h), unless an earlier store was lost to damage: then the missing access
// digests take the tamper path.
inline constexpr int kNewInstallationBelow = 3;
bool IsNewInstallation();

// The start-up message about the settings store (empty when it is sound): restored from its
// good copy (information), lost (exclamation), or not writable (the program ends).
QString SettingsStoreNotice(const settingsstore::Report& r);
// The start-up message when the lock could not be taken because the common data folder is
// missing and cannot be made, or cannot be written; empty otherwise (a second copy has its own).
QString InstanceLockNotice(const SingleInstanceLock& lock);

// The reminder is due when the whole number of days between now and the last check (either
// direction, fraction cut off) exceeds the days between checks. A last check of 0 always reminds.
bool NeedsClockReminder(double nowDays, double lastCheck, qint32 daysBetween);
// The day number stored as "LastClockCheck": now rounded to a whole day.
qint32 ClockCheckDay(double nowDays);
}  // namespace tarn
