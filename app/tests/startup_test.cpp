#include <QDir>
#include <QFileInfo>

#include "app/entry.h"
#include "app/tests/apptest.h"
#include "core/instancelock.h"
#include "core/mail.h"
#include "core/settings.h"
#include "core/startupchecks.h"
#include "options/accessdigest.h"

namespace tarn::app::testing {
namespace {

// The texts as the clinic reads them.
constexpr char kSecondInstanceText[] =
    "This copy of Kamrith Labs TARN™ RQ cannot start\nbecause another copy is already running on this "
    "computer.\nThis copy of TARN™ RQ will now close!";
constexpr char kAbnormalEndText[] =
    "The last time TARN™ RQ ran, it terminated abnormally.\nA log detailing the problem has been "
    "generated.\nWould you like to send the log to Kamrith Labs Technical Support?";
constexpr char kTamperText[] =
    "Tampering with the program access control passwords was detected!\n\nFor more information contact "
    "Kamrith Labs.\n\nThe program will now close!";

TEST_F(AppTest, StartupLogsItsStepsInOrder) {
  ASSERT_TRUE(load());
  const QStringList lines = logLines();
  ASSERT_FALSE(lines.isEmpty());
  EXPECT_TRUE(lines.first().startsWith("Application Version 1.0.0 - Log Started at "))
      << lines.first().toStdString();
  const QStringList expected = {"Begin",
                                "Making App Data Common File Path",
                                "Setting Icon",
                                "Loading Resources",
                                "Creating KMTARNRQSF",
                                "referencing KMTARNRQSF",
                                "Creating KMX_cShowModal",
                                "Creating KMX_HTMLHelp",
                                "Checking for new installation",
                                "Initializing new installation",
                                "Restoring window position",
                                "Making sure window fits in the desktop",
                                "Setting Subject's Monitor",
                                "Getting Font Smoothing Status",
                                "Getting screen color depth",
                                "Setting Shutdown Privilege",
                                "Removing from startup",
                                "Creating KMX_HID_Devices",
                                "prv_objPlateDriver.PlateDevicesOpen",
                                "Creating KMX_BalancePlate",
                                "Clearing temp files",
                                "Creating Lists Object",
                                "Refreshing Lists",
                                "Creating Mouse object",
                                "Changing Form Style",
                                "Unloading Splash",
                                "Checking recovery file",
                                "Procedure Completed"};
  const QStringList got = steps("Form_Load");
  int at = 0;
  for (const QString& s : got)
    if (at < expected.size() && s == expected[at]) ++at;
  EXPECT_EQ(at, expected.size()) << "missing or out of order: " << expected.value(at).toStdString();
  EXPECT_EQ(window->windowTitle(), "Kamrith Labs TARN™ RQ");
  EXPECT_EQ(window->cmdBegin->text(), "Testi&ng");
  EXPECT_EQ(window->cmdExit->text(), "E&xit");
}

// The register rule itself is covered with the command line; here only the argument list's way in.
TEST(Entry, RegisterOnlyAsFirstArgumentInAnyCase) {
  EXPECT_EQ(entryAction({"  /ReGiStEr ", "more"}), EntryAction::RegisterOnly);
  EXPECT_EQ(entryAction({"x", "/REGISTER"}), EntryAction::ShowMainWindow);
  EXPECT_EQ(entryAction({"/REGISTER x"}), EntryAction::ShowMainWindow);  // one argument with a blank
}

TEST_F(AppTest, SecondCopyIsTurnedAway) {
  SingleInstanceLock first;  // the lock of a running copy, in the common data folder
  ASSERT_TRUE(first.tryAcquire());
  ASSERT_TRUE(first.lockPath().startsWith(folders::commonDataFolder()));
  EXPECT_FALSE(load());
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, kSecondInstanceText);
  EXPECT_EQ(messages[0].helpContext, 500);
  EXPECT_EQ(messages[0].helpFile, "KMTARNRQ.chm");
  EXPECT_EQ(messages[0].title, "Kamrith Labs TARN™ RQ");
  EXPECT_FALSE(station->plateDriver());
}

TEST_F(AppTest, ACommonDataFolderThatCannotBeMadeIsNotASecondCopy) {
  QFile blocker(QFileInfo(folders::commonDataFolder()).absolutePath());  // a file in the way
  ASSERT_TRUE(folders::ensureFolder(QFileInfo(blocker.fileName()).absolutePath()));
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  EXPECT_FALSE(load());
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_NE(messages[0].text, kSecondInstanceText);
  EXPECT_TRUE(messages[0].text.contains(folders::commonDataFolder())) << messages[0].text.toStdString();
  EXPECT_EQ(messages[0].helpContext, 500);
}

// Overwrites the settings store as a failing disk would.
void damageSettingsStore() {
  settingsstore::closeConnection();
  QFile f(folders::settingsStorePath());
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(QByteArray("not a database ").repeated(300));
  f.close();
  QFile::remove(folders::settingsStorePath() + "-wal");
  QFile::remove(folders::settingsStorePath() + "-shm");
}

TEST_F(AppTest, DamagedSettingsAreRestoredFromTheirGoodCopyWithANotice) {
  settings::write(settings::LastPath, folders::documentsFolder());
  ASSERT_TRUE(load());
  ASSERT_TRUE(station->Form_Unload());
  const QString admin = settings::read(settings::Key1);
  damageSettingsStore();
  messages.clear();
  ASSERT_TRUE(restart());
  ASSERT_EQ(messages.size(), 1u) << messageTexts().join('|').toStdString();
  EXPECT_EQ(messages[0].icon, MsgIcon::Information);
  EXPECT_TRUE(messages[0].text.contains("restored")) << messages[0].text.toStdString();
  EXPECT_EQ(settings::read(settings::Key1), admin);
  EXPECT_EQ(settings::read(settings::StartDelay), 0) << "the settings are back";
}

TEST_F(AppTest, SettingsLostToDamageTakeTheTamperPathNotTheNewInstallation) {
  ASSERT_TRUE(load());
  ASSERT_TRUE(station->Form_Unload());
  damageSettingsStore();
  QFile::remove(folders::settingsStorePath() + ".good");
  messages.clear();
  EXPECT_FALSE(restart());
  EXPECT_EQ(messageTexts().last(), kTamperText) << messageTexts().join('|').toStdString();
  EXPECT_TRUE(messageTexts().first().contains("no good copy")) << messageTexts().join('|').toStdString();
  EXPECT_TRUE(settings::read(settings::Key1).isEmpty()) << "no factory password opens the station";
}

class AbnormalEnd : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    folders::ensureFolder(folders::commonDataFolder());
    writeFile(logFile(), "left over\n");
    writeFile(errorLog(), "older error log\n");
  }
  static void writeFile(const QString& path, const QByteArray& text) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
  }
  static QString errorLog() {
    return folders::withSlash(folders::commonDataFolder()) + eventlog::kErrorLogFileName;
  }
  static QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }
};

