// The automation service on a private session bus (ctest runs this program under
// dbus-run-session), with real client processes: tarnrq-ctl, dbus-send and gdbus.
#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <csignal>
#include <memory>

#include "automation/dbusrecords.h"
#include "automation/dbusservice.h"
#include "automation/tests/automation_testutil.h"
#include "balance/plate/simulatedplate.h"
#include "data/templates/template.h"
#include "session/windows/testsession.h"

// Readable failures.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QStringList& l, std::ostream* os) {
  *os << '{' << l.join(" | ").toStdString() << '}';
}

namespace tarn {
namespace {

using automationtest::waitFor;
constexpr int kCallbackTimeoutMs = 600;

bool privateBus() { return qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS"); }

struct ClientRun {
  int code = -1;
  QString out, err;
  QJsonObject json() const { return QJsonDocument::fromJson(out.toUtf8()).object(); }
};

// Runs a client to its end while this process goes on serving the bus.
ClientRun run(const QString& program, const QStringList& args) {
  QProcess p;
  p.start(program, args);
  ClientRun r;
  if (!p.waitForStarted(5000)) return r;
  waitFor([&] { return p.state() == QProcess::NotRunning; }, 20000);
  if (p.state() != QProcess::NotRunning) {
    p.kill();
    p.waitForFinished();
  }
  r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  r.out = QString::fromUtf8(p.readAllStandardOutput());
  r.err = QString::fromUtf8(p.readAllStandardError());
  return r;
}

ClientRun ctl(const QStringList& args) { return run(QStringLiteral(TARNRQ_CTL), args); }

// `tarnrq-ctl watch` in the background: its JSON lines as they come.
class Watch {
 public:
  explicit Watch(const QStringList& options = {}) {
    p_.start(QStringLiteral(TARNRQ_CTL), QStringList{"watch"} + options);
    registered = waitFor([&] { return !lines().isEmpty() && lines()[0].value("event") == "Registered"; });
  }
  ~Watch() {
    if (p_.state() != QProcess::NotRunning) {
      p_.kill();
      p_.waitForFinished();
    }
  }
  const QList<QJsonObject>& lines() {
    buffer_ += QString::fromUtf8(p_.readAllStandardOutput());
    int nl;
    while ((nl = buffer_.indexOf('\n')) >= 0) {
      lines_ << QJsonDocument::fromJson(buffer_.left(nl).toUtf8()).object();
      buffer_.remove(0, nl + 1);
    }
    return lines_;
  }
  // The events after the registration line, as "Name(arg,...)".
  QStringList events() {
    QStringList out;
    for (const QJsonObject& o : lines()) {
      if (o.value("id").toInt() == 0) continue;
      QStringList args;
      for (const QString& n : eventArgumentNames(*eventByName(o.value("event").toString())))
        args << o.value(n).toVariant().toString();
      out << o.value("event").toString() + '(' + args.join(',') + ')';
    }
    return out;
  }
  bool waitForEvents(int n) {
    return waitFor([&] { return events().size() >= n; });
  }
  QProcess& process() { return p_; }
  bool registered = false;

 private:
  QProcess p_;
  QString buffer_;
  QList<QJsonObject> lines_;
};

class Listener : public QObject {
  Q_OBJECT
 public:
  int count = 0;
 public slots:
  void onEvent(const QDBusMessage&) { ++count; }
};

class AutomationBus : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!privateBus()) GTEST_SKIP() << "needs a private session bus (dbus-run-session)";
    server = std::make_unique<AutomationServer>(host);
    service =
        std::make_unique<AutomationBusService>(*server, QDBusConnection::sessionBus(), kCallbackTimeoutMs);
    QString why;
    ASSERT_TRUE(service->start(&why)) << why.toStdString();
  }
  void TearDown() override {
    service.reset();
    server.reset();
  }
  automationtest::FakeHost host;
  std::unique_ptr<AutomationServer> server;
  std::unique_ptr<AutomationBusService> service;
};

