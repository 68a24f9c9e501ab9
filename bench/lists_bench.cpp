// Data-folder list at 1,000 and 10,000 subject files: the station's whole list refresh (list file
// loaded, folder compared, list file saved) with nothing changed and with one file changed, the
// cold refresh that analyses every file, and the list file read and written, each beside the same
// rows read or written with plain SQLite so that the ratio reads in one run.
//
// Folders are built once per process in a temporary TARNRQ_HOME: 200 distinct subjects (one visit
// of four 20 s tests at 100 Hz) copied under as many names as needed. TARNRQ_BENCH_SMALL divides
// the sizes by 10.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <chrono>
#include <map>
#include <memory>
#include <string>

#include "bench/plainsqlite.h"
#include "core/folders.h"
#include "data/lists/list.h"
#include "data/lists/listrefresh.h"
#include "data/tools/demodata.h"

namespace {

QTemporaryDir& home() {
  static QTemporaryDir d(QDir::tempPath() + "/tarnrq-bench-XXXXXX");
  static bool set = [] {
    qputenv("TARNRQ_HOME", d.path().toLocal8Bit());
    return true;
  }();
  (void)set;
  return d;
}

int scaled(int n) { return qEnvironmentVariableIsSet("TARNRQ_BENCH_SMALL") ? n / 10 : n; }

// n subject files: copies of 200 distinct ones, so that 10,000 take seconds to make, not hours.
const QString& folder(int n) {
  static std::map<int, QString> made;
  if (auto it = made.find(n); it != made.end()) return it->second;
  const QString seedDir = home().path() + "/seed";
  static const int distinct = [&] {
    tarn::demodata::Options o;
    o.files = 200;
    o.seed = 7;
    o.minVisits = o.maxVisits = 1;
    o.repeatSessions = false;
    o.today = 45500;
    auto rec = tarn::demodata::makeModelRecorder(7);
    return tarn::demodata::writeDemoFolder(seedDir, o, *rec, nullptr);
  }();
  const QString dir = home().path() + QStringLiteral("/data-%1").arg(n);
  QDir().mkpath(dir);
  for (int i = 0; i < n && distinct > 0; ++i)
    QFile::copy(QDir(seedDir).filePath(QStringLiteral("DEMO%1.kpf").arg(i % distinct + 1, 6, 10, QChar('0'))),
                QDir(dir).filePath(QStringLiteral("S%1.kpf").arg(i + 1, 6, 10, QChar('0'))));
  return made.emplace(n, dir).first->second;
}

tarn::ListsRefreshParams params(int n) {
  tarn::ListsRefreshParams p;
  p.listFolder = home().path() + QStringLiteral("/lists-%1").arg(n);
  p.dataPath = folder(n);
  return p;
}

// The list file of a folder after one full refresh.
QString listFile(int n) {
  static std::map<int, QString> made;
  if (auto it = made.find(n); it != made.end()) return it->second;
  tarn::KM_RQList list;
  const tarn::ListsRefreshResult r = tarn::ListsRefresh(list, params(n));
  return made.emplace(n, r.listFile).first->second;
}

// The refresh the main window runs at start and after every save, on a folder where nothing
// changed: a new list object each time, as at a start of the station.
void ListsRefreshUnchanged(benchmark::State& state) {
  const int n = scaled(static_cast<int>(state.range(0)));
  listFile(n);
  for (auto _ : state) {
    tarn::KM_RQList list;
    const tarn::ListsRefreshResult r = tarn::ListsRefresh(list, params(n));
    if (!r.ok || r.rebuilt != 0) state.SkipWithError("entries were rebuilt or the list was not saved");
  }
  state.counters["files"] = n;
}
BENCHMARK(ListsRefreshUnchanged)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

// The list the main window keeps, refreshed again with nothing changed: the list file is neither
// read nor written, every subject file's stamp is taken.
void ListsRefreshKeptUnchanged(benchmark::State& state) {
  const int n = scaled(static_cast<int>(state.range(0)));
  listFile(n);
  tarn::KM_RQList list;
  tarn::ListsRefresh(list, params(n));
  for (auto _ : state) {
    const tarn::ListsRefreshResult r = tarn::ListsRefresh(list, params(n));
    if (!r.ok || r.rebuilt != 0) state.SkipWithError("entries were rebuilt or the list was not saved");
  }
  state.counters["files"] = n;
}
BENCHMARK(ListsRefreshKeptUnchanged)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

// The subject file halfway down a folder of n files, saved again: a new file of the same contents.
struct Resaved {
  QString path;
  QByteArray bytes;
  explicit Resaved(int n)
      : path(QDir(folder(n)).filePath(QStringLiteral("S%1.kpf").arg(n / 2, 6, 10, QChar('0')))) {
    QFile f(path);
    if (f.open(QIODevice::ReadOnly)) bytes = f.readAll();
  }
  void write() const {
    QString why;
    tarn::folders::writePrivateFile(path, bytes, &why);
  }
};

// The same list object refreshed again after one subject file changed (a test was saved): the
// entry is read again and the list file written.
void ListsRefreshOneChanged(benchmark::State& state) {
  const int n = scaled(static_cast<int>(state.range(0)));
  listFile(n);
  tarn::KM_RQList list;
  tarn::ListsRefresh(list, params(n));
  const Resaved changed(n);
  for (auto _ : state) {
    state.PauseTiming();
    changed.write();
    state.ResumeTiming();
    const tarn::ListsRefreshResult r = tarn::ListsRefresh(list, params(n));
    if (!r.ok || r.rebuilt != 1) state.SkipWithError("not exactly one entry rebuilt");
  }
  state.counters["files"] = n;
}
BENCHMARK(ListsRefreshOneChanged)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

// The two above in turn within each iteration, so that the machine's drift hits both alike: the
// best time of each and what one changed file adds.
void ListsRefreshOneChangedVsKept(benchmark::State& state) {
  using Clock = std::chrono::steady_clock;
  const int n = scaled(static_cast<int>(state.range(0)));
  listFile(n);
  tarn::KM_RQList list;
  tarn::ListsRefresh(list, params(n));
  const Resaved changed(n);
  double bestKept = 1e300, bestChanged = 1e300;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    const tarn::ListsRefreshResult kept = tarn::ListsRefresh(list, params(n));
    const auto t1 = Clock::now();
    changed.write();
    const auto t2 = Clock::now();
    const tarn::ListsRefreshResult one = tarn::ListsRefresh(list, params(n));
    const auto t3 = Clock::now();
    if (!kept.ok || kept.rebuilt != 0 || !one.ok || one.rebuilt != 1)
      state.SkipWithError("unexpected rebuilds");
    bestKept = std::min(bestKept, std::chrono::duration<double, std::milli>(t1 - t0).count());
    bestChanged = std::min(bestChanged, std::chrono::duration<double, std::milli>(t3 - t2).count());
  }
  state.counters["kept_ms"] = bestKept;
  state.counters["one_changed_ms"] = bestChanged;
  state.counters["added_ms"] = bestChanged - bestKept;
}
BENCHMARK(ListsRefreshOneChangedVsKept)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->MinTime(3);