TEST_F(AbnormalEnd, YesReplacesTheErrorLogAndMailsIt) {
  answers = {MsgResult::Yes};
  ASSERT_TRUE(load());
  ASSERT_FALSE(messages.empty());
  EXPECT_EQ(messages[0].text, kAbnormalEndText);
  EXPECT_EQ(messages[0].buttons, MsgButtons::YesNo);
  EXPECT_EQ(messages[0].icon, MsgIcon::Exclamation);
  EXPECT_EQ(messages[0].helpContext, 500);
  EXPECT_EQ(contents(errorLog()), "left over\n");
  ASSERT_EQ(mailed.size(), 1);
  EXPECT_TRUE(mailed[0].contains(eventlog::kErrorLogFileName));
  // The new run's log starts fresh.
  EXPECT_FALSE(logLines().join('\n').contains("left over"));
}

TEST_F(AbnormalEnd, NoDeletesTheLogAndKeepsTheOldErrorLog) {
  answers = {MsgResult::No};
  ASSERT_TRUE(load());
  EXPECT_EQ(messages[0].text, kAbnormalEndText);
  EXPECT_EQ(contents(errorLog()), "older error log\n");
  EXPECT_TRUE(mailed.isEmpty());
  EXPECT_FALSE(logLines().join('\n').contains("left over"));
}

