#include <signal.h>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QPushButton>
#include <QScreen>

#include "app/entry.h"
#include "app/signalwatcher.h"
#include "app/tests/apptest.h"
#include "core/windows/buttoncolouring.h"
#include "core/windows/frmpprogress.h"
#include "core/windows/htmlhelp.h"
#include "data/subjectfile/subjectfile.h"
#include "data/templates/template.h"
#include "options/accessdigest.h"
#include "options/windows/frmppassword.h"

namespace tarn::app::testing {
namespace {

// The texts as the clinic reads them.
constexpr char kUnitsNotice[] =
    "Measurement Units have not been selected - Please select the Measurement units you would like to use!";
constexpr char kMonitorNotice[] =
    "The Display Monitor configuration has changed - Please make sure the correct Display dimensions are "
    "set!";

QString templatePath() {
  return folders::withSlash(settings::read(settings::TemplatePath)) + settings::read(settings::TemplateFile);
}

TEST_F(AppTest, TestingCommandNamesTheFirstFailedCondition) {
  ASSERT_TRUE(load());
  folders::ensureFolder(settings::read(settings::TemplatePath));
  auto begin = [&] {
    station->Commands_Update();
    return std::make_pair(window->cmdBegin->isEnabled(), window->cmdBegin->toolTip());
  };
  for (auto s : {settings::EnableBalance, settings::EnableMBalance, settings::EnableVision})
    settings::write(s, 0);
  EXPECT_EQ(begin(), std::make_pair(false, QString("Testing not enabled because no tests are enabled")));

  settings::write(settings::EnableVision, -1);
  EXPECT_EQ(begin(),
            std::make_pair(false, QString("Testing not enabled because no Test Template has been defined")));

  ASSERT_TRUE(CreateDefaultTestTemplate(templatePath()));  // balance tests only
  EXPECT_EQ(begin(),
            std::make_pair(false, QString("Testing not enabled because no enabled tests are defined in "
                                          "the test template")));

  settings::write(settings::EnableMBalance, -1);
  settings::write(settings::LastPath, QDir(folders::documentsFolder()).filePath("missing"));
  EXPECT_EQ(begin(),
            std::make_pair(false, QString("Testing not enabled because the Test Data Folder is Read Only")));

  settings::write(settings::LastPath, folders::documentsFolder());
  EXPECT_EQ(begin(), std::make_pair(true, QString()));
  EXPECT_TRUE(QDir(folders::documentsFolder()).entryList(QDir::Files).isEmpty());  // the probe is gone
  for (auto* b : {window->cmdExit, window->cmdOptions, window->cmdFileMngm, window->cmdReportReprint})
    EXPECT_TRUE(b->isEnabled());
}

TEST_F(AppTest, EachCommandOpensItsWindow) {
  ASSERT_TRUE(load());
  messages.clear();
  QStringList shown;
  for (int i = 0; i < 3; ++i)
    modalAnswers.push_back([&](QDialog& d) {
      shown << QString(d.metaObject()->className()).section("::", -1);
      return int(QDialog::Rejected);
    });
  station->setDialogExitButton(1);
  station->cmdFileMngm_Click();
  EXPECT_EQ(station->DialogExitButton(), -99);  // the file manager starts from "none yet"
  station->cmdReportReprint_Click();
  station->cmdBegin_Click();  // the session's first step: the subject file, cancelled
  EXPECT_EQ(shown, QStringList({"frmFManager", "frmRManager", "frmTFile"}));
  EXPECT_FALSE(station->testSessionRunning());
  EXPECT_TRUE(window->cmdExit->isEnabled());  // every command ends with Commands_Update
}

TEST_F(AppTest, OptionsWindowThenItsSettingsTakeEffect) {
  ASSERT_TRUE(load());
  settleActivation();
  messages.clear();
  const QString elsewhere = QDir(folders::documentsFolder()).filePath("Clinic B");
  ASSERT_TRUE(QDir().mkpath(elsewhere));
  QString shown;
  modalAnswers.push_back([&](QDialog& d) {
    shown = d.objectName();
    settings::write(settings::LastPath, elsewhere);  // as the folder page would on OK
    return int(QDialog::Accepted);
  });
  const int entriesBefore = station->lists()->lFilesCount();
  station->cmdOptions_Click();
  EXPECT_EQ(shown, "frmPOptions");
  EXPECT_TRUE(
      steps("Lists_Refresh").contains("Data folder = " + elsewhere + "/, Ext = .kpf, CoP Threshold = 10"));
  EXPECT_EQ(station->lists()->lFilesCount(), entriesBefore);
  EXPECT_TRUE(window->cmdExit->isEnabled());  // the options end with Commands_Update
  EXPECT_TRUE(messages.empty()) << messageTexts().join('|').toStdString();
}

TEST_F(AppTest, ALeftOverWorkingCopyGoesToTheSessionsRecoveryAtStartUp) {
  const QString temp = QDir(folders::tempFolder()).filePath("KMW1.kpf");
  folders::ensureFolder(folders::tempFolder());
  SubjectFile copy;
  ASSERT_TRUE(copy.CreateEmpty());
  ASSERT_TRUE(copy.Save(temp));
  settings::write(settings::LastName, QDir(folders::documentsFolder()).filePath("Smith.kpf"));
  settings::write(settings::LastTemp, temp);
  settings::write(settings::NoClockCheckReminder, -1);
  answers = {MsgResult::OK, MsgResult::No};  // the file is gone; recover? No
  ASSERT_TRUE(load());
  ASSERT_EQ(messages.size(), 2u) << messageTexts().join('|').toStdString();
  EXPECT_EQ(messages[1].buttons, MsgButtons::YesNo);
  EXPECT_FALSE(steps("Form_Load").contains("Resuming Testing"));
  EXPECT_FALSE(QFileInfo::exists(temp)) << "declined: no health data stays in the temporary folder";
  EXPECT_TRUE(settings::read(settings::LastTemp).isEmpty());
}

TEST_F(AppTest, NoPlatformConnectedShowsInTheStatus) {
  ASSERT_TRUE(load());
  EXPECT_EQ(window->lblStatus->text(), "NO FORCE PLATFORM CONNECTED");
  ASSERT_TRUE(waitFor([] {
    return AppTest::steps("prv_objPlateDriver_PlateListUpdateDone").contains("Procedure Completed");
  }));
  EXPECT_EQ(window->lblStatus->text(), "NO FORCE PLATFORM CONNECTED");
  EXPECT_FALSE(steps("prv_objPlateDriver_PlateListUpdateBegin").isEmpty());
  EXPECT_TRUE(steps("prv_objPlateDriver_PlateArrived").isEmpty());
}

TEST_F(AppTest, SimulatedPlatformArrivesAndIsNamedInTheStatus) {
  qputenv("TARNRQ_PLATE", "sim");
  ASSERT_TRUE(load());
  ASSERT_TRUE(waitFor([this] { return window->lblStatus->text() != "NO FORCE PLATFORM CONNECTED"; }));
  const QString name = station->plateDriver()->Plate(1)->Name();
  EXPECT_EQ(window->lblStatus->text(), QString("FORCE PLATFORM READY – ") + name);
  EXPECT_EQ(steps("prv_objPlateDriver_PlateArrived").size(), 1);
  // The driver's list update ran Commands_Update after it.
  const QStringList lines = logLines();
  int done = -1, update = -1;
  for (int i = 0; i < lines.size(); ++i) {
    if (done < 0 && lines[i].contains("\tprv_objPlateDriver_PlateListUpdateDone\t")) done = i;
    if (done >= 0 && update < 0 && lines[i].contains("\tCommands_Update\t")) update = i;
  }
  EXPECT_GT(update, done);
}

TEST_F(AppTest, ActivationCollectsUnitsAndMonitorIntoOneMessage) {
  ASSERT_TRUE(load());
  messages.clear();
  answers = {MsgResult::Cancel};
  station->Form_Activate();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, QString(kUnitsNotice) + "\n\n" + kMonitorNotice);
  EXPECT_EQ(messages[0].buttons, MsgButtons::OKCancel);
  EXPECT_EQ(messages[0].icon, MsgIcon::Exclamation);
  EXPECT_TRUE(logLines().first().contains("Log Cleared at"));  // the log restarted
  EXPECT_TRUE(steps("Form_Activate").contains("Going Normal Size"));

