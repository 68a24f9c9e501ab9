// The reports manager's lists and choice, and the progress over time, from a real data-folder list.
#include <gtest/gtest.h>

#include <QDir>

#include "balance/norms/norms.h"
#include "data/lists/list.h"
#include "reports/progress.h"
#include "reports/rmanagermodel.h"
#include "reports/tests/report_testutil.h"
#include "support/units/units.h"

namespace tarn {
namespace {

using namespace reporttest;

// Three subjects: two visits of four tests, one visit of one test, and a file without tests.
struct Folder {
  QString path = sandboxPath("data");
  KM_RQList list;
  Folder() {
    QDir().mkpath(path);
    auto a = makeSubject(day(1984, 5, 20), kSexFemale);
    a->subject.sNameLast = "Zeller";
    a->subject.sSubjectID = "Z-1";
    addSession(*a, day(2023, 11, 2),
               {{1, 0.003, 0.004}, {2, 0.004, 0.006}, {3, 0.005, 0.007}, {4, 0.008, 0.011}});
    addSession(*a, day(2024, 6, 20),
               {{1, 0.002, 0.003}, {2, 0.003, 0.004}, {3, 0.004, 0.005}, {4, 0.006, 0.008}});
    EXPECT_TRUE(a->Save(path + "/a.kpf"));
    auto b = makeSubject(day(1950, 1, 1), kSexMale);
    b->subject.sNameLast = "Adams";
    b->subject.sSubjectID = "A-2";
    addSession(*b, day(2024, 1, 5), {{2}});
    EXPECT_TRUE(b->Save(path + "/b.kpf"));
    auto c = makeSubject(clock::kMissingDate, kSexNotGiven);
    c->subject.sNameLast = "Moss";
    c->subject.sSubjectID = "M-3";
    EXPECT_TRUE(c->Save(path + "/c.kpf"));
    list.setWorkerThreads(1);
    list.Refresh(10.0f, path, ".kpf");
  }
  int rowOf(const ReportsManagerModel& m, const QString& id) const {
    for (int r = 0; r < m.fileCount(); ++r)
      if (m.fileCell(r, kFileID) == id) return r;
    return -1;
  }
};

TEST(ReportsManager, FilesAreListedFromTheListWithNamesHiddenOnRequest) {
  Folder f;
  ASSERT_EQ(f.list.lFilesCount(), 3);
  ReportsManagerModel shown(&f.list, ReportUnits{}, false);
  ReportsManagerModel hidden(&f.list, ReportUnits{}, true);
  const int z = f.rowOf(shown, "Z-1");
  ASSERT_GE(z, 0);
  EXPECT_EQ(shown.fileCell(z, kFileName), "Zeller, Ann");
  EXPECT_EQ(hidden.fileCell(z, kFileName), "(Hidden)");
  EXPECT_EQ(shown.fileCell(z, kFileGender), "F");
  EXPECT_EQ(shown.fileCell(z, kFileHeight), "1.750 m");
  EXPECT_EQ(shown.fileCell(z, kFileVisits), "2");
  EXPECT_EQ(shown.fileCell(z, kFileBalanceTests), "8");
  const int m = f.rowOf(shown, "M-3");
  EXPECT_EQ(shown.fileCell(m, kFileGender), "N/A");
  EXPECT_EQ(shown.fileCell(m, kFileDoB), "N/A");
  EXPECT_EQ(shown.fileCell(m, kFileHeight), "N/A");
  EXPECT_EQ(ReportsManagerModel::fileHeader(kFileBalanceTests), "Balance Tests");

  // Sorting: names by last name even when hidden, counts as numbers, both ways.
  hidden.sortFiles(kFileName, true);
  EXPECT_EQ(hidden.fileCell(0, kFileID), "A-2");
  EXPECT_EQ(hidden.fileCell(2, kFileID), "Z-1");
  shown.sortFiles(kFileBalanceTests, false);
  EXPECT_EQ(shown.fileCell(0, kFileID), "Z-1");
  EXPECT_EQ(shown.fileCell(2, kFileID), "M-3");
}

TEST(ReportsManager, TestsOfTheChosenFileAndWhatTheGridsSayWithout) {
  Folder f;
  ReportsManagerModel m(&f.list, ReportUnits{4, 3, 1}, false);
  EXPECT_EQ(m.balanceEmptyText(), "No Subject's File Selected");
  EXPECT_EQ(m.visionEmptyText(), "No Subject's File Selected");
  EXPECT_FALSE(m.canReport());
  m.selectFile(f.rowOf(m, "M-3"));
  EXPECT_EQ(m.balanceCount(), 0);
  EXPECT_EQ(m.balanceEmptyText(), "No TARN RQ Balance Tests in Selected Subject's File");
  EXPECT_EQ(m.visionEmptyText(), "No TARN RQ Vision Tests in Selected Subject's File");

  m.selectFile(f.rowOf(m, "Z-1"));
  ASSERT_EQ(m.balanceCount(), 8);
  EXPECT_TRUE(m.balanceEmptyText().isEmpty());
  EXPECT_EQ(m.balanceCell(1, kBalNumber), "2");
  EXPECT_EQ(m.balanceCell(1, kBalType), "NSEC");
  EXPECT_EQ(m.balanceCell(1, kBalStatus), "Completed");
  EXPECT_EQ(m.balanceCell(1, kBalHeight), "175.0 cm");
  EXPECT_EQ(m.balanceCell(1, kBalWeight), "158 lb 12 oz");
  EXPECT_EQ(m.balanceCell(1, kBalBMIClass), "Normal");
  const KM_RQListTestBalance& r = m.balanceAt(1);
  EXPECT_EQ(m.balanceCell(1, kBalStability), FormatNumber(StabilityScorePercent(r.fStability), 1) + "%");
  EXPECT_EQ(m.balanceCell(1, kBalResults), StabilityClassName(r.lStabilityClass));
  EXPECT_TRUE(m.balanceCell(1, kBalDirectionality).endsWith("%"));
}

TEST(ReportsManager, AtMostFourTestsOfAKindAreChosenAndSortingKeepsThem) {
  Folder f;
  ReportsManagerModel m(&f.list, ReportUnits{}, false);
  m.selectFile(f.rowOf(m, "Z-1"));
  using T = ReportsManagerModel::Toggle;
  for (int row = 0; row < 4; ++row) EXPECT_EQ(m.toggleBalance(row), T::Chosen);
  EXPECT_EQ(m.toggleBalance(6), T::Refused);
  EXPECT_EQ(m.chosenBalance().size(), 4u);
  EXPECT_FALSE(m.balanceChosen(6));
  EXPECT_EQ(m.toggleBalance(1), T::LeftOut);
  EXPECT_EQ(m.toggleBalance(6), T::Chosen);
  EXPECT_EQ(m.choiceText(), "4 balance and 0 vision tests chosen.");
  const std::vector<ReportTestKey> chosen = m.chosenBalance();
  EXPECT_EQ(chosen[3].sTestID, m.balanceAt(6).sTestID);

  // Sorted by stability: the same tests are chosen, in the same order, wherever they now stand.
  m.sortBalance(kBalStability, true);
  EXPECT_EQ(m.chosenBalance(), chosen);
  int marked = 0;
  for (int row = 0; row < m.balanceCount(); ++row) {
    const int place = m.balanceChoiceNumber(row);
    if (place == 0) continue;
    ++marked;
    EXPECT_EQ(m.balanceAt(row).sTestID, chosen[size_t(place - 1)].sTestID);
  }
  EXPECT_EQ(marked, 4);
  for (int row = 1; row < m.balanceCount(); ++row)
    EXPECT_LE(m.balanceAt(row - 1).fStability, m.balanceAt(row).fStability);

  // Another file starts a fresh choice; the names saved by a reprint show until the next refresh.
  m.selectFile(f.rowOf(m, "A-2"));
  EXPECT_TRUE(m.chosenBalance().empty());
  m.selectFile(f.rowOf(m, "Z-1"));
  m.updateTest(chosen[0], "Renamed", "New notes");
  m.selectFile(-1);
  m.selectFile(f.rowOf(m, "Z-1"));
  bool found = false;
  for (int row = 0; row < m.balanceCount(); ++row)
    if (m.balanceAt(row).sTestID == chosen[0].sTestID && m.balanceAt(row).sVisitID == chosen[0].sVisitID) {
      found = true;
      EXPECT_EQ(m.balanceCell(row, kBalName), "Renamed");
    }
  EXPECT_TRUE(found);
}

TEST(Progress, ScoresByDateOverTheBandsOfTheSubjectsAge) {
  // Born 20 May 1984: 39 at the first visit, 40 at the second, so the NormsVersion 3 bands change on
  // the 40th birthday between the two.
  Folder f;
  ReportsManagerModel m(&f.list, ReportUnits{}, false);
  const KM_RQListFile* z = m.fileAt(f.rowOf(m, "Z-1"));
  const ProgressData d = BuildProgress(*z, 3);
  EXPECT_TRUE(d.hasBirth);
  EXPECT_EQ(d.pointCount(), 8);
  const ProgressSeries& nseo = d.series[0];
  ASSERT_EQ(nseo.points.size(), 2u);
  EXPECT_LT(nseo.points[0].date, nseo.points[1].date);
  ASSERT_EQ(nseo.bands.size(), 2u);
  EXPECT_DOUBLE_EQ(nseo.bands[0].to, day(2024, 5, 20, 0));
  EXPECT_DOUBLE_EQ(nseo.bands[0].limits.L1, 90.3);
  EXPECT_DOUBLE_EQ(nseo.bands[1].limits.L1, 91.5);
  EXPECT_DOUBLE_EQ(nseo.bands[0].from, d.from);
  EXPECT_DOUBLE_EQ(nseo.bands[1].to, d.to);
  EXPECT_LE(d.from, nseo.points[0].date);
  EXPECT_GE(d.to, nseo.points[1].date);
  for (const ProgressSeries& s : d.series) {
    EXPECT_EQ(std::fmod(s.scoreMin, 10.0), 0.0);
    for (const ProgressBand& b : s.bands) EXPECT_LE(s.scoreMin, b.limits.L4 - 5.0);
    for (const ProgressPoint& p : s.points) {
      EXPECT_GE(p.cls, 1);
      EXPECT_LE(s.scoreMin, p.score - 5.0);
    }
  }
  // NSEO's limits stay high; PSEC's reach much lower.
  EXPECT_GT(d.series[0].scoreMin, d.series[3].scoreMin);

  // Without a birth date the scores still show, without bands or classes.
  KM_RQListFile noBirth;
  noBirth.MakeCopy(*z);
  noBirth.dtSubjDoB = clock::kMissingDate;
  const ProgressData n = BuildProgress(noBirth, 3);
  EXPECT_FALSE(n.hasBirth);
  EXPECT_EQ(n.pointCount(), 8);
  for (const ProgressSeries& s : n.series) {
    EXPECT_TRUE(s.bands.empty());
    for (const ProgressPoint& p : s.points) EXPECT_EQ(p.cls, 0);
  }
  // A file without tests has nothing to plot.
  EXPECT_EQ(BuildProgress(*m.fileAt(f.rowOf(m, "M-3")), 3).pointCount(), 0);
}

}  // namespace
}  // namespace tarn
