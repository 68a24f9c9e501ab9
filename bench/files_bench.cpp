// File manager on 10,000 subject files: opening the window (grid filled and painted), sorting by
// a column, and exporting every row. The folder is 200 distinct subjects under 10,000 names
// (bench/benchfolder.h), refreshed once (about a minute on two cores); TARNRQ_BENCH_SMALL uses 500.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFile>

#include <memory>

#include "bench/benchfolder.h"
#include "core/filedialogs.h"
#include "core/messages.h"
#include "data/lists/list.h"
#include "files/dataexport.h"
#include "files/fmcolumns.h"
#include "files/windows/frmfmanager.h"

namespace {

using tarn::bench::home;

tarn::KM_RQList& bigList() {
  static std::unique_ptr<tarn::KM_RQList> list;
  if (list) return *list;
  tarn::bench::manyNamesFolder("data", tarn::bench::bigFolderFiles(), 11, 2);
  list = std::make_unique<tarn::KM_RQList>();
  list->Refresh(10.0f, home().path() + "/data", ".kpf");
  return *list;
}

void BM_OpenFileManager(benchmark::State& state) {
  tarn::KM_RQList& list = bigList();
  for (auto _ : state) {
    tarn::frmFManager form(list, {});
    form.resize(1280, 720);
    form.show();
    QApplication::processEvents();
    benchmark::DoNotOptimize(form.grid()->rowCount());
  }
  state.counters["rows"] = list.lFilesCount();
}
BENCHMARK(BM_OpenFileManager)->Unit(benchmark::kMillisecond)->UseRealTime();

// One sort per iteration, the order flipping as repeated header clicks do (argument: catalogue
// column: 1 ID, 2 name, 4 date of birth, 8 last test, 39 worst stability, 40 worst class).
void BM_SortByColumn(benchmark::State& state) {
  tarn::KM_RQList& list = bigList();
  tarn::frmFManager form(list, {});
  form.resize(1280, 720);
  form.show();
  QApplication::processEvents();
  const int column = static_cast<int>(state.range(0)) - 1;  // the default choice: column n at n - 1
  bool descending = false;
  for (auto _ : state) {
    form.grdFiles->sortByColumn(column, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
    QApplication::processEvents();
    descending = !descending;
  }
}
BENCHMARK(BM_SortByColumn)
    ->Arg(1)
    ->Arg(2)
    ->Arg(4)
    ->Arg(8)
    ->Arg(39)
    ->Arg(40)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_ExportAllRows(benchmark::State& state) {
  tarn::KM_RQList& list = bigList();
  tarn::frmFManager form(list, {});
  QList<int> rows;
  for (int r = 0; r < form.grid()->rowCount(); ++r) rows << r;
  const QString out = home().path() + "/export.csv";
  tarn::setFileDialogPresenter([&](const tarn::FileDialogRequest&) { return QStringList{out}; });
  tarn::setMessagePresenter([](const tarn::MessageRequest&) { return tarn::MsgResult::No; });  // start anew
  for (auto _ : state) {
    if (!tarn::fm::ExportData(*form.grid(), rows)) state.SkipWithError("export failed");
  }
  state.counters["rows"] = rows.size();
  state.counters["bytes"] = static_cast<double>(QFile(out).size());
}
BENCHMARK(BM_ExportAllRows)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  home();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
