// Known-answer cases of the sway measures: CoP on a circle, on a line, at one point, with gaps,
// too little load, plate rotation and tilt, the stance rules and the test halves.
#include <gtest/gtest.h>

#include "balance/analysis/analysis.h"
#include "balance/balancesettings.h"
#include "balance/tests/analysis_testdata.h"
#include "balance/tools/analysecli.h"
#include "core/settingkeys.h"

namespace tarn {
namespace {

using namespace analysistest;

constexpr float kThr = -10;

AnalysisResult analyse(const KMX_PlateTestData& d, qint32 stance = StanceNormal, double los = 0.1,
                       const PlateGeometry& g = {}, bool halves = true, bool dynamics = true) {
  AnalysisResult r;
  AnalyseBalanceTest(0, d.Count() - 1, kThr, d, g, stance, los, los, {}, r, halves, dynamics);
  return r;
}

// Every field set to a value the analysis would never produce, to see which ones it touches.
AnalysisResult sentinel() {
  AnalysisResult r;
  r.fXo = r.fMinMaxRatio = r.fCorrelation = r.fAreaChange = r.fFatigue = r.fParP = 7;
  r.fSigma1 = 5;
  return r;
}

TEST(AnalysisMeasures, CircleGivesItsRadiusPathEllipseAndStability) {
  const double r = 0.01, cx = 0.02, cy = -0.01;
  const int perTurn = 200, n = 2000;  // 10 turns at 100 Hz
  const auto data = record(100, circle(cx, cy, r, perTurn, 10));
  const AnalysisResult a = analyse(*data);
  const double sd = circleSD(r, n);

  EXPECT_EQ(a.lTotalSamples, n);
  EXPECT_DOUBLE_EQ(a.fDuration, 20);
  EXPECT_DOUBLE_EQ(a.dtDate, 45000.5);
  EXPECT_EQ(a.lValidSamples, n);
  EXPECT_EQ(a.lWeightSamples, n);
  EXPECT_DOUBLE_EQ(a.fWeight, -700);
  EXPECT_NEAR(a.fWeightSD, 0, 1e-9);
  EXPECT_NEAR(a.fXo, cx, 1e-9);
  EXPECT_NEAR(a.fYo, cy, 1e-9);
  for (double v : {a.fSDX, a.fSDY, a.fSigma1, a.fSigma2}) EXPECT_NEAR(v, sd, 1e-8);
  EXPECT_NEAR(a.fCorrelation, 0, 1e-6);
  EXPECT_NEAR(a.fMinMaxRatio, 1, 1e-6);
  EXPECT_NEAR(a.fDirectionality, 0, 1e-6);
  EXPECT_NEAR(a.f95Area, 1.96 * 1.96 * kPi * sd * sd, 1e-10);
  for (double v : {a.f95MaxSway, a.f95APSway, a.f95MLSway}) EXPECT_NEAR(v, 2 * 1.96 * sd, 1e-8);
  for (double v : {a.fRangeML, a.fRangeAP}) EXPECT_NEAR(v, 2 * r, 1e-8);
  EXPECT_NEAR(a.fMaxX, cx + r, 1e-8);
  EXPECT_NEAR(a.fMinY, cy - r, 1e-8);
  EXPECT_NEAR(a.fMidX, cx, 1e-8);
  EXPECT_NEAR(a.fMidY, cy, 1e-8);

  for (double v : {a.fRadialAve, a.fRadialMax, a.fRadialMin, a.fAbsDevExtremes[0], a.fAbsDevExtremes[2]})
    EXPECT_NEAR(v, r, 1e-8);
  for (double v : {a.fRadialSD, a.fAbsDevExtremes[1], a.fAbsDevExtremes[3]}) EXPECT_NEAR(v, 0, 1e-8);
  // abs(cos) at 200 even steps has mean 2 / (200·tan(π/200)) (2/π in the limit) and mean
  // square 1/2.
  const double meanAbs = 2 / (perTurn * std::tan(kPi / perTurn));
  for (double v : {a.fMeanAbsX, a.fMeanAbsY}) EXPECT_NEAR(v, r * meanAbs, 1e-9);
  for (double v : {a.fSDAbsX, a.fSDAbsY})
    EXPECT_NEAR(v, r * std::sqrt((0.5 - meanAbs * meanAbs) * n / (n - 1)), 1e-9);

  // Every step is the chord of 1/200 turn, less the noise allowance.
  const double chord = 2 * r * std::sin(kPi / perTurn);
  EXPECT_EQ(a.fSteps, n - 1);
  EXPECT_NEAR(a.fPathLength, (n - 1) * (chord - kStepNoise), 1e-8);
  EXPECT_NEAR(a.fVAve, (chord - kStepNoise) * 100, 1e-8);
  EXPECT_EQ(a.fMidIndex, n / 2 - 1);

  // A circle inside a circular LoS: the same ratio in every direction.
  for (double v : {a.fLoSUsedMax, a.fLoSUsedMin}) EXPECT_NEAR(v, 1.96 * sd / 0.1, 1e-7);
  EXPECT_NEAR(a.fStability, 1 - 1.96 * sd / 0.1, 1e-7);
  EXPECT_DOUBLE_EQ(a.fLoSRangeAP, 0.2);
  EXPECT_DOUBLE_EQ(a.fLoSRangeML, 0.2);
  // Both halves are five identical turns.
  for (double v : {a.fAreaChange, a.fFatigue}) EXPECT_NEAR(v, 0, 1e-6);
}

TEST(AnalysisMeasures, LineGivesItsDirectionAndNoWidth) {
  const double amp = 0.02, cx = 0.01, cy = 0.005;
  const int perTurn = 200, n = 2000;
  for (const double deg : {30.0, -60.0}) {
    SCOPED_TRACE(deg);
    const double al = deg * kPi / 180;
    std::vector<Cop> cop;
    for (int i = 0; i < n; ++i) {
      const double s = amp * std::sin(2 * kPi * i / perTurn);
      cop.push_back({cx + s * std::cos(al), cy + s * std::sin(al)});
    }
    const AnalysisResult a = analyse(*record(100, cop));
    const double sd = circleSD(amp, n);
    EXPECT_NEAR(a.fTheta, al, 1e-6);
    EXPECT_NEAR(a.fSwayDirection, al, 1e-6);
    EXPECT_NEAR(a.fMinSwayDirection, al + kPi / 2, 1e-6);
    EXPECT_NEAR(a.fSigma1, sd, 1e-8);
    EXPECT_NEAR(a.fSigma2, 0, 1e-7);
    EXPECT_NEAR(std::fabs(a.fCorrelation), 1, 1e-6);
    EXPECT_NEAR(a.fDirectionality, 1, 1e-5);
    EXPECT_NEAR(a.f95Area, 0, 1e-9);
    EXPECT_NEAR(a.fSDX, sd * std::fabs(std::cos(al)), 1e-8);
    EXPECT_NEAR(a.fSDY, sd * std::fabs(std::sin(al)), 1e-8);
    // Reaches 1.96σ along the line, nothing across it.
    EXPECT_NEAR(a.fLoSUsedMax, 1.96 * sd / 0.1, 1e-6);
    EXPECT_NEAR(a.fLoSUsedMin, 0, 1e-5);
    // Over whole periods, sampled at the turning points: 4·amp per period, less the missing
    // final step back to the start.
    EXPECT_NEAR(a.fPathLength, 4 * amp * 10 - amp * std::sin(2 * kPi / perTurn) - (n - 1) * kStepNoise, 1e-6);
  }
}

TEST(AnalysisMeasures, PureApSwayPointsStraightAhead) {
  std::vector<Cop> cop;
  for (int i = 0; i < 1000; ++i) cop.push_back({0, 0.01 * std::sin(2 * kPi * i / 100)});
  const AnalysisResult a = analyse(*record(100, cop));
  EXPECT_NEAR(std::fabs(a.fTheta), kPi / 2, 1e-9);
}

TEST(AnalysisMeasures, StillCopHasNoPathAndFullStability) {
  const AnalysisResult a = analyse(*record(100, std::vector<Cop>(2000, {0.01, 0.02})));
  EXPECT_NEAR(a.fXo, 0.01, 1e-9);
  EXPECT_NEAR(a.fYo, 0.02, 1e-9);
  EXPECT_NEAR(a.fRangeAP, 0, 1e-9);
  EXPECT_NEAR(a.fRadialMax, 0, 1e-8);
  // Every step is 0 minus the noise allowance; the negative total is cut to 0.
  EXPECT_EQ(a.fSteps, 1999);
  EXPECT_EQ(a.fPathLength, 0);
  EXPECT_EQ(a.fVAve, 0);
  EXPECT_NEAR(a.fStability, 1, 1e-6);
  EXPECT_NEAR(a.fVMax, 0, 1e-6);
}

TEST(AnalysisMeasures, FormulasThatDivideByZeroKeepThePreviousValue) {
  // CoP exactly at the origin: every spread is exactly zero.
  AnalysisResult a = sentinel();
  const auto data = record(100, std::vector<Cop>(500, {0, 0}));
  AnalyseBalanceTest(0, data->Count() - 1, kThr, *data, {}, StanceNormal, 0.1, 0.1, {}, a, true, true);
  EXPECT_EQ(a.fSigma1, 0);
  EXPECT_EQ(a.f95Area, 0);
  EXPECT_EQ(a.fXo, 0);
  EXPECT_EQ(a.fMinMaxRatio, 7);      // σ2 / σ1 = 0 / 0
  EXPECT_EQ(a.fDirectionality, -6);  // goes on with the kept ratio
  EXPECT_EQ(a.fCorrelation, 7);
  EXPECT_EQ(a.fAreaChange, 7);  // first-half area 0
  EXPECT_EQ(a.fFatigue, 7);     // first-half LoS use 0
  EXPECT_EQ(a.fParP, 7);        // mean speed 0
  EXPECT_EQ(a.fVMax, 0);
  EXPECT_EQ(a.fStability, 1);
}

TEST(AnalysisMeasures, GapOfInvalidSamplesAddsNoStep) {
  const double d = 1e-4;  // per sample, along x
  std::vector<Cop> cop;
  for (int i = 0; i < 2000; ++i) cop.push_back({d * i, 0});
  const auto data = record(100, cop, [](int i) { return i >= 500 && i < 600 ? 0.0 : -700.0; });
  const AnalysisResult a = analyse(*data);
  EXPECT_EQ(a.lValidSamples, 1900);
  EXPECT_EQ(a.fSteps, 499 + 1399);
  EXPECT_NEAR(a.fPathLength, (499 + 1399) * (d - kStepNoise), 1e-6);
  EXPECT_EQ(a.fMidIndex, 600 + 449);  // the 950th valid sample
  EXPECT_NEAR(a.fRangeML, 1999 * d, 1e-7);
}

TEST(AnalysisMeasures, TooLittleLoadStopsWithZeroWeight) {
  AnalysisResult a = sentinel();
  const auto none = record(100, std::vector<Cop>(1000, {0.01, 0}), -5);
  AnalyseBalanceTest(0, 999, kThr, *none, {}, StanceNormal, 0.1, 0.1, {}, a, true, true);
  EXPECT_EQ(a.lValidSamples, 0);
  EXPECT_EQ(a.fWeight, 0);
  EXPECT_EQ(a.lTotalSamples, 1000);
  EXPECT_EQ(a.fXo, 7);  // nothing after the weight was computed

  // Ten loaded samples are too few, eleven are enough.
  for (const int loaded : {10, 11}) {
    AnalysisResult b = sentinel();
    const auto data =
        record(100, std::vector<Cop>(100, {0.01, 0}), [loaded](int i) { return i < loaded ? -700.0 : -5.0; });
    AnalyseBalanceTest(0, 99, kThr, *data, {}, StanceNormal, 0.1, 0.1, {}, b, false, false);
    EXPECT_EQ(b.lValidSamples, loaded);
    EXPECT_EQ(b.fWeight, loaded == 10 ? 0 : -700);
    EXPECT_NEAR(b.fXo, loaded == 10 ? 7 : 0.01, 1e-12);
  }
}

TEST(AnalysisMeasures, WeightLeavesOutJoltsButKeepsThemValid) {
  const auto data = record(100, std::vector<Cop>(2000, {0.01, 0}),
                           [](int i) { return i >= 100 && i < 105 ? -800.0 : -700.0; });
  const AnalysisResult a = analyse(*data);
  EXPECT_EQ(a.lValidSamples, 2000);
  EXPECT_EQ(a.lWeightSamples, 1995);
  EXPECT_DOUBLE_EQ(a.fWeight, -700);
  EXPECT_NEAR(a.fWeightSD, 0, 1e-9);
}

TEST(AnalysisMeasures, RangeRulesAndFirstEqualLast) {
  const auto data = record(100, circle(0, 0, 0.01, 200, 5));
  AnalysisResult a = sentinel();
  const std::string before = analysecli::ResultToJson(a);
  AnalyseBalanceTest(300, 300, kThr, *data, {}, StanceNormal, 0.1, 0.1, {}, a, true, true);
  EXPECT_EQ(analysecli::ResultToJson(a), before);
  AnalyseBalanceTest(900, 100, kThr, *data, {}, StanceNormal, 0.1, 0.1, {}, a, true, true);  // first → last
  EXPECT_EQ(analysecli::ResultToJson(a), before);

  AnalyseBalanceTest(-4, 0, kThr, *data, {}, StanceNormal, 0.1, 0.1, {}, a, false, false);
  EXPECT_EQ(a.lTotalSamples, 1000);
  AnalyseBalanceTest(100, 99999, kThr, *data, {}, StanceNormal, 0.1, 0.1, {}, a, false, false);
  EXPECT_EQ(a.lTotalSamples, 900);
  AnalyseBalanceTest(100, 299, kThr, *data, {}, StanceNormal, 0.1, 0.1, {}, a, true, false);
  EXPECT_EQ(a.lTotalSamples, 200);
  EXPECT_DOUBLE_EQ(a.fDuration, 2);
  EXPECT_EQ(a.fMidIndex, 199);  // the sample index, not the offset in the range
}

TEST(AnalysisMeasures, MidIndexRoundsHalfToEven) {
  for (const auto& [n, mid] : {std::pair{2001, 999}, std::pair{2003, 1001}}) {
    std::vector<Cop> cop = circle(0, 0, 0.01, 100, 30);
    cop.resize(n);
    const AnalysisResult b = analyse(*record(100, cop), StanceNormal, 0.1, {}, false, false);
    EXPECT_EQ(b.fMidIndex, mid) << n;
  }
}

TEST(AnalysisMeasures, RotationTurnsThePlateFrameIntoTheStationFrame) {
  const PlateGeometry g{0.3f, 0, 0};
  const auto still = record(100, std::vector<Cop>(500, {0.03, -0.02}), -700, g);
  AnalysisResult a = analyse(*still, StanceNormal, 0.1, g);
  EXPECT_NEAR(a.fXo, 0.03, 1e-8);
  EXPECT_NEAR(a.fYo, -0.02, 1e-8);
  EXPECT_FLOAT_EQ(a.fRotation, 0.3f);
  // Without the rotation the same samples give another place.
  a = analyse(*still, StanceNormal, 0.1, {});
  EXPECT_GT(std::fabs(a.fXo - 0.03), 1e-3);

  const PlateGeometry g2{0.5f, 0, 0};
  std::vector<Cop> line;
  const double al = 20 * kPi / 180;
  for (int i = 0; i < 1000; ++i) {
    const double s = 0.02 * std::sin(2 * kPi * i / 100);
    line.push_back({s * std::cos(al), s * std::sin(al)});
  }
  EXPECT_NEAR(analyse(*record(100, line, -700, g2), StanceNormal, 0.1, g2).fTheta, al, 1e-6);
}

TEST(AnalysisMeasures, TiltCorrectsTheVerticalForceBeforeTheThreshold) {
  const PlateGeometry g{0, 0.1f, 0.05f};
  // A true 10.02 N reads as about 9.96 N on this plate: valid only once corrected.
  const auto light = record(100, std::vector<Cop>(200, {0.01, 0.02}), -10.02, g);
  AnalysisResult a = analyse(*light, StanceNormal, 0.1, g);
  EXPECT_EQ(a.lValidSamples, 200);
  EXPECT_NEAR(a.fWeight, -10.02, 1e-5);
  EXPECT_NEAR(a.fXo, 0.01, 1e-8);
  EXPECT_NEAR(a.fYo, 0.02, 1e-8);
  EXPECT_FLOAT_EQ(a.fTilt1, 0.1f);
  EXPECT_FLOAT_EQ(a.fTilt2, 0.05f);
  a = analyse(*light, StanceNormal, 0.1, {});
  EXPECT_EQ(a.lValidSamples, 0);
}

TEST(AnalysisMeasures, StanceRuleForEveryCode) {
  const StanceFactors k{280, 2000};
  struct Case {
    qint32 stance;
    double x, y;
  };
  const Case cases[] = {{1, 0.1, 0.08},   {2, 0.1, 0.08},    {3, 0.056, 0.08},  {4, 0.1, 0.08},
                        {5, 0.028, 0.16}, {6, 0.028, 0.16},  {7, 0.028, 0.16},  {8, 0.028, 0.16},
                        {9, 0.028, 0.08}, {10, 0.028, 0.08}, {11, 0.028, 0.08}, {12, 0.028, 0.08},
                        {13, 0.1, 0.08},  {0, 0.1, 0.08}};
  for (const Case& c : cases) {
    double x, y;
    StanceLimits(c.stance, 0.1, 0.08, k, x, y);
    EXPECT_NEAR(x, c.x, 1e-12) << c.stance;
    EXPECT_NEAR(y, c.y, 1e-12) << c.stance;
  }
}

TEST(AnalysisMeasures, StanceFactorsComeFromTheCallerNotTheSettings) {
  const auto data = record(100, circle(0, 0, 0.005, 100, 5));
  AnalysisResult a;
  AnalyseBalanceTest(0, -1, kThr, *data, {}, StanceFeetTogether, 0.1, 0.08, {}, a, false, false);
  EXPECT_NEAR(a.fLoSX, 0.056, 1e-12);  // defaults: 280 ‰
  // Stored factors reach the analysis only through the caller.
  settings::write(settings::LoSXOneFoot, 500);
  settings::write(settings::LoSYTwoFeet, 1500);
  AnalyseBalanceTest(0, -1, kThr, *data, {}, StanceHeelToToeDominantBack, 0.1, 0.08, {}, a, false, false);
  EXPECT_NEAR(a.fLoSX, 0.028, 1e-12);
  AnalyseBalanceTest(0, -1, kThr, *data, {}, StanceHeelToToeDominantBack, 0.1, 0.08, ReadStanceFactors(), a,
                     false, false);
  EXPECT_NEAR(a.fLoSX, 0.05, 1e-12);
  EXPECT_NEAR(a.fLoSY, 0.12, 1e-12);
  EXPECT_NEAR(a.fLoSRangeML, 0.1, 1e-12);
  EXPECT_NEAR(a.fLoSRangeAP, 0.24, 1e-12);
  EXPECT_EQ(a.lStance, StanceHeelToToeDominantBack);
}

TEST(AnalysisMeasures, HalvesGiveFatigueAndAreaChange) {
  // First half: five turns of radius 5 mm; second half: five turns of radius 10 mm.
  std::vector<Cop> cop = circle(0, 0, 0.005, 200, 5);
  const auto second = circle(0, 0, 0.01, 200, 5);
  cop.insert(cop.end(), second.begin(), second.end());
  const AnalysisResult a = analyse(*record(100, cop));
  EXPECT_EQ(a.fMidIndex, 999);
  EXPECT_NEAR(a.fFatigue, 1, 1e-6);     // LoS use doubles
  EXPECT_NEAR(a.fAreaChange, 3, 1e-6);  // area grows fourfold
  // Without halves the two ratios are left alone.
  AnalysisResult b;
  b.fFatigue = 9;
  AnalyseBalanceTest(0, -1, kThr, *record(100, cop), {}, StanceNormal, 0.1, 0.1, {}, b, false, false);
  EXPECT_EQ(b.fFatigue, 9);
}

TEST(AnalysisMeasures, SwayBeyondTheLimitsScoresZero) {
  // 1.96σ of a 10 mm circle is about 13.9 mm, beyond an AP limit of 10 mm.
  const auto data = record(100, circle(0, 0, 0.01, 200, 5));
  AnalysisResult a;
  AnalyseBalanceTest(0, -1, kThr, *data, {}, StanceNormal, 0.1, 0.01, {}, a, false, false);
  EXPECT_GT(a.fLoSUsedMax, 1);
  EXPECT_EQ(a.fStability, 0);
}

// Stored data read through the interface only, as subject files provide it.
class InterfaceOnlyData final : public KMX_PlateTestData {
 public:
  explicit InterfaceOnlyData(std::shared_ptr<PlateTestDataBuffer> d) : d_(std::move(d)) {}
  qint32 Count() const override { return d_->Count(); }
  float Frequency() const override { return d_->Frequency(); }
  double DateTime() const override { return d_->DateTime(); }
  float Sample(int channel, qint32 index) const override { return d_->Sample(channel, index); }