// Every file read and analysed (no list file): argument 1 on the calling thread only, 0 with a
// worker per processor.
void ColdRefresh(benchmark::State& state) {
  const int n = scaled(static_cast<int>(state.range(0)));
  const QString& dir = folder(n);  // made before the clock runs
  qint64 tests = 0;
  for (auto _ : state) {
    tarn::KM_RQList list;
    list.setWorkerThreads(static_cast<int>(state.range(1)));
    list.Refresh(10.0f, dir, ".kpf");
    tests += list.lSTTestBalanceCount();
  }
  state.counters["tests_per_s"] = benchmark::Counter(static_cast<double>(tests), benchmark::Counter::kIsRate);
  state.counters["files"] = n;
}
BENCHMARK(ColdRefresh)
    ->Args({1000, 1})
    ->Args({1000, 0})
    ->Args({10000, 0})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseRealTime();

void ListFileLoad(benchmark::State& state) {
  const int n = scaled(static_cast<int>(state.range(0)));
  const QString file = listFile(n);
  for (auto _ : state) {
    tarn::KM_RQList list;
    if (!list.FileLoad(file)) state.SkipWithError("load failed");
    benchmark::DoNotOptimize(list.lFilesCount());
  }
  state.counters["bytes"] = static_cast<double>(QFileInfo(file).size());
}
BENCHMARK(ListFileLoad)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

// The floor of a load: the same file read, opened in memory and every row stepped through with
// each column fetched (names as UTF-16, as the station holds them), with plain SQLite.
void ListFileLoadPlainSqlite(benchmark::State& state) {
  const int n = scaled(static_cast<int>(state.range(0)));
  const QString file = listFile(n);
  qint64 rows = 0;
  for (auto _ : state) {
    qint64 sum = 0;
    rows = tarn::bench::plainSqliteReadElements(file, true, sum);
    benchmark::DoNotOptimize(sum);
  }
  state.counters["rows"] = static_cast<double>(rows);
}
BENCHMARK(ListFileLoadPlainSqlite)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

