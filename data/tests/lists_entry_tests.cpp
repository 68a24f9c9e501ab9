// Subject file entries: rebuild from a subject file, summaries and their tie rules, aggregates,
// the cached refresh, damaged files, and the entry's storage layout.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "core/clock.h"
#include "data/lists/listfile.h"
#include "data/storage/olestg.h"
#include "data/tests/lists_testutil.h"
#include "testing/sandbox.h"

namespace tarn {
namespace {

using liststest::addBalance;
using liststest::addVision;
using liststest::swayRecording;

constexpr double kD0 = 44990.5;   // PSEC test, earliest
constexpr double kD1 = 45000.25;  // first NSEO
constexpr double kD2 = 45010.25;  // second and third NSEO, same day

// Three visits; see the expectations in KnownAnswers.
QString writeKnownFile(const QString& folder) {
  SubjectFile f;
  EXPECT_TRUE(f.CreateEmpty());
  f.subject.sNameFirst = "Berta";
  f.subject.sNameMiddle = "C.";
  f.subject.sNameLast = "Dorn";
  f.subject.sSubjectID = "ID-7";
  f.subject.lIsMale = kSexFemale;
  f.subject.dtDoB = 29221.0;  // 1 January 1980

  Visit* v1 = f.AddVisit();
  v1->phys.dHeight = 1.80;
  v1->phys.dMass = 60;  // BMI 18.52, adult normal
  addBalance(v1->AddSession(), 1, kD1, swayRecording(0.002, 0.003, kD1));

  Visit* v2 = f.AddVisit();
  v2->phys.dHeight = 1.80;
  v2->phys.dMass = 85;  // BMI 26.23, adult overweight
  Session* a = v2->AddSession();
  addBalance(a, 1, kD2, swayRecording(0.002, 0.003, kD2));  // same samples as the first: a tie
  addBalance(a, 1, kD2, swayRecording(0.004, 0.006, kD2));  // more sway: lower stability
  addBalance(a, 4, kD0, swayRecording(0.3, 0.3, kD0));      // far beyond the limits: stability 0
  addVision(a, 1, kD1, 0.8, 2);
  addVision(a, 1, kD2, 1.0, 1);
  Session* b = v2->AddSession();
  addBalance(b, 2, kD2 + 1, nullptr);  // never run
  v2->AddSession();                    // no tests
  f.AddVisit();                        // no sessions

  const QString path = QDir(folder).filePath("known.kpf");
  EXPECT_TRUE(f.Save(path)) << f.LastError().toStdString();
  return path;
}

TEST(ListEntry, SummarySetTieRules) {
  KM_RQSummarySet s = KM_RQSummarySet::rebuildStart();
  s.add(10, 0.5f, 2);
  s.add(12, 0.5f, 3);  // equal value: lowest and highest both move to the later test
  s.add(12, 0.7f, 1);  // equal date: last moves, first stays
  s.add(9, 0.6f, 4);
  EXPECT_EQ(s.lowest, (KM_RQResultSummary{12, 0.5f, 3}));
  EXPECT_EQ(s.highest, (KM_RQResultSummary{12, 0.7f, 1}));
  EXPECT_EQ(s.first, (KM_RQResultSummary{9, 0.6f, 4}));
  EXPECT_EQ(s.last, (KM_RQResultSummary{12, 0.7f, 1}));
}

TEST(ListEntry, KnownAnswers) {
  const QString folder = testing::sandboxFolder();
  writeKnownFile(folder);
  KM_RQListFile e;
  e.sFileName = "known.kpf";
  EXPECT_FALSE(e.Refresh(folder, 10.0f));

  EXPECT_EQ(e.sSubjFName, "Berta");
  EXPECT_EQ(e.sSubjMName, "C.");
  EXPECT_EQ(e.sSubjLName, "Dorn");
  EXPECT_EQ(e.sSubjID, "ID-7");
  EXPECT_EQ(e.lIsMale, 0);
  EXPECT_DOUBLE_EQ(e.dtSubjDoB, 29221.0);
  EXPECT_FLOAT_EQ(e.fMinCoPFzForAnalysis, 10.0f);
  EXPECT_EQ(e.lFileSize, QFileInfo(QDir(folder).filePath("known.kpf")).size());
  EXPECT_EQ(e.lVisitCount(), 3);
  EXPECT_EQ(e.lSessionCount(), 4);
  EXPECT_EQ(e.lSTVisitCount(), 2);
  EXPECT_EQ(e.lSTSessionCount(), 3);
  EXPECT_EQ(e.lTestBalanceCount(), 5);
  EXPECT_EQ(e.lTestVisionCount(), 2);
  EXPECT_EQ(e.lTestBMICount(), 4);  // the test never run gives no BMI
  EXPECT_DOUBLE_EQ(e.dtLastSTDate(), kD2 + 1);
  EXPECT_GT(e.dtCreationDate(), 40000);

  const KM_RQListTestBalance* t1 = e.ltTestBalanceItem(1);
  const KM_RQListTestBalance* t2 = e.ltTestBalanceItem(2);
  const KM_RQListTestBalance* t3 = e.ltTestBalanceItem(3);
  const KM_RQListTestBalance* t4 = e.ltTestBalanceItem(4);
  ASSERT_TRUE(t1 && t2 && t3 && t4 && e.ltTestBalanceItem(5));
  EXPECT_EQ(e.ltTestBalanceItem(6), nullptr);
  EXPECT_EQ(e.ltTestBalanceItem(0), nullptr);
  EXPECT_EQ(t1->lTotalSamples, 2000);
  EXPECT_EQ(t1->lValidSamples, 2000);
  EXPECT_NEAR(t1->fActDuration, 20.0, 1e-6);
  EXPECT_GT(t1->fStability, 0.9f);
  EXPECT_EQ(t1->lStabilityClass, 1);
  EXPECT_FLOAT_EQ(t1->fStability, t2->fStability);
  EXPECT_LT(t3->fStability, t2->fStability);
  EXPECT_FLOAT_EQ(t4->fStability, 0.0f);
  EXPECT_EQ(t4->lStabilityClass, 5);
  EXPECT_NEAR(t1->fBMI, 60 / (1.8 * 1.8), 1e-4);
  EXPECT_EQ(t1->lBMIClass, 7);
  EXPECT_EQ(t2->lBMIClass, 8);
  EXPECT_TRUE(t1->bBMIEnabled);
  EXPECT_NE(t1->sVisitID, t2->sVisitID);
  EXPECT_EQ(t2->sSessionID, t4->sSessionID);

  // NSEO: the tie on stability goes to the later test, the tie on date too.
  EXPECT_DOUBLE_EQ(e.fBLowestDate(1), kD2);
  EXPECT_FLOAT_EQ(e.fBLowestStability(1), t3->fStability);
  EXPECT_DOUBLE_EQ(e.fBHighestDate(1), kD2);
  EXPECT_FLOAT_EQ(e.fBHighestStability(1), t2->fStability);
  EXPECT_DOUBLE_EQ(e.fBFirstDate(1), kD1);
  EXPECT_FLOAT_EQ(e.fBFirstStability(1), t1->fStability);
  EXPECT_FLOAT_EQ(e.fBLastStability(1), t3->fStability);
  EXPECT_EQ(e.fBLastStabClass(1), t3->lStabilityClass);
  // NSEC has only a test never run, PSEO none: both keep the start values.
  for (int type : {2, 3}) {
    EXPECT_FLOAT_EQ(e.fBLowestStability(type), 200.0f);
    EXPECT_FLOAT_EQ(e.fBHighestStability(type), -1.0f);
    EXPECT_DOUBLE_EQ(e.fBFirstDate(type), 109575.0);
    EXPECT_DOUBLE_EQ(e.fBLastDate(type), -36522.0);
    EXPECT_EQ(e.fBLowestStabClass(type), 0);
  }
  EXPECT_DOUBLE_EQ(e.fBFirstDate(4), kD0);
  EXPECT_EQ(e.fBHighestStabClass(4), 5);
  // Outside 1..4.
  EXPECT_FLOAT_EQ(e.fBLowestStability(0), 0.0f);
  EXPECT_DOUBLE_EQ(e.fBLastDate(5), 0.0);

  EXPECT_FLOAT_EQ(e.fBMinLowestStability(), 0.0f);
  EXPECT_EQ(e.fBMinLowestStabClass(), 5);
  EXPECT_FLOAT_EQ(e.fBMaxHighestStability(), t2->fStability);
  EXPECT_EQ(e.fBMaxHighestStabClass(), 0);  // types never tested hold class 0

  // BMI: four tests at 18.52 then three at 26.23; the PSEC test is the earliest.
  EXPECT_EQ(e.fBMILowestClass(), 7);
  EXPECT_DOUBLE_EQ(e.fBMILowestDate(), kD1);
  EXPECT_EQ(e.fBMIHighestClass(), 8);
  EXPECT_DOUBLE_EQ(e.fBMIHighestDate(), kD0);  // the last of the three equal values
  EXPECT_DOUBLE_EQ(e.fBMIFirstDate(), kD0);
  EXPECT_DOUBLE_EQ(e.fBMILastDate(), kD2);
  EXPECT_FLOAT_EQ(e.fBMILastValue(), t3->fBMI);
  EXPECT_FLOAT_EQ(e.fBMILowestValue(2), 0.0f);

  // Vision, right eye only.
  EXPECT_FLOAT_EQ(e.fVLowestValue(1), 0.8f);
  EXPECT_EQ(e.fVLowestClass(1), 2);
  EXPECT_FLOAT_EQ(e.fVHighestValue(1), 1.0f);
  EXPECT_DOUBLE_EQ(e.fVFirstDate(1), kD1);
  EXPECT_DOUBLE_EQ(e.fVLastDate(1), kD2);
  EXPECT_FLOAT_EQ(e.fVMinLowestValue(), 0.8f);
  EXPECT_EQ(e.fVMinLowestClass(), 2);
  EXPECT_FLOAT_EQ(e.fVMaxHighestValue(), 1.0f);
  EXPECT_EQ(e.fVMaxHighestClass(), 0);
  EXPECT_EQ(e.fVLowestClass(4), 0);
}

TEST(ListEntry, FileWithoutBalanceTests) {
  const QString folder = testing::sandboxFolder();
  SubjectFile f;
  ASSERT_TRUE(f.CreateEmpty());
  f.AddVisit()->AddSession();
  ASSERT_TRUE(f.Save(QDir(folder).filePath("empty.kpf")));
  KM_RQListFile e;
  e.sFileName = "empty.kpf";
  e.Refresh(folder, 10.0f);
  EXPECT_EQ(e.lTestBalanceCount(), 0);
  EXPECT_EQ(e.lSTSessionCount(), 0);
  EXPECT_EQ(e.lVisitCount(), 1);
  EXPECT_FLOAT_EQ(e.fBMinLowestStability(), 200.0f);
  EXPECT_FLOAT_EQ(e.fBMaxHighestStability(), -1.0f);
  EXPECT_DOUBLE_EQ(e.dtLastSTDate(), -36522.0);
}

TEST(ListEntry, UnchangedFileIsNotReopenedButANewForceRebuilds) {
  const QString folder = testing::sandboxFolder();
  ASSERT_TRUE(liststest::writeSimpleFile(QDir(folder).filePath("a.kpf"), "Alpha"));
  KM_RQListFile e;
  e.sFileName = "a.kpf";
  const qint64 before = KM_RQListFile::subjectFilesOpened();
  EXPECT_FALSE(e.Refresh(folder, 10.0f));
  EXPECT_EQ(KM_RQListFile::subjectFilesOpened(), before + 1);
  EXPECT_TRUE(e.Refresh(folder, 10.0f));  // up to date: not opened
  EXPECT_EQ(KM_RQListFile::subjectFilesOpened(), before + 1);

  // A threshold above the subject's weight leaves no valid sample: everything is recomputed.
  EXPECT_FALSE(e.Refresh(folder, 800.0f));
  EXPECT_EQ(KM_RQListFile::subjectFilesOpened(), before + 2);
  EXPECT_FLOAT_EQ(e.fMinCoPFzForAnalysis, 800.0f);
  EXPECT_EQ(e.ltTestBalanceItem(1)->lValidSamples, 0);
  EXPECT_FLOAT_EQ(e.ltTestBalanceItem(1)->fStability, 0.0f);
  EXPECT_FLOAT_EQ(e.fBLowestStability(1), 200.0f);  // no result to summarise

  // A changed file (another length) is read again.
  ASSERT_TRUE(
      liststest::writeSimpleFile(QDir(folder).filePath("a.kpf"), "Alpha-Beta-Gamma", 45000.5, 0.002, 1));
  EXPECT_FALSE(e.Refresh(folder, 800.0f));
  EXPECT_EQ(e.sSubjLName, "Alpha-Beta-Gamma");
  EXPECT_EQ(e.lTestBalanceCount(), 2);
}

TEST(ListEntry, DamagedFileKeepsTheEntryAndIsNotRetried) {
  const QString folder = testing::sandboxFolder();
  const QString path = QDir(folder).filePath("a.kpf");
  ASSERT_TRUE(liststest::writeSimpleFile(path, "Alpha"));
  KM_RQListFile e;
  e.sFileName = "a.kpf";
  e.Refresh(folder, 10.0f);
  const float stability = e.ltTestBalanceItem(1)->fStability;

  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write("this is not a subject file, just some text of another length");
  f.close();
  const qint64 opened = KM_RQListFile::subjectFilesOpened();
  EXPECT_FALSE(e.Refresh(folder, 10.0f));
  EXPECT_EQ(KM_RQListFile::subjectFilesOpened(), opened + 1);
  EXPECT_EQ(e.sSubjLName, "Alpha");
  EXPECT_FLOAT_EQ(e.ltTestBalanceItem(1)->fStability, stability);
  EXPECT_EQ(e.lFileSize, QFileInfo(path).size());
  EXPECT_TRUE(e.Refresh(folder, 10.0f));
  EXPECT_EQ(KM_RQListFile::subjectFilesOpened(), opened + 1);
}

QString streamKinds(KMX_OLEStorage& entry, const QString& stream) {
  auto st = entry.OpenStream(stream, stgmode::Read);
  if (!st) return "none";
  QString out;
  for (StgValue v = st->ReadNext(); !v.isError(); v = st->ReadNext()) {
    switch (v.type()) {
      case StgType::String:
        out += 'S';
        break;
      case StgType::Long:
        out += 'L';
        break;
      case StgType::Single:
        out += 'F';
        break;
      case StgType::Double:
        out += 'D';
        break;
      case StgType::Date:
        out += 'T';
        break;
      default:
        out += '?';
    }
  }
  return out;
}

TEST(ListEntry, StorageLayoutRoundTripAndStaleTests) {
  const QString folder = testing::sandboxFolder();
  writeKnownFile(folder);
  KM_RQListFile e;
  e.sFileName = "known.kpf";
  e.Refresh(folder, 10.0f);

  KMX_OLEStgTool tool;
  auto root = tool.CreateRootStorageOnMemory("MEM_entry", stgmode::CreateReplace, tool.AllocMemoryBlock());
  ASSERT_TRUE(e.Save(root.get(), "File 3"));
  auto sub = root->OpenStorage("File 3", stgmode::Read);
  ASSERT_TRUE(sub);
  EXPECT_EQ(streamKinds(*sub, "Data").toStdString(), "SLFSSSSLTDLLTTTLL");
  const QString summaries4 = QString("TFL").repeated(4);
  EXPECT_EQ(streamKinds(*sub, "Balance"), "L" + summaries4.repeated(4) + "LL");
  EXPECT_EQ(streamKinds(*sub, "BMI"), "L" + summaries4);
  EXPECT_EQ(streamKinds(*sub, "Vision"), "L" + summaries4.repeated(3) + "L");
  EXPECT_TRUE(sub->OpenStorage("TestB 5", stgmode::Read));
  EXPECT_TRUE(sub->OpenStorage("TestV 2", stgmode::Read));

  KM_RQListFile back;
  ASSERT_TRUE(back.Load(root.get(), "File 3"));
  EXPECT_EQ(back.sSubjLName, "Dorn");
  EXPECT_EQ(back.lSTSessionCount(), 3);
  EXPECT_EQ(back.lTestBMICount(), 4);
  EXPECT_EQ(back.balanceSummaries(), e.balanceSummaries());
  EXPECT_EQ(back.bmiSummaries(), e.bmiSummaries());
  EXPECT_EQ(back.visionSummaries(), e.visionSummaries());
  for (int i = 1; i <= 5; ++i)
    EXPECT_TRUE(static_cast<const KM_RQListTestBalanceData&>(*back.ltTestBalanceItem(i)) ==
                *e.ltTestBalanceItem(i));

  KM_RQListFile copy;
  copy.MakeCopy(back);
  EXPECT_EQ(copy.lTestVisionCount(), 2);
  EXPECT_DOUBLE_EQ(copy.dtLastEditDate(), e.dtLastEditDate());

  // The same entry saved again with no tests leaves no test storages behind.
  KM_RQListFile bare;
  bare.sFileName = "known.kpf";
  ASSERT_TRUE(bare.Save(root.get(), "File 3"));
  sub = root->OpenStorage("File 3", stgmode::Read);
  EXPECT_FALSE(sub->OpenStorage("TestB 1", stgmode::Read));
  EXPECT_FALSE(sub->OpenStorage("TestV 1", stgmode::Read));
  EXPECT_EQ(streamKinds(*sub, "Balance"), "L" + summaries4.repeated(4) + "LL");
}

TEST(ListEntry, DamagedEntryStorageFailsTheLoad) {
  KMX_OLEStgTool tool;
  auto root = tool.CreateRootStorageOnMemory("MEM_entry", stgmode::CreateReplace, tool.AllocMemoryBlock());
  KM_RQListFile e;
  e.sFileName = "x.kpf";
  KM_RQListTestBalance t;
  e.setTestBalanceItem(1, t);
  ASSERT_TRUE(e.Save(root.get(), "File 1"));
  auto sub = root->OpenStorage("File 1", stgmode::ReadWrite);
  ASSERT_TRUE(sub->DestroyElement("TestB 1"));  // the count says 1
  KM_RQListFile back;
  EXPECT_FALSE(back.Load(root.get(), "File 1"));

  // A negative count is damage, not an empty table.
  auto bal = sub->OpenStream("Balance", stgmode::ReadWrite);
  bal->Write(StgValue::fromLong(-3));
  bal->Commit();
  EXPECT_FALSE(back.Load(root.get(), "File 1"));
  EXPECT_FALSE(back.Load(root.get(), "File 9"));
  EXPECT_FALSE(back.Load(nullptr));
}

}  // namespace
}  // namespace tarn
