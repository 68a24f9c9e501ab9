#pragma once
// The automation records as D-Bus structures (members in record order), and the names of the
// service. Shared by the service and its clients.
#include <QDBusArgument>
#include <QList>
#include <QMetaType>

#include "automation/automationrecords.h"

namespace tarn::automation {

inline constexpr char kService[] = "com.kamrithlabs.TarnRQ";
inline constexpr char kPath[] = "/KM_TARNRQ_APP";
inline constexpr char kInterface[] = "com.kamrithlabs.TarnRQ.KM_TARNRQ_APP";
inline constexpr char kEventsInterface[] = "com.kamrithlabs.TarnRQ.Events";
inline constexpr char kCallbackInterface[] = "com.kamrithlabs.TarnRQ.Callback";

// Registers the records with the D-Bus type system; safe to call more than once.
void registerDBusTypes();

// The D-Bus signature of a record (or a list of them).
QString signatureOf(QMetaType type);
template <class T>
QString signatureOf() {
  return signatureOf(QMetaType::fromType<T>());
}

}  // namespace tarn::automation

Q_DECLARE_METATYPE(tarn::KM_RQFileListEntry)
Q_DECLARE_METATYPE(tarn::KM_RQFileBalanceTest)
Q_DECLARE_METATYPE(tarn::KM_RQTemplateListEntry)
Q_DECLARE_METATYPE(tarn::KM_Operator)
Q_DECLARE_METATYPE(tarn::KM_SubjectInfo)
Q_DECLARE_METATYPE(tarn::KM_MedContacts)
Q_DECLARE_METATYPE(tarn::KM_SubjPhysInfo)

namespace tarn {
QDBusArgument& operator<<(QDBusArgument& a, const KM_RQFileListEntry& r);
const QDBusArgument& operator>>(const QDBusArgument& a, KM_RQFileListEntry& r);
QDBusArgument& operator<<(QDBusArgument& a, const KM_RQFileBalanceTest& r);
const QDBusArgument& operator>>(const QDBusArgument& a, KM_RQFileBalanceTest& r);
QDBusArgument& operator<<(QDBusArgument& a, const KM_RQTemplateListEntry& r);
const QDBusArgument& operator>>(const QDBusArgument& a, KM_RQTemplateListEntry& r);
QDBusArgument& operator<<(QDBusArgument& a, const KM_Operator& r);
const QDBusArgument& operator>>(const QDBusArgument& a, KM_Operator& r);
QDBusArgument& operator<<(QDBusArgument& a, const KM_SubjectInfo& r);
const QDBusArgument& operator>>(const QDBusArgument& a, KM_SubjectInfo& r);
QDBusArgument& operator<<(QDBusArgument& a, const KM_MedContacts& r);
const QDBusArgument& operator>>(const QDBusArgument& a, KM_MedContacts& r);
QDBusArgument& operator<<(QDBusArgument& a, const KM_SubjPhysInfo& r);
const QDBusArgument& operator>>(const QDBusArgument& a, KM_SubjPhysInfo& r);
}  // namespace tarn
