// Subject file entries: rebuild from a subject file, summaries and their tie rules, aggregates,
// the cached refresh, damaged files, and the entry's storage layout.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>
#include <limits>

#include "balance/analysis/analysis.h"
#include "core/clock.h"
#include "core/settingkeys.h"
#include "data/lists/listentry.h"
#include "data/records/recordfromrun.h"
#include "data/storage/olestg.h"
#include "data/tests/data_testutil.h"
#include "data/tests/lists_testutil.h"
#include "data/tests/storage_testutil.h"

namespace tarn {
namespace {

using datatest::streamKinds;
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
  EXPECT_EQ(std::tuple(s.lowest.fValue, s.highest.fValue, s.first.dtDate, s.last.dtDate),
            std::tuple(200.0f, -1.0f, kFirstDateStart, clock::kMissingDate));
  s.add(10, 0.5f, 2);
  s.add(12, 0.5f, 3);  // equal value: lowest and highest both move to the later test
  s.add(12, 0.7f, 1);  // equal date: last moves, first stays
  s.add(9, 0.6f, 4);
  s.add(9, 0.65f, 2);  // equal first date: first moves to the later test
  EXPECT_EQ(s.lowest, (KM_RQResultSummary{12, 0.5f, 3}));
  EXPECT_EQ(s.highest, (KM_RQResultSummary{12, 0.7f, 1}));
  EXPECT_EQ(s.first, (KM_RQResultSummary{9, 0.65f, 2}));
  EXPECT_EQ(s.last, (KM_RQResultSummary{12, 0.7f, 1}));
}

KM_RQResultSummary stability(const KM_RQListTestBalance* t) {
  return {t->dtDate, t->fStability, t->lStabilityClass};
}
KM_RQResultSummary bmi(const KM_RQListTestBalance* t) { return {t->dtDate, t->fBMI, t->lBMIClass}; }

// The 22 measures the analysis gives a record, in record order.
std::vector<float> measures(const KM_RQListTestBalance& r) {
  return {r.fXo,       r.fYo,        r.fMaxMLSway,     r.fMaxAPSway,      r.f95MLSway,
          r.f95APSway, r.f95MaxSway, r.f95MinSway,     r.fMaxSway,        r.fAveSway,
          r.fVMax,     r.fVAve,      r.fAMax,          r.fAAve,           r.fPlen,
          r.f95Area,   r.fStability, r.fSwayDirection, r.fDirectionality, r.fMinMaxRatio,
          r.fFatigue,  r.fParP};
}

// Visits, sessions, sessions with tests, visits with tests, balance, vision and BMI tests.
std::vector<qint32> counts(const KM_RQListFile& e) {
  return {e.lVisitCount(),       e.lSessionCount(),    e.lSTVisitCount(), e.lSTSessionCount(),
          e.lTestBalanceCount(), e.lTestVisionCount(), e.lTestBMICount()};
}

TEST(ListEntry, KnownAnswers) {
  const QString folder = testsupport::sandboxFolder();
  writeKnownFile(folder);
  KM_RQListFile e;
  e.sFileName = "known.kpf";
  EXPECT_FALSE(e.Refresh(folder, 10.0f));

  EXPECT_EQ(QStringList({e.sSubjFName, e.sSubjMName, e.sSubjLName, e.sSubjID}).join('|'),
            "Berta|C.|Dorn|ID-7");
  EXPECT_EQ(e.lIsMale, 0);
  EXPECT_DOUBLE_EQ(e.dtSubjDoB, 29221.0);
  EXPECT_FLOAT_EQ(e.fMinCoPFzForAnalysis, 10.0f);
  EXPECT_EQ(e.lFileSize, QFileInfo(QDir(folder).filePath("known.kpf")).size());
  EXPECT_EQ(counts(e), (std::vector<qint32>{3, 4, 2, 3, 5, 2, 4}));  // the test never run gives no BMI
  EXPECT_DOUBLE_EQ(e.dtLastSTDate(), kD2);  // the test never run, dated kD2 + 1, has no date to give
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
  EXPECT_EQ(std::tuple(t2->lBMIClass, t3->lBMIClass, t4->lBMIClass), std::tuple(8, 8, 8));
  EXPECT_EQ((std::vector{t1->dtDate, t2->dtDate, t3->dtDate, t4->dtDate}), (std::vector{kD1, kD2, kD2, kD0}));
  EXPECT_TRUE(t1->bBMIEnabled);
  EXPECT_NE(t1->sVisitID, t2->sVisitID);
  EXPECT_EQ(t2->sSessionID, t4->sSessionID);

  // Lowest, highest, first, last. NSEO: the tie on stability goes to the later test, the tie on
  // date too. NSEC has only a test never run, PSEO none: both keep the start values.
  const auto start = KM_RQSummarySet::rebuildStart();
  ASSERT_EQ(e.balanceSummaries().size(), 4u);
  EXPECT_EQ(e.balanceSummaries()[0],
            (KM_RQSummarySet{stability(t3), stability(t2), stability(t1), stability(t3)}));
  EXPECT_EQ(e.balanceSummaries()[1], start);
  EXPECT_EQ(e.balanceSummaries()[2], start);
  EXPECT_EQ(e.balanceSummaries()[3],
            (KM_RQSummarySet{stability(t4), stability(t4), stability(t4), stability(t4)}));
  // BMI: 18.52 first, then three tests at 26.23; the PSEC test is the earliest, the last of the
  // equal values, and the latest date goes to the last test met on it.
  ASSERT_EQ(e.bmiSummaries().size(), 1u);
  EXPECT_EQ(e.bmiSummaries()[0], (KM_RQSummarySet{bmi(t1), bmi(t4), bmi(t4), bmi(t3)}));
  // Vision, right eye only.
  const KM_RQResultSummary v1{kD1, 0.8f, 2}, v2{kD2, 1.0f, 1};
  EXPECT_EQ(e.visionSummaries(), (std::vector<KM_RQSummarySet>{{v1, v2, v1, v2}, start, start}));

  // The accessors by kind, 1-based, and 0 outside their range.
  EXPECT_FLOAT_EQ(e.fBLowestStability(1), t3->fStability);
  EXPECT_DOUBLE_EQ(e.fBFirstDate(4), kD0);
  EXPECT_EQ(e.fBHighestStabClass(4), 5);
  EXPECT_FLOAT_EQ(e.fBLowestStability(0), 0.0f);
  EXPECT_DOUBLE_EQ(e.fBLastDate(5), 0.0);
  EXPECT_FLOAT_EQ(e.fBMILastValue(), t3->fBMI);
  EXPECT_FLOAT_EQ(e.fBMILowestValue(2), 0.0f);
  EXPECT_FLOAT_EQ(e.fVHighestValue(1), 1.0f);
  EXPECT_EQ(e.fVLowestClass(4), 0);

  // Aggregates over the kinds, balance then vision: min lowest, max highest.
  EXPECT_EQ((std::vector{e.fBMinLowestStability(), e.fBMaxHighestStability(), e.fVMinLowestValue(),
                         e.fVMaxHighestValue()}),
            (std::vector{0.0f, t2->fStability, 0.8f, 1.0f}));
  EXPECT_EQ((std::vector{e.fBMinLowestStabClass(), e.fBMaxHighestStabClass(), e.fVMinLowestClass(),
                         e.fVMaxHighestClass()}),
            (std::vector{5, 0, 2, 0}));  // kinds never tested hold class 0
}

TEST(ListEntry, FileWithoutBalanceTests) {
  const QString folder = testsupport::sandboxFolder();
  SubjectFile f;
  ASSERT_TRUE(f.CreateEmpty());
  f.AddVisit()->AddSession();
  ASSERT_TRUE(f.Save(QDir(folder).filePath("empty.kpf")));
  KM_RQListFile e;
  e.sFileName = "empty.kpf";
  e.Refresh(folder, 10.0f);
  EXPECT_EQ(counts(e), (std::vector<qint32>{1, 1, 0, 0, 0, 0, 0}));
  EXPECT_FLOAT_EQ(e.fBMinLowestStability(), 200.0f);
  EXPECT_FLOAT_EQ(e.fBMaxHighestStability(), -1.0f);
  EXPECT_DOUBLE_EQ(e.dtLastSTDate(), clock::kMissingDate);
}

TEST(ListEntry, RefreshReadsTheFileOnlyWhenItOrTheForceChanged) {
  const QString folder = testsupport::sandboxFolder();
  const QString path = QDir(folder).filePath("a.kpf");
  ASSERT_TRUE(liststest::writeSimpleFile(path, "Alpha"));
  KM_RQListFile e;
  e.sFileName = "a.kpf";
  const qint64 before = KM_RQListFile::subjectFilesOpened();
  EXPECT_FALSE(e.Refresh(folder, 10.0f));
  EXPECT_EQ(KM_RQListFile::subjectFilesOpened(), before + 1);
  EXPECT_TRUE(e.Refresh(folder, 10.0f));  // up to date: not opened
  EXPECT_EQ(KM_RQListFile::subjectFilesOpened(), before + 1);
  const float stability = e.ltTestBalanceItem(1)->fStability;

  // A threshold above the subject's weight leaves no valid sample: everything is recomputed.
  EXPECT_FALSE(e.Refresh(folder, 800.0f));
  EXPECT_EQ(KM_RQListFile::subjectFilesOpened(), before + 2);
  EXPECT_FLOAT_EQ(e.fMinCoPFzForAnalysis, 800.0f);
  EXPECT_EQ(e.ltTestBalanceItem(1)->lValidSamples, 0);
  EXPECT_FLOAT_EQ(e.ltTestBalanceItem(1)->fStability, 0.0f);
  EXPECT_FLOAT_EQ(e.fBLowestStability(1), 200.0f);  // no result to summarise

  // A changed file (another length) is read again.
  ASSERT_TRUE(liststest::writeSimpleFile(path, "Alpha-Beta-Gamma", 45000.5, 0.002, 1));
  EXPECT_FALSE(e.Refresh(folder, 800.0f));
  EXPECT_EQ(e.sSubjLName, "Alpha-Beta-Gamma");
  EXPECT_EQ(e.lTestBalanceCount(), 2);
  EXPECT_FALSE(e.Refresh(folder, 10.0f));
  EXPECT_FLOAT_EQ(e.ltTestBalanceItem(1)->fStability, stability);

  // A damaged file shows as damaged, not with the subject and results it held before, and is
  // not retried until it changes again.
  EXPECT_FALSE(e.isDamaged());
  datatest::writeBytes(path, "this is not a subject file, just some text of another length");
  EXPECT_FALSE(e.Refresh(folder, 10.0f));
  EXPECT_EQ(KM_RQListFile::subjectFilesOpened(), before + 5);
  EXPECT_TRUE(e.isDamaged());
  EXPECT_TRUE(e.damageText().contains("not a subject file")) << e.damageText().toStdString();
  EXPECT_EQ(e.sFileName, "a.kpf");
  EXPECT_EQ(e.sSubjLName, "");
  EXPECT_EQ(e.lTestBalanceCount(), 0);
  EXPECT_FLOAT_EQ(e.fBMinLowestStability(), 0.0f);
  EXPECT_EQ(e.lFileSize, QFileInfo(path).size());
  EXPECT_TRUE(e.Refresh(folder, 10.0f));
  EXPECT_EQ(KM_RQListFile::subjectFilesOpened(), before + 5);
}

TEST(ListEntry, AFileReplacedByAnotherOfTheSameSizeAndTimeIsReadAgain) {
  const QString folder = testsupport::sandboxFolder();
  const QString path = QDir(folder).filePath("a.kpf");
  const QString other = QDir(folder).filePath("incoming.tmp");
  ASSERT_TRUE(liststest::writeSimpleFile(path, "Alpha"));
  ASSERT_TRUE(liststest::writeSimpleFile(other, "Gamma"));
  ASSERT_EQ(QFileInfo(other).size(), QFileInfo(path).size());
  KM_RQListFile e;
  e.sFileName = "a.kpf";
  e.Refresh(folder, 10.0f);
  ASSERT_EQ(e.sSubjLName, "Alpha");
  // Another subject's file put in its place, its modification time kept (a restore or a copy).
  struct stat st {};
  ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
  const struct timespec times[2] = {st.st_atim, st.st_mtim};
  ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(other).constData(), times, 0), 0);
  ASSERT_EQ(::rename(QFile::encodeName(other).constData(), QFile::encodeName(path).constData()), 0);
  EXPECT_FALSE(e.Refresh(folder, 10.0f));
  EXPECT_EQ(e.sSubjLName, "Gamma");
}