  // OK opens the options.
  messages.clear();
  answers = {MsgResult::OK};
  station->Form_Activate();
  EXPECT_TRUE(steps("Form_Activate").contains("calling mnuTOptions_Click"));
  EXPECT_FALSE(steps("cmdOptions_Click").isEmpty());

  // Units chosen and the display entered: nothing to say.
  settleActivation();
  messages.clear();
  station->Form_Activate();
  EXPECT_TRUE(messages.empty()) << messageTexts().join('|').toStdString();
}

TEST_F(AppTest, ActivationWithOnlyTheUnitsMissing) {
  ASSERT_TRUE(load());
  settleActivation();
  settings::write(settings::UnitsMass, -1);
  messages.clear();
  answers = {MsgResult::Cancel};
  station->Form_Activate();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, kUnitsNotice);
}

TEST_F(AppTest, FullScreenIsStoredAsThePlacement) {
  ASSERT_TRUE(load());
  settleActivation();
  settings::write(settings::FullScreen, -1);
  station->Form_Activate();
  const QRect screen = window->screen()->geometry();
  EXPECT_EQ(window->geometry(), screen);
  EXPECT_EQ(settings::read(settings::MainWinPosW), screen.width() * 15);
  EXPECT_EQ(settings::read(settings::MainWinPosH), screen.height() * 15);
}

