#include <gtest/gtest.h>

#include "balance/balancesettings.h"
#include "balance/procedures/copdisplaylogic.h"
#include "balance/procedures/preliminaryresults.h"
#include "balance/procedures/statictest.h"
#include "balance/procedures/zerocontroller.h"
#include "balance/tests/plate_testutil.h"
#include "core/clock.h"
#include "core/settingkeys.h"
#include "testsupport/scriptedmessages.h"

namespace tarn {
namespace {

using platetest::runUntil;

// ---- Instructions ----

TEST(StaticInstructions, ComposedFromTheConditionsInTheirOrder) {
  TestConditions c;  // plate, both open, normal stance...
  TestTiming t;      // 5 s pre-test, 20 s, a beep at the end
  EXPECT_EQ(
      ComposeStaticInstructions(c, t, true),
      "Instructions:\n"
      "Please stand on the plate, wearing no shoes, in a normal stance, arms free to move, with the head "
      "straight, looking forward.\n\n"
      "The actual test will begin 5 seconds after the 'Acquire' button is pressed, and will last 20 "
      "seconds.\n\n"
      "A sound will be generated to signal the end of the test.\n\n"
      "During the test, avoid any unnecessary movements, do not talk, keep your eyes both open, if you'd "
      "like, "
      "you may watch your weight shifting movements on the display, try breathing normally, and relax.\n\n"
      "If unable to complete the test as instructed without losing balance or requiring external support "
      "press or check 'Unable to Complete'.");
}

TEST(StaticInstructions, OtherConditionsAreLeftToTheOperatorAndBeepsJoined) {
  // Right open left closed, heel to toe (R front), other arms, shoes, other head, looking up,
  // other breathing, counting backwards.
  const TestConditions c{.surface = SurfaceFoam,
                         .eyes = 3,
                         .stance = 5,
                         .arms = 7,
                         .shoes = 2,
                         .head = 8,
                         .gaze = 4,
                         .breathing = 4,
                         .mentalTasking = 2};
  TestTiming t{.preTestMs = 2500, .durationMs = 30000, .beepBegin = true};
  const QString text = ComposeStaticInstructions(c, t, false);
  EXPECT_TRUE(text.contains(
      "Please stand on the foam, wearing shoes, in a heel to toe (R front) stance, looking up."))
      << text.toStdString();
  EXPECT_TRUE(text.contains(
      "will begin 2.5 seconds after the 'Acquire' button is pressed, and will last 30 seconds."));
  EXPECT_TRUE(text.contains("A sound will be generated to signal the beginning and the end of the test."));
  EXPECT_TRUE(text.contains("keep your eyes right open left closed, and relax."));
  EXPECT_FALSE(text.contains("watch your weight"));
  EXPECT_TRUE(text.contains("While standing, count backwards from a 3 digit number in steps of 7."));

  t.beepBegin = t.beepEnd = false;
  EXPECT_FALSE(ComposeStaticInstructions(c, t, false).contains("A sound"));
}

// The after-test text and a test type's caption are seen in the test window's test.
TEST(StaticInstructions, CaptionWithoutTypeAndListItems) {
  EXPECT_EQ(StaticTestCaption(0), QString::fromUtf8("KM TARN™ RQ Balance Testing"));
  EXPECT_EQ(ListItem(conditionlists::kStance, 13), "Other");
  EXPECT_EQ(ListItem(conditionlists::kStance, 14), "");
  EXPECT_EQ(ListItem(conditionlists::kEyes, 0), "");
  EXPECT_EQ(ConditionInSentence("Single Leg\n(Non Dominant)"), "single leg (non dominant)");
}

// ---- Display arithmetic ----

TEST(CoPDisplayLogic, ReplayIntervalFollowsFrequencyAndSpeed) {
  EXPECT_EQ(ReplayIntervalMs(100, 100), 10);
  EXPECT_EQ(ReplayIntervalMs(64, 100), 16);  // 15.625
  EXPECT_EQ(ReplayIntervalMs(990, 50), 2);   // 2.02
  EXPECT_EQ(ReplayIntervalMs(100, 1), 1000);
  EXPECT_FALSE(ReplayIntervalMs(100, 0));
  EXPECT_FALSE(ReplayIntervalMs(0, 100));
  EXPECT_EQ(ReplaySpeedText(100, false), "100%");
  EXPECT_EQ(ReplaySpeedText(100, true), "Paused");
}

// "1/4 in" both ways is seen through the display menu.
TEST(CoPDisplayLogic, GridIntervalItemsCountTheSeparator) {
  EXPECT_DOUBLE_EQ(*GridStepForItem(3), 0.01);  // the default item
  EXPECT_FALSE(GridStepForItem(8)) << "the separator";
  EXPECT_FALSE(GridStepForItem(16));
  EXPECT_DOUBLE_EQ(*GridStepForItem(15), 0.0254 / 32);
}

TEST(CoPDisplayLogic, CoPNeedsTheThresholdAndTurnsWithThePlate) {
  double x = 0, y = 0;
  const CoPTransform flat = CoPTransform::make(-10.0f, 0.0f);
  EXPECT_FALSE(flat.apply(-9.0f, 1, 1, x, y));
  ASSERT_TRUE(flat.apply(-10.0f, 2.0f, -1.0f, x, y));
  EXPECT_DOUBLE_EQ(x, -0.1);  // -M2/Fz
  EXPECT_DOUBLE_EQ(y, -0.2);  // M1/Fz
  const CoPTransform turned = CoPTransform::make(-10.0f, float(M_PI / 2));
  ASSERT_TRUE(turned.apply(-10.0f, 2.0f, -1.0f, x, y));
  EXPECT_NEAR(x, -0.2, 1e-7);
  EXPECT_NEAR(y, 0.1, 1e-7);
}

TEST(CoPDisplayLogic, FeedbackScaleIsTrueInsideAndKeepsTheLimitsInView) {
  const FeedbackScale f{.inner = 0.02, .outer = 0.142, .innerShare = 0.6};
  struct Case {
    double r, fraction;
  };
  const Case cases[] = {{0, 0}, {0.01, 0.3}, {0.02, 0.6}, {0.081, 0.8}, {0.142, 1.0}, {0.2, 1.19}};
  for (const Case& c : cases) {
    EXPECT_NEAR(f.toDisplay(c.r), c.fraction, 0.01) << c.r;
    EXPECT_NEAR(f.fromDisplay(f.toDisplay(c.r)), c.r, 1e-12) << c.r;
  }
  const FeedbackScale linear{.inner = 0, .outer = 0.1};
  EXPECT_FALSE(linear.active());
  EXPECT_DOUBLE_EQ(linear.toDisplay(0.05), 0.5);
  EXPECT_DOUBLE_EQ(linear.fromDisplay(0.5), 0.05);
}

// The ellipse drawn is the one the analysis computed, in the display's axes: semi-axes along and
// across the predominant direction, measured from ML towards AP.
TEST(CoPDisplayLogic, EllipseOfTheAnalysisLiesAlongTheSway) {
  const int n = 3600;
  const double angle = M_PI / 6, a = 0.02, b = 0.005;
  std::vector<float> fz(n, -700.0f), m1(n), m2(n);
  for (int i = 0; i < n; ++i) {
    const double t = 2 * M_PI * i / n, u = a * std::cos(t), v = b * std::sin(t);
    const double x = 0.01 + u * std::cos(angle) - v * std::sin(angle);
    const double y = 0.02 + u * std::sin(angle) + v * std::cos(angle);
    m2[i] = static_cast<float>(-x * fz[i]);  // x = -M2/Fz
    m1[i] = static_cast<float>(y * fz[i]);   // y = M1/Fz
  }
  const PlateTestDataBuffer data(100.0f, 46000.0, fz, m1, m2);
  AnalysisResult r;
  AnalyseBalanceTest(0, n - 1, -10.0f, data, {}, 1, 0.129, 0.080, StanceFactors{}, r, false, false);
  const auto e = AnalysisEllipse(r);
  ASSERT_TRUE(e);
  EXPECT_NEAR(e->cx, 0.01, 1e-6);
  EXPECT_NEAR(e->cy, 0.02, 1e-6);
  EXPECT_NEAR(e->a, 1.96 * a / std::sqrt(2.0), 1e-5);
  EXPECT_NEAR(e->b, 1.96 * b / std::sqrt(2.0), 1e-5);
  EXPECT_NEAR(e->angle, angle, 1e-4);
  EXPECT_FALSE(AnalysisEllipse(AnalysisResult{}));
}

TEST(CoPDisplayLogic, LiveViewHoldsTheLimitsAndTheFinishedViewTheSway) {
  BalanceTestRun run;  // both feet: 0.129 m ML, 0.080 m AP
  const CoPDisplayGeometry live = LiveDisplayGeometry(run, StanceFactors{}, 0.002, 0.015);
  EXPECT_NEAR(live.width, 2.2 * 0.129, 1e-12);
  EXPECT_DOUBLE_EQ(live.losXo, 0.002);
  EXPECT_DOUBLE_EQ(live.yo, 0.015);
  EXPECT_DOUBLE_EQ(live.feedbackInner, kFeedbackInnerM);
  run.conditions.stance = StanceSingleLegR;  // narrow limits: the true-scale part shrinks
  EXPECT_LE(LiveDisplayGeometry(run, StanceFactors{}).feedbackInner,
            0.25 * LiveDisplayGeometry(run, StanceFactors{}).width);

  EXPECT_FALSE(FinishedDisplayGeometry(run, StanceFactors{})) << "nothing analysed";
  run.analysed = true;
  run.result.lValidSamples = run.result.lWeightSamples = 2000;
  run.result.fWeight = -700;
  run.result.fXo = 0.003;
  run.result.fYo = 0.012;
  run.result.fRadialMax = 0.011;
  run.result.fLoSX = 0.036;
  run.result.fLoSY = 0.080;
  run.result.f95MaxSway = 0.02;
  run.result.f95MinSway = 0.01;
  const auto g = FinishedDisplayGeometry(run, StanceFactors{});
  ASSERT_TRUE(g);
  EXPECT_NEAR(g->width, 2.2 * 2 * 0.011, 1e-12);
  EXPECT_DOUBLE_EQ(g->xo, 0.003);
  EXPECT_DOUBLE_EQ(g->losYo, 0.012);
  EXPECT_DOUBLE_EQ(g->losX, 0.036) << "the limits the analysis used";
  EXPECT_DOUBLE_EQ(g->feedbackInner, 0.0);
  ASSERT_TRUE(g->ellipse);
  run.result.fRadialMax = 0.001;
  EXPECT_DOUBLE_EQ(FinishedDisplayGeometry(run, StanceFactors{})->width, 0.02) << "never closer than 2 cm";
}

TEST(CoPDisplayLogic, ReplayPlaysEverySampleAtItsSpeedToTheEnd) {
  const int n = 250;
  std::vector<float> fz(n, -700.0f), m1(n), m2(n, 7.0f);
  fz[10] = -5.0f;  // below the threshold: not drawn
  auto data = std::make_shared<PlateTestDataBuffer>(100.0f, 46000.0, fz, m1, m2);
  CoPReplay replay;
  EXPECT_FALSE(replay.start(nullptr, CoPTransform::make(-10.0f, 0.0f)));
  ASSERT_TRUE(replay.start(data, CoPTransform::make(-10.0f, 0.0f)));
  int drawn = 0;
  double lastX = 0;
  const auto sink = [&](double x, double) { ++drawn, lastX = x; };
  replay.setSpeed(50);
  EXPECT_FALSE(replay.advance(1000, sink));  // half speed: 0.5 s of recording
  EXPECT_EQ(replay.position(), 50);
  EXPECT_EQ(drawn, 49);
  EXPECT_DOUBLE_EQ(lastX, 0.01);
  replay.pause();
  EXPECT_FALSE(replay.advance(1000, sink));
  EXPECT_EQ(replay.position(), 50);
  replay.resume();
  replay.setSpeed(0);  // refused: the speed stays
  EXPECT_EQ(replay.speed(), 50);
  replay.setSpeed(400);
  EXPECT_FALSE(replay.advance(499, sink));  // 199.6 samples due
  EXPECT_EQ(replay.position(), 249);
  EXPECT_TRUE(replay.advance(10, sink));
  EXPECT_FALSE(replay.running());
  EXPECT_EQ(replay.position(), n);
  EXPECT_EQ(drawn, n - 1);
  EXPECT_EQ(replay.timeText(), "Test Time\n2.5 s");
}

// ---- Preliminary results ----

TEST(PreliminaryResults, LabelsCarryTheChosenUnits) {
  AnalysisResult r;
  r.fDuration = 20;
  r.lTotalSamples = 2000;
  r.lValidSamples = 1990;
  r.fWeight = -686.5;
  r.fXo = 0.002;
  r.fYo = 0.0155;
  r.f95Area = 0.000235;
  r.fSwayDirection = M_PI / 4;
  r.fFatigue = -0.125;
  r.fVAve = 0.0123;
  r.fStability = 0.8766f;
  r.dtDate = 46000.5;
  const QString mm = PreliminaryResultsText(r, true, 5, 3);
  EXPECT_TRUE(mm.startsWith("PRELIMINARY TEST RESULTS\n"));
  EXPECT_TRUE(mm.contains("Test Duration: 20.00 s\n"));
  EXPECT_TRUE(mm.contains("Samples Acquired: 2000 - Valid Samples Analyzed: 1990\n"));
  EXPECT_TRUE(mm.contains("Average Vertical Force (weight): 686.5 N\n"));
  EXPECT_TRUE(mm.contains("Predominant Direction of Sway (0 = ML, 90 = AP): 45.0 deg\n"));
  EXPECT_TRUE(mm.contains("Adaptation Ratio (0% = no adaptation): 12.5%"));
  EXPECT_TRUE(mm.contains("Sway Velocity - MAX: 0 mm/s, AVE: 12.3 mm/s"));
  EXPECT_TRUE(
      mm.contains("Stability Score (95% Confidence - 100% = Perfect Stability): 87.7%\nTest Completed On: "))
      << mm.toStdString();
  EXPECT_EQ(PreliminaryResultsText(r, false, 5, 3),
            "PRELIMINARY TEST RESULTS\n\nNot enough valid samples in the test!");
}

// Small sway measures keep three significant digits in every unit, areas included.
TEST(PreliminaryResults, LengthsAndAreasKeepTheirDigitsInEveryUnit) {
  struct Case {
    int unit;
    const char* cop;   // 15.5 mm AP, 2 mm ML
    const char* area;  // 2.35 cm²
    const char* tiny;  // 0.42 mm
  };
  const Case cases[] = {
      {2, "0.610\" AP, 0.0787\" ML", "0.364 in²", "0.0165\""},
      {3, "0.0155 m AP, 0.00200 m ML", "0.000235 m²", "0.000420 m"},
      {4, "1.55 cm AP, 0.200 cm ML", "2.35 cm²", "0.0420 cm"},
      {5, "15.5 mm AP, 2.00 mm ML", "235 mm²", "0.420 mm"},
  };
  AnalysisResult r;
  r.fXo = 0.002;
  r.fYo = 0.0155;
  r.f95Area = 0.000235;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.unit);
    const QString text = PreliminaryResultsText(r, true, c.unit, 3);
    EXPECT_TRUE(text.contains(QString("Average CoP Location: ") + QString::fromUtf8(c.cop) + "\n"))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QString::fromUtf8(c.area)));
    EXPECT_EQ(FormatLengthSignificant(0.00042, c.unit), QString::fromUtf8(c.tiny));
  }
}

