// The low-pass and decimation ladder, the ellipse comparison, the arctangent, and the speeds
// and accelerations computed from the filtered series.
#include <gtest/gtest.h>
#include <liquid/liquid.h>

#include <cstdint>

#include "balance/analysis/analysis.h"
#include "balance/tests/analysis_testdata.h"

namespace tarn {
namespace {

using namespace analysistest;

TEST(AnalysisFilter, DecimationLadder) {
  const std::pair<float, int> cases[] = {{30, 0},    {50, 0},     {88, 0},      {88.8f, 0},   {89, 2},
                                         {100, 2},   {173, 2},    {174, 4},     {200, 4},     {347, 4},
                                         {348, 8},   {400, 8},    {990, 16},    {1000, 16},   {2000, 32},
                                         {4000, 64}, {8000, 128}, {11130, 128}, {11140, 256}, {20000, 256}};
  for (const auto& [fs, n] : cases) EXPECT_EQ(DecimationFactor(fs, 20), n) << fs;
  // The ladder's test is "at or below the cut-off": 400 Hz · 46 / 400 is exactly 46.
  EXPECT_EQ(DecimationFactor(400, 46), 2);
  EXPECT_EQ(DecimationFactor(400, 45.99f), 4);
}

TEST(AnalysisFilter, EveryRungKeepsEveryNthSampleOfASteadySeries) {
  const std::pair<float, int> rungs[] = {{50, 0},    {100, 2},   {200, 4},    {400, 8},    {990, 16},
                                         {2000, 32}, {4000, 64}, {8000, 128}, {20000, 256}};
  for (const auto& [fs, n] : rungs) {
    SCOPED_TRACE(fs);
    // A constant passes unchanged; a ramp keeps its slope, n per kept sample (from the first
    // kept sample on: the filter has settled before the series starts).
    const int count = 20001;
    std::vector<double> flat(count, -712.5), ramp(count), out;
    for (int i = 0; i < count; ++i) ramp[i] = i;
    ASSERT_EQ(LowPassFilter(flat, out, fs, 20), n);
    const size_t kept = n > 1 ? count / n : count;
    ASSERT_EQ(out.size(), kept);
    for (double v : out) ASSERT_NEAR(v, -712.5, 1e-8);
    LowPassFilter(ramp, out, fs, 20);
    for (size_t j = 1; j < kept; ++j) {
      ASSERT_NEAR(out[j] - out[j - 1], n > 1 ? n : 1, 1e-6 * (n > 1 ? n : 1)) << j;
    }
  }
}

TEST(AnalysisFilter, WideAndPairedJumpsGiveTheSameBits) {
  // Where the processor has 256-bit vectors the jump uses them; each lane must round exactly as
  // the paired way does, at every rung that jumps.
  for (const float fs : {200.0f, 990.0f, 2000.0f, 20000.0f}) {
    SCOPED_TRACE(fs);
    std::vector<double> in(30011), wide, paired;
    for (size_t i = 0; i < in.size(); ++i) in[i] = -700 + 30 * std::sin(i * 0.0137) + std::cos(i * 1.7);
    LowPassFilter(in, wide, fs, 20);
    AllowWideVectors(false);
    LowPassFilter(in, paired, fs, 20);
    AllowWideVectors(true);
    ASSERT_EQ(wide.size(), paired.size());
    ASSERT_GT(wide.size(), 50u);
    for (size_t j = 0; j < wide.size(); ++j) ASSERT_EQ(wide[j], paired[j]) << j;
  }
}

TEST(AnalysisFilter, CutOffAboveNyquistLeavesTheSeriesAlone) {
  std::vector<double> in = {1, -3, 7, 2, 0.5}, out;
  EXPECT_EQ(LowPassFilter(in, out, 30, 20), 0);
  EXPECT_EQ(out, in);
}

TEST(AnalysisFilter, MatchesTheLibraryFilterRunSampleBySample) {
  // A fourth-order Butterworth at 20 Hz, undecimated at 80 Hz and decimated by 16 at 990 Hz.
  // The library runs in single precision from rest, so compare once the different starts have
  // died away.
  for (const auto& [fs, n] : {std::pair{80.0f, 1}, std::pair{990.0f, 16}}) {
    SCOPED_TRACE(fs);
    std::vector<double> in(static_cast<size_t>(10 * fs)), out;
    for (size_t i = 0; i < in.size(); ++i)
      in[i] =
          std::sin(2 * kPi * 3 * i / fs) + 0.5 * std::sin(2 * kPi * 17 * i / fs) + 0.2 * std::cos(i * 1.3);
    LowPassFilter(in, out, fs, 20);
    ASSERT_EQ(out.size(), in.size() / n);
    iirfilt_rrrf q = iirfilt_rrrf_create_prototype(LIQUID_IIRDES_BUTTER, LIQUID_IIRDES_LOWPASS,
                                                   LIQUID_IIRDES_SOS, 4, 20 / fs, 0, 1, 60);
    for (size_t i = 0; i < out.size() * n; ++i) {
      float y;
      iirfilt_rrrf_execute(q, static_cast<float>(in[i]), &y);
      if (i >= fs && i % n == 0) {
        ASSERT_NEAR(out[i / n], y, 1e-4) << i;
      }
    }
    iirfilt_rrrf_destroy(q);
  }
}

TEST(AnalysisEllipse, RadiusRatios) {
  double mx, mn;
  EllipseRadiusRatio(0, 0, 0.03, 0.01, 25, 0, 0, 0.03, 0.01, 25, mx, mn);
  EXPECT_NEAR(mx, 1, 1e-9);
  EXPECT_NEAR(mn, 1, 1e-9);
  EllipseRadiusRatio(0, 0, 1, 1, 0, 0, 0, 2, 2, 0, mx, mn);
  EXPECT_NEAR(mx, 0.5, 1e-12);
  EXPECT_NEAR(mn, 0.5, 1e-12);
  // A 2 × 1 ellipse against the unit circle, lying along x or along y.
  for (const double angle : {0.0, 90.0, -90.0}) {
    EllipseRadiusRatio(0, 0, 2, 1, angle, 0, 0, 1, 1, 0, mx, mn);
    EXPECT_NEAR(mx, 2, 1e-9) << angle;
    EXPECT_NEAR(mn, 1, 1e-9) << angle;
  }
  // The same ellipse described the other way round.
  EllipseRadiusRatio(0, 0, 0.02, 0.05, 90, 0, 0, 0.05, 0.02, 0, mx, mn);
  EXPECT_NEAR(mx, 1, 1e-9);
  EXPECT_NEAR(mn, 1, 1e-9);
  // A unit circle moved 1 along x passes through the origin and reaches 2 away.
  EllipseRadiusRatio(1, 0, 1, 1, 0, 0, 0, 1, 1, 0, mx, mn);
  EXPECT_NEAR(mx, 2, 1e-6);
  EXPECT_NEAR(mn, 0, 1e-3);
  // A point-sized second ellipse counts as radius 1e-10.
  EllipseRadiusRatio(0, 0, 1, 1, 0, 0, 0, 0, 0, 0, mx, mn);
  EXPECT_NEAR(mx, 1e10, 1);
  EXPECT_NEAR(mn, 1e10, 1);
}

TEST(AnalysisEllipse, AngleOfReadsTinyComponentsAsZero) {
  EXPECT_EQ(AngleOf(0, 0), 0);
  EXPECT_EQ(AngleOf(5e-8, -5e-8), 0);
  EXPECT_EQ(AngleOf(1e-3, 5e-8), kPi / 2);
  EXPECT_EQ(AngleOf(-1e-3, 0), -kPi / 2);
  EXPECT_DOUBLE_EQ(AngleOf(1, -1), 3 * kPi / 4);
  EXPECT_DOUBLE_EQ(AngleOf(-1, -1), -3 * kPi / 4);
  EXPECT_DOUBLE_EQ(AngleOf(0, -1), kPi);
  EXPECT_DOUBLE_EQ(AngleOf(3e-8, 1), std::atan2(3e-8, 1));
}

// Turning once every two seconds on a 10 mm circle: ω = π rad/s. Central differences over the
// decimated step Δ see r·sin(ωΔ) per step for the speed and r·sin²(ωΔ) for the acceleration.
void expectCircleDynamics(float fs, int n) {
  SCOPED_TRACE(fs);
  const double r = 0.01, w = kPi;
  const int perTurn = static_cast<int>(2 * fs);
  const auto data = record(fs, circle(0.01, -0.02, r, perTurn, 10));
  AnalysisResult a;
  AnalyseBalanceTest(0, -1, -10, *data, {}, StanceNormal, 0.1, 0.1, {}, a, false, true);
  const double dt = (n > 1 ? n : 1) / static_cast<double>(fs);
  const double v = r * std::sin(w * dt) / dt, acc = r * std::pow(std::sin(w * dt) / dt, 2);
  // The one-sided differences at the end of the series give a few smaller accelerations.
  EXPECT_NEAR(a.fVMax, v, 0.005 * v);
  EXPECT_NEAR(a.fAAve, acc, 0.005 * acc);
  EXPECT_NEAR(a.fAMax, acc, 0.05 * acc);
  EXPECT_NEAR(a.fParP, 1, 0.005);  // ā·r / v̄² for uniform circular motion
}

TEST(AnalysisDynamics, CircleSpeedAndAccelerationAtEachRate) {
  expectCircleDynamics(50, 0);   // undecimated, scaled by fs
  expectCircleDynamics(100, 2);  // 50 decimated steps per second
  expectCircleDynamics(990, 16);
}

TEST(AnalysisDynamics, SteadyDriftShowsNoBurstAtTheStart) {
  // 10 mm/s along y from the first sample on.
  std::vector<Cop> cop;
  for (int i = 0; i < 2000; ++i) cop.push_back({0, 1e-4 * i});
  AnalysisResult a;
  AnalyseBalanceTest(0, -1, -10, *record(100, cop), {}, StanceNormal, 0.1, 0.1, {}, a, false, true);
  EXPECT_NEAR(a.fVMax, 0.01, 1e-4);
  EXPECT_NEAR(a.fAMax, 0, 1e-3);
}

// Quiet standing with plate noise on the CoP of the given size (m, standard deviation per
// sample). The noise comes from a fixed generator so the recording is the same everywhere.
std::shared_ptr<PlateTestDataBuffer> noisySway(float fs, double noise, unsigned seed) {
  std::vector<Cop> cop = sway(fs, 20, 0.003, 0.004, seed);
  std::uint64_t state = seed;
  const auto uniform = [&state] {  // (0, 1]
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<double>((state >> 11) + 1) / 9007199254740992.0;
  };
  for (Cop& c : cop) {  // Box-Muller: two normal deviates from two uniform ones
    const double r = noise * std::sqrt(-2 * std::log(uniform())), a = 2 * kPi * uniform();
    c = {c.x + r * std::cos(a), c.y + r * std::sin(a)};
  }
  return record(fs, cop);
}

TEST(AnalysisDynamics, FilterStartAddsNoSpeedToNoisySway) {
  // 0.2 to 0.5 mm of noise per sample at about 1 kHz: whatever the first samples hold, the
  // maxima of the whole test are those of the test without its first 100 ms (cut at a kept
  // sample, so that both keep the same samples).
  for (const float fs : {990.0f, 1000.0f}) {
    const int n = DecimationFactor(fs, 20);
    const qint32 cut = n * static_cast<qint32>(std::ceil(fs / 10 / n));
    for (const double noise : {0.0002, 0.0005}) {
      for (unsigned seed = 1; seed <= 5; ++seed) {
        SCOPED_TRACE(testing::Message() << fs << " Hz, noise " << noise << " m, seed " << seed);
        const auto data = noisySway(fs, noise, seed);
        AnalysisResult whole, later;
        AnalyseBalanceTest(0, -1, -10, *data, {}, StanceNormal, 0.1, 0.1, {}, whole, false, true);
        AnalyseBalanceTest(cut, -1, -10, *data, {}, StanceNormal, 0.1, 0.1, {}, later, false, true);
        EXPECT_NEAR(whole.fVMax, later.fVMax, 0.03 * later.fVMax);
        EXPECT_NEAR(whole.fAMax, later.fAMax, 0.03 * later.fAMax);
      }
    }
  }
}

}  // namespace
}  // namespace tarn
