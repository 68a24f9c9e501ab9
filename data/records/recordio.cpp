#include "data/records/recordio.h"

#include <QStringList>

#include <cstring>

namespace tarn::recordio {

QString elementName(const char* word, qint32 number) {
  // Built in one go: a list load names tens of thousands of elements.
  char buf[48];
  const qsizetype w = qsizetype(qstrnlen(word, 32));
  std::memcpy(buf, word, size_t(w));
  buf[w] = ' ';
  char digits[12];
  int n = 0;
  quint32 v = number < 0 ? quint32(-qint64(number)) : quint32(number);
  do {
    digits[n++] = char('0' + v % 10);
    v /= 10;
  } while (v != 0);
  qsizetype len = w + 1;
  if (number < 0) buf[len++] = '-';
  while (n > 0) buf[len++] = digits[--n];
  return QString::fromLatin1(buf, len);
}

const QString& versionText() {
  static const QString text = QString::fromLatin1(kVersionText);
  return text;
}

QString resolveName(const QString& name, QString& remembered, const char* defaultName) {
  const QString n = name.trimmed();
  if (!n.isEmpty()) {
    remembered = n;
    return n;
  }
  const QString r = remembered.trimmed();
  return r.isEmpty() ? QString::fromLatin1(defaultName) : r;
}

std::shared_ptr<KMX_OLEStorage> openOrCreateStorage(KMX_OLEStorage& parent, const QString& name) {
  auto s = parent.OpenStorage(name, stgmode::ReadWrite);
  if (!s) s = parent.CreateStorage(name, stgmode::CreateReplace);
  return s;
}

std::shared_ptr<KMX_OLEStorage> openForCollectionSave(KMX_OLEStorage* parent, const QString& name,
                                                      QString& remembered, const char* defaultName,
                                                      const ProcLog& log, QString& stgName) {
  if (!parent) {
    log.error(QStringLiteral("No storage given"));
    return nullptr;
  }
  stgName = resolveName(name, remembered, defaultName);
  auto sub = openOrCreateStorage(*parent, stgName);
  if (!sub) {
    log.error("Cannot open or create " + stgName);
    return nullptr;
  }
  QStringList stale;
  QString element;
  for (StgElementType t = sub->EnumElements(0, element); t != StgElementType::End;
       t = sub->EnumElements(1, element)) {
    if (t == StgElementType::Storage) stale << element;
  }
  for (const QString& s : stale) sub->DestroyElement(s);
  return sub;
}

LoadStart openForCollectionLoad(KMX_OLEStorage* parent, const QString& name, QString& remembered,
                                const char* defaultName, const ProcLog& log,
                                const std::function<void()>& resetFn, QString& stgName,
                                std::shared_ptr<KMX_OLEStorage>& sub, QString& versionText,
                                float& versionNumber) {
  if (!parent) {
    log.error(QStringLiteral("No storage given"));
    return LoadStart::Failed;
  }
  stgName = resolveName(name, remembered, defaultName);
  resetFn();
  sub = parent->OpenStorage(stgName, stgmode::Read);
  if (!sub) {
    log.error("Storage " + stgName + " not found");
    return LoadStart::Failed;
  }
  if (!readVersion(*sub, versionText, versionNumber)) {
    log.error("Version of " + stgName + " unreadable");
    return LoadStart::Failed;
  }
  return versionNumber < kVersionNumber ? LoadStart::OldVersion : LoadStart::Ready;
}

std::shared_ptr<KMX_OLEStream> openOrCreateStream(KMX_OLEStorage& parent, const QString& name) {
  auto s = parent.OpenStream(name, stgmode::ReadWrite);
  if (!s) s = parent.CreateStream(name, stgmode::CreateReplace);
  return s;
}

bool readVersion(KMX_OLEStorage& storage, QString& text, float& number) {
  auto s = storage.OpenStream(QStringLiteral("Version"), stgmode::Read);
  if (!s) return false;
  try {
    text = s->ReadNext(true, true).toString();
    number = s->ReadNext(true, true).toSingle();
  } catch (const StorageError&) {
    return false;
  }
  return true;
}

bool writeVersionIfCurrent(KMX_OLEStorage& storage, const QString& text, float& number) {
  if (number > kVersionNumber) return true;
  number = kVersionNumber;
  auto s = openOrCreateStream(storage, QStringLiteral("Version"));
  if (!s) return false;
  bool ok = s->Write(StgValue::fromString(text), true, true);
  ok = s->Write(StgValue::fromSingle(number), true, true) && ok;
  return s->Commit(stgcommit::Default) && ok;
}

}  // namespace tarn::recordio