TEST(PreliminaryResults, AStoppedTestIsMarkedPartialAndTheScoreCarriesItsClass) {
  BalanceTestRun run;
  run.timing.durationMs = 20000;
  run.analysed = true;
  run.result.lValidSamples = run.result.lWeightSamples = 730;
  run.result.fWeight = -700;
  run.result.fStability = 0.9f;
  run.stabilityClass = KM_RQNormsClass::Mildly;
  run.samples = std::make_shared<PlateTestDataBuffer>(100.0f, 46000.0, std::vector<float>(730, -700.0f),
                                                      std::vector<float>(730), std::vector<float>(730));
  PreliminaryResults p = ComposePreliminaryResults(run, 5, 3);
  EXPECT_EQ(p.heading, "PRELIMINARY TEST RESULTS");
  EXPECT_TRUE(p.note.isEmpty());
  EXPECT_EQ(p.score, "90.0%");
  EXPECT_EQ(p.stabilityClass, KM_RQNormsClass::Mildly);
  EXPECT_EQ(StabilityClassName(*p.stabilityClass), "Mildly Reduced");
  run.bIsInterrupted = true;
  p = ComposePreliminaryResults(run, 5, 3);
  EXPECT_EQ(p.heading, "PARTIAL TEST RESULTS");
  EXPECT_EQ(p.note, "The test was stopped after 7.3 s of 20.0 s: the measures cover only that part.");
}

