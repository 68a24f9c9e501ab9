#pragma once
// The cached copy of one vision test. Stored like the balance record, in its own storage with
// "Version" and "Data".
#include <QString>
#include <QtGlobal>

#include "data/records/recordio.h"

namespace tarn {

// The 14 members in stream order. The eye, the acuity and its class feed the entry's vision
// summaries; the rest describe the test as the subject file holds it.
struct KM_RQListTestVisionData {
  QString sName;
  QString sVisitID;
  QString sSessionID;
  QString sTestID;
  double dtDate = 0;
  qint32 lEye = 0;       // KM_RQVNormTestType
  double dInterval = 0;  // s between images
  double dDistance = 0;  // viewing distance, m
  qint32 lTestsPerSize = 0;
  qint32 lCorrectAnswers = 0;
  qint32 lFullScreen = 0;
  qint32 lHighContrast = 0;
  double dAcuity = 0;
  qint32 lAcuityClass = 0;  // KM_RQVNormsClass

  bool operator==(const KM_RQListTestVisionData&) const = default;

  template <class IO, class Self>
  static void fields(IO& io, Self& r) {
    io.text(r.sName);
    io.text(r.sVisitID);
    io.text(r.sSessionID);
    io.text(r.sTestID);
    io.date(r.dtDate);
    io.long32(r.lEye);
    io.dbl(r.dInterval);
    io.dbl(r.dDistance);
    io.long32(r.lTestsPerSize);
    io.long32(r.lCorrectAnswers);
    io.long32(r.lFullScreen);
    io.long32(r.lHighContrast);
    io.dbl(r.dAcuity);
    io.long32(r.lAcuityClass);
  }
};

class KM_RQListTestVision : public KM_RQListTestVisionData {
 public:
  static constexpr char kDefaultStorageName[] = "TestVision";

  bool Load(KMX_OLEStorage* storage, const QString& name = QString());
  bool Save(KMX_OLEStorage* storage, const QString& name = QString());
  void MakeCopy(const KM_RQListTestVision& source);

  const QString& versionText() const { return header_.sVersion; }
  float versionNumber() const { return header_.fVersion; }
  const QString& storageName() const { return header_.sStorageName; }

 private:
  recordio::RecordHeader header_;
};

}  // namespace tarn
