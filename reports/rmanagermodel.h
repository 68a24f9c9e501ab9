#pragma once
// The reports manager apart from its window: the subject files of the data-folder list, the
// balance and vision tests of the chosen file, sorting by any column, and the choice of up to four
// tests of each kind (kept by test, in the order chosen, whatever the sorting).
#include <QString>
#include <QtGlobal>
#include <map>
#include <vector>

#include "data/lists/list.h"
#include "reports/reportformat.h"

namespace tarn {

// A test by its identity in the subject file.
struct ReportTestKey {
  QString sVisitID, sSessionID, sTestID;
  bool operator==(const ReportTestKey&) const = default;
  auto operator<=>(const ReportTestKey& o) const {
    if (auto c = sVisitID.compare(o.sVisitID); c != 0) return c <=> 0;
    if (auto c = sSessionID.compare(o.sSessionID); c != 0) return c <=> 0;
    return sTestID.compare(o.sTestID) <=> 0;
  }
};

enum FileColumn : int {
  kFileID,
  kFileName,
  kFileGender,
  kFileDoB,
  kFileHeight,
  kFileVisits,
  kFileSessions,
  kFileRQVisits,
  kFileRQSessions,
  kFileVisionTests,
  kFileBalanceTests,
  kFileColumns
};
enum BalanceColumn : int {
  kBalNumber,
  kBalVisit,
  kBalSession,
  kBalDateTime,
  kBalName,
  kBalType,
  kBalStatus,
  kBalResults,
  kBalStability,
  kBalDirectionality,
  kBalFatigue,
  kBalParP,
  kBalHeight,
  kBalWeight,
  kBalBMI,
  kBalBMIClass,
  kBalanceColumns
};
enum VisionColumn : int { kVisNumber, kVisVisit, kVisSession, kVisDateTime, kVisName, kVisionColumns };

inline constexpr int kMaxChosenTests = 4;

class ReportsManagerModel {
 public:
  // list: the data-folder list (not owned; read only). hideNames: "HipaaCompliant".
  ReportsManagerModel(const KM_RQList* list, const ReportUnits& units, bool hideNames);
  static ReportsManagerModel fromSettings(const KM_RQList* list);

  const KM_RQList* list() const { return list_; }

  // ---- files, in the order shown ----
  int fileCount() const { return int(fileOrder_.size()); }
  static QString fileHeader(int column);
  QString fileCell(int row, int column) const;
  const KM_RQListFile* fileAt(int row) const;
  void sortFiles(int column, bool ascending);

  // Chooses the file of a row (-1: none); the test grids and the choice start afresh.
  void selectFile(int row);
  const KM_RQListFile* selectedFile() const { return selected_; }
  int selectedFileRow() const;
  // Full path of the chosen subject file.
  QString selectedFilePath() const;

  // ---- tests of the chosen file, in the order shown ----
  int balanceCount() const { return int(balanceOrder_.size()); }
  static QString balanceHeader(int column);
  QString balanceCell(int row, int column) const;
  const KM_RQListTestBalance& balanceAt(int row) const;
  void sortBalance(int column, bool ascending);
  // What the grid says when it holds no test: no file chosen, or none of this kind; else empty.
  QString balanceEmptyText() const;

  int visionCount() const { return int(visionOrder_.size()); }
  static QString visionHeader(int column);
  QString visionCell(int row, int column) const;
  const KM_RQListTestVision& visionAt(int row) const;
  void sortVision(int column, bool ascending);
  QString visionEmptyText() const;

  // ---- the choice ----
  // A click on a test: chooses it, or leaves it out when it was chosen. A fifth test of a kind is
  // refused and the choice stays as it was.
  enum class Toggle { Chosen, LeftOut, Refused };
  Toggle toggleBalance(int row);
  Toggle toggleVision(int row);
  bool balanceChosen(int row) const;
  bool visionChosen(int row) const;
  // 1-based place of the test in the order chosen; 0 when not chosen.
  int balanceChoiceNumber(int row) const;
  int visionChoiceNumber(int row) const;
  const std::vector<ReportTestKey>& chosenBalance() const { return chosenBalance_; }
  const std::vector<ReportTestKey>& chosenVision() const { return chosenVision_; }
  bool canReport() const { return selected_ && (!chosenBalance_.empty() || !chosenVision_.empty()); }
  QString choiceText() const;  // "2 balance and 0 vision tests chosen."

  // After a reprint: the names and notes the results window saved.
  void updateTest(const ReportTestKey& key, const QString& name, const QString& notes);

 private:
  void loadTests();
  ReportTestKey keyOf(const KM_RQListTestBalanceData& r) const;
  ReportTestKey keyOf(const KM_RQListTestVisionData& r) const;

  const KM_RQList* list_;
  ReportUnits units_;
  bool hideNames_;
  std::vector<qint32> fileOrder_;  // list indexes (1-based)
  const KM_RQListFile* selected_ = nullptr;
  std::vector<KM_RQListTestBalance> balance_;  // in file order
  std::vector<KM_RQListTestVision> vision_;
  std::vector<int> balanceOrder_, visionOrder_;
  std::vector<ReportTestKey> chosenBalance_, chosenVision_;
  // Names and notes saved by reprints, by file name, until the list is refreshed.
  std::map<QString, std::map<ReportTestKey, std::pair<QString, QString>>> edits_;
};

}  // namespace tarn