// ---- The test states on the simulated platform ----

struct StaticRig {
  platetest::SimRig sim;
  ScriptedMessages msgs;
  BalanceTestRun run;

  explicit StaticRig(SimulatedSubject subject = {}) : sim({}, subject) {
    run.sName = "Romberg eyes open";
    run.lTestType = 1;
    run.timing.frequencyHz = 100;
    run.timing.preTestMs = 1000;
    run.timing.durationMs = 10000;
    run.subjectBirth = clock::dateToDays(QDate(1960, 5, 17));
  }
  bool zero() {
    ZeroController zc(sim.driver.get());
    bool done = false;
    QObject::connect(&zc, &ZeroController::zeroFinished, [&](bool) { done = true; });
    return zc.acquire(1000) && runUntil([&] { return done; }) && zc.canProceed();
  }
  std::unique_ptr<StaticTestController> controller() {
    auto c = std::make_unique<StaticTestController>(sim.plate, sim.driver.get());
    c->setRun(run);
    return c;
  }
  // A controller for the run on a freshly zeroed plate; null when the zero failed.
  std::unique_ptr<StaticTestController> zeroedController() { return zero() ? controller() : nullptr; }
};

bool waitState(const StaticTestController& c, StaticState s) {
  return runUntil([&] { return c.state() == s; }, 20000);
}