// The subject's recording with one value changed.
std::shared_ptr<const StoredTestData> spoiled(std::shared_ptr<const StoredTestData> data, int channel,
                                              float value, float frequency = 100.0f) {
  std::vector<float> ch[3];
  for (int c = 0; c < 3; ++c)
    for (qint32 i = 0; i < data->Count(); ++i) ch[c].push_back(data->Sample(c, i));
  if (channel >= 0) ch[channel][700] = value;
  return std::make_shared<StoredTestData>(frequency, data->DateTime(), std::move(ch[0]), std::move(ch[1]),
                                          std::move(ch[2]));
}

TEST(ListEntry, ValuesNoPlatformOrTestCanGiveMakeADamagedTestThatIsNeverClassed) {
  constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
  constexpr float kInf = std::numeric_limits<float>::infinity();
  // The subject sways far beyond the limits: profoundly reduced stability, class 5.
  const auto recording = swayRecording(0.3, 0.3, kD1);
  struct Case {
    const char* what;
    std::function<void(BalanceTest&)> spoil;
  };
  const Case cases[] = {
      {"nothing", [](BalanceTest&) {}},
      {"one force that is not a number", [&](BalanceTest& t) { t.SetTestData(spoiled(recording, 0, kNaN)); }},
      {"an infinite moment", [&](BalanceTest& t) { t.SetTestData(spoiled(recording, 2, kInf)); }},
      {"a moment spike of -8e7 N m", [&](BalanceTest& t) { t.SetTestData(spoiled(recording, 1, -8e7f)); }},
      {"an infinite sampling rate", [&](BalanceTest& t) { t.SetTestData(spoiled(recording, -1, 0, kInf)); }},
      {"a test type of 16777218", [](BalanceTest& t) { t.lTestType = 16777218; }},
      {"a duration of 6e30 s", [](BalanceTest& t) { t.fOrigDuration = 6e30f; }},
  };
  const QString folder = testsupport::sandboxFolder();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SubjectFile f;
    ASSERT_TRUE(f.CreateEmpty());
    f.subject.dtDoB = 29221.0;
    Visit* v = f.AddVisit();
    v->phys.dHeight = 1.80;
    v->phys.dMass = 75;
    c.spoil(*addBalance(v->AddSession(), 1, kD1, recording));
    ASSERT_TRUE(f.Save(QDir(folder).filePath("s.kpf")));
    KM_RQListFile e;
    e.sFileName = "s.kpf";
    e.Refresh(folder, 10.0f);
    ASSERT_EQ(e.lTestBalanceCount(), 1);
    const bool damaged = QString(c.what) != "nothing";
    EXPECT_EQ(e.isBalanceTestDamaged(1), damaged);
    EXPECT_EQ(e.ltTestBalanceItem(1)->lStabilityClass, damaged ? 0 : 5);
    EXPECT_EQ(e.fBMinLowestStabClass(), damaged ? 0 : 5) << "a damaged test is not summarised";
    EXPECT_EQ(e.lTestBMICount(), damaged ? 0 : 1);

    // What the entry caches stays plausible: the list file holding it loads as it was saved.
    KMX_OLEStgTool tool;
    auto root = tool.CreateRootStorageOnMemory("MEM_e", stgmode::CreateReplace, tool.AllocMemoryBlock());
    ASSERT_TRUE(e.Save(root.get()));
    KM_RQListFile back;
    ASSERT_TRUE(back.Load(root.get()));
    EXPECT_EQ(back.damagedBalanceTests(), e.damagedBalanceTests());
    EXPECT_TRUE(back.isUpToDate(folder, 10.0f));
  }
}

