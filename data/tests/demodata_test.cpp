// Demonstration data look like a clinic's: every test stored as the station stores it, repeat
// sessions, and results across the classes, the same in the files as in the list.
#include <gtest/gtest.h>

#include <QDir>

#include <set>

#include "balance/plate/plateclock.h"
#include "data/lists/list.h"
#include "data/subjectfile/subjectfile.h"
#include "data/tools/demodata.h"
#include "testsupport/sandbox.h"

namespace tarn {
namespace {

TEST(DemoData, TestsAreStoredWithMeasuresZeroAndBMIAndTheClassesSpread) {
  const QString folder = QDir(testsupport::sandboxFolder()).filePath("demo");
  demodata::Options o;
  o.files = 12;
  o.seed = 5;
  o.today = 45500;
  auto recorder = demodata::makeModelRecorder(5);
  QString error;
  ASSERT_EQ(demodata::writeDemoFolder(folder, o, *recorder, &error), o.files) << error.toStdString();

  KM_RQList list;
  list.setWorkerThreads(1);
  ASSERT_EQ(list.Refresh(10.0f, folder, ".kpf"), o.files);
  std::set<qint32> stabilityClasses, bmiClasses;
  int visits = 0, repeated = 0;
  for (qint32 i = 1; i <= list.lFilesCount(); ++i) {
    const KM_RQListFile& entry = *list.lfFile(i);
    SubjectFile f;
    ASSERT_TRUE(f.Open(QDir(folder).filePath(entry.sFileName)));
    qint32 k = 0;
    for (const auto& v : f.Visits()) {
      ++visits;
      repeated += v->SessionCount() > 1;
      for (const auto& s : v->Sessions()) {
        for (const auto& t : s->BalanceTests()) {
          SCOPED_TRACE(entry.sFileName.toStdString() + " " + t->sTestID.toStdString());
          const KM_RQListTestBalance& listed = *entry.ltTestBalanceItem(++k);
          EXPECT_EQ(t->bIsDone, kTrue);
          EXPECT_TRUE(t->hasZero());
          EXPECT_NE(t->fZeroAve1, 0.0f);
          EXPECT_GT(t->fZeroRMS3, 0.0f);
          EXPECT_EQ(t->fCoPThresholdF, 10.0f);
          // The stored results are those the list computes from the samples.
          EXPECT_GT(t->fPlen, 0.0f);
          EXPECT_EQ(t->fStability, listed.fStability);
          EXPECT_EQ(t->fVMax, listed.fVMax);
          EXPECT_EQ(t->lStabilityClass, listed.lStabilityClass);
          EXPECT_EQ(t->fBMI, listed.fBMI);
          EXPECT_EQ(t->lBMIClass, listed.lBMIClass);
          stabilityClasses.insert(t->lStabilityClass);
          bmiClasses.insert(t->lBMIClass);
        }
      }
    }
  }
  EXPECT_GT(repeated, 0);
  EXPECT_LT(repeated, visits);
  EXPECT_EQ(stabilityClasses, (std::set<qint32>{1, 2, 3, 4, 5}));
  EXPECT_GE(bmiClasses.size(), 4u);
  EXPECT_GT(list.lSTBadBalanceFilesCount(), 0);
  EXPECT_LT(list.lSTBadBalanceFilesCount(), list.lFilesCount());
}

// The platform recorder moves plate time itself: the same seed gives the same samples however
// loaded the machine is, and the plate clock is handed back as it was found.
TEST(DemoData, PlateRecordingsFollowTheSeedAndLeaveThePlateClockAsFound) {
  SimulatedSubject subject;
  subject.weightKg = 64.0;
  subject.eyesClosed = true;
  auto record = [&](quint64 seed) {
    auto recorder = demodata::makePlateRecorder(seed);
    auto first = recorder->record(subject, 100.0f, 20.0, 45500.25);
    auto second = recorder->record(subject, 100.0f, 5.0, 45500.5);
    EXPECT_TRUE(recorder->zero().valid);
    return std::make_pair(first, second);
  };
  const bool before = plateclock::manual();  // other tests of this program run on the manual clock
  for (const bool callerHoldsClock : {false, true}) {
    SCOPED_TRACE(callerHoldsClock ? "clock held by the caller" : "real clock");
    plateclock::setManual(callerHoldsClock);
    const auto a = record(3), b = record(3), c = record(4);
    EXPECT_EQ(plateclock::manual(), callerHoldsClock);
    ASSERT_TRUE(a.first && a.second && b.first && c.first);
    EXPECT_EQ(a.first->Count(), 2000);
    EXPECT_EQ(a.second->Count(), 500);
    EXPECT_EQ(a.first->DateTime(), 45500.25);
    bool sameAsB = true, sameAsC = true;
    for (qint32 i = 0; i < a.first->Count(); ++i) {
      for (int ch = 0; ch < 3; ++ch) {
        sameAsB = sameAsB && a.first->Sample(ch, i) == b.first->Sample(ch, i);
        sameAsC = sameAsC && a.first->Sample(ch, i) == c.first->Sample(ch, i);
      }
    }
    EXPECT_TRUE(sameAsB);
    EXPECT_FALSE(sameAsC);
    // A standing subject of 64 kg loads the plate with about 628 N, pressing down.
    EXPECT_NEAR(a.first->Sample(0, 1000), -64.0 * 9.80665, 15.0);
  }
  plateclock::setManual(before);
}

}  // namespace
}  // namespace tarn