TEST(StaticTest, FullTestAnalysesClassifiesAndKeepsTheSamples) {
  settings::write(settings::CoPThresholdF, 20);
  StaticRig rig;
  rig.run.timing.frequencyHz = 990;
  const auto cp = rig.zeroedController();
  ASSERT_TRUE(cp);
  StaticTestController& c = *cp;
  c.setNotes("steady");
  std::vector<StaticState> seen;
  int points = 0, started = 0, beeps = 0;
  QObject::connect(&c, &StaticTestController::stateChanged, [&](StaticState s) { seen.push_back(s); });
  QObject::connect(&c, &StaticTestController::copPoint, [&](double, double) { ++points; });
  QObject::connect(&c, &StaticTestController::testStarted, [&] { ++started; });
  QObject::connect(&c, &StaticTestController::beep, [&] { ++beeps; });

  EXPECT_EQ(c.state(), StaticState::Ready);
  StaticButtons ready = c.buttons();
  EXPECT_TRUE(ready.acquire && ready.practiceStart && ready.back && !ready.save && !ready.stopTest);
  ASSERT_TRUE(c.acquire());
  EXPECT_EQ(c.statusText(), "") << "the time label names the phase";
  EXPECT_EQ(c.timeText(), "Pre-Test\n1.0 s");
  EXPECT_TRUE(c.buttons().stopTest);
  EXPECT_FALSE(c.buttons().back);
  ASSERT_TRUE(waitState(c, StaticState::Done));
  EXPECT_EQ(seen, (std::vector<StaticState>{StaticState::PreTest, StaticState::Testing, StaticState::Storing,
                                            StaticState::Done}));
  EXPECT_EQ(started, 1);
  EXPECT_EQ(beeps, 1) << "a beep at the end only";
  EXPECT_EQ(points, 10890) << "pre-test and test samples reach the display";
  EXPECT_TRUE(rig.msgs.requests().isEmpty()) << rig.msgs.texts().join("|").toStdString();

  const BalanceTestRun& run = c.run();
  ASSERT_TRUE(run.hasData());
  EXPECT_EQ(run.samples->Count(), 9900);
  EXPECT_TRUE(run.enoughSamples());
  EXPECT_EQ(run.result.lValidSamples, 9900);
  EXPECT_NEAR(run.result.fFrequency, 990.0, 1e-3);
  EXPECT_FLOAT_EQ(run.thresholdN, 20.0f);
  EXPECT_DOUBLE_EQ(run.result.fThreshold, -20.0);
  EXPECT_NEAR(std::abs(run.result.fWeight), 70 * 9.80665, 5.0);
  EXPECT_NEAR(run.result.fYo, 0.015, 0.008);
  EXPECT_GT(run.result.fStability, 0.5);
  ASSERT_TRUE(run.stabilityClass.has_value());
  EXPECT_EQ(run.zeroTime, rig.sim.plate->ZeroTime());
  EXPECT_EQ(run.sPlate, rig.sim.plate->Name());
  EXPECT_EQ(run.sNotes, "steady");
  EXPECT_FALSE(run.bIsInterrupted);
  EXPECT_TRUE(run.describe().contains("lValidSamples = 9900"));
  EXPECT_EQ(c.statusText(), "Test Done");
  EXPECT_EQ(c.timeText(), "Test Time\n10.0 s");
  EXPECT_TRUE(c.resultsText().contains("Valid Samples Analyzed: 9900"));
  const StaticButtons done = c.buttons();
  EXPECT_TRUE(done.save && done.redoTest && done.replay && !done.acquire);

  // Leaving now would lose the test.
  rig.msgs.answer(MsgResult::No);
  EXPECT_FALSE(c.confirmLeave());
  EXPECT_EQ(rig.msgs.requests().last().text,
            "If you exit, any data you acquired or changed will be lost! Do you want to exit?");
  EXPECT_EQ(rig.msgs.requests().last().defaultButton, 2);

  c.redoTest();
  EXPECT_EQ(c.state(), StaticState::Ready);
  EXPECT_FALSE(c.run().hasData());
}

