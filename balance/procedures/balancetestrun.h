#pragma once
// One static balance test as the test window works on it: the conditions it was set up with, the
// samples, the analysis and class, and the operator's flags and notes. The session copies it into
// the subject's test record when the operator moves on.
#include <QString>
#include <memory>
#include <optional>

#include "balance/analysis/analysis.h"
#include "balance/norms/normtypes.h"
#include "balance/procedures/conditions.h"

namespace tarn {

class KMX_PlateTestData;

struct BalanceTestRun {
  // Set up by the session.
  QString sName;
  QString sTestID;
  qint32 lTestType = 0;  // KM_RQNormTestType
  TestConditions conditions;
  TestTiming timing;
  double losX = 0.129, losY = 0.080;  // base limits of stability (m): both feet, from the height
  double subjectBirth = -36522.0;     // day count; the missing date when unknown

  // Filled by the test.
  QString sPlate;
  double zeroTime = -36522.0;   // the zero the samples were taken with
  float thresholdN = 10.0f;     // "CoP Threshold F (N)" when analysed
  StanceFactors stanceFactors;  // "LoS X One Foot" and "LoS Y Two Feet" when analysed
  PlateGeometry geometry;
  std::shared_ptr<const KMX_PlateTestData> samples;
  bool analysed = false;  // result holds the analysis of samples
  AnalysisResult result;
  std::optional<KM_RQNormsClass> stabilityClass;
  bool bIsFallen = false;
  bool bIsInterrupted = false;
  QString sNotes;

  bool hasData() const;
  // At least 11 valid samples and a weight: the measures mean something.
  bool enoughSamples() const;
  void clearData();  // back to a test not yet performed (flags and notes stay)
  // Every field, one per line, for the developer's try command and the log.
  QString describe() const;
};

}  // namespace tarn
