#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>

#include "balance/tests/plate_testutil.h"
#include "balance/windows/frmtbstatic.h"
#include "balance/windows/frmtbzero.h"
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

TEST(TestWindows, StaticWindowRunsATestAndSavesOnNext) {
  platetest::SimRig rig;
  ScriptedMessages msgs;
  ASSERT_TRUE(rig.plate->ZeroStart(500, 2500));
  ASSERT_TRUE(platetest::runUntil([&] { return !rig.plate->IsZeroing(); }));
  rig.plate->ZeroAccept();

  BalanceTestRun run;
  run.lTestType = 2;
  run.timing.frequencyHz = 100;
  frmTBStatic w(rig.plate, rig.driver.get());
  w.setBalanceTest(run, true, true);
  EXPECT_EQ(w.windowTitle(), QString::fromUtf8("KM TARN™ RQ Balance Testing (NSEC) Test"));
  EXPECT_TRUE(w.lblInstructions->text().startsWith("Instructions:\nPlease stand on the plate"));
  EXPECT_FALSE(w.cmdNext->isEnabled());

  w.setReplaySpeed(100);
  EXPECT_EQ(w.tmrReplay->interval(), 10);
  w.setReplaySpeed(0);
  EXPECT_EQ(w.tmrReplay->interval(), 10) << "speed 0 leaves the interval";
  w.setReplaySpeed(50);
  EXPECT_EQ(w.tmrReplay->interval(), 20);

  w.cmdAcquire->click();
  EXPECT_EQ(w.lblStatus->text(), "Pre-test");
  ASSERT_TRUE(platetest::runUntil([&] { return w.controller().state() == StaticState::Done; }));
  EXPECT_EQ(w.lblStatus->text(), "Test Done");
  EXPECT_EQ(w.lblInstructions->text(),
            "Click 'Redo Test' to perform the test again, or 'Next >>' or 'OK' to save the current test.");
  EXPECT_TRUE(w.txtResults->toPlainText().startsWith("PRELIMINARY TEST RESULTS"));
  EXPECT_GT(w.copDisplay->pointCount(), 1900);
  EXPECT_TRUE(w.cmdReplay->isEnabled());

  w.cmdUnableToComplete->click();
  EXPECT_EQ(w.cmdUnableToComplete->text(), "(X) &Unable to Complete");
  EXPECT_TRUE(w.chkFallen->isChecked());

  w.cmdReplay->click();
  EXPECT_TRUE(w.replaying());
  EXPECT_EQ(w.copDisplay->pointCount(), 0);
  w.setReplaySpeed(400);
  w.cmdReplayStop->click();
  EXPECT_FALSE(w.replaying());

  w.cmdOK->click();
  EXPECT_EQ(w.result(), 2);
  EXPECT_TRUE(w.balanceTest().enoughSamples());
  EXPECT_TRUE(w.balanceTest().bIsFallen);
  EXPECT_EQ(w.balanceTest().samples->Count(), 2000);
  EXPECT_TRUE(msgs.requests().isEmpty());
}

}  // namespace
}  // namespace tarn
