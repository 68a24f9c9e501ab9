// tarnrq-try-test: the zeroing window and then the static test window on the platform of
// TARNRQ_PLATE (the simulated one by default) for a made-up subject; prints the run and the
// balance test record stored from it.
//
//   tarnrq-try-test [--auto] [--scene NAME] [--frequency HZ] [--duration S] [--pretest S]
//                   [--timescale X] [--shots DIR] [--surface N] [--eyes N] [--stance N]
//                   [--subject-screen]
// --auto clicks through by itself (zero, next, acquire, next) so the run can be timed or
// screenshotted; --shots saves pictures of both windows there. --scene stops at one state of the
// test window for a picture and then cancels: practice, finished, replay (halfway), stopped,
// removed (the plate is unplugged during the test).
#include <QApplication>
#include <QCommandLineParser>
#include <QDate>
#include <QDir>
#include <QMessageBox>
#include <QProcess>
#include <QTimer>
#include <cstdio>
#include <ctime>

#include <QElapsedTimer>

#include "balance/plate/acquiringplate.h"
#include "balance/procedures/balancetestrun.h"
#include "balance/windows/frmtbstatic.h"
#include "balance/windows/frmtbzero.h"
#include "balance/windows/subjectmirror.h"
#include "core/clock.h"
#include "core/eventlog.h"
#include "core/windows/messagepresenter.h"
#include "core/windows/subjectforms.h"
#include "core/wizard.h"
#include "data/records/recordfromrun.h"
#include "data/records/testbalance.h"
#include "data/storage/olestg.h"
#include "session/windows/frmnotes.h"

