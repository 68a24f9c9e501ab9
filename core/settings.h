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
// A store that cannot be read as a database is moved aside (to "<store>.damaged-<time>"), so
// damaged data is never written into and stays available for rescue, and the last good copy
// ("<store>.good", taken at each start-up while the store is sound) takes its place; without a
// sound copy a fresh store is started. The store and its copies are the user's alone (0600).
#include <QString>
#include <QStringList>
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
// What the operator must learn about the store at start-up; ordered by weight.
enum class Health { Sound, Restored, Lost, Unwritable };
struct Report {
  Health health = Health::Sound;
  QString detail;  // Restored: when the copy was taken; Lost: the damaged file kept; Unwritable: the folder
  QString why;     // Unwritable: the reason
};
// Opens the store for writing (creating it when missing) and says whether it was restored from
// its good copy or lost in this run, or cannot be written at all; while sound, it refreshes the
// good copy.
Report startupCheck();
// Replaces the good copy by the store as it is now; false (logged) when that fails.
bool keepGoodCopy();
// Damaged stores set aside next to the store: the trace of an installation whose settings were lost.
QStringList damagedCopies();
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