TEST(StaticTest, StopEndsTheTestEarlyAndOnlyUnableToCompleteMaySaveIt) {
  StaticRig rig;
  const auto c = rig.zeroedController();
  ASSERT_TRUE(c);
  ASSERT_TRUE(c->acquire());
  ASSERT_TRUE(waitState(*c, StaticState::Testing));
  ASSERT_TRUE(runUntil([&] { return c->elapsedSeconds() > 2.0; }));
  c->stopTest();
  EXPECT_EQ(c->state(), StaticState::Stopped);
  EXPECT_EQ(c->statusText(), "Test not Done!");
  EXPECT_TRUE(c->run().bIsInterrupted);
  EXPECT_TRUE(c->run().hasData());
  EXPECT_LT(c->run().samples->Count(), 1000);
  EXPECT_TRUE(
      c->resultsText().startsWith("PARTIAL TEST RESULTS\n\nThe test was stopped after 2.0 s of 10.0 s"))
      << c->resultsText().toStdString();
  EXPECT_FALSE(c->buttons().save);
  c->setFallen(true);
  EXPECT_TRUE(c->buttons().save);
  EXPECT_TRUE(c->run().bIsFallen);
  platetest::runFor(100);
  EXPECT_EQ(c->state(), StaticState::Stopped) << "no TestDone after a stop";
}

