#pragma once
// Start-up rules that need nothing but the core: one running copy, the new-installation rule, the
// access digests check and the clock reminder.
#include <QLockFile>
#include <QString>
#include <memory>

namespace tarn {

// One running copy per user: a lock file in the station's temporary folder. A lock left by a
// crashed copy is taken over.
class InstanceLock {
 public:
  InstanceLock();
  bool acquire();
  bool held() const { return held_; }
  static QString lockPath();

 private:
  std::unique_ptr<QLockFile> lock_;
  bool held_ = false;
};

namespace app {
bool isNewInstallation();     // fewer than 3 values in the settings root
void writeFactoryDigests();   // "Key1" and "Key2" take the factory digests
bool accessDigestsPresent();  // both keys hold a digest
// Unless switched off, due when more whole days than "DaysBetweenClockCheck" passed since
// "LastClockCheck" (either way).
bool clockReminderDue();
}  // namespace app
}  // namespace tarn
