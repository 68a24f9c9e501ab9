// The reports manager window over a real data-folder list: choosing a file and tests, reporting
// them in reprint mode with the automation notices around it, and what a vanished file does.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QMimeData>

#include "core/settingkeys.h"
#include "core/windows/showmodal.h"
#include "core/wizard.h"
#include "data/lists/list.h"
#include "reports/tests/report_testutil.h"
#include "reports/windows/frmrmanager.h"
#include "testsupport/scriptedmessages.h"

namespace tarn {
namespace {

using namespace reporttest;

struct Folder {
  QString path = sandboxPath("data");
  KM_RQList list;
  Folder() {
    QDir().mkpath(path);
    auto a = makeSubject(day(1970, 4, 4));
    a->subject.sSubjectID = "A-1";
    addSession(*a, day(2024, 3, 1), {{1}, {2}, {3}, {4}});
    addSession(*a, day(2024, 9, 1), {{1}, {2}});
    EXPECT_TRUE(a->Save(path + "/a.kpf"));
    auto b = makeSubject(day(1990, 1, 1));
    b->subject.sSubjectID = "B-2";
    EXPECT_TRUE(b->Save(path + "/b.kpf"));
    list.setWorkerThreads(1);
    list.Refresh(10.0f, path, ".kpf");
  }
};

int rowOf(frmRManager& w, const QString& id) {
  for (int r = 0; r < w.model().fileCount(); ++r)
    if (w.model().fileCell(r, kFileID) == id) return r;
  return -1;
}

class RecordedNotices : public ReportNotices {
 public:
  QStringList events;
  void EnteringReportReprint() override { events << "Entering"; }
  void ExitingReportReprint() override { events << "Exiting"; }
};

TEST(ReportsManagerWindow, ChoosingAFileFillsItsTestsAndThePlot) {
  Folder f;
  frmRManager w(&f.list);
  EXPECT_EQ(w.windowTitle(), QString::fromUtf8("KM TARN™ RQ Reports Manager"));
  EXPECT_EQ(w.grdFiles->model()->rowCount(), 2);
  EXPECT_EQ(w.grdBalance->model()->index(0, 0).data().toString(), "No Subject's File Selected");
  EXPECT_FALSE(w.cmdReport->isEnabled());
  EXPECT_FALSE(w.picProgress->hasData());

  w.grdFiles->selectRow(rowOf(w, "A-1"));
  EXPECT_EQ(w.grdBalance->model()->rowCount(), 6);
  EXPECT_EQ(w.grdVision->model()->index(0, 0).data().toString(),
            "No TARN RQ Vision Tests in Selected Subject's File");
  EXPECT_EQ(w.picProgress->data().pointCount(), 6);
  EXPECT_FALSE(w.cmdReport->isEnabled()) << "a file alone is not enough";
  w.picProgress->CopyToClipboard();
  EXPECT_TRUE(QApplication::clipboard()->mimeData()->hasFormat("image/svg+xml"));
  EXPECT_TRUE(QApplication::clipboard()->mimeData()->hasImage());

  for (int row = 0; row < 5; ++row) w.grdBalance_Click(row);
  EXPECT_EQ(w.model().chosenBalance().size(), 4u);
  EXPECT_EQ(
      w.lblChoice->text(),
      "Up to 4 balance tests can be reported together. Click a chosen test again to leave it out first.");
  EXPECT_TRUE(w.cmdReport->isEnabled());
  EXPECT_TRUE(w.grdBalance->model()->index(0, 0).data(Qt::FontRole).value<QFont>().bold());
  EXPECT_FALSE(w.grdBalance->model()->index(4, 0).data(Qt::BackgroundRole).isValid());

  // Sorting the files keeps the chosen file chosen and shown.
  w.sortFiles(kFileID);
  w.sortFiles(kFileID);  // descending
  EXPECT_EQ(w.model().fileCell(0, kFileID), "B-2");
  EXPECT_EQ(w.grdFiles->currentIndex().row(), rowOf(w, "A-1"));
  EXPECT_EQ(w.model().chosenBalance().size(), 4u);
}

TEST(ReportsManagerWindow, ReportOpensTheChosenTestsForReprintAndSavesTheirNewNames) {
  Folder f;
  RecordedNotices notices;
  frmRManager w(&f.list);
  w.setNotices(&notices);
  w.setRenameEditor([](QWidget*, QString& name) {
    name = "Renamed " + name;
    return true;
  });
  w.grdFiles->selectRow(rowOf(w, "A-1"));
  w.sortBalance(kBalNumber);
  w.sortBalance(kBalNumber);  // descending: row 0 is the last test
  w.grdBalance_Click(0);
  w.grdBalance_Click(5);
  const std::vector<ReportTestKey> chosen = w.model().chosenBalance();
  int shown = 0;
  KMX_cShowModal::setScript([&](QDialog& d) {
    auto& r = static_cast<frmTReport&>(d);
    ++shown;
    EXPECT_TRUE(r.bReprint());
    EXPECT_EQ(notices.events, QStringList{"Entering"});
    EXPECT_EQ(r.model().testCount(), 2);
    // In the order chosen, whatever the sorting.
    EXPECT_EQ(r.model().testList()[0].sTestID, chosen[0].sTestID);
    EXPECT_EQ(r.model().testList()[1].sTestID, chosen[1].sTestID);
    r.renameTest(1);
    r.closeWith(kWizOK);
    return r.result();
  });
  w.cmdReport_Click();
  KMX_cShowModal::setScript({});
  EXPECT_EQ(shown, 1);
  EXPECT_EQ(w.DialogExitButton(), kWizOK);
  EXPECT_EQ(notices.events, (QStringList{"Entering", "Exiting"}));
  // The grid shows the new name at once; the file on disk holds it.
  EXPECT_TRUE(w.model().balanceCell(0, kBalName).startsWith("Renamed "));
  SubjectFile back;
  ASSERT_TRUE(back.Open(f.path + "/a.kpf"));
  const Visit* v = back.VisitByID(chosen[0].sVisitID);
  EXPECT_TRUE(
      v->SessionByID(chosen[0].sSessionID)->BalanceTestByID(chosen[0].sTestID)->sName.startsWith("Renamed "));
}

TEST(ReportsManagerWindow, AVanishedOrChangedFileSaysSoAndChangesNothing) {
  Folder f;
  RecordedNotices notices;
  ScriptedMessages msgs;
  frmRManager w(&f.list);
  w.setNotices(&notices);
  w.grdFiles->selectRow(rowOf(w, "A-1"));
  w.grdBalance_Click(0);
  int shown = 0;
  KMX_cShowModal::setScript([&](QDialog&) { return ++shown, int(kWizCancel); });

  // The file was rewritten without the chosen test since the list was built.
  {
    SubjectFile file;
    ASSERT_TRUE(file.Open(f.path + "/a.kpf"));
    for (const auto& v : file.Visits())
      for (const auto& s : v->Sessions())
        while (s->BalanceTestCount() > 0) s->RemoveBalanceTest(1);
    ASSERT_TRUE(file.Save());
  }
  w.cmdReport_Click();
  ASSERT_EQ(msgs.requests().size(), 1);
  EXPECT_TRUE(msgs.texts()[0].startsWith("None of the chosen tests is in the subject's file any more."));
  EXPECT_EQ(notices.events, (QStringList{"Entering", "Exiting"}));

  ASSERT_TRUE(QFile::remove(f.path + "/a.kpf"));
  w.cmdReport_Click();
  ASSERT_EQ(msgs.requests().size(), 2);
  EXPECT_TRUE(msgs.texts()[1].contains("\"a.kpf\" is no longer in the data folder"));
  EXPECT_EQ(notices.events.size(), 2) << "nothing was reprinted";
  EXPECT_EQ(shown, 0);
  KMX_cShowModal::setScript({});
}

TEST(ReportsManagerWindow, PlacementIsSavedWhenItClosesAndRestoredWhenItOpens) {
  Folder f;
  {
    frmRManager w(&f.list);
    w.show();
    w.setGeometry(40, 50, 1150, 760);
    const QRect r = w.geometry();
    w.close();
    EXPECT_EQ(settings::read(settings::RmanWinPosW), r.width() * 15);
    EXPECT_EQ(settings::read(settings::RmanWinPosH), r.height() * 15);
    EXPECT_EQ(settings::read(settings::RmanWinPosLeft), r.left() * 15);
    EXPECT_EQ(settings::read(settings::RmanWinPosTop), r.top() * 15);
    EXPECT_EQ(settings::read(settings::RmanWinPosStatus), 0);
  }
  settings::write(settings::RmanWinPosStatus, 2);
  frmRManager again(&f.list);
  EXPECT_TRUE(again.windowState() & Qt::WindowMaximized);
}

}  // namespace
}  // namespace tarn
