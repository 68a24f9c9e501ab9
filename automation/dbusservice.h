#pragma once
// KM_TARNRQ_APP on the session bus. Each client connection (unique bus name) is one instance,
// made at its first call and destroyed when the connection ends, which unregisters it at once.
// Events go to registered clients only, as signals addressed to each; the two questions are
// method calls on the callback object a client registered, answered within a time-out.
//
// Every call is checked against its signature before anything happens: a wrong type or argument
// count gets org.freedesktop.DBus.Error.InvalidArgs, an unknown member UnknownMethod.
#include <QDBusConnection>
#include <QDBusVirtualObject>
#include <QString>
#include <functional>
#include <map>
#include <memory>

class QDBusServiceWatcher;

namespace tarn {

class AutomationServer;

class AutomationBusService final : public QDBusVirtualObject {
  Q_OBJECT
 public:
  static constexpr int kDefaultCallbackTimeoutMs = 2000;

  AutomationBusService(AutomationServer& server, const QDBusConnection& bus,
                       int callbackTimeoutMs = kDefaultCallbackTimeoutMs);
  ~AutomationBusService() override;

  // Registers the object and takes the service name; false with the reason when either fails
  // (another station owns the name).
  bool start(QString* error = nullptr);
  void stop();

  int instanceCount() const { return int(peers_.size()); }
  // Called when the last client connection has ended.
  std::function<void()> onLastClientGone;
  int callbackTimeoutMs() const { return timeoutMs_; }

  QString introspect(const QString& path) const override;
  bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;

 private:
  class Peer;
  Peer* peerFor(const QString& uniqueName);
  void peerGone(const QString& uniqueName);
  bool dispatch(Peer& peer, const QDBusMessage& m, const QDBusConnection& c);
  bool properties(Peer& peer, const QDBusMessage& m, const QDBusConnection& c);

  AutomationServer& server_;
  QDBusConnection bus_;
  int timeoutMs_;
  bool started_ = false;
  QDBusServiceWatcher* watcher_ = nullptr;
  std::map<QString, std::unique_ptr<Peer>> peers_;
};

}  // namespace tarn
