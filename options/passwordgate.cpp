#include "options/passwordgate.h"

#include "core/eventlog.h"
#include "core/messages.h"
#include "core/settingkeys.h"
#include "core/settings.h"
#include "core/startupchecks.h"
#include "support/strings/strings.h"

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

void InitializeNewInstallation() {
  settings::write(settings::Key1, QString::fromLatin1(kFactoryAdminDigest));
  settings::write(settings::Key2, QString::fromLatin1(kFactoryOperatorDigest));
  settingsstore::keepGoodCopy();  // so that a damage restores the digests just written
}

bool AccessKeysPresent() {
  return !settings::read(settings::Key1).isEmpty() && !settings::read(settings::Key2).isEmpty();
}

QString TamperingText() { return Str(6289); }

bool CheckAccessKeysAtStartup(const ProcLog& log) {
  log.step("Checking for new installation");
  if (IsNewInstallation()) {
    log.step("Initializing new installation");
    InitializeNewInstallation();
    return true;
  }
  log.step("Verifiying Keys");
  if (AccessKeysPresent()) return true;
  log.error("Access keys missing");
  showMessage(TamperingText(), MsgIcon::Exclamation, MsgButtons::OK, 500);
  return false;
}

namespace {
PasswordChange change(const QString& entered, const QString& confirmed, const char* factory, QString& key) {
  if (entered != confirmed) return PasswordChange::Different;
  key = entered.isEmpty() ? QString::fromLatin1(factory) : AccessDigest(entered);
  return PasswordChange::Changed;
}
}  // namespace

PasswordChange ChangeAdministratorPassword(const QString& entered, const QString& confirmed, QString& key1) {
  return change(entered, confirmed, kFactoryAdminDigest, key1);
}

PasswordChange ChangeOperatorPassword(const QString& entered, const QString& confirmed, const QString& key1,
                                      QString& key2) {
  if (!AdministratorPasswordSet(key1)) return PasswordChange::AdministratorFirst;
  return change(entered, confirmed, kFactoryOperatorDigest, key2);
}

bool AdministratorPasswordSet(const QString& key1) {
  return !key1.isEmpty() && key1 != QLatin1String(kFactoryAdminDigest);
}

bool OperatorPasswordSet(const QString& key2) {
  return !key2.isEmpty() && key2 != QLatin1String(kFactoryOperatorDigest);
}

}  // namespace tarn
