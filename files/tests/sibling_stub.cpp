// A stand-in for the sibling balance program on the session bus: owns its well-known name and
// answers OpenFile, refusing names that contain "refuse". Each call is appended to the file
// named by the first argument, so that the test sees what arrived.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QFile>
#include <QObject>
#include <cstdio>

#include "files/windows/dbussibling.h"

class Sibling : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "com.kamrithlabs.STEADLOG")
 public:
  explicit Sibling(QString log) : log_(std::move(log)) {}

 public slots:
  bool OpenFile(const QString& path) {
    QFile f(log_);
    if (f.open(QIODevice::Append)) f.write(path.toUtf8() + '\n');
    return !path.contains(QLatin1String("refuse"));
  }

 private:
  QString log_;
};

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc < 2) return 2;
  Sibling sibling(QString::fromLocal8Bit(argv[1]));
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.registerObject(tarn::fm::kSiblingPath, &sibling, QDBusConnection::ExportAllSlots)) return 3;
  if (!bus.registerService(tarn::fm::kSiblingService)) return 4;
  std::puts("ready");
  std::fflush(stdout);
  return app.exec();
}

#include "sibling_stub.moc"
