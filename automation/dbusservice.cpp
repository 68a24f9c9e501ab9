#include "automation/dbusservice.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <cstring>

#include "automation/dbusrecords.h"
#include "automation/introspection_xml.h"
#include "automation/kmtarnrqapp.h"
#include "core/eventlog.h"

namespace tarn {

namespace {
constexpr char kModule[] = "KM_TARNRQ_APP";
constexpr char kPropertiesInterface[] = "org.freedesktop.DBus.Properties";

// The interfaces of the object: the repository's introspection file without its <node> frame and
// without the callback interface, which the clients implement.
QString interfacesXml() {
  QString xml = QString::fromUtf8(kIntrospectionXml);
  const int open = xml.indexOf(QLatin1String("<node"));
  const int start = xml.indexOf('>', open) + 1;
  const int end = xml.lastIndexOf(QLatin1String("</node>"));
  if (open < 0 || end < start) return QString();
  xml = xml.mid(start, end - start);
  const int callback =
      xml.indexOf(QStringLiteral("<interface name=\"%1\"").arg(automation::kCallbackInterface));
  const int callbackEnd = xml.indexOf(QLatin1String("</interface>"), callback);
  if (callback >= 0 && callbackEnd > callback)
    xml.remove(callback, callbackEnd + int(strlen("</interface>")) - callback);
  return xml;
}
}  // namespace

class AutomationBusService::Peer final : public AutomationClient {
 public:
  Peer(AutomationBusService& service, const QString& uniqueName)
      : service_(service), name(uniqueName), app(service.server_, this) {}

  void raise(AppEvent e, const QVariantList& args) override {
    QDBusMessage signal =
        QDBusMessage::createTargetedSignal(name, QString::fromLatin1(automation::kPath),
                                           QString::fromLatin1(automation::kEventsInterface), eventName(e));
    signal.setArguments(args);
    service_.bus_.send(signal);
  }

  std::optional<bool> AppQueryFileRecovery(const QString& sFileName, const QString& sTempFileName) override {
    if (callback.isEmpty()) {
      raise(AppEvent::AppQueryFileRecovery, {sFileName, sTempFileName, true});
      return true;
    }
    const QDBusMessage reply = ask("AppQueryFileRecovery", {sFileName, sTempFileName});
    if (reply.type() != QDBusMessage::ReplyMessage || reply.signature() != QLatin1String("b"))
      return std::nullopt;
    return reply.arguments().at(0).toBool();
  }

  std::optional<qint16> AppQueryClose() override {
    if (callback.isEmpty()) {
      raise(AppEvent::AppQueryClose, {QVariant::fromValue(qint16(0))});
      return qint16(0);
    }
    const QDBusMessage reply = ask("AppQueryClose", {});
    if (reply.type() != QDBusMessage::ReplyMessage || reply.signature() != QLatin1String("n"))
      return std::nullopt;
    return qint16(reply.arguments().at(0).toInt());
  }

 private:
  // Waits for the client's answer no longer than the time-out; the station's window waits with it.
  QDBusMessage ask(const char* method, const QVariantList& args) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        name, callback, QString::fromLatin1(automation::kCallbackInterface), QString::fromLatin1(method));
    call.setArguments(args);
    const QDBusMessage reply = service_.bus_.call(call, QDBus::Block, service_.timeoutMs_);
    if (reply.type() == QDBusMessage::ErrorMessage)
      eventlog::logStep(kModule, method, "No answer from " + name + ": " + reply.errorName());
    return reply;
  }

  AutomationBusService& service_;

 public:
  const QString name;
  QString callback;  // object path of the client's callback; empty: none
  KM_TARNRQ_APP app;
};

AutomationBusService::AutomationBusService(AutomationServer& server, const QDBusConnection& bus,
                                           int callbackTimeoutMs)
    : server_(server), bus_(bus), timeoutMs_(callbackTimeoutMs) {
  automation::registerDBusTypes();
  watcher_ = new QDBusServiceWatcher(this);
  watcher_->setConnection(bus_);
  watcher_->setWatchMode(QDBusServiceWatcher::WatchForUnregistration);
  connect(watcher_, &QDBusServiceWatcher::serviceUnregistered, this, &AutomationBusService::peerGone);
}

