#pragma once
// The settings store: typed values under keys, kept in one SQLite file (see folders.h).
// The six operations keep the meaning of the registry they stand in for: a missing key,
// a missing value or a value of the wrong type reads as the default; a write that fails
// changes nothing and reports nothing.
#include <QString>
#include <QtGlobal>

namespace tarn {

enum class Hive { CurrentUser, ClassesRoot };

QString SettingReadString(Hive hive, const QString& key, const QString& name, const QString& def);
qint32 SettingReadLong(Hive hive, const QString& key, const QString& name, qint32 def);
void SettingWriteString(Hive hive, const QString& key, const QString& name, const QString& text);
void SettingWriteLong(Hive hive, const QString& key, const QString& name, qint32 value);
bool SettingDeleteValue(Hive hive, const QString& key, const QString& name);
int SettingCountValues(Hive hive, const QString& key);

// Writes an expandable text (read back expanded: $VAR and ${VAR} from the environment).
void SettingWriteExpandString(Hive hive, const QString& key, const QString& name, const QString& text);

}  // namespace tarn
