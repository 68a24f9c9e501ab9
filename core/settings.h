#pragma once
// The settings store: typed values under keys, kept in one SQLite file (see folders.h).
// The six operations keep the meaning of the registry they stand in for: a missing key,
// a missing value or a value of the wrong type reads as the default; a write that fails
// changes nothing and reports nothing to the caller (it is logged).
//
// Key paths and value names compare case-insensitively. Text is read only when its stored form
// is at most 512 bytes (UTF-8); longer text reads as the default. An empty text is written as
// one blank so that it reads back as the default.
//
// Each thread keeps its own connection to the store; several processes may write at once.
// A store that cannot be read as a database is moved aside (to "<store>.damaged-<time>") and a
// fresh one is started, so damaged data is never written into and stays available for rescue.
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

bool SettingKeyExists(Hive hive, const QString& key);

namespace settingsstore {
// Closes this thread's connection (before a fork, or after a test replaced the file).
void closeConnection();
// The last failure of the store seen by this thread; empty when the last operation succeeded.
QString lastError();

// Groups this thread's writes into one transaction: either every write made while the batch is
// open lands, at commit, or none does. After a failed write the batch writes nothing more and
// commit fails; a batch that is not committed is rolled back. Batches do not nest.
class WriteBatch {
 public:
  WriteBatch();
  ~WriteBatch();
  WriteBatch(const WriteBatch&) = delete;
  WriteBatch& operator=(const WriteBatch&) = delete;
  bool ok() const;  // no write of the batch has failed so far
  bool commit();    // false when the batch or its commit failed: nothing was written
};
}  // namespace settingsstore

}  // namespace tarn
