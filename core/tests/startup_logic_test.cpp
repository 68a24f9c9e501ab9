#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include "core/commandline.h"
#include "core/eventlog.h"
#include "core/folders.h"
#include "core/instancelock.h"
#include "core/messages.h"
#include "core/settingkeys.h"
#include "core/settings.h"
#include "core/startupchecks.h"
#include "testsupport/childprocess.h"
#include "testsupport/sandbox.h"
#include "testsupport/scriptedmessages.h"

namespace tarn {
namespace {

TEST(CommandLine, SplitsAtBlanksAndTabsWithQuotedArguments) {
  EXPECT_EQ(SplitCommandLine(""), QStringList());
  EXPECT_EQ(SplitCommandLine(" \t "), QStringList());
  EXPECT_EQ(SplitCommandLine("a  b\tc"), (QStringList{"a", "b", "c"}));
  EXPECT_EQ(SplitCommandLine("\"C:/My Data/a.kpf\" /x"), (QStringList{"C:/My Data/a.kpf", "/x"}));
  EXPECT_EQ(SplitCommandLine("one \"two  three"), (QStringList{"one", "two  three"}))
      << "unclosed quote runs to the end";
  EXPECT_EQ(SplitCommandLine("\"\" x"), (QStringList{"", "x"}));
  EXPECT_EQ(SplitCommandLine("ab\"c d\"e"), (QStringList{"ab", "c d", "e"}));
  QString many;
  for (int i = 1; i <= 20; ++i) many += QString::number(i) + ' ';
  const QStringList args = SplitCommandLine(many);
  ASSERT_EQ(args.size(), 16);
  EXPECT_EQ(args.last(), "16");
}

TEST(CommandLine, RegisterOnlyAsFirstArgumentInAnyCase) {
  EXPECT_TRUE(IsRegisterArgument(SplitCommandLine("/REGISTER")));
  EXPECT_TRUE(IsRegisterArgument(SplitCommandLine("  /register  ")));
  EXPECT_TRUE(IsRegisterArgument(SplitCommandLine("\" /ReGiStEr \" extra")));
  EXPECT_FALSE(IsRegisterArgument(SplitCommandLine("x /REGISTER")));
  EXPECT_FALSE(IsRegisterArgument(SplitCommandLine("")));
  EXPECT_FALSE(IsRegisterArgument(SplitCommandLine("/REGISTERED")));
  EXPECT_EQ(SplitCommandLine(JoinCommandLine({"a b", "", "c"})), (QStringList{"a b", "", "c"}));
}

TEST(StartupRules, NewInstallationBelowThreeRootValues) {
  EXPECT_TRUE(IsNewInstallation());
  settings::write(settings::FullScreen, 0);
  settings::write(settings::MouseMove, 0);
  settings::write(settings::LastPath, "/d");  // another key: not counted
  EXPECT_TRUE(IsNewInstallation()) << "2 values";
  settings::write(settings::Key1, "A");
  EXPECT_FALSE(IsNewInstallation()) << "exactly 3 values";
}

TEST(StartupRules, SettingsLostToDamageAreNotANewInstallation) {
  settings::write(settings::FullScreen, 0);
  settings::write(settings::Key1, "A");
  settings::write(settings::Key2, "B");
  settingsstore::keepGoodCopy();
  ASSERT_FALSE(IsNewInstallation());
  settingsstore::closeConnection();
  for (const QString& f : {folders::settingsStorePath() + ".good", folders::settingsStorePath() + "-wal",
                           folders::settingsStorePath() + "-shm"})
    QFile::remove(f);
  QFile store(folders::settingsStorePath());
  ASSERT_TRUE(store.open(QIODevice::WriteOnly | QIODevice::Truncate));
  store.write(QByteArray("not a database ").repeated(100));
  store.close();
  // Factory digests now would open the station without a password: the tamper path instead.
  EXPECT_FALSE(IsNewInstallation());
  EXPECT_TRUE(settings::read(settings::Key1).isEmpty());
}

TEST(StartupRules, ClockReminderAfterMoreWholeDaysThanAllowed) {
  const double now = 46361.75;
  EXPECT_TRUE(NeedsClockReminder(now, 0, 7)) << "first start";
  EXPECT_FALSE(NeedsClockReminder(now, 46354, 7)) << "7.75 days: 7 whole days";
  EXPECT_TRUE(NeedsClockReminder(now, 46353.7, 7));
  EXPECT_TRUE(NeedsClockReminder(now, 46371, 7)) << "a clock set back counts too";
  EXPECT_FALSE(NeedsClockReminder(now, 46369, 7));
  EXPECT_EQ(ClockCheckDay(46361.75), 46362);
  EXPECT_EQ(ClockCheckDay(46361.25), 46361);
}

TEST(InstanceLock, SecondCopyRefusedAndDeadOwnerTakenOver) {
  SingleInstanceLock first;
  ASSERT_TRUE(first.tryAcquire());
  EXPECT_TRUE(QFile::exists(QDir(folders::commonDataFolder()).filePath("KMTARNRQ.lck")));
  SingleInstanceLock second;
  EXPECT_FALSE(second.tryAcquire());
  EXPECT_FALSE(second.errorText().isEmpty());
  first.release();
  EXPECT_TRUE(second.tryAcquire());
  second.release();

  // A copy that dies holding the lock leaves the file; the next copy takes it over.
  int ready[2], go[2];
  ASSERT_EQ(::pipe(ready), 0);
  ASSERT_EQ(::pipe(go), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    SingleInstanceLock held;
    const char ok = held.tryAcquire() ? '1' : '0';
    (void)!::write(ready[1], &ok, 1);
    char c;
    (void)!::read(go[0], &c, 1);
    ::_exit(0);  // no unlock: the lock file stays behind
  }
  char ok = 0;
  ASSERT_EQ(::read(ready[0], &ok, 1), 1);
  ASSERT_EQ(ok, '1');
  SingleInstanceLock whileAlive;
  EXPECT_FALSE(whileAlive.tryAcquire());
  (void)!::write(go[1], "x", 1);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(QFile::exists(whileAlive.lockPath()));
  SingleInstanceLock afterDeath;
  EXPECT_TRUE(afterDeath.tryAcquire());
  for (int fd : {ready[0], ready[1], go[0], go[1]}) ::close(fd);
}

TEST(InstanceLock, ALockFileLeftByACrashDoesNotLockTheClinicOut) {
  const QString path = QDir(folders::commonDataFolder()).filePath("KMTARNRQ.lck");
  ASSERT_TRUE(folders::ensureFolder(folders::commonDataFolder()));
  // Killed between creating the file and writing its process id; or a process long gone.
  for (const QByteArray& left :
       {QByteArray(), QByteArray("999999999\nclinic-pc\ntarnrq\n"), QByteArray("junk")}) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(left);
    f.close();
    SingleInstanceLock lock;
    EXPECT_TRUE(lock.tryAcquire()) << left.toStdString() << ": " << lock.errorText().toStdString();
    EXPECT_EQ(lock.outcome(), SingleInstanceLock::Outcome::Acquired);
  }
}

TEST(InstanceLock, AnUnusableCommonDataFolderIsNotASecondCopy) {
  // A file where the folder should be: it cannot be made.
  QFile blocker(testsupport::sandboxFolder() + "/blocker");
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  SingleInstanceLock missing(blocker.fileName() + "/TARN RQ");
  EXPECT_FALSE(missing.tryAcquire());
  EXPECT_EQ(missing.outcome(), SingleInstanceLock::Outcome::FolderUnusable);
  EXPECT_TRUE(InstanceLockNotice(missing).contains(missing.folder()));

  // A folder the operator may not write.
  const QString readOnly = testsupport::sandboxFolder() + "/read-only";
  ASSERT_TRUE(QDir().mkpath(readOnly));
  ASSERT_EQ(::chmod(QFile::encodeName(readOnly).constData(), 0555), 0);
  EXPECT_EQ(testsupport::runInChild([&] {
              if (!testsupport::actAsOperator()) return 10;
              SingleInstanceLock lock(readOnly);
              return !lock.tryAcquire() && lock.outcome() == SingleInstanceLock::Outcome::FolderUnusable ? 0
                                                                                                         : 1;
            }),
            0);

  SingleInstanceLock first;
  ASSERT_TRUE(first.tryAcquire());
  SingleInstanceLock second;
  EXPECT_FALSE(second.tryAcquire());
  EXPECT_EQ(second.outcome(), SingleInstanceLock::Outcome::HeldByOther);
  EXPECT_TRUE(InstanceLockNotice(second).isEmpty()) << "the second copy keeps its own message";
}

TEST(Messages, RequestCarriesTitleHelpAndIsLogged) {
  ASSERT_TRUE(eventlog::start(QDir(folders::commonDataFolder()).filePath("KMTARNRQ.log")));
  ScriptedMessages script{MsgResult::No};
  EXPECT_EQ(showMessage("Line one\nline two", MsgIcon::Exclamation, MsgButtons::YesNo, 500, 2),
            MsgResult::No);
  ASSERT_EQ(script.requests().size(), 1);
  const MessageRequest& r = script.requests().first();
  EXPECT_EQ(r.title, QString::fromUtf8("Kamrith Labs TARN™ RQ"));
  EXPECT_EQ(r.helpFile, "KMTARNRQ.chm");
  EXPECT_EQ(r.helpContext, 500);
  EXPECT_EQ(r.icon, MsgIcon::Exclamation);
  EXPECT_EQ(r.buttons, MsgButtons::YesNo);
  EXPECT_EQ(r.text, "Line one\nline two");
  // Out of answers: the default button, counted as unexpected.
  EXPECT_EQ(showMessage("again", MsgIcon::Question, MsgButtons::YesNoCancel, 0, 3), MsgResult::Cancel);
  EXPECT_EQ(script.unexpected(), 1);
  eventlog::stop();
  QFile f(eventlog::path());
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QString log = QString::fromUtf8(f.readAll());
  EXPECT_TRUE(log.contains("\tMessage: Line one line two\n")) << log.toStdString();
}

TEST(Messages, AutoAnswerAndNoPresenterTakeTheDefaultButton) {
  EXPECT_EQ(showMessage("x", MsgIcon::Question, MsgButtons::YesNo, 0, 2), MsgResult::No);
  EXPECT_EQ(showMessage("x", MsgIcon::Critical, MsgButtons::AbortRetryIgnore, 0, 9), MsgResult::Abort)
      << "a default outside the buttons falls back to the first";
  ScriptedMessages script{MsgResult::Yes};
  ::setenv("TARNRQ_AUTOANSWER", "1", 1);
  EXPECT_EQ(showMessage("x", MsgIcon::Question, MsgButtons::RetryCancel, 0, 2), MsgResult::Cancel);
  ::setenv("TARNRQ_AUTOANSWER", "0", 1);
  EXPECT_TRUE(script.requests().isEmpty()) << "the presenter is not called";
  EXPECT_EQ(script.pending(), 1);
}

}  // namespace
}  // namespace tarn
