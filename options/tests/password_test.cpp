#include <gtest/gtest.h>

#include "core/eventlog.h"
#include "core/settingkeys.h"
#include "options/optionsmodel.h"
#include "options/passwordgate.h"
#include "options/tests/optionstest.h"
#include "testsupport/scriptedmessages.h"

namespace tarn {
namespace {
using options::OptionsModel;

class Passwords : public ::testing::Test {
 protected:
  testing::CheapDigest digest;
  void keys(const QString& key1, const QString& key2) {
    settings::write(settings::Key1, key1);
    settings::write(settings::Key2, key2);
  }
};

TEST_F(Passwords, LevelsOfTheLogoPrompt) {
  const QString admin = AccessDigest("admin pw"), op = AccessDigest("op pw");
  const QString factoryAdmin = kFactoryAdminDigest, factoryOp = kFactoryOperatorDigest;
  struct Case {
    const char* what;
    QString key1, key2, entered;
    AccessLevel level;
    bool counted;
  } cases[] = {
      {"new installation, empty", factoryAdmin, factoryOp, "", AccessLevel::Administrator, false},
      {"new installation, any text", factoryAdmin, factoryOp, "guess", AccessLevel::None, true},
      {"administrator set, empty gives the operator", admin, factoryOp, "", AccessLevel::Operator, false},
      {"administrator set, right", admin, factoryOp, "admin pw", AccessLevel::Administrator, false},
      {"both set, empty gives nothing and is not counted", admin, op, "", AccessLevel::None, false},
      {"both set, operator", admin, op, "op pw", AccessLevel::Operator, false},
      {"both set, administrator", admin, op, "admin pw", AccessLevel::Administrator, false},
      {"both set, wrong", admin, op, "Admin pw", AccessLevel::None, true},
      {"keys missing, empty", "", "", "", AccessLevel::None, false},
  };
  for (const Case& c : cases) {
    keys(c.key1, c.key2);
    PasswordGate gate;
    const PasswordGate::Outcome o = gate.check(c.entered);
    EXPECT_EQ(o.level, c.level) << c.what;
    EXPECT_EQ(o.counted, c.counted) << c.what;
    EXPECT_EQ(gate.failures(), c.counted ? 1 : 0) << c.what;
  }
}

TEST_F(Passwords, ThirdWrongInARowLocksAndARightOneResets) {
  keys(AccessDigest("admin pw"), AccessDigest("op pw"));
  PasswordGate gate;
  EXPECT_TRUE(gate.check("a").counted);
  EXPECT_FALSE(gate.check("").counted) << "an empty entry is not counted";
  EXPECT_FALSE(gate.check("b").lock);
  EXPECT_EQ(gate.failures(), 2);
  EXPECT_EQ(gate.check("op pw").level, AccessLevel::Operator);
  EXPECT_EQ(gate.failures(), 0) << "two wrong, then a right one: no lock, counter back to 0";
  gate.check("c");
  gate.check("d");
  const PasswordGate::Outcome third = gate.check("e");
  EXPECT_TRUE(third.lock);
  EXPECT_EQ(gate.failures(), 0) << "the lock starts a new count";
  EXPECT_EQ(PasswordGate::kLockMs, 60000);
}

TEST_F(Passwords, ChangeCommandsWorkOnThePendingDigests) {
  QString key1 = kFactoryAdminDigest, key2 = kFactoryOperatorDigest;
  EXPECT_EQ(ChangeOperatorPassword("op", "op", key1, key2), PasswordChange::AdministratorFirst);
  EXPECT_EQ(key2, kFactoryOperatorDigest);
  EXPECT_EQ(ChangeAdministratorPassword("admin", "admln", key1), PasswordChange::Different);
  EXPECT_EQ(key1, kFactoryAdminDigest);
  EXPECT_EQ(ChangeAdministratorPassword("admin", "admin", key1), PasswordChange::Changed);
  EXPECT_EQ(key1, AccessDigest("admin"));
  EXPECT_TRUE(AdministratorPasswordSet(key1));
  EXPECT_EQ(ChangeOperatorPassword("op", "op", key1, key2), PasswordChange::Changed)
      << "allowed once the administrator's is set, even before it is stored";
  EXPECT_EQ(key2, AccessDigest("op"));
  EXPECT_EQ(ChangeOperatorPassword("", "", key1, key2), PasswordChange::Changed);
  EXPECT_EQ(key2, kFactoryOperatorDigest) << "an empty password restores the factory digest";
  EXPECT_EQ(ChangeAdministratorPassword("", "", key1), PasswordChange::Changed);
  EXPECT_EQ(key1, kFactoryAdminDigest);
  EXPECT_FALSE(AdministratorPasswordSet(key1));
  EXPECT_FALSE(AdministratorPasswordSet(""));
}

TEST_F(Passwords, OptionsPageTellsTheRulesAndWritesOnlyAtOK) {
  keys(kFactoryAdminDigest, kFactoryOperatorDigest);
  const QStringList before = testing::storeDump();
  ScriptedMessages msgs;
  {
    OptionsModel m;
    m.LoadSettings();
    EXPECT_EQ(m.administratorStatusText(), "No password is set (factory setting).");
    EXPECT_EQ(m.changeOperatorPassword("op", "op"), PasswordChange::AdministratorFirst);
    EXPECT_EQ(m.changeAdministratorPassword("a", "b"), PasswordChange::Different);
    ASSERT_EQ(msgs.requests().size(), 2);
    EXPECT_EQ(msgs.texts().at(0),
              "An Administrator's Password MUST be set before setting an Operator's Password!");
    EXPECT_EQ(msgs.requests().at(0).icon, MsgIcon::Exclamation);
    EXPECT_EQ(msgs.texts().at(1), "The 'Enter' and 'Confirm' passwords are different!\nPlease try again!");
    EXPECT_EQ(msgs.requests().at(1).icon, MsgIcon::Critical);
    EXPECT_EQ(m.changeAdministratorPassword("secret", "secret"), PasswordChange::Changed);
    EXPECT_EQ(m.administratorStatusText(), "Changed: the new password is stored when you press OK.");
    EXPECT_EQ(m.changeOperatorPassword("desk", "desk"), PasswordChange::Changed);
  }  // dropped: Cancel
  EXPECT_EQ(testing::storeDump(), before);

  OptionsModel m;
  m.LoadSettings();
  m.changeAdministratorPassword("secret", "secret");
  m.changeOperatorPassword("desk", "desk");
  m.program.units = {3, 3, 3};
  m.monitor.size[options::kWidthMM] = "300";  // no display: the size is not asked for
  ASSERT_TRUE(m.fnObjectUpdate(nullptr));
  EXPECT_EQ(settings::read(settings::Key1), AccessDigest("secret"));
  EXPECT_EQ(settings::read(settings::Key2), AccessDigest("desk"));
  PasswordGate gate;
  EXPECT_EQ(gate.check("desk").level, AccessLevel::Operator);
  EXPECT_EQ(gate.check("").level, AccessLevel::None);
}

TEST_F(Passwords, StartUpWritesFactoryDigestsOrEndsOnTampering) {
  ScriptedMessages msgs;
  ProcLog log("frmPMain", "Form_Load");
  EXPECT_TRUE(CheckAccessKeysAtStartup(log)) << "new installation";
  EXPECT_EQ(settings::read(settings::Key1), kFactoryAdminDigest);
  EXPECT_EQ(settings::read(settings::Key2), kFactoryOperatorDigest);
  settings::write(settings::FullScreen, 0);
  settings::write(settings::MouseMove, 0);
  EXPECT_TRUE(CheckAccessKeysAtStartup(log));
  EXPECT_TRUE(msgs.requests().isEmpty());

  settings::remove(settings::Key2);  // still 3 values: an existing installation missing a key
  EXPECT_FALSE(CheckAccessKeysAtStartup(log));
  ASSERT_EQ(msgs.requests().size(), 1);
  EXPECT_EQ(
      msgs.texts().at(0),
      "Tampering with the program access control passwords was detected!\n\nFor more information contact "
      "Kamrith Labs.\n\nThe program will now close!");
  EXPECT_EQ(settings::read(settings::Key2), "") << "nothing is repaired";
}

}  // namespace
}  // namespace tarn
