// Structured storage at list-file scale: 10,000 subject entries of 17 streams each (the entry's
// five streams and six balance tests of two streams), written into a memory root, copied into a
// storage file, then opened, copied back into memory (or loaded as the memory root, as the list
// does) and read value by value, beside the same rows read with plain SQLite. Argument 0 fills the
// streams as a list file does (about 3.7 million values), 1 with only a few values per stream.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <QFile>

#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>

#include "bench/plainsqlite.h"
#include "data/storage/olestg.h"

namespace {

using namespace tarn;

constexpr int kEntries = 10000;
constexpr int kTestsPerEntry = 6;

// Realistic streams hold the counts given; the "few" variant caps every stream at about three values.
bool g_few = false;

void writeValues(KMX_OLEStorage& st, const QString& name, int longs, int singles, int strings) {
  if (g_few) {
    longs = std::min(longs, 1);
    singles = 0;
    strings = std::min(strings, 1);
  }
  auto s = st.CreateStream(name, stgmode::CreateReplace);
  for (int i = 0; i < strings; ++i) s->Write(StgValue::fromString(QStringLiteral("text value %1").arg(i)));
  for (int i = 0; i < longs; ++i) s->Write(StgValue::fromLong(i));
  for (int i = 0; i < singles; ++i) s->Write(StgValue::fromSingle(float(i) * 0.25f));
  s->Write(StgValue::fromDate(45000.5));
  s->Write(StgValue::fromBoolean(true));
  s->Commit(0);
}

void writeVersion(KMX_OLEStorage& st) {
  auto s = st.CreateStream(QStringLiteral("Version"), stgmode::CreateReplace);
  s->Write(StgValue::fromString(QStringLiteral("KM RQLists")), true, true);
  s->Write(StgValue::fromSingle(1.0f), true, true);
  s->Commit(0);
}

std::shared_ptr<KMX_OLEStorage> buildList(KMX_OLEStgTool& tool) {
  const qint64 h = tool.AllocMemoryBlock(KMX_OLEStgTool::DefaultMemoryBlockSize, 0);
  auto root = tool.CreateRootStorageOnMemory(QStringLiteral("MEM_bench"), stgmode::CreateReplace, h, 0, true);
  tool.ReleaseMemoryBlock(h);
  root->OpenSummaryInfo();
  root->SetSummaryProperty(QStringLiteral("Subject"), QStringLiteral("Kamrith Labs MARC"));
  root->WriteSummaryInfo();
  auto list = root->CreateStorage(QStringLiteral("List"));
  writeVersion(*list);
  writeValues(*list, QStringLiteral("Data"), 12, 1, 1);
  writeValues(*list, QStringLiteral("FileData"), 1, 0, 0);
  for (int f = 1; f <= kEntries; ++f) {
    auto entry = list->CreateStorage(QStringLiteral("File %1").arg(f));
    writeVersion(*entry);
    writeValues(*entry, QStringLiteral("Data"), 6, 1, 5);
    writeValues(*entry, QStringLiteral("Balance"), 19, 16, 0);
    writeValues(*entry, QStringLiteral("BMI"), 5, 4, 0);
    writeValues(*entry, QStringLiteral("Vision"), 14, 12, 0);
    for (int t = 1; t <= kTestsPerEntry; ++t) {
      auto test = entry->CreateStorage(QStringLiteral("TestB %1").arg(t));
      writeVersion(*test);
      writeValues(*test, QStringLiteral("Data"), 3, 33, 6);
    }
  }
  root->Commit(stgcommit::Overwrite);
  return root;
}

qint64 readAll(KMX_OLEStorage& st) {
  qint64 values = 0;
  QString name;
  for (auto t = st.EnumElements(0, name); t != StgElementType::End; t = st.EnumElements(1, name)) {
    if (t == StgElementType::Storage) {
      values += readAll(*st.OpenStorage(name, stgmode::Read));
      continue;
    }
    auto s = st.OpenStream(name, stgmode::Read);
    while (!s->atEnd()) {
      benchmark::DoNotOptimize(s->ReadNext(true, false));
      ++values;
    }
  }
  return values;
}

void StorageWriteMemoryRoot(benchmark::State& state) {
  g_few = state.range(0) == 1;
  for (auto _ : state) {
    KMX_OLEStgTool tool;
    auto root = buildList(tool);
    benchmark::DoNotOptimize(root.get());
  }
  state.counters["streams"] = kEntries * 17;
}
BENCHMARK(StorageWriteMemoryRoot)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);