TEST_F(AutomationBus, TheCommandLineClientReadsFilesTestsAndTemplates) {
  automationtest::writeDemoFiles(3);
  KM_RQList list;
  automationtest::refreshList(list);
  host.list = &list;
  const QString folder = settings::read(settings::TemplatePath);
  folders::ensureFolder(folder);
  ASSERT_TRUE(CreateDefaultTestTemplate(QDir(folder).filePath("KMTARNRQ.tef")));

  const ClientRun l = ctl({"list"});
  ASSERT_EQ(l.code, 0) << l.err.toStdString();
  const QJsonArray entries = l.json().value("pfleList").toArray();
  ASSERT_EQ(l.json().value("lNumEntries").toInt(), 3);
  ASSERT_EQ(entries.size(), 3);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(entries[i].toObject().value("sFileName").toString(), list.lfFile(i + 1)->sFileName);
    EXPECT_EQ(entries[i].toObject().value("lTestBalanceCount").toInt(),
              list.lfFile(i + 1)->lTestBalanceCount());
  }

  const KM_RQListFile* e = list.lfFile(3);
  const KM_RQListTestBalance* t = e->ltTestBalanceItem(1);
  const ClientRun one = ctl({"test", e->sFileName, "1"});
  ASSERT_EQ(one.code, 0) << one.err.toStdString();
  EXPECT_EQ(one.json().size(), 46);
  EXPECT_EQ(one.json().value("sTestID").toString(), t->sTestID);
  EXPECT_FLOAT_EQ(float(one.json().value("fStability").toDouble()), t->fStability);
  EXPECT_EQ(one.json().value("lStabilityClass").toInt(), t->lStabilityClass);
  for (const QStringList& args :
       {QStringList{"test", "NOSUCH.kpf", "1"}, QStringList{"test", e->sFileName, "0"},
        QStringList{"test", e->sFileName, QString::number(e->lTestBalanceCount() + 1)}}) {
    const ClientRun empty = ctl(args);
    EXPECT_EQ(empty.code, 0);
    EXPECT_EQ(empty.json().value("sName").toString(), "") << args.join(' ').toStdString();
    EXPECT_EQ(empty.json().value("fStability").toDouble(), 0.0);
  }

  const ClientRun tl = ctl({"templates"});
  ASSERT_EQ(tl.code, 0);
  EXPECT_EQ(tl.json().value("lNumEntries").toInt(), 1);
  EXPECT_EQ(tl.json().value("ptleList").toArray()[0].toObject().value("lNumBalance").toInt(), 4);
}

