#pragma once
// Helpers of the options tests: a cheap stand-in for the access digest, and snapshots of the
// settings store and of folders to prove that nothing was written.
#include <sqlite3.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QStringList>

#include "core/folders.h"
#include "core/settings.h"
#include "options/accessdigest.h"

#include <ostream>

// Readable QString values in failure messages.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace tarn::testing {

// Installs a cheap 40-hex digest for the life of the object: the password rules only need "the
// same text gives the same digest", not the 100 000 rounds.
class CheapDigest {
 public:
  CheapDigest()
      : previous_(setAccessDigestFunction([](const QString& t) {
          return QString::fromLatin1(
              QCryptographicHash::hash("test digest:" + t.toUtf8(), QCryptographicHash::Sha1)
                  .toHex()
                  .toUpper());
        })) {}
  ~CheapDigest() { setAccessDigestFunction(previous_); }
  CheapDigest(const CheapDigest&) = delete;
  CheapDigest& operator=(const CheapDigest&) = delete;

 private:
  AccessDigestFunction previous_;
};

// Every value of the store as "hive|key|name|type|value" lines; empty when there is no store.
inline QStringList storeDump() {
  QStringList rows;
  const QString path = folders::settingsStorePath();
  if (!QFile::exists(path)) return rows;
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    return {"unreadable"};
  }
  sqlite3_stmt* s = nullptr;
  sqlite3_prepare_v2(db,
                     "SELECT hive || '|' || key_fold || '|' || name || '|' || type || '|' || quote(value) "
                     "FROM setting_values ORDER BY 1",
                     -1, &s, nullptr);
  while (s && sqlite3_step(s) == SQLITE_ROW)
    rows << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)));
  sqlite3_finalize(s);
  sqlite3_close(db);
  return rows;
}

// Names, sizes and digests of the files of a folder.
inline QStringList folderSnapshot(const QString& folder) {
  QStringList out;
  QDir dir(folder);
  for (const QString& name : dir.entryList(QDir::Files, QDir::Name)) {
    QFile f(dir.filePath(name));
    f.open(QIODevice::ReadOnly);
    out << name + ' ' + QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha1).toHex();
  }
  return out;
}

// Runs SQL on the store from outside (e.g. to plant a failure).
inline bool execOnStore(const char* sql) {
  settingsstore::closeConnection();
  sqlite3* db = nullptr;
  bool ok = sqlite3_open(QFile::encodeName(folders::settingsStorePath()).constData(), &db) == SQLITE_OK &&
            sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
  sqlite3_close(db);
  return ok;
}

}  // namespace tarn::testing
