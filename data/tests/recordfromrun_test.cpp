// A static test's run stored as the subject data keeps it: the balance test record and the file's
// test, member by member, and back into a run the test window can show.
#include <gtest/gtest.h>

#include <QDate>
#include <QDir>

#include "balance/procedures/statictest.h"
#include "balance/procedures/zerocontroller.h"
#include "balance/tests/plate_testutil.h"
#include "core/clock.h"
#include "data/lists/listentry.h"
#include "data/records/recordfromrun.h"
#include "data/storage/olestg.h"
#include "data/subjectfile/subjectfile.h"
#include "testsupport/sandbox.h"
#include "testsupport/scriptedmessages.h"

namespace tarn {
namespace {

// Every value distinct, so a member filled from the wrong field shows.
BalanceTestRun distinctRun() {
  BalanceTestRun run;
  run.sName = "Perturbed Stability Eyes Closed";
  run.sTestID = "B10007";
  run.lTestType = 4;
  run.conditions = {2, 3, 5, 6, 2, 4, 7, 3, 2};
  run.timing = {120.0, 2500, 30000, true, false};
  run.losX = 0.131;
  run.losY = 0.083;
  run.subjectBirth = 21000.0;
  run.sPlate = "KM Force Platform (SIM-0009)";
  run.zeroTime = 45999.25;
  auto data = std::make_shared<PlateTestDataBuffer>(120.0f, 46000.5);
  for (int i = 0; i < 40; ++i) data->append(-700.0f - i, 1.5f * i, -0.5f * i);
  run.samples = data;
  run.analysed = true;
  // The data's own rate and the limits after the stance rule: the record keeps the set-up's rate
  // and the base limits.
  // clang-format off
  run.result = {.dtDate = 46000.5, .lTotalSamples = 3601, .fFrequency = 119.5, .fDuration = 30.0083,
                .fLoSX = 0.0727, .fLoSY = 0.166, .lValidSamples = 3577, .lWeightSamples = 3500,
                .fWeight = -686.5, .fPathLength = 0.369, .fVAve = 0.0123, .fVMax = 0.199, .fXo = 0.0021,
                .fYo = -0.0152, .fRangeAP = 0.0322, .fRangeML = 0.0211, .fRadialMin = 0.0001,
                .fRadialMax = 0.0277, .fRadialAve = 0.0088, .fStability = 0.8766, .fSwayDirection = 0.7071,
                .fMinSwayDirection = 2.2779, .f95MaxSway = 0.0655, .f95MinSway = 0.0166, .fMinMaxRatio = 0.5758,
                .fDirectionality = 0.4242, .f95Area = 0.000235, .f95APSway = 0.0544, .f95MLSway = 0.0433,
                .fAreaChange = 0.999, .fFatigue = -0.125, .fAAve = 0.314, .fAMax = 2.71, .fParP = 1.618};
  // clang-format on
  run.stabilityClass = KM_RQNormsClass::Moderately;
  run.bIsFallen = false;
  run.bIsInterrupted = true;
  run.sNotes = "swayed \u00e9t\u00e9\nsecond line";
  return run;
}

// The members only the session knows, set before the fill; they must survive it.
void setSessionMembers(KM_RQListTestBalance& rec) {
  // clang-format off
  static_cast<KM_RQListTestBalanceData&>(rec) = {.sVisitID = "V20240101", .sSessionID = "S3",
      .fHeight = 1.72f, .fWeight = 70.5f, .fBMI = 23.83f, .lBMIClass = 7, .bBMIEnabled = true};
  // clang-format on
}

// The measures taken from the analysis, in the order of the record.
template <class T>
std::vector<float> measures(const T& r) {
  return {r.fXo,       r.fYo,        r.fMaxMLSway,     r.fMaxAPSway,      r.f95MLSway,
          r.f95APSway, r.f95MaxSway, r.f95MinSway,     r.fMaxSway,        r.fAveSway,
          r.fVMax,     r.fVAve,      r.fAMax,          r.fAAve,           r.fPlen,
          r.f95Area,   r.fStability, r.fSwayDirection, r.fDirectionality, r.fMinMaxRatio,
          r.fFatigue,  r.fParP};
}

// The record and the file's test share these members and names.
template <class T>
void expectDistinctMeasures(const T& rec) {
  EXPECT_EQ(rec.sName, "Perturbed Stability Eyes Closed");
  EXPECT_EQ(rec.sTestID, "B10007");
  EXPECT_EQ(rec.sPlate, "KM Force Platform (SIM-0009)");
  EXPECT_EQ(rec.sNotes, "swayed \u00e9t\u00e9\nsecond line");
  EXPECT_EQ(rec.dtDate, 46000.5);
  EXPECT_EQ((std::vector{rec.lTestType, rec.lTotalSamples, rec.lValidSamples, rec.lStabilityClass}),
            (std::vector<qint32>{4, 3601, 3577, 3}));
  // Set-up, actual duration and base limits; then the measures.
  EXPECT_EQ(
      (std::vector{rec.fFrequency, rec.fPretest, rec.fOrigDuration, rec.fActDuration, rec.fLoSX, rec.fLoSY}),
      (std::vector{120.0f, 2.5f, 30.0f, 30.0083f, 0.131f, 0.083f}));
  EXPECT_EQ(measures(rec),
            (std::vector{0.0021f, -0.0152f, 0.0211f, 0.0322f, 0.0433f, 0.0544f, 0.0655f, 0.0166f,
                         0.0277f, 0.0088f,  0.199f,  0.0123f, 2.71f,   0.314f,  0.369f,  0.000235f,
                         0.8766f, 0.7071f,  0.4242f, 0.5758f, -0.125f, 1.618f}));
}

TEST(FromRun, RecordTakesEveryMeasureFromItsOwnFieldAndKeepsTheSessionMembers) {
  KM_RQListTestBalance rec, session;
  setSessionMembers(rec);
  setSessionMembers(session);
  FillBalanceRecord(rec, distinctRun());
  expectDistinctMeasures(rec);
  EXPECT_TRUE(rec.bIsInterrupted);
  EXPECT_FALSE(rec.bIsFallen);
  EXPECT_EQ(std::tie(rec.sVisitID, rec.sSessionID, rec.fHeight, rec.fWeight, rec.fBMI, rec.lBMIClass,
                     rec.bBMIEnabled),
            std::tie(session.sVisitID, session.sSessionID, session.fHeight, session.fWeight, session.fBMI,
                     session.lBMIClass, session.bBMIEnabled));

  const QStringList lines = DescribeBalanceRecord(rec).split('\n');
  ASSERT_EQ(lines.size(), 46);
  EXPECT_EQ(lines[0], "sName = Perturbed Stability Eyes Closed");
  EXPECT_EQ(lines[13], "bIsInterrupted = -1");
  EXPECT_EQ(lines[14], "bIsFallen = 0");
  EXPECT_EQ(lines[34], "lStabilityClass = 3");
  EXPECT_EQ(lines[44], "bBMIEnabled = -1");
  EXPECT_EQ(lines[45], "sNotes = swayed \u00e9t\u00e9\\nsecond line");

  // The flags the other way round, so neither is copied from the other.
  BalanceTestRun fallen = distinctRun();
  fallen.bIsFallen = true;
  fallen.bIsInterrupted = false;
  FillBalanceRecord(rec, fallen);
  EXPECT_TRUE(rec.bIsFallen);
  EXPECT_FALSE(rec.bIsInterrupted);
}

TEST(FromRun, RedoneTestWithoutDataLeavesNoMeasuresOfTheEarlierOne) {
  KM_RQListTestBalance rec;
  FillBalanceRecord(rec, distinctRun());
  BalanceTestRun redone = distinctRun();
  redone.clearData();  // redo, then "Unable to Complete" before acquiring
  redone.bIsFallen = true;
  FillBalanceRecord(rec, redone);
  EXPECT_EQ(rec.dtDate, clock::kMissingDate);
  EXPECT_EQ(rec.sPlate, "");
  EXPECT_EQ((std::vector{rec.lTotalSamples, rec.lValidSamples, rec.lStabilityClass}), std::vector<qint32>(3));
  EXPECT_EQ(rec.fActDuration, 0.0f);
  EXPECT_EQ(measures(rec), std::vector<float>(22));
  EXPECT_TRUE(rec.bIsFallen);
  EXPECT_FALSE(rec.bIsInterrupted);
  EXPECT_EQ(rec.fOrigDuration, 30.0f) << "the set-up stays";
  EXPECT_EQ(rec.fLoSX, 0.131f);

  // Samples without a weight (nobody on the plate): counts and date, but no measures or class.
  BalanceTestRun empty = distinctRun();
  empty.result.lWeightSamples = 4;
  FillBalanceRecord(rec, empty);
  EXPECT_EQ(rec.lTotalSamples, 3601);
  EXPECT_EQ(rec.dtDate, 46000.5);
  EXPECT_EQ(measures(rec), std::vector<float>(22));
  EXPECT_EQ(rec.lStabilityClass, 0);
}

TEST(FromRun, FileTestAlsoKeepsConditionsBeepsZeroSamplesAndSixteenBitFlags) {
  BalanceTest t(nullptr);
  t.fHeight = 1.8f;
  t.fZeroAve1 = 123.0f;  // the zero step's values
  t.lZeroDurationMs = 3000;
  const BalanceTestRun run = distinctRun();
  FillBalanceTest(t, run);
  expectDistinctMeasures(t);
  // Interrupted, fallen, done, beep at the beginning and at the end.
  EXPECT_EQ((std::vector{t.bIsInterrupted, t.bIsFallen, t.bIsDone, t.bBeepBegin, t.bBeepEnd}),
            (std::vector<qint16>{-1, 0, -1, -1, 0}));
  EXPECT_EQ((std::vector{t.lSurface, t.lEyes, t.lStance, t.lArms, t.lShoes, t.lHead, t.lGaze, t.lBreathing,
                         t.lMentalTask}),
            (std::vector<qint32>{2, 3, 5, 6, 2, 4, 7, 3, 2}));
  EXPECT_EQ(t.dtZeroDate, 45999.25);
  EXPECT_EQ(t.fZeroAve1, 123.0f);
  EXPECT_EQ(t.lZeroDurationMs, 3000);
  EXPECT_EQ(t.fHeight, 1.8f);
  const auto data = t.TestData();
  ASSERT_TRUE(data);
  ASSERT_EQ(data->Count(), 40);
  EXPECT_EQ(data->Frequency(), 120.0f);
  EXPECT_EQ(data->DateTime(), 46000.5);
  EXPECT_EQ(data->Sample(0, 39), -739.0f);
  EXPECT_EQ(data->Sample(1, 39), 58.5f);
  EXPECT_EQ(data->Sample(2, 39), -19.5f);

  // Not analysed and not fallen: not done, and the redo drops the samples.
  BalanceTestRun redone = run;
  redone.clearData();
  FillBalanceTest(t, redone);
  EXPECT_EQ(t.bIsDone, 0);
  EXPECT_FALSE(t.TestData());
  EXPECT_EQ(t.bIsInterrupted, 0);
  redone.bIsFallen = true;
  FillBalanceTest(t, redone);
  EXPECT_EQ(t.bIsDone, -1) << "a fallen test is done without data";
  EXPECT_EQ(t.bIsFallen, -1);
}

// ---- A real test on the simulated platform ----

// The run stored as a record reads back the same from a file; stored as the file's test it
// comes back as a run that shows the same results, and the list shows them too: the plate was
// rotated and tilted, and the stored test keeps the angles and threshold it was analysed with.
TEST(FromRunSimulated, StoredRecordTestAndListEntryShowTheTestsValues) {
  ScriptedMessages msgs;
  platetest::SimRig rig({.rotation = 0.4f, .tilt1 = 0.05f, .tilt2 = -0.03f, .temperatureC = 27.0, .seed = 7});
  BalanceTestRun setup;
  setup.sName = "Normal Stability Eyes Closed";
  setup.sTestID = "B10002";
  setup.lTestType = 2;
  setup.conditions.eyes = 2;
  setup.conditions.gaze = 3;
  setup.timing = {100.0, 1000, 8000, true, true};
  setup.subjectBirth = clock::dateToDays(QDate(1958, 3, 14));
  setup.sNotes = "steady";

  // Zero, acquire, wait for the end: the run as the test window would hand it over.
  ZeroController zc(rig.driver.get());
  bool zeroed = false;
  QObject::connect(&zc, &ZeroController::zeroFinished, [&](bool) { zeroed = true; });
  ASSERT_TRUE(zc.acquire(1000) && platetest::waitUntil([&] { return zeroed; }, 30000) && zc.canProceed());
  StaticTestController c(zc.plate(), rig.driver.get());
  c.setRun(setup);
  ASSERT_TRUE(c.acquire() && platetest::waitUntil([&] { return c.state() == StaticState::Done; }, 30000));
  const BalanceTestRun run = c.run();
  ASSERT_TRUE(run.enoughSamples());
  ASSERT_TRUE(run.stabilityClass.has_value());
  ASSERT_EQ(run.geometry.rotation, 0.4f);
  EXPECT_TRUE(msgs.requests().isEmpty()) << msgs.texts().join("|").toStdString();

  KM_RQListTestBalance rec;
  setSessionMembers(rec);
  FillBalanceRecord(rec, run);
  EXPECT_EQ(rec.lTotalSamples, 800);
  EXPECT_EQ(rec.lValidSamples, 800);
  EXPECT_EQ(rec.fStability, static_cast<float>(run.result.fStability));
  EXPECT_EQ(rec.lStabilityClass, static_cast<qint32>(*run.stabilityClass));
  EXPECT_EQ(rec.dtDate, run.samples->DateTime());
  EXPECT_EQ(rec.sPlate, run.sPlate);
  EXPECT_FALSE(rec.sPlate.isEmpty());
  EXPECT_GT(rec.fPlen, 0.0f);
  EXPECT_GT(rec.f95Area, 0.0f);

  const QString path = QDir(testsupport::sandboxFolder()).filePath("fromrun.stg");
  KMX_OLEStgTool tool;
  {
    auto root = tool.CreateStorageFile(path);
    ASSERT_TRUE(root);
    ASSERT_TRUE(rec.Save(root.get(), "TestB 1"));
    ASSERT_TRUE(root->Commit(stgcommit::Overwrite));
  }
  auto reopened = tool.OpenStorageFile(path, stgmode::Read);
  ASSERT_TRUE(reopened);
  KM_RQListTestBalance loaded;
  ASSERT_TRUE(loaded.Load(reopened.get(), "TestB 1"));
  EXPECT_TRUE(static_cast<const KM_RQListTestBalanceData&>(loaded) == rec)
      << DescribeBalanceRecord(loaded).toStdString();
  EXPECT_EQ(DescribeBalanceRecord(loaded), DescribeBalanceRecord(rec));

  // Into a subject file, saved and opened again.
  const QString folder = testsupport::sandboxFolder();
  {
    SubjectFile f;
    ASSERT_TRUE(f.CreateEmpty());
    f.subject.dtDoB = run.subjectBirth;
    Visit* v = f.AddVisit();
    v->phys.dHeight = 1.72;
    v->phys.dMass = 71;
    FillBalanceTest(*v->AddSession()->AddBalanceTest(), run);
    ASSERT_TRUE(f.Save(QDir(folder).filePath("rotated.kpf")));
  }
  SubjectFile file;
  ASSERT_TRUE(file.Open(QDir(folder).filePath("rotated.kpf")));
  const BalanceTest& t = *file.VisitItem(1)->SessionItem(1)->BalanceTestItem(1);
  EXPECT_EQ(std::tuple(t.fRotation, t.fTilt1, t.fTilt2, t.fCoPThresholdF),
            std::tuple(0.4f, 0.05f, -0.03f, run.thresholdN));

  // Shown again by the window, with a threshold in the settings that no sample would pass: the
  // test's own threshold and angles give the test's own numbers.
  const StoredAnalysisSettings other{.thresholdN = 5000, .stanceFactors = run.stanceFactors};
  const BalanceTestRun back = RunFromBalanceTest(t, run.subjectBirth, other);
  EXPECT_EQ(back.sName, run.sName);
  EXPECT_EQ(back.sTestID, run.sTestID);
  EXPECT_EQ(back.lTestType, 2);
  EXPECT_EQ(back.conditions, run.conditions);
  EXPECT_EQ(back.timing, run.timing);
  EXPECT_EQ(back.sPlate, run.sPlate);
  EXPECT_EQ(back.zeroTime, run.zeroTime);
  EXPECT_EQ(back.sNotes, "steady");
  EXPECT_FLOAT_EQ(back.losX, run.losX);
  EXPECT_EQ(back.geometry.tilt2, -0.03f);
  ASSERT_TRUE(back.enoughSamples());
  EXPECT_EQ(back.samples->Count(), run.samples->Count());
  // Only the limits of stability went through single precision.
  EXPECT_EQ(back.result.lValidSamples, run.result.lValidSamples);
  EXPECT_NEAR(back.result.fStability, run.result.fStability, 1e-6);
  EXPECT_DOUBLE_EQ(back.result.fXo, run.result.fXo);
  EXPECT_DOUBLE_EQ(back.result.fPathLength, run.result.fPathLength);
  EXPECT_DOUBLE_EQ(back.result.fVMax, run.result.fVMax);
  EXPECT_EQ(back.stabilityClass, run.stabilityClass);

  // The list: the same numbers, whatever force its refresh is given.
  KM_RQListFile e;
  e.sFileName = "rotated.kpf";
  e.Refresh(folder, 5000.0f, {.normsVersion = 3, .stanceFactors = run.stanceFactors});
  const KM_RQListTestBalance* listed = e.ltTestBalanceItem(1);
  ASSERT_TRUE(listed);
  EXPECT_EQ(listed->lValidSamples, run.result.lValidSamples);
  EXPECT_EQ(listed->fXo, static_cast<float>(run.result.fXo));
  EXPECT_EQ(listed->fYo, static_cast<float>(run.result.fYo));
  EXPECT_EQ(listed->fVMax, static_cast<float>(run.result.fVMax));
  EXPECT_NEAR(listed->fStability, run.result.fStability, 1e-6);
  EXPECT_EQ(listed->lStabilityClass, static_cast<qint32>(*run.stabilityClass));
}

}  // namespace
}  // namespace tarn
