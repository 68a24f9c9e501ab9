#include "core/startupchecks.h"

#include <cmath>

#include "core/instancelock.h"
#include "core/settingkeys.h"
#include "core/settings.h"
#include "support/strings/strings.h"

namespace tarn {
bool IsNewInstallation() {
  // Settings lost to damage are not a new installation: factory passwords would open the station.
  return SettingCountValues(Hive::CurrentUser, QString::fromUtf8(settings::kRootKey)) <
             kNewInstallationBelow &&
         settingsstore::damagedCopies().isEmpty();
}

QString SettingsStoreNotice(const settingsstore::Report& r) {
  switch (r.health) {
    case settingsstore::Health::Sound:
      break;
    case settingsstore::Health::Restored:
      return Str(1904).arg(r.detail);
    case settingsstore::Health::Lost:
      return Str(1905).arg(r.detail);
    case settingsstore::Health::Unwritable:
      return Str(1906).arg(r.detail, r.why);
  }
  return QString();
}

QString InstanceLockNotice(const SingleInstanceLock& lock) {
  return lock.outcome() == SingleInstanceLock::Outcome::FolderUnusable
             ? Str(1903).arg(lock.folder(), lock.errorText())
             : QString();
}

bool NeedsClockReminder(double nowDays, double lastCheck, qint32 daysBetween) {
  const double days = std::trunc(std::fabs(nowDays - lastCheck));
  return days > static_cast<double>(daysBetween);
}

qint32 ClockCheckDay(double nowDays) { return static_cast<qint32>(std::lround(nowDays)); }
}  // namespace tarn
