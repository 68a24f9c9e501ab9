// A static test's run stored as the subject data keeps it: the balance test record and the file's
// test, member by member, and back into a run the test window can show.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QThread>
#include <memory>

#include "balance/plate/simulatedplate.h"
#include "balance/testing/statictest.h"
#include "balance/testing/zerocontroller.h"
#include "balance/testing/zerojudge.h"
#include "core/clock.h"
#include "core/scriptedmessages.h"
#include "data/records/fromrun.h"
#include "data/storage/olestg.h"
#include "data/subjectfile/subjectfile.h"
#include "testing/sandbox.h"

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
  AnalysisResult& r = run.result;
  r.dtDate = 46000.5;
  r.lTotalSamples = 3601;
  r.lValidSamples = 3577;
  r.lWeightSamples = 3500;
  r.fWeight = -686.5;
  r.fFrequency = 119.5;  // the data's own rate: the record keeps the set-up's
  r.fDuration = 30.0083;
  r.fLoSX = 0.0727;  // after the stance rule: the record keeps the base values
  r.fLoSY = 0.166;
  r.fXo = 0.0021;
  r.fYo = -0.0152;
  r.fRangeML = 0.0211;
  r.fRangeAP = 0.0322;
  r.f95MLSway = 0.0433;
  r.f95APSway = 0.0544;
  r.f95MaxSway = 0.0655;
  r.f95MinSway = 0.0166;
  r.fRadialMax = 0.0277;
  r.fRadialAve = 0.0088;
  r.fRadialMin = 0.0001;
  r.fVMax = 0.199;
  r.fVAve = 0.0123;
  r.fAMax = 2.71;
  r.fAAve = 0.314;
  r.fPathLength = 0.369;
  r.f95Area = 0.000235;
  r.fStability = 0.8766;
  r.fSwayDirection = 0.7071;
  r.fMinSwayDirection = 2.2779;
  r.fDirectionality = 0.4242;
  r.fMinMaxRatio = 0.5758;
  r.fFatigue = -0.125;
  r.fAreaChange = 0.999;
  r.fParP = 1.618;
  run.stabilityClass = KM_RQNormsClass::Moderately;
  run.bIsFallen = false;
  run.bIsInterrupted = true;
  run.sNotes = "swayed \u00e9t\u00e9\nsecond line";
  return run;
}

// The members only the session knows, set before the fill; they must survive it.
void setSessionMembers(KM_RQListTestBalance& rec) {
  rec.sVisitID = "V20240101";
  rec.sSessionID = "S3";
  rec.fHeight = 1.72f;
  rec.fWeight = 70.5f;
  rec.fBMI = 23.83f;
  rec.lBMIClass = 7;
  rec.bBMIEnabled = true;
}