// Wrong types, wrong counts, unknown members and huge arguments get a D-Bus error or the empty
// result, and the service goes on answering.
TEST_F(AutomationBus, BadCallsGetAnErrorOrTheEmptyResult) {
  const QString huge(100000, 'x');  // one command-line argument holds at most 128 KiB
  const QString iface = QLatin1String(automation::kInterface);
  const struct {
    QString method;
    QStringList args;
    QString expected;  // an error name, or text of the reply
  } cases[] = {
      {"GetFileBalanceTest", {"int32:1"}, "org.freedesktop.DBus.Error.InvalidArgs"},
      {"GetFileBalanceTest", {"string:a", "string:b"}, "org.freedesktop.DBus.Error.InvalidArgs"},
      {"GetFileBalanceTest", {"string:a", "int32:2", "int32:3"}, "org.freedesktop.DBus.Error.InvalidArgs"},
      {"bFileAcceptable", {"array:string:a,b"}, "org.freedesktop.DBus.Error.InvalidArgs"},
      {"bSubjectPhysInfoGet", {"string:1"}, "org.freedesktop.DBus.Error.InvalidArgs"},
      {"AppBeginTest", {"string:x"}, "org.freedesktop.DBus.Error.InvalidArgs"},
      {"NoSuchMethod", {}, "org.freedesktop.DBus.Error.UnknownMethod"},
      {"bSetFilePath", {"string:" + huge}, "boolean false"},
      {"bFileAcceptable", {"string:" + huge}, "boolean false"},
      {"AppBeginTest", {"boolean:true", "string:" + huge}, "boolean false"},
      {"bSGOperatorGet", {"int32:-2147483648", "int32:2147483647"}, "boolean false"},
      {"GetFileBalanceTest", {"string:", "int32:2147483647"}, "struct {"},
      {"org.freedesktop.DBus.Properties.Set",
       {"string:" + iface, "string:bAppStarted", "variant:boolean:false"},
       "PropertyReadOnly"},
      {"org.freedesktop.DBus.Properties.Set",
       {"string:" + iface, "string:bAppVisible", "variant:int32:1"},
       "InvalidArgs"},
      {"org.freedesktop.DBus.Properties.Get", {"string:" + iface, "string:bNoSuch"}, "UnknownProperty"},
  };
  host.testingEnabled = true;
  for (const auto& k : cases) {
    SCOPED_TRACE((k.method + ' ' + k.args.join(' ').left(60)).toStdString());
    const ClientRun r =
        run("dbus-send",
            QStringList{"--session", "--print-reply", "--dest=" + QLatin1String(automation::kService),
                        automation::kPath, k.method.contains('.') ? k.method : iface + '.' + k.method} +
                k.args);
    EXPECT_TRUE((r.out + r.err).contains(k.expected)) << (r.out + r.err).left(300).toStdString();
  }
  EXPECT_TRUE(host.begun.empty()) << "a refused begin changed nothing";
  EXPECT_FALSE(host.visible);
  const ClientRun alive = ctl({"status"});
  EXPECT_EQ(alive.code, 0);
  EXPECT_EQ(alive.json().value("bAppStarted").toBool(), true);
}

// The introspection file is what gdbus types its calls from; the README's calls work as written.
TEST_F(AutomationBus, GdbusCallsTypedFromTheIntrospection) {
  CurrentSubjectFile file;
  host.file = &file;
  ASSERT_TRUE(file.fnFileOpen(automationtest::writeSubjectFile("STF000001.kpf", 1)));
  const QStringList base = {"call",          "--session",       "--dest",  automation::kService,
                            "--object-path", automation::kPath, "--method"};
  const QString m = QLatin1String(automation::kInterface) + '.';
  const ClientRun set =
      run("gdbus", base + QStringList{m + "bKMOperatorSet", "1", "1", "('Kim', 'Oslo', 'Viken', '')"});
  ASSERT_EQ(set.code, 0) << set.err.toStdString();
  EXPECT_EQ(set.out.trimmed(), "(true,)");
  EXPECT_EQ(file.file()->VisitItem(1)->SessionItem(1)->kmOperator.sOperatorName, "Kim");
  const ClientRun get = run("gdbus", base + QStringList{m + "bKMOperatorGet", "1", "1"});
  EXPECT_EQ(get.out.trimmed(), "(true, ('Kim', 'Oslo', 'Viken', ''))");
  const ClientRun outside = run("gdbus", base + QStringList{m + "bKMOperatorGet", "2", "1"});
  EXPECT_EQ(outside.out.trimmed(), "(false, ('', '', '', ''))");
  const ClientRun phys = run("gdbus", base + QStringList{m + "bSubjectPhysInfoSet", "1",
                                                         "(1.75, 70.0, 0, '', 0, '', 0, '', 1, 0, 'note')"});
  EXPECT_EQ(phys.out.trimmed(), "(true,)") << phys.err.toStdString();
  EXPECT_DOUBLE_EQ(file.file()->VisitItem(1)->phys.dHeight, 1.75);
  const ClientRun intro = run("gdbus", {"introspect", "--session", "--dest", automation::kService,
                                        "--object-path", automation::kPath});
  EXPECT_TRUE(intro.out.contains("interface com.kamrithlabs.TarnRQ.Events"));
  EXPECT_FALSE(intro.out.contains("com.kamrithlabs.TarnRQ.Callback")) << "the clients implement it";
  const ClientRun prop = run("gdbus", base + QStringList{"org.freedesktop.DBus.Properties.Get",
                                                         automation::kInterface, "bTestingEnabled"});
  EXPECT_EQ(prop.out.trimmed(), "(<true>,)");
}

