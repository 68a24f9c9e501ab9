// The automation service over the session bus, with the station side in a second process:
//   dbus-run-session -- automation_bench --folder DIR [benchmark flags]
// DIR is a data folder (tarnrq-demo-data --files 10000 --out DIR). The server process refreshes the
// list of DIR, serves it, and while a client is registered raises FileOpening every 20 ms with the
// monotonic time of raising it, so that the client can tell how long an event takes to arrive.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <ctime>

#include "automation/automationhost.h"
#include "automation/dbusrecords.h"
#include "automation/dbusservice.h"
#include "automation/kmtarnrqapp.h"
#include "core/settingkeys.h"
#include "core/settings.h"
#include "data/lists/list.h"
#include "data/lists/listrefresh.h"

namespace {

using namespace tarn;
namespace a = tarn::automation;

qint64 monotonicNs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

class ListHost final : public AutomationHost {
 public:
  KM_RQList list;
  bool bAppStarted() const override { return true; }
  bool bAppVisible() const override { return false; }
  void setAppVisible(bool) override {}
  bool bTestingEnabled() const override { return false; }
  void beginTest(const SessionStart&) override {}
  void unloadMainWindow() override { QCoreApplication::quit(); }
  bool bFileAcceptable(const QString&) const override { return false; }
  bool bSetFilePath(const QString&) override { return false; }
  const KM_RQList* lists() const override { return &list; }
  CurrentSubjectFile* currentFile() const override { return nullptr; }
};

int serve(const QString& folder) {
  ListHost host;
  settings::write(settings::LastPath, folder);
  ListsRefresh(host.list, ListsRefreshParams::fromSettings());
  AutomationServer server(host);
  AutomationBusService service(server, QDBusConnection::sessionBus());
  QString why;
  if (!service.start(&why)) {
    std::fprintf(stderr, "server: %s\n", qPrintable(why));
    return 1;
  }
  QTimer ticks;
  QObject::connect(&ticks, &QTimer::timeout, [&] {
    if (server.HasClients()) server.FileOpening(QString::number(monotonicNs()));
  });
  ticks.start(20);
  return QCoreApplication::exec();
}

QDBusMessage call(const char* method, const QVariantList& args = {}) {
  QDBusMessage m = QDBusMessage::createMethodCall(a::kService, a::kPath, a::kInterface, method);
  m.setArguments(args);
  return QDBusConnection::sessionBus().call(m, QDBus::Block, 30000);
}

void BM_GetFileList(benchmark::State& state) {
  qint64 entries = 0;
  for (auto _ : state) {
    const QDBusMessage r = call("GetFileList");
    QList<KM_RQFileListEntry> list;
    r.arguments().at(1).value<QDBusArgument>() >> list;
    entries = list.size();
    benchmark::DoNotOptimize(list);
  }
  state.counters["entries"] = double(entries);
}

void BM_MethodRoundTrip(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(call("sGetFilePath"));
}

void BM_GetFileBalanceTest(benchmark::State& state) {
  const QDBusMessage r = call("GetFileList");
  QList<KM_RQFileListEntry> list;
  r.arguments().at(1).value<QDBusArgument>() >> list;
  const QString name = list.value(list.size() / 2).sFileName;
  for (auto _ : state) benchmark::DoNotOptimize(call("GetFileBalanceTest", {name, 1}));
}

class EventClock : public QObject {
  Q_OBJECT
 public:
  qint64 lastDelayNs = -1;
 public slots:
  void onEvent(const QDBusMessage& m) {
    lastDelayNs = monotonicNs() - m.arguments().value(0).toString().toLongLong();
  }
};

void BM_EventDelay(benchmark::State& state) {
  EventClock clock;
  QDBusConnection bus = QDBusConnection::sessionBus();
  bus.connect(a::kService, a::kPath, a::kEventsInterface, "FileOpening", &clock, SLOT(onEvent(QDBusMessage)));
  call("RegisterForEvents");
  for (auto _ : state) {
    clock.lastDelayNs = -1;
    while (clock.lastDelayNs < 0) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    state.SetIterationTime(double(clock.lastDelayNs) / 1e9);
  }
  call("UnRegisterForEvents");
  bus.disconnect(a::kService, a::kPath, a::kEventsInterface, "FileOpening", &clock,
                 SLOT(onEvent(QDBusMessage)));
}

BENCHMARK(BM_GetFileList)->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK(BM_MethodRoundTrip)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GetFileBalanceTest)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EventDelay)->Unit(benchmark::kMicrosecond)->UseManualTime()->Iterations(200);

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  a::registerDBusTypes();
  const QStringList args = app.arguments();
  const int serveAt = args.indexOf("--serve");
  if (serveAt > 0 && serveAt + 1 < args.size()) return serve(args[serveAt + 1]);
  const int folderAt = args.indexOf("--folder");
  if (folderAt < 0 || folderAt + 1 >= args.size() || !qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS")) {
    std::fprintf(stderr,
                 "usage: dbus-run-session -- automation_bench --folder DATA_FOLDER [benchmark flags]\n");
    return 2;
  }
  // The server keeps its settings and list file in a home of its own.
  QTemporaryDir home;
  QProcess server;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("TARNRQ_HOME", home.path());
  server.setProcessEnvironment(env);
  server.setProcessChannelMode(QProcess::ForwardedChannels);
  server.start(QCoreApplication::applicationFilePath(), {"--serve", QDir(args[folderAt + 1]).absolutePath()});
  QElapsedTimer t;
  t.start();
  while (!QDBusConnection::sessionBus().interface()->isServiceRegistered(a::kService)) {
    if (server.state() == QProcess::NotRunning || t.elapsed() > 600000) return 1;
    QThread::msleep(50);
  }
  std::fprintf(stderr, "server ready after %lld ms (list refreshed)\n", t.elapsed());
  int bargc = 1;
  std::vector<char*> bargv{argv[0]};
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "--folder") {
      ++i;
      continue;
    }
    bargv.push_back(argv[i]);
    ++bargc;
  }
  benchmark::Initialize(&bargc, bargv.data());
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  call("AppClose");
  server.waitForFinished(5000);
  return 0;
}

#include "automation_bench.moc"
