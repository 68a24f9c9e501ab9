// tarnrq-session: one whole test session of the station, unattended, through the same driver
// and windows as an operator (offscreen when there is no display). Prints where the subject file
// landed and what the session took.
//
//   tarnrq-session --unattended [--timescale X] [--shots DIR] [--frequency HZ] [--duration S]
//                  [--open NAME.kpf] [--replay FILE.csv[,positive-fz][,fs=HZ]]
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <cstdio>
#include <cstdlib>

#include "balance/plate/plate.h"
#include "core/eventlog.h"
#include "core/folders.h"
#include "core/settingkeys.h"
#include "core/windows/subjectforms.h"
#include "data/lists/list.h"
#include "data/lists/listrefresh.h"
#include "data/templates/template.h"
#include "session/currentfile.h"
#include "session/windows/testsession.h"
#include "support/windows/kmxmouse.h"

using namespace tarn;

namespace {

// Peak and current resident memory of this process, kB.
std::pair<long, long> memoryKb() {
  QFile f("/proc/self/status");
  long peak = 0, now = 0;
  if (f.open(QIODevice::ReadOnly))
    for (const QByteArray& line : f.readAll().split('\n')) {
      if (line.startsWith("VmHWM:")) peak = line.mid(6).trimmed().split(' ').value(0).toLong();
      if (line.startsWith("VmRSS:")) now = line.mid(6).trimmed().split(' ').value(0).toLong();
    }
  return {peak, now};
}

// A copy of the default template with another rate and duration, for measurements.
QString templateAt(double hz, double seconds) {
  KM_RQTemplate t = MakeDefaultTestTemplate();
  t.sName = QStringLiteral("KMTARNRQ %1 Hz %2 s").arg(hz).arg(seconds);
  for (qint32 i = 1; i <= t.lTestCount(); ++i) {
    if (hz > 0) t.tiTestItem(i)->setFrequencyHz(hz);
    if (seconds > 0) t.tiTestItem(i)->setDurationSeconds(seconds);
  }
  const QString folder = settings::read(settings::TemplatePath);
  folders::ensureFolder(folder);
  const QString path = QDir(folder).filePath(QStringLiteral("Unattended-%1Hz-%2s").arg(hz).arg(seconds) +
                                             settings::read(settings::TemplateExt));
  return t.Save(path) ? path : QString();
}

}  // namespace

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("DISPLAY") && !qEnvironmentVariableIsSet("WAYLAND_DISPLAY") &&
      !qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  QApplication::setApplicationName("tarnrq-session");
  QCommandLineParser cli;
  cli.setApplicationDescription("Runs one test session of the station unattended.");
  cli.addHelpOption();
  QCommandLineOption optUnattended("unattended", "Run one whole session by itself.");
  QCommandLineOption optScale("timescale", "Platform clock speed-up.", "x", "20");
  QCommandLineOption optShots("shots", "Folder for a picture of every wizard window.", "dir");
  QCommandLineOption optFs("frequency", "Sampling frequency of every test (Hz).", "hz");
  QCommandLineOption optDur("duration", "Duration of every test (s).", "s");
  QCommandLineOption optOpen(
      "open", "Test the subject file of the data folder with this name instead of a new one.", "file");
  QCommandLineOption optReplay("replay", "Play this recording for every test (TARNRQ_PLATE replay form).",
                               "file");
  cli.addOptions({optUnattended, optScale, optShots, optFs, optDur, optOpen, optReplay});
  cli.process(app);
  if (!cli.isSet(optUnattended)) {
    std::fprintf(stderr, "nothing to do: use --unattended\n");
    return 2;
  }
  if (cli.isSet(optReplay))
    ::setenv("TARNRQ_PLATE", ("replay:" + cli.value(optReplay)).toLocal8Bit().constData(), 1);

  folders::ensureFolder(folders::tempFolder());
  eventlog::start(QDir(folders::tempFolder()).filePath("tarnrq-session.log"));
  eventlog::writeHeader(false);

  auto driver = CreatePlateDriver();
  driver->PlateDevicesOpen();
  if (driver->PlateCount() == 0)
    std::fprintf(stderr, "no force platform: %s\n", qPrintable(driver->LastError()));

  KM_RQList lists;
  QElapsedTimer t;
  t.start();
  ListsRefresh(lists, ListsRefreshParams::fromSettings());
  std::printf("data folder list: %d files, refreshed in %lld ms\n", lists.lFilesCount(), t.elapsed());

  CurrentSubjectFile file;
  KMTARNRQSF forms;
  KMX_Mouse mouse;
  QPointer<KMX_BalancePlate> lastPlate;
  TestSessionContext ctx;
  ctx.plateDriver = driver.get();
  ctx.lastPlate = &lastPlate;
  ctx.lists = &lists;
  ctx.subjectForms = &forms;
  ctx.mouse = &mouse;
  ctx.currentFile = &file;

  UnattendedOptions o;
  o.timeScale = cli.value(optScale).toDouble();
  o.shotsFolder = cli.value(optShots);
  o.openFile = cli.value(optOpen);
  if (cli.isSet(optFs) || cli.isSet(optDur))
    o.templateFile = templateAt(cli.value(optFs).toDouble(), cli.value(optDur).toDouble());

  const UnattendedReport r = RunUnattendedSession(ctx, o);
  const auto [peakKb, nowKb] = memoryKb();
  for (const QString& m : r.messages) std::printf("message: %s\n", qPrintable(QString(m).replace('\n', ' ')));
  std::printf("subject file: %s\n", qPrintable(r.fileName));
  std::printf("balance tests done: %d\n", r.testsDone);
  std::printf("total: %lld ms at time scale %g\n", r.totalMs, o.timeScale);
  std::printf("Next in the test list to the saved file and refreshed list: %lld ms (step 8 alone: %lld ms)\n",
              r.nextToSavedMs, r.saveAndRefreshMs);
  std::printf("memory: peak %ld kB, now %ld kB; list now holds %d files\n", peakKb, nowKb,
              lists.lFilesCount());
  if (!r.shots.isEmpty())
    std::printf("pictures: %lld in %s\n", qlonglong(r.shots.size()), qPrintable(o.shotsFolder));
  if (!r.ok) std::fprintf(stderr, "unattended session failed: %s\n", qPrintable(r.error));
  eventlog::stop();
  return r.ok ? 0 : 1;
}