TEST(ListEntry, ImplausibleValuesInAListFileAreNotShownButReadAgainFromTheSubjectFile) {
  const QString folder = testsupport::sandboxFolder();
  ASSERT_TRUE(liststest::writeSimpleFile(QDir(folder).filePath("a.kpf"), "Alpha"));
  KM_RQListFile e;
  e.sFileName = "a.kpf";
  e.Refresh(folder, 10.0f);
  ASSERT_EQ(e.fBLowestStabClass(1), 1);
  KMX_OLEStgTool tool;
  auto root = tool.CreateRootStorageOnMemory("MEM_e", stgmode::CreateReplace, tool.AllocMemoryBlock());
  ASSERT_TRUE(e.Save(root.get()));
  auto file = root->OpenStorage("File", stgmode::ReadWrite);
  ASSERT_TRUE(file);
  // The lowest NSEO summary of a damaged list file: a stability that is not a number, class 16777218.
  QList<StgValue> values;
  {
    auto s = file->OpenStream("Balance", stgmode::Read);
    for (StgValue v = s->ReadNext(); !v.isError(); v = s->ReadNext()) values << v;
  }
  values[2] = StgValue::fromSingle(std::numeric_limits<float>::quiet_NaN());
  values[3] = StgValue::fromLong(16777218);
  {
    auto s = file->CreateStream("Balance", stgmode::CreateReplace);
    for (const StgValue& v : values) ASSERT_TRUE(s->Write(v));
    ASSERT_TRUE(s->Commit());
  }
  KM_RQListFile back;
  ASSERT_TRUE(back.Load(root.get()));
  EXPECT_EQ(back.sFileName, "a.kpf");
  EXPECT_EQ(back.fBLowestStabClass(1), 0) << "nothing of it is shown";
  EXPECT_EQ(back.sSubjLName, "");
  const qint64 opened = KM_RQListFile::subjectFilesOpened();
  EXPECT_FALSE(back.Refresh(folder, 10.0f));
  EXPECT_EQ(KM_RQListFile::subjectFilesOpened(), opened + 1);
  EXPECT_EQ(back.fBLowestStabClass(1), 1);
  EXPECT_EQ(back.sSubjLName, "Alpha");
}

