#include "options/passwordgate.h"

#include "core/settingkeys.h"
#include "core/startupchecks.h"
#include "options/accessdigest.h"

namespace tarn {

PasswordGate::Outcome PasswordGate::check(const QString& text) {
  const QString key1 = settings::read(settings::Key1);
  const QString key2 = settings::read(settings::Key2);
  QString digest;
  if (!text.isEmpty()) {
    digest = AccessDigest(text);
  } else if (key1 == QLatin1String(kFactoryAdminDigest)) {
    digest = key1;
  } else if (key2 == QLatin1String(kFactoryOperatorDigest)) {
    digest = key2;
  }
  Outcome o;
  if (!digest.isEmpty() && digest == key1) {
    o.level = AccessLevel::Administrator;
  } else if (!digest.isEmpty() && digest == key2) {
    o.level = AccessLevel::Operator;
  }
  if (o.level != AccessLevel::None) {
    failures_ = 0;
    return o;
  }
  if (!text.isEmpty()) {
    o.counted = true;
    if (++failures_ >= kLockAfter) {
      o.lock = true;
      failures_ = 0;
    }
  }
  return o;
}

}  // namespace tarn