TEST(StaticTest, PracticeShowsTheCoPAndKeepsNothing) {
  StaticRig rig;
  const auto c = rig.zeroedController();
  ASSERT_TRUE(c);
  int points = 0;
  QObject::connect(c.get(), &StaticTestController::copPoint, [&](double, double) { ++points; });
  ASSERT_TRUE(c->practiceStart());
  EXPECT_TRUE(c->buttons().practiceStop);
  EXPECT_FALSE(c->buttons().acquire);
  ASSERT_TRUE(runUntil([&] { return points > 200; }));
  ASSERT_TRUE(c->recentCoP());
  EXPECT_NEAR(c->recentCoP()->second, 0.015, 0.01);
  c->practiceStop();
  EXPECT_EQ(c->state(), StaticState::Ready);
  EXPECT_FALSE(c->run().hasData());
  EXPECT_FALSE(c->changed());
  EXPECT_TRUE(c->confirmLeave()) << "nothing to lose, nothing asked";
  EXPECT_TRUE(rig.msgs.requests().isEmpty());
}

TEST(StaticTest, EmptyPlateGivesTooFewValidSamples) {
  StaticRig rig({.presence = SimulatedSubject::Presence::Away});
  rig.msgs.answer(MsgResult::OK);
  const auto c = rig.zeroedController();
  ASSERT_TRUE(c);
  ASSERT_TRUE(c->acquire());
  ASSERT_TRUE(waitState(*c, StaticState::Done));
  ASSERT_EQ(rig.msgs.requests().size(), 1);
  EXPECT_EQ(rig.msgs.texts().at(0), NoSubjectDetectedText());
  EXPECT_EQ(rig.msgs.requests().at(0).icon, MsgIcon::Critical);
  EXPECT_FALSE(c->run().enoughSamples());
  EXPECT_FALSE(c->run().stabilityClass);
  EXPECT_EQ(c->statusText(), "Test not Done!");
  EXPECT_TRUE(c->resultsText().endsWith("Not enough valid samples in the test!"));
  EXPECT_FALSE(c->buttons().save);
  EXPECT_TRUE(c->buttons().redoTest);
}