TEST(ListEntry, TestsWithoutStoredLimitsGetTheStationsLimitsInTheListAndTheWindow) {
  // Limits of 0 would class any sway as Profundly reduced; the list and the window must agree.
  const QString folder = testsupport::sandboxFolder();
  SubjectFile f;
  ASSERT_TRUE(f.CreateEmpty());
  f.subject.dtDoB = 29221.0;
  const double heights[] = {1.80, 0};  // the second visit's height is not known
  for (const double h : heights) {
    Visit* v = f.AddVisit();
    v->phys.dHeight = h;
    BalanceTest* t = addBalance(v->AddSession(), 1, kD1, swayRecording(0.002, 0.003, kD1));
    t->fLoSX = t->fLoSY = 0;
  }
  ASSERT_TRUE(f.Save(QDir(folder).filePath("nolimits.kpf")));
  KM_RQListFile e;
  e.sFileName = "nolimits.kpf";
  e.Refresh(folder, 10.0f);
  ASSERT_EQ(e.lTestBalanceCount(), 2);

  SubjectFile opened;
  ASSERT_TRUE(opened.Open(QDir(folder).filePath("nolimits.kpf")));
  for (int i = 1; i <= 2; ++i) {
    SCOPED_TRACE(i);
    const LimitsOfStability expected = *BaseLimitsOfStability(i == 1 ? 1.80 : 1.75);
    const KM_RQListTestBalance& r = *e.ltTestBalanceItem(i);
    EXPECT_EQ(std::pair(r.fLoSX, r.fLoSY),
              std::pair(static_cast<float>(expected.x), static_cast<float>(expected.y)));
    EXPECT_GT(r.fStability, 0.9f);
    EXPECT_EQ(r.lStabilityClass, 1);
    const BalanceTestRun run =
        RunFromBalanceTest(*opened.VisitItem(i)->SessionItem(1)->BalanceTestItem(1), 29221.0, {});
    EXPECT_EQ(static_cast<float>(run.result.fStability), r.fStability);
    EXPECT_EQ(run.stabilityClass, KM_RQNormsClass::Normal);
  }
}

