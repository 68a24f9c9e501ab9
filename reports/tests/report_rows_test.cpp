// The numbers the results window shows, checked against the analysis run here on the samples read
// back from the saved subject file and formatted by the unit routines, for every unit system.
#include <gtest/gtest.h>

#include <QLocale>
#include <cmath>
#include <limits>

#include "balance/norms/norms.h"
#include "reports/reportmodel.h"
#include "reports/tests/report_testutil.h"
#include "support/units/units.h"

namespace tarn {
namespace {

using namespace reporttest;

struct UnitCase {
  const char* name;
  int length;
  int mass;
  const char* lengthMark;  // what every length must carry
  const char* areaUnit;
};

void PrintTo(const UnitCase& c, std::ostream* os) { *os << c.name; }

class ReportRows : public ::testing::TestWithParam<UnitCase> {};

const char* const kClassNames[] = {"Healthy Balance", "Mildly Reduced", "Moderately Reduced",
                                   "Severely Reduced", "Profoundly Reduced"};

QString expectedArea(double m2, int unit) {
  switch (unit) {
    case 1:
    case 2:
      return FormatNumber(m2 / 0.00064516, 3) + QString::fromUtf8(" in²");
    case 4:
      return FormatNumber(m2 * 10000, 2) + QString::fromUtf8(" cm²");
    case 5:
      return FormatNumber(m2 * 1000000, 1) + QString::fromUtf8(" mm²");
    default:
      return FormatNumber(m2, 7) + QString::fromUtf8(" m²");
  }
}

TEST_P(ReportRows, EveryRowIsTheAnalysisOfTheStoredSamplesInTheChosenUnits) {
  const UnitCase& u = GetParam();
  const double birth = day(1980, 3, 14);
  const double visit = day(2024, 5, 6, 10.25);
  {
    auto f = makeSubject(birth);
    addSession(*f, visit, {{2, 0.004, 0.006, 990.0f, 20.0, "Eyes closed"}}, 1.68, 66.5);
    ASSERT_TRUE(f->Save(sandboxPath("rows.kpf"))) << f->LastError().toStdString();
  }
  SubjectFile f;
  ASSERT_TRUE(f.Open(sandboxPath("rows.kpf")));
  const Session* s = f.VisitItem(1)->SessionItem(1);
  const BalanceTest* t = s->BalanceTestItem(1);

  ReportOptions o;
  o.units.length = u.length;
  o.units.mass = u.mass;
  o.normsVersion = 3;
  o.thresholdN = 10.0f;
  ReportModel m(&f, o);
  ASSERT_TRUE(m.AddTestBalance(f.VisitItem(1)->sVisitID, s->sSessionID, t->sTestID));
  m.AddTestCompleted();
  ASSERT_EQ(m.balanceTests().size(), 1u);
  const ResultRowTexts& rows = m.balanceTests()[0].rows;

  // The analysis, run here on what the file gave back.
  AnalysisResult a;
  AnalyseBalanceTest(0, t->TestData()->Count() - 1, -10.0f, *t->TestData(), PlateGeometry{}, StanceNormal,
                     t->fLoSX, t->fLoSY, StanceFactors{}, a, true, true);
  ASSERT_GT(a.lWeightSamples, 10);
  auto len = [&](double v) { return FormatLength(float(v), u.length, 4); };
  double L1, L2, L3, L4;
  ASSERT_TRUE(NormsLookup(AgeInYears(birth, t->dtDate), 2, L1, L2, L3, L4, 3));
  const double score = StabilityScorePercent(float(a.fStability));
  const int cls = int(NormsClassOf(score, L1, L2, L3, L4));
  const float bmi = float(66.5 / (1.68 * 1.68));

  const std::vector<std::pair<int, QString>> expected = {
      {1, "NSEC"},
      {2, QLocale().toString(clock::fromDays(t->dtDate).date(), QLocale::ShortFormat)},
      {4, FormatNumber(float(a.fDuration), 3) + "s"},
      {5, "990.000 Hz"},
      {6, QString::number(a.lTotalSamples)},
      {7, QString::number(a.lValidSamples)},
      {8, "Completed"},
      {9, len(a.fXo)},
      {10, len(a.fYo)},
      {11, len(a.fLoSRangeML)},
      {12, len(a.fLoSRangeAP)},
      {13, len(a.fRangeML)},
      {14, len(a.fRangeAP)},
      {15, len(a.f95MLSway)},
      {16, len(a.f95APSway)},
      {17, len(a.f95MaxSway)},
      {18, len(a.f95MinSway)},
      {19, len(a.fRadialMax)},
      {20, len(a.fRadialAve)},
      {21, len(a.fVMax) + "/s"},
      {22, len(a.fVAve) + "/s"},
      {23, len(a.fAMax) + QString::fromUtf8("/s²")},
      {24, len(a.fAAve) + QString::fromUtf8("/s²")},
      {25, len(a.fPathLength)},
      {26, expectedArea(float(a.f95Area), u.length)},
      {27, FormatNumber(score, 1) + "%"},
      {28, kClassNames[cls - 1]},
      {29, FormatNumber(float(a.fSwayDirection) * 57.29577951308238, 1) + " deg"},
      {30, FormatNumber(float(a.fDirectionality) * 100, 1) + "%"},
      {31, FormatNumber(std::max(0.0f, float(a.fFatigue)) * 100, 1) + "%"},
      {32, FormatNumber(std::max(0.0f, -float(a.fFatigue)) * 100, 1) + "%"},
      {33, FormatNumber(float(a.fParP), 2)},
      {34, FormatLength(1.68f, u.length, 3)},
      {35, FormatMass(66.5f, u.mass, 1)},
      {36, FormatNumber(bmi, 1)},
      {37, "Normal"},
  };
  for (const auto& [row, text] : expected) EXPECT_EQ(rows[size_t(row)], text) << "row " << row;
  EXPECT_TRUE(rows[3].startsWith("10:")) << rows[3].toStdString();
  for (int row = 9; row <= 25; ++row)
    EXPECT_TRUE(rows[size_t(row)].contains(QString::fromUtf8(u.lengthMark)))
        << "row " << row << " has no unit";
  EXPECT_TRUE(rows[26].endsWith(QString::fromUtf8(u.areaUnit)));
  // The tab's summary line repeats the score and names the class.
  EXPECT_EQ(m.balanceTests()[0].typeLine, "Stability Score: " + rows[27] + " - " + kClassNames[cls - 1]);
}

INSTANTIATE_TEST_SUITE_P(Units, ReportRows,
                         ::testing::Values(UnitCase{"metres_kilograms", 3, 3, " m", " m²"},
                                           UnitCase{"centimetres_grams", 4, 4, " cm", " cm²"},
                                           UnitCase{"millimetres_grams", 5, 5, " mm", " mm²"},
                                           UnitCase{"feet_inches_pounds", 1, 1, "\"", " in²"},
                                           UnitCase{"inches_ounces", 2, 2, "\"", " in²"}),
                         [](const auto& info) { return std::string(info.param.name); });

// Tests that cannot show measures, and subjects missing data: what can be shown, "N/A" elsewhere.
TEST(ReportRows, TestsWithoutResultsShowUnableToCompleteAndNA) {
  const double birth = day(1990, 1, 1);
  auto f = makeSubject(birth);
  addSession(*f, day(2024, 2, 2), {{1}, {2}, {3}, {4}});
  Session* s = f->VisitItem(1)->SessionItem(1);
  s->BalanceTestItem(1)->ClearResults();     // never run
  s->BalanceTestItem(2)->bIsFallen = kTrue;  // the subject gave up
  s->BalanceTestItem(3)->bIsInterrupted = kTrue;
  // Nobody on the plate: every sample below the force threshold.
  s->BalanceTestItem(4)->SetTestData(std::make_shared<const PlateTestDataBuffer>(
      100.0f, s->BalanceTestItem(4)->dtDate, std::vector<float>(500, -2.0f), std::vector<float>(500, 0.0f),
      std::vector<float>(500, 0.0f)));

  ReportOptions o;
  ReportModel m(f.get(), o);
  for (const auto& t : s->BalanceTests())
    ASSERT_TRUE(m.AddTestBalance(f->VisitItem(1)->sVisitID, s->sSessionID, t->sTestID));
  m.AddTestCompleted();
  const auto& b = m.balanceTests();
  ASSERT_EQ(b.size(), 4u);
  for (int k : {0, 1, 3}) {
    SCOPED_TRACE(k);
    EXPECT_FALSE(b[size_t(k)].hasResults);
    EXPECT_EQ(b[size_t(k)].rows[RowStatus], "Unable to Complete");
    for (int row = RowXo; row <= RowParP; ++row) EXPECT_EQ(b[size_t(k)].rows[size_t(row)], "N/A") << row;
    EXPECT_EQ(b[size_t(k)].stabilityClass, 0);
    EXPECT_EQ(b[size_t(k)].typeLine, "Stability Score: N/A");
    EXPECT_EQ(b[size_t(k)].rows[RowHeight], "1.750 m");  // the body data is still known
  }
  EXPECT_EQ(b[0].rows[RowTotalSamples], "N/A");
  EXPECT_EQ(b[3].rows[RowTotalSamples], "500");
  EXPECT_EQ(b[3].rows[RowValidSamples], "0");
  EXPECT_EQ(b[2].rows[RowStatus], "Interrupted");
  EXPECT_NE(b[2].rows[RowStability], "N/A");
  // Only the interrupted test had results: it alone decides the worst class and the comparison.
  EXPECT_EQ(m.worstStabilityClass(), b[2].stabilityClass);
  EXPECT_EQ(m.comparisons().types[2].count, 1);
  EXPECT_EQ(m.comparisons().types[0].count + m.comparisons().types[1].count + m.comparisons().types[3].count,
            0);
}

// Samples that are not numbers (a damaged recording) never reach the texts as "nan" or "inf".
TEST(ReportRows, DamagedSamplesShowNoBrokenNumbers) {
  auto f = makeSubject(day(1975, 3, 3));
  addSession(*f, day(2024, 2, 2), {{1}});
  BalanceTest* t = f->VisitItem(1)->SessionItem(1)->BalanceTestItem(1);
  const auto good = t->TestData();
  std::vector<float> fz, m1, m2;
  for (int i = 0; i < good->Count(); ++i) {
    const bool bad = i % 7 == 3;
    fz.push_back(i % 50 == 0 ? std::numeric_limits<float>::infinity() : good->Sample(0, i));
    m1.push_back(bad ? std::numeric_limits<float>::quiet_NaN() : good->Sample(1, i));
    m2.push_back(good->Sample(2, i));
  }
  t->SetTestData(std::make_shared<const PlateTestDataBuffer>(100.0f, t->dtDate, fz, m1, m2));
  ReportModel m(f.get(), ReportOptions{});
  ASSERT_TRUE(
      m.AddTestBalance(f->VisitItem(1)->sVisitID, f->VisitItem(1)->SessionItem(1)->sSessionID, t->sTestID));
  m.AddTestCompleted();
  for (const QString& text : m.balanceTests()[0].rows) {
    EXPECT_FALSE(text.contains("nan", Qt::CaseInsensitive)) << text.toStdString();
    EXPECT_FALSE(text.contains("inf", Qt::CaseInsensitive)) << text.toStdString();
  }
  const auto points = CoPPoints(*t->TestData(), 10.0f);
  EXPECT_LT(points.size(), size_t(good->Count() * 6 / 7 + 1));
  for (const QPointF& p : points) EXPECT_TRUE(std::isfinite(p.x()) && std::isfinite(p.y()));
}

TEST(ReportRows, WeightSwitchedOffShowsDisabledExceptInAReprint) {
  auto f = makeSubject(day(1970, 6, 1));
  addSession(*f, day(2024, 2, 2), {{1}});
  const Session* s = f->VisitItem(1)->SessionItem(1);
  for (const bool reprint : {false, true}) {
    ReportOptions o;
    o.weightEnabled = false;
    o.reprint = reprint;
    ReportModel m(f.get(), o);
    ASSERT_TRUE(m.AddTestBalance(f->VisitItem(1)->sVisitID, s->sSessionID, s->BalanceTestItem(1)->sTestID));
    m.AddTestCompleted();
    const auto& rows = m.balanceTests()[0].rows;
    for (int row : {RowWeight, RowBMI, RowBMIClass})
      EXPECT_EQ(rows[size_t(row)] == "Disabled", !reprint) << row;
    EXPECT_EQ(rows[RowHeight], "1.750 m");
    EXPECT_EQ(m.bmiClass(), reprint ? 7 : 0);
  }
}

TEST(ReportRows, SubjectWithoutBirthDateOrBodyDataShowsNA) {
  auto f = makeSubject(clock::kMissingDate);
  addSession(*f, day(2024, 2, 2), {{1}}, 0.0, 0.0);
  const Session* s = f->VisitItem(1)->SessionItem(1);
  ReportModel m(f.get(), ReportOptions{});
  ASSERT_TRUE(m.AddTestBalance(f->VisitItem(1)->sVisitID, s->sSessionID, s->BalanceTestItem(1)->sTestID));
  m.AddTestCompleted();
  const ReportBalanceTest& b = m.balanceTests()[0];
  EXPECT_TRUE(b.hasResults);
  EXPECT_NE(b.rows[RowStability], "N/A");
  for (int row : {RowStabilityClass, RowHeight, RowWeight, RowBMI, RowBMIClass})
    EXPECT_EQ(b.rows[size_t(row)], "N/A") << row;
  for (const QString& label : b.levelLabels) EXPECT_EQ(label, "N/A");
  EXPECT_FALSE(m.AdultBalance(1));
  EXPECT_EQ(m.worstStabilityClass(), 0);
}

}  // namespace
}  // namespace tarn
