#include "app/entry.h"

#include <QFileInfo>
#include <QTimer>

#include <cstdio>

#include "app/frmpmain.h"
#include "app/stationapp.h"
#include "core/commandline.h"
#include "core/eventlog.h"
#include "reports/windows/printentry.h"
#include "session/windows/testsession.h"

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

bool scheduleUnattendedSession(StationApp& station, int& exitCode) {
  if (qEnvironmentVariableIntValue("TARNRQ_UNATTENDED") != 1) return false;
  UnattendedOptions options;
  bool ok = false;
  const double scale = qEnvironmentVariable("TARNRQ_PLATE_TIMESCALE").toDouble(&ok);
  if (ok && scale > 0) options.timeScale = scale;
  options.shotsFolder = qEnvironmentVariable("TARNRQ_SHOTS");
  exitCode = 1;
  station.setReportPdfBesideFile(true);
  QObject::connect(
      &station, &StationApp::idle, &station,
      [&station, &exitCode, options] {
        // Queued, so that the idle handlers of the start-up have all run before the first window.
        QTimer::singleShot(0, station.window(), [&station, &exitCode, options] {
          TestSession* session = station.session();
          const UnattendedReport r = session ? RunUnattendedSession(session->context(), options)
                                             : UnattendedReport{false, {}, QStringLiteral("no test session")};
          if (r.ok) {
            std::printf("Subject file: %s\n", qPrintable(r.fileName));
            if (QFileInfo::exists(ReportPdfBeside(r.fileName)))
              std::printf("Report (PDF): %s\n", qPrintable(ReportPdfBeside(r.fileName)));
            std::printf("Balance tests done: %d; session %lld ms; Next to saved file %lld ms\n", r.testsDone,
                        r.totalMs, r.nextToSavedMs);
            exitCode = 0;
          } else {
            std::fprintf(stderr, "The unattended session failed: %s\n", qPrintable(r.error));
            for (const QString& m : r.messages) std::fprintf(stderr, "  message: %s\n", qPrintable(m));
          }
          std::fflush(stdout);
          station.window()->close();
        });
      },
      Qt::SingleShotConnection);
  return true;
}

}  // namespace tarn::app
