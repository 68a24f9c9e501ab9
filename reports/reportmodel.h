#pragma once
// The results report apart from its window: the tests announced to it, and everything its tabs
// show once the adding is completed (each balance test re-analysed from its samples, its 37 rows
// in the user's units, the stability level row, the comparison of the test types with the visual
// and perturbation dependencies, the report's visit and session, its worst classes), and the
// edits the window makes (names, notes, evaluation and intervention) until they are written into
// the subject file's records. The printed pages read the same values.
#include <QPointF>
#include <QString>
#include <QtGlobal>
#include <array>
#include <optional>
#include <vector>

#include "balance/analysis/analysis.h"
#include "reports/reanalysis.h"
#include "reports/reportformat.h"

namespace tarn {

class SubjectFile;
class KMX_PlateTestData;

enum ReportTestKind : qint32 { kReportVision = 1, kReportBalance = 2 };

// One announced test.
struct ReportTestEntry {
  qint32 lKind = kReportBalance;
  QString sVisitID;
  QString sSessionID;
  QString sTestID;
  bool bAdult = false;  // at least 240 months old at the test date
};

// What the report reads from the settings when its window loads.
struct ReportOptions {
  ReportUnits units;
  bool reprint = false;
  bool weightEnabled = true;
  int normsVersion = 3;
  float thresholdN = 10.0f;  // "CoP Threshold F (N)"
  StanceFactors stance;
  static ReportOptions fromSettings(bool reprint);
};

// Tabs of the results window.
enum ReportTab : int { kTabVision = 0, kTabBalance1 = 1, kTabComparison = 5, kTabEvalInterv = 6 };
inline constexpr int kReportTabs = 7;
inline constexpr int kShownBalanceTests = 4;

struct ReportBalanceTest {
  int entry = -1;  // index in the test list
  ReanalysedBalanceTest test;
  bool hasResults = false;      // analysed, and the subject did not give up
  double losML = 0, losAP = 0;  // limits of stability after the stance rule (half-widths, m)
  ResultRowTexts rows;
  std::optional<ClassLimits> limits;
  std::array<QString, 5> levelLabels;  // the reference values of the five classes
  qint32 stabilityClass = 0;           // 0 when no class applies
  QString title;                       // the test's name as shown (renaming changes it)
  QString typeLine;                    // "Stability Score: 88.1% - Healthy Balance"
  QString notes;                       // as edited
  bool inReportSession = false;
};

struct ReportVisionTest {
  int entry = -1;
  QString sName;
  double dtDate = 0;
  qint32 lEye = 0;
  double dAcuity = 0;
  qint32 lAcuityClass = 0;
  bool done = false;
};

// Per test type (NSEO, NSEC, PSEO, PSEC) the count of tests with results and the means of three
// measures: the stability score (fraction), the sway path length (m) and the 95 % ellipse area
// (m²). A mean that is not positive stands as 0.001 (score) or 0.0001 (path, area), so that a
// quotient never divides by zero.
struct TypeMeans {
  qint32 count = 0;
  std::array<double, 3> sums{};
  std::array<double, 3> means{};
};
// Quotients of the means: the Romberg ratio on the path length, the stability ratio on the score,
// and the same on the area for the printed pages. Empty when no pair of tests exists.
struct DependencyRatios {
  std::optional<double> romberg;
  std::optional<double> stability;
  std::optional<double> area;
};
struct ReportComparisons {
  std::array<TypeMeans, 4> types;
  DependencyRatios visual;        // eyes closed over eyes open, mean over the surfaces
  DependencyRatios perturbation;  // perturbed over normal surface, mean over the eye conditions
};
ReportComparisons CompareTestTypes(const std::vector<const KM_RQListTestBalanceData*>& testsWithResults);
// "Romberg Ratio: 1.234" / "Stability Ratio: N/A".
QString RombergRatioText(const std::optional<double>& ratio);
QString StabilityRatioText(const std::optional<double>& ratio);

// CoP of every sample carrying at least the threshold force, as the display plots it; samples
// whose CoP is not a finite number are left out.
std::vector<QPointF> CoPPoints(const KMX_PlateTestData& data, float thresholdN);
// Centre and width that make the sway fill a square plot; nullopt without points.
struct SwayView {
  double xo = 0, yo = 0, width = 0;
};
std::optional<SwayView> ScaleToSway(const std::vector<QPointF>& points);

class ReportModel {
 public:
  ReportModel();
  ReportModel(SubjectFile* file, const ReportOptions& options);