// The two above alternately, their ratio in one run.
void ListFileLoadVsPlain(benchmark::State& state) {
  const int n = scaled(static_cast<int>(state.range(0)));
  const QString file = listFile(n);
  bool loaded = true;
  tarn::bench::pairedWithPlain(
      state,
      [&] {
        tarn::KM_RQList list;
        loaded = list.FileLoad(file) && loaded;
      },
      [&] {
        qint64 sum = 0;
        tarn::bench::plainSqliteReadElements(file, true, sum);
        benchmark::DoNotOptimize(sum);
      });
  if (!loaded) state.SkipWithError("load failed");
}
BENCHMARK(ListFileLoadVsPlain)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->MinTime(4);

// A save of the whole list to a new file (nothing of an earlier image to patch).
void ListFileSaveWhole(benchmark::State& state) {
  const int n = scaled(static_cast<int>(state.range(0)));
  tarn::KM_RQList list;
  list.FileLoad(listFile(n));
  const QString file = home().path() + QStringLiteral("/whole-%1.slf").arg(n);
  int k = 0;
  for (auto _ : state) {
    if (!list.FileSave(file + QString::number(k++ % 2))) state.SkipWithError("save failed");
  }
  state.counters["bytes"] = static_cast<double>(QFileInfo(file + "0").size());
}
BENCHMARK(ListFileSaveWhole)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

// The floor of a save: the same rows inserted into a new in-memory database with plain SQLite,
// then written out as one file (temporary file, synced, renamed).
void ListFileSavePlainSqlite(benchmark::State& state) {
  const int n = scaled(static_cast<int>(state.range(0)));
  struct Row {
    qint64 id, parent;
    std::string name, key;
    int kind;
    QByteArray data;
  };
  std::vector<Row> rows;
  {
    QFile f(listFile(n));
    f.open(QIODevice::ReadOnly);
    const QByteArray image = f.readAll();
    sqlite3* db = tarn::bench::openPlainImage(image);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "SELECT id, parent, name, name_key, kind, data FROM elements ORDER BY id", -1, &st,
                       nullptr);
    while (sqlite3_step(st) == SQLITE_ROW) {
      const void* blob = sqlite3_column_blob(st, 5);
      rows.push_back(
          Row{sqlite3_column_int64(st, 0), sqlite3_column_int64(st, 1),
              reinterpret_cast<const char*>(sqlite3_column_text(st, 2)),
              reinterpret_cast<const char*>(sqlite3_column_text(st, 3)), sqlite3_column_int(st, 4),
              blob ? QByteArray(static_cast<const char*>(blob), sqlite3_column_bytes(st, 5)) : QByteArray()});
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
  }
  const QString file = home().path() + QStringLiteral("/plain-%1.slf").arg(n);
  for (auto _ : state) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(":memory:", &db, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_exec(
        db,
        "PRAGMA journal_mode = OFF; CREATE TABLE elements(id INTEGER PRIMARY KEY, parent INTEGER NOT "
        "NULL, name TEXT NOT NULL, name_key TEXT NOT NULL, kind INTEGER NOT NULL, data BLOB, "
        "UNIQUE(parent, name_key)); BEGIN",
        nullptr, nullptr, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO elements VALUES (?,?,?,?,?,?)", -1, &st, nullptr);
    for (const Row& r : rows) {
      sqlite3_bind_int64(st, 1, r.id);
      sqlite3_bind_int64(st, 2, r.parent);
      sqlite3_bind_text(st, 3, r.name.data(), static_cast<int>(r.name.size()), SQLITE_STATIC);
      sqlite3_bind_text(st, 4, r.key.data(), static_cast<int>(r.key.size()), SQLITE_STATIC);
      sqlite3_bind_int(st, 5, r.kind);
      if (r.kind == 2)
        sqlite3_bind_blob(st, 6, r.data.constData(), static_cast<int>(r.data.size()), SQLITE_STATIC);
      else
        sqlite3_bind_null(st, 6);
      sqlite3_step(st);
      sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_int64 size = 0;
    unsigned char* bytes = sqlite3_serialize(db, "main", &size, SQLITE_SERIALIZE_NOCOPY);
    QString why;
    tarn::folders::writePrivateFile(
        file, QByteArray::fromRawData(reinterpret_cast<const char*>(bytes), static_cast<qsizetype>(size)),
        &why);
    sqlite3_close(db);
  }
  state.counters["rows"] = static_cast<double>(rows.size());
}
BENCHMARK(ListFileSavePlainSqlite)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  home();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
