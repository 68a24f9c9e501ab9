#pragma once
// What the benchmarks over a big data folder share: one private TARNRQ_HOME for the run, and a
// folder of many subject files made from a few distinct demo subjects (writing 10,000 files
// afresh costs minutes of disk syncs; a refresh only sees entries).
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <filesystem>

#include "data/tools/demodata.h"

namespace tarn::bench {

// The run's home, set as TARNRQ_HOME the first time it is asked for (before any setting is read).
inline QTemporaryDir& home() {
  static QTemporaryDir d(QDir::tempPath() + "/tarnrq-bench-XXXXXX");
  static const bool set = qputenv("TARNRQ_HOME", d.path().toLocal8Bit());
  (void)set;
  return d;
}

// The size of the big folder: 10,000 files, or 500 with TARNRQ_BENCH_SMALL.
inline int bigFolderFiles() { return qEnvironmentVariableIsSet("TARNRQ_BENCH_SMALL") ? 500 : 10000; }

// `files` subject files S000001.kpf ... in home()/name, drawn in turn from 200 demo subjects of
// `seed` with 1 to `maxVisits` visits (hard links where the file system allows, else copies).
// The number of files in place.
inline int manyNamesFolder(const QString& name, int files, int seed, int maxVisits) {
  const QString seedDir = home().path() + "/" + name + "-seed", dir = home().path() + "/" + name;
  demodata::Options o;
  o.files = 200;
  o.seed = seed;
  o.minVisits = 1;
  o.maxVisits = maxVisits;
  o.today = 45500;
  auto rec = demodata::makeModelRecorder(seed);
  const int made = demodata::writeDemoFolder(seedDir, o, *rec, nullptr);
  QDir().mkpath(dir);
  int placed = 0;
  for (int i = 0; i < files && made > 0; ++i) {
    const QString src =
        QDir(seedDir).filePath(QStringLiteral("DEMO%1.kpf").arg(i % made + 1, 6, 10, QChar('0')));
    const QString dst = QDir(dir).filePath(QStringLiteral("S%1.kpf").arg(i + 1, 6, 10, QChar('0')));
    std::error_code ec;
    std::filesystem::create_hard_link(src.toStdString(), dst.toStdString(), ec);
    if (!ec || QFile::copy(src, dst)) ++placed;
  }
  return placed;
}

}  // namespace tarn::bench
