#include "automation/automationrecords.h"

#include <QDate>
#include <QDateTime>

#include "core/clock.h"
#include "data/lists/listentry.h"

namespace tarn::automation {

namespace {
constexpr char kDateFormat[] = "yyyy-MM-dd";

bool fits(std::initializer_list<const QString*> texts) {
  for (const QString* t : texts)
    if (t->size() > kMaxTextLength) return false;
  return true;
}

// Collects the balance record's members in order.
struct ValueCollector {
  QVariantList values;
  void text(const QString& v) { values << v; }
  void long32(qint32 v) { values << v; }
  void date(double v) { values << v; }
  void single(float v) { values << double(v); }
  void boolean(bool v) { values << v; }
};
}  // namespace

KM_RQFileListEntry fileListEntry(const KM_RQListFile& e) {
  KM_RQFileListEntry r;
  r.sSubjID = e.sSubjID;
  r.sSubjFName = e.sSubjFName;
  r.sSubjMName = e.sSubjMName;
  r.sSubjLName = e.sSubjLName;
  r.sSubjDoB = e.dtSubjDoB;
  r.lIsMale = e.lIsMale;
  r.lVisitCount = e.lVisitCount();
  r.lSessionCount = e.lSessionCount();
  r.lRQVisitCount = e.lSTVisitCount();
  r.lRQSessionCount = e.lSTSessionCount();
  r.lTestVisionCount = e.lTestVisionCount();
  r.lTestBalanceCount = e.lTestBalanceCount();
  r.sFileName = e.sFileName;
  return r;
}

KM_Operator toRecord(const OperatorInfo& o) {
  return {o.sOperatorName, o.sTestingCity, o.sTestingState, o.sNotes};
}
OperatorInfo fromRecord(const KM_Operator& o) {
  return {o.sOperatorName, o.sTestingCity, o.sTestingState, o.sNotes};
}

KM_SubjectInfo toRecord(const SubjectInfo& s) {
  KM_SubjectInfo r;
  r.sNameFirst = s.sNameFirst;
  r.sNameMiddle = s.sNameMiddle;
  r.sNameLast = s.sNameLast;
  r.sSubjectID = s.sSubjectID;
  r.lIsMale = s.lIsMale;
  if (s.dtDoB > clock::kMissingDate) r.sDOB = clock::fromDays(s.dtDoB).date().toString(kDateFormat);
  r.sStreet = s.sStreet;
  r.sCity = s.sCity;
  r.sState = s.sState;
  r.sZip = s.sZip;
  r.sPhone = s.sPhone;
  r.sFax = s.sFax;
  r.sEmail = s.sEmail;
  r.sNotes = s.sNotes;
  return r;
}

bool fromRecord(const KM_SubjectInfo& r, SubjectInfo& out) {
  double dob = clock::kMissingDate;
  if (!r.sDOB.trimmed().isEmpty()) {
    const QDate d = QDate::fromString(r.sDOB.trimmed(), kDateFormat);
    if (!d.isValid()) return false;
    dob = clock::dateToDays(d);
  }
  SubjectInfo s;
  s.sNameFirst = r.sNameFirst;
  s.sNameMiddle = r.sNameMiddle;
  s.sNameLast = r.sNameLast;
  s.sSubjectID = r.sSubjectID;
  s.lIsMale = r.lIsMale;
  s.dtDoB = dob;
  s.sStreet = r.sStreet;
  s.sCity = r.sCity;
  s.sState = r.sState;
  s.sZip = r.sZip;
  s.sPhone = r.sPhone;
  s.sFax = r.sFax;
  s.sEmail = r.sEmail;
  s.sNotes = r.sNotes;
  out = s;
  return true;
}

KM_MedContacts toRecord(const MedContacts& c) {
  const MedContact& a = c.referredBy;
  const MedContact& b = c.sendResultsTo;
  return {a.sName,  a.sSpecialty, a.sUPIN,  a.sCompany, a.sStreet,    a.sCity, a.sState,   a.sZip,
          a.sPhone, a.sFax,       a.sEmail, b.sName,    b.sSpecialty, b.sUPIN, b.sCompany, b.sStreet,
          b.sCity,  b.sState,     b.sZip,   b.sPhone,   b.sFax,       b.sEmail};
}

MedContacts fromRecord(const KM_MedContacts& r) {
  MedContacts c;
  c.referredBy = {r.sReferredByName,   r.sReferredBySpecialty, r.sReferredByUPIN,  r.sReferredByCompany,
                  r.sReferredByStreet, r.sReferredByCity,      r.sReferredByState, r.sReferredByZip,
                  r.sReferredByPhone,  r.sReferredByFax,       r.sReferredByEmail};
  c.sendResultsTo = {r.sSendResToName,   r.sSendResToSpecialty, r.sSendResToUPIN,  r.sSendResToCompany,
                     r.sSendResToStreet, r.sSendResToCity,      r.sSendResToState, r.sSendResToZip,
                     r.sSendResToPhone,  r.sSendResToFax,       r.sSendResToEmail};
  return c;
}

KM_SubjPhysInfo toRecord(const PhysInfo& p) {
  return {p.dHeight,       p.dMass,         p.lPhysImpaired, p.sPhysImpairedSpecify,
          p.lBlind,        p.sBlindSpecify, p.lDeaf,         p.sDeafSpecify,
          p.lDominantSide, p.lPregnant,     p.sNotes};
}

PhysInfo fromRecord(const KM_SubjPhysInfo& r) {
  PhysInfo p;
  p.dHeight = r.dHeight;
  p.dMass = r.dMass;
  p.lPhysImpaired = r.lPhysImpaired;
  p.sPhysImpairedSpecify = r.sPhysImpairedSpecify;
  p.lBlind = r.lBlind;
  p.sBlindSpecify = r.sBlindSpecify;
  p.lDeaf = r.lDeaf;
  p.sDeafSpecify = r.sDeafSpecify;
  p.lDominantSide = r.lDominantSide;
  p.lPregnant = r.lPregnant;
  p.sNotes = r.sNotes;
  return p;
}

bool textsFit(const KM_Operator& r) {
  return fits({&r.sOperatorName, &r.sTestingCity, &r.sTestingState, &r.sNotes});
}
bool textsFit(const KM_SubjectInfo& r) {
  return fits({&r.sNameFirst, &r.sNameMiddle, &r.sNameLast, &r.sSubjectID, &r.sDOB, &r.sStreet, &r.sCity,
               &r.sState, &r.sZip, &r.sPhone, &r.sFax, &r.sEmail, &r.sNotes});
}
bool textsFit(const KM_MedContacts& r) {
  return fits({&r.sReferredByName,     &r.sReferredBySpecialty, &r.sReferredByUPIN,   &r.sReferredByCompany,
               &r.sReferredByStreet,   &r.sReferredByCity,      &r.sReferredByState,  &r.sReferredByZip,
               &r.sReferredByPhone,    &r.sReferredByFax,       &r.sReferredByEmail,  &r.sSendResToName,
               &r.sSendResToSpecialty, &r.sSendResToUPIN,       &r.sSendResToCompany, &r.sSendResToStreet,
               &r.sSendResToCity,      &r.sSendResToState,      &r.sSendResToZip,     &r.sSendResToPhone,
               &r.sSendResToFax,       &r.sSendResToEmail});
}
bool textsFit(const KM_SubjPhysInfo& r) {
  return fits({&r.sPhysImpairedSpecify, &r.sBlindSpecify, &r.sDeafSpecify, &r.sNotes});
}

const QStringList& balanceTestMemberNames() {
  static const QStringList names = {"sName",
                                    "sVisitID",
                                    "sSessionID",
                                    "sTestID",
                                    "sPlate",
                                    "lTestType",
                                    "dtDate",
                                    "fFrequency",
                                    "fPretest",
                                    "fOrigDuration",
                                    "fActDuration",
                                    "lTotalSamples",
                                    "lValidSamples",
                                    "bIsInterrupted",
                                    "bIsFallen",
                                    "fXo",
                                    "fYo",
                                    "fLoSX",
                                    "fLoSY",
                                    "fMaxMLSway",
                                    "fMaxAPSway",
                                    "f95MLSway",
                                    "f95APSway",
                                    "f95MaxSway",
                                    "f95MinSway",
                                    "fMaxSway",
                                    "fAveSway",
                                    "fVMax",
                                    "fVAve",
                                    "fAMax",
                                    "fAAve",
                                    "fPlen",
                                    "f95Area",
                                    "fStability",
                                    "lStabilityClass",
                                    "fSwayDirection",
                                    "fDirectionality",
                                    "fMinMaxRatio",
                                    "fFatigue",
                                    "fParP",
                                    "fHeight",
                                    "fWeight",
                                    "fBMI",
                                    "lBMIClass",
                                    "bBMIEnabled",
                                    "sNotes"};
  return names;
}

QVariantList balanceTestValues(const KM_RQFileBalanceTest& r) {
  ValueCollector c;
  KM_RQFileBalanceTest::fields(c, r);
  return c.values;
}

}  // namespace tarn::automation
