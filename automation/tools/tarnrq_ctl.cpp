// tarnrq-ctl: the station's automation object from the command line, for scripts and clinics'
// integrations. Every answer is JSON on standard output; `watch` prints one JSON line per event.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <cstdio>

#include "automation/dbusrecords.h"
#include "automation/kmtarnrqapp.h"

namespace {

using namespace tarn;
namespace a = tarn::automation;

int fail(const QString& text, int code = 1) {
  std::fprintf(stderr, "tarnrq-ctl: %s\n", qPrintable(text));
  return code;
}

void printJson(const QJsonObject& o) {
  std::printf("%s\n", QJsonDocument(o).toJson(QJsonDocument::Compact).constData());
  std::fflush(stdout);
}

QJsonObject json(const KM_RQFileListEntry& r) {
  return {{"sSubjID", r.sSubjID},
          {"sSubjFName", r.sSubjFName},
          {"sSubjMName", r.sSubjMName},
          {"sSubjLName", r.sSubjLName},
          {"sSubjDoB", r.sSubjDoB},
          {"lIsMale", r.lIsMale},
          {"lVisitCount", r.lVisitCount},
          {"lSessionCount", r.lSessionCount},
          {"lRQVisitCount", r.lRQVisitCount},
          {"lRQSessionCount", r.lRQSessionCount},
          {"lTestVisionCount", r.lTestVisionCount},
          {"lTestBalanceCount", r.lTestBalanceCount},
          {"sFileName", r.sFileName}};
}

QJsonObject json(const KM_RQFileBalanceTest& r) {
  QJsonObject o;
  const QStringList& names = a::balanceTestMemberNames();
  const QVariantList values = a::balanceTestValues(r);
  for (int i = 0; i < names.size() && i < values.size(); ++i)
    o[names[i]] = QJsonValue::fromVariant(values[i]);
  return o;
}

QJsonObject json(const KM_RQTemplateListEntry& r) {
  return {{"sName", r.sName},
          {"lNumBalance", r.lNumBalance},
          {"lNumVision", r.lNumVision},
          {"sFileName", r.sFileName}};
}

class Station {
 public:
  Station(QDBusConnection bus, int timeoutMs) : bus_(std::move(bus)), timeoutMs_(timeoutMs) {}

  // The reply's arguments, or nullopt after printing the error.
  std::optional<QVariantList> call(const QString& method, const QVariantList& args = {},
                                   const QString& iface = QLatin1String(a::kInterface)) {
    QDBusMessage m =
        QDBusMessage::createMethodCall(QLatin1String(a::kService), QLatin1String(a::kPath), iface, method);
    m.setArguments(args);
    const QDBusMessage r = bus_.call(m, QDBus::Block, timeoutMs_);
    if (r.type() != QDBusMessage::ReplyMessage) {
      fail(method + ": " + r.errorName() + ": " + r.errorMessage());
      return std::nullopt;
    }
    return r.arguments();
  }

 private:
  QDBusConnection bus_;
  int timeoutMs_;
};

template <class T>
QList<T> listOf(const QVariant& v) {
  QList<T> out;
  v.value<QDBusArgument>() >> out;
  return out;
}

// The callback object of `watch`: answers the two questions as the command line says.
class Callback : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "com.kamrithlabs.TarnRQ.Callback")
 public:
  bool refuseRecovery = false;
  bool cancelClose = false;
  bool silent = false;  // never answers: the station's time-out applies

 public slots:
  Q_SCRIPTABLE bool AppQueryFileRecovery(const QString& sFileName, const QString& sTempFileName,
                                         const QDBusMessage& message) {
    if (silent) message.setDelayedReply(true);
    printJson({{"event", "AppQueryFileRecovery"},
               {"id", int(AppEvent::AppQueryFileRecovery)},
               {"sFileName", sFileName},
               {"sTempFileName", sTempFileName},
               {"bRecover", !refuseRecovery}});
    return !refuseRecovery;
  }
  Q_SCRIPTABLE short AppQueryClose(const QDBusMessage& message) {
    if (silent) message.setDelayedReply(true);
    printJson(
        {{"event", "AppQueryClose"}, {"id", int(AppEvent::AppQueryClose)}, {"Cancel", cancelClose ? -1 : 0}});
    return cancelClose ? -1 : 0;
  }
};

