// The simulated plate: zero, acquisition timing, stop, errors, sway statistics, geometry.
#include <gtest/gtest.h>

#include <cmath>

#include "balance/analysis/analysis.h"
#include "balance/plate/simulatedplate.h"
#include "balance/tests/plate_testutil.h"
#include "balance/tools/analysecli.h"
#include "core/clock.h"

namespace tarn {
namespace {
using platetest::copStats;
using platetest::PlateEvents;
using platetest::runUntil;
constexpr double kG = 9.80665;

std::unique_ptr<SimulatedPlate> makePlate(SimulatedPlateConfig cfg = {}, const SimulatedSubject& subject = {},
                                          quint64 seed = 11) {
  cfg.seed = seed;
  if (std::isnan(cfg.temperatureC)) cfg.temperatureC = 27.0;
  auto p = std::make_unique<SimulatedPlate>(1, cfg);
  p->setSubject(subject);
  return p;
}

// Run one zero or one test to its end, recording into ev.
void runZero(SimulatedPlate& p, PlateEvents& ev, qint32 ms = 2000) {
  ev.zeroDone = 0;
  ASSERT_TRUE(p.ZeroStart(ms, 2500));
  ASSERT_TRUE(runUntil([&] { return ev.zeroDone > 0; }));
}

void runTest(SimulatedPlate& p, PlateEvents& ev, float fs, qint32 preMs, qint32 testMs) {
  ev.testDone.clear();
  ASSERT_TRUE(p.TestStart(fs, preMs, testMs));
  ASSERT_TRUE(runUntil([&] { return ev.finished(); }, 30000));
}

TEST(PlateSimZero, ZeroIsInForceOnlyOnceAcceptedAgesAndIsLostToAPowerCycle) {
  auto p = makePlate();
  PlateEvents ev(p.get());
  clock::setNow(QDateTime(QDate(2024, 3, 5), QTime(10, 0)));
  runZero(*p, ev);
  ASSERT_EQ(ev.zeroAve.size(), 3);
  ASSERT_EQ(ev.zeroRms.size(), 3);
  for (int c = 0; c < 3; ++c) {
    const double r = ev.zeroRms[c].toDouble();
    EXPECT_NEAR(ev.zeroSd[c].toDouble(), r, 0.3 * r) << c;  // no drift in two seconds
    EXPECT_DOUBLE_EQ(p->LastZero().ave[c], ev.zeroAve[c].toDouble());
  }
  EXPECT_NEAR(p->HeavyLoad(), 1.0, 0.1);
  EXPECT_FLOAT_EQ(p->LastZero().temperature, 27.0f);
  EXPECT_DOUBLE_EQ(p->LastZero().time, clock::nowDays());
  EXPECT_EQ(p->Excitation(), 2500);
  EXPECT_FALSE(p->IsZeroed());
  EXPECT_EQ(p->ZeroTime(), clock::kMissingDate);
  EXPECT_LT(p->ZeroAgeSeconds(), 0.0);
  p->ZeroAccept();
  EXPECT_TRUE(p->IsZeroed());
  EXPECT_DOUBLE_EQ(p->ZeroTime(), clock::nowDays());
  clock::setNow(QDateTime(QDate(2024, 3, 5), QTime(10, 5)));
  EXPECT_NEAR(p->ZeroAgeSeconds(), 300.0, 1e-3);
  clock::setNow(QDateTime());

  EXPECT_FALSE(p->PowerCycled());
  p->powerCycle();
  EXPECT_EQ(p->PowerCycleCount(), 1);
  EXPECT_TRUE(p->PowerCycled());
  EXPECT_FALSE(p->IsZeroed());
  EXPECT_TRUE(p->AcceptedZero().valid) << "remembered, though no longer applied";
  EXPECT_EQ(p->AcceptedZero().powerCycleCount, 0);
}

// The zero of each situation of the plate, judged as the zeroing window judges it: the idle
// levels of both variants, loads, and each front-end fault.
TEST(PlateSimZero, EachSituationGivesItsQualityFlags) {
  using F = ZeroQualityFlags;
  using P = SimulatedSubject::Presence;
  auto flags = [](std::initializer_list<bool F::*> set) {
    F f;
    f.bBadPower = false;
    for (auto m : set) f.*m = true;
    return f;
  };
  const struct {
    const char* what;
    bool variantB;
    ZeroFault fault;
    double objectKg;
    P presence;
    F expected;
  } cases[] = {
      {"empty A", false, ZeroFault::None, 0, P::Auto, flags({})},
      {"empty B", true, ZeroFault::None, 0, P::Auto, flags({})},
      {"subject", false, ZeroFault::None, 0, P::Standing, flags({&F::bSbjOnPlate, &F::bBadNoise})},
      {"object", false, ZeroFault::None, 30, P::Auto, flags({&F::bObjOnPlate})},
      {"power", false, ZeroFault::UsbPower, 0, P::Auto, flags({&F::bBadPower})},
      {"trim", false, ZeroFault::OutOfTrim, 0, P::Auto, flags({&F::bBadTrim})},
      {"cable", false, ZeroFault::BrokenCable, 0, P::Auto, flags({&F::bBadCable})},
      {"converter", false, ZeroFault::DeadConverter, 0, P::Auto, flags({&F::bBadAD})},
      {"vibration", false, ZeroFault::Vibration, 0, P::Auto, flags({&F::bBadNoise})},
  };
  auto codes = [](const QVariantList& l) {
    return std::array<double, 3>{l.value(0).toDouble(), l.value(1).toDouble(), l.value(2).toDouble()};
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.what);
    auto p = makePlate({.variantB = k.variantB, .objectMassKg = k.objectKg, .fault = k.fault},
                       {.presence = k.presence});
    PlateEvents ev(p.get());
    runZero(*p, ev);
    EXPECT_EQ(p->IsVariantB(), k.variantB);
    const F judged = JudgeZeroQuality(k.variantB, codes(ev.zeroAve), codes(ev.zeroRms), 4096, p->HeavyLoad());
    EXPECT_EQ(judged.logText().toStdString(), k.expected.logText().toStdString());
  }
}

TEST(PlateSimAcquisition, CountsPhasesAndWeightFollowTheRequest) {
  auto p = makePlate({}, {}, 3);
  PlateEvents ev(p.get());
  runZero(*p, ev, 1000);
  p->ZeroAccept();
  clock::setNow(QDateTime(QDate(2024, 6, 1), QTime(9, 30)));
  runTest(*p, ev, 100.0f, 1000, 5000);
  ASSERT_EQ(ev.testDone, (std::vector<bool>{true, false}));
  EXPECT_EQ(ev.pre.size(), 100u);
  ASSERT_EQ(ev.test.size(), 500u);
  for (size_t i = 0; i < ev.test.size(); ++i) ASSERT_EQ(ev.test[i].sample, qint32(i));
  EXPECT_EQ(ev.sampleIn.back(), std::make_pair(499, 500));
  EXPECT_FALSE(p->IsAcquiring());
  // The newest sample's signals: the converter's codes, their volts, and the bridge signal that the
  // load on each channel gives.
  const auto& last = ev.test.back();
  const float load[3] = {last.fz, last.m1, last.m2};
  for (int c = 0; c < 3; ++c) {
    EXPECT_FLOAT_EQ(ev.converterVolts.v[c], float(adcCodeToVolts(ev.converterCodes.code[c]))) << c;
    EXPECT_NEAR(ev.bridgeVolts.v[c], AdcModel::variantA().gainV[c] * load[c], 1e-4) << c;
  }

  auto d = p->TestData();
  ASSERT_TRUE(d);
  ASSERT_EQ(d->Count(), 500);
  EXPECT_FLOAT_EQ(d->Frequency(), 100.0f);
  EXPECT_DOUBLE_EQ(d->DateTime(), clock::nowDays());
  clock::setNow(QDateTime());
  for (int i = 0; i < 500; i += 97) EXPECT_FLOAT_EQ(d->Sample(0, i), ev.test[i].fz);
  const auto s = copStats(*d);
  EXPECT_NEAR(s.meanFz, -70.0 * kG, 3.0);  // zeroed on an empty plate: the person's weight
}

TEST(PlateSimAcquisition, StopEndsAtOnceKeepingWhatWasDelivered) {
  auto p = makePlate({}, {}, 5);
  PlateEvents ev(p.get());
  ASSERT_TRUE(p->TestStart(100.0f, 500, 20000));
  EXPECT_TRUE(p->IsAcquiring());
  EXPECT_TRUE(p->IsPreTest());
  ASSERT_TRUE(runUntil([&] { return ev.test.size() > 50; }));
  EXPECT_FALSE(p->IsPreTest());
  p->TestStop();
  EXPECT_FALSE(p->IsAcquiring());
  const size_t delivered = ev.test.size();
  platetest::runFor(100);
  EXPECT_EQ(ev.test.size(), delivered);
  EXPECT_EQ(ev.testDone, std::vector<bool>{true});  // no TestDone(false) after a stop
  EXPECT_EQ(p->TestData()->Count(), qint32(delivered));
  EXPECT_LT(delivered, 2000u);
  // The plate is free for the next acquisition.
  EXPECT_TRUE(p->TestStart(100.0f, 0, 100));
}

TEST(PlateSimAcquisition, StartsAreRefusedWhileBusyOrWithBadArguments) {
  auto p = makePlate();
  EXPECT_FALSE(p->TestStart(0.0f, 0, 1000));
  EXPECT_FALSE(p->TestStart(100.0f, -1, 1000));
  EXPECT_FALSE(p->TestStart(100.0f, 0, 0));
  EXPECT_FALSE(p->ZeroStart(0, 2500));
  EXPECT_FALSE(p->ZeroStart(1000, 100));
  EXPECT_FALSE(p->TestData());
  ASSERT_TRUE(p->ZeroStart(5000, 2500));
  EXPECT_TRUE(p->IsZeroing());
  EXPECT_FALSE(p->TestStart(100.0f, 0, 1000));
  EXPECT_FALSE(p->ZeroStart(5000, 2500));
  p->ZeroStop();
  EXPECT_FALSE(p->IsZeroing());
  EXPECT_TRUE(p->TestStart(100.0f, 0, 1000));
  EXPECT_FALSE(p->ZeroStart(5000, 2500));
}

TEST(PlateSimErrors, EveryInjectedErrorIsRaisedWithItsEffect) {
  using F = AcquiringPlate::Fault;
  // Each error but clipping ends the acquisition.
  const std::pair<F, const char*> cases[] = {{F::BufferOverRun, "BufferOverRun(50)"},
                                             {F::DataClipped, "DataClipped(50)"},
                                             {F::ReadTimeout, "ReadTimeout"},
                                             {F::WriteTimeout, "WriteTimeout"},
                                             {F::Removal, "Removal"}};
  for (const auto& [fault, expected] : cases) {
    SCOPED_TRACE(expected);
    auto p = makePlate({}, {}, 6);
    PlateEvents ev(p.get());
    p->injectFault(fault, 150);  // 100 pre-test samples, then 50 into the test
    ASSERT_TRUE(p->TestStart(100.0f, 1000, 3000));
    ASSERT_TRUE(runUntil([&] { return ev.log.contains(expected) || ev.finished(); }));
    EXPECT_TRUE(ev.log.contains(expected)) << ev.log.join(' ').toStdString();
    if (fault != F::DataClipped) {
      EXPECT_FALSE(p->IsAcquiring());
      EXPECT_EQ(p->TestData()->Count(), 50);
      platetest::runFor(50);
      EXPECT_FALSE(ev.finished());
    } else {
      ASSERT_TRUE(runUntil([&] { return ev.finished(); }));
      EXPECT_EQ(p->TestData()->Count(), 300);
    }
    EXPECT_EQ(p->IsConnected(), fault != F::Removal);
  }
}

TEST(PlateSimErrors, ImmediateInjectionRaisesOnTheEventLoopAndDuringAZero) {
  auto p = makePlate();
  PlateEvents ev(p.get());
  p->injectFault(AcquiringPlate::Fault::WriteTimeout);
  EXPECT_TRUE(ev.log.isEmpty());  // queued, like a driver event
  ASSERT_TRUE(runUntil([&] { return ev.log.contains("WriteTimeout"); }));

  p->injectFault(AcquiringPlate::Fault::ReadTimeout, 20);
  ASSERT_TRUE(p->ZeroStart(2000, 2500));
  ASSERT_TRUE(runUntil([&] { return ev.log.contains("ReadTimeout"); }));
  EXPECT_FALSE(p->IsZeroing());
  platetest::runFor(50);
  EXPECT_EQ(ev.zeroDone, 0);  // an aborted zero reports nothing
}

TEST(PlateSimErrors, OverloadClipsTheConverterAndIsReportedOnce) {
  auto p = makePlate({}, {.weightKg = 420.0}, 7);  // beyond the vertical channel's range
  PlateEvents ev(p.get());
  runTest(*p, ev, 100.0f, 0, 1000);
  EXPECT_EQ(ev.log.filter("DataClipped").size(), 1);
  EXPECT_TRUE(ev.log.contains("DataClipped(0)"));
}

// CoP sway of the simulated person, computed as the analysis does, per test condition.
TEST(PlateSimSway, SwayGrowsWithEyesClosedAndFoamInRealisticRanges) {
  struct Cond {
    bool ec, foam;
    double ap = 0, ml = 0, speed = 0;
  } conds[] = {{false, false}, {true, false}, {false, true}, {true, true}};
  const int seeds = 4;
  for (Cond& c : conds) {
    for (int seed = 1; seed <= seeds; ++seed) {
      const SimulatedSubject s{.eyesClosed = c.ec, .onFoam = c.foam};
      auto p = makePlate({}, s, 100 + seed);
      PlateEvents ev(p.get());
      runTest(*p, ev, 100.0f, 0, 30000);
      const auto st = copStats(*p->TestData());
      if (!c.ec && !c.foam) {  // the slow drift moves the mean more in harder conditions
        EXPECT_NEAR(st.meanX, s.meanXm, 0.006);
        EXPECT_NEAR(st.meanY, s.meanYm, 0.008);
      }
      c.ap += st.sdY / seeds, c.ml += st.sdX / seeds, c.speed += st.speed / seeds;
    }
  }
  const Cond &eo = conds[0], &ec = conds[1], &foam = conds[2], &ecFoam = conds[3];
  EXPECT_GT(eo.ap, 0.0025);  // quiet standing: a few millimetres
  EXPECT_LT(eo.ap, 0.0065);
  EXPECT_LT(eo.ml, eo.ap);
  EXPECT_GT(eo.speed, 0.004);  // mean CoP speed, m/s
  EXPECT_LT(eo.speed, 0.020);
  EXPECT_GT(ec.ap / eo.ap, 1.15);
  EXPECT_LT(ec.ap / eo.ap, 1.7);
  EXPECT_GT(foam.ap / eo.ap, 1.6);
  EXPECT_LT(foam.ap / eo.ap, 2.5);
  EXPECT_GT(ecFoam.ap, foam.ap * 1.2);
  EXPECT_GT(ecFoam.ml, foam.ml);
}

TEST(PlateSimSway, SameSeedGivesTheSameRecording) {
  auto a = makePlate({}, {}, 42), b = makePlate({}, {}, 42);
  PlateEvents ea(a.get()), eb(b.get());
  runTest(*a, ea, 100.0f, 0, 2000);
  runTest(*b, eb, 100.0f, 0, 2000);
  EXPECT_EQ(ea.testDone, (std::vector<bool>{true, false})) << "the end of a pre-test of no length";
  EXPECT_TRUE(ea.pre.empty());
  const auto &da = *a->TestData(), &db = *b->TestData();
  ASSERT_EQ(da.Count(), db.Count());
  for (int i = 0; i < da.Count(); ++i)
    for (int c = 0; c < 3; ++c) ASSERT_EQ(da.Sample(c, i), db.Sample(c, i));
}

// The plate's rotation and tilt reach the analysis, which undoes them to give the subject's CoP.
TEST(PlateSimGeometry, AnalysisUndoesRotationAndTiltToGiveTheSubjectsCoP) {
  auto p = makePlate({.rotation = 0.4f, .tilt1 = 0.05f, .tilt2 = -0.03f},
                     {.meanXm = 0.03, .meanYm = -0.02, .swayScale = 0.1}, 8);
  PlateEvents ev(p.get());
  runZero(*p, ev, 500);
  p->ZeroAccept();
  runTest(*p, ev, 100.0f, 0, 5000);
  const auto& d = *p->TestData();
  AnalysisResult r, fromData;
  AnalyseBalanceTest(0, d.Count() - 1, -10.0f, *p, 1, 0.1, 0.15, {}, r, true, true);
  AnalyseBalanceTest(0, d.Count() - 1, -10.0f, d, {0.4f, 0.05f, -0.03f}, 1, 0.1, 0.15, {}, fromData, true,
                     true);
  EXPECT_EQ(analysecli::ResultToJson(r), analysecli::ResultToJson(fromData)) << "the plate gives its angles";
  EXPECT_EQ(r.lValidSamples, d.Count());
  EXPECT_NEAR(r.fXo, 0.03, 0.0015);
  EXPECT_NEAR(r.fYo, -0.02, 0.0015);
  EXPECT_NEAR(r.fWeight, -70.0 * kG, 2.0);
  EXPECT_GT(r.fStability, 0.9);
}

TEST(PlateSimZero, ZeroRemovesWhatLayOnThePlate) {
  auto p = makePlate({.surfaceMassKg = 3.0}, {}, 9);  // a board
  PlateEvents ev(p.get());
  runTest(*p, ev, 100.0f, 0, 2000);
  EXPECT_NEAR(copStats(*p->TestData()).meanFz, -73.0 * kG, 4.0);  // factory zero
  runZero(*p, ev, 1000);
  p->ZeroAccept();
  runTest(*p, ev, 100.0f, 0, 2000);
  EXPECT_NEAR(copStats(*p->TestData()).meanFz, -70.0 * kG, 2.0);

  // Zeroing with the person on the plate takes the person away as well.
  p->setSubject({.presence = SimulatedSubject::Presence::Standing});
  runZero(*p, ev, 1000);
  p->ZeroAccept();
  runTest(*p, ev, 100.0f, 0, 2000);
  EXPECT_NEAR(copStats(*p->TestData()).meanFz, 0.0, 5.0);
}

TEST(PlateSimSubject, SteppingOffLeavesTheRestOfTheTestUnloaded) {
  auto p = makePlate({}, {.presence = SimulatedSubject::Presence::StepsOff, .stepOffAfterS = 2.0}, 10);
  PlateEvents ev(p.get());
  runTest(*p, ev, 100.0f, 1000, 4000);
  const auto& d = *p->TestData();
  EXPECT_LT(d.Sample(0, 150), -600.0f);
  for (int i = 250; i < d.Count(); ++i) ASSERT_GT(d.Sample(0, i), -10.0f) << i;
}

TEST(PlateSimTemperature, ElectronicsWarmUpAfterPowerOn) {
  SimulatedPlate p(1, {.temperatureC = std::numeric_limits<double>::quiet_NaN(), .seed = 1});
  const float start = p.Temperature();
  EXPECT_NEAR(start, 23.0f, 2.0f);
  plateclock::advance(20 * 60 * 1000.0);
  EXPECT_GT(p.Temperature(), start + 3.0f);
  EXPECT_LT(p.Temperature(), 30.01f);
}

}  // namespace
}  // namespace tarn