TEST_F(AppTest, ShutdownRemovesOurTempFilesAndTheLogAndSavesThePlacement) {
  ASSERT_TRUE(load());
  settleActivation();
  station->Form_Activate();
  const QDir temp(folders::tempFolder());
  const QString outside = QDir(folders::documentsFolder()).filePath("keep.tmp");
  for (const QString& p : {temp.filePath("a.tmp"), temp.filePath("b.img"), temp.filePath("c.txt"), outside}) {
    QFile f(p);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  }
  const QString copy = QDir(folders::documentsFolder()).filePath("run.log");
  qputenv("TARNRQ_KEEP_LOG_COPY", copy.toLocal8Bit());
  window->setGeometry(QRect(30, 40, 700, 500));
  ASSERT_TRUE(station->Form_Unload());

  EXPECT_FALSE(QFileInfo::exists(logFile()));
  EXPECT_FALSE(QFileInfo::exists(temp.filePath("a.tmp")));
  EXPECT_FALSE(QFileInfo::exists(temp.filePath("b.img")));
  EXPECT_TRUE(QFileInfo::exists(temp.filePath("c.txt")));
  EXPECT_TRUE(QFileInfo::exists(outside));
  EXPECT_EQ(settings::read(settings::MainWinPosLeft), 30 * 15);
  EXPECT_EQ(settings::read(settings::MainWinPosTop), 40 * 15);
  EXPECT_EQ(settings::read(settings::MainWinPosW), 700 * 15);
  EXPECT_EQ(settings::read(settings::MainWinPosH), 500 * 15);
  QFile kept(copy);
  ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
  const QString text = QString::fromUtf8(kept.readAll());
  EXPECT_TRUE(text.contains("\tForm_Unload\tRemoving Temporary Files"));
  EXPECT_TRUE(text.trimmed().endsWith("\tForm_Unload\tProcedure completed"));
  EXPECT_FALSE(station->plateDriver());
}

TEST_F(AppTest, PowerOffOnlyWhenAskedFor) {
  int powerOffs = 0;
  setPowerOff([&] { return ++powerOffs, true; });
  ASSERT_TRUE(load());
  EXPECT_TRUE(station->shutdownAllowed());
  settings::write(settings::ShutWindowsOnExit, -1);
  ASSERT_TRUE(station->Form_Unload());
  EXPECT_EQ(powerOffs, 1);
}