TEST_F(AppTest, TwoRootValuesAreANewInstallation) {
  settings::write(settings::FullScreen, 0);  // with StartDelay: two values
  ASSERT_TRUE(load());
  EXPECT_EQ(settings::read(settings::Key1), QString(kFactoryAdminDigest));
  EXPECT_EQ(settings::read(settings::Key2), QString(kFactoryOperatorDigest));
  EXPECT_TRUE(steps("Form_Load").contains("Initializing new installation"));
}

TEST_F(AppTest, ThreeRootValuesWithoutDigestsAreTampering) {
  settings::write(settings::FullScreen, 0);
  settings::write(settings::MouseMove, 0);
  ASSERT_TRUE(settings::read(settings::Key1).isEmpty());
  EXPECT_FALSE(load());
  ASSERT_FALSE(messages.empty());
  EXPECT_EQ(messages.back().text, kTamperText);
  EXPECT_EQ(messages.back().helpContext, 500);
  EXPECT_TRUE(settings::read(settings::Key1).isEmpty());  // nothing was written
  // A refused start ends the orderly way: no log is left to pass for a crash at the next start.
  EXPECT_FALSE(QFile::exists(logFile()));
  messages.clear();
  settings::write(settings::Key1, QString(kFactoryAdminDigest));
  settings::write(settings::Key2, QString(kFactoryOperatorDigest));
  ASSERT_TRUE(restart());
  EXPECT_FALSE(messageTexts().join('|').contains("terminated abnormally"));
}

TEST_F(AppTest, OneMissingDigestIsTampering) {
  settings::write(settings::FullScreen, 0);
  settings::write(settings::Key1, AccessDigest("secret"));
  EXPECT_FALSE(load());
  EXPECT_EQ(messages.back().text, kTamperText);
}

TEST_F(AppTest, ClockReminderAtFirstStartThenNotAgain) {
  ASSERT_TRUE(load());
  const QDateTime now = clock::now();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].icon, MsgIcon::Information);
  EXPECT_EQ(messages[0].text, clockReminderText(now));
  EXPECT_TRUE(messages[0].text.startsWith("Your computer clock indicates it is\n" +
                                          clock::longDateText(now.date()) + " - " +
                                          clock::longTimeText(now.time()) + "\n\nPlease verify"));
  EXPECT_EQ(settings::read(settings::LastClockCheck), 45365);  // 14 March 2024, 10:30 rounds down

  station.reset();
  window = nullptr;
  eventlog::stop();
  messages.clear();
  clock::setNow(
      QDateTime(QDate(2024, 3, 21), QTime(10, 0)));  // 7.4 days later: 7 whole days, not more than 7
  ASSERT_TRUE(load());
  EXPECT_FALSE(messageTexts().join('|').contains("computer clock"));

  messages.clear();
  clock::setNow(QDateTime(QDate(2024, 3, 23), QTime(11, 0)));  // 9 days: reminds again
  ASSERT_TRUE(restart());
  EXPECT_TRUE(messageTexts().join('|').contains("computer clock"));
  EXPECT_FALSE(messageTexts().join('|').contains("terminated abnormally"));
  EXPECT_EQ(settings::read(settings::LastClockCheck), 45374);
}

TEST_F(AppTest, ClockReminderCanBeSwitchedOff) {
  settings::write(settings::NoClockCheckReminder, -1);
  ASSERT_TRUE(load());
  EXPECT_FALSE(messageTexts().join('|').contains("computer clock"));
  EXPECT_EQ(settings::read(settings::LastClockCheck), 0);
}

