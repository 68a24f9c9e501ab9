#include "core/settingkeys.h"

#include "core/folders.h"
#include "core/settings.h"

namespace tarn::settings {
namespace {
QString name(const char* n) { return QString::fromUtf8(n); }
}  // namespace

QString defDocumentsFolder() { return folders::documentsFolder(); }
QString defUserDataFolder() { return folders::userDataFolder(); }
QString defColumnsFile() { return folders::withSlash(folders::userDataFolder()) + "RQFMColumns.vcl"; }

qint32 read(const LongSetting& s) { return read(s, s.def); }

qint32 read(const LongSetting& s, qint32 overrideDefault) {
  return SettingReadLong(Hive::CurrentUser, name(s.key), name(s.name), overrideDefault);
}

void write(const LongSetting& s, qint32 value) {
  SettingWriteLong(Hive::CurrentUser, name(s.key), name(s.name), value);
}

QString defaultOf(const TextSetting& s) { return s.defFn ? s.defFn() : name(s.def); }

QString read(const TextSetting& s) {
  // The machine-dependent default is only worked out when it is needed.
  const QString stored = SettingReadString(Hive::CurrentUser, name(s.key), name(s.name), QString());
  return stored.isEmpty() ? defaultOf(s).trimmed() : stored;
}

QString read(const TextSetting& s, const QString& overrideDefault) {
  return SettingReadString(Hive::CurrentUser, name(s.key), name(s.name), overrideDefault);
}

void write(const TextSetting& s, const QString& value) {
  SettingWriteString(Hive::CurrentUser, name(s.key), name(s.name), value);
}

bool readBool(const LongSetting& s) { return read(s) != 0; }

void writeBool(const LongSetting& s, bool value) { write(s, value ? kTrue : 0); }

bool remove(const LongSetting& s) { return SettingDeleteValue(Hive::CurrentUser, name(s.key), name(s.name)); }

bool remove(const TextSetting& s) { return SettingDeleteValue(Hive::CurrentUser, name(s.key), name(s.name)); }
}  // namespace tarn::settings
