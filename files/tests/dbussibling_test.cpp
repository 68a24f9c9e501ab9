// The hand-over to the sibling program over a private session bus (the test runs under
// dbus-run-session): a second process that answers, and nobody at all.
#include <gtest/gtest.h>

#include <QDBusConnectionInterface>
#include <QDeadlineTimer>
#include <QProcess>
#include <QThread>

#include "files/filecommands.h"
#include "files/tests/files_testutil.h"
#include "files/windows/dbussibling.h"
#include "testsupport/scriptedmessages.h"

namespace tarn::fm {
namespace {

// ctest runs this program under dbus-run-session; run by hand, it needs the same.
bool privateBus() { return qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS"); }

TEST(SiblingOnTheBus, NobodyAnswers) {
  if (!privateBus()) GTEST_SKIP() << "needs a session bus (dbus-run-session)";
  ScriptedMessages messages{MsgResult::OK};
  DBusSibling sibling(QDBusConnection::sessionBus(), 2000);
  EXPECT_FALSE(sibling.Connect());
  EXPECT_FALSE(sibling.lastError().isEmpty());
  FileCommands commands(DataFolder{filestest::makeFolder("data"), ".kpf"}, &sibling);
  EXPECT_FALSE(commands.OpenInSG({"a.kpf"}));
  EXPECT_EQ(messages.texts(), QStringList{"KM TARN™ RQ could not start or connect to STEADLOG!"});
}

TEST(SiblingOnTheBus, ASecondProcessOpensTheFilesAndRefusesOne) {
  if (!privateBus()) GTEST_SKIP() << "needs a session bus (dbus-run-session)";
  const QString calls = filestest::sandboxPath("calls.txt");
  QProcess stub;
  stub.start(QStringLiteral(TARNRQ_SIBLING_STUB), {calls});
  ASSERT_TRUE(stub.waitForStarted(10000));
  ASSERT_TRUE(stub.waitForReadyRead(10000)) << stub.readAllStandardError().toStdString();
  EXPECT_EQ(stub.readAllStandardOutput().trimmed(), "ready");

  ScriptedMessages messages{MsgResult::OK};
  DBusSibling sibling;
  const QString data = filestest::makeFolder("data");
  FileCommands commands(DataFolder{data, ".kpf"}, &sibling);
  EXPECT_TRUE(commands.OpenInSG({"Ørsted 'a'.kpf", "refuse.kpf"}));
  EXPECT_EQ(QString::fromUtf8(filestest::bytesOf(calls)),
            data + "/Ørsted 'a'.kpf\n" + data + "/refuse.kpf\n");
  EXPECT_EQ(messages.texts(),
            QStringList{"The File\n\n" + data + "/refuse.kpf\n\ncould not be opened in STEADLOG!"});

  // Once it has gone, the next hand-over finds nobody.
  stub.kill();
  stub.waitForFinished(10000);
  QDeadlineTimer gone(10000);
  while (QDBusConnection::sessionBus().interface()->isServiceRegistered(kSiblingService) &&
         !gone.hasExpired())
    QThread::msleep(20);
  EXPECT_FALSE(sibling.Connect());
}

}  // namespace
}  // namespace tarn::fm
