#pragma once
// Plain decisions of the main window's start-up.
#include <QString>
#include <QtGlobal>

#include "core/settings.h"

namespace tarn {
class SingleInstanceLock;

// Digests of the two factory passwords: written at the first start and restored when a
// password is set to empty. While "Key1" holds the administrator's, no password is set.
inline constexpr char kFactoryAdminDigest[] = "DE0B102D9CCEA92EF5B97A5C2F003EA2B8CB71E7";
inline constexpr char kFactoryOperatorDigest[] = "13985166CD79C1AC281533E080DC74B5C6738277";

// A settings root with fewer than 3 values is a new installation, unless an earlier store was
// lost to damage: then the missing access digests take the tamper path.
inline constexpr int kNewInstallationBelow = 3;
bool IsNewInstallation();
// Writes the factory digests into "Key1" and "Key2" (first start of a new installation).
void InitializeNewInstallation();
// Both digests present; a missing one means the access control was tampered with.
bool AccessKeysPresent();

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
