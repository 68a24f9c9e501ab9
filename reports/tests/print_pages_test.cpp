// The printed pages as page forms: which pages each family prints and in what order, the page
// header, names hidden for privacy, the texts of adult and child reports, and the small rules of
// the printing window.
#include <gtest/gtest.h>

#include "core/settingkeys.h"
#include "reports/printpages.h"
#include "reports/reportmodel.h"
#include "reports/tests/report_testutil.h"
#include "support/strings/strings.h"
#include "support/units/units.h"

namespace tarn {
namespace {

using namespace reporttest;

struct Printed {
  std::unique_ptr<SubjectFile> file;
  std::unique_ptr<ReportModel> model;
  PrintInputs inputs;
};

// A subject born on `birth` with `tests` in one session, the report completed.
Printed report(double birth, const std::vector<TestPlan>& tests, double date = day(2024, 4, 2)) {
  Printed p;
  p.file = makeSubject(birth);
  p.file->subject.sNameMiddle = "Q";
  p.file->subject.sNotes = "Walks with a cane.";
  addSession(*p.file, date, tests);
  p.model = std::make_unique<ReportModel>(p.file.get(), ReportOptions{});
  const Visit* v = p.file->VisitItem(1);
  const Session* s = v->SessionItem(1);
  for (int i = 1; i <= s->BalanceTestCount(); ++i)
    p.model->AddTestBalance(v->sVisitID, s->sSessionID, s->BalanceTestItem(i)->sTestID);
  p.model->AddTestCompleted();
  p.inputs.now = day(2024, 4, 2, 15.5);
  for (int i = 0; i <= p.inputs.comments.lTestCount(); ++i)
    p.inputs.comments.setComment(i, QStringLiteral("item %1").arg(i));
  return p;
}

const std::vector<TestPlan> kFourTests{
    {1, 0.002, 0.003}, {2, 0.004, 0.005}, {3, 0.005, 0.006}, {4, 0.02, 0.02}};

QString textOf(const PageForm& f, const QString& name) {
  const PageItem* i = f.item(name);
  return i ? i->text : QStringLiteral("<hidden>");
}

TEST(PrintPages, PagesFollowTheTicksAndWhatTheReportHas) {
  Printed p = report(day(1950, 8, 20), kFourTests);
  ReportPrintout out(*p.model, p.inputs);
  FamilyChoice all;
  all.print = true;
  const struct {
    std::function<void(FamilyChoice&)> tick;
    QStringList forms;
  } cases[] = {
      {[](FamilyChoice&) {},
       {"frmTRPIPatInfo", "frmTRPIBalance", "frmTRPIBalance", "frmTRPIBalance", "frmTRPIBalance",
        "frmTRPIBalanceComparison"}},  // no vision tests: no vision page
      {[](FamilyChoice& c) {
         c.cover = false, c.balance = {false, true, false, true};
       },
       {"frmTRPIBalance", "frmTRPIBalance", "frmTRPIBalanceComparison"}},
      {[](FamilyChoice& c) { c.comparison = false, c.balance.fill(false); }, {"frmTRPIPatInfo"}},
  };
  for (const auto& c : cases) {
    FamilyChoice choice = all;
    c.tick(choice);
    const FamilyPrintout f = out.PrintFamily(0, choice);
    QStringList forms;
    for (const PageForm& page : f.pages) forms << page.name;
    EXPECT_EQ(forms, c.forms);
    EXPECT_EQ(out.pageCount(choice), c.forms.size());
  }
  // A report of one test has no comparison page even when it is ticked.
  Printed one = report(day(1950, 8, 20), {{1}});
  EXPECT_EQ(ReportPrintout(*one.model, one.inputs).pageCount(all), 2);
}

TEST(PrintPages, CopiesRepeatTheFamiliesInOrderWithNumbersAndIDs) {
  Printed p = report(day(1950, 8, 20), kFourTests);
  ReportPrintout out(*p.model, p.inputs);
  PrintChoice choice;
  choice.copies = 2;
  choice.families[1].print = choice.families[2].print = true;
  choice.families[2].balance = {true, true, false, false};
  const auto run = out.PrintRun(choice);
  ASSERT_EQ(run.size(), 4u);
  EXPECT_EQ(run[0].family, 1);
  EXPECT_EQ(run[1].family, 2);
  EXPECT_EQ(run[2].family, 1);
  EXPECT_EQ(run[3].family, 2);
  EXPECT_EQ(run[1].pages.front().name, "frmTRPEPatInfo");
  ASSERT_EQ(run[1].pages.size(), 4u);
  EXPECT_EQ(textOf(run[1].pages[2], "lblPageCount"), "Page 3 of 4");
  EXPECT_TRUE(run[1].reportID.startsWith("E")) << run[1].reportID.toStdString();
  EXPECT_EQ(textOf(run[1].pages[0], "lblReportNo"), "Report ID: " + run[1].reportID);
  EXPECT_NEAR(run[1].reportID.mid(1).toDouble(), p.inputs.now, 1e-9);

  choice.families[2].pageNums = choice.families[2].reportID = false;
  const FamilyPrintout bare = out.PrintFamily(2, choice.families[2]);
  EXPECT_EQ(textOf(bare.pages[1], "lblPageCount"), "<hidden>");
  EXPECT_EQ(textOf(bare.pages[1], "lblReportNo"), "<hidden>");
}

TEST(PrintPages, PrivacyHidesNameAndBirthDateOnEveryPage) {
  Printed p = report(day(1950, 8, 20), kFourTests);
  PrintChoice choice;
  for (FamilyChoice& f : choice.families) f.print = true;
  const QString birth = ShortDateText(p.file->subject.dtDoB);
  for (bool hipaa : {true, false}) {
    p.inputs.hipaa = hipaa;
    ReportPrintout out(*p.model, p.inputs);
    QString all;
    for (const FamilyPrintout& f : out.PrintRun(choice))
      for (const PageForm& page : f.pages) all += page.text() + '\n';
    EXPECT_EQ(all.contains("Ann"), !hipaa);
    EXPECT_EQ(all.contains("Lee"), !hipaa);
    EXPECT_EQ(all.contains(birth), !hipaa);
    EXPECT_TRUE(all.contains("S-001"));
  }
  p.inputs.hipaa = true;
  const PageForm page = ReportPrintout(*p.model, p.inputs).Print_Balance(0, 0, {});
  EXPECT_EQ(textOf(page, "lblSubjectID"), "Subject's ID: S-001");
  p.inputs.showNames = true;
  const ReportPrintout shown(*p.model, p.inputs);
  EXPECT_EQ(textOf(shown.Print_Balance(0, 0, {}), "lblSubjectID"), "Subject's Name: Lee, Ann Q - ID: S-001");
  EXPECT_EQ(textOf(shown.Print_PatInfo(1, {}, {}), "lbName"), "Name: Lee, Ann Q");
  p.file->subject.sNameLast.clear();
  EXPECT_EQ(shown.subjectName(), "Ann Q");
  p.file->subject.sNameFirst.clear();
  p.file->subject.sNameMiddle.clear();
  EXPECT_EQ(textOf(shown.Print_PatInfo(1, {}, {}), "lbName"), "Name: ");
}

TEST(PrintPages, AdultAndChildReportsPrintTheirOwnTexts) {
  const struct {
    double birth;
    bool adult;
  } cases[] = {{day(1950, 8, 20), true}, {day(2014, 5, 1), false}};
  for (const auto& c : cases) {
    Printed p = report(c.birth, kFourTests);
    ReportPrintout out(*p.model, p.inputs);
    EXPECT_EQ(out.adultReport(), c.adult);
    const PageForm cover = out.Print_PatInfo(1, {}, {});
    EXPECT_EQ(textOf(cover, "lblDescription"), Str(c.adult ? 20210 : 20220));
    EXPECT_EQ(textOf(cover, "lblComments"), c.adult ? "item 24" : "item 25");

    const ReportBalanceTest& b = p.model->balanceTests()[3];
    ASSERT_GT(b.stabilityClass, 0);
    const qint32 bmi = b.test.record.lBMIClass;
    ASSERT_TRUE(c.adult ? bmi >= 6 : (bmi >= 1 && bmi <= 4)) << bmi;
    const PageForm page = out.Print_Balance(2, 3, {});
    EXPECT_EQ(textOf(page, "lblResultsInterpretation"),
              InterpretationText(2, bmi, b.stabilityClass, c.adult));
    const int stabilityItem = 48 + (c.adult ? 5 : 10) + b.stabilityClass;
    const int bmiItem = 48 + (c.adult ? 16 + bmi - 6 : 20 + bmi - 1);
    EXPECT_EQ(textOf(page, "lblNotes"), QStringLiteral("item %1\r\nitem %2").arg(bmiItem).arg(stabilityItem));
    // The clinician's page carries the notes typed in the results window.
    EXPECT_EQ(textOf(out.Print_Balance(0, 3, {}), "lblNotes"), b.notes);
  }
}

TEST(PrintPages, BalancePagesShowTheResultsWindowsValues) {
  Printed p = report(day(1950, 8, 20), kFourTests);
  ReportPrintout out(*p.model, p.inputs);
  const ReportBalanceTest& b = p.model->balanceTests()[1];
  const PageForm full = out.Print_Balance(0, 1, {});
  EXPECT_EQ(textOf(full, "lblTestName"), b.title);
  EXPECT_EQ(textOf(full, "lblStability"), b.rows[RowStability]);
  EXPECT_EQ(textOf(full, "lblMLSway"), b.rows[RowMaxSwayML] + " & " + b.rows[Row95SwayML]);
  EXPECT_EQ(textOf(full, "lblTestParameters"), b.rows[RowDuration] + " @ " + b.rows[RowFrequency]);
  EXPECT_EQ(textOf(full, "lblBalanceNorm(2)"), b.levelLabels[2]);
  const PageItem* own = full.item(QStringLiteral("lblBalanceNorm(%1)").arg(b.stabilityClass - 1));
  ASSERT_NE(own, nullptr);
  EXPECT_TRUE(own->underline && own->bold);
  EXPECT_EQ(full.item("lblStabilityClass")->colour, own->colour);
  EXPECT_NE(full.item("KMXCoPDisplay"), nullptr);

  // The subject's own page keeps seventeen lines and leaves the clinician's measures out.
  const PageForm mine = out.Print_Balance(1, 1, {});
  int headers = 0;
  for (const PageItem& i : mine.items) headers += i.name.endsWith("Header") ? 1 : 0;
  EXPECT_EQ(headers, 17);
  EXPECT_EQ(mine.item("lblTestParameters"), nullptr);
  EXPECT_EQ(mine.item("lblSwayVelocity"), nullptr);
  EXPECT_EQ(textOf(mine, "lblBMIClass"), b.rows[RowBMIClass]);

  const PageForm cmp = out.Print_BalanceComparison(2, {});
  EXPECT_EQ(textOf(cmp, "lblStability(3)"), p.model->balanceTests()[3].rows[RowStability]);
  const auto& romberg = p.model->comparisons().visual.romberg;
  ASSERT_TRUE(romberg.has_value());
  EXPECT_EQ(textOf(cmp, "lblTBCompVisualRomberg"), "Romberg Ratio: " + FormatNumber(*romberg, 3));
  const PageForm cover = out.Print_PatInfo(0, {}, {});
  EXPECT_TRUE(textOf(cover, "lblTestsToC").startsWith("Balance Test 1 - Test Type: NSEO, Test Date: "));
  EXPECT_TRUE(textOf(cover, "lblTestsToC").endsWith("Balance Tests Comparison"));
  EXPECT_EQ(textOf(cover, "lblEvaluation"), p.model->evaluation());
}

TEST(PrintPages, AdditionalDocumentsAreCountedAndListed) {
  Printed p = report(day(1950, 8, 20), kFourTests);
  settings::write(settings::referralDoc(settings::ReportKind::Subject, 0), "/docs/intro.pdf");
  settings::write(settings::referralDoc(settings::ReportKind::Internal, 0), "/docs/internal.pdf");
  ReportPrintout out(*p.model, p.inputs);
  PrintChoice choice;
  choice.families[1].print = true;
  choice.families[1].referrals = true;
  EXPECT_EQ(out.GetItemsCount(choice), 7);  // cover, four balance pages, comparison, one document
  const FamilyPrintout f = out.PrintFamily(1, choice.families[1]);
  ASSERT_EQ(f.documents.size(), 1u);
  EXPECT_TRUE(textOf(f.pages[0], "lblTestsToC").endsWith(Str(20160)));
  choice.families[1].referrals = false;
  EXPECT_EQ(out.GetItemsCount(choice), 6);
}

TEST(PrintWindowRules, PrintersQualityCopiesAndLineBreaks) {
  EXPECT_EQ(PrinterChoices({"Office", " print to file ", "PRINT TO FILE", "Print to File 2", "PDF"}),
            QStringList({"Office", "Print to File 2", "PDF"}));
  EXPECT_EQ(PrintQualityCode(0), -4);
  EXPECT_EQ(PrintQualityCode(1), -1);
  EXPECT_EQ(PrintQualityCode(3), -3);
  for (const auto& [text, copies] :
       std::vector<std::pair<QString, int>>{{" 3 ", 3}, {"0", 1}, {"-2", 1}, {"x", 1}})
    EXPECT_EQ(CopiesFromText(text), copies) << text.toStdString();

  auto chars = [](const QString& s) { return double(s.size()); };
  const QStringList lines = WrapLines("Title\nthe second line is long enough to wrap", 16, chars);
  EXPECT_EQ(lines, QStringList({"Title", "the second line", "is long enough", "to wrap"}));
  EXPECT_EQ(WrapLines("a\r\nb\rc", 10, chars), QStringList({"a", "b", "c"}));
  EXPECT_EQ(WrapLines("unbreakable-word x", 5, chars), QStringList({"unbreakable-word", "x"}));
}

}  // namespace
}  // namespace tarn
