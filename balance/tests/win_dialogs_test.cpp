#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>

#include "balance/balancesettings.h"
#include "balance/procedures/preliminaryresults.h"
#include "balance/tests/plate_testutil.h"
#include "balance/windows/frmtbstatic.h"
#include "balance/windows/frmtbzero.h"
#include "core/clock.h"
#include "core/settingkeys.h"
#include "testsupport/scriptedmessages.h"

namespace tarn {
namespace {

TEST(TestWindows, ZeroWindowAcquiresAndMovesOn) {
  platetest::SimRig rig;
  ScriptedMessages msgs;
  BalanceTestRun run;
  frmTBZero w(rig.driver.get(), &run);
  EXPECT_EQ(w.windowTitle(), QString::fromUtf8("KM TARN™ RQ Balance Testing - Force Platform Zero"));
  EXPECT_EQ(w.cmbPlates->currentIndex(), 1);
  EXPECT_TRUE(w.cmdAcquire->isEnabled());
  EXPECT_FALSE(w.cmdNext->isEnabled());
  EXPECT_TRUE(w.lblStatus->text().contains("There is no Zero in memory"));
  w.txtDuration->setText("100");
  w.cmdAcquire->click();
  ASSERT_EQ(msgs.requests().size(), 1) << "duration out of range";
  EXPECT_FALSE(w.controller().acquiring());
  w.txtDuration->setText("2");
  w.cmdAcquire->click();
  EXPECT_TRUE(w.Timer1->isActive());
  EXPECT_FALSE(w.cmdCancel->isEnabled());
  ASSERT_TRUE(platetest::runUntil([&] { return w.cmdNext->isEnabled(); }));
  EXPECT_FALSE(w.Timer1->isActive());
  EXPECT_NE(w.lblValue[0][0]->text(), "-");
  EXPECT_TRUE(w.lblStatus->text().contains("The last Zero is still valid."));
  EXPECT_TRUE(w.cmdRedoZero->isEnabled());
  w.cmdNext->click();
  EXPECT_EQ(w.result(), 1);
  EXPECT_EQ(w.DialogExitButton(), 1);
  EXPECT_FALSE(w.controller().stepRunning()) << "the plate's errors now belong to the next step";
}

// A zeroed simulated plate and the static test window on it.
struct StaticWindowRig {
  platetest::SimRig sim;
  ScriptedMessages msgs;
  frmTBStatic w;
  explicit StaticWindowRig(const BalanceTestRun& run) : w(zeroed(sim), sim.driver.get()) {
    w.setBalanceTest(run, true, true);
  }
  static KMX_BalancePlate* zeroed(platetest::SimRig& sim) {
    EXPECT_TRUE(sim.plate->ZeroStart(500, 2500));
    EXPECT_TRUE(platetest::runUntil([&] { return !sim.plate->IsZeroing(); }));
    sim.plate->ZeroAccept();
    return sim.plate;
  }
  bool runTo(StaticState s) {
    return platetest::runUntil([&] { return w.controller().state() == s; });
  }
};

BalanceTestRun nsecRun() {
  BalanceTestRun run;
  run.lTestType = 2;
  run.timing.frequencyHz = 100;
  run.subjectBirth = clock::dateToDays(QDate(1970, 1, 1));
  return run;
}

TEST(TestWindows, StaticWindowRunsATestShowsTheScoreFirstAndSavesOnOK) {
  StaticWindowRig rig(nsecRun());
  frmTBStatic& w = rig.w;
  EXPECT_EQ(w.windowTitle(), QString::fromUtf8("KM TARN™ RQ Balance Testing (NSEC) Test"));
  EXPECT_TRUE(w.lblInstructions->text().startsWith("Instructions:\nPlease stand on the plate"));
  EXPECT_FALSE(w.cmdNext->isEnabled());
  EXPECT_EQ(w.cmdDisplay->text(), "Display &ON");
  w.cmdDisplay->click();
  EXPECT_EQ(w.cmdDisplay->text(), "Display O&FF") << "the caption follows the state";
  EXPECT_FALSE(w.lblInstructions->text().contains("watch your weight"));
  w.cmdDisplay->click();

  w.setReplaySpeed(100);
  EXPECT_EQ(w.tmrReplay->interval(), 10);
  w.setReplaySpeed(0);
  EXPECT_EQ(w.tmrReplay->interval(), 10) << "speed 0 leaves the interval";
  w.setReplaySpeed(50);
  EXPECT_EQ(w.tmrReplay->interval(), 20);

  w.cmdAcquire->click();
  EXPECT_EQ(w.lblStatus->text(), "") << "one status: the time label says Pre-Test";
  EXPECT_TRUE(w.lblTime->text().startsWith("Pre-Test\n"));
  EXPECT_GT(w.copDisplay->Display_TrueScaleRadius(), 0.0) << "live feedback scale";
  QStringList statuses;
  QObject::connect(&w.controller(), &StaticTestController::stateChanged,
                   [&](StaticState) { statuses << w.lblStatus->text(); });
  ASSERT_TRUE(rig.runTo(StaticState::Done));
  EXPECT_EQ(statuses, (QStringList{"Acquiring...", "Storing Data", "Test Done"}));
  EXPECT_EQ(w.lblInstructions->text(),
            "Click 'Redo Test' to perform the test again, or 'Next >>' or 'OK' to save the current test.");
  EXPECT_EQ(w.lblResultsHeading->text(), "PRELIMINARY TEST RESULTS");
  EXPECT_FALSE(w.lblScore->isHidden());
  EXPECT_TRUE(w.lblScore->text().startsWith("Stability Score: ")) << w.lblScore->text().toStdString();
  EXPECT_TRUE(w.lblScore->text().contains(StabilityClassName(*w.controller().run().stabilityClass)));
  EXPECT_TRUE(w.txtResults->toPlainText().contains("Length of the Sway Path:"));
  EXPECT_TRUE(w.lblHelp->isHidden()) << "the results take the help's place";
  EXPECT_EQ(w.copDisplay->pointCount(), 2000);
  EXPECT_EQ(w.copDisplay->Display_TrueScaleRadius(), 0.0) << "the finished view is linear";
  ASSERT_TRUE(w.copDisplay->confidenceEllipse());
  EXPECT_DOUBLE_EQ(w.copDisplay->confidenceEllipse()->a, w.controller().run().result.f95MaxSway / 2);
  EXPECT_TRUE(w.cmdReplay->isEnabled());

  w.cmdUnableToComplete->click();
  EXPECT_EQ(w.cmdUnableToComplete->text(), "(X) &Unable to Complete");
  EXPECT_TRUE(w.chkFallen->isChecked());

  w.cmdOK->click();
  EXPECT_EQ(w.result(), kWizOK);
  EXPECT_TRUE(w.balanceTest().enoughSamples());
  EXPECT_TRUE(w.balanceTest().bIsFallen);
  EXPECT_EQ(w.balanceTest().samples->Count(), 2000);
  EXPECT_TRUE(rig.msgs.requests().isEmpty());
}

// The replay draws the recording in the finished view's geometry, to its last sample.
TEST(TestWindows, ReplayRunsToTheEndInTheFinishedGeometry) {
  StaticWindowRig rig(nsecRun());
  frmTBStatic& w = rig.w;
  rig.w.cmdAcquire->click();
  ASSERT_TRUE(rig.runTo(StaticState::Done));
  const auto finished = w.copDisplay->settings();
  const auto ellipse = w.copDisplay->confidenceEllipse();
  ASSERT_TRUE(ellipse);
  settings::write(settings::StaticCoPLoSON, 0);  // a choice kept from the menu

  w.cmdReplay->click();
  ASSERT_TRUE(w.replaying());
  EXPECT_EQ(w.copDisplay->pointCount(), 0);
  EXPECT_FALSE(w.copDisplay->LoSVisible()) << "the stored visibility";
  EXPECT_DOUBLE_EQ(w.copDisplay->Display_XWidth(), finished.displayXWidth);
  EXPECT_DOUBLE_EQ(w.copDisplay->Display_Xo(), finished.displayXo);
  EXPECT_DOUBLE_EQ(w.copDisplay->Display_Yo(), finished.displayYo);
  EXPECT_FALSE(w.cmdAcquire->isEnabled());

  w.setReplaySpeed(200);
  w.advanceReplay(5000);  // 10 s of the 20 s recording
  EXPECT_EQ(w.copDisplay->pointCount(), 1000);
  EXPECT_EQ(w.lblTime->text(), "Test Time\n10.0 s");
  w.cmdReplayPause->click();
  w.advanceReplay(5000);
  EXPECT_EQ(w.copDisplay->pointCount(), 1000) << "paused";
  w.cmdReplayUnpause->click();
  w.advanceReplay(6000);
  EXPECT_FALSE(w.replaying());
  EXPECT_EQ(w.copDisplay->pointCount(), 2000);
  EXPECT_FALSE(w.copDisplay->TargetVisible());
  ASSERT_TRUE(w.copDisplay->confidenceEllipse());
  EXPECT_DOUBLE_EQ(w.copDisplay->confidenceEllipse()->b, ellipse->b);
  EXPECT_EQ(w.lblInstructions->text(), "Test Done");
  EXPECT_EQ(w.lblTime->text(), "Test Time\n20.0 s");
  EXPECT_TRUE(w.cmdNext->isEnabled());
}

TEST(TestWindows, AStoppedTestNamesOnlyTheButtonsThatWork) {
  StaticWindowRig rig(nsecRun());
  frmTBStatic& w = rig.w;
  w.cmdAcquire->click();
  ASSERT_TRUE(platetest::runUntil([&] { return w.controller().elapsedSeconds() > 3.0; }));
  w.cmdStopTest->click();
  EXPECT_EQ(w.controller().state(), StaticState::Stopped);
  EXPECT_FALSE(w.cmdNext->isEnabled());
  EXPECT_EQ(w.lblInstructions->text(),
            "Click 'Redo Test' to perform the test again.\n\nIf the subject could not complete the test "
            "unaided, check 'Unable to Complete': the test can then be saved as not completed.");
  EXPECT_EQ(w.lblResultsHeading->text().section('\n', 0, 0), "PARTIAL TEST RESULTS");
  EXPECT_EQ(w.lblStatus->text(), "Test not Done!");
}

TEST(TestWindows, ARemovedPlateClearsTheTraceAndSendsTheOperatorBack) {
  StaticWindowRig rig(nsecRun());
  frmTBStatic& w = rig.w;
  rig.msgs.answer(MsgResult::OK);
  rig.sim.plate->injectFault(AcquiringPlate::Fault::Removal, 900);
  w.cmdAcquire->click();
  ASSERT_TRUE(rig.runTo(StaticState::NoPlate));
  EXPECT_EQ(rig.msgs.requests().size(), 1);
  EXPECT_EQ(w.copDisplay->pointCount(), 0) << "the abandoned trace is gone";
  EXPECT_TRUE(w.lblInstructions->text().contains("Click '<< Back' to go back to the Force Platform Zero"))
      << w.lblInstructions->text().toStdString();
  EXPECT_TRUE(w.cmdBack->isEnabled());
  EXPECT_FALSE(w.cmdAcquire->isEnabled());
}

}  // namespace
}  // namespace tarn
