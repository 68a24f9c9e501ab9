#include "core/startupchecks.h"

#include <cmath>

#include "core/settingkeys.h"
#include "core/settings.h"

namespace tarn {
bool IsNewInstallation() {
  return SettingCountValues(Hive::CurrentUser, QString::fromUtf8(settings::kRootKey)) < kNewInstallationBelow;
}

bool NeedsClockReminder(double nowDays, double lastCheck, qint32 daysBetween) {
  const double days = std::trunc(std::fabs(nowDays - lastCheck));
  return days > static_cast<double>(daysBetween);
}

qint32 ClockCheckDay(double nowDays) { return static_cast<qint32>(std::lround(nowDays)); }
}  // namespace tarn
