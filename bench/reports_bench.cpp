// Results window and reports manager: the window over four 60 s tests at 990 Hz from completing
// the tests to the first paint of its plot, and the reports manager over a data folder of 10,000
// subject files, opening to its first paint and choosing a file to its tests on screen. Runs
// offscreen in a temporary TARNRQ_HOME; TARNRQ_BENCH_SMALL shrinks the folder.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <memory>

#include "bench/benchfolder.h"
#include "data/lists/list.h"
#include "data/subjectfile/subjectfile.h"
#include "data/tools/demodata.h"
#include "reports/windows/frmrmanager.h"
#include "reports/windows/frmtreport.h"

namespace {

using tarn::bench::home;

// Runs the event loop until `w` was painted; the seconds that took.
class PaintWatch : public QObject {
 public:
  explicit PaintWatch(QWidget* w) : w_(w) { w->installEventFilter(this); }
  ~PaintWatch() override { w_->removeEventFilter(this); }
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint) painted = true;
    return false;
  }
  void wait(const QElapsedTimer& clock) {
    while (!painted && clock.elapsed() < 20000) QApplication::processEvents(QEventLoop::AllEvents, 1);
  }
  bool painted = false;

 private:
  QWidget* w_;
};

// One subject with one visit of the four standard tests, 60 s each at 990 Hz.
const QString& longTestsFile() {
  static const QString path = [] {
    const QString dir = home().path() + "/long";
    tarn::demodata::Options o;
    o.files = 1;
    o.seed = 3;
    o.fs = 990.0f;
    o.testSeconds = 60.0;
    o.minVisits = o.maxVisits = 1;
    o.today = 45500;
    auto rec = tarn::demodata::makeModelRecorder(3);
    tarn::demodata::writeDemoFolder(dir, o, *rec, nullptr);
    return dir + "/DEMO000001.kpf";
  }();
  return path;
}

void BM_ResultsWindowFourLongTests(benchmark::State& state) {
  tarn::SubjectFile file;
  if (!file.Open(longTestsFile())) {
    state.SkipWithError("no subject file");
    return;
  }
  const tarn::Visit* v = file.VisitItem(1);
  const tarn::Session* s = v->SessionItem(1);
  for (auto _ : state) {
    tarn::frmTReport w;
    w.setPatientFile(&file);
    for (const auto& t : s->BalanceTests()) w.AddTestBalance(v->sVisitID, s->sSessionID, t->sTestID);
    PaintWatch watch(w.KMXCoPDisplayTB[1]);
    QElapsedTimer clock;
    clock.start();
    w.AddTestCompleted();
    w.show();
    watch.wait(clock);
    state.SetIterationTime(clock.nsecsElapsed() / 1e9);
    w.hide();
  }
  state.counters["samples_per_test"] = s->BalanceTestItem(1)->TestData()->Count();
}
BENCHMARK(BM_ResultsWindowFourLongTests)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

// 200 distinct subjects under 10,000 names, listed once.
tarn::KM_RQList& bigList() {
  static std::unique_ptr<tarn::KM_RQList> list;
  if (list) return *list;
  tarn::bench::manyNamesFolder("big", tarn::bench::bigFolderFiles(), 11, 3);
  list = std::make_unique<tarn::KM_RQList>();
  list->Refresh(10.0f, home().path() + "/big", ".kpf");
  return *list;
}

void BM_ReportsManagerOpens(benchmark::State& state) {
  tarn::KM_RQList& list = bigList();
  for (auto _ : state) {
    QElapsedTimer clock;
    clock.start();
    tarn::frmRManager w(&list);
    PaintWatch watch(w.grdFiles->viewport());
    w.show();
    watch.wait(clock);
    state.SetIterationTime(clock.nsecsElapsed() / 1e9);
    w.hide();
  }
  state.counters["files"] = list.lFilesCount();
}
BENCHMARK(BM_ReportsManagerOpens)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_ReportsManagerChoosesAFile(benchmark::State& state) {
  tarn::KM_RQList& list = bigList();
  tarn::frmRManager w(&list);
  w.show();
  QApplication::processEvents();
  int row = 0;
  for (auto _ : state) {
    row = (row + 997) % list.lFilesCount();  // far apart, so each choice is a new file
    PaintWatch watch(w.grdBalance->viewport());
    QElapsedTimer clock;
    clock.start();
    w.grdFiles->selectRow(row);
    watch.wait(clock);
    state.SetIterationTime(clock.nsecsElapsed() / 1e9);
  }
  state.counters["files"] = list.lFilesCount();
}
BENCHMARK(BM_ReportsManagerChoosesAFile)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_ReportsManagerSortsByName(benchmark::State& state) {
  tarn::KM_RQList& list = bigList();
  auto model = tarn::ReportsManagerModel(&list, tarn::ReportUnits{}, false);
  bool up = true;
  for (auto _ : state) {
    model.sortFiles(tarn::kFileName, up);
    up = !up;
  }
  state.counters["files"] = list.lFilesCount();
}
BENCHMARK(BM_ReportsManagerSortsByName)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  home();
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
