#include "session/sessionrecords.h"

#include "data/records/storedanalysis.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "balance/analysis/analysis.h"
#include "balance/balancesettings.h"
#include "balance/norms/norms.h"
#include "core/eventlog.h"
#include "core/settingkeys.h"
#include "data/records/recordfromrun.h"
#include "data/templates/template.h"
#include "support/units/units.h"

namespace tarn {
namespace {

constexpr char kModule[] = "mdifrmMain";

float single(double v) { return static_cast<float>(v); }

// Body data of a recorded test: the visit's height, BMI and its class from the test's weight.
void fillBody(BalanceTest& t, const Visit& visit, const SubjectInfo& subject) {
  t.fHeight = single(visit.phys.dHeight);
  t.fBMI = 0;
  t.lBMIClass = 0;
  if (t.fHeight > 0 && t.fWeight > 0 && t.TestData()) {
    t.fBMI = single(double(t.fWeight) / (double(t.fHeight) * double(t.fHeight)));
    const auto cls = ClassifyBMI(t.fBMI, subject.dtDoB, t.dtDate, subject.lIsMale);
    t.lBMIClass = cls ? static_cast<qint32>(*cls) : 0;
  }
}

}  // namespace

KM_RQNormTestType NormTypeFor(qint32 surface, qint32 eyes) {
  const bool open = eyes == kEyesOpen, closed = eyes == kEyesClosed;
  if (surface == kSurfacePlate && (open || closed))
    return open ? KM_RQNormTestType::NSEO : KM_RQNormTestType::NSEC;
  if (surface == kSurfaceFoam && (open || closed))
    return open ? KM_RQNormTestType::PSEO : KM_RQNormTestType::PSEC;
  return KM_RQNormTestType::Other;
}

BalanceTestDefaults BalanceTestDefaults::fromSettings() {
  BalanceTestDefaults d;
  d.zeroDurationMs = settings::read(settings::ZeroDuration);
  d.excitationMv = settings::read(settings::ZeroExcitation);
  d.southernHemisphere = settings::readBool(settings::SouthernHemisphereLocation);
  return d;
}

BalanceTest* AddBalanceTestFromItem(Session& session, const KM_RQTemplateItem& item,
                                    const BalanceTestDefaults& defaults) {
  BalanceTest* t = session.AddBalanceTest();
  t->sName = item.sName;
  t->lSurface = item.surface() > 0 ? item.surface() : kSurfacePlate;
  t->lEyes = item.eyes() > 0 ? item.eyes() : kEyesOpen;
  t->lTestType = static_cast<qint32>(NormTypeFor(t->lSurface, t->lEyes));
  // An item without timing takes the station's defaults for new tests.
  const KM_RQTemplateItem fallback =
      KM_RQTemplateItem::balanceFromDefaults(item.sName, t->lSurface, t->lEyes);
  t->fFrequency = single(item.frequencyHz() > 0 ? item.frequencyHz() : fallback.frequencyHz());
  t->fPretest = single(item.preTestSeconds() >= 0 ? item.preTestSeconds() : fallback.preTestSeconds());
  t->fOrigDuration = single(item.durationSeconds() > 0 ? item.durationSeconds() : fallback.durationSeconds());
  t->bBeepBegin = item.beepBegin() ? kTrue : kFalse;
  t->bBeepEnd = item.beepEnd() ? kTrue : kFalse;
  t->lZeroDurationMs = defaults.zeroDurationMs;
  t->lExcitationMv = defaults.excitationMv;
  t->bSouthernHemisphere = defaults.southernHemisphere ? kTrue : kFalse;
  return t;
}

VisionTest* AddVisionTestFromItem(Session& session, const KM_RQTemplateItem& item) {
  VisionTest* t = session.AddVisionTest();
  t->sName = item.sName;
  t->lEye = item.eye();
  t->dInterval = item.intervalSeconds();
  t->dDistance = item.distance();
  t->lTestsPerSize = item.testsPerSize();
  t->lCorrectAnswers = item.correctAnswers();
  t->lFullScreen = item.fullScreenBackground() ? 1 : 0;
  t->lHighContrast = item.highContrast() ? 1 : 0;
  return t;
}

void StoreZero(BalanceTest& t, const ZeroTaken& z) {
  t.sPlate = z.plateName;
  t.sPlateSerial = z.plateSerial;
  t.lZeroSurface = z.surface;
  t.dtZeroDate = z.zero.time;
  if (z.zero.durationMs > 0) t.lZeroDurationMs = z.zero.durationMs;
  if (z.zero.excitationMv > 0) t.lExcitationMv = z.zero.excitationMv;
  t.fZeroAve1 = single(z.zero.ave[0]);
  t.fZeroAve2 = single(z.zero.ave[1]);
  t.fZeroAve3 = single(z.zero.ave[2]);
  t.fZeroSD1 = single(z.zero.sd[0]);
  t.fZeroSD2 = single(z.zero.sd[1]);
  t.fZeroSD3 = single(z.zero.sd[2]);
  t.fZeroRMS1 = single(z.zero.rms[0]);
  t.fZeroRMS2 = single(z.zero.rms[1]);
  t.fZeroRMS3 = single(z.zero.rms[2]);
}

double MeasuredMassKg(const BalanceTestRun& run) {
  if (!run.analysed || run.result.lWeightSamples <= 10) return 0.0;
  return std::fabs(run.result.fWeight) / kNewtonsPerKilogramForce;
}

void StoreRun(BalanceTest& t, const BalanceTestRun& run, const Visit& visit, const SubjectInfo& subject) {
  FillBalanceTest(t, run);
  t.fWeight = single(MeasuredMassKg(run));
  fillBody(t, visit, subject);
}

namespace {
StoredAnalysisSettings analysisSettings(float thresholdN) {
  StoredAnalysisSettings s = StoredAnalysisSettings::fromSettings();
  s.thresholdN = thresholdN;
  return s;
}
}  // namespace

BalanceTestRun RunForTest(const BalanceTest& test, const Visit& visit, const SubjectInfo& subject,
                          float thresholdN) {
  BalanceTestRun run = RunFromBalanceTest(test, subject.dtDoB, analysisSettings(thresholdN));
  run.lTestType = static_cast<qint32>(NormTypeFor(test.lSurface, test.lEyes));
  if (const auto los = BaseLimitsOfStability(visit.phys.dHeight)) {
    run.losX = los->x;
    run.losY = los->y;
  }
  return run;
}

bool UpdateSessionRecords(Visit& visit, Session& session, const SubjectInfo& subject, float thresholdN) {
  ProcLog log(kModule, "UpdateSessionRecords", session.sSessionID);
  bool changed = false;
  const auto los = BaseLimitsOfStability(visit.phys.dHeight);
  double massSum = 0;
  int massCount = 0;
  for (const auto& t : session.BalanceTests()) {
    if (!t->TestData()) continue;
    BalanceTest before(&session);
    before.copyValuesFrom(*t);
    if (los &&
        (std::fabs(t->fLoSX - single(los->x)) > 1e-6f || std::fabs(t->fLoSY - single(los->y)) > 1e-6f)) {
      // The confirmed height changed the limits of stability: the score must follow them.
      log.step(QStringLiteral("Re-analysing ") + t->sTestID);
      t->fLoSX = single(los->x);
      t->fLoSY = single(los->y);
      const float weight = t->fWeight;
      FillBalanceTest(*t, RunFromBalanceTest(*t, subject.dtDoB, analysisSettings(thresholdN)));
      t->fWeight = weight;
    }
    if (t->lValidSamples > 10 && t->bIsFallen == 0) {
      const auto cls = ClassifyStability(t->fStability, subject.dtDoB, t->dtDate,
                                         static_cast<KM_RQNormTestType>(t->lTestType));
      t->lStabilityClass = cls ? static_cast<qint32>(*cls) : 0;
    }
    fillBody(*t, visit, subject);
    if (t->fWeight > 0) {
      massSum += t->fWeight;
      ++massCount;
    }
    changed = changed || t->fLoSX != before.fLoSX || t->fStability != before.fStability ||
              t->lStabilityClass != before.lStabilityClass || t->fBMI != before.fBMI ||
              t->lBMIClass != before.lBMIClass || t->fHeight != before.fHeight;
  }
  if (massCount > 0) {
    // The platform weighed the subject: the visit keeps that weight, to 0.1 kg.
    const double mass = std::round(massSum / massCount * 10.0) / 10.0;
    if (std::fabs(mass - visit.phys.dMass) > 1e-9) {
      log.step(QStringLiteral("Weight %1 kg").arg(mass, 0, 'f', 1));
      visit.phys.dMass = mass;
      changed = true;
    }
  }
  log.step(QStringLiteral("Done, Changed=%1").arg(changed ? "True" : "False"));
  return changed;
}

qint32 TestNumber(const QString& testID) {
  bool ok = false;
  const qint32 n = testID.mid(2).toInt(&ok);
  return ok && n > 0 ? n : 0;
}

bool RenumberTests(Session& session) {
  struct Ref {
    QString* id;
    qint32 number;
    const char* prefix;
  };
  std::vector<Ref> refs;
  for (const auto& t : session.BalanceTests()) refs.push_back({&t->sTestID, TestNumber(t->sTestID), "B1"});
  for (const auto& t : session.VisionTests()) refs.push_back({&t->sTestID, TestNumber(t->sTestID), "W1"});
  std::stable_sort(refs.begin(), refs.end(), [](const Ref& a, const Ref& b) { return a.number < b.number; });
  qint32 n = 0;
  bool changed = false;
  for (const Ref& r : refs) {
    const QString id = QLatin1String(r.prefix) + QStringLiteral("%1").arg(++n, 4, 10, QLatin1Char('0'));
    changed = changed || id != *r.id;
    *r.id = id;
  }
  return changed;
}

}  // namespace tarn
