// The results window over a subject file: what the tabs show, the CoP plots, the options menu, the
// closing buttons with their questions, renaming and notes, and the session's results step.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QMimeData>

#include "core/settingkeys.h"
#include "core/windows/showmodal.h"
#include "core/wizard.h"
#include "reports/tests/report_testutil.h"
#include "reports/windows/frmtreport.h"
#include "reports/windows/resultsentry.h"
#include "testsupport/scriptedmessages.h"

namespace tarn {
namespace {

using namespace reporttest;

struct Fixture {
  std::unique_ptr<SubjectFile> file = makeSubject(day(1962, 2, 3));
  Session* session = nullptr;
  QString visitID;
  explicit Fixture(std::vector<TestPlan> tests = {
                       {1, 0.003, 0.004}, {2, 0.004, 0.006}, {3, 0.005, 0.007}, {4, 0.02, 0.025}}) {
    addSession(*file, day(2024, 9, 9), tests);
    session = file->VisitItem(1)->SessionItem(1);
    visitID = file->VisitItem(1)->sVisitID;
  }
  void fill(frmTReport& w, bool reprint = false) {
    w.setReprint(reprint);
    w.setPatientFile(file.get());
    for (const auto& t : session->BalanceTests()) w.AddTestBalance(visitID, session->sSessionID, t->sTestID);
    w.AddTestCompleted();
  }
};

TEST(ResultsWindow, TabsGridsAndLevelsShowTheModel) {
  Fixture f;
  frmTReport w;
  f.fill(w);
  EXPECT_EQ(w.windowTitle(), QString::fromUtf8("KM TARN™ RQ - Test Reports"));
  const ReportModel& m = w.model();
  ASSERT_EQ(m.balanceTests().size(), 4u);
  for (int t = 0; t < kReportTabs; ++t) EXPECT_EQ(w.tabs->isTabEnabled(t), m.tabEnabled(t)) << t;
  EXPECT_EQ(w.tabs->currentIndex(), 1);
  for (int k = 1; k <= 4; ++k) {
    const ReportBalanceTest& b = m.balanceTests()[size_t(k - 1)];
    EXPECT_EQ(w.lblTBTitle[size_t(k)]->text(), b.title);
    EXPECT_EQ(w.lblTBType[size_t(k)]->text(), b.typeLine);
    for (int r = 1; r <= kResultRows; ++r) {
      EXPECT_EQ(w.grdTBResults[size_t(k)]->item(r - 1, 0)->text(), ResultRowLabel(r));
      EXPECT_EQ(w.grdTBResults[size_t(k)]->item(r - 1, 1)->text(), b.rows[size_t(r)]);
      EXPECT_EQ(w.grdTBResults[0]->item(r - 1, k)->text(), b.rows[size_t(r)]) << "comparison row " << r;
    }
    // The class cell takes the class colour; the class's reference value is bold.
    const quint32 c = StabilityClassColour(b.stabilityClass);
    EXPECT_EQ(w.grdTBResults[size_t(k)]->item(RowStabilityClass - 1, 1)->background().color(),
              QColor(int(c & 0xff), int((c >> 8) & 0xff), int(c >> 16)));
    for (int cls = 0; cls < 5; ++cls) {
      EXPECT_EQ(w.lblTBNorm[size_t(k)][size_t(cls)]->text(), b.levelLabels[size_t(cls)]);
      EXPECT_EQ(w.lblTBNorm[size_t(k)][size_t(cls)]->font().bold(), cls + 1 == b.stabilityClass);
    }
  }
  EXPECT_EQ(w.grdTBResults[0]->columnCount(), 5);
  EXPECT_TRUE(w.grdTBResults[0]->horizontalHeaderItem(2)->text().startsWith("Test 2\n"));
  EXPECT_EQ(w.lblTBCompVisualRomberg->text(), RombergRatioText(m.comparisons().visual.romberg));
  EXPECT_EQ(w.lblTBCompFoamSR->text(), StabilityRatioText(m.comparisons().perturbation.stability));
  EXPECT_EQ(w.txtEvaluation->toPlainText(), f.session->sEvaluation);
  EXPECT_FALSE(w.txtEvaluation->isReadOnly());
  EXPECT_TRUE(w.lblEvalIntervNotes->text().isEmpty());
  EXPECT_TRUE(w.cmdBack->isVisibleTo(&w));
  w.setReprint(true);
  EXPECT_FALSE(w.cmdBack->isVisibleTo(&w));
  EXPECT_FALSE(w.cmdNext->isVisibleTo(&w));
}

TEST(ResultsWindow, PlotsHoldTheTraceTheClassRingsAndTheStoredOptions) {
  settings::write(settings::ReportCoPGridStyle, 1);
  settings::write(settings::ReportCoPGridStep, 9);  // 1 in
  settings::write(settings::ReportCoPEllipseON, 0);
  Fixture f;
  frmTReport w;
  f.fill(w);
  const ReportBalanceTest& b = w.model().balanceTests()[0];
  KMXCoPDisplay* d = w.KMXCoPDisplayTB[1];
  EXPECT_EQ(d->pointCount(), int(CoPPoints(*b.test.samples, 10.0f).size()));
  EXPECT_EQ(d->GridStyle(), 1);
  EXPECT_DOUBLE_EQ(d->GridStep(), 0.0254);
  EXPECT_FALSE(d->EllipseVisible());
  EXPECT_TRUE(d->LoSVisible());
  EXPECT_DOUBLE_EQ(d->LoSX(), b.losML);
  ASSERT_EQ(d->referenceLevels().size(), 5u);
  EXPECT_NEAR(d->referenceLevels()[0].fraction, 1.0 - b.limits->L1 / 100.0, 1e-12);
  EXPECT_NEAR(d->referenceLevels()[3].fraction, 1.0 - b.limits->L4 / 100.0, 1e-12);
  EXPECT_EQ(d->referenceLevels()[4].fraction, 1.0);
  EXPECT_EQ(d->referenceLevels()[0].colour, QColor(0, 255, 0));
  EXPECT_EQ(d->referenceLevels()[4].colour, QColor(255, 0, 255));
  // Scaled to the sway: the view is the trace's extent with a margin.
  const auto view = ScaleToSway(CoPPoints(*b.test.samples, 10.0f));
  EXPECT_DOUBLE_EQ(d->Display_XWidth(), view->width);
  EXPECT_DOUBLE_EQ(d->Display_Xo(), view->xo);

  settings::writeBool(settings::ReportCoPScaleToSway, false);
  frmTReport unscaled;
  f.fill(unscaled);
  EXPECT_DOUBLE_EQ(unscaled.KMXCoPDisplayTB[1]->Display_XWidth(), KMXCoPDisplay::Settings{}.displayXWidth);
}

TEST(ResultsWindow, OptionsMenuActsOnTheCurrentPlotAndRemembers) {
  Fixture f;
  frmTReport w;
  f.fill(w);
  w.tabs->setCurrentIndex(2);
  KMXCoPDisplay* d = w.KMXCoPDisplayTB[2];
  ReportCoPMenu* m = w.mnuCoPOptions;
  ASSERT_EQ(m->display(), d);
  m->gridIntervalActions[11]->trigger();  // "1/4 in"
  EXPECT_EQ(m->gridIntervalActions[11]->text(), "1/4 in");
  EXPECT_DOUBLE_EQ(d->GridStep(), 0.00635);
  EXPECT_EQ(settings::read(settings::ReportCoPGridStep), 11);
  EXPECT_DOUBLE_EQ(w.KMXCoPDisplayTB[1]->GridStep(), 0.01) << "the other plots keep theirs";
  m->gridStyleActions[3]->trigger();
  EXPECT_EQ(d->GridStyle(), 3);
  EXPECT_EQ(settings::read(settings::ReportCoPGridStyle), 3);
  const bool trace = d->PathVisible();
  m->actTrace->trigger();
  EXPECT_EQ(d->PathVisible(), !trace);
  EXPECT_EQ(settings::readBool(settings::ReportCoPTraceON), !trace);
  const double width = d->Display_XWidth();
  m->actZoomIn->trigger();
  EXPECT_NEAR(d->Display_XWidth(), width / std::sqrt(2.0), 1e-12);
  m->actZoomOut->trigger();
  EXPECT_NEAR(d->Display_XWidth(), width, 1e-12);
  for (QAction* hidden : {m->actFullScreen, m->actTargetTrace, m->actRecenter, m->actClear})
    EXPECT_FALSE(hidden->isVisible());
  m->actCopy->trigger();
  EXPECT_TRUE(QApplication::clipboard()->mimeData()->hasFormat("image/svg+xml"));
  w.tabs->setCurrentIndex(kTabComparison);
  EXPECT_EQ(m->display(), nullptr);
}

TEST(ResultsWindow, ExpandingAPlotCoversTheGridAndCopyingAGridGivesItsText) {
  Fixture f;
  frmTReport w;
  f.fill(w);
  w.show();
  w.toggleExpanded(1);
  EXPECT_FALSE(w.grdTBResults[1]->isVisible());
  EXPECT_FALSE(w.txtTBNotes[1]->isVisible());
  w.toggleExpanded(1);
  EXPECT_TRUE(w.grdTBResults[1]->isVisible());
  w.copyGrid(1);
  const QStringList lines = QApplication::clipboard()->text().split('\n', Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 1 + kResultRows);
  EXPECT_EQ(lines[0], "Datum\tValue");
  EXPECT_EQ(lines[RowStability], "Stability Score\t" + w.model().balanceTests()[0].rows[RowStability]);
  w.hide();
}

// Closing: which buttons ask, what each leaves, and what reaches the file.
struct CloseCase {
  const char* name;
  bool reprint;
  bool edit;
  int button;
  std::vector<MsgResult> answers;
  int questions;
  bool closes;
  bool fileSaved;
};

void PrintTo(const CloseCase& c, std::ostream* os) { *os << c.name; }

class ResultsClosing : public ::testing::TestWithParam<CloseCase> {};

TEST_P(ResultsClosing, ButtonsAskAndLeaveTheirCode) {
  const CloseCase& c = GetParam();
  Fixture f;
  const QString path = sandboxPath("closing.kpf");
  ASSERT_TRUE(f.file->Save(path));
  ScriptedMessages msgs;
  for (MsgResult a : c.answers) msgs.answer(a);
  frmTReport w;
  f.fill(w, c.reprint);
  w.show();
  if (c.edit) w.txtTBNotes[2]->setPlainText("Changed notes");
  w.closeWith(c.button);
  EXPECT_EQ(msgs.requests().size(), size_t(c.questions));
  EXPECT_EQ(msgs.unexpected(), 0);
  EXPECT_EQ(w.isVisible(), !c.closes);
  EXPECT_EQ(w.DialogExitButton(), c.closes ? c.button : int(kWizNone));
  if (c.closes) {
    EXPECT_EQ(w.result(), c.button);
  }
  SubjectFile back;
  ASSERT_TRUE(back.Open(path));
  EXPECT_EQ(back.VisitItem(1)->SessionItem(1)->BalanceTestItem(2)->sNotes == "Changed notes", c.fileSaved);
  // Saving buttons write the edits into the file object whatever the mode.
  const bool saving = c.button == kWizOK || c.button == kWizNext;
  EXPECT_EQ(f.session->BalanceTestItem(2)->sNotes == "Changed notes", c.edit && saving);
  EXPECT_EQ(w.wroteChanges(), c.edit && saving);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ResultsClosing,
    ::testing::Values(
        CloseCase{"TestingOK", false, true, kWizOK, {}, 0, true, false},
        CloseCase{"TestingNext", false, false, kWizNext, {}, 0, true, false},
        CloseCase{"TestingBackDoesNotAsk", false, true, kWizBack, {}, 0, true, false},
        CloseCase{"TestingCancelKept", false, false, kWizCancel, {MsgResult::No}, 1, false, false},
        CloseCase{"TestingCancelConfirmed", false, false, kWizCancel, {MsgResult::Yes}, 1, true, false},
        CloseCase{"ReprintOKSavesTheFile", true, true, kWizOK, {}, 0, true, true},
        CloseCase{"ReprintCancelUnchangedDoesNotAsk", true, false, kWizCancel, {}, 0, true, false},
        CloseCase{"ReprintCancelChangedKept", true, true, kWizCancel, {MsgResult::No}, 1, false, false},
        CloseCase{"ReprintCancelChangedLeft", true, true, kWizCancel, {MsgResult::Yes}, 1, true, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ResultsWindow, AFailedSaveOfAReprintKeepsTheWindowOpen) {
  Fixture f;
  ScriptedMessages msgs;
  frmTReport w;
  w.setFileSaver([](SubjectFile&, QString& error) {
    error = "disk full";
    return false;
  });
  f.fill(w, true);
  w.show();
  w.txtEvaluation->setPlainText("New evaluation");
  w.closeWith(kWizOK);
  EXPECT_TRUE(w.isVisible());
  ASSERT_EQ(msgs.requests().size(), 1);
  EXPECT_TRUE(msgs.texts()[0].contains("disk full"));
  EXPECT_EQ(w.DialogExitButton(), int(kWizNone));
  w.hide();
}

TEST(ResultsWindow, RenamingThroughTheDialogChangesTitleComparisonAndRecord) {
  Fixture f;
  frmTReport w;
  int asked = 0;
  w.setRenameEditor([&](QWidget*, QString& name) {
    ++asked;
    EXPECT_EQ(name, "Test 3");
    name = "  Foam, eyes open ";
    return true;
  });
  f.fill(w);
  w.renameTest(3);
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(w.lblTBTitle[3]->text(), "Foam, eyes open");
  EXPECT_EQ(w.grdTBResults[0]->horizontalHeaderItem(3)->text(), "Test 3\nFoam, eyes open");
  EXPECT_EQ(f.session->BalanceTestItem(3)->sName, "Test 3") << "only a save writes the record";
  w.closeWith(kWizNext);
  EXPECT_EQ(f.session->BalanceTestItem(3)->sName, "Foam, eyes open");
  // An editor that refuses, or a blank name, leaves the title.
  frmTReport other;
  other.setRenameEditor([](QWidget*, QString& name) {
    name = "   ";
    return true;
  });
  f.fill(other);
  other.renameTest(1);
  EXPECT_EQ(other.lblTBTitle[1]->text(), "Test 1");
}

TEST(ResultsWindow, NoSubjectFileUnloadsAndTestsFromTwoSessionsKeepTheTextsReadOnly) {
  Fixture f;
  addSession(*f.file, day(2024, 10, 1), {{1}});
  frmTReport w;
  w.setPatientFile(f.file.get());
  for (const auto& v : f.file->Visits())
    for (const auto& s : v->Sessions())
      for (const auto& t : s->BalanceTests()) w.AddTestBalance(v->sVisitID, s->sSessionID, t->sTestID);
  w.AddTestCompleted();
  EXPECT_TRUE(w.lblNotShown->isVisibleTo(&w)) << "five tests, four tabs";
  EXPECT_TRUE(w.txtEvaluation->isReadOnly());
  EXPECT_EQ(w.lblEvalIntervNotes->text(),
            "These will not be saved because tests are from different visits/sessions.");
  w.show();
  w.setPatientFile(nullptr);
  EXPECT_FALSE(w.isVisible());
}

TEST(SessionResults, ShowsEveryTestOfTheSessionAndReportsTheCodeAndChanges) {
  Fixture f({{1}, {2}});
  f.session->AddVisionTest()->sName = "Acuity";
  int shown = 0;
  KMX_cShowModal::setScript([&](QDialog& d) {
    auto& w = static_cast<frmTReport&>(d);
    ++shown;
    EXPECT_EQ(w.model().testCount(), 3);
    EXPECT_TRUE(w.tabs->isTabEnabled(kTabVision));
    EXPECT_EQ(w.grdVision->item(0, 0)->text(), "Acuity");
    EXPECT_TRUE(w.cmdNext->isVisibleTo(&w));
    w.txtTBNotes[1]->setPlainText("Swayed forward");
    w.closeWith(kWizNext);
    return w.result();
  });
  const SessionResultsOutcome out = ShowSessionResults(nullptr, *f.file, *f.session);
  KMX_cShowModal::setScript({});
  EXPECT_EQ(shown, 1);
  EXPECT_EQ(out.button, kWizNext);
  EXPECT_TRUE(out.dataChanged);
  EXPECT_EQ(f.session->BalanceTestItem(1)->sNotes, "Swayed forward");
}

}  // namespace
}  // namespace tarn
