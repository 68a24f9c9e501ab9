// Settings are read where they are needed, each time: a read must stay cheap.
#include <benchmark/benchmark.h>

#include <QTemporaryDir>
#include <cstdlib>

#include "balance/balancesettings.h"
#include "core/eventlog.h"
#include "core/settingkeys.h"
#include "core/settings.h"

namespace {
using namespace tarn;

void BM_ReadLongStored(benchmark::State& state) {
  settings::write(settings::LoSXOneFoot, 300);
  for (auto _ : state) benchmark::DoNotOptimize(settings::read(settings::LoSXOneFoot));
}
BENCHMARK(BM_ReadLongStored);

void BM_ReadLongMissing(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(settings::read(settings::ZeroMaxNoise));
}
BENCHMARK(BM_ReadLongMissing);

void BM_ReadTextStored(benchmark::State& state) {
  settings::write(settings::ListPrefix, "RQList");
  for (auto _ : state) benchmark::DoNotOptimize(settings::read(settings::ListPrefix));
}
BENCHMARK(BM_ReadTextStored);

void BM_WriteLong(benchmark::State& state) {
  qint32 i = 0;
  for (auto _ : state) settings::write(settings::MainWinPosLeft, ++i);
}
BENCHMARK(BM_WriteLong);

void BM_LogStep(benchmark::State& state) {
  for (auto _ : state) eventlog::logStep("frmTBStatic", "tmrReplay_Timer", QStringLiteral("Sample"));
}
BENCHMARK(BM_LogStep);
}  // namespace

int main(int argc, char** argv) {
  QTemporaryDir home;
  ::setenv("TARNRQ_HOME", home.path().toLocal8Bit().constData(), 1);
  tarn::eventlog::start(home.path() + "/KMTARNRQ.log");
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  tarn::eventlog::endNormally();
  return 0;
}
