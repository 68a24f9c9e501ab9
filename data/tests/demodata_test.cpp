// Demonstration data look like a clinic's: every test stored as the station stores it, repeat
// sessions, and results across the classes, the same in the files as in the list.
#include <gtest/gtest.h>

#include <QDir>

#include <set>

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

}  // namespace
}  // namespace tarn