TEST_F(AppTest, ExitClosesTheWindowTheNormalWay) {
  ASSERT_TRUE(load());
  window->show();
  window->cmdExit->click();
  EXPECT_FALSE(window->isVisible());
  EXPECT_FALSE(QFileInfo::exists(logFile()));
}

class Logo : public AppTest {
 protected:
  void enter(const QString& text) {
    modalAnswers.push_back([text](QDialog& d) {
      auto& p = dynamic_cast<frmPPassword&>(d);
      EXPECT_TRUE(p.txtPassword->text().isEmpty());
      EXPECT_EQ(p.txtPassword->echoMode(), QLineEdit::Password);
      p.txtPassword->setText(text);
      return int(QDialog::Accepted);
    });
    station->imgKMXLogo_Click();
  }
  bool adminButtons() const {
    return window->cmdOptions->isVisibleTo(window) && window->cmdFileMngm->isVisibleTo(window) &&
           window->cmdReportReprint->isVisibleTo(window);
  }
  bool anyButton() const {
    return window->cmdOptions->isVisibleTo(window) || window->cmdFileMngm->isVisibleTo(window) ||
           window->cmdReportReprint->isVisibleTo(window);
  }
};

TEST_F(Logo, EmptyPasswordOnANewInstallationGivesTheAdministratorLevel) {
  ASSERT_TRUE(load());
  EXPECT_FALSE(anyButton());
  enter("");
  EXPECT_TRUE(adminButtons());
  station->imgKMXLogo_Click();  // a further click hides them
  EXPECT_FALSE(anyButton());
}

TEST_F(Logo, OperatorPasswordShowsReportsReprintOnly) {
  ASSERT_TRUE(load());
  settings::write(settings::Key1, AccessDigest("admin pw"));
  settings::write(settings::Key2, AccessDigest("op pw"));
  enter("op pw");
  EXPECT_TRUE(window->cmdReportReprint->isVisibleTo(window));
  EXPECT_FALSE(window->cmdOptions->isVisibleTo(window));
  enter("");  // empty: neither key holds a factory digest any more
  EXPECT_FALSE(adminButtons());
  enter("admin pw");
  EXPECT_TRUE(adminButtons());
}

TEST_F(Logo, TwoWrongThenRightResetsTheCount) {
  ASSERT_TRUE(load());
  settings::write(settings::Key1, AccessDigest("admin pw"));
  messages.clear();
  enter("wrong");
  enter("wrong again");
  EXPECT_EQ(station->passwordGate().failures(), 2);
  EXPECT_EQ(messageTexts(), QStringList({"Invalid Password!", "Invalid Password!"}));
  enter("admin pw");
  EXPECT_EQ(station->passwordGate().failures(), 0);
  EXPECT_TRUE(adminButtons());
}

TEST_F(Logo, ThirdWrongPasswordLocksTheProgramForAMinute) {
  ASSERT_TRUE(load());
  window->show();
  settings::write(settings::Key1, AccessDigest("admin pw"));
  settings::write(settings::Key2, AccessDigest("op pw"));
  std::vector<int> waits;
  bool hiddenWhileLocked = false;
  station->setLockWait([&](int ms) {
    waits.push_back(ms);
    hiddenWhileLocked = !window->isVisible();
  });
  messages.clear();
  enter("a");
  enter("");  // empty entries are not counted
  modalAnswers.push_back([](QDialog&) { return int(QDialog::Rejected); });
  station->imgKMXLogo_Click();  // nor is a cancelled one
  enter("b");
  EXPECT_TRUE(waits.empty());
  enter("c");
  ASSERT_EQ(waits, std::vector<int>{60000});
  EXPECT_TRUE(hiddenWhileLocked);
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(station->passwordGate().failures(), 0);
  EXPECT_EQ(messageTexts(), QStringList({"Invalid Password!", "Invalid Password!",
                                         "Invalid Password!\nThe program will be locked for 1 minute!"}));
  for (const auto& m : messages) EXPECT_EQ(m.icon, MsgIcon::Exclamation);
}

