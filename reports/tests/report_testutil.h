#pragma once
// Subject files with recordings of known sway for the report tests: a standing subject whose CoP
// follows a sum of slow sine waves (amplitudes chosen per test), so every measure is well defined.
#include <QDate>
#include <QDir>
#include <cmath>
#include <memory>

#include "balance/analysis/analysis.h"
#include "core/clock.h"
#include "data/subjectfile/subjectfile.h"
#include "testsupport/sandbox.h"

namespace tarn::reporttest {

// fs samples per second for `seconds`; CoP amplitudes ax (ML) and ay (AP) in metres about (x0, y0).
inline std::shared_ptr<const StoredTestData> swayRecording(float fs, double seconds, double ax, double ay,
                                                           double date, double weightN = 700.0,
                                                           double x0 = 0.002, double y0 = 0.015) {
  const int n = int(std::lround(fs * seconds));
  std::vector<float> fz(static_cast<size_t>(n)), m1(static_cast<size_t>(n)), m2(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) {
    const double t = i / double(fs);
    const double x =
        x0 + ax * (0.7 * std::sin(2 * M_PI * 0.31 * t) + 0.3 * std::sin(2 * M_PI * 1.7 * t + 0.4));
    const double y =
        y0 + ay * (0.6 * std::sin(2 * M_PI * 0.23 * t + 1.1) + 0.4 * std::sin(2 * M_PI * 1.3 * t));
    const double f = -(weightN + 3.0 * std::sin(2 * M_PI * 0.9 * t));  // a loaded plate reads negative
    fz[size_t(i)] = float(f);
    m1[size_t(i)] = float(y * f);   // y = M1 / Fz
    m2[size_t(i)] = float(-x * f);  // x = -M2 / Fz
  }
  return std::make_shared<const PlateTestDataBuffer>(fs, date, std::move(fz), std::move(m1), std::move(m2));
}

struct TestPlan {
  qint32 type = 1;
  double ax = 0.003, ay = 0.004;
  float fs = 100.0f;
  double seconds = 20.0;
  QString name;
};

inline double day(int y, int m, int d, double hours = 10.0) {
  return clock::dateToDays(QDate(y, m, d)) + hours / 24.0;
}

// A subject born on `birth` with one visit and one session holding the tests.
inline void addSession(SubjectFile& f, double visitDate, const std::vector<TestPlan>& tests,
                       double heightM = 1.75, double massKg = 72.0) {
  Visit* v = f.AddVisit();
  v->dtDate = std::floor(visitDate);
  v->phys.dHeight = heightM;
  v->phys.dMass = massKg;
  Session* s = v->AddSession();
  s->dtDate = visitDate;
  s->sEvaluation = "Evaluation of " + v->sVisitID;
  s->sIntervention = "Intervention of " + v->sVisitID;
  const auto los = BaseLimitsOfStability(heightM);
  int k = 0;
  for (const TestPlan& plan : tests) {
    BalanceTest* t = s->AddBalanceTest();
    t->sName = plan.name.isEmpty() ? QStringLiteral("Test %1").arg(k + 1) : plan.name;
    t->lTestType = plan.type;
    t->dtDate = visitDate + (k++) * 2.0 / (24 * 60);
    t->lStance = StanceNormal;
    t->fFrequency = plan.fs;
    t->fOrigDuration = float(plan.seconds);
    t->fLoSX = los ? float(los->x) : 0.129f;
    t->fLoSY = los ? float(los->y) : 0.080f;
    t->sNotes = "Notes of " + t->sName;
    t->SetTestData(swayRecording(plan.fs, plan.seconds, plan.ax, plan.ay, t->dtDate));
    t->lTotalSamples = t->TestData()->Count();
    t->bIsDone = kTrue;
  }
}

inline std::unique_ptr<SubjectFile> makeSubject(double birth, qint32 sex = kSexMale) {
  auto f = std::make_unique<SubjectFile>();
  f->CreateEmpty();
  f->subject.sNameFirst = "Ann";
  f->subject.sNameLast = "Lee";
  f->subject.sSubjectID = "S-001";
  f->subject.lIsMale = sex;
  f->subject.dtDoB = birth;
  return f;
}

inline QString sandboxPath(const QString& name) { return QDir(testsupport::sandboxFolder()).filePath(name); }

}  // namespace tarn::reporttest