void StorageCopyMemoryRootToFile(benchmark::State& state) {
  g_few = state.range(0) == 1;
  QTemporaryDir dir;
  KMX_OLEStgTool tool;
  auto mem = buildList(tool);
  const QString path = dir.filePath(QStringLiteral("RQList000001.slf"));
  for (auto _ : state) {
    auto file = tool.CreateStorageFile(path, stgmode::CreateReplace);
    mem->CopyTo(*file);
    mem->CopyElementTo(KMX_OLEStorage::summaryInfoStreamName(), *file);
    if (!file->Commit(stgcommit::Overwrite)) state.SkipWithError("commit failed");
  }
  state.counters["bytes"] = double(QFileInfo(path).size());
}
BENCHMARK(StorageCopyMemoryRootToFile)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);

void StorageOpenFileAndReadAll(benchmark::State& state) {
  g_few = state.range(0) == 1;
  QTemporaryDir dir;
  KMX_OLEStgTool tool;
  const QString path = dir.filePath(QStringLiteral("RQList000001.slf"));
  {
    auto mem = buildList(tool);
    auto file = tool.CreateStorageFile(path, stgmode::CreateReplace);
    mem->CopyTo(*file);
    file->Commit(stgcommit::Overwrite);
  }
  qint64 values = 0;
  for (auto _ : state) {
    auto file = tool.OpenStorageFile(path, stgmode::PriorityDenyNone);
    if (!file) {
      state.SkipWithError("open failed");
      break;
    }
    const qint64 h = tool.AllocMemoryBlock(KMX_OLEStgTool::DefaultMemoryBlockSize, 0);
    auto mem =
        tool.CreateRootStorageOnMemory(QStringLiteral("MEM_") + path, stgmode::CreateReplace, h, 0, true);
    file->CopyTo(*mem);
    file.reset();
    values = readAll(*mem);
    tool.ReleaseMemoryBlock(h);
  }
  state.counters["values"] = double(values);
}
BENCHMARK(StorageOpenFileAndReadAll)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);

QString writeListFile(QTemporaryDir& dir) {
  KMX_OLEStgTool tool;
  const QString path = dir.filePath(QStringLiteral("RQList000001.slf"));
  auto mem = buildList(tool);
  mem->WriteToFile(path);
  return path;
}

// The list's way: the file's image loaded as the memory root, then every stream read.
void StorageLoadImageAndReadAll(benchmark::State& state) {
  g_few = state.range(0) == 1;
  QTemporaryDir dir;
  const QString path = writeListFile(dir);
  KMX_OLEStgTool tool;
  qint64 values = 0;
  for (auto _ : state) {
    const qint64 h = tool.AllocMemoryBlock(KMX_OLEStgTool::DefaultMemoryBlockSize, 0);
    auto mem = tool.LoadRootStorageOnMemory(QStringLiteral("MEM_") + path, h, path);
    if (!mem) {
      state.SkipWithError("load failed");
      break;
    }
    values = readAll(*mem);
    tool.ReleaseMemoryBlock(h);
  }
  state.counters["values"] = double(values);
}
BENCHMARK(StorageLoadImageAndReadAll)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);

// The floor beside it: the same file read and every row stepped through, each column fetched.
void StoragePlainSqliteReadAll(benchmark::State& state) {
  g_few = state.range(0) == 1;
  QTemporaryDir dir;
  const QString path = writeListFile(dir);
  qint64 rows = 0;
  for (auto _ : state) {
    qint64 sum = 0;
    rows = tarn::bench::plainSqliteReadElements(path, false, sum);
    benchmark::DoNotOptimize(sum);
  }
  state.counters["rows"] = double(rows);
}
BENCHMARK(StoragePlainSqliteReadAll)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);

// The two above alternately, their ratio in one run.
void StorageLoadImageVsPlain(benchmark::State& state) {
  g_few = state.range(0) == 1;
  QTemporaryDir dir;
  const QString path = writeListFile(dir);
  KMX_OLEStgTool tool;
  qint64 values = 0, rows = 0;
  tarn::bench::pairedWithPlain(
      state,
      [&] {
        const qint64 h = tool.AllocMemoryBlock(KMX_OLEStgTool::DefaultMemoryBlockSize, 0);
        auto mem = tool.LoadRootStorageOnMemory(QStringLiteral("MEM_") + path, h, path);
        values = mem ? readAll(*mem) : 0;
        tool.ReleaseMemoryBlock(h);
      },
      [&] {
        qint64 sum = 0;
        rows = tarn::bench::plainSqliteReadElements(path, false, sum);
        benchmark::DoNotOptimize(sum);
      });
  if (values == 0) state.SkipWithError("load failed");
  state.counters["values"] = double(values);
  state.counters["rows"] = double(rows);
}
BENCHMARK(StorageLoadImageVsPlain)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(15);

// The read half alone: every stream of a memory root read value by value.
void StorageReadAllFromMemoryRoot(benchmark::State& state) {
  g_few = state.range(0) == 1;
  KMX_OLEStgTool tool;
  auto mem = buildList(tool);
  qint64 values = 0;
  for (auto _ : state) values = readAll(*mem);
  state.counters["values"] = double(values);
}
BENCHMARK(StorageReadAllFromMemoryRoot)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