TEST(ListEntry, RefreshTakesTheStanceFactorsFromItsContextNotTheSettings) {
  const QString folder = testsupport::sandboxFolder();
  SubjectFile f;
  ASSERT_TRUE(f.CreateEmpty());
  const auto data = swayRecording(0.004, 0.002, kD1);
  BalanceTest* t = addBalance(f.AddVisit()->AddSession(), 1, kD1, data);
  t->lStance = StanceFeetTogether;  // the ML limit is 2 × kX ‰ of the base one
  ASSERT_TRUE(f.Save(QDir(folder).filePath("stance.kpf")));
  settings::write(settings::LoSXOneFoot, 100);  // what the store holds must not matter

  float stability[2];
  const StanceFactors factors[2] = {{280, 2000}, {450, 2000}};
  for (int k = 0; k < 2; ++k) {
    KM_RQListFile e;
    e.sFileName = "stance.kpf";
    e.Refresh(folder, 10.0f, {.normsVersion = 3, .stanceFactors = factors[k]});
    stability[k] = e.ltTestBalanceItem(1)->fStability;
    AnalysisResult direct;
    AnalyseBalanceTest(0, -1, -10, *data, {}, StanceFeetTogether, t->fLoSX, t->fLoSY, factors[k], direct,
                       true, true);
    EXPECT_EQ(stability[k], static_cast<float>(direct.fStability)) << k;
  }
  EXPECT_LT(stability[0], stability[1]);
}

