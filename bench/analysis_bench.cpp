// Speed of the balance analysis on tests of the usual sizes, with halves and dynamics, and of
// its parts: the low-pass (own sections against the library's per-sample filter), the ellipse
// comparison and the settings read its callers make once per test or list refresh.
#include <benchmark/benchmark.h>
#include <liquid/liquid.h>

#include <cmath>
#include <cstdlib>
#include <numbers>
#include <random>
#include <string>

#include "balance/analysis/analysis.h"
#include "balance/plate/plate.h"

namespace {

using tarn::AnalysisResult;
using tarn::PlateTestDataBuffer;

// Quiet standing: slow random sway of a few millimetres under 700 N, with plate noise.
PlateTestDataBuffer makeTest(float fs, double seconds) {
  PlateTestDataBuffer d(fs, 45000);
  std::mt19937 rng(5);
  std::normal_distribution<double> noise(0, 1);
  const int n = static_cast<int>(std::lround(fs * seconds));
  d.reserve(n);
  double x = 0, y = 0, vx = 0, vy = 0;
  for (int i = 0; i < n; ++i) {
    const double dt = 1.0 / fs;
    vx += (-4 * x - 1.5 * vx) * dt + 0.02 * std::sqrt(dt) * noise(rng);
    vy += (-4 * y - 1.5 * vy) * dt + 0.03 * std::sqrt(dt) * noise(rng);
    x += vx * dt;
    y += vy * dt;
    const double fz = -700 + 2 * noise(rng);
    d.append(static_cast<float>(fz), static_cast<float>(y * fz), static_cast<float>(-x * fz));
  }
  return d;
}

void BM_AnalyseBalanceTest(benchmark::State& state) {
  const float fs = static_cast<float>(state.range(0));
  const PlateTestDataBuffer data = makeTest(fs, static_cast<double>(state.range(1)));
  for (auto _ : state) {
    AnalysisResult r;
    tarn::AnalyseBalanceTest(0, data.Count() - 1, -10, data, {}, tarn::StanceNormal, 0.1, 0.08, {}, r, true,
                             true);
    benchmark::DoNotOptimize(r);
  }
  state.counters["samples"] = data.Count();
}
BENCHMARK(BM_AnalyseBalanceTest)
    ->Args({100, 20})
    ->Args({990, 20})
    ->Args({990, 60})
    ->ArgNames({"fs", "s"})
    ->Unit(benchmark::kMicrosecond);

// The same test with 128-bit registers only, as on a processor without AVX2.
void BM_AnalyseBalanceTest128(benchmark::State& state) {
  tarn::AllowWideVectors(false);
  BM_AnalyseBalanceTest(state);
  tarn::AllowWideVectors(true);
}
BENCHMARK(BM_AnalyseBalanceTest128)->Args({990, 20})->ArgNames({"fs", "s"})->Unit(benchmark::kMicrosecond);

std::vector<double> fzSeries(int n) {
  const PlateTestDataBuffer d = makeTest(990, n / 990.0);
  std::vector<double> v(d.Count());
  for (int i = 0; i < d.Count(); ++i) v[i] = d.Sample(0, i);
  return v;
}

// One channel of a 20 s test at 990 Hz through the station's low-pass and decimation.
void BM_LowPassOwnSections(benchmark::State& state) {
  const std::vector<double> in = fzSeries(19800);
  std::vector<double> out;
  for (auto _ : state) {
    benchmark::DoNotOptimize(tarn::LowPassFilter(in, out, 990, 20));
    benchmark::DoNotOptimize(out.data());
  }
}
BENCHMARK(BM_LowPassOwnSections)->Unit(benchmark::kMicrosecond);

// The same filter run by the library one sample at a time, designed on every call.
void BM_LowPassLibraryPerSample(benchmark::State& state) {
  const std::vector<double> in = fzSeries(19800);
  std::vector<double> out(in.size() / 16);
  for (auto _ : state) {
    iirfilt_rrrf q = iirfilt_rrrf_create_prototype(LIQUID_IIRDES_BUTTER, LIQUID_IIRDES_LOWPASS,
                                                   LIQUID_IIRDES_SOS, 4, 20.0f / 990, 0, 1, 60);
    size_t j = 0;
    for (size_t i = 0; i < in.size(); ++i) {
      float y;
      iirfilt_rrrf_execute(q, static_cast<float>(in[i]), &y);
      if (i % 16 == 0 && j < out.size()) out[j++] = y;
    }
    iirfilt_rrrf_destroy(q);
    benchmark::DoNotOptimize(out.data());
  }
}
BENCHMARK(BM_LowPassLibraryPerSample)->Unit(benchmark::kMicrosecond);

void BM_EllipseRadiusRatio(benchmark::State& state) {
  double mx, mn;
  for (auto _ : state) {
    tarn::EllipseRadiusRatio(0, 0, 0.012, 0.006, 73, 0, 0, 0.13, 0.08, 0, mx, mn);
    benchmark::DoNotOptimize(mx);
    benchmark::DoNotOptimize(mn);
  }
}
BENCHMARK(BM_EllipseRadiusRatio)->Unit(benchmark::kMicrosecond);

void BM_ReadStanceFactors(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(tarn::ReadStanceFactors());
}
BENCHMARK(BM_ReadStanceFactors)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  // Keep the settings store the analysis reads out of the user's own folders.
  char home[] = "/tmp/tarnrq-bench-XXXXXX";
  if (!std::getenv("TARNRQ_HOME") && ::mkdtemp(home)) ::setenv("TARNRQ_HOME", home, 1);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
