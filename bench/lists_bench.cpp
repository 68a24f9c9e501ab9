// Data-folder list: cold refresh (every file analysed), warm refresh (nothing changed), and the
// list file written and read back with many entries. Folders are built once per process in a
// temporary TARNRQ_HOME; sizes follow the station's targets unless TARNRQ_BENCH_SMALL is set.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <map>
#include <memory>

#include "data/lists/list.h"
#include "data/tools/demodata.h"

namespace {

struct Folder {
  QString path;
  int files = 0;
};

QTemporaryDir& home() {
  static QTemporaryDir d(QDir::tempPath() + "/tarnrq-bench-XXXXXX");
  static bool set = [] {
    qputenv("TARNRQ_HOME", d.path().toLocal8Bit());
    return true;
  }();
  (void)set;
  return d;
}

bool small() { return qEnvironmentVariableIsSet("TARNRQ_BENCH_SMALL"); }

// n files, `visits` visits each with the four 20 s tests at 100 Hz (sway model recordings).
const Folder& folder(int n, int visits) {
  static std::map<std::pair<int, int>, Folder> made;
  auto it = made.find({n, visits});
  if (it != made.end()) return it->second;
  Folder f;
  f.path = home().path() + QStringLiteral("/data-%1-%2").arg(n).arg(visits);
  tarn::demodata::Options o;
  o.files = n;
  o.seed = 42;
  o.minVisits = o.maxVisits = visits;
  o.repeatSessions = false;
  o.today = 45500;
  auto rec = tarn::demodata::makeModelRecorder(42);
  f.files = tarn::demodata::writeDemoFolder(f.path, o, *rec, nullptr);
  return made.emplace(std::make_pair(n, visits), f).first->second;
}

void BM_ColdRefresh(benchmark::State& state) {
  const int n = small() ? 50 : 1000;
  const Folder& f = folder(n, 1);  // 4 tests of 20 s at 100 Hz per file
  qint64 tests = 0;
  for (auto _ : state) {
    tarn::KM_RQList list;
    list.setWorkerThreads(static_cast<int>(state.range(0)));
    list.Refresh(10.0f, f.path, ".kpf");
    tests += list.lSTTestBalanceCount();
    benchmark::DoNotOptimize(list.lSTBadBalanceFilesCount());
  }
  state.counters["tests_per_s"] = benchmark::Counter(static_cast<double>(tests), benchmark::Counter::kIsRate);
  state.counters["files"] = f.files;
}
BENCHMARK(BM_ColdRefresh)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

// A list of many entries with its subject files in place: the state after a cold refresh.
tarn::KM_RQList& bigList(const Folder& f) {
  static std::unique_ptr<tarn::KM_RQList> list;
  if (!list) {
    list = std::make_unique<tarn::KM_RQList>();
    list->Refresh(10.0f, f.path, ".kpf");
  }
  return *list;
}

const Folder& bigFolder() {
  // 200 distinct subjects (one visit, four tests) copied under 10,000 names: writing each file
  // afresh costs minutes of disk syncs, and the warm refresh and the list file only see entries.
  static const Folder& f = []() -> const Folder& {
    const int n = small() ? 500 : 10000;
    static Folder g;
    g.path = home().path() + "/data-big";
    const QString seedDir = home().path() + "/data-big-seed";
    tarn::demodata::Options o;
    o.files = 200;
    o.seed = 7;
    o.minVisits = o.maxVisits = 1;
    o.repeatSessions = false;
    o.today = 45500;
    auto rec = tarn::demodata::makeModelRecorder(7);
    const int made = tarn::demodata::writeDemoFolder(seedDir, o, *rec, nullptr);
    QDir().mkpath(g.path);
    for (int i = 0; i < n && made > 0; ++i) {
      const QString src =
          QDir(seedDir).filePath(QStringLiteral("DEMO%1.kpf").arg(i % made + 1, 6, 10, QChar('0')));
      if (QFile::copy(src, QDir(g.path).filePath(QStringLiteral("S%1.kpf").arg(i + 1, 6, 10, QChar('0')))))
        ++g.files;
    }
    return g;
  }();
  return f;
}

void BM_WarmRefresh(benchmark::State& state) {
  const Folder& f = bigFolder();
  tarn::KM_RQList& list = bigList(f);
  for (auto _ : state) {
    const qint32 rebuilt = list.Refresh(10.0f, f.path, ".kpf");
    if (rebuilt != 0) state.SkipWithError("entries were rebuilt");
  }
  state.counters["files"] = list.lFilesCount();
}
BENCHMARK(BM_WarmRefresh)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ListFileSave(benchmark::State& state) {
  const Folder& f = bigFolder();
  tarn::KM_RQList& list = bigList(f);
  const QString file = home().path() + "/bench.slf";
  for (auto _ : state) {
    if (!list.FileSave(file)) state.SkipWithError("save failed");
  }
  state.counters["files"] = list.lFilesCount();
  state.counters["bytes"] = static_cast<double>(QFile(file).size());
  state.counters["entry_bytes"] = static_cast<double>(list.approximateBytes());
}
BENCHMARK(BM_ListFileSave)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ListFileLoad(benchmark::State& state) {
  const Folder& f = bigFolder();
  tarn::KM_RQList& list = bigList(f);
  const QString file = home().path() + "/bench-load.slf";
  list.FileSave(file);
  for (auto _ : state) {
    tarn::KM_RQList back;
    if (!back.FileLoad(file)) state.SkipWithError("load failed");
    benchmark::DoNotOptimize(back.lFilesCount());
  }
}
BENCHMARK(BM_ListFileLoad)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  home();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