 private:
  std::shared_ptr<PlateTestDataBuffer> d_;
};

TEST(AnalysisMeasures, BufferAndInterfaceGiveTheSameResult) {
  // An off-centre circle on a turned and tilted plate, with a jolt and a gap of too little load.
  const PlateGeometry g{0.2f, 0.03f, -0.02f};
  const auto buffer = record(
      250, circle(0.01, -0.02, 0.008, 300, 17),
      [](int i) { return i >= 1000 && i < 1100 ? -5.0 : (i >= 3000 && i < 3010 ? -800.0 : -650.0); }, g);
  const InterfaceOnlyData plain(buffer);
  EXPECT_EQ(analysecli::ResultToJson(analyse(plain, StanceFeetTogether, 0.1, g)),
            analysecli::ResultToJson(analyse(*buffer, StanceFeetTogether, 0.1, g)));
}

TEST(AnalysisLimits, BaseLimitsFollowTheHeight) {
  const auto los = BaseLimitsOfStability(1.75);
  ASSERT_TRUE(los);
  EXPECT_NEAR(los->y, 0.30 * 0.152 * 1.75, 1e-12);
  EXPECT_NEAR(los->x, 0.30 * (0.191 + 0.055) * 1.75, 1e-12);
  EXPECT_NEAR(BaseLimitsOfStability(1.75, 0.4)->x, 0.12, 1e-12);
  EXPECT_FALSE(BaseLimitsOfStability(0.3));
  EXPECT_FALSE(BaseLimitsOfStability(std::nan("")));
  EXPECT_FALSE(BaseLimitsOfStability(1.75, -0.1));
}

TEST(AnalysisLimits, QuietStandingOfAHealthyAdultScoresInTheHealthyBand) {
  // 20 s at 100 Hz, ML 2.5 mm, AP 3, 4 and 5 mm: the usual spread of young adults standing
  // quietly with eyes open on a firm surface.
  const auto los = *BaseLimitsOfStability(1.75);
  double scores[3];
  for (int i = 0; i < 3; ++i) {
    const auto data = record(100, sway(100, 20, 0.0025, 0.003 + 0.001 * i, 11 + i), -720);
    AnalysisResult a;
    AnalyseBalanceTest(0, -1, kThr, *data, {}, StanceNormal, los.x, los.y, {}, a, true, true);
    scores[i] = a.fStability;
  }
  EXPECT_GT(scores[0], scores[1]);
  EXPECT_GT(scores[1], scores[2]);
  EXPECT_GE(scores[1], 0.88);
  EXPECT_LE(scores[1], 0.92);
  EXPECT_LE(scores[0], 0.94);
  EXPECT_GE(scores[2], 0.86);
}

}  // namespace
}  // namespace tarn
