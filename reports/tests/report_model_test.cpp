// The report over several tests: the test list and adult flags, the report's visit and session,
// the worst class, the dependency ratios, the tabs, and the edits written back into the file.
#include <gtest/gtest.h>

#include "balance/norms/norms.h"
#include "reports/reportmodel.h"
#include "reports/tests/report_testutil.h"
#include "support/units/units.h"

namespace tarn {
namespace {

using namespace reporttest;

struct Report {
  std::unique_ptr<SubjectFile> file;
  ReportModel model;
};

// Adds every balance test of every session, in file order.
void addAll(ReportModel& m, const SubjectFile& f) {
  for (const auto& v : f.Visits())
    for (const auto& s : v->Sessions())
      for (const auto& t : s->BalanceTests())
        ASSERT_TRUE(m.AddTestBalance(v->sVisitID, s->sSessionID, t->sTestID));
}

AnalysisResult analyse(const BalanceTest& t) {
  AnalysisResult a;
  AnalyseBalanceTest(0, t.TestData()->Count() - 1, -10.0f, *t.TestData(), PlateGeometry{}, t.lStance, t.fLoSX,
                     t.fLoSY, StanceFactors{}, a, true, true);
  return a;
}

TEST(ReportModel, FourTestTypesGiveTheDependenciesAndTheWorstClass) {
  const double birth = day(1950, 8, 20);
  auto f = makeSubject(birth);
  // Sway grows with closed eyes and on foam, most with both.
  addSession(*f, day(2024, 4, 2),
             {{1, 0.002, 0.003}, {2, 0.004, 0.005}, {3, 0.005, 0.006}, {4, 0.025, 0.03}});
  ReportModel m(f.get(), ReportOptions{});
  addAll(m, *f);
  m.AddTestCompleted();
  ASSERT_EQ(m.balanceTests().size(), 4u);

  const Session* s = f->VisitItem(1)->SessionItem(1);
  std::array<AnalysisResult, 4> a;
  for (int k = 0; k < 4; ++k) a[size_t(k)] = analyse(*s->BalanceTestItem(k + 1));
  auto path = [&](int k) { return double(float(a[size_t(k)].fPathLength)); };
  auto score = [&](int k) { return double(float(a[size_t(k)].fStability)); };
  auto area = [&](int k) { return double(float(a[size_t(k)].f95Area)); };
  const ReportComparisons& c = m.comparisons();
  // Visual: eyes closed over eyes open on each surface; perturbation: foam over firm for each eye.
  EXPECT_NEAR(*c.visual.romberg, (path(1) / path(0) + path(3) / path(2)) / 2, 1e-9);
  EXPECT_NEAR(*c.visual.stability, (score(1) / score(0) + score(3) / score(2)) / 2, 1e-9);
  EXPECT_NEAR(*c.visual.area, (area(1) / area(0) + area(3) / area(2)) / 2, 1e-9);
  EXPECT_NEAR(*c.perturbation.romberg, (path(2) / path(0) + path(3) / path(1)) / 2, 1e-9);
  EXPECT_NEAR(*c.perturbation.stability, (score(2) / score(0) + score(3) / score(1)) / 2, 1e-9);
  EXPECT_GT(*c.visual.romberg, 1.0);
  EXPECT_EQ(RombergRatioText(c.visual.romberg), "Romberg Ratio: " + FormatNumber(*c.visual.romberg, 3));

  // The worst class is that of the lowest score, here the perturbed eyes-closed test.
  int worst = 0;
  for (int k = 0; k < 4; ++k) {
    double L1, L2, L3, L4;
    ASSERT_TRUE(NormsLookup(AgeInYears(birth, s->BalanceTestItem(k + 1)->dtDate), k + 1, L1, L2, L3, L4, 3));
    const int cls = int(NormsClassOf(StabilityScorePercent(float(a[size_t(k)].fStability)), L1, L2, L3, L4));
    EXPECT_EQ(m.balanceTests()[size_t(k)].stabilityClass, cls) << k;
    worst = std::max(worst, cls);
  }
  EXPECT_EQ(m.worstStabilityClass(), worst);
  EXPECT_GT(worst, 1) << "the test data should reach a reduced class";
  EXPECT_EQ(m.reportVisitID(), f->VisitItem(1)->sVisitID);
  EXPECT_TRUE(m.sameVisitAndSession());
  EXPECT_EQ(m.bmiClass(), 7);  // 72 kg at 1.75 m: an adult of normal weight
  for (int tab = 1; tab <= 6; ++tab) EXPECT_TRUE(m.tabEnabled(tab)) << tab;
  EXPECT_FALSE(m.tabEnabled(kTabVision));
  EXPECT_EQ(m.firstEnabledTab(), 1);
}

TEST(ReportModel, RatiosWithoutPairsOrWithZeroMeans) {
  auto rec = [](qint32 type, float stability, float path, float area) {
    KM_RQListTestBalanceData r;
    r.lTestType = type;
    r.fStability = stability;
    r.fPlen = path;
    r.f95Area = area;
    return r;
  };
  // Only eyes-open tests: no visual pair; the perturbation quotient uses the stand-ins for zero.
  const auto nseo = rec(1, 0.0f, 0.0f, 0.0f), pseo = rec(3, 0.5f, 0.5f, 0.0002f);
  ReportComparisons c = CompareTestTypes({&nseo, &pseo});
  EXPECT_FALSE(c.visual.romberg && c.visual.stability && c.visual.area);
  EXPECT_EQ(RombergRatioText(c.visual.romberg), "Romberg Ratio: N/A");
  EXPECT_EQ(StabilityRatioText(c.visual.stability), "Stability Ratio: N/A");
  EXPECT_DOUBLE_EQ(*c.perturbation.stability, 0.5 / 0.001);
  EXPECT_DOUBLE_EQ(*c.perturbation.romberg, 0.5 / 0.0001);
  EXPECT_NEAR(*c.perturbation.area, 0.0002 / 0.0001, 1e-6);
  // Two tests of a type are averaged before the quotient.
  const auto a = rec(1, 0.9f, 0.2f, 1e-4f), b = rec(1, 0.8f, 0.4f, 3e-4f), e = rec(2, 0.6f, 0.9f, 4e-4f);
  c = CompareTestTypes({&a, &b, &e});
  EXPECT_EQ(c.types[0].count, 2);
  EXPECT_NEAR(*c.visual.romberg, 0.9f / ((0.2f + 0.4f) / 2.0), 1e-6);
  EXPECT_FALSE(c.perturbation.romberg);
}

TEST(ReportModel, EqualLowestScoresFromTwoSessionsKeepTheFirstAndDoNotSaveTheTexts) {
  auto f = makeSubject(day(1985, 1, 1));
  addSession(*f, day(2023, 1, 10), {{1, 0.004, 0.005}});
  addSession(*f, day(2024, 1, 10), {{1, 0.004, 0.005}});  // the same recording: the same score
  ReportModel m(f.get(), ReportOptions{});
  addAll(m, *f);
  m.AddTestCompleted();
  ASSERT_EQ(m.balanceTests().size(), 2u);
  ASSERT_EQ(m.balanceTests()[0].test.record.fStability, m.balanceTests()[1].test.record.fStability);
  EXPECT_EQ(m.reportVisitID(), f->VisitItem(1)->sVisitID);
  EXPECT_FALSE(m.sameVisitAndSession());
  EXPECT_FALSE(m.evalIntervSaved());
  EXPECT_EQ(m.evalIntervNote(), "These will not be saved because tests are from different visits/sessions.");
  EXPECT_EQ(m.evaluation(), "Evaluation of " + f->VisitItem(1)->sVisitID);
  m.setEvaluation("changed");
  EXPECT_FALSE(m.fnDataChanged());
  ASSERT_TRUE(m.fnDataSave());
  EXPECT_EQ(f->VisitItem(1)->SessionItem(1)->sEvaluation, "Evaluation of " + f->VisitItem(1)->sVisitID);
  EXPECT_TRUE(m.balanceTests()[0].inReportSession);
  EXPECT_FALSE(m.balanceTests()[1].inReportSession);
}

TEST(ReportModel, TestListAdultFlagsAndSkippedTests) {
  // The 20th birthday falls one day after the first test.
  const double birth = day(2004, 3, 11);
  auto f = makeSubject(birth);
  addSession(*f, day(2024, 3, 10), {{1}});
  addSession(*f, day(2024, 3, 12), {{2}});
  const Visit* v1 = f->VisitItem(1);
  const Visit* v2 = f->VisitItem(2);
  ReportModel m(f.get(), ReportOptions{});
  EXPECT_FALSE(m.AddTestBalance("V19999", v1->SessionItem(1)->sSessionID, "B10001"));
  EXPECT_FALSE(m.AddTestBalance(v1->sVisitID, v1->SessionItem(1)->sSessionID, "B19999"));
  EXPECT_FALSE(m.AddTestVision(v1->sVisitID, v1->SessionItem(1)->sSessionID,
                               v1->SessionItem(1)->BalanceTestItem(1)->sTestID));
  ASSERT_TRUE(m.AddTestBalance(v1->sVisitID, v1->SessionItem(1)->sSessionID,
                               v1->SessionItem(1)->BalanceTestItem(1)->sTestID));
  ASSERT_TRUE(m.AddTestBalance(v2->sVisitID, v2->SessionItem(1)->sSessionID,
                               v2->SessionItem(1)->BalanceTestItem(1)->sTestID));
  ASSERT_EQ(m.testCount(), 2);
  EXPECT_EQ(m.testList()[0].lKind, kReportBalance);
  EXPECT_FALSE(m.AdultBalance(1));
  EXPECT_TRUE(m.AdultBalance(2));
  EXPECT_TRUE(m.AdultBalance(-1));  // no such test: the "or" of them all
  EXPECT_FALSE(m.AdultVision(-1));
  m.AddTestCompleted();
  // One balance test each way: the comparison tab needs two.
  EXPECT_TRUE(m.tabEnabled(kTabComparison));
}

TEST(ReportModel, OneTestEnablesItsTabAndTheTextsOnly) {
  auto f = makeSubject(day(1995, 5, 5));
  addSession(*f, day(2024, 6, 1), {{1}});
  ReportModel m(f.get(), ReportOptions{});
  addAll(m, *f);
  m.AddTestCompleted();
  const std::array<bool, kReportTabs> want{false, true, false, false, false, false, true};
  for (int tab = 0; tab < kReportTabs; ++tab) EXPECT_EQ(m.tabEnabled(tab), want[size_t(tab)]) << tab;
  // NormsVersion 3 at 29: the 20-40 band of the eyes-open normal test.
  EXPECT_EQ(m.balanceTests()[0].levelLabels,
            (std::array<QString, 5>{">= 90.3%", "87.4-90.2%", "83.9-87.3%", "77.0-83.8%", "<= 76.9%"}));
}

TEST(ReportModel, FifthBalanceTestIsListedButNotShown) {
  auto f = makeSubject(day(1960, 1, 1));
  addSession(*f, day(2024, 6, 1), {{1}, {2}, {3}, {4}, {1, 0.02, 0.02}});
  ReportModel m(f.get(), ReportOptions{});
  addAll(m, *f);
  m.AddTestCompleted();
  EXPECT_EQ(m.testCount(), 5);
  EXPECT_EQ(m.balanceTests().size(), 4u);
  EXPECT_EQ(m.balanceTestsNotShown(), 1);
  EXPECT_EQ(m.comparisons().types[0].count, 1) << "the fifth test is not in the comparison";
}

TEST(ReportModel, EditsAreCheckedAndWrittenIntoTheFile) {
  auto f = makeSubject(day(1980, 1, 1));
  addSession(*f, day(2024, 6, 1), {{1}, {2}});
  Session* s = f->VisitItem(1)->SessionItem(1);
  ReportModel m(f.get(), ReportOptions{});
  addAll(m, *f);
  m.AddTestCompleted();
  EXPECT_FALSE(m.fnDataChanged());
  EXPECT_FALSE(m.renameTest(0, "   "));
  EXPECT_EQ(m.balanceTests()[0].title, "Test 1");
  EXPECT_FALSE(m.renameTest(7, "Nowhere"));
  ASSERT_TRUE(m.renameTest(1, "  Eyes shut  "));
  m.setTestNotes(0, "Swayed to the left");
  m.setIntervention("Balance training twice a week");
  EXPECT_TRUE(m.fnDataChanged());
  // Nothing reaches the file before the save.
  EXPECT_EQ(s->BalanceTestItem(2)->sName, "Test 2");
  ASSERT_TRUE(m.fnDataSave());
  EXPECT_EQ(s->BalanceTestItem(2)->sName, "Eyes shut");
  EXPECT_EQ(s->BalanceTestItem(1)->sNotes, "Swayed to the left");
  EXPECT_EQ(s->sIntervention, "Balance training twice a week");
  EXPECT_FALSE(m.fnDataChanged());
  // A test removed from the file meanwhile makes the update fail.
  ASSERT_TRUE(s->RemoveBalanceTest(2));
  EXPECT_FALSE(m.fnObjectUpdate());
}

TEST(ReportModel, CoPPointsSkipLightSamplesAndTheViewFitsTheSway) {
  PlateTestDataBuffer d(100.0f, 0);
  d.append(-700.0f, 7.0f, 14.0f);  // x = 0.02, y = -0.01
  d.append(-5.0f, 1.0f, 1.0f);     // below 10 N
  d.append(-700.0f, -7.0f, 0.0f);  // x = 0, y = 0.01
  const auto pts = CoPPoints(d, 10.0f);
  ASSERT_EQ(pts.size(), 2u);
  EXPECT_NEAR(pts[0].x(), 0.02, 1e-7);
  EXPECT_NEAR(pts[0].y(), -0.01, 1e-7);
  const auto v = ScaleToSway(pts);
  ASSERT_TRUE(v);
  EXPECT_NEAR(v->xo, 0.01, 1e-7);
  EXPECT_NEAR(v->yo, 0.0, 1e-7);
  EXPECT_NEAR(v->width, 0.025, 1e-7);
  EXPECT_FALSE(ScaleToSway({}));
  EXPECT_DOUBLE_EQ(ScaleToSway({QPointF(0.001, 0.001)})->width, 0.01);
}

}  // namespace
}  // namespace tarn