using namespace tarn;

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("tarnrq-try-test");
  QCommandLineParser cli;
  cli.setApplicationDescription("Zero the platform and run one static balance test.");
  cli.addHelpOption();
  QCommandLineOption optAuto("auto", "Click through by itself.");
  QCommandLineOption optFs("frequency", "Sampling frequency (Hz).", "hz", "100");
  QCommandLineOption optDur("duration", "Test duration (s).", "s", "20");
  QCommandLineOption optPre("pretest", "Pre-test (s).", "s", "5");
  QCommandLineOption optScale("timescale", "Plate clock speed-up.", "x", "1");
  QCommandLineOption optShots("shots", "Folder for screenshots.", "dir");
  QCommandLineOption optSurface("surface", "Surface item (1 plate, 2 foam).", "n", "1");
  QCommandLineOption optEyes("eyes", "Eyes item (1 open, 2 closed).", "n", "1");
  QCommandLineOption optStance("stance", "Stance code 1-13.", "n", "1");
  QCommandLineOption optSubject("subject-screen", "With --auto, show the subject screen during the test.");
  QCommandLineOption optScene("scene", "With --auto: practice, finished, replay, stopped or removed.",
                              "name");
  cli.addOptions({optAuto, optFs, optDur, optPre, optScale, optShots, optSurface, optEyes, optStance,
                  optSubject, optScene});
  cli.process(app);
  const bool autoRun = cli.isSet(optAuto) || cli.isSet(optScene);
  const QString scene = cli.value(optScene);
  const QString shots = cli.value(optShots);
  if (!shots.isEmpty()) QDir().mkpath(shots);

  eventlog::start(QDir::temp().filePath("tarnrq-try-test.log"));
  if (autoRun)
    setMessagePresenter([](const MessageRequest& r) {
      std::fprintf(stderr, "message: %s\n", qPrintable(QString(r.text).replace('\n', ' ')));
      return defaultAnswer(r);
    });
  else
    installWidgetMessagePresenter();

  auto driver = CreatePlateDriver();
  driver->PlateDevicesOpen();
  const double scale = cli.value(optScale).toDouble();
  for (int i = 1; i <= driver->PlateCount(); ++i)
    if (auto* p = qobject_cast<AcquiringPlate*>(driver->Plate(i)); p && scale > 0) p->setTimeScale(scale);
  KMTARNRQSF forms;

  BalanceTestRun run;
  run.sName = "Test 1 - Normal Stability Eyes Open";
  run.sTestID = "B10001";
  run.lTestType = 1;
  run.conditions.surface = cli.value(optSurface).toInt();
  run.conditions.eyes = cli.value(optEyes).toInt();
  run.conditions.stance = cli.value(optStance).toInt();
  run.timing.frequencyHz = cli.value(optFs).toDouble();
  run.timing.durationMs = static_cast<qint32>(cli.value(optDur).toDouble() * 1000);
  run.timing.preTestMs = static_cast<qint32>(cli.value(optPre).toDouble() * 1000);
  run.subjectBirth = clock::dateToDays(QDate(1958, 3, 14));
  if (const auto los = BaseLimitsOfStability(1.72)) run.losX = los->x, run.losY = los->y;

  // Each window as it draws itself, and under X the whole screen as the operator sees it.
  auto shot = [&](QWidget* w, const QString& name) {
    if (shots.isEmpty()) return;
    w->grab().save(QDir(shots).filePath(name));
    if (!qEnvironmentVariableIsEmpty("DISPLAY") && QApplication::platformName() == "xcb" &&
        !name.startsWith("subject-")) {
      QApplication::processEvents();
      QProcess::execute("import", {"-window", "root", QDir(shots).filePath("screen-" + name)});
    }
  };

  // Step 1: the zero.
  int code = 0;
  {
    frmTBZero zero(driver.get(), &run, &forms);
    if (autoRun) {
      QTimer::singleShot(500, &zero, [&] {
        shot(&zero, "zero-before.png");
        if (zero.cmdAcquire->isEnabled()) zero.cmdAcquire->click();
      });
      QObject::connect(&zero.controller(), &ZeroController::zeroFinished, &zero, [&](bool) {
        QTimer::singleShot(300, &zero, [&] {
          shot(&zero, "zero-done.png");
          zero.cmdNext->click();
        });
      });
    }
    code = zero.exec();
    std::printf("zero window: DialogExitButton=%d\n", code);
    if (code != 1 || !zero.controller().plate()) return code == 0 ? 1 : 0;

    // Step 2: the test on the plate just zeroed.
    frmTBStatic test(zero.controller().plate(), driver.get(), &forms);
    test.setBalanceTest(run, true, false);
    test.setNotesEditor(EditTestNotes);
    // CPU used by this process while the test phase runs (the live display included).
    std::clock_t cpuStart = 0;
    QElapsedTimer wall;
    QObject::connect(&test.controller(), &StaticTestController::stateChanged, &test, [&](StaticState s) {
      if (s == StaticState::Testing) {
        cpuStart = std::clock();
        wall.start();
      } else if (s == StaticState::Done && wall.isValid()) {
        const double cpu = double(std::clock() - cpuStart) / CLOCKS_PER_SEC, secs = wall.elapsed() / 1000.0;
        std::printf(
            "test phase: %.2f s wall, %.2f s CPU, %.1f %% of one core, %d points drawn, %d repaints\n", secs,
            cpu, 100.0 * cpu / secs, test.copDisplay->pointCount(), test.copDisplay->repaintCount());
      }
    });
    const int plateMs = static_cast<int>(1.0 / std::max(scale, 0.01) * 1000);  // one plate second, real ms
    auto finish = [&](int afterMs, const QString& name) {
      QTimer::singleShot(afterMs, &test, [&, name] {
        shot(&test, name);
        if (!shots.isEmpty() && test.subjectScreen() && test.subjectScreen()->isVisible())
          shot(test.subjectScreen(), "subject-" + name);
        if (test.subjectScreen() && test.subjectScreen()->isVisible()) test.cmdSwitchView->click();
        if (test.cmdNext->isEnabled() && scene.isEmpty())
          test.cmdNext->click();
        else
          test.done(kWizCancel);
      });
    };
    if (autoRun && scene == "practice") {
      QTimer::singleShot(500, &test, [&] {
        test.cmdPracticeStart->click();
        if (cli.isSet(optSubject)) test.cmdSwitchView->click();
      });
      finish(500 + 8 * plateMs, "practice.png");
    } else if (autoRun) {
      QTimer::singleShot(500, &test, [&] {
        test.cmdAcquire->click();
        if (cli.isSet(optSubject)) test.cmdSwitchView->click();
        if (scene == "removed")
          if (auto* p = qobject_cast<AcquiringPlate*>(zero.controller().plate()))
            p->injectFault(AcquiringPlate::Fault::Removal,
                           static_cast<qint64>(run.timing.frequencyHz * (run.timing.preTestMs / 1000.0 + 6)));
      });
      if (scene == "stopped")
        QTimer::singleShot(500 + run.timing.preTestMs / 1000 * plateMs + 7 * plateMs, &test, [&] {
          test.cmdStopTest->click();
          finish(800, "stopped.png");
        });
      QTimer::singleShot(
          500 + static_cast<int>((run.timing.preTestMs + run.timing.durationMs / 2) / std::max(scale, 0.01)),
          &test, [&] { shot(&test, "static-testing.png"); });
      QObject::connect(&test.controller(), &StaticTestController::stateChanged, &test, [&](StaticState s) {
        if (s == StaticState::NoPlate && scene == "removed") finish(800, "removed.png");
        if (s != StaticState::Done) return;
        if (scene == "replay") {
          QTimer::singleShot(500, &test, [&] {
            test.cmdReplay->click();
            finish(run.timing.durationMs / 2, "replay-half.png");
          });
        } else if (scene.isEmpty() || scene == "finished") {
          finish(800, scene.isEmpty() ? "static-done.png" : "finished.png");
        }
      });
    }
    code = test.exec();
    std::printf("static test window: DialogExitButton=%d\n", code);
    if (code == 1 || code == 2) {
      std::printf("%s\n", qPrintable(test.balanceTest().describe()));
      // The run as the subject data keeps it: stored through the storage component and read back.
      KM_RQListTestBalance stored;
      stored.sVisitID = "V10001";
      stored.sSessionID = "S10001";
      stored.bBMIEnabled = true;
      FillBalanceRecord(stored, test.balanceTest());
      KMX_OLEStgTool tool;
      auto root =
          tool.CreateRootStorageOnMemory("MEM_trytest", stgmode::CreateReplace, tool.AllocMemoryBlock());
      KM_RQListTestBalance loaded;
      if (!root || !stored.Save(root.get()) || !loaded.Load(root.get())) {
        std::fprintf(stderr, "the balance test record could not be stored and read back\n");
        return 1;
      }
      const QString text = DescribeBalanceRecord(loaded);
      std::printf(
          "stored KM_RQListTestBalance%s:\n%s\n",
          static_cast<const KM_RQListTestBalanceData&>(loaded) == stored ? "" : " (DIFFERS FROM THE RUN)",
          qPrintable(text));
      if (!autoRun) QMessageBox::information(nullptr, "Stored test", text);
    }
  }
  eventlog::stop();
  return 0;
}
