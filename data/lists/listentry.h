#pragma once
// One subject file of the data folder as the list caches it: who the subject is, the counts and
// dates of the file, a copy of every test and the lowest, highest, first and last result per
// kind of test. Rebuilt from the subject file only when the file or the analysis force changed.
#include <QString>
#include <QtGlobal>

#include <vector>

#include "balance/analysis/analysis.h"
#include "data/records/testbalance.h"
#include "data/records/testvision.h"

namespace tarn {

class KMX_OLEStorage;
class SubjectFile;

// One result: date, value and class of the test that holds it.
struct KM_RQResultSummary {
  double dtDate = 0;
  float fValue = 0;
  qint32 lClass = 0;
  bool operator==(const KM_RQResultSummary&) const = default;
};

struct KM_RQSummarySet {
  KM_RQResultSummary lowest, highest, first, last;
  bool operator==(const KM_RQSummarySet&) const = default;
  // Folds one test in; on ties the test met last wins.
  void add(double date, float value, qint32 cls);
  // The start values of a rebuild: lowest 200, highest -1, first 1 Jan 2200, last 1 Jan 1800.
  static KM_RQSummarySet rebuildStart();
};

inline constexpr double kFirstDateStart = 109575.0;  // 1 January 2200
inline constexpr int kBalanceKinds = 4;              // KM_RQNormTestType NSEO..PSEC
inline constexpr int kBMIKinds = 1;
inline constexpr int kVisionKinds = 3;  // KM_RQVNormTestType R, l, Both

// What an entry refresh needs besides the file: read once per list refresh so that every entry
// is classified alike, and so that workers need not touch the settings store for it.
struct KM_RQRefreshContext {
  int normsVersion = 0;
  StanceFactors stanceFactors;
  static KM_RQRefreshContext fromSettings();
};

class KM_RQListFile {
 public:
  static constexpr char kDefaultStorageName[] = "File";

  KM_RQListFile();

  // Public members, in the order of the entry's "Data" stream.
  QString sFileName;
  qint32 lFileSize = 0;
  float fMinCoPFzForAnalysis = 0;
  QString sSubjFName;
  QString sSubjMName;
  QString sSubjLName;
  QString sSubjID;
  qint32 lIsMale = 0;
  double dtSubjDoB = 0;
  double dSubjHeight = 0;

  qint32 lVisitCount() const { return lVisitCount_; }
  qint32 lSessionCount() const { return lSessionCount_; }
  qint32 lSTVisitCount() const { return lSTVisitCount_; }
  qint32 lSTSessionCount() const { return lSTSessionCount_; }
  qint32 lTestBalanceCount() const { return static_cast<qint32>(balance_.size()); }
  qint32 lTestVisionCount() const { return static_cast<qint32>(vision_.size()); }
  qint32 lTestBMICount() const { return lTestBMICount_; }
  double dtCreationDate() const { return dtCreationDate_; }
  double dtLastEditDate() const { return dtLastEditDate_; }
  double dtLastSTDate() const { return dtLastSTDate_; }

  // 1-based; nullptr outside 1..count.
  const KM_RQListTestBalance* ltTestBalanceItem(qint32 index) const;
  const KM_RQListTestVision* ltTestVisionItem(qint32 index) const;
  // Stores a copy at index 1..count, or appends at count + 1; false otherwise.
  bool setTestBalanceItem(qint32 index, const KM_RQListTestBalance& record);
  bool setTestVisionItem(qint32 index, const KM_RQListTestVision& record);

