#include "data/records/recordfromrun.h"

#include <QStringList>
#include <array>
#include <cmath>

#include "balance/analysis/analysis.h"
#include "balance/norms/norms.h"
#include "balance/plate/plate.h"
#include "core/clock.h"
#include "core/eventlog.h"
#include "data/records/storedanalysis.h"
#include "data/subjectfile/subjectfile.h"

namespace tarn {
namespace {

constexpr char kModule[] = "frmTBStatic";

float single(double v) { return static_cast<float>(v); }
qint16 truth(bool b) { return b ? kTrue : kFalse; }

// The analysis went past the weight pass: the measures are real, not the zeros of a stopped pass.
bool measured(const BalanceTestRun& run) { return run.analysed && run.result.lWeightSamples > 10; }

// The acquisition date: from the analysis, else from the samples; a test never acquired has none.
double testDate(const BalanceTestRun& run) {
  if (run.analysed) return run.result.dtDate;
  if (run.hasData()) return run.samples->DateTime();
  return clock::kMissingDate;
}

// The members the record and the file's test share, under the same names and types except the
// truth values (bool in the record, 16-bit in the file), which the caller sets.
template <class T>
void fillCommon(T& t, const BalanceTestRun& run) {
  t.sName = run.sName;
  t.sTestID = run.sTestID;
  t.sPlate = run.sPlate;
  t.lTestType = run.lTestType;
  t.dtDate = testDate(run);
  t.fFrequency = single(run.timing.frequencyHz);
  t.fPretest = single(run.timing.preTestMs / 1000.0);
  t.fOrigDuration = single(run.timing.durationMs / 1000.0);
  // Base limits: the analysis widens or narrows them again by the stance on every re-run.
  t.fLoSX = single(run.losX);
  t.fLoSY = single(run.losY);
  t.sNotes = run.sNotes;

  const AnalysisResult& r = run.result;
  t.fActDuration = run.analysed ? single(r.fDuration) : 0.0f;
  t.lTotalSamples = run.analysed ? r.lTotalSamples : 0;
  t.lValidSamples = run.analysed ? r.lValidSamples : 0;

  const bool m = measured(run);
  auto put = [m](float& member, double value) { member = m ? single(value) : 0.0f; };
  put(t.fXo, r.fXo);
  put(t.fYo, r.fYo);
  put(t.fMaxMLSway, r.fRangeML);
  put(t.fMaxAPSway, r.fRangeAP);
  put(t.f95MLSway, r.f95MLSway);
  put(t.f95APSway, r.f95APSway);
  put(t.f95MaxSway, r.f95MaxSway);
  put(t.f95MinSway, r.f95MinSway);
  put(t.fMaxSway, r.fRadialMax);
  put(t.fAveSway, r.fRadialAve);
  put(t.fVMax, r.fVMax);
  put(t.fVAve, r.fVAve);
  put(t.fAMax, r.fAMax);
  put(t.fAAve, r.fAAve);
  put(t.fPlen, r.fPathLength);
  put(t.f95Area, r.f95Area);
  put(t.fStability, r.fStability);
  put(t.fSwayDirection, r.fSwayDirection);
  put(t.fDirectionality, r.fDirectionality);
  put(t.fMinMaxRatio, r.fMinMaxRatio);
  put(t.fFatigue, r.fFatigue);
  put(t.fParP, r.fParP);
  t.lStabilityClass = m && run.stabilityClass ? static_cast<qint32>(*run.stabilityClass) : 0;
}

}  // namespace

void FillBalanceRecord(KM_RQListTestBalance& rec, const BalanceTestRun& run) {
  ProcLog log(kModule, "Store BalanceTest record", run.sTestID);
  fillCommon(rec, run);
  rec.bIsInterrupted = run.bIsInterrupted;
  rec.bIsFallen = run.bIsFallen;
  log.completed();
}

void FillBalanceTest(BalanceTest& test, const BalanceTestRun& run) {
  ProcLog log(kModule, "Store BalanceTest", run.sTestID);
  fillCommon(test, run);
  test.bIsInterrupted = truth(run.bIsInterrupted);
  test.bIsFallen = truth(run.bIsFallen);
  test.bIsDone = truth(run.bIsFallen || run.enoughSamples());

  const TestConditions& c = run.conditions;
  test.lSurface = c.surface;
  test.lEyes = c.eyes;
  test.lStance = c.stance;
  test.lArms = c.arms;
  test.lShoes = c.shoes;
  test.lHead = c.head;
  test.lGaze = c.gaze;
  test.lBreathing = c.breathing;
  test.lMentalTask = c.mentalTasking;
  test.bBeepBegin = truth(run.timing.beepBegin);
  test.bBeepEnd = truth(run.timing.beepEnd);

  if (run.hasData()) {
    log.step(QString("Samples %1").arg(run.samples->Count()));
    // The test's own samples come back unchanged (and keep whatever their checksum said).
    if (run.samples != test.TestData()) test.SetTestData(*run.samples);
    test.dtZeroDate = run.zeroTime;
    test.fRotation = run.geometry.rotation;
    test.fTilt1 = run.geometry.tilt1;
    test.fTilt2 = run.geometry.tilt2;
    test.fCoPThresholdF = run.thresholdN;
  } else {
    test.ClearTestData();
  }
  log.completed();
}

BalanceTestRun RunFromBalanceTest(const BalanceTest& test, double subjectBirth,
                                  const StoredAnalysisSettings& settings) {
  ProcLog log(kModule, "Load BalanceTest", test.sTestID);
  BalanceTestRun run;
  run.sName = test.sName;
  run.sTestID = test.sTestID;
  run.lTestType = test.lTestType;
  run.conditions = {test.lSurface, test.lEyes, test.lStance,    test.lArms,      test.lShoes,
                    test.lHead,    test.lGaze, test.lBreathing, test.lMentalTask};
  run.timing.frequencyHz = test.fFrequency;
  run.timing.preTestMs = static_cast<qint32>(std::lround(double(test.fPretest) * 1000.0));
  run.timing.durationMs = static_cast<qint32>(std::lround(double(test.fOrigDuration) * 1000.0));
  run.timing.beepBegin = test.bBeepBegin != 0;
  run.timing.beepEnd = test.bBeepEnd != 0;
  run.subjectBirth = subjectBirth;
  run.sPlate = test.sPlate;
  run.zeroTime = test.dtZeroDate;
  run.bIsFallen = test.bIsFallen != 0;
  run.bIsInterrupted = test.bIsInterrupted != 0;
  run.sNotes = test.sNotes;
  run.samples = test.TestData();

  // The same analysis as every other place that shows a stored test.
  const StoredTestAnalysis a = AnalyseStoredTest(test, subjectBirth, settings);
  run.losX = a.losX;
  run.losY = a.losY;
  run.thresholdN = a.thresholdN;
  run.geometry = a.geometry;
  run.stanceFactors = settings.stanceFactors;
  run.analysed = a.state == StoredTestState::TooFewSamples || a.measured();
  if (run.analysed) run.result = a.result;
  run.stabilityClass = a.stabilityClass;
  log.completed();
  return run;
}

namespace {

// Member names in stream order, matched to the values by KM_RQListTestBalanceData::fields.
// clang-format off
constexpr std::array<const char*, 46> kRecordNames = {
    "sName", "sVisitID", "sSessionID", "sTestID", "sPlate", "lTestType",
    "dtDate", "fFrequency", "fPretest", "fOrigDuration", "fActDuration", "lTotalSamples",
    "lValidSamples", "bIsInterrupted", "bIsFallen", "fXo", "fYo", "fLoSX",
    "fLoSY", "fMaxMLSway", "fMaxAPSway", "f95MLSway", "f95APSway", "f95MaxSway",
    "f95MinSway", "fMaxSway", "fAveSway", "fVMax", "fVAve", "fAMax",
    "fAAve", "fPlen", "f95Area", "fStability", "lStabilityClass", "fSwayDirection",
    "fDirectionality", "fMinMaxRatio", "fFatigue", "fParP", "fHeight", "fWeight",
    "fBMI", "lBMIClass", "bBMIEnabled", "sNotes",
};
// clang-format on

struct Describer {
  QStringList lines;
  void add(const QString& value) {
    const int i = static_cast<int>(lines.size());
    const char* name = i < int(kRecordNames.size()) ? kRecordNames[size_t(i)] : "?";
    lines << QString::fromLatin1(name) + " = " + value;
  }
  void text(const QString& v) { add(QString(v).replace('\n', "\\n")); }
  void long32(qint32 v) { add(QString::number(v)); }
  void single(float v) { add(QString::number(v, 'g', 9)); }
  void dbl(double v) { add(QString::number(v, 'g', 17)); }
  void date(double v) {
    add(QString::number(v, 'f', 8) + " (" + clock::generalDateText(clock::fromDays(v)) + ")");
  }
  void boolean(bool v) { add(v ? "-1" : "0"); }
};

}  // namespace

QString DescribeBalanceRecord(const KM_RQListTestBalanceData& rec) {
  Describer d;
  KM_RQListTestBalanceData::fields(d, rec);
  return d.lines.join('\n');
}

}  // namespace tarn