TEST(Help, PagesOpenByContextWithTheIndexAsFallback) {
  QStringList opened;
  auto previous = KMX_HTMLHelp::setOpener([&](const QUrl& u) { return opened << u.toLocalFile(), true; });
  KMX_HTMLHelp help;
  EXPECT_TRUE(help.ShowContext(500));
  EXPECT_TRUE(help.ShowContext(4242));
  KMX_HTMLHelp::setOpener(previous);
  ASSERT_EQ(opened.size(), 2);
  EXPECT_TRUE(opened[0].endsWith("/help/500.html"));
  EXPECT_TRUE(opened[1].endsWith("/help/index.html"));
  EXPECT_TRUE(QFileInfo::exists(opened[0]));
}

TEST(ButtonColours, StoredColoursAndFocus) {
  const QPalette pal = QApplication::palette();
  EXPECT_EQ(colourFromStored(0x000000FF, pal), QColor(255, 0, 0));
  EXPECT_EQ(colourFromStored(0x00FF8000, pal), QColor(0, 128, 255));
  EXPECT_EQ(colourFromStored(0x8000000F, pal), pal.color(QPalette::Button));

  settings::write(settings::SelectedCmdColorON, 0x0000FF00);
  QWidget dialog;
  auto* a = new QPushButton("a", &dialog);
  auto* b = new QPushButton("b", &dialog);
  CmdButtonColouring::install(&dialog);
  dialog.show();
  QApplication::setActiveWindow(&dialog);
  a->setFocus();
  QCoreApplication::processEvents();
  EXPECT_EQ(a->palette().color(QPalette::Button), QColor(0, 255, 0));
  EXPECT_EQ(b->palette().color(QPalette::Button), pal.color(QPalette::Button));
  b->setFocus();
  QCoreApplication::processEvents();
  EXPECT_EQ(a->palette().color(QPalette::Button), pal.color(QPalette::Button));
  EXPECT_EQ(b->palette().color(QPalette::Button), QColor(0, 255, 0));
}

TEST(Signals, TerminationArrivesOnTheWindowThread) {
  SignalWatcher watcher;
  ASSERT_TRUE(watcher.active());
  int got = 0;
  QObject::connect(&watcher, &SignalWatcher::terminationRequested, [&](int s) { got = s; });
  ::raise(SIGTERM);
  EXPECT_TRUE(AppTest::waitFor([&] { return got != 0; }));
  EXPECT_EQ(got, SIGTERM);
}

}  // namespace
}  // namespace tarn::app::testing

namespace tarn::app::testing {
namespace {

TEST_F(AppTest, EveryReturnToTheMainWindowRunsTheActivationChecks) {
  ASSERT_TRUE(load());
  settleActivation();
  window->show();
  window->activateWindow();
  ASSERT_TRUE(waitFor([&] { return station->activations() >= 1; }));
  const int before = station->activations();
  QDialog other;  // a modal window of a command comes and goes
  other.show();
  other.activateWindow();
  ASSERT_TRUE(waitFor([&] { return other.isActiveWindow(); }));
  other.close();
  window->activateWindow();
  ASSERT_TRUE(waitFor([&] { return station->activations() == before + 1; }));
  EXPECT_EQ(logLines().value(0).contains("Log Cleared at"), true);
}

TEST_F(AppTest, ClosingFormsUnloadsTheWindowsStillLoaded) {
  ASSERT_TRUE(load());
  QPointer<QDialog> report = new QDialog;
  QPointer<QDialog> notes = new QDialog;
  station->registerForm(report);
  station->registerForm(notes);
  station->registerForm(report);  // once is enough
  delete notes;                   // unloaded by its own step already
  EXPECT_EQ(station->loadedFormCount(), 1);
  ASSERT_TRUE(station->Form_Unload());
  EXPECT_TRUE(report.isNull());
  EXPECT_EQ(station->loadedFormCount(), 0);
}

}  // namespace
}  // namespace tarn::app::testing