  // Summaries; an argument outside its range gives 0 (or a zero date).
  double fBLowestDate(qint32 type) const { return balanceAt(type).lowest.dtDate; }
  float fBLowestStability(qint32 type) const { return balanceAt(type).lowest.fValue; }
  qint32 fBLowestStabClass(qint32 type) const { return balanceAt(type).lowest.lClass; }
  double fBHighestDate(qint32 type) const { return balanceAt(type).highest.dtDate; }
  float fBHighestStability(qint32 type) const { return balanceAt(type).highest.fValue; }
  qint32 fBHighestStabClass(qint32 type) const { return balanceAt(type).highest.lClass; }
  double fBFirstDate(qint32 type) const { return balanceAt(type).first.dtDate; }
  float fBFirstStability(qint32 type) const { return balanceAt(type).first.fValue; }
  qint32 fBFirstStabClass(qint32 type) const { return balanceAt(type).first.lClass; }
  double fBLastDate(qint32 type) const { return balanceAt(type).last.dtDate; }
  float fBLastStability(qint32 type) const { return balanceAt(type).last.fValue; }
  qint32 fBLastStabClass(qint32 type) const { return balanceAt(type).last.lClass; }

  double fBMILowestDate(qint32 kind = 1) const { return bmiAt(kind).lowest.dtDate; }
  float fBMILowestValue(qint32 kind = 1) const { return bmiAt(kind).lowest.fValue; }
  qint32 fBMILowestClass(qint32 kind = 1) const { return bmiAt(kind).lowest.lClass; }
  double fBMIHighestDate(qint32 kind = 1) const { return bmiAt(kind).highest.dtDate; }
  float fBMIHighestValue(qint32 kind = 1) const { return bmiAt(kind).highest.fValue; }
  qint32 fBMIHighestClass(qint32 kind = 1) const { return bmiAt(kind).highest.lClass; }
  double fBMIFirstDate(qint32 kind = 1) const { return bmiAt(kind).first.dtDate; }
  float fBMIFirstValue(qint32 kind = 1) const { return bmiAt(kind).first.fValue; }
  qint32 fBMIFirstClass(qint32 kind = 1) const { return bmiAt(kind).first.lClass; }
  double fBMILastDate(qint32 kind = 1) const { return bmiAt(kind).last.dtDate; }
  float fBMILastValue(qint32 kind = 1) const { return bmiAt(kind).last.fValue; }
  qint32 fBMILastClass(qint32 kind = 1) const { return bmiAt(kind).last.lClass; }

  double fVLowestDate(qint32 eye) const { return visionAt(eye).lowest.dtDate; }
  float fVLowestValue(qint32 eye) const { return visionAt(eye).lowest.fValue; }
  qint32 fVLowestClass(qint32 eye) const { return visionAt(eye).lowest.lClass; }
  double fVHighestDate(qint32 eye) const { return visionAt(eye).highest.dtDate; }
  float fVHighestValue(qint32 eye) const { return visionAt(eye).highest.fValue; }
  qint32 fVHighestClass(qint32 eye) const { return visionAt(eye).highest.lClass; }
  double fVFirstDate(qint32 eye) const { return visionAt(eye).first.dtDate; }
  float fVFirstValue(qint32 eye) const { return visionAt(eye).first.fValue; }
  qint32 fVFirstClass(qint32 eye) const { return visionAt(eye).first.lClass; }
  double fVLastDate(qint32 eye) const { return visionAt(eye).last.dtDate; }
  float fVLastValue(qint32 eye) const { return visionAt(eye).last.fValue; }
  qint32 fVLastClass(qint32 eye) const { return visionAt(eye).last.lClass; }

  // Aggregates over the kinds. Classes grow with severity: the "min lowest" class is the worst
  // class found, the "max highest" class the best.
  float fBMinLowestStability() const;
  qint32 fBMinLowestStabClass() const;
  float fBMaxHighestStability() const;
  qint32 fBMaxHighestStabClass() const;
  float fVMinLowestValue() const;
  qint32 fVMinLowestClass() const;
  float fVMaxHighestValue() const;
  qint32 fVMaxHighestClass() const;

  // Whole summary tables (sized 4, 1 and 3 unless a loaded file said otherwise).
  const std::vector<KM_RQSummarySet>& balanceSummaries() const { return bSummary_; }
  const std::vector<KM_RQSummarySet>& bmiSummaries() const { return bmiSummary_; }
  const std::vector<KM_RQSummarySet>& visionSummaries() const { return vSummary_; }