TEST_F(AutomationBus, EventsReachOnlyRegisteredClientsInTheOrderSent) {
  Watch watch;
  ASSERT_TRUE(watch.registered);
  // A client that calls but never registers is an instance that hears nothing.
  Listener heard;
  {
    QDBusConnection bystander = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "bystander");
    QDBusMessage call = QDBusMessage::createMethodCall(automation::kService, automation::kPath,
                                                       automation::kInterface, "sGetFilePath");
    QDBusPendingCallWatcher pending(bystander.asyncCall(call));
    ASSERT_TRUE(waitFor([&] { return pending.isFinished(); }));
    ASSERT_TRUE(bystander.connect(QString(), automation::kPath, automation::kEventsInterface, QString(),
                                  &heard, SLOT(onEvent(QDBusMessage))));
  }
  EXPECT_EQ(service->instanceCount(), 2);
  EXPECT_EQ(server->count(), 1);

  server->FileOpening("/data/STF000001.kpf");
  server->NewVisit(1);
  server->NewSession(1, 2);
  server->NewKMOperator(1, 2);
  server->ExitingTest(true);
  server->ListRefreshStart();
  server->ListRefreshEnd();
  ASSERT_TRUE(watch.waitForEvents(7));
  EXPECT_EQ(watch.events(), (QStringList{"FileOpening(/data/STF000001.kpf)", "NewVisit(1)", "NewSession(1,2)",
                                         "NewKMOperator(1,2)", "ExitingTest(true)", "ListRefreshStart()",
                                         "ListRefreshEnd()"}));
  EXPECT_EQ(heard.count, 0);
  QDBusConnection::disconnectFromBus("bystander");
  EXPECT_TRUE(waitFor([&] { return service->instanceCount() == 1; }))
      << "the bystander's instance went with it";
}

// The two questions go to the registered callbacks in order and stop at the first objection.
TEST_F(AutomationBus, VetoesAreAnsweredThroughTheCallbacks) {
  Watch objecting({"--refuse-recovery", "--cancel-close"});
  ASSERT_TRUE(objecting.registered);
  Watch agreeing;
  ASSERT_TRUE(agreeing.registered);

  EXPECT_FALSE(server->AppQueryClose()) << "the close is cancelled";
  EXPECT_FALSE(server->AppQueryFileRecovery("/d/STF000002.kpf", "/t/~ST9.tmp")) << "no recovery";
  ASSERT_TRUE(objecting.waitForEvents(2));
  EXPECT_EQ(objecting.events(),
            (QStringList{"AppQueryClose(-1)", "AppQueryFileRecovery(/d/STF000002.kpf,/t/~ST9.tmp,false)"}));
  waitFor([] { return false; }, 200);
  EXPECT_TRUE(agreeing.events().isEmpty()) << "asked after the first objection";

  objecting.process().kill();
  ASSERT_TRUE(waitFor([&] { return server->count() == 1; }));
  EXPECT_TRUE(server->AppQueryClose());
  EXPECT_TRUE(server->AppQueryFileRecovery("a", "b"));
  ASSERT_TRUE(agreeing.waitForEvents(2));
  EXPECT_EQ(agreeing.events(), (QStringList{"AppQueryClose(0)", "AppQueryFileRecovery(a,b,true)"}));
}

