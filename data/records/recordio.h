#pragma once
// Helpers shared by the records, the list entries and the list: storage names, the "Version"
// stream and typed sequential reads and writes of one stream.
#include <QString>
#include <QtGlobal>

#include <functional>
#include <memory>

#include "core/eventlog.h"
#include "data/storage/olestg.h"

namespace tarn::recordio {

inline constexpr char kVersionText[] = "KM RQLists";
inline constexpr float kVersionNumber = 1.0f;

// A non-blank name is used and remembered; otherwise the remembered one, or else the default.
QString resolveName(const QString& name, QString& remembered, const char* defaultName);

// Opens a sub-storage (or stream) read/write, creating it when absent.
std::shared_ptr<KMX_OLEStorage> openOrCreateStorage(KMX_OLEStorage& parent, const QString& name);
std::shared_ptr<KMX_OLEStream> openOrCreateStream(KMX_OLEStorage& parent, const QString& name);

// The sub-storage a collection saves into: opened or created under the resolved name, with every
// sub-storage left from an earlier save destroyed (entries that no longer exist leave nothing
// behind). Null, with the reason logged, when there is no parent or it cannot be opened.
std::shared_ptr<KMX_OLEStorage> openForCollectionSave(KMX_OLEStorage* parent, const QString& name,
                                                      QString& remembered, const char* defaultName,
                                                      const ProcLog& log, QString& stgName);

// Opening a collection's sub-storage for loading: the resolved name, the reset of the collection
// (resetFn) and the "Version" stream, in that order.
enum class LoadStart { Failed, OldVersion, Ready };
LoadStart openForCollectionLoad(KMX_OLEStorage* parent, const QString& name, QString& remembered,
                                const char* defaultName, const ProcLog& log,
                                const std::function<void()>& resetFn, QString& stgName,
                                std::shared_ptr<KMX_OLEStorage>& sub, QString& versionText,
                                float& versionNumber);

// Reads "Version" (text, number). False when the stream is missing or its values are not of the kind.
bool readVersion(KMX_OLEStorage& storage, QString& text, float& number);
// A number of 1.0 or less becomes 1.0 and "Version" is written; a higher one keeps the stored
// stream as it is (a newer program wrote it). False only on a write failure.
bool writeVersionIfCurrent(KMX_OLEStorage& storage, const QString& text, float& number);

// Reads values in order, each converted to the member's type; the first failure throws
// StorageError, which the loaders catch to end the load.
class Reader {
 public:
  explicit Reader(KMX_OLEStream& s) : s_(s) {}
  // Straight from the stream's bytes; a value that cannot be read so is read again the long way,
  // which gives the reason.
  void text(QString& v) {
    if (!s_.ReadString(v)) v = next().toString();
  }
  void long32(qint32& v) {
    if (!s_.ReadLong(v)) v = next().toLong();
  }
  void single(float& v) {
    if (!s_.ReadSingle(v)) v = next().toSingle();
  }
  void dbl(double& v) {
    if (!s_.ReadDouble(v)) v = next().toDouble();
  }
  void date(double& v) {
    if (!s_.ReadDate(v)) v = next().toDate();
  }
  void boolean(bool& v) {
    if (!s_.ReadBool(v)) v = next().toBool();
  }

 private:
  StgValue next() { return s_.ReadNext(true, false); }
  KMX_OLEStream& s_;
};

// Writes values in order; ok() is false once any write failed.
class Writer {
 public:
  explicit Writer(KMX_OLEStream& s) : s_(s) {}
  void text(const QString& v) { put(StgValue::fromString(v)); }
  void long32(qint32 v) { put(StgValue::fromLong(v)); }
  void single(float v) { put(StgValue::fromSingle(v)); }
  void dbl(double v) { put(StgValue::fromDouble(v)); }
  void date(double v) { put(StgValue::fromDate(v)); }
  void boolean(bool v) { put(StgValue::fromBoolean(v)); }
  bool commit() { return ok_ && s_.Commit(stgcommit::Default); }
  bool ok() const { return ok_; }

 private:
  void put(const StgValue& v) { ok_ = s_.Write(v, true, false) && ok_; }
  KMX_OLEStream& s_;
  bool ok_ = true;
};

// Element names "File 12", "TestB 3": the word, one blank, the number without leading zeros.
QString elementName(const char* word, qint32 number);

// kVersionText as a shared text.
const QString& versionText();

// Version bookkeeping of one record, kept apart from its data members.
struct RecordHeader {
  QString sVersion = versionText();
  float fVersion = kVersionNumber;
  QString sStorageName;
};

// Load of a record whose members Data::fields lists: reset, "Version", then "Data" when the
// version is 1.0 or more.
template <class Data>
bool loadRecord(const char* module, KMX_OLEStorage* storage, const QString& name, const char* defaultName,
                RecordHeader& h, Data& data) {
  ProcLog log(module, "Load", name);
  if (!storage) {
    log.error(QStringLiteral("No storage given"));
    return false;
  }
  const QString stgName = resolveName(name, h.sStorageName, defaultName);
  data = Data{};
  h.sVersion = versionText();
  h.fVersion = kVersionNumber;
  auto sub = storage->OpenStorage(stgName, stgmode::Read);
  if (!sub) {
    log.error("Storage " + stgName + " not found");
    return false;
  }
  if (!readVersion(*sub, h.sVersion, h.fVersion)) {
    log.error("Version of " + stgName + " unreadable");
    return false;
  }
  if (h.fVersion >= kVersionNumber) {
    auto stream = sub->OpenStream(QStringLiteral("Data"), stgmode::Read);
    if (!stream) {
      log.error("Data of " + stgName + " missing");
      return false;
    }
    try {
      Reader rd(*stream);
      Data::fields(rd, data);
    } catch (const StorageError& e) {
      log.error("Data of " + stgName + ": " + QString::fromUtf8(e.what()));
      return false;
    }
  }
  log.completed();
  return true;
}

template <class Data>
bool saveRecord(const char* module, KMX_OLEStorage* storage, const QString& name, const char* defaultName,
                RecordHeader& h, const Data& data) {
  ProcLog log(module, "Save", name);
  if (!storage) {
    log.error(QStringLiteral("No storage given"));
    return false;
  }
  const QString stgName = resolveName(name, h.sStorageName, defaultName);
  auto sub = openOrCreateStorage(*storage, stgName);
  if (!sub) {
    log.error("Cannot open or create " + stgName);
    return false;
  }
  if (!writeVersionIfCurrent(*sub, h.sVersion, h.fVersion)) {
    log.error("Cannot write the version of " + stgName);
    return false;
  }
  auto stream = openOrCreateStream(*sub, QStringLiteral("Data"));
  if (!stream) {
    log.error("Cannot open or create the data of " + stgName);
    return false;
  }
  Writer wr(*stream);
  Data::fields(wr, data);
  if (!wr.commit()) {
    log.error("Cannot write the data of " + stgName);
    return false;
  }
  log.completed();
  return true;
}

}  // namespace tarn::recordio
