#include "automation/dbusrecords.h"

#include <QDBusMetaType>

namespace tarn {

namespace {
// The balance record goes through its member list, so the structure cannot drift from the record.
struct Writer {
  QDBusArgument& a;
  void text(const QString& v) { a << v; }
  void long32(qint32 v) { a << v; }
  void date(double v) { a << v; }
  void single(float v) { a << double(v); }
  void boolean(bool v) { a << v; }
};
struct Reader {
  const QDBusArgument& a;
  void text(QString& v) { a >> v; }
  void long32(qint32& v) { a >> v; }
  void date(double& v) { a >> v; }
  void single(float& v) {
    double d = 0;
    a >> d;
    v = float(d);
  }
  void boolean(bool& v) { a >> v; }
};

template <class... T>
void put(QDBusArgument& a, const T&... v) {
  a.beginStructure();
  ((a << v), ...);
  a.endStructure();
}
template <class... T>
void get(const QDBusArgument& a, T&... v) {
  a.beginStructure();
  ((a >> v), ...);
  a.endStructure();
}
}  // namespace

QDBusArgument& operator<<(QDBusArgument& a, const KM_RQFileListEntry& r) {
  put(a, r.sSubjID, r.sSubjFName, r.sSubjMName, r.sSubjLName, r.sSubjDoB, r.lIsMale, r.lVisitCount,
      r.lSessionCount, r.lRQVisitCount, r.lRQSessionCount, r.lTestVisionCount, r.lTestBalanceCount,
      r.sFileName);
  return a;
}
const QDBusArgument& operator>>(const QDBusArgument& a, KM_RQFileListEntry& r) {
  get(a, r.sSubjID, r.sSubjFName, r.sSubjMName, r.sSubjLName, r.sSubjDoB, r.lIsMale, r.lVisitCount,
      r.lSessionCount, r.lRQVisitCount, r.lRQSessionCount, r.lTestVisionCount, r.lTestBalanceCount,
      r.sFileName);
  return a;
}

QDBusArgument& operator<<(QDBusArgument& a, const KM_RQFileBalanceTest& r) {
  a.beginStructure();
  Writer w{a};
  KM_RQFileBalanceTest::fields(w, r);
  a.endStructure();
  return a;
}
const QDBusArgument& operator>>(const QDBusArgument& a, KM_RQFileBalanceTest& r) {
  a.beginStructure();
  Reader rd{a};
  KM_RQFileBalanceTest::fields(rd, r);
  a.endStructure();
  return a;
}

QDBusArgument& operator<<(QDBusArgument& a, const KM_RQTemplateListEntry& r) {
  put(a, r.sName, r.lNumBalance, r.lNumVision, r.sFileName);
  return a;
}
const QDBusArgument& operator>>(const QDBusArgument& a, KM_RQTemplateListEntry& r) {
  get(a, r.sName, r.lNumBalance, r.lNumVision, r.sFileName);
  return a;
}

QDBusArgument& operator<<(QDBusArgument& a, const KM_Operator& r) {
  put(a, r.sOperatorName, r.sTestingCity, r.sTestingState, r.sNotes);
  return a;
}
const QDBusArgument& operator>>(const QDBusArgument& a, KM_Operator& r) {
  get(a, r.sOperatorName, r.sTestingCity, r.sTestingState, r.sNotes);
  return a;
}

QDBusArgument& operator<<(QDBusArgument& a, const KM_SubjectInfo& r) {
  put(a, r.sNameFirst, r.sNameMiddle, r.sNameLast, r.sSubjectID, r.lIsMale, r.sDOB, r.sStreet, r.sCity,
      r.sState, r.sZip, r.sPhone, r.sFax, r.sEmail, r.sNotes);
  return a;
}
const QDBusArgument& operator>>(const QDBusArgument& a, KM_SubjectInfo& r) {
  get(a, r.sNameFirst, r.sNameMiddle, r.sNameLast, r.sSubjectID, r.lIsMale, r.sDOB, r.sStreet, r.sCity,
      r.sState, r.sZip, r.sPhone, r.sFax, r.sEmail, r.sNotes);
  return a;
}

QDBusArgument& operator<<(QDBusArgument& a, const KM_MedContacts& r) {
  put(a, r.sReferredByName, r.sReferredBySpecialty, r.sReferredByUPIN, r.sReferredByCompany,
      r.sReferredByStreet, r.sReferredByCity, r.sReferredByState, r.sReferredByZip, r.sReferredByPhone,
      r.sReferredByFax, r.sReferredByEmail, r.sSendResToName, r.sSendResToSpecialty, r.sSendResToUPIN,
      r.sSendResToCompany, r.sSendResToStreet, r.sSendResToCity, r.sSendResToState, r.sSendResToZip,
      r.sSendResToPhone, r.sSendResToFax, r.sSendResToEmail);
  return a;
}
const QDBusArgument& operator>>(const QDBusArgument& a, KM_MedContacts& r) {
  get(a, r.sReferredByName, r.sReferredBySpecialty, r.sReferredByUPIN, r.sReferredByCompany,
      r.sReferredByStreet, r.sReferredByCity, r.sReferredByState, r.sReferredByZip, r.sReferredByPhone,
      r.sReferredByFax, r.sReferredByEmail, r.sSendResToName, r.sSendResToSpecialty, r.sSendResToUPIN,
      r.sSendResToCompany, r.sSendResToStreet, r.sSendResToCity, r.sSendResToState, r.sSendResToZip,
      r.sSendResToPhone, r.sSendResToFax, r.sSendResToEmail);
  return a;
}

QDBusArgument& operator<<(QDBusArgument& a, const KM_SubjPhysInfo& r) {
  put(a, r.dHeight, r.dMass, r.lPhysImpaired, r.sPhysImpairedSpecify, r.lBlind, r.sBlindSpecify, r.lDeaf,
      r.sDeafSpecify, r.lDominantSide, r.lPregnant, r.sNotes);
  return a;
}
const QDBusArgument& operator>>(const QDBusArgument& a, KM_SubjPhysInfo& r) {
  get(a, r.dHeight, r.dMass, r.lPhysImpaired, r.sPhysImpairedSpecify, r.lBlind, r.sBlindSpecify, r.lDeaf,
      r.sDeafSpecify, r.lDominantSide, r.lPregnant, r.sNotes);
  return a;
}

namespace automation {

void registerDBusTypes() {
  static const bool done = [] {
    qDBusRegisterMetaType<KM_RQFileListEntry>();
    qDBusRegisterMetaType<QList<KM_RQFileListEntry>>();
    qDBusRegisterMetaType<KM_RQFileBalanceTest>();
    qDBusRegisterMetaType<KM_RQTemplateListEntry>();
    qDBusRegisterMetaType<QList<KM_RQTemplateListEntry>>();
    qDBusRegisterMetaType<KM_Operator>();
    qDBusRegisterMetaType<KM_SubjectInfo>();
    qDBusRegisterMetaType<KM_MedContacts>();
    qDBusRegisterMetaType<KM_SubjPhysInfo>();
    return true;
  }();
  (void)done;
}

QString signatureOf(QMetaType type) {
  registerDBusTypes();
  const char* s = QDBusMetaType::typeToSignature(type);
  return s ? QString::fromLatin1(s) : QString();
}

}  // namespace automation
}  // namespace tarn
