#include "app/entry.h"

#include <QTimer>

#include "app/frmpmain.h"
#include "core/commandline.h"
#include "core/eventlog.h"

namespace tarn::app {

EntryAction entryAction(const QStringList& arguments) {
  const QStringList args = SplitCommandLine(JoinCommandLine(arguments));
  return IsRegisterArgument(args) ? EntryAction::RegisterOnly : EntryAction::ShowMainWindow;
}

void scheduleQuitAfterIdle(frmPMain& window) {
  bool ok = false;
  const int ms = qEnvironmentVariableIntValue("TARNRQ_QUIT_AFTER_MS", &ok);
  if (!ok || ms < 0) return;
  QObject::connect(
      &window, &frmPMain::idle, &window,
      [&window, ms] {
        QTimer::singleShot(ms, &window, [&window] {
          eventlog::logStep("frmPMain", "QuitAfterIdle", QStringLiteral("Closing"));
          window.close();
        });
      },
      Qt::SingleShotConnection);
}

}  // namespace tarn::app
