// The program entry: "/REGISTER" only registers the automation classes; otherwise the main window
// runs its start-up and the event loop.
#include <QApplication>
#include <QTimer>

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
  if (app::entryAction(args) == app::EntryAction::RegisterOnly) return 0;

  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("TARN RQ"));
  QApplication::setOrganizationName(QStringLiteral("Kamrith Labs"));
  QApplication::setApplicationVersion(versionText());
  installWidgetMessagePresenter();
  installWidgetFileDialogPresenter();

  app::StationApp station;
  app::SignalWatcher watcher;
  // A termination signal closes the main window the normal way (its unload logs the steps).
  QObject::connect(&watcher, &app::SignalWatcher::terminationRequested, &station,
                   [&](int) { station.window()->close(); });
  if (!station.Form_Load()) return 0;
  int exitCode = 0;
  if (!app::scheduleUnattendedSession(station, exitCode)) app::scheduleQuitAfterIdle(station);
  station.window()->show();
  QTimer::singleShot(0, &station, [&] {
    // Showing the window normally activates it; a display that activates nothing gets the checks here.
    if (station.activations() == 0) station.Form_Activate();
    emit station.idle();
  });
  const int code = application.exec();
  return code != 0 ? code : exitCode;
}