// A client that never answers holds the window no longer than the time-out, counts as agreeing
// and is unregistered; one that crashes is unregistered as its connection ends.
TEST_F(AutomationBus, SilentAndCrashedClientsAreUnregistered) {
  {
    Watch silent({"--no-answer"});
    ASSERT_TRUE(silent.registered);
    QElapsedTimer t;
    t.start();
    EXPECT_TRUE(server->AppQueryClose());
    EXPECT_LT(t.elapsed(), kCallbackTimeoutMs + 1000);
    EXPECT_GE(t.elapsed(), kCallbackTimeoutMs - 50);
    EXPECT_EQ(server->count(), 0);
  }
  Watch crashing;
  ASSERT_TRUE(crashing.registered);
  ASSERT_EQ(server->count(), 1);
  ::kill(pid_t(crashing.process().processId()), SIGKILL);
  EXPECT_TRUE(waitFor([&] { return server->count() == 0 && service->instanceCount() == 0; }));
  QElapsedTimer t;
  t.start();
  EXPECT_TRUE(server->AppQueryClose());
  EXPECT_LT(t.elapsed(), 100) << "nobody left to wait for";

  // A client that leaves before its answer: the answer goes nowhere, the instance goes with it.
  const ClientRun gone =
      run("dbus-send", {"--session", "--dest=" + QLatin1String(automation::kService), automation::kPath,
                        QLatin1String(automation::kInterface) + ".GetFileList"});
  EXPECT_EQ(gone.code, 0);
  EXPECT_TRUE(waitFor([&] { return service->instanceCount() == 0; }));
  EXPECT_EQ(ctl({"status"}).code, 0) << "still serving";
}

// One whole session, unattended, through the real windows: the events a client hears, in order.
TEST_F(AutomationBus, TheEventsOfOneWholeSessionInOrder) {
  {
    const QString folder = settings::read(settings::TemplatePath);
    folders::ensureFolder(folder);
    ASSERT_TRUE(CreateDefaultTestTemplate(QDir(folder).filePath(settings::read(settings::TemplateFile))));
    folders::ensureFolder(settings::read(settings::LastPath));
  }
  Watch watch;
  ASSERT_TRUE(watch.registered);
  SimulatedPlateDriver driver(1, SimulatedPlateConfig{.temperatureC = 26.0, .seed = 3}, SimulatedSubject{});
  driver.PlateDevicesOpen();
  KM_RQList list;
  CurrentSubjectFile file;
  TestSessionContext ctx;
  ctx.plateDriver = &driver;
  ctx.lists = &list;
  ctx.currentFile = &file;
  ctx.notices = server.get();
  ctx.listsRefresh = [&] {
    ListsRefreshParams p = ListsRefreshParams::fromSettings();
    p.onStart = [&] { server->ListRefreshStart(); };
    p.onEnd = [&] { server->ListRefreshEnd(); };
    ListsRefresh(list, p);
  };
  UnattendedOptions o;
  o.timeScale = 400;
  o.stepTimeoutMs = 60000;
  const UnattendedReport r = RunUnattendedSession(ctx, o);
  ASSERT_TRUE(r.ok) << r.error.toStdString();
  const QString name = r.fileName;
  // Step 8 saves, closes, tells the end of the session, then refreshes the list.
  const QStringList expected = {
      "EnteringTest(false)",      "FileOpening(" + name + ")", "NewVisit(1)",
      "NewSession(1,1)",          "EnteringSbjInfo(1,1)",      "ExitingSbjInfo(1,1)",
      "FileSaving(" + name + ")", "FileClosing(" + name + ")", "ExitingTest(false)",
      "ListRefreshStart()",       "ListRefreshEnd()"};
  ASSERT_TRUE(watch.waitForEvents(expected.size()));
  waitFor([] { return false; }, 200);
  EXPECT_EQ(watch.events(), expected);
}

}  // namespace
}  // namespace tarn

#include "dbusservice_test.moc"