AutomationBusService::~AutomationBusService() {
  stop();
  peers_.clear();
}

bool AutomationBusService::start(QString* error) {
  if (started_) return true;
  auto fail = [&](const QString& why) {
    if (error) *error = why;
    bus_.unregisterObject(QString::fromLatin1(automation::kPath));
    return false;
  };
  if (!bus_.isConnected()) return fail("No session bus: " + bus_.lastError().message());
  if (!bus_.registerVirtualObject(QString::fromLatin1(automation::kPath), this))
    return fail("The object path is taken: " + bus_.lastError().message());
  if (!bus_.registerService(QString::fromLatin1(automation::kService)))
    return fail("The service name is owned by another program: " + bus_.lastError().message());
  started_ = true;
  return true;
}

void AutomationBusService::stop() {
  if (!started_) return;
  bus_.unregisterService(QString::fromLatin1(automation::kService));
  bus_.unregisterObject(QString::fromLatin1(automation::kPath));
  started_ = false;
}

QString AutomationBusService::introspect(const QString& path) const {
  return path == QLatin1String(automation::kPath) ? interfacesXml() : QString();
}

AutomationBusService::Peer* AutomationBusService::peerFor(const QString& uniqueName) {
  auto it = peers_.find(uniqueName);
  if (it != peers_.end()) return it->second.get();
  auto peer = std::make_unique<Peer>(*this, uniqueName);
  Peer* p = peer.get();
  peers_.emplace(uniqueName, std::move(peer));
  watcher_->addWatchedService(uniqueName);
  // A client that left before the watch was in place is caught here: the bus answers this after
  // it has taken the watch.
  auto* pending = new QDBusPendingCallWatcher(
      bus_.interface()->asyncCall(QStringLiteral("NameHasOwner"), uniqueName), this);
  connect(pending, &QDBusPendingCallWatcher::finished, this, [this, uniqueName](QDBusPendingCallWatcher* w) {
    const QDBusPendingReply<bool> r = *w;
    if (r.isValid() && !r.value()) peerGone(uniqueName);
    w->deleteLater();
  });
  return p;
}

void AutomationBusService::peerGone(const QString& uniqueName) {
  auto it = peers_.find(uniqueName);
  if (it == peers_.end()) return;
  watcher_->removeWatchedService(uniqueName);
  peers_.erase(it);  // an instance still registered leaves the collection as it goes
  if (peers_.empty() && onLastClientGone) onLastClientGone();
}

bool AutomationBusService::handleMessage(const QDBusMessage& m, const QDBusConnection& c) {
  if (m.type() != QDBusMessage::MethodCallMessage || m.path() != QLatin1String(automation::kPath))
    return false;
  const QString iface = m.interface();
  // Introspection and the bus's peer methods are answered by the bus library.
  if (iface.startsWith(QLatin1String("org.freedesktop.DBus.")) &&
      iface != QLatin1String(kPropertiesInterface))
    return false;
  if (m.service().isEmpty()) return false;
  Peer* peer = peerFor(m.service());
  if (iface == QLatin1String(kPropertiesInterface)) return properties(*peer, m, c);
  if (!iface.isEmpty() && iface != QLatin1String(automation::kInterface)) {
    c.send(m.createErrorReply(QDBusError::UnknownInterface, "No such interface: " + iface));
    return true;
  }
  return dispatch(*peer, m, c);
}