// The record and the file's test share these members and names.
template <class T>
void expectDistinctMeasures(const T& rec) {
  EXPECT_EQ(rec.sName, "Perturbed Stability Eyes Closed");
  EXPECT_EQ(rec.sTestID, "B10007");
  EXPECT_EQ(rec.sPlate, "KM Force Platform (SIM-0009)");
  EXPECT_EQ(rec.lTestType, 4);
  EXPECT_EQ(rec.dtDate, 46000.5);
  EXPECT_EQ(rec.fFrequency, 120.0f);
  EXPECT_EQ(rec.fPretest, 2.5f);
  EXPECT_EQ(rec.fOrigDuration, 30.0f);
  EXPECT_EQ(rec.fActDuration, 30.0083f);
  EXPECT_EQ(rec.lTotalSamples, 3601);
  EXPECT_EQ(rec.lValidSamples, 3577);
  EXPECT_EQ(rec.fXo, 0.0021f);
  EXPECT_EQ(rec.fYo, -0.0152f);
  EXPECT_EQ(rec.fLoSX, 0.131f);
  EXPECT_EQ(rec.fLoSY, 0.083f);
  EXPECT_EQ(rec.fMaxMLSway, 0.0211f);
  EXPECT_EQ(rec.fMaxAPSway, 0.0322f);
  EXPECT_EQ(rec.f95MLSway, 0.0433f);
  EXPECT_EQ(rec.f95APSway, 0.0544f);
  EXPECT_EQ(rec.f95MaxSway, 0.0655f);
  EXPECT_EQ(rec.f95MinSway, 0.0166f);
  EXPECT_EQ(rec.fMaxSway, 0.0277f);
  EXPECT_EQ(rec.fAveSway, 0.0088f);
  EXPECT_EQ(rec.fVMax, 0.199f);
  EXPECT_EQ(rec.fVAve, 0.0123f);
  EXPECT_EQ(rec.fAMax, 2.71f);
  EXPECT_EQ(rec.fAAve, 0.314f);
  EXPECT_EQ(rec.fPlen, 0.369f);
  EXPECT_EQ(rec.f95Area, 0.000235f);
  EXPECT_EQ(rec.fStability, 0.8766f);
  EXPECT_EQ(rec.lStabilityClass, 3);
  EXPECT_EQ(rec.fSwayDirection, 0.7071f);
  EXPECT_EQ(rec.fDirectionality, 0.4242f);
  EXPECT_EQ(rec.fMinMaxRatio, 0.5758f);
  EXPECT_EQ(rec.fFatigue, -0.125f);
  EXPECT_EQ(rec.fParP, 1.618f);
  EXPECT_EQ(rec.sNotes, "swayed \u00e9t\u00e9\nsecond line");
}

