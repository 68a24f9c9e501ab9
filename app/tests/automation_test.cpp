// The station's side of the automation object: the main window's shutdown asks the clients, the
// list refresh and a session begun by a client are told, the data folder switches.
#include <QDir>

#include "app/automationhost.h"
#include "app/tests/apptest.h"
#include "automation/kmtarnrqapp.h"
#include "automation/tests/automation_testutil.h"
#include "data/templates/template.h"

namespace tarn::app::testing {
namespace {

using automationtest::RecordingClient;

class StationAutomationTest : public AppTest {
 protected:
  // A station able to test: a balance template and a writable data folder.
  void loadTestable() {
    settings::write(settings::EnableBalance, -1);
    folders::ensureFolder(settings::read(settings::TemplatePath));
    ASSERT_TRUE(CreateDefaultTestTemplate(
        QDir(settings::read(settings::TemplatePath)).filePath(settings::read(settings::TemplateFile))));
    folders::ensureFolder(settings::read(settings::LastPath));
    station = std::make_unique<StationApp>();
    window = station->window();
    automation = std::make_unique<StationAutomation>(*station, false);
    app = std::make_unique<KM_TARNRQ_APP>(automation->server(), &client);
    app->RegisterForEvents();
    ASSERT_TRUE(station->Form_Load());
  }
  void TearDown() override {
    app.reset();
    if (station && station->started()) station->Form_Unload();
    automation.reset();
    AppTest::TearDown();
  }
  QStringList log;
  RecordingClient client{log, "c"};
  std::unique_ptr<StationAutomation> automation;
  std::unique_ptr<KM_TARNRQ_APP> app;
};

TEST_F(StationAutomationTest, ShutdownAsksTheClientsAndACancelKeepsTheWindow) {
  loadTestable();
  EXPECT_TRUE(log.contains("c:ListRefreshStart()") && log.contains("c:ListRefreshEnd()"))
      << "the start-up's list refresh is told";
  EXPECT_TRUE(app->bAppStarted());
  log.clear();
  messages.clear();
  client.cancel = qint16(-1);
  EXPECT_FALSE(station->Form_Unload());
  EXPECT_EQ(messageTexts(), QStringList{"Can't quit at this time!"});
  EXPECT_EQ(log, QStringList{"c:AppQueryClose()"});
  EXPECT_TRUE(steps("Form_Unload").contains("Closing cancelled by server"));
  EXPECT_TRUE(station->started());

  client.cancel = qint16(0);
  log.clear();
  EXPECT_TRUE(station->Form_Unload());
  EXPECT_EQ(log, (QStringList{"c:AppQueryClose()", "c:AppClose()"}));
  EXPECT_FALSE(app->registered()) << "AppClose clears the registration";
  EXPECT_FALSE(app->bAppStarted());
}

TEST_F(StationAutomationTest, ASessionBegunByAClientRunsWithItsChoicesAfterTheCallReturns) {
  loadTestable();
  ASSERT_TRUE(app->bTestingEnabled());
  log.clear();
  // No file window (a new file), no template window; the subject window is cancelled.
  EXPECT_TRUE(app->AppBeginTest(true, QString(), true, QString()));
  EXPECT_TRUE(log.isEmpty()) << "the session starts after the call has returned";
  EXPECT_FALSE(app->bTestingEnabled());
  EXPECT_FALSE(app->AppBeginTest()) << "pressed once only";
  ASSERT_TRUE(waitFor([&] { return log.contains("c:ExitingTest(true)"); }));
  const QString file = QDir(settings::read(settings::LastPath)).filePath("STF000001.kpf");
  EXPECT_EQ(log.mid(0, 6),
            (QStringList{"c:EnteringTest(false)", "c:FileOpening(" + file + ")", "c:NewVisit(1)",
                         "c:NewSession(1,1)", "c:EnteringSbjInfo(1,1)", "c:ExitingSbjInfo(1,1)"}));
  EXPECT_TRUE(app->bTestingEnabled()) << "enabled again when the session ended";
}

// AppClose while a client's session waits in a window: the station closes once the session has
// ended, the normal way.
TEST_F(StationAutomationTest, AppCloseDuringASessionWaitsForItsEnd) {
  loadTestable();
  modalAnswers.push_back([&](QDialog&) {
    EXPECT_TRUE(app->AppClose());
    waitFor([] { return false; }, 3 * KM_TARNRQ_APP::kAppCloseDelayMs);
    EXPECT_TRUE(station->started()) << "not while the window is up";
    log << "window cancelled";
    return int(QDialog::Rejected);
  });
  ASSERT_TRUE(app->AppBeginTest(true, QString(), true, QString()));
  ASSERT_TRUE(waitFor([&] { return !station->started(); }));
  const QString file = QDir(settings::read(settings::LastPath)).filePath("STF000001.kpf");
  const qsizetype cancelled = log.indexOf("window cancelled");
  ASSERT_GE(cancelled, 0);
  EXPECT_EQ(log.mid(cancelled + 1),
            (QStringList{"c:ExitingSbjInfo(1,1)", "c:FileClosing(" + file + ")", "c:ExitingTest(true)",
                         "c:ListRefreshStart()", "c:ListRefreshEnd()", "c:AppQueryClose()", "c:AppClose()"}));
}

TEST_F(StationAutomationTest, SwitchingTheDataFolderRefreshesTheList) {
  loadTestable();
  const QString other = QDir(folders::documentsFolder()).filePath("other");
  folders::ensureFolder(other);
  log.clear();
  EXPECT_FALSE(app->bSetFilePath(QDir(other).filePath("missing")));
  EXPECT_TRUE(log.isEmpty());
  EXPECT_TRUE(app->bSetFilePath(other));
  EXPECT_EQ(app->sGetFilePath(), other + '/');
  EXPECT_EQ(log, (QStringList{"c:ListRefreshStart()", "c:ListRefreshEnd()"}));
}

}  // namespace
}  // namespace tarn::app::testing
