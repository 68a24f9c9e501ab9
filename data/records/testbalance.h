#pragma once
// The cached copy of one static balance test: every measure the analysis gave, the subject's
// body data at the test and the acquisition conditions. Stored in a storage of its own with the
// streams "Version" and "Data".
#include <QString>
#include <QtGlobal>

#include "data/records/recordio.h"

namespace tarn {

// The 46 members in stream order. The automation record of a balance test carries the same list.
struct KM_RQListTestBalanceData {
  QString sName;
  QString sVisitID;
  QString sSessionID;
  QString sTestID;
  QString sPlate;
  qint32 lTestType = 0;  // KM_RQNormTestType
  double dtDate = 0;
  float fFrequency = 0;
  float fPretest = 0;
  float fOrigDuration = 0;
  float fActDuration = 0;
  qint32 lTotalSamples = 0;
  qint32 lValidSamples = 0;
  bool bIsInterrupted = false;
  bool bIsFallen = false;
  float fXo = 0;
  float fYo = 0;
  float fLoSX = 0;
  float fLoSY = 0;
  float fMaxMLSway = 0;
  float fMaxAPSway = 0;
  float f95MLSway = 0;
  float f95APSway = 0;
  float f95MaxSway = 0;
  float f95MinSway = 0;
  float fMaxSway = 0;
  float fAveSway = 0;
  float fVMax = 0;
  float fVAve = 0;
  float fAMax = 0;
  float fAAve = 0;
  float fPlen = 0;
  float f95Area = 0;
  float fStability = 0;
  qint32 lStabilityClass = 0;  // KM_RQNormsClass
  float fSwayDirection = 0;
  float fDirectionality = 0;
  float fMinMaxRatio = 0;
  float fFatigue = 0;
  float fParP = 0;
  float fHeight = 0;
  float fWeight = 0;
  float fBMI = 0;
  qint32 lBMIClass = 0;  // KM_RQBMINormsClass
  bool bBMIEnabled = false;
  QString sNotes;

  bool operator==(const KM_RQListTestBalanceData&) const = default;

  // Calls io once per member in stream order with the member's stored kind.
  template <class IO, class Self>
  static void fields(IO& io, Self& r) {
    io.text(r.sName);
    io.text(r.sVisitID);
    io.text(r.sSessionID);
    io.text(r.sTestID);
    io.text(r.sPlate);
    io.long32(r.lTestType);
    io.date(r.dtDate);
    io.single(r.fFrequency);
    io.single(r.fPretest);
    io.single(r.fOrigDuration);
    io.single(r.fActDuration);
    io.long32(r.lTotalSamples);
    io.long32(r.lValidSamples);
    io.boolean(r.bIsInterrupted);
    io.boolean(r.bIsFallen);
    io.single(r.fXo);
    io.single(r.fYo);
    io.single(r.fLoSX);
    io.single(r.fLoSY);
    io.single(r.fMaxMLSway);
    io.single(r.fMaxAPSway);
    io.single(r.f95MLSway);
    io.single(r.f95APSway);
    io.single(r.f95MaxSway);
    io.single(r.f95MinSway);
    io.single(r.fMaxSway);
    io.single(r.fAveSway);
    io.single(r.fVMax);
    io.single(r.fVAve);
    io.single(r.fAMax);
    io.single(r.fAAve);
    io.single(r.fPlen);
    io.single(r.f95Area);
    io.single(r.fStability);
    io.long32(r.lStabilityClass);
    io.single(r.fSwayDirection);
    io.single(r.fDirectionality);
    io.single(r.fMinMaxRatio);
    io.single(r.fFatigue);
    io.single(r.fParP);
    io.single(r.fHeight);
    io.single(r.fWeight);
    io.single(r.fBMI);
    io.long32(r.lBMIClass);
    io.boolean(r.bBMIEnabled);
    io.text(r.sNotes);
  }
};

class KM_RQListTestBalance : public KM_RQListTestBalanceData {
 public:
  static constexpr char kDefaultStorageName[] = "TestBalance";

  // Reads the record from the sub-storage name of storage (blank name: the remembered name, then
  // the default). A stored version below 1.0 leaves the members reset and still succeeds.
  bool Load(KMX_OLEStorage* storage, const QString& name = QString());
  // Writes the record into that sub-storage, creating it when absent.
  bool Save(KMX_OLEStorage* storage, const QString& name = QString());
  // Copies the 46 members; version and storage name stay.
  void MakeCopy(const KM_RQListTestBalance& source);

  const QString& versionText() const { return header_.sVersion; }
  float versionNumber() const { return header_.fVersion; }
  const QString& storageName() const { return header_.sStorageName; }

 private:
  recordio::RecordHeader header_;
};

}  // namespace tarn