namespace tarn::app::testing {
namespace {

// A run that answers for itself (the headless demonstration) never waits on a window.
TEST_F(AppTest, AutoAnswerClosesModalWindowsAsCancelled) {
  const auto script = KMX_cShowModal::setScript({});
  qputenv("TARNRQ_AUTOANSWER", "1");
  QDialog d;
  const int code = KMX_cShowModal().ShowModal(d);
  qputenv("TARNRQ_AUTOANSWER", "0");
  KMX_cShowModal::setScript(script);
  EXPECT_EQ(code, int(QDialog::Rejected));
  EXPECT_FALSE(d.isVisible());
}

}  // namespace
}  // namespace tarn::app::testing

namespace tarn::app::testing {
namespace {

class Unattended : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    qputenv("TARNRQ_UNATTENDED", "1");
    qputenv("TARNRQ_PLATE_TIMESCALE", "400");
    qputenv("TARNRQ_KEEP_LOG_COPY", keptLog().toLocal8Bit());
  }
  void TearDown() override {
    qunsetenv("TARNRQ_UNATTENDED");
    qunsetenv("TARNRQ_PLATE_TIMESCALE");
    AppTest::TearDown();
  }

  // Starts the station as main() does with the switch set and waits for it to close itself.
  int run() {
    if (!load()) return -1;
    settleActivation();
    int exitCode = -1;
    if (!scheduleUnattendedSession(*station, exitCode)) return -2;
    window->show();
    emit station->idle();
    if (!waitFor([this] { return station->unloaded(); }, 60000)) return -3;
    // A normal end removes the log; its kept copy goes back in its place for steps().
    QFile::remove(logFile());
    QFile::copy(keptLog(), logFile());
    return exitCode;
  }

  static QString keptLog() { return QDir(folders::tempFolder()).filePath("../kept.log"); }
};

TEST_F(Unattended, TheStationRunsOneSessionThroughItsOwnDriverAndClosesNormally) {
  qputenv("TARNRQ_PLATE", "sim");
  ASSERT_EQ(run(), 0);
  const QString file = QDir(settings::read(settings::LastPath)).filePath("STF000001.kpf");
  SubjectFile saved;
  ASSERT_TRUE(saved.Open(file));
  int done = 0;
  for (const auto& t : saved.VisitItem(1)->SessionItem(1)->BalanceTests()) done += t->bIsDone != 0;
  EXPECT_EQ(done, 4);
  // The station's own step 7 window (the results report) was answered, and the list knows the file.
  EXPECT_EQ(steps("cmdBegin_Click").filter("Exiting Testing Step 7, Button: 1,").size(), 1);
  EXPECT_EQ(station->lists()->lFilesCount(), 1);
  EXPECT_TRUE(steps("Form_Unload").contains("Procedure completed"));
  // The ticked family (the internal report) lies beside the file as a PDF.
  QFile pdf(QDir(settings::read(settings::LastPath)).filePath("STF000001.pdf"));
  ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
  EXPECT_TRUE(pdf.read(5).startsWith("%PDF-"));
}

TEST_F(Unattended, AnEmptyPlatformFailsTheRunWithoutHangingOnTheLeaveQuestion) {
  // A recording of an unloaded platform: every test ends without a subject.
  const QString recording = QDir(folders::tempFolder()).filePath("empty.csv");
  folders::ensureFolder(folders::tempFolder());
  QFile f(recording);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write("Fz,M1,M2\n");
  for (int i = 0; i < 4000; ++i) f.write("0.5,0,0\n");
  f.close();
  qputenv("TARNRQ_PLATE", ("replay:" + recording).toLocal8Bit());
  EXPECT_EQ(run(), 1);
  EXPECT_TRUE(steps("confirmLeave").contains("Procedure Completed")) << "the leave question was answered Yes";
  EXPECT_TRUE(steps("Form_Unload").contains("Procedure completed"));
}

}  // namespace
}  // namespace tarn::app::testing
