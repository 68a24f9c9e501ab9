#pragma once
// The preliminary results the test window shows when a test ends, in the display units chosen:
// the stability score and its class first, then every measure as a labelled line.
#include <QString>
#include <optional>
#include <vector>

#include "balance/analysis/analysis.h"
#include "balance/norms/normtypes.h"

namespace tarn {

struct BalanceTestRun;

struct ResultLine {
  QString label;  // "Length of the Sway Path:"
  QString value;  // "254 mm"
};

struct PreliminaryResults {
  QString heading;  // "PRELIMINARY TEST RESULTS", or the partial heading of a stopped test
  QString note;     // why the results are partial or missing; empty otherwise
  bool enough = false;
  QString scoreLabel;  // the stability score's label
  QString score;       // "87.7%"
  std::optional<KM_RQNormsClass> stabilityClass;
  std::vector<ResultLine> lines;  // every measure but the score
  // Heading, note, then one "label value" per line (the score among them, in its place).
  QString text() const;
};

// lengthUnit, forceUnit: unit codes 1..5 (see support/units). enough: the test had more than ten
// valid samples; otherwise only the refusal note is given.
PreliminaryResults ComposePreliminaryResults(const AnalysisResult& r, bool enough, int lengthUnit,
                                             int forceUnit);
// The results of a run: its class, and marked as partial when the operator stopped it.
PreliminaryResults ComposePreliminaryResults(const BalanceTestRun& run, int lengthUnit, int forceUnit);
QString PreliminaryResultsText(const AnalysisResult& r, bool enough, int lengthUnit, int forceUnit);

// A length with at least three significant digits in the chosen unit ("15.5 mm", "0.0155 m").
QString FormatLengthSignificant(double metres, int lengthUnit);
// An area in the square of the chosen length unit, three significant digits ("2.35 cm²"); feet and
// inches use in².
QString FormatArea(double squareMetres, int lengthUnit);

// "Healthy Balance" ... "Profoundly Reduced", and the class colour as 0xRRGGBB.
QString StabilityClassName(KM_RQNormsClass c);
unsigned StabilityClassRgb(KM_RQNormsClass c);

QString NotEnoughSamplesText();   // "Not enough valid samples in the test!"
QString NoSubjectDetectedText();  // the critical message after a test without a subject

}  // namespace tarn