TEST(StaticTest, EachPlateErrorAbandonsTheAcquisition) {
  using F = AcquiringPlate::Fault;
  const std::pair<F, const char*> faults[] = {
      {F::BufferOverRun, "Error: A/D Buffer Overrun!"},
      {F::DataClipped, "Error: A/D Signals Clipped!\n\nTry the acquisition again."},
      {F::ReadTimeout, "Error: Time-out while reading from the Force Platform!"},
      {F::WriteTimeout, "Error: Time-out while writing to the Force Platform!"},
      {F::Removal, "The Force Platform Has Been Disconnected!!!"},
  };
  for (const auto& [fault, text] : faults) {
    SCOPED_TRACE(text);
    StaticRig rig;
    const auto c = rig.zeroedController();
    ASSERT_TRUE(c);
    rig.msgs.answer(MsgResult::OK);
    rig.sim.plate->injectFault(fault, 300);  // in the test phase
    ASSERT_TRUE(c->acquire());
    ASSERT_TRUE(runUntil([&] { return !rig.msgs.requests().isEmpty(); }));
    EXPECT_TRUE(rig.msgs.texts().at(0).startsWith(text)) << rig.msgs.texts().at(0).toStdString();
    EXPECT_EQ(c->state(), fault == F::Removal ? StaticState::NoPlate : StaticState::Ready);
    EXPECT_FALSE(c->run().hasData());
    EXPECT_FALSE(rig.sim.plate->IsAcquiring());
  }
}