  bool Load(KMX_OLEStorage* storage, const QString& name = QString());
  bool Save(KMX_OLEStorage* storage, const QString& name = QString());
  void MakeCopy(const KM_RQListFile& source);

  // Rebuilds the entry from its subject file in dataPath. True only when the entry was found
  // up to date (the same file, unchanged, and the same force) and nothing was read.
  bool Refresh(const QString& dataPath, float minCoPFz);
  bool Refresh(const QString& dataPath, float minCoPFz, const KM_RQRefreshContext& ctx);

  // The parts of Refresh, for callers that run the rebuild elsewhere: whether the entry is
  // up to date (with the file's current length, -1 when it has none), and the rebuild itself.
  // A cached entry whose values could not come from any test (a damaged list file) is never up
  // to date.
  bool isUpToDate(const QString& dataPath, float minCoPFz, qint64* currentLength = nullptr) const;
  void rebuild(const QString& dataPath, float minCoPFz, const KM_RQRefreshContext& ctx);
  // Fills the entry from a subject file that is already open. Every balance test is analysed as
  // AnalyseStoredTest does, with minCoPFz for tests stored without their own threshold.
  //
  // Tests never run: every test of the file is listed and counted (the test counts, the visits
  // and sessions with tests), but only a test that was run gives results. A balance test was run
  // when it holds recorded samples, a vision test when it is done. Only those give the date of
  // the latest test, and a run balance test gives a BMI (counted in lTestBMICount and its
  // summary) from the body data of its visit; its stability joins the summary only when the
  // analysis gave measures (not for too few valid samples or damaged samples).
  void fillFrom(const SubjectFile& file, float minCoPFz, const KM_RQRefreshContext& ctx);

  // What the file system said of the subject file when the entry was last rebuilt (identity,
  // size, times; core/folders.h). The entry is current only while the file still says the same,
  // so a file replaced by another of equal size is read again.
  const QString& fileStamp() const { return sStamp_; }
  // The subject file could not be read (missing, not a subject file, damaged): the entry holds
  // nothing of it but its name, and says why.
  bool isDamaged() const { return bDamaged_; }
  const QString& damageText() const { return sDamage_; }
  // Balance tests (1-based) whose recording no platform can give: shown as damaged, never
  // analysed or classed.
  const std::vector<qint32>& damagedBalanceTests() const { return damagedTests_; }
  bool isBalanceTestDamaged(qint32 index) const;

  const QString& versionText() const { return sVersion_; }
  float versionNumber() const { return fVersion_; }
  const QString& storageName() const { return sStorageName_; }

  // Test seam: counts the subject files opened by Refresh in this process.
  static qint64 subjectFilesOpened();

 private:
  void reset();
  void clearContents();  // everything but the file name
  bool cacheIsPlausible(QString* why) const;
  const KM_RQSummarySet& balanceAt(qint32 type) const;
  const KM_RQSummarySet& bmiAt(qint32 kind) const;
  const KM_RQSummarySet& visionAt(qint32 eye) const;

  qint32 lVisitCount_ = 0;
  qint32 lSessionCount_ = 0;
  qint32 lSTVisitCount_ = 0;
  qint32 lSTSessionCount_ = 0;
  qint32 lTestBMICount_ = 0;
  double dtCreationDate_;
  double dtLastEditDate_;
  double dtLastSTDate_;
  std::vector<KM_RQSummarySet> bSummary_;
  std::vector<KM_RQSummarySet> bmiSummary_;
  std::vector<KM_RQSummarySet> vSummary_;
  std::vector<KM_RQListTestBalance> balance_;
  std::vector<KM_RQListTestVision> vision_;
  QString sStamp_;
  bool bDamaged_ = false;
  QString sDamage_;
  std::vector<qint32> damagedTests_;

  QString sVersion_;
  float fVersion_;
  QString sStorageName_;
};

}  // namespace tarn
