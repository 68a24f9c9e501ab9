// The program entry: "/REGISTER" only registers the automation classes; otherwise the main window
// runs its start-up and the event loop.
#include <QApplication>
#include <QTimer>

#include "app/entry.h"
#include "app/frmpmain.h"
#include "app/signalwatcher.h"
#include "core/eventlog.h"
#include "core/version.h"
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

  app::frmPMain mainWindow;
  app::SignalWatcher watcher;
  QObject::connect(&watcher, &app::SignalWatcher::terminationRequested, &mainWindow, [&](int sig) {
    eventlog::logStep("frmPMain", "SignalWatcher", QStringLiteral("Termination signal %1").arg(sig));
    mainWindow.close();
  });
  if (!mainWindow.Form_Load()) return 0;
  app::scheduleQuitAfterIdle(mainWindow);
  mainWindow.show();
  QTimer::singleShot(0, &mainWindow, [&] {
    mainWindow.Form_Activate();
    emit mainWindow.idle();
  });
  return application.exec();
}
