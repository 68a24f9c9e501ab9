// The plate list: open, plates coming and going, the driver choice, and the test data buffer.
#include <gtest/gtest.h>

#include "balance/plate/platechoice.h"
#include "balance/tests/plate_testutil.h"

namespace tarn {
namespace {
using platetest::runUntil;

struct ListEvents {
  QObject ctx;
  QStringList log;
  explicit ListEvents(KMX_HID_Devices* d) {
    QObject::connect(d, &KMX_HID_Devices::PlateListUpdateBegin, &ctx, [this] { log << "Begin"; });
    QObject::connect(d, &KMX_HID_Devices::PlateArrived, &ctx,
                     [this](QString p, QString s) { log << "Arrived " + p + " " + s; });
    QObject::connect(d, &KMX_HID_Devices::PlateRemoved, &ctx,
                     [this](QString p, QString s) { log << "Removed " + p + " " + s; });
    QObject::connect(d, &KMX_HID_Devices::PlateNotResponding, &ctx,
                     [this](QString p, QString s) { log << "NotResponding " + p + " " + s; });
    QObject::connect(d, &KMX_HID_Devices::PlateListUpdateDone, &ctx, [this](qint32 n, qint32 h, bool c) {
      log << QString("Done %1 %2 %3").arg(n).arg(h).arg(c ? "true" : "false");
    });
  }
  bool waitDone(int count) {
    return runUntil([&] { return log.filter("Done").size() >= count; });
  }
};

TEST(PlateDriver, OpenListsEveryPlateThroughQueuedEventsInOrder) {
  SimulatedPlateDriver d(2, {.seed = 5}, {});
  ListEvents ev(&d);
  ASSERT_TRUE(d.PlateDevicesOpen());
  EXPECT_EQ(d.PlateCount(), 2);   // ready on return
  EXPECT_TRUE(ev.log.isEmpty());  // events come from the event loop
  ASSERT_TRUE(ev.waitDone(1));
  EXPECT_EQ(ev.log, QStringList({"Begin", "Arrived sim://plate/1 SIM00001", "Arrived sim://plate/2 SIM00002",
                                 "Done 2 4 true"}));
  EXPECT_EQ(d.Plate(1)->SerialNumber(), "SIM00001");
  EXPECT_EQ(d.Plate(2)->Name(), "KM Force Platform SIM00002");
  EXPECT_EQ(d.Plate(0), nullptr);
  EXPECT_EQ(d.Plate(3), nullptr);

  ev.log.clear();
  ASSERT_TRUE(d.PlateDevicesOpen());  // listing again changes nothing
  ASSERT_TRUE(ev.waitDone(1));
  EXPECT_EQ(ev.log.last(), "Done 2 4 false");
}

TEST(PlateDriver, RemovedPlateStaysUsableAsObjectAndComesBackPowerCycled) {
  SimulatedPlateDriver d(1, {.seed = 5}, {});
  ListEvents ev(&d);
  d.PlateDevicesOpen();
  ASSERT_TRUE(ev.waitDone(1));
  KMX_BalancePlate* plate = d.Plate(1);
  bool removal = false;
  QObject::connect(plate, &KMX_BalancePlate::Removal, &ev.ctx, [&] { removal = true; });
  ev.log.clear();

  d.simulateRemoval(1);
  ASSERT_TRUE(ev.waitDone(1));
  EXPECT_TRUE(removal);
  EXPECT_EQ(ev.log, QStringList({"Begin", "Removed sim://plate/1 SIM00001", "Done 0 2 true"}));
  EXPECT_EQ(d.PlateCount(), 0);
  EXPECT_FALSE(plate->IsConnected());
  EXPECT_FALSE(plate->TestStart(100.0f, 0, 1000));

  ev.log.clear();
  d.simulateArrival("SIM00001");
  ASSERT_TRUE(ev.waitDone(1));
  EXPECT_EQ(ev.log, QStringList({"Begin", "Arrived sim://plate/1 SIM00001", "Done 1 3 true"}));
  EXPECT_EQ(d.Plate(1), plate);
  EXPECT_TRUE(plate->IsConnected());
  EXPECT_EQ(plate->PowerCycleCount(), 1);

  ev.log.clear();
  d.simulateArrival();  // another plate
  ASSERT_TRUE(ev.waitDone(1));
  EXPECT_EQ(d.PlateCount(), 2);
  EXPECT_EQ(ev.log.at(1), "Arrived sim://plate/2 SIM00002");
}

TEST(PlateDriver, NotRespondingPlateRefusesWorkUntilReset) {
  SimulatedPlateDriver d(1, {.seed = 5}, {});
  ListEvents ev(&d);
  d.PlateDevicesOpen();
  ASSERT_TRUE(ev.waitDone(1));
  d.simulateNotResponding(1);
  ASSERT_TRUE(runUntil([&] { return ev.log.contains("NotResponding sim://plate/1 SIM00001"); }));
  EXPECT_FALSE(d.Plate(1)->ZeroStart(1000, 2500));
  d.Plate(1)->Reset();
  EXPECT_TRUE(d.Plate(1)->IsSettling());
  EXPECT_FALSE(d.Plate(1)->ZeroStart(1000, 2500)) << "the electronics settle first";
  platetest::runFor(AcquiringPlate::kResetSettleMs);
  EXPECT_FALSE(d.Plate(1)->IsSettling());
  EXPECT_TRUE(d.Plate(1)->ZeroStart(1000, 2500));
}

TEST(PlateDriver, CloseReleasesThePlatesFromTheList) {
  SimulatedPlateDriver d(1, {.seed = 5}, {});
  d.PlateDevicesOpen();
  KMX_BalancePlate* p = d.Plate(1);
  ASSERT_TRUE(p->TestStart(100.0f, 0, 60000));
  d.PlateDevicesClose();
  EXPECT_EQ(d.PlateCount(), 0);
  EXPECT_FALSE(p->IsAcquiring());
  EXPECT_FALSE(p->IsConnected());
  ASSERT_TRUE(d.PlateDevicesOpen());  // the same plate is found again
  EXPECT_EQ(d.PlateCount(), 1);
  EXPECT_EQ(d.Plate(1), p);
  EXPECT_TRUE(p->IsConnected());
}

TEST(PlateDriverChoice, EnvironmentTextsChooseTheDriver) {
  auto c = parsePlateDriverChoice("");
  EXPECT_EQ(c.kind, PlateDriverChoice::Kind::Simulated);
  EXPECT_EQ(c.plates, 1);
  EXPECT_TRUE(c.error.isEmpty());

  EXPECT_EQ(parsePlateDriverChoice("none").plates, 0);

  c = parsePlateDriverChoice("sim:plates=3, weight=82.5,seed=9,variant-b,eyes-closed,foam");
  EXPECT_TRUE(c.error.isEmpty()) << c.error.toStdString();
  EXPECT_EQ(c.plates, 3);
  EXPECT_DOUBLE_EQ(c.subject.weightKg, 82.5);
  EXPECT_EQ(c.plate.seed, 9u);
  EXPECT_TRUE(c.plate.variantB);
  EXPECT_TRUE(c.subject.eyesClosed);
  EXPECT_TRUE(c.subject.onFoam);

  c = parsePlateDriverChoice("replay:/data/a,b.csv,positive-fz,fs=200");
  EXPECT_EQ(c.kind, PlateDriverChoice::Kind::Replay);
  EXPECT_EQ(c.file, "/data/a,b.csv");
  EXPECT_TRUE(c.replay.positiveFz);
  EXPECT_DOUBLE_EQ(c.replay.frequencyHz, 200.0);
  EXPECT_TRUE(c.error.isEmpty());

  c = parsePlateDriverChoice("replay:rec.csv");
  EXPECT_FALSE(c.replay.positiveFz);
  EXPECT_DOUBLE_EQ(c.replay.frequencyHz, 100.0);
}

TEST(PlateDriverChoice, TextsNotUnderstoodFallBackWholeOrLeaveNoPlate) {
  for (const char* bad : {"sim:plates=99", "sim:weight=70,colour=red", "usb"}) {
    SCOPED_TRACE(bad);
    const auto c = parsePlateDriverChoice(bad);
    EXPECT_FALSE(c.error.isEmpty());
    EXPECT_EQ(c.kind, PlateDriverChoice::Kind::Simulated);
    EXPECT_EQ(c.plates, 1);
    EXPECT_DOUBLE_EQ(c.subject.weightKg, 70.0);  // nothing of the bad text is used
  }
  for (const char* bad : {"replay:", "replay:rec.csv,fs=abc", "replay:rec.csv,fs=0"}) {
    SCOPED_TRACE(bad);
    const auto c = parsePlateDriverChoice(bad);
    EXPECT_FALSE(c.error.isEmpty());
    auto d = makePlateDriver(c);
    EXPECT_FALSE(d->PlateDevicesOpen());
    EXPECT_EQ(d->PlateCount(), 0);
    EXPECT_EQ(d->LastError(), c.error);
  }
}

TEST(PlateDriverChoice, CreatePlateDriverReadsTheEnvironment) {
  qputenv("TARNRQ_PLATE", "none");
  auto none = CreatePlateDriver();
  EXPECT_TRUE(none->PlateDevicesOpen());
  EXPECT_EQ(none->PlateCount(), 0);

  qputenv("TARNRQ_PLATE", "sim:plates=2");
  qputenv("TARNRQ_PLATE_TIMESCALE", "250");
  auto two = CreatePlateDriver();
  two->PlateDevicesOpen();
  ASSERT_EQ(two->PlateCount(), 2);
  EXPECT_DOUBLE_EQ(static_cast<AcquiringPlate*>(two->Plate(2))->timeScale(), 250.0);
  qunsetenv("TARNRQ_PLATE");
  qunsetenv("TARNRQ_PLATE_TIMESCALE");
}

TEST(PlateTestDataBuffer, HoldsThreeEqualChannelsAndReadsZeroOutOfRange) {
  PlateTestDataBuffer b(200.0f, 45000.5);
  b.append(-700.0f, 7.0f, -1.5f);
  b.append(-701.0f, 7.5f, -1.0f);
  EXPECT_EQ(b.Count(), 2);
  EXPECT_FLOAT_EQ(b.Sample(1, 1), 7.5f);
  EXPECT_FLOAT_EQ(b.channel(2)[0], -1.5f);
  EXPECT_FLOAT_EQ(b.Sample(3, 0), 0.0f);
  EXPECT_FLOAT_EQ(b.Sample(0, 2), 0.0f);
  EXPECT_FLOAT_EQ(b.Sample(0, -1), 0.0f);
  EXPECT_EQ(b.channel(-1), nullptr);

  EXPECT_FALSE(b.setChannels({1, 2}, {1, 2}, {1}));
  EXPECT_EQ(b.Count(), 2);  // unchanged
  EXPECT_TRUE(b.setChannels({-1, -2, -3}, {1, 2, 3}, {4, 5, 6}));
  EXPECT_EQ(b.Count(), 3);
  EXPECT_FLOAT_EQ(b.Sample(2, 2), 6.0f);

  const PlateTestDataBuffer cut(100.0f, 45001.0, {1, 2, 3}, {4, 5}, {6, 7, 8});  // to the shortest
  EXPECT_EQ(cut.Count(), 2);
  EXPECT_FLOAT_EQ(cut.Sample(2, 1), 7.0f);
  const auto copy = PlateTestDataBuffer::copyOf(b);
  ASSERT_EQ(copy->Count(), 3);
  EXPECT_FLOAT_EQ(copy->Frequency(), 200.0f);
  EXPECT_DOUBLE_EQ(copy->DateTime(), 45000.5);
  EXPECT_FLOAT_EQ(copy->Sample(0, 2), -3.0f);
}

}  // namespace
}  // namespace tarn
