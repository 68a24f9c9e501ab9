#pragma once
// The records of the automation object KM_TARNRQ_APP, member for member, and their conversions to
// and from the station's own data: the list entries, the subject file's records and the templates.
#include <QString>
#include <QVariantList>
#include <QtGlobal>

#include "data/records/testbalance.h"
#include "data/subjectfile/subjectfile.h"

namespace tarn {

class KM_RQListFile;

struct KM_RQFileListEntry {
  QString sSubjID, sSubjFName, sSubjMName, sSubjLName;
  double sSubjDoB = 0;  // a date (day count), named as the record has always named it
  qint32 lIsMale = 0, lVisitCount = 0, lSessionCount = 0, lRQVisitCount = 0, lRQSessionCount = 0;
  qint32 lTestVisionCount = 0, lTestBalanceCount = 0;
  QString sFileName;
  bool operator==(const KM_RQFileListEntry&) const = default;
};

// The 46 members of the cached balance test, same names, types and order.
using KM_RQFileBalanceTest = KM_RQListTestBalanceData;

struct KM_RQTemplateListEntry {
  QString sName;
  qint32 lNumBalance = 0, lNumVision = 0;
  QString sFileName;
  bool operator==(const KM_RQTemplateListEntry&) const = default;
};

struct KM_Operator {
  QString sOperatorName, sTestingCity, sTestingState, sNotes;
  bool operator==(const KM_Operator&) const = default;
};

struct KM_SubjectInfo {
  QString sNameFirst, sNameMiddle, sNameLast, sSubjectID;
  qint32 lIsMale = 0;
  QString sDOB;  // "yyyy-MM-dd"; empty for no date
  QString sStreet, sCity, sState, sZip, sPhone, sFax, sEmail, sNotes;
  bool operator==(const KM_SubjectInfo&) const = default;
};

struct KM_MedContacts {
  QString sReferredByName, sReferredBySpecialty, sReferredByUPIN, sReferredByCompany, sReferredByStreet;
  QString sReferredByCity, sReferredByState, sReferredByZip, sReferredByPhone, sReferredByFax;
  QString sReferredByEmail;
  QString sSendResToName, sSendResToSpecialty, sSendResToUPIN, sSendResToCompany, sSendResToStreet;
  QString sSendResToCity, sSendResToState, sSendResToZip, sSendResToPhone, sSendResToFax, sSendResToEmail;
  bool operator==(const KM_MedContacts&) const = default;
};

struct KM_SubjPhysInfo {
  double dHeight = 0, dMass = 0;
  qint32 lPhysImpaired = 0;
  QString sPhysImpairedSpecify;
  qint32 lBlind = 0;
  QString sBlindSpecify;
  qint32 lDeaf = 0;
  QString sDeafSpecify;
  qint32 lDominantSide = 0, lPregnant = 0;
  QString sNotes;
  bool operator==(const KM_SubjPhysInfo&) const = default;
};

namespace automation {

// Longest text a client may write into a record member; longer ones are refused whole.
inline constexpr int kMaxTextLength = 32 * 1024;

KM_RQFileListEntry fileListEntry(const KM_RQListFile& entry);

KM_Operator toRecord(const OperatorInfo& o);
OperatorInfo fromRecord(const KM_Operator& o);
KM_SubjectInfo toRecord(const SubjectInfo& s);
// False when the date of birth is neither empty nor a valid "yyyy-MM-dd" date; out is then untouched.
bool fromRecord(const KM_SubjectInfo& s, SubjectInfo& out);
KM_MedContacts toRecord(const MedContacts& c);
MedContacts fromRecord(const KM_MedContacts& c);
KM_SubjPhysInfo toRecord(const PhysInfo& p);
PhysInfo fromRecord(const KM_SubjPhysInfo& p);

// Whether every text member fits kMaxTextLength.
bool textsFit(const KM_Operator& r);
bool textsFit(const KM_SubjectInfo& r);
bool textsFit(const KM_MedContacts& r);
bool textsFit(const KM_SubjPhysInfo& r);

// The balance record's member names and values in member order, for the command-line client.
const QStringList& balanceTestMemberNames();
QVariantList balanceTestValues(const KM_RQFileBalanceTest& r);

}  // namespace automation
}  // namespace tarn