TEST(ListEntry, DamagedRecordingGivesNoNumbers) {
  const QString folder = testsupport::sandboxFolder();
  SubjectFile f;
  ASSERT_TRUE(f.CreateEmpty());
  f.subject.dtDoB = 29221.0;
  Session* s = f.AddVisit()->AddSession();
  const auto steady = swayRecording(0.002, 0.003, kD1);
  addBalance(s, 1, kD1, swayRecording(0.02, 0.03, kD1));  // wide sway: a low score, then damaged
  addBalance(s, 1, kD2, steady);
  ASSERT_TRUE(f.Save(QDir(folder).filePath("damaged.kpf")));
  const auto first = f.VisitItem(1)->SessionItem(1)->BalanceTestItem(1)->storedData();
  datatest::flipBytesAfter(QDir(folder).filePath("damaged.kpf"),
                           QByteArray(reinterpret_cast<const char*>(first->channel(2)), 400), 200, 64);

  KM_RQListFile e;
  e.sFileName = "damaged.kpf";
  e.Refresh(folder, 10.0f);
  ASSERT_EQ(e.lTestBalanceCount(), 2);
  const KM_RQListTestBalance& hit = *e.ltTestBalanceItem(1);
  EXPECT_EQ(std::tuple(hit.lTotalSamples, hit.lValidSamples, hit.lStabilityClass), std::tuple(2000, 0, 0));
  EXPECT_EQ(measures(hit), std::vector<float>(22));
  // Only the sound test is summarised.
  const KM_RQResultSummary sound = stability(e.ltTestBalanceItem(2));
  EXPECT_GT(sound.fValue, 0.9f);
  EXPECT_EQ(e.balanceSummaries()[0], (KM_RQSummarySet{sound, sound, sound, sound}));
}

TEST(ListEntry, StorageLayoutRoundTripDamageAndStaleTests) {
  const QString folder = testsupport::sandboxFolder();
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
  EXPECT_EQ(counts(back), counts(e));
  EXPECT_EQ(back.balanceSummaries(), e.balanceSummaries());
  EXPECT_EQ(back.bmiSummaries(), e.bmiSummaries());
  EXPECT_EQ(back.visionSummaries(), e.visionSummaries());
  for (int i = 1; i <= 5; ++i)
    EXPECT_TRUE(static_cast<const KM_RQListTestBalanceData&>(*back.ltTestBalanceItem(i)) ==
                *e.ltTestBalanceItem(i));

  KM_RQListFile copy;
  copy.MakeCopy(back);
  EXPECT_EQ(counts(copy), counts(e));
  EXPECT_DOUBLE_EQ(copy.dtLastEditDate(), e.dtLastEditDate());

  // A test storage gone while the count says 5 is damage; with the count at 0 it is not needed,
  // but a negative count is damage, not an empty table.
  auto rw = root->OpenStorage("File 3", stgmode::ReadWrite);
  ASSERT_TRUE(rw->DestroyElement("TestB 5"));
  EXPECT_FALSE(back.Load(root.get(), "File 3"));
  for (qint32 count : {0, -3}) {
    ASSERT_TRUE(stgtest::writeStream(
        *rw, "Balance", {StgValue::fromLong(0), StgValue::fromLong(count), StgValue::fromLong(0)}));
    EXPECT_EQ(back.Load(root.get(), "File 3"), count == 0) << count;
  }
  EXPECT_FALSE(back.Load(root.get(), "File 9"));
  EXPECT_FALSE(back.Load(nullptr));
  rw.reset();

  // The same entry saved again with no tests leaves no test storages behind.
  KM_RQListFile bare;
  bare.sFileName = "known.kpf";
  ASSERT_TRUE(bare.Save(root.get(), "File 3"));
  sub = root->OpenStorage("File 3", stgmode::Read);
  EXPECT_FALSE(sub->OpenStorage("TestB 1", stgmode::Read));
  EXPECT_FALSE(sub->OpenStorage("TestV 1", stgmode::Read));
  EXPECT_EQ(streamKinds(*sub, "Balance"), "L" + summaries4.repeated(4) + "LL");
}

}  // namespace
}  // namespace tarn