class Watcher : public QObject {
  Q_OBJECT
 public:
  int remaining = -1;  // events still to print before leaving; -1: until the station ends

 public slots:
  void onEvent(const QDBusMessage& m) {
    const std::optional<AppEvent> e = eventByName(m.member());
    if (!e) return;
    QJsonObject o{{"event", m.member()}, {"id", int(*e)}};
    const QStringList names = eventArgumentNames(*e);
    const QVariantList args = m.arguments();
    for (int i = 0; i < names.size() && i < args.size(); ++i) o[names[i]] = QJsonValue::fromVariant(args[i]);
    printJson(o);
    if (remaining > 0 && --remaining == 0) QCoreApplication::exit(0);
  }
};

int watch(QDBusConnection bus, Station& station, const QCommandLineParser& cli) {
  Callback callback;
  callback.refuseRecovery = cli.isSet("refuse-recovery");
  callback.cancelClose = cli.isSet("cancel-close");
  callback.silent = cli.isSet("no-answer");
  Watcher watcher;
  if (cli.isSet("count")) watcher.remaining = cli.value("count").toInt();
  if (!bus.registerObject(QStringLiteral("/tarnrq_ctl/callback"), &callback,
                          QDBusConnection::ExportScriptableSlots))
    return fail("cannot offer the callback object");
  if (!bus.connect(QLatin1String(a::kService), QLatin1String(a::kPath), QLatin1String(a::kEventsInterface),
                   QString(), &watcher, SLOT(onEvent(QDBusMessage))))
    return fail("cannot listen to the station's events");
  if (!cli.isSet("no-callback") &&
      !station.call("RegisterCallback", {QVariant::fromValue(QDBusObjectPath("/tarnrq_ctl/callback"))}))
    return 1;
  const auto r = station.call("RegisterForEvents");
  if (!r) return 1;
  // The station leaving ends the watch.
  QDBusServiceWatcher gone(QLatin1String(a::kService), bus, QDBusServiceWatcher::WatchForUnregistration);
  QObject::connect(&gone, &QDBusServiceWatcher::serviceUnregistered, [] { QCoreApplication::exit(0); });
  printJson({{"event", "Registered"}, {"id", 0}});
  return QCoreApplication::exec();
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName("tarnrq-ctl");
  a::registerDBusTypes();
  QCommandLineParser cli;
  cli.setApplicationDescription(
      "Drives the station through its automation object on the session bus.\n\n"
      "Commands:\n"
      "  status                      started, visible and testing-enabled flags\n"
      "  show | hide                 shows or hides the main window\n"
      "  list                        the subject files of the data folder\n"
      "  test FILE INDEX             balance test INDEX (from 1) of FILE as the list caches it\n"
      "  templates                   the test templates\n"
      "  path [FOLDER]               the data folder, or switch to FOLDER\n"
      "  acceptable FILE             whether the station can open FILE\n"
      "  begin                       begins a test (see --file, --new-file, --template)\n"
      "  close                       closes the station\n"
      "  watch                       prints every event as one JSON line");
  cli.addHelpOption();
  cli.addPositionalArgument("command", "What to do.");
  cli.addOptions({
      {"file", "begin: test this subject file without the file window.", "name"},
      {"new-file", "begin: a new subject file without the file window."},
      {"template", "begin: use this test template without the template window.", "name"},
      {"timeout", "Milliseconds to wait for each answer (default 25000).", "ms", "25000"},
      {"refuse-recovery", "watch: refuse the recovery of an unsaved file."},
      {"cancel-close", "watch: cancel the closing of the station."},
      {"no-answer", "watch: never answer the two questions (the station stops waiting)."},
      {"no-callback", "watch: register no callback (the questions arrive as signals)."},
      {"count", "watch: leave after this many events.", "n"},
  });
  cli.process(app);
  const QStringList args = cli.positionalArguments();
  if (args.isEmpty()) return fail("no command; see --help", 2);
  const QString cmd = args[0];

  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return fail("no session bus: " + bus.lastError().message());
  Station station(bus, cli.value("timeout").toInt());

  if (cmd == "status") {
    const auto r =
        station.call("GetAll", {QString::fromLatin1(a::kInterface)}, "org.freedesktop.DBus.Properties");
    if (!r) return 1;
    QVariantMap m;
    r->at(0).value<QDBusArgument>() >> m;
    printJson(QJsonObject::fromVariantMap(m));
    return 0;
  }
  if (cmd == "show" || cmd == "hide") {
    const auto r = station.call("Set",
                                {QString::fromLatin1(a::kInterface), QStringLiteral("bAppVisible"),
                                 QVariant::fromValue(QDBusVariant(cmd == "show"))},
                                "org.freedesktop.DBus.Properties");
    return r ? 0 : 1;
  }
  if (cmd == "list") {
    const auto r = station.call("GetFileList");
    if (!r) return 1;
    QJsonArray entries;
    for (const auto& e : listOf<KM_RQFileListEntry>(r->at(1))) entries.append(json(e));
    printJson({{"lNumEntries", r->at(0).toInt()}, {"pfleList", entries}});
    return 0;
  }
  if (cmd == "test") {
    bool ok = false;
    const int index = args.value(2).toInt(&ok);
    if (args.size() != 3 || !ok) return fail("usage: test FILE INDEX", 2);
    const auto r = station.call("GetFileBalanceTest", {args[1], index});
    if (!r) return 1;
    KM_RQFileBalanceTest t;
    r->at(0).value<QDBusArgument>() >> t;
    printJson(json(t));
    return 0;
  }
  if (cmd == "templates") {
    const auto r = station.call("GetTemplateList");
    if (!r) return 1;
    QJsonArray entries;
    for (const auto& e : listOf<KM_RQTemplateListEntry>(r->at(1))) entries.append(json(e));
    printJson({{"lNumEntries", r->at(0).toInt()}, {"ptleList", entries}});
    return 0;
  }
  if (cmd == "path") {
    const auto r = args.size() > 1 ? station.call("bSetFilePath", {args[1]}) : station.call("sGetFilePath");
    if (!r) return 1;
    printJson({{"result", QJsonValue::fromVariant(r->at(0))}});
    return args.size() > 1 && !r->at(0).toBool() ? 1 : 0;
  }
  if (cmd == "acceptable") {
    if (args.size() != 2) return fail("usage: acceptable FILE", 2);
    const auto r = station.call("bFileAcceptable", {args[1]});
    if (!r) return 1;
    printJson({{"result", r->at(0).toBool()}});
    return r->at(0).toBool() ? 0 : 1;
  }
  if (cmd == "begin") {
    const bool noFileWindow = cli.isSet("file") || cli.isSet("new-file");
    const bool noTemplateWindow = cli.isSet("template");
    const auto r = station.call("AppBeginTest",
                                {noFileWindow, cli.value("file"), noTemplateWindow, cli.value("template")});
    if (!r) return 1;
    printJson({{"result", r->at(0).toBool()}});
    return r->at(0).toBool() ? 0 : 1;
  }
  if (cmd == "close") {
    const auto r = station.call("AppClose");
    if (!r) return 1;
    printJson({{"result", r->at(0).toBool()}});
    return 0;
  }
  if (cmd == "watch") return watch(bus, station, cli);
  return fail("unknown command " + cmd + "; see --help", 2);
}

#include "tarnrq_ctl.moc"
