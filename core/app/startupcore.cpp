#include "core/app/startupcore.h"

#include <cmath>

#include "core/clock.h"
#include "core/digest.h"
#include "core/folders.h"
#include "core/settingkeys.h"
#include "core/settings.h"

namespace tarn {

InstanceLock::InstanceLock() : lock_(std::make_unique<QLockFile>(lockPath())) { lock_->setStaleLockTime(0); }

QString InstanceLock::lockPath() { return folders::withSlash(folders::tempFolder()) + "KMTARNRQ.lock"; }

bool InstanceLock::acquire() {
  if (!held_) held_ = lock_->tryLock(0);
  return held_;
}

namespace app {

bool isNewInstallation() { return SettingCountValues(Hive::CurrentUser, settings::kRootKey) < 3; }

void writeFactoryDigests() {
  settings::write(settings::Key1, QString::fromLatin1(kFactoryAdminDigest));
  settings::write(settings::Key2, QString::fromLatin1(kFactoryOperatorDigest));
}

bool accessDigestsPresent() {
  return !settings::read(settings::Key1).isEmpty() && !settings::read(settings::Key2).isEmpty();
}

bool clockReminderDue() {
  if (settings::read(settings::NoClockCheckReminder) != 0) return false;
  const qint32 between = settings::read(settings::DaysBetweenClockCheck);
  const qint32 last = settings::read(settings::LastClockCheck);
  const double days = std::trunc(std::fabs(clock::nowDays() - double(last)));
  return days > double(between);
}

}  // namespace app
}  // namespace tarn
