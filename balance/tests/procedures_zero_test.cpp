#include <gtest/gtest.h>

#include "balance/procedures/balancetestrun.h"
#include "balance/procedures/zerocontroller.h"
#include "balance/tests/plate_testutil.h"
#include "core/settingkeys.h"
#include "testsupport/scriptedmessages.h"

namespace tarn {
namespace {

using platetest::runUntil;

constexpr double kCodesPerVolt = 16777216.0 / 10.0;
std::array<double, 3> volts(double a, double b, double c) {
  return {a * kCodesPerVolt, b * kCodesPerVolt, c * kCodesPerVolt};
}

struct QualityCase {
  const char* what;
  bool variantB;
  std::array<double, 3> ave;  // codes
  std::array<double, 3> rms;
  double heavy;
  ZeroQualityFlags expected;
};

ZeroQualityFlags flags(std::initializer_list<bool ZeroQualityFlags::*> set, bool power) {
  ZeroQualityFlags f;
  f.bBadPower = power;
  for (auto m : set) f.*m = true;
  return f;
}

TEST(ZeroQuality, BothPlateVariantsSetTheFlagsOfTheirLimits) {
  using F = ZeroQualityFlags;
  const double maxNoise = 4096;
  // clang-format off
  const QualityCase cases[] = {
      // First generation: converters idle near -4 V.
      {"A empty plate", false, volts(-4.1, -4.0, -4.1), {20, 22, 19}, 1.0, flags({}, false)},
      {"A all quiet between the rails: USB power", false, volts(-1.2, -1.2, -1.2), {3, 3, 3}, 1.0, flags({}, true)},
      {"A quiet at the negative rail", false, volts(-4.1, -5.0, -4.1), {20, 0, 20}, 1.0, flags({&F::bBadTrim}, false)},
      {"A quiet at the positive rail", false, volts(-4.1, -4.0, 5.0), {20, 20, 0}, 1.0, flags({&F::bBadCable}, false)},
      {"A quiet near 0 V, others noisy", false, volts(0.02, -4.0, -4.1), {2, 20, 20}, 1.0, flags({&F::bBadAD}, false)},
      {"A only quiet channels near 0 V keep the power flag", false, volts(0.02, 0.05, -0.1), {2, 2, 2}, 1.0, flags({&F::bBadAD}, true)},
      {"A noisy and loaded: subject", false, volts(-2.0, -4.0, -4.1), {5000, 20, 20}, 1.0, flags({&F::bSbjOnPlate}, false)},
      {"A noisy near idle: vibration", false, volts(-4.1, -4.0, -4.1), {5000, 20, 20}, 1.0, flags({&F::bBadNoise}, false)},
      {"A loaded and heavy: object", false, volts(-3.0, -4.0, -4.1), {100, 20, 20}, 2.7, flags({&F::bObjOnPlate}, false)},
      {"A loaded without the heavy ratio", false, volts(-3.0, -4.0, -4.1), {100, 20, 20}, 2.6, flags({}, false)},
      // Second generation: converters idle a little above 0 V; power is never blamed.
      {"B empty plate", true, volts(0.3, 0.28, 0.32), {20, 20, 20}, 1.0, flags({}, false)},
      {"B all quiet mid-scale", true, volts(1.2, 1.2, 1.2), {3, 3, 3}, 1.0, flags({}, false)},
      {"B quiet below 0 V: trim and A/D", true, volts(-0.05, 0.28, 0.32), {2, 20, 20}, 1.0, flags({&F::bBadTrim, &F::bBadAD}, false)},
      {"B quiet at the positive rail", true, volts(0.3, 5.0, 0.32), {20, 0, 20}, 1.0, flags({&F::bBadCable}, false)},
      {"B noisy and loaded: subject", true, volts(1.5, 0.28, 0.32), {5000, 20, 20}, 1.0, flags({&F::bSbjOnPlate}, false)},
      {"B noisy near idle: vibration", true, volts(0.3, 0.28, 0.32), {5000, 20, 20}, 1.0, flags({&F::bBadNoise}, false)},
      {"B loaded and heavy: object", true, volts(0.9, 0.28, 0.32), {100, 20, 20}, 3.0, flags({&F::bObjOnPlate}, false)},
  };
  // clang-format on
  for (const auto& c : cases)
    EXPECT_EQ(JudgeZeroQuality(c.variantB, c.ave, c.rms, maxNoise, c.heavy).logText(), c.expected.logText())
        << c.what;
}

TEST(ZeroQuality, LogLineListsTheFlagsInTheirOrder) {
  ZeroQualityFlags f;
  f.bBadTrim = true;
  EXPECT_EQ(f.logText(),
            "Quality Results: bBadAD=0, bBadTrim=-1, bBadCable=0, bObjOnPlate=0, bSbjOnPlate=0, bBadNoise=0, "
            "bBadPower=-1");
}

TEST(ZeroVerdict, FirstFlagInOrderDecidesTheMessageAndItsKind) {
  ZeroQualityFlags all;
  all.bBadAD = all.bBadTrim = all.bBadCable = all.bObjOnPlate = all.bSbjOnPlate = all.bBadNoise = true;
  all.bBadPower = true;
  const ZeroIssue order[] = {ZeroIssue::BadPower,    ZeroIssue::BadTrim,    ZeroIssue::BadAD,
                             ZeroIssue::BadCable,    ZeroIssue::ObjOnPlate, ZeroIssue::SbjOnPlate,
                             ZeroIssue::NoisyRefused};
  bool ZeroQualityFlags::*clearNext[] = {&ZeroQualityFlags::bBadPower,   &ZeroQualityFlags::bBadTrim,
                                         &ZeroQualityFlags::bBadAD,      &ZeroQualityFlags::bBadCable,
                                         &ZeroQualityFlags::bObjOnPlate, &ZeroQualityFlags::bSbjOnPlate};
  for (int i = 0; i < 7; ++i) {
    const ZeroVerdict v = ZeroVerdictFor(all, false);
    EXPECT_EQ(v.issue, order[i]) << i;
    const bool question = v.issue == ZeroIssue::ObjOnPlate || v.issue == ZeroIssue::SbjOnPlate;
    EXPECT_EQ(v.ask, question) << i;
    EXPECT_EQ(v.icon, question ? MsgIcon::Question : MsgIcon::Exclamation) << i;
    EXPECT_FALSE(v.keep) << i;
    EXPECT_EQ(v.resetPlate, i == 0);
    if (i < 6) all.*clearNext[i] = false;
  }
  EXPECT_TRUE(ZeroVerdictFor(ZeroQualityFlags{.bBadPower = false}, false).keep);
}

TEST(ZeroVerdict, NoisyZeroIsOnlyKeptWhenAllowedAndConfirmed) {
  const ZeroQualityFlags noisy{.bBadNoise = true, .bBadPower = false};
  const ZeroVerdict refused = ZeroVerdictFor(noisy, false);
  EXPECT_EQ(refused.message,
            "The Zero was too noisy.\nThe Zero must be repeated making sure nothing is touching the Force "
            "Platform.");
  ScriptedMessages msgs{MsgResult::OK};
  EXPECT_FALSE(AskToKeepZero(refused));

  const ZeroVerdict allowed = ZeroVerdictFor(noisy, true);
  EXPECT_TRUE(allowed.ask);
  msgs.answer(MsgResult::Yes);
  EXPECT_TRUE(AskToKeepZero(allowed));
  msgs.answer(MsgResult::No);
  EXPECT_FALSE(AskToKeepZero(allowed));
  ASSERT_EQ(msgs.requests().size(), 3);
  EXPECT_EQ(msgs.requests().at(1).buttons, MsgButtons::YesNo);
  EXPECT_EQ(msgs.requests().at(1).defaultButton, 2);
}

// Everything that can be wrong with a held zero at once; each check removes the first problem.
TEST(LastZeroStatus, ReasonsFollowTheirOrder) {
  const ZeroRecord last{.plateName = "KM Force Platform SIM00001",
                        .plateSerial = "SIM00001",
                        .surface = 1,
                        .time = 46000.0,
                        .temperature = 27.0,
                        .powerCycleCount = 0,
                        .excitationMv = 2500,
                        .frequencyHz = 100};
  ZeroContext ctx{.chosenSerial = "SIM00002",
                  .surface = 2,
                  .now = last.time + 700.0 / 86400.0,
                  .maxAgeS = 600,
                  .excitationMv = 2000,
                  .frequencyHz = 200,
                  .temperature = 28.5,
                  .powerCycleCount = 1,
                  .tilt1 = 0.1f};

  auto reason = [&] { return JudgeLastZero(last, ctx).reason; };
  EXPECT_EQ(reason(), ZeroReason::SurfaceChanged);
  ctx.surface = 1;
  EXPECT_EQ(reason(), ZeroReason::TooOld);
  ctx.now = last.time + 300.0 / 86400.0;
  EXPECT_EQ(reason(), ZeroReason::OtherPlate);
  ctx.chosenSerial = "SIM00001";
  EXPECT_EQ(reason(), ZeroReason::PowerCycled);
  ctx.powerCycleCount = 0;
  EXPECT_EQ(reason(), ZeroReason::TiltChanged);
  ctx.tilt1 = 0.001f;  // within the tolerance of a level plate
  EXPECT_EQ(reason(), ZeroReason::ExcitationChanged);
  ctx.excitationMv = 2500;
  EXPECT_EQ(reason(), ZeroReason::FrequencyChanged);
  ctx.frequencyHz = 100;
  const ZeroStatus ok = JudgeLastZero(last, ctx);
  EXPECT_EQ(ok.reason, ZeroReason::Valid);
  EXPECT_FALSE(ok.mustZero);
  EXPECT_EQ(ok.text,
            QString::fromUtf8("Last Zero was for Force Platform KM Force Platform SIM00001, with nothing on "
                              "the Force Platform.\nIt was acquired 0.08 hours ago.\nSince then the "
                              "temperature of the Force Platform electronics has changed by +1.5 °C\n\nThe "
                              "last Zero is still valid.\nAcquire a new Zero or proceed to the test."));
  ctx.zeroHeldByPlate = false;  // the plate lost the zero without counting a power cycle
  EXPECT_EQ(reason(), ZeroReason::PowerCycled);

  EXPECT_EQ(JudgeLastZero(std::nullopt, ctx).text,
            "\n\nThere is no Zero in memory\n\nThe Zero must be acquired");
  ctx.plateChosen = false;
  EXPECT_EQ(JudgeLastZero(last, ctx).text, "Please select the Force Platform to be used for the next test");
}

TEST(ZeroTexts, InstructionsNameTheSurfaceThatMayStayOnThePlate) {
  const QString head = "\n\nThe Force Platform must now be zeroed.\n\nPlease make sure nothing";
  const QString tail = " is in contact with the surface of the Force Platform during the zeroing";
  EXPECT_EQ(ZeroInstructions(ZeroPhase::ZeroNeeded, 1), head + tail);
  EXPECT_EQ(ZeroInstructions(ZeroPhase::ZeroNeeded, 2), head + " but the foam cushion" + tail);
  EXPECT_EQ(ZeroInstructions(ZeroPhase::ZeroNeeded, 3), head + " but the wobble board" + tail);
  EXPECT_EQ(ZeroInstructions(ZeroPhase::ZeroNeeded, SurfaceOther), head + " but the test surface" + tail);
  EXPECT_EQ(ZeroInstructions(ZeroPhase::ZeroNeeded, 6), head + " but the test surface" + tail)
      << "an empty item";
  EXPECT_EQ(ZeroInstructions(ZeroPhase::ZeroValid, 1),
            "\n\nClick 'New Zero' to redo the Zero, or 'Next >>' to proceed with the testing.");
  EXPECT_EQ(ZeroInstructions(ZeroPhase::NoPlateConnected, 1),
            "\n\n\nNO Force Platform CONNECTED\n\nPlease connect a Force Platform!");
  EXPECT_EQ(SurfaceOnPlateText(3), "a wobble board");
}

TEST(ZeroTexts, DurationBoxTakesSecondsWithinItsLimits) {
  QString err;
  EXPECT_EQ(ParseZeroDuration("5", err), 5000);
  EXPECT_EQ(ParseZeroDuration(" 2,5 ", err), 2500);
  EXPECT_EQ(ParseZeroDuration("60", err), 60000);
  EXPECT_FALSE(ParseZeroDuration("0.5", err));
  EXPECT_FALSE(ParseZeroDuration("61", err));
  EXPECT_FALSE(ParseZeroDuration("five", err));
  EXPECT_FALSE(err.isEmpty());
}

// The other errors' messages are seen through the zero and test controllers.
TEST(ZeroTexts, ClippingAdviceDependsOnTheWindow) {
  EXPECT_TRUE(
      PlateErrorMessage(PlateError::DataClipped, PlateErrorWindow::Zero).contains("Make sure nothing"));
  EXPECT_TRUE(
      PlateErrorMessage(PlateError::DataClipped, PlateErrorWindow::Static).contains("excitation voltage"));
}

// ---- The controller on the simulated platform ----

bool runZero(ZeroController& zc) {
  bool finished = false;
  QObject::connect(&zc, &ZeroController::zeroFinished, [&](bool) { finished = true; });
  if (!zc.acquire(2000)) return false;
  return runUntil([&] { return finished; });
}

TEST(ZeroController, GoodZeroIsStoredAndMakesTheLastZeroValid) {
  platetest::SimRig rig;
  ScriptedMessages msgs;
  ZeroController zc(rig.driver.get());
  ASSERT_EQ(zc.plate(), rig.plate) << "the only plate is chosen";
  EXPECT_EQ(zc.status().reason, ZeroReason::NoZero);
  EXPECT_EQ(zc.phase(), ZeroPhase::ZeroNeeded);
  EXPECT_FALSE(zc.canProceed());
  ASSERT_TRUE(zc.acquire(2000));
  EXPECT_EQ(zc.instructions(), "\n\n\nForce Platform Zero in Progress...\n\nPlease Wait");
  EXPECT_FALSE(zc.acquire(2000)) << "one zero at a time";
  EXPECT_DOUBLE_EQ(zc.progress(), 0.0);
  platetest::runFor(1000);
  EXPECT_NEAR(zc.progress(), 0.5, 0.02) << "by the plate's clock";
  bool accepted = false, finished = false;
  QObject::connect(&zc, &ZeroController::zeroFinished, [&](bool a) { accepted = a, finished = true; });
  ASSERT_TRUE(runUntil([&] { return finished; }));
  EXPECT_TRUE(accepted);
  EXPECT_TRUE(msgs.requests().isEmpty()) << msgs.texts().join("|").toStdString();
  EXPECT_TRUE(rig.plate->IsZeroed());
  ASSERT_TRUE(LastZero());
  EXPECT_EQ(LastZero()->plateSerial, rig.plate->SerialNumber());
  EXPECT_EQ(zc.status().reason, ZeroReason::Valid);
  EXPECT_EQ(zc.phase(), ZeroPhase::Completed);
  EXPECT_TRUE(zc.canProceed());
  EXPECT_DOUBLE_EQ(zc.progress(), 0.0);
  ASSERT_TRUE(zc.shownZero());

  zc.setSurface(SurfaceFoam);  // the next test stands on foam: zero again
  EXPECT_EQ(zc.status().reason, ZeroReason::SurfaceChanged);
  EXPECT_FALSE(zc.canProceed());
}

TEST(ZeroController, UsbPowerFaultIsRefusedAndThePlateReset) {
  platetest::SimRig rig({.fault = ZeroFault::UsbPower});
  ScriptedMessages msgs{MsgResult::OK};
  ZeroController zc(rig.driver.get());
  ASSERT_TRUE(runZero(zc));
  ASSERT_EQ(msgs.requests().size(), 1);
  EXPECT_TRUE(msgs.texts().at(0).contains("USB power supply problem"));
  EXPECT_EQ(msgs.requests().at(0).icon, MsgIcon::Exclamation);
  EXPECT_FALSE(rig.plate->IsZeroed());
  EXPECT_FALSE(LastZero());
  EXPECT_EQ(rig.plate->config().fault, ZeroFault::None) << "the reset re-initialised the front end";
  EXPECT_FALSE(zc.acquire(2000)) << "the plate settles before the next try";
  ASSERT_TRUE(runUntil([&] { return zc.acquire(2000); }));
}

TEST(ZeroController, SubjectOnThePlateIsKeptOnlyWhenTheOperatorSaysSo) {
  platetest::SimRig rig({}, {.presence = SimulatedSubject::Presence::Standing});
  ScriptedMessages msgs{MsgResult::No, MsgResult::Yes};
  ZeroController zc(rig.driver.get());
  ASSERT_TRUE(runZero(zc));
  ASSERT_EQ(msgs.requests().size(), 1);
  EXPECT_TRUE(msgs.texts().at(0).contains("the entire subject's weight")) << msgs.texts().at(0).toStdString();
  EXPECT_FALSE(rig.plate->IsZeroed());
  // The refused zero stays in view: its loaded vertical channel is why it was refused.
  ASSERT_TRUE(zc.shownZero());
  EXPECT_TRUE(zc.shownZeroRefused());
  EXPECT_EQ(zc.shownZero()->ave, rig.plate->LastZero().ave);
  ASSERT_TRUE(runZero(zc));
  EXPECT_TRUE(rig.plate->IsZeroed());
  EXPECT_FALSE(zc.shownZeroRefused());
  EXPECT_EQ(msgs.unexpected(), 0);
}

TEST(ZeroController, HeavyObjectAskedAbout) {
  platetest::SimRig rig({.objectMassKg = 40});
  ScriptedMessages msgs{MsgResult::Yes};
  ZeroController zc(rig.driver.get());
  ASSERT_TRUE(runZero(zc));
  ASSERT_EQ(msgs.requests().size(), 1);
  EXPECT_TRUE(msgs.texts().at(0).contains("Zero a heavy load")) << msgs.texts().at(0).toStdString();
  EXPECT_TRUE(rig.plate->IsZeroed());
}

TEST(ZeroController, PlateErrorDuringTheZeroAbandonsIt) {
  using F = AcquiringPlate::Fault;
  const std::pair<F, const char*> faults[] = {
      {F::BufferOverRun, "Error: A/D Buffer Overrun!"},
      {F::ReadTimeout, "Error: Time-out while reading from the Force Platform!"},
      {F::WriteTimeout, "Error: Time-out while writing to the Force Platform!"},
      {F::Removal, "The Force Platform has been disconnected!!!"}};
  for (const auto& [fault, text] : faults) {
    SCOPED_TRACE(text);
    platetest::SimRig rig;
    ScriptedMessages msgs{MsgResult::OK};
    ZeroController zc(rig.driver.get());
    ASSERT_TRUE(zc.acquire(5000));
    rig.plate->injectFault(fault);
    ASSERT_TRUE(runUntil([&] { return !msgs.requests().isEmpty(); }));
    EXPECT_TRUE(msgs.texts().at(0).startsWith(text)) << msgs.texts().at(0).toStdString();
    EXPECT_FALSE(zc.acquiring());
    EXPECT_FALSE(rig.plate->IsZeroing());
    EXPECT_FALSE(LastZero());
    EXPECT_EQ(zc.plate() == nullptr, fault == F::Removal);
  }
}

TEST(ZeroController, NotRespondingPlateIsReported) {
  platetest::SimRig rig;
  ScriptedMessages msgs{MsgResult::OK};
  ZeroController zc(rig.driver.get());
  rig.driver->simulateNotResponding(1);
  ASSERT_TRUE(runUntil([&] { return !msgs.requests().isEmpty(); }));
  EXPECT_TRUE(msgs.texts().at(0).startsWith("A connected KM Force Platform is not responding"));
}

TEST(ZeroController, NextAsksBeforeErasingDataOfAnotherZero) {
  platetest::SimRig rig;
  ScriptedMessages msgs{MsgResult::No, MsgResult::Yes};
  ZeroController zc(rig.driver.get());
  ASSERT_TRUE(runZero(zc));
  BalanceTestRun run;
  auto data = std::make_shared<PlateTestDataBuffer>(100.0f, 46000.0);
  data->append(-700, 1, 1);
  run.samples = data;
  run.zeroTime = rig.plate->ZeroTime();
  EXPECT_TRUE(zc.dataOK(&run)) << "same zero: nothing to ask";
  EXPECT_TRUE(msgs.requests().isEmpty());
  run.zeroTime -= 0.01;
  EXPECT_FALSE(zc.dataOK(&run));
  EXPECT_TRUE(run.hasData());
  EXPECT_TRUE(zc.dataOK(&run));
  EXPECT_FALSE(run.hasData());
  ASSERT_EQ(msgs.requests().size(), 2);
  EXPECT_EQ(msgs.texts().at(0), EraseTestDataQuestion());
}

TEST(ZeroController, ProceedsByItselfWhenTheSettingSaysSo) {
  platetest::SimRig rig;
  ScriptedMessages msgs;
  settings::write(settings::ProceedAutomatically, -1);
  ZeroController zc(rig.driver.get());
  int proceed = 0;
  QObject::connect(&zc, &ZeroController::proceedRequested, [&] { ++proceed; });
  ASSERT_TRUE(runZero(zc));
  EXPECT_EQ(proceed, 1);
}

}  // namespace
}  // namespace tarn
