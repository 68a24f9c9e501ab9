// The replay plate: both file layouts, the sign option, resampling, and files it must refuse.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "balance/plate/replayplate.h"
#include "balance/tests/plate_testutil.h"
#include "testsupport/sandbox.h"

namespace tarn {
namespace {
using platetest::PlateEvents;
using platetest::runUntil;

QString writeFile(const QString& name, const QString& text) {
  const QString path = QDir(testsupport::sandboxFolder()).filePath(name);
  QFile f(path);
  EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(text.toUtf8());
  return path;
}

// A short swaying recording in the plate's own convention: Fz negative, channels Fz, M1, M2.
struct Rows {
  std::vector<double> fz, m1, m2;
};
Rows sampleRows(int n) {
  Rows r;
  for (int i = 0; i < n; ++i) {
    const double fz = -700.0 - 0.5 * std::sin(i * 0.3);
    const double x = 0.004 * std::sin(i * 0.11), y = 0.012 + 0.006 * std::cos(i * 0.07);
    r.fz.push_back(fz);
    r.m1.push_back(y * fz);   // y = M1 / Fz
    r.m2.push_back(-x * fz);  // x = -M2 / Fz
  }
  return r;
}

QString threeColumnCsv(const Rows& r) {
  QString s = "Fz,M1,M2\n";
  for (size_t i = 0; i < r.fz.size(); ++i)
    s += QString("%1,%2,%3\n").arg(r.fz[i], 0, 'g', 9).arg(r.m1[i], 0, 'g', 9).arg(r.m2[i], 0, 'g', 9);
  return s;
}

// The same recording from a plate that reports a loaded Fz as positive.
QString sixColumnPositiveCsv(const Rows& r) {
  QString s = "Fx_N,Fy_N,Fz_N,Mx_Nm,My_Nm,Mz_Nm\r\n";
  for (size_t i = 0; i < r.fz.size(); ++i)
    s += QString("1.5,-2.25,%1,%2,%3,0.125\r\n")
             .arg(-r.fz[i], 0, 'g', 9)
             .arg(-r.m1[i], 0, 'g', 9)
             .arg(-r.m2[i], 0, 'g', 9);
  return s;
}

std::unique_ptr<ReplayPlateDriver> openDriver(const QString& path, ReplayOptions o = {}) {
  auto d = std::make_unique<ReplayPlateDriver>(path, o);
  d->PlateDevicesOpen();
  return d;
}

std::shared_ptr<const KMX_PlateTestData> play(AcquiringPlate* p, float fs, qint32 preMs, qint32 testMs) {
  PlateEvents ev(p);
  EXPECT_TRUE(p->TestStart(fs, preMs, testMs));
  EXPECT_TRUE(runUntil([&] { return ev.finished(); }));
  return p->TestData();
}

TEST(PlateReplay, BothLayoutsGiveTheRecordedChannelsAndTheSameCoP) {
  const Rows rows = sampleRows(120);
  auto d3 = openDriver(writeFile("three.csv", threeColumnCsv(rows)));
  auto d6 = openDriver(writeFile("six.csv", sixColumnPositiveCsv(rows)), {.positiveFz = true});
  ASSERT_EQ(d3->PlateCount(), 1);
  ASSERT_EQ(d6->PlateCount(), 1);
  auto* p3 = static_cast<ReplayPlate*>(d3->acquiringPlate(1));
  auto* p6 = static_cast<ReplayPlate*>(d6->acquiringPlate(1));
  EXPECT_EQ(p3->recording().layout, "Fz,M1,M2");
  EXPECT_EQ(p6->recording().layout, "Fx,Fy,Fz,Mx,My,Mz");

  const auto a = play(p3, 100.0f, 0, 1000), b = play(p6, 100.0f, 0, 1000);
  ASSERT_EQ(a->Count(), 100);
  ASSERT_EQ(b->Count(), 100);
  for (int i = 0; i < 100; ++i) {
    ASSERT_FLOAT_EQ(a->Sample(0, i), float(rows.fz[i]));
    ASSERT_FLOAT_EQ(a->Sample(1, i), float(rows.m1[i]));
    ASSERT_FLOAT_EQ(a->Sample(2, i), float(rows.m2[i]));
    const double xa = -a->Sample(2, i) / a->Sample(0, i), ya = a->Sample(1, i) / a->Sample(0, i);
    const double xb = -b->Sample(2, i) / b->Sample(0, i), yb = b->Sample(1, i) / b->Sample(0, i);
    ASSERT_DOUBLE_EQ(xa, xb);
    ASSERT_DOUBLE_EQ(ya, yb);
    ASSERT_LT(b->Sample(0, i), 0.0f);  // loaded plate reads negative
  }
}

TEST(PlateReplay, PreTestTakesTheFirstSecondsAndRatesAreResampled) {
  const Rows rows = sampleRows(60);
  auto d = openDriver(writeFile("r.csv", threeColumnCsv(rows)), {.frequencyHz = 50.0});
  auto* p = d->acquiringPlate(1);
  // 0.2 s of pre-test at 50 Hz uses rows 0..9; the test at 100 Hz then starts at row 10.
  const auto t = play(p, 100.0f, 200, 400);
  ASSERT_EQ(t->Count(), 40);
  for (int k = 0; k < 20; ++k) {
    EXPECT_FLOAT_EQ(t->Sample(0, 2 * k), float(rows.fz[10 + k]));
    EXPECT_NEAR(t->Sample(1, 2 * k + 1), (rows.m1[10 + k] + rows.m1[11 + k]) / 2, 1e-4);
  }
}

TEST(PlateReplay, TestEndsEarlyWhenTheRecordingRunsOut) {
  auto d = openDriver(writeFile("short.csv", threeColumnCsv(sampleRows(30))));
  auto* p = d->acquiringPlate(1);
  PlateEvents ev(p);
  ASSERT_TRUE(p->TestStart(100.0f, 100, 2000));
  ASSERT_TRUE(runUntil([&] { return ev.finished(); }));
  EXPECT_EQ(ev.testDone, (std::vector<bool>{true, false}));
  EXPECT_EQ(p->TestData()->Count(), 20);
  EXPECT_FALSE(p->IsAcquiring());
}

TEST(PlateReplay, NamedColumnsInAnyOrderWithUnitsAndSemicolons) {
  auto d =
      openDriver(writeFile("named.csv", "time_s;M2 (Nm);Fz [N];M1\n0;0.5;-600;1.25\n0.01;0.75;-610;-1\n"));
  ASSERT_EQ(d->PlateCount(), 1);
  const auto t = play(d->acquiringPlate(1), 100.0f, 0, 20);
  ASSERT_EQ(t->Count(), 2);
  EXPECT_FLOAT_EQ(t->Sample(0, 1), -610.0f);
  EXPECT_FLOAT_EQ(t->Sample(1, 1), -1.0f);
  EXPECT_FLOAT_EQ(t->Sample(2, 0), 0.5f);
}

TEST(PlateReplay, ZeroReadsAQuietEmptyPlate) {
  auto d = openDriver(writeFile("z.csv", threeColumnCsv(sampleRows(10))));
  auto* p = d->acquiringPlate(1);
  PlateEvents ev(p);
  ASSERT_TRUE(p->ZeroStart(2000, 2500));
  ASSERT_TRUE(runUntil([&] { return ev.zeroDone > 0; }));
  for (int c = 0; c < 3; ++c) {
    EXPECT_LT(platetest::volts(ev.zeroAve, c), -3.5);
    EXPECT_GE(ev.zeroRms[c].toDouble(), 16.0);
    EXPECT_LT(ev.zeroRms[c].toDouble(), 100.0);
  }
  p->ZeroAccept();  // the recording is already zeroed: replay is unchanged
  const auto t = play(p, 100.0f, 0, 100);
  EXPECT_FLOAT_EQ(t->Sample(0, 0), float(sampleRows(1).fz[0]));
}

TEST(PlateReplay, UnusableFilesAreRefusedWithAClearMessageAndNoPlate) {
  struct Case {
    const char* name;
    const char* text;
    const char* message;
  };
  // What the recording reader refuses (its own test has every case) never makes a plate.
  const Case cases[] = {
      {"columns.csv", "a,b,c\n1,2,3\n", "expected Fz,M1,M2"},
      {"huge.csv", "Fz,M1,M2\n-700,1,2\n-700,1,1e39\n", "is more than a force platform can report"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    const QString path = writeFile(k.name, k.text);
    ReplayRecording rec;
    rec.layout = "untouched";
    QString error;
    EXPECT_FALSE(ReplayRecording::load(path, {}, rec, error));
    EXPECT_TRUE(error.contains(k.message)) << error.toStdString();
    EXPECT_TRUE(error.contains(k.name)) << error.toStdString();
    EXPECT_EQ(rec.layout, "untouched");

    ReplayPlateDriver d(path, {});
    EXPECT_FALSE(d.PlateDevicesOpen());
    EXPECT_EQ(d.PlateCount(), 0);
    EXPECT_EQ(d.LastError(), error);
  }
  ReplayPlateDriver missing(QDir(testsupport::sandboxFolder()).filePath("missing.csv"), {});
  EXPECT_FALSE(missing.PlateDevicesOpen());
  EXPECT_TRUE(missing.LastError().startsWith("Cannot open the recording"));
}

}  // namespace
}  // namespace tarn
