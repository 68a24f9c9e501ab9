#pragma once
// The plain-SQLite baseline the storage and list benchmarks compare against: the file's image read
// into memory, deserialised, and every element row stepped through with each column touched.
#include <sqlite3.h>

#include <benchmark/benchmark.h>

#include <QByteArray>
#include <QFile>
#include <QString>

#include <algorithm>
#include <chrono>

namespace tarn::bench {

// An in-memory connection reading image in place (image must outlive it).
inline sqlite3* openPlainImage(const QByteArray& image) {
  sqlite3* db = nullptr;
  sqlite3_open_v2(":memory:", &db, SQLITE_OPEN_READWRITE, nullptr);
  auto* buf = reinterpret_cast<unsigned char*>(const_cast<char*>(image.constData()));
  sqlite3_deserialize(db, "main", buf, image.size(), image.size(), SQLITE_DESERIALIZE_READONLY);
  return db;
}

// Rows read; `sum` keeps the column reads from being optimised away. Names are read as UTF-16 when
// asked, as the list loader does, otherwise as UTF-8.
inline qint64 plainSqliteReadElements(const QString& path, bool utf16Names, qint64& sum) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return 0;
  const QByteArray image = f.readAll();
  sqlite3* db = openPlainImage(image);
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db, "SELECT id, parent, name, kind, data FROM elements ORDER BY id", -1, &st, nullptr);
  qint64 rows = 0;
  sum = 0;
  while (sqlite3_step(st) == SQLITE_ROW) {
    sum += sqlite3_column_int64(st, 0) + sqlite3_column_int64(st, 1) + sqlite3_column_int(st, 3);
    if (utf16Names)
      sum += sqlite3_column_bytes16(st, 2) + reinterpret_cast<const char*>(sqlite3_column_text16(st, 2))[0];
    else
      sum += sqlite3_column_bytes(st, 2) + reinterpret_cast<const char*>(sqlite3_column_text(st, 2))[0];
    const void* blob = sqlite3_column_blob(st, 4);
    sum += sqlite3_column_bytes(st, 4) + (blob ? *static_cast<const char*>(blob) : 0);
    ++rows;
  }
  sqlite3_finalize(st);
  sqlite3_close(db);
  return rows;
}

// Runs ours and plain alternately in each iteration, so that the machine's drift (its speed moves
// by up to 1.6x from minute to minute) hits both alike, and reports the best time of each and
// their ratio as counters: the ratio reads in one run.
template <class Ours, class Plain>
void pairedWithPlain(benchmark::State& state, Ours&& ours, Plain&& plain) {
  using Clock = std::chrono::steady_clock;
  double bestOurs = 1e300, bestPlain = 1e300;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    ours();
    const auto t1 = Clock::now();
    plain();
    const auto t2 = Clock::now();
    bestOurs = std::min(bestOurs, std::chrono::duration<double, std::milli>(t1 - t0).count());
    bestPlain = std::min(bestPlain, std::chrono::duration<double, std::milli>(t2 - t1).count());
  }
  state.counters["ours_ms"] = bestOurs;
  state.counters["plain_ms"] = bestPlain;
  state.counters["ratio"] = bestOurs / bestPlain;
}

}  // namespace tarn::bench
