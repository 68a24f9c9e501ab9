// Times opening the options window on a station with many templates and note sets:
//   tarnrq-options-open [templates=100] [note sets=100] [runs=15]
// Each run builds the window, loads every page (LoadSettings) and shows it until it is painted.
// Prints the median, the fastest and the slowest run, and the model's load alone.
#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "options/optionsmodel.h"
#include "options/tools/optionsseed.h"
#include "options/windows/frmpoptions.h"

int main(int argc, char** argv) {
  QTemporaryDir home(QDir::tempPath() + "/tarnrq-options-open-XXXXXX");
  ::setenv("TARNRQ_HOME", home.path().toLocal8Bit().constData(), 1);
  QApplication app(argc, argv);
  const int templates = argc > 1 ? std::atoi(argv[1]) : 100;
  const int noteSets = argc > 2 ? std::atoi(argv[2]) : 100;
  const int runs = argc > 3 ? std::atoi(argv[3]) : 15;
  tarn::optionstools::seedStation(templates, noteSets, 1920, 1080);

  auto median = [](std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
  };
  std::vector<double> window, model;
  for (int r = 0; r < runs; ++r) {
    QElapsedTimer t;
    t.start();
    {
      tarn::frmPOptions w;
      w.LoadSettings();
      w.show();
      QApplication::processEvents();
      window.push_back(t.nsecsElapsed() / 1e6);
      w.hide();
    }
    t.restart();
    tarn::options::OptionsModel m;
    m.LoadSettings();
    model.push_back(t.nsecsElapsed() / 1e6);
  }
  std::printf("templates %d, note sets %d, runs %d\n", templates, noteSets, runs);
  std::printf("open window: median %.1f ms, fastest %.1f ms, slowest %.1f ms\n", median(window),
              *std::min_element(window.begin(), window.end()),
              *std::max_element(window.begin(), window.end()));
  std::printf("load model : median %.1f ms\n", median(model));
  return 0;
}
