// The program entry: "/REGISTER" only registers the automation classes; otherwise the main window
// runs its start-up and the event loop.
#include <QApplication>
#include <QFileInfo>
#include <QTimer>

#include "app/automationhost.h"
#include "app/entry.h"
#include "app/frmpmain.h"
#include "app/signalwatcher.h"
#include "app/stationapp.h"
#include "core/version.h"
#include "core/windows/filedialogpresenter.h"
#include "core/windows/messagepresenter.h"

int main(int argc, char** argv) {
  using namespace tarn;
  QStringList args;
  for (int i = 1; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
  if (app::entryAction(args) == app::EntryAction::RegisterOnly)
    return app::registerAutomation(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath());

  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("TARN RQ"));
  QApplication::setOrganizationName(QStringLiteral("Kamrith Labs"));
  QApplication::setApplicationVersion(versionText());
  installWidgetMessagePresenter();
  installWidgetFileDialogPresenter();

  app::StationApp station;
  const bool byBus = app::startedByBus(args);
  app::StationAutomation automation(station, byBus);
  // exit(), not quit(): quitting first closes every window, and a wizard window still up would ask.
  automation.setEndProgram([] { QCoreApplication::exit(0); });
  // Started by the bus, the name is taken once the station can answer: the bus holds the client's
  // first call until then.
  if (!byBus) automation.startService();
  app::SignalWatcher watcher;
  // A termination signal closes the main window the normal way (its unload logs the steps).
  QObject::connect(&watcher, &app::SignalWatcher::terminationRequested, &station, [&](int) {
    // A hidden window's closing does not end the event loop by itself.
    if (station.window()->close() && byBus) QCoreApplication::exit(0);
  });
  // Started by the bus, nobody may be at the screen: start-up messages take their default answer
  // and are logged.
  const QByteArray autoAnswer = qgetenv("TARNRQ_AUTOANSWER");
  if (byBus) qputenv("TARNRQ_AUTOANSWER", "1");
  const bool loaded = station.Form_Load();
  if (byBus) qputenv("TARNRQ_AUTOANSWER", autoAnswer);
  if (!loaded) return 0;
  if (byBus && !automation.startService()) return 1;
  int exitCode = 0;
  if (!app::scheduleUnattendedSession(station, exitCode)) app::scheduleQuitAfterIdle(station);
  if (!byBus) station.window()->show();  // a client started it: it shows the window when it wants
  QTimer::singleShot(0, &station, [&] {
    // Showing the window normally activates it; a display that activates nothing gets the checks here.
    if (!byBus && station.activations() == 0) station.Form_Activate();
    emit station.idle();
  });
  const int code = application.exec();
  return code != 0 ? code : exitCode;
}