bool AutomationBusService::properties(Peer& peer, const QDBusMessage& m, const QDBusConnection& c) {
  const QString sig = m.signature();
  const QVariantList a = m.arguments();
  KM_TARNRQ_APP& app = peer.app;
  auto value = [&](const QString& name) -> std::optional<bool> {
    if (name == QLatin1String("bAppStarted")) return app.bAppStarted();
    if (name == QLatin1String("bAppVisible")) return app.bAppVisible();
    if (name == QLatin1String("bTestingEnabled")) return app.bTestingEnabled();
    return std::nullopt;
  };
  auto wrongInterface = [&](const QString& i) {
    return !i.isEmpty() && i != QLatin1String(automation::kInterface);
  };
  if (m.member() == QLatin1String("Get") && sig == QLatin1String("ss")) {
    const auto v = wrongInterface(a[0].toString()) ? std::nullopt : value(a[1].toString());
    if (!v) {
      c.send(m.createErrorReply(QDBusError::UnknownProperty, "No such property: " + a[1].toString()));
      return true;
    }
    c.send(m.createReply(QVariant::fromValue(QDBusVariant(*v))));
    return true;
  }
  if (m.member() == QLatin1String("GetAll") && sig == QLatin1String("s")) {
    QVariantMap all;
    if (!wrongInterface(a[0].toString()))
      for (const char* n : {"bAppStarted", "bAppVisible", "bTestingEnabled"})
        all[n] = *value(QString::fromLatin1(n));
    c.send(m.createReply(QVariant::fromValue(all)));
    return true;
  }
  if (m.member() == QLatin1String("Set") && sig == QLatin1String("ssv")) {
    const QString name = a[1].toString();
    if (wrongInterface(a[0].toString()) || !value(name)) {
      c.send(m.createErrorReply(QDBusError::UnknownProperty, "No such property: " + name));
    } else if (name != QLatin1String("bAppVisible")) {
      c.send(m.createErrorReply(QDBusError::PropertyReadOnly, name + " is read-only"));
    } else {
      const QVariant v = qvariant_cast<QDBusVariant>(a[2]).variant();
      if (v.metaType() != QMetaType::fromType<bool>()) {
        c.send(m.createErrorReply(QDBusError::InvalidArgs, "bAppVisible takes a Boolean (b)"));
      } else {
        app.setBAppVisible(v.toBool());
        c.send(m.createReply());
      }
    }
    return true;
  }
  c.send(m.createErrorReply(QDBusError::UnknownMethod, "No such method: " + m.member() + "(" + sig + ")"));
  return true;
}