TEST(FromRun, RecordTakesEveryMeasureFromItsOwnFieldAndKeepsTheSessionMembers) {
  KM_RQListTestBalance rec;
  setSessionMembers(rec);
  FillBalanceRecord(rec, distinctRun());
  expectDistinctMeasures(rec);
  EXPECT_TRUE(rec.bIsInterrupted);
  EXPECT_FALSE(rec.bIsFallen);
  EXPECT_EQ(rec.sVisitID, "V20240101");
  EXPECT_EQ(rec.sSessionID, "S3");
  EXPECT_EQ(rec.fHeight, 1.72f);
  EXPECT_EQ(rec.fWeight, 70.5f);
  EXPECT_EQ(rec.fBMI, 23.83f);
  EXPECT_EQ(rec.lBMIClass, 7);
  EXPECT_TRUE(rec.bBMIEnabled);

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
  EXPECT_EQ(rec.lTotalSamples, 0);
  EXPECT_EQ(rec.lValidSamples, 0);
  EXPECT_EQ(rec.fActDuration, 0.0f);
  EXPECT_EQ(rec.fStability, 0.0f);
  EXPECT_EQ(rec.fMaxSway, 0.0f);
  EXPECT_EQ(rec.fParP, 0.0f);
  EXPECT_EQ(rec.lStabilityClass, 0);
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
  EXPECT_EQ(rec.fXo, 0.0f);
  EXPECT_EQ(rec.f95Area, 0.0f);
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
  EXPECT_EQ(t.bIsInterrupted, -1);
  EXPECT_EQ(t.bIsFallen, 0);
  EXPECT_EQ(t.bIsDone, -1);
  EXPECT_EQ(t.lSurface, 2);
  EXPECT_EQ(t.lEyes, 3);
  EXPECT_EQ(t.lStance, 5);
  EXPECT_EQ(t.lArms, 6);
  EXPECT_EQ(t.lShoes, 2);
  EXPECT_EQ(t.lHead, 4);
  EXPECT_EQ(t.lGaze, 7);
  EXPECT_EQ(t.lBreathing, 3);
  EXPECT_EQ(t.lMentalTask, 2);
  EXPECT_EQ(t.bBeepBegin, -1);
  EXPECT_EQ(t.bBeepEnd, 0);
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

template <class Pred>
bool waitUntil(Pred pred, int timeoutMs = 30000) {
  QElapsedTimer t;
  t.start();
  while (!pred()) {
    if (t.elapsed() > timeoutMs) return false;
    QCoreApplication::processEvents();
    QThread::msleep(1);
  }
  return true;
}

struct SimulatedTest {
  ScriptedMessages msgs;
  std::unique_ptr<SimulatedPlateDriver> driver;
  BalanceTestRun run;

  SimulatedTest() {
    SimulatedPlateConfig config;
    config.seed = 7;
    config.temperatureC = 27.0;
    driver = std::make_unique<SimulatedPlateDriver>(1, config, SimulatedSubject{});
    driver->PlateDevicesOpen();
    driver->simulatedPlate(1)->setTimeScale(200.0);
    ForgetZero();
    run.sName = "Normal Stability Eyes Closed";
    run.sTestID = "B10002";
    run.lTestType = 2;
    run.conditions.eyes = 2;
    run.conditions.gaze = 3;
    run.timing = {100.0, 1000, 8000, true, true};
    run.subjectBirth = clock::dateToDays(QDate(1958, 3, 14));
    run.sNotes = "steady";
  }
  ~SimulatedTest() { ForgetZero(); }

  // Zero, acquire, wait for the end: the run as the window would hand it over.
  std::optional<BalanceTestRun> perform() {
    ZeroController zc(driver.get());
    bool zeroed = false;
    QObject::connect(&zc, &ZeroController::zeroFinished, [&](bool) { zeroed = true; });
    if (!zc.acquire(1000) || !waitUntil([&] { return zeroed; }) || !zc.canProceed()) return std::nullopt;
    StaticTestController c(zc.plate(), driver.get());
    c.setRun(run);
    if (!c.acquire() || !waitUntil([&] { return c.state() == StaticState::Done; })) return std::nullopt;
    return c.run();
  }
};

TEST(FromRunSimulated, StoredRecordReadsBackWithTheTestsValues) {
  SimulatedTest sim;
  const auto done = sim.perform();
  ASSERT_TRUE(done.has_value());
  const BalanceTestRun& run = *done;
  ASSERT_TRUE(run.enoughSamples());
  ASSERT_TRUE(run.stabilityClass.has_value());
  EXPECT_TRUE(sim.msgs.requests().isEmpty()) << sim.msgs.texts().join("|").toStdString();

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

  const QString path = QDir(testing::sandboxFolder()).filePath("fromrun.stg");
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
}

TEST(FromRunSimulated, StoredTestShowsAgainWithTheSameResults) {
  SimulatedTest sim;
  const auto done = sim.perform();
  ASSERT_TRUE(done.has_value());
  BalanceTest t(nullptr);
  FillBalanceTest(t, *done);
  const BalanceTestRun back = RunFromBalanceTest(t, done->subjectBirth, done->thresholdN);
  EXPECT_EQ(back.sName, done->sName);
  EXPECT_EQ(back.sTestID, done->sTestID);
  EXPECT_EQ(back.lTestType, 2);
  EXPECT_EQ(back.conditions, done->conditions);
  EXPECT_EQ(back.timing, done->timing);
  EXPECT_EQ(back.sPlate, done->sPlate);
  EXPECT_EQ(back.zeroTime, done->zeroTime);
  EXPECT_EQ(back.sNotes, "steady");
  EXPECT_FLOAT_EQ(back.losX, done->losX);
  ASSERT_TRUE(back.enoughSamples());
  EXPECT_EQ(back.samples->Count(), done->samples->Count());
  // The simulated plate is not rotated, so the stored samples analyse to the same numbers; only the
  // limits of stability went through single precision.
  EXPECT_EQ(back.result.lValidSamples, done->result.lValidSamples);
  EXPECT_NEAR(back.result.fStability, done->result.fStability, 1e-6);
  EXPECT_DOUBLE_EQ(back.result.fPathLength, done->result.fPathLength);
  EXPECT_EQ(back.stabilityClass, done->stabilityClass);
}

}  // namespace
}  // namespace tarn
