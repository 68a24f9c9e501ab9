#pragma once
// Subject files with known recordings for the list tests.
#include <QDir>
#include <QString>

#include <cmath>
#include <memory>
#include <vector>

#include "data/lists/list.h"
#include "data/subjectfile/subjectfile.h"

namespace tarn::liststest {

// A person standing still but for a sinusoidal sway of the given amplitudes (m), 100 Hz, 20 s.
// Small amplitudes give a stability near 1 (Normal), 0.3 m gives 0 (Profundly).
inline std::shared_ptr<const StoredTestData> swayRecording(double ampX, double ampY, double date,
                                                           double weightN = 700.0, int samples = 2000) {
  std::vector<float> fz(samples), m1(samples), m2(samples);
  for (int i = 0; i < samples; ++i) {
    const double t = i / 100.0;
    const double x = 0.002 + ampX * std::sin(2 * M_PI * 0.31 * t);
    const double y = 0.015 + ampY * std::sin(2 * M_PI * 0.23 * t + 0.4);
    const double f = -weightN;
    fz[i] = static_cast<float>(f);
    m1[i] = static_cast<float>(y * f);
    m2[i] = static_cast<float>(-x * f);
  }
  return std::make_shared<StoredTestData>(100.0f, date, std::move(fz), std::move(m1), std::move(m2));
}

inline BalanceTest* addBalance(Session* s, qint32 type, double date,
                               std::shared_ptr<const StoredTestData> data) {
  BalanceTest* t = s->AddBalanceTest();
  t->sName = QStringLiteral("Test type %1").arg(type);
  t->lTestType = type;
  t->dtDate = date;
  t->fFrequency = 100;
  t->fPretest = 5;
  t->fOrigDuration = 20;
  t->fLoSX = 0.129f;
  t->fLoSY = 0.080f;
  t->sPlate = QStringLiteral("KMP 1");
  if (data) {
    t->SetTestData(std::move(data));
    t->bIsDone = kTrue;
  }
  return t;
}

inline VisionTest* addVision(Session* s, qint32 eye, double date, double acuity, qint32 cls) {
  VisionTest* t = s->AddVisionTest();
  t->sName = QStringLiteral("Acuity");
  t->lEye = eye;
  t->dtDate = date;
  t->dAcuity = acuity;
  t->lAcuityClass = cls;
  t->bIsDone = kTrue;
  return t;
}

// One adult (born 1 January 1980) with one steady NSEO test, male, 1.80 m, 75 kg.
// Further tests (extraTests) repeat the first one in new sessions.
inline bool writeSimpleFile(const QString& path, const QString& lastName, double date = 45000.5,
                            double ampX = 0.002, int extraTests = 0) {
  SubjectFile f;
  if (!f.CreateEmpty()) return false;
  f.subject.sNameFirst = QStringLiteral("Ann");
  f.subject.sNameLast = lastName;
  f.subject.lIsMale = kSexMale;
  f.subject.dtDoB = 29221.0;  // 1 January 1980
  Visit* v = f.AddVisit();
  v->phys.dHeight = 1.80;
  v->phys.dMass = 75;
  addBalance(v->AddSession(), 1, date, swayRecording(ampX, 0.003, date));
  for (int i = 0; i < extraTests; ++i) addBalance(v->AddSession(), 1, date, swayRecording(ampX, 0.003, date));
  return f.Save(path);
}

// Collects the refresh events in order as "D(total,current)" etc.
struct EventLog : KM_RQListEvents {
  QStringList seen;
  void RefreshDelOld(qint32 t, qint32 c) override { seen << QStringLiteral("D(%1,%2)").arg(t).arg(c); }
  void RefreshAddNew(qint32 t, qint32 c) override { seen << QStringLiteral("A(%1,%2)").arg(t).arg(c); }
  void RefreshUpdate(qint32 t, qint32 c) override { seen << QStringLiteral("U(%1,%2)").arg(t).arg(c); }
};

}  // namespace tarn::liststest
