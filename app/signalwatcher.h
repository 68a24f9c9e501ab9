#pragma once
// SIGTERM and SIGINT end the station the normal way: the handler only writes to a pipe, and the
// window thread closes the main window when it reads it.
#include <QObject>

class QSocketNotifier;

namespace tarn::app {

class SignalWatcher : public QObject {
  Q_OBJECT
 public:
  explicit SignalWatcher(QObject* parent = nullptr);
  ~SignalWatcher() override;
  bool active() const { return notifier_ != nullptr; }

 signals:
  void terminationRequested(int signalNumber);

 private:
  void readSignal();
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace tarn::app