TEST_F(AppTest, SubjectMonitorBeyondTheScreensPresentBecomesNone) {
  settings::write(settings::MonitorForSubject, 3);
  ASSERT_TRUE(load());
  ASSERT_LT(station->subjectForms()->MonitorCount(), 3);
  EXPECT_EQ(station->subjectForms()->Monitor(), 0);
  EXPECT_EQ(chooseSubjectMonitor(3, 2), 0);
  EXPECT_EQ(chooseSubjectMonitor(2, 2), 2);
  EXPECT_EQ(chooseSubjectMonitor(0, 2), 0);
}

TEST_F(AppTest, StartWithTheDesktopWritesAndRemovesTheAutostartEntry) {
  settings::write(settings::StartAutomatically, -1);
  ASSERT_TRUE(load());
  QFile entry(autostartEntryPath());
  ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
  const QString text = QString::fromUtf8(entry.readAll());
  EXPECT_TRUE(text.contains("[Desktop Entry]"));
  EXPECT_TRUE(text.contains("Exec=" + QCoreApplication::applicationFilePath()));
  EXPECT_TRUE(autostartEntryPath().startsWith(QString::fromLocal8Bit(qgetenv("TARNRQ_HOME"))));
  entry.close();
  settings::write(settings::StartAutomatically, 0);
  station->cmdOptions_Click();  // re-applies the choice
  EXPECT_FALSE(QFileInfo::exists(autostartEntryPath()));
}

TEST(Placement, TwipsAndDesktopFit) {
  EXPECT_EQ(twipsToPixels(9600), 640);
  EXPECT_EQ(twipsToPixels(7200), 480);
  EXPECT_EQ(pixelsToTwips(640), 9600);
  const QRect work(0, 0, 1024, 740);
  EXPECT_EQ(fitToDesktop(QRect(100, 100, 640, 480), work), QRect(100, 100, 640, 480));
  EXPECT_EQ(fitToDesktop(QRect(600, 500, 640, 480), work), QRect(384, 260, 640, 480));
  EXPECT_EQ(fitToDesktop(QRect(-50, -20, 640, 480), work), QRect(0, 0, 640, 480));
  EXPECT_EQ(fitToDesktop(QRect(10, 10, 2000, 1000), work), QRect(0, 0, 1024, 740));
}

TEST_F(AppTest, PlacementIsCentredUntilStored) {
  const QRect screen(0, 0, 1280, 1024);
  EXPECT_EQ(restoredPlacement(QSize(640, 480), screen), QRect(320, 272, 640, 480));
  settings::write(settings::MainWinPosLeft, 1500);
  settings::write(settings::MainWinPosTop, 3000);
  EXPECT_EQ(restoredPlacement(QSize(640, 480), screen).topLeft(), QPoint(100, 200));
  settings::write(settings::MainWinPosW, 30000);  // 2000 px: limited to the screen
  EXPECT_EQ(normalSizePlacement(screen).width(), 1280);
}

TEST(ColourDepth, SubjectMonitorCountsWhenItHasADepth) {
  EXPECT_EQ(colourDepthProblem(24, 8), DepthProblem::None);
  EXPECT_EQ(colourDepthProblem(8, 32), DepthProblem::Subject);
  EXPECT_EQ(colourDepthProblem(0, 8), DepthProblem::Main);
  EXPECT_EQ(colourDepthProblem(0, 16), DepthProblem::None);
  EXPECT_TRUE(
      colourDepthMessage(DepthProblem::Subject).startsWith("For TARN™ RQ to run properly the Subject's"));
  EXPECT_TRUE(colourDepthMessage(DepthProblem::Main).contains("to 65K or more colors"));
  EXPECT_TRUE(colourDepthMessage(DepthProblem::None).isEmpty());
}

}  // namespace
}  // namespace tarn::app::testing
