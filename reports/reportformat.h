#pragma once
// Texts of balance results as the results window, the reports manager and the printed pages show
// them: the 37 result rows of a test in the user's units, class and status names, the stability
// level labels and the class colours. Measures arrive in SI units.
#include <QString>
#include <QtGlobal>
#include <array>
#include <optional>

#include "data/records/testbalance.h"

namespace tarn {

// The user's unit choices (codes 1-5, Part of the settings root).
struct ReportUnits {
  int length = 3;
  int force = 3;
  int mass = 3;
  static ReportUnits fromSettings();
};

inline constexpr int kResultRows = 37;
enum ResultRow : int {
  RowTestType = 1,
  RowTestDate,
  RowTestTime,
  RowDuration,
  RowFrequency,
  RowTotalSamples,
  RowValidSamples,
  RowStatus,
  RowXo,
  RowYo,
  RowLoSML,
  RowLoSAP,
  RowMaxSwayML,
  RowMaxSwayAP,
  Row95SwayML,
  Row95SwayAP,
  Row95SwayMax,
  Row95SwayMin,
  RowMaxSway,
  RowAveSway,
  RowVMax,
  RowVAve,
  RowAMax,
  RowAAve,
  RowPathLength,
  RowArea,
  RowStability,
  RowStabilityClass,
  RowSwayDirection,
  RowDirectionality,
  RowFatigue,
  RowAdaptation,
  RowParP,
  RowHeight,
  RowWeight,
  RowBMI,
  RowBMIClass,
};

// Decimals meant for the SI unit: sway to a tenth of a millimetre, height to the millimetre,
// weight to the tenth of a kilogram.
inline constexpr int kSwayDecimals = 4;
inline constexpr int kHeightDecimals = 3;
inline constexpr int kWeightDecimals = 1;

QString ResultRowLabel(int row);  // 1-37
QString NotAvailableText();       // "N/A"

QString SwayText(double metres, int lengthUnit);
// Square inches for the inch units, else the metric unit of the length code.
QString AreaText(double squareMetres, int lengthUnit);
QString PercentText(double fraction, int decimals);  // 0.123 -> "12.3%"
// "NSEO" ... from the stance and eye parts; empty for a type without norms.
QString TestTypeText(qint32 type);
QString StabilityClassName(qint32 cls);  // 1-5; empty otherwise
QString BMIClassName(qint32 cls);        // 1-4 children, 6-9 adults; empty otherwise
QString ShortDateText(double day);       // empty for the missing date
QString MediumTimeText(double day);      // "hh:mm AM"; empty for the missing date

// Colour of a stability class as a stored colour value (0x00BBGGRR): green, yellow, orange, red,
// magenta for classes 1-5; 0 otherwise.
quint32 StabilityClassColour(qint32 cls);

// The four class limits L1 > L2 > L3 > L4 (percent) and the labels of the stability level row.
struct ClassLimits {
  double L1 = 0, L2 = 0, L3 = 0, L4 = 0;
  std::array<QString, 5> labels() const;   // ">= L1%", "L2-(L1-0.1)%", ..., "<= (L4-0.1)%"
  qint32 classOf(float fStability) const;  // the score as shown, against the limits
};
// Limits for the subject's age at the test; nullopt without a date of birth, a test date or norms.
std::optional<ClassLimits> LimitsForTest(double birth, double testDate, qint32 testType, int normsVersion);

// What one balance test shows.
struct BalanceRowsInput {
  KM_RQListTestBalanceData record;
  bool hasResults = false;  // analysed and not given up: otherwise "Unable to Complete"
  double losML = 0;         // limits of stability after the stance rule, half-widths (m)
  double losAP = 0;
  bool weightDisabled = false;  // weight entry switched off outside a reprint
};
// Index 0 is unused; 1-37 are the rows.
using ResultRowTexts = std::array<QString, kResultRows + 1>;
ResultRowTexts BalanceResultRows(const BalanceRowsInput& in, const ReportUnits& units);

// Status of a test: Completed, Interrupted or Unable to Complete.
QString TestStatusText(bool hasResults, bool interrupted);

// Whether a cached record (data-folder list) holds analysis results: the subject did not give up,
// and the analysis had valid samples and left measures (it stores zeros when it could not run).
bool ListRecordHasResults(const KM_RQListTestBalanceData& r);

}  // namespace tarn
