#pragma once
// The preliminary results the test window shows when a test ends, in the display units chosen.
#include <QString>

#include "balance/analysis/analysis.h"

namespace tarn {

// lengthUnit, forceUnit: unit codes 1..5 (see support/units). enough: the test had more than ten
// valid samples; otherwise only the refusal line is shown.
QString PreliminaryResultsText(const AnalysisResult& r, bool enough, int lengthUnit, int forceUnit);

// An area in the square of the chosen length unit ("2.35 cm²"); feet and inches use in².
QString FormatArea(double squareMetres, int lengthUnit);

inline constexpr char kNotEnoughSamples[] = "Not enough valid samples in the test!";
inline constexpr char kNoSubjectDetected[] =
    "No Subject was detected on the platform!\n\nThe test is not valid and must be repeated!";

}  // namespace tarn