  // The subject file; the report edits its records only in fnObjectUpdate.
  SubjectFile* PatientFile() const { return file_; }
  void setPatientFile(SubjectFile* file) { file_ = file; }
  const ReportOptions& options() const { return options_; }
  void setOptions(const ReportOptions& options) { options_ = options; }
  bool bReprint() const { return options_.reprint; }

  // Appends the test when visit, session and test exist; false (and nothing added) otherwise.
  bool AddTestBalance(const QString& visitID, const QString& sessionID, const QString& testID);
  bool AddTestVision(const QString& visitID, const QString& sessionID, const QString& testID);
  // Builds every tab from the tests added.
  void AddTestCompleted();
  bool completed() const { return completed_; }

  const std::vector<ReportTestEntry>& testList() const { return list_; }
  qint32 testCount() const { return static_cast<qint32>(list_.size()); }
  // Adult flag of the index-th test of that kind (from 1); an index matching none gives the "or"
  // of the flags of that kind.
  bool AdultVision(int index) const { return adult(kReportVision, index); }
  bool AdultBalance(int index) const { return adult(kReportBalance, index); }

  const QString& reportVisitID() const { return reportVisit_; }
  const QString& reportSessionID() const { return reportSession_; }
  bool sameVisitAndSession() const { return sameVisitSession_; }
  qint32 worstStabilityClass() const { return worstClass_; }  // 0 when none
  qint32 worstVisionClass() const { return worstVisionClass_; }
  qint32 bmiClass() const { return bmiClass_; }

  const std::vector<ReportBalanceTest>& balanceTests() const { return balance_; }  // at most four
  int balanceTestsNotShown() const { return notShown_; }
  const std::vector<ReportVisionTest>& visionTests() const { return vision_; }
  const ReportComparisons& comparisons() const { return comparisons_; }
  bool tabEnabled(int tab) const;
  int firstEnabledTab() const;  // among 0-5; the evaluation tab when none

  // Evaluation and intervention of the report's session, as edited. They are written back only
  // when every test comes from that one visit and session; the note says why otherwise.
  const QString& evaluation() const { return evaluation_; }
  const QString& intervention() const { return intervention_; }
  bool evalIntervSaved() const { return sameVisitSession_ && reportSessionObject() != nullptr; }
  QString evalIntervNote() const;

  // Edits. k counts the shown balance tests from 0. A blank name is refused.
  bool renameTest(int k, const QString& name);
  void setTestNotes(int k, const QString& notes);
  void setEvaluation(const QString& text) { evaluation_ = text; }
  void setIntervention(const QString& text) { intervention_ = text; }

  bool fnDataChanged() const;
  bool fnDataOK() const;
  // Writes names and notes into the balance tests and the texts into the session; false when the
  // file or a test is gone.
  bool fnObjectUpdate();
  bool fnDataSave();

 private:
  bool adult(qint32 kind, int index) const;
  bool add(qint32 kind, const QString& visitID, const QString& sessionID, const QString& testID);
  BalanceTest* balanceTestOf(const ReportTestEntry& e) const;
  Session* reportSessionObject() const;
  void buildBalance(const ReportTestEntry& e, int entry);

  SubjectFile* file_ = nullptr;
  ReportOptions options_;
  std::vector<ReportTestEntry> list_;
  bool completed_ = false;
  QString reportVisit_, reportSession_;
  bool sameVisitSession_ = true;
  qint32 worstClass_ = 0, worstVisionClass_ = 0, bmiClass_ = 0;
  std::vector<ReportBalanceTest> balance_;
  int notShown_ = 0;
  std::vector<ReportVisionTest> vision_;
  ReportComparisons comparisons_;
  QString evaluation_, intervention_;
};

}  // namespace tarn
