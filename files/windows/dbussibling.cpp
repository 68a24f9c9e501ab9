#include "files/windows/dbussibling.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>

#include "core/eventlog.h"

namespace tarn::fm {

DBusSibling::DBusSibling(const QDBusConnection& bus, int timeoutMs) : bus_(bus), timeoutMs_(timeoutMs) {}

QDBusConnection& DBusSibling::bus() {
  if (!bus_) bus_ = QDBusConnection::sessionBus();
  return *bus_;
}

bool DBusSibling::Connect() {
  lastError_.clear();
  if (!bus().isConnected()) {
    lastError_ = bus().lastError().message();
    if (lastError_.isEmpty()) lastError_ = QStringLiteral("no session bus");
    return false;
  }
  QDBusConnectionInterface* daemon = bus().interface();
  const QString name = QString::fromLatin1(kSiblingService);
  if (daemon->isServiceRegistered(name)) return true;
  // Nobody owns the name: the bus starts the program when it has an activation file for it.
  const QDBusReply<void> started = daemon->startService(name);
  if (!started.isValid()) {
    lastError_ = started.error().message();
    eventlog::logStep("frmFManager", "cmdOpenInSG_Click", QStringLiteral("Start failed: ") + lastError_);
    return false;
  }
  return daemon->isServiceRegistered(name);
}

bool DBusSibling::OpenFile(const QString& path) {
  QDBusMessage call =
      QDBusMessage::createMethodCall(QString::fromLatin1(kSiblingService), QString::fromLatin1(kSiblingPath),
                                     QString::fromLatin1(kSiblingInterface), QStringLiteral("OpenFile"));
  call << path;
  const QDBusMessage reply = bus().call(call, QDBus::Block, timeoutMs_);
  if (reply.type() != QDBusMessage::ReplyMessage) {
    lastError_ = reply.errorMessage();
    eventlog::logStep("frmFManager", "cmdOpenInSG_Click", QStringLiteral("No answer: ") + lastError_);
    return false;
  }
  const QList<QVariant> args = reply.arguments();
  return !args.isEmpty() && args.first().toBool();
}

}  // namespace tarn::fm