bool AutomationBusService::dispatch(Peer& peer, const QDBusMessage& m, const QDBusConnection& c) {
  const QString member = m.member();
  const QString sig = m.signature();
  const QVariantList a = m.arguments();
  KM_TARNRQ_APP& app = peer.app;
  auto reply = [&](const QVariantList& out) {
    c.send(m.createReply(out));
    return true;
  };
  // Each method with the signature it takes; a known name with other arguments is refused whole.
  auto is = [&](const char* name, const char* expected) {
    return member == QLatin1String(name) && sig == QLatin1String(expected);
  };
  auto arg = [&](int i) { return a.at(i); };
  auto rec = [&](int i, auto& out) { arg(i).value<QDBusArgument>() >> out; };

  if (is("RegisterForEvents", "")) return reply({app.RegisterForEvents()});
  if (is("UnRegisterForEvents", "")) return reply({app.UnRegisterForEvents()});
  if (is("RegisterCallback", "o")) {
    const QString path = qvariant_cast<QDBusObjectPath>(arg(0)).path();
    peer.callback = path == QLatin1String("/") ? QString() : path;
    return reply({true});
  }
  if (member == QLatin1String("AppBeginTest") && QStringLiteral("bsbs").startsWith(sig)) {
    // The four arguments are optional, in order.
    return reply(
        {app.AppBeginTest(a.size() > 0 && arg(0).toBool(), a.size() > 1 ? arg(1).toString() : QString(),
                          a.size() > 2 && arg(2).toBool(), a.size() > 3 ? arg(3).toString() : QString())});
  }
  if (is("AppClose", "")) return reply({app.AppClose()});
  if (is("bFileAcceptable", "s")) return reply({app.bFileAcceptable(arg(0).toString())});
  if (is("sGetFilePath", "")) return reply({app.sGetFilePath()});
  if (is("bSetFilePath", "s")) return reply({app.bSetFilePath(arg(0).toString())});
  if (is("GetFileList", "")) {
    qint32 n = 0;
    QList<KM_RQFileListEntry> list;
    app.GetFileList(n, list);
    return reply({n, QVariant::fromValue(list)});
  }
  if (is("GetFileBalanceTest", "si"))
    return reply({QVariant::fromValue(app.GetFileBalanceTest(arg(0).toString(), arg(1).toInt()))});
  if (is("GetTemplateList", "")) {
    qint32 n = 0;
    QList<KM_RQTemplateListEntry> list;
    app.GetTemplateList(n, list);
    return reply({n, QVariant::fromValue(list)});
  }
  const bool sg = member.startsWith(QLatin1String("bSG"));
  if (is("bSGOperatorGet", "ii") || is("bKMOperatorGet", "ii")) {
    KM_Operator r;
    const bool ok = sg ? app.bSGOperatorGet(arg(0).toInt(), arg(1).toInt(), r)
                       : app.bKMOperatorGet(arg(0).toInt(), arg(1).toInt(), r);
    return reply({ok, QVariant::fromValue(r)});
  }
  if (is("bSGOperatorSet", "ii(ssss)") || is("bKMOperatorSet", "ii(ssss)")) {
    KM_Operator r;
    rec(2, r);
    return reply({sg ? app.bSGOperatorSet(arg(0).toInt(), arg(1).toInt(), r)
                     : app.bKMOperatorSet(arg(0).toInt(), arg(1).toInt(), r)});
  }
  if (is("bSubjectInfoGet", "")) {
    KM_SubjectInfo r;
    const bool ok = app.bSubjectInfoGet(r);
    return reply({ok, QVariant::fromValue(r)});
  }
  if (member == QLatin1String("bSubjectInfoSet") && sig == automation::signatureOf<KM_SubjectInfo>()) {
    KM_SubjectInfo r;
    rec(0, r);
    return reply({app.bSubjectInfoSet(r)});
  }
  if (is("bVMedContactsGet", "i")) {
    KM_MedContacts r;
    const bool ok = app.bVMedContactsGet(arg(0).toInt(), r);
    return reply({ok, QVariant::fromValue(r)});
  }
  if (member == QLatin1String("bVMedContactsSet") && sig == "i" + automation::signatureOf<KM_MedContacts>()) {
    KM_MedContacts r;
    rec(1, r);
    return reply({app.bVMedContactsSet(arg(0).toInt(), r)});
  }
  if (is("bSubjectPhysInfoGet", "i")) {
    KM_SubjPhysInfo r;
    const bool ok = app.bSubjectPhysInfoGet(arg(0).toInt(), r);
    return reply({ok, QVariant::fromValue(r)});
  }
  if (member == QLatin1String("bSubjectPhysInfoSet") &&
      sig == "i" + automation::signatureOf<KM_SubjPhysInfo>()) {
    KM_SubjPhysInfo r;
    rec(1, r);
    return reply({app.bSubjectPhysInfoSet(arg(0).toInt(), r)});
  }

  static const QStringList known = {
      "RegisterForEvents",  "UnRegisterForEvents", "RegisterCallback", "AppBeginTest",
      "AppClose",           "bFileAcceptable",     "sGetFilePath",     "bSetFilePath",
      "GetFileList",        "GetFileBalanceTest",  "GetTemplateList",  "bSGOperatorGet",
      "bSGOperatorSet",     "bKMOperatorGet",      "bKMOperatorSet",   "bSubjectInfoGet",
      "bSubjectInfoSet",    "bVMedContactsGet",    "bVMedContactsSet", "bSubjectPhysInfoGet",
      "bSubjectPhysInfoSet"};
  if (known.contains(member))
    c.send(m.createErrorReply(QDBusError::InvalidArgs, member + " does not take (" + sig + ")"));
  else
    c.send(m.createErrorReply(QDBusError::UnknownMethod, "No such method: " + member));
  return true;
}

}  // namespace tarn