// The demo subject stands as each test asks (the simulated plate's tests show how much more it
// then sways).
TEST(StaticTest, TheSimulatedSubjectFollowsTheTestsConditions) {
  StaticRig rig;
  struct Case {
    qint32 eyes, surface;
    bool closed, soft;
  };
  const Case cases[] = {{1, SurfacePlate, false, false},
                        {2, SurfacePlate, true, false},
                        {2, SurfaceFoam, true, true},
                        {3, SurfaceWobbleBoard, false, true},
                        {1, SurfaceOther, false, false}};
  for (const Case& k : cases) {
    rig.run.conditions.eyes = k.eyes;
    rig.run.conditions.surface = k.surface;
    const auto c = rig.controller();
    EXPECT_EQ(rig.sim.plate->subject().eyesClosed, k.closed) << k.eyes << " " << k.surface;
    EXPECT_EQ(rig.sim.plate->subject().onFoam, k.soft) << k.eyes << " " << k.surface;
  }
}

// The zeroing step is over but its controller lives on (the session keeps its window until the
// end): an error during the test is told once, by the test.
TEST(StaticTest, AnErrorDuringTheTestIsAnsweredOnlyByTheTestStep) {
  using F = AcquiringPlate::Fault;
  for (const F fault : {F::ReadTimeout, F::Removal}) {
    StaticRig rig;
    ZeroController zc(rig.sim.driver.get());
    bool zeroed = false;
    QObject::connect(&zc, &ZeroController::zeroFinished, [&](bool ok) { zeroed = ok; });
    ASSERT_TRUE(zc.acquire(1000));
    ASSERT_TRUE(runUntil([&] { return zeroed; }));
    zc.setStepRunning(false);
    const auto c = rig.controller();
    rig.msgs.answer(MsgResult::OK);
    rig.sim.plate->injectFault(fault, 300);
    ASSERT_TRUE(c->acquire());
    ASSERT_TRUE(runUntil([&] { return !rig.msgs.requests().isEmpty(); }));
    platetest::runFor(100);
    ASSERT_EQ(rig.msgs.requests().size(), 1) << rig.msgs.texts().join(" | ").toStdString();
    EXPECT_TRUE(rig.msgs.texts().at(0).startsWith(fault == F::Removal ? "The Force Platform Has Been"
                                                                      : "Error: Time-out while reading"));
  }
}

TEST(StaticTest, NotRespondingPlateAndLostZeroSendTheOperatorBack) {
  {
    StaticRig rig;
    const auto c = rig.zeroedController();
    ASSERT_TRUE(c);
    rig.msgs.answer(MsgResult::OK);
    rig.sim.driver->simulateNotResponding(1);
    ASSERT_TRUE(runUntil([&] { return !rig.msgs.requests().isEmpty(); }));
    EXPECT_TRUE(rig.msgs.texts().at(0).startsWith("A connected KM Force Platform is not responding"));
    EXPECT_EQ(c->state(), StaticState::NoPlate);
  }
  StaticRig rig;
  ASSERT_TRUE(rig.zero());
  rig.sim.plate->powerCycle();
  const auto c = rig.controller();
  rig.msgs.answer(MsgResult::OK);
  EXPECT_FALSE(c->acquire());
  ASSERT_EQ(rig.msgs.requests().size(), 1);
  EXPECT_TRUE(rig.msgs.texts().at(0).contains("has been powered off and on since the last zero"));
  EXPECT_EQ(c->state(), StaticState::NoPlate);
  EXPECT_FALSE(c->buttons().acquire);
}

}  // namespace
}  // namespace tarn
