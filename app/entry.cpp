#include "app/entry.h"

#include <QTimer>

#include "app/frmpmain.h"
#include "app/stationapp.h"
#include "core/commandline.h"

namespace tarn::app {

EntryAction entryAction(const QStringList& arguments) {
  const QStringList args = SplitCommandLine(JoinCommandLine(arguments));
  return IsRegisterArgument(args) ? EntryAction::RegisterOnly : EntryAction::ShowMainWindow;
}

void scheduleQuitAfterIdle(StationApp& station) {
  bool ok = false;
  const int ms = qEnvironmentVariableIntValue("TARNRQ_QUIT_AFTER_MS", &ok);
  if (!ok || ms < 0) return;
  QObject::connect(
      &station, &StationApp::idle, &station,
      [&station, ms] { QTimer::singleShot(ms, station.window(), [&station] { station.window()->close(); }); },
      Qt::SingleShotConnection);
}

}  // namespace tarn::app
