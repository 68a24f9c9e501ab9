#include "core/settings.h"

#include <errno.h>
#include <sqlite3.h>
#include <string.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>
#include <mutex>
#include <utility>

#include "core/clock.h"
#include "core/eventlog.h"
#include "core/folders.h"
#include "support/strings/strings.h"

namespace tarn {
namespace {
// Value types as numbered by the registry the store stands in for.
constexpr int kTypeText = 1;
constexpr int kTypeExpandText = 2;
constexpr int kTypeNumber = 4;
constexpr int kMaxTextBytes = 512;
constexpr int kBusyTimeoutMs = 5000;
constexpr quint32 kRetryAfterMs = 2000;  // after a failed open, how long reads give defaults at once

constexpr char kModule[] = "modRegistry";

constexpr char kSchema[] =
    "CREATE TABLE IF NOT EXISTS setting_keys("
    " hive INTEGER NOT NULL, fold TEXT NOT NULL, path TEXT NOT NULL,"
    " PRIMARY KEY(hive, fold)) WITHOUT ROWID;"
    "CREATE TABLE IF NOT EXISTS setting_values("
    " hive INTEGER NOT NULL, key_fold TEXT NOT NULL, name_fold TEXT NOT NULL, name TEXT NOT NULL,"
    " type INTEGER NOT NULL, value,"
    " PRIMARY KEY(hive, key_fold, name_fold)) WITHOUT ROWID;";

enum Stmt { kRead, kInsertKey, kUpsert, kDelete, kCount, kKeyExists, kBegin, kCommit, kRollback, kStmtCount };

constexpr const char* kStmtSql[kStmtCount] = {
    "SELECT type, value FROM setting_values WHERE hive=?1 AND key_fold=?2 AND name_fold=?3",
    "INSERT OR IGNORE INTO setting_keys(hive, fold, path) VALUES(?1, ?2, ?3)",
    "INSERT INTO setting_values(hive, key_fold, name_fold, name, type, value) VALUES(?1, ?2, ?3, ?4, ?5, ?6)"
    " ON CONFLICT(hive, key_fold, name_fold) DO UPDATE SET name=excluded.name, type=excluded.type,"
    " value=excluded.value",
    "DELETE FROM setting_values WHERE hive=?1 AND key_fold=?2 AND name_fold=?3",
    "SELECT count(*) FROM setting_values WHERE hive=?1 AND key_fold=?2",
    "SELECT 1 FROM setting_keys WHERE hive=?1 AND fold=?2",
    "BEGIN IMMEDIATE",
    "COMMIT",
    "ROLLBACK",
};

struct Connection {
  sqlite3* db = nullptr;
  sqlite3_stmt* stmt[kStmtCount] = {};
  QString path;
  bool failed = false;
  quint32 failedAt = 0;
  QString lastError;

  ~Connection() { close(); }
  void close() {
    for (auto& s : stmt) {
      if (s) sqlite3_finalize(s);
      s = nullptr;
    }
    if (db) sqlite3_close_v2(db);
    db = nullptr;
  }
};

thread_local Connection t_conn;

// Set before SQLite starts, for every database of the process: no connection is ever shared
// between threads (each thread has its own here, and the station's files are opened per thread),
// so SQLite's own locking is not needed, and its global memory statistics would take a
// process-wide lock on every allocation, which threads reading subject files fight over.
[[maybe_unused]] const bool g_sqliteConfigured = [] {
  sqlite3_config(SQLITE_CONFIG_MULTITHREAD);
  sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
  return true;
}();

// An open WriteBatch of this thread: its writes join the batch's transaction.
struct Batch {
  bool open = false;
  bool failed = false;
};
thread_local Batch t_batch;

bool isDamage(int rc) {
  const int primary = rc & 0xff;
  return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

void fail(Connection& c, const char* op, const QString& what) {
  c.lastError = what;
  eventlog::logError(kModule, op, what);
}

QString dbError(sqlite3* db) { return db ? QString::fromUtf8(sqlite3_errmsg(db)) : Str(1907); }

// What happened to the store in this process that the operator must learn of (start-up).
std::mutex g_noticeMutex;
settingsstore::Report g_notice;

void note(settingsstore::Health h, const QString& detail) {
  std::lock_guard lock(g_noticeMutex);
  // A loss outweighs a restore, a restore outweighs nothing.
  if (static_cast<int>(h) >= static_cast<int>(g_notice.health)) g_notice = {h, detail};
}

// The store holds the access digests: it and its journal files are the user's alone. SQLite
// gives the -wal and -shm files the mode of the database, so the database is made private first.
void makeStorePrivate(const QString& path) {
  folders::createPrivateFile(path);  // fails harmlessly when it exists
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) folders::makePrivate(path + suffix);
}

void harden(sqlite3* db) {
  sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_VIEW, 0, nullptr);
}

QString goodCopyPath(const QString& path) { return path + QStringLiteral(".good"); }

// Whether the file is a sound store: it opens, passes the check and has our tables.
bool soundStore(const QString& path) {
  sqlite3* db = nullptr;
  bool ok =
      sqlite3_open_v2(folders::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK;
  if (ok) {
    harden(db);
    sqlite3_stmt* s = nullptr;
    ok = sqlite3_prepare_v2(db, "PRAGMA quick_check", -1, &s, nullptr) == SQLITE_OK &&
         sqlite3_step(s) == SQLITE_ROW &&
         qstrcmp(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)), "ok") == 0;
    sqlite3_finalize(s);
    ok = ok && sqlite3_exec(db, "SELECT count(*) FROM setting_values; SELECT count(*) FROM setting_keys",
                            nullptr, nullptr, nullptr) == SQLITE_OK;
  }
  sqlite3_close_v2(db);
  return ok;
}

// Opens the file and checks it; returns an SQLite result code (SQLITE_OK when usable).
int openChecked(Connection& c, QString* why) {
  makeStorePrivate(c.path);
  const QByteArray file = folders::encodeName(c.path);
  int rc = sqlite3_open_v2(file.constData(), &c.db,
                           SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    *why = dbError(c.db);
    return rc;
  }
  harden(c.db);
  sqlite3_busy_timeout(c.db, kBusyTimeoutMs);
  // WAL lets readers and one writer of other processes go on together; NORMAL syncing keeps
  // every commit across a crash of the program (only a power loss may drop the newest ones).
  rc = sqlite3_exec(c.db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) {
    *why = dbError(c.db);
    return rc;
  }
  sqlite3_stmt* check = nullptr;
  rc = sqlite3_prepare_v2(c.db, "PRAGMA quick_check", -1, &check, nullptr);
  if (rc == SQLITE_OK) {
    rc = sqlite3_step(check);
    if (rc == SQLITE_ROW) {
      const QString result = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(check, 0)));
      rc = result == QLatin1String("ok") ? SQLITE_OK : SQLITE_CORRUPT;
      if (rc != SQLITE_OK) *why = result;
    } else {
      *why = dbError(c.db);
    }
  } else {
    *why = dbError(c.db);
  }
  sqlite3_finalize(check);
  if (rc != SQLITE_OK) return rc;
  rc = sqlite3_exec(c.db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
  if (rc == SQLITE_OK) rc = sqlite3_exec(c.db, kSchema, nullptr, nullptr, nullptr);
  if (rc == SQLITE_OK) rc = sqlite3_exec(c.db, "COMMIT", nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) {
    *why = dbError(c.db);
    sqlite3_exec(c.db, "ROLLBACK", nullptr, nullptr, nullptr);
    return rc;
  }
  for (int i = 0; i < kStmtCount; ++i) {
    rc = sqlite3_prepare_v3(c.db, kStmtSql[i], -1, SQLITE_PREPARE_PERSISTENT, &c.stmt[i], nullptr);
    if (rc != SQLITE_OK) {
      // A database of some other layout under our name: as unusable as a damaged one.
      *why = dbError(c.db);
      return SQLITE_CORRUPT;
    }
  }
  return SQLITE_OK;
}

// Keeps a damaged store (and its journal) for rescue under a new name; the next open starts fresh.
bool setAside(const QString& path, QString* aside) {
  *aside = path + ".damaged-" + QDateTime::currentDateTime().toString("yyyyMMdd-HHmmss-zzz");
  if (!QFile::rename(path, *aside)) return false;
  QFile::rename(path + "-wal", *aside + "-wal");
  QFile::remove(path + "-shm");
  return true;
}

Connection* connection(const char* op, bool create) {
  Connection& c = t_conn;
  const QString path = folders::settingsStorePath();
  if (c.path != path) {
    c.close();
    c.path = path;
    c.failed = false;
  }
  if (c.db) return &c;
  if (c.failed && clock::tickCount() - c.failedAt < kRetryAfterMs) return nullptr;
  c.failed = false;
  if (!create && !QFileInfo::exists(path)) return nullptr;  // nothing stored yet: defaults
  if (!folders::ensureFolder(QFileInfo(path).absolutePath())) {
    fail(c, op, Str(1908).arg(path));
    c.failed = true;
    c.failedAt = clock::tickCount();
    return nullptr;
  }
  QString why;
  int rc = openChecked(c, &why);
  if (isDamage(rc)) {
    c.close();
    QString aside;
    if (setAside(path, &aside)) {
      const QString good = goodCopyPath(path);
      QString copyError;
      QFile copy(good);
      const bool restored = soundStore(good) && copy.open(QIODevice::ReadOnly) &&
                            folders::writePrivateFile(path, copy.readAll(), &copyError);
      if (restored) {
        const QDateTime kept = QFileInfo(good).lastModified();
        fail(c, op, Str(1909).arg(path, why, aside, kept.toString(Qt::ISODate)));
        note(settingsstore::Health::Restored, clock::generalDateText(kept));
      } else {
        fail(c, op, Str(1910).arg(path, why, aside));
        note(settingsstore::Health::Lost, aside);
      }
      rc = openChecked(c, &why);
    } else {
      fail(c, op, Str(1911).arg(path, why));
      rc = SQLITE_CORRUPT;
      why.clear();
    }
  }
  if (rc != SQLITE_OK) {
    if (!why.isEmpty()) fail(c, op, Str(1912).arg(path, why));
    c.close();
    c.failed = true;
    c.failedAt = clock::tickCount();
    return nullptr;
  }
  c.lastError.clear();
  return &c;
}

QString normalKey(const QString& key) {
  QString k = key;
  while (k.endsWith('\\')) k.chop(1);
  return k;
}

void bindText(sqlite3_stmt* s, int index, const QString& text) {
  const QByteArray utf8 = text.toUtf8();
  sqlite3_bind_text(s, index, utf8.constData(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT);
}

void finish(sqlite3_stmt* s) {
  sqlite3_reset(s);
  sqlite3_clear_bindings(s);
}

// A failed step: damage closes the connection so that the next call checks the file again.
void stepFailed(Connection& c, const char* op, int rc) {
  fail(c, op, Str(1913).arg(c.path, dbError(c.db)));
  if (isDamage(rc)) c.close();
}

struct Lookup {
  int type = 0;
  qint64 number = 0;
  QByteArray text;
  bool found = false;
};

Lookup lookup(const char* op, Hive hive, const QString& key, const QString& name) {
  Lookup r;
  Connection* c = connection(op, false);
  if (!c) return r;
  sqlite3_stmt* s = c->stmt[kRead];
  sqlite3_bind_int(s, 1, static_cast<int>(hive));
  bindText(s, 2, normalKey(key).toCaseFolded());
  bindText(s, 3, name.toCaseFolded());
  const int rc = sqlite3_step(s);
  if (rc == SQLITE_ROW) {
    r.found = true;
    r.type = sqlite3_column_int(s, 0);
    if (sqlite3_column_type(s, 1) == SQLITE_INTEGER) {
      r.number = sqlite3_column_int64(s, 1);
    } else {
      const auto* p = static_cast<const char*>(sqlite3_column_blob(s, 1));
      r.text = QByteArray(p, sqlite3_column_bytes(s, 1));
    }
  } else if (rc != SQLITE_DONE) {
    stepFailed(*c, op, rc);
    if (c->db) finish(s);
    return r;
  }
  finish(s);
  c->lastError.clear();
  return r;
}

bool exec(Connection& c, Stmt which, const char* op) {
  sqlite3_stmt* s = c.stmt[which];
  const int rc = sqlite3_step(s);
  const bool ok = rc == SQLITE_DONE || rc == SQLITE_ROW;
  if (!ok) stepFailed(c, op, rc);
  if (c.db) finish(s);
  return ok;
}

// Writes one value, creating every missing level of its key, in one transaction.
template <typename Bind>
void writeValue(const char* op, Hive hive, const QString& key, const QString& name, int type,
                Bind bindValue) {
  Connection* c = connection(op, true);
  if (t_batch.open && !t_batch.failed && c && sqlite3_get_autocommit(c->db)) {
    // The batch's transaction is gone (the connection was reopened): nothing may land alone.
    fail(*c, op, Str(1914).arg(c->path));
    t_batch.failed = true;
  }
  if (!c || (t_batch.open && t_batch.failed)) {
    t_batch.failed = t_batch.open;
    return;
  }
  if (!t_batch.open && !exec(*c, kBegin, op)) return;
  const QString path = normalKey(key);
  bool ok = true;
  qsizetype from = 0;
  while (ok) {
    const qsizetype slash = path.indexOf('\\', from);
    const QString level = slash < 0 ? path : path.left(slash);
    if (!level.isEmpty() || slash < 0) {
      sqlite3_stmt* s = c->stmt[kInsertKey];
      sqlite3_bind_int(s, 1, static_cast<int>(hive));
      bindText(s, 2, level.toCaseFolded());
      bindText(s, 3, level);
      ok = exec(*c, kInsertKey, op);
    }
    if (slash < 0) break;
    from = slash + 1;
  }
  if (ok) {
    sqlite3_stmt* s = c->stmt[kUpsert];
    sqlite3_bind_int(s, 1, static_cast<int>(hive));
    bindText(s, 2, path.toCaseFolded());
    bindText(s, 3, name.toCaseFolded());
    bindText(s, 4, name);
    sqlite3_bind_int(s, 5, type);
    bindValue(s, 6);
    ok = exec(*c, kUpsert, op);
  }
  if (t_batch.open) {
    if (!ok) t_batch.failed = true;
    return;  // the batch commits or rolls back
  }
  if (!c->db) return;  // closed after damage: the transaction went with it
  if (ok && exec(*c, kCommit, op)) {
    c->lastError.clear();
    return;
  }
  sqlite3_exec(c->db, "ROLLBACK", nullptr, nullptr, nullptr);
}

QString expandEnvironment(const QString& text) {
  static const QRegularExpression var(
      QStringLiteral("\\$\\{([A-Za-z_][A-Za-z0-9_]*)\\}|\\$([A-Za-z_][A-Za-z0-9_]*)"));
  QString out;
  qsizetype last = 0;
  for (auto it = var.globalMatch(text); it.hasNext();) {
    const QRegularExpressionMatch m = it.next();
    out += text.mid(last, m.capturedStart() - last);
    const QString name = m.captured(1).isEmpty() ? m.captured(2) : m.captured(1);
    out += QString::fromLocal8Bit(qgetenv(name.toLocal8Bit().constData()));
    last = m.capturedEnd();
  }
  out += text.mid(last);
  return out;
}
}  // namespace

QString SettingReadString(Hive hive, const QString& key, const QString& name, const QString& def) {
  const Lookup v = lookup("SettingReadString", hive, key, name);
  if (!v.found || (v.type != kTypeText && v.type != kTypeExpandText) || v.text.size() > kMaxTextBytes) {
    return def.trimmed();
  }
  QString text = QString::fromUtf8(v.text);
  const qsizetype nul = text.indexOf(QChar(0));
  if (nul >= 0) text.truncate(nul);
  if (v.type == kTypeExpandText) text = expandEnvironment(text);
  text = text.trimmed();
  return text.isEmpty() ? def.trimmed() : text;
}

qint32 SettingReadLong(Hive hive, const QString& key, const QString& name, qint32 def) {
  const Lookup v = lookup("SettingReadLong", hive, key, name);
  if (!v.found || v.type != kTypeNumber) return def;
  return static_cast<qint32>(v.number);
}

void SettingWriteString(Hive hive, const QString& key, const QString& name, const QString& text) {
  const QString stored = text.isEmpty() ? QStringLiteral(" ") : text;
  writeValue("SettingWriteString", hive, key, name, kTypeText,
             [&](sqlite3_stmt* s, int i) { bindText(s, i, stored); });
}

void SettingWriteExpandString(Hive hive, const QString& key, const QString& name, const QString& text) {
  const QString stored = text.isEmpty() ? QStringLiteral(" ") : text;
  writeValue("SettingWriteExpandString", hive, key, name, kTypeExpandText,
             [&](sqlite3_stmt* s, int i) { bindText(s, i, stored); });
}

void SettingWriteLong(Hive hive, const QString& key, const QString& name, qint32 value) {
  writeValue("SettingWriteLong", hive, key, name, kTypeNumber,
             [&](sqlite3_stmt* s, int i) { sqlite3_bind_int64(s, i, value); });
}

bool SettingDeleteValue(Hive hive, const QString& key, const QString& name) {
  constexpr char op[] = "SettingDeleteValue";
  Connection* c = connection(op, false);
  if (t_batch.open && (t_batch.failed || !c || sqlite3_get_autocommit(c->db))) {
    t_batch.failed = true;
    return false;
  }
  if (!c) return false;
  sqlite3_stmt* s = c->stmt[kDelete];
  sqlite3_bind_int(s, 1, static_cast<int>(hive));
  bindText(s, 2, normalKey(key).toCaseFolded());
  bindText(s, 3, name.toCaseFolded());
  if (!exec(*c, kDelete, op)) return false;
  c->lastError.clear();
  return sqlite3_changes(c->db) > 0;
}

int SettingCountValues(Hive hive, const QString& key) {
  constexpr char op[] = "SettingCountValues";
  Connection* c = connection(op, false);
  if (!c) return 0;
  sqlite3_stmt* s = c->stmt[kCount];
  sqlite3_bind_int(s, 1, static_cast<int>(hive));
  bindText(s, 2, normalKey(key).toCaseFolded());
  int n = 0;
  const int rc = sqlite3_step(s);
  if (rc == SQLITE_ROW) {
    n = sqlite3_column_int(s, 0);
  } else {
    stepFailed(*c, op, rc);
    if (!c->db) return 0;
  }
  finish(s);
  return n;
}

bool SettingKeyExists(Hive hive, const QString& key) {
  constexpr char op[] = "SettingKeyExists";
  Connection* c = connection(op, false);
  if (!c) return false;
  sqlite3_stmt* s = c->stmt[kKeyExists];
  sqlite3_bind_int(s, 1, static_cast<int>(hive));
  bindText(s, 2, normalKey(key).toCaseFolded());
  const int rc = sqlite3_step(s);
  if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
    stepFailed(*c, op, rc);
    if (!c->db) return false;
  }
  finish(s);
  return rc == SQLITE_ROW;
}

namespace settingsstore {
Report startupCheck() {
  constexpr char op[] = "StartupCheck";
  const QString path = folders::settingsStorePath();
  const QString folder = QFileInfo(path).absolutePath();
  const auto unwritable = [&](const QString& why) {
    eventlog::logError(kModule, op,
                       QStringLiteral("The settings cannot be saved in %1: %2").arg(folder, why));
    return Report{Health::Unwritable, folder, why};
  };
  if (!folders::ensureFolder(folder)) return unwritable(QString::fromLocal8Bit(::strerror(errno)));
  folders::removeSaveLeftovers(folder);  // of a good copy being taken when the station was killed
  Connection* c = connection(op, true);
  if (!c) return unwritable(t_conn.lastError.isEmpty() ? Str(1915) : t_conn.lastError);
  if (sqlite3_db_readonly(c->db, "main") == 1) return unwritable(Str(1916));
  Report r;
  {
    std::lock_guard lock(g_noticeMutex);
    r = std::exchange(g_notice, Report{});  // told once
  }
  // The copy a later damage is restored from, taken while the store is known to be sound.
  if (r.health == Health::Sound) keepGoodCopy();
  return r;
}

bool keepGoodCopy() {
  constexpr char op[] = "KeepGoodCopy";
  Connection* c = connection(op, false);
  if (!c) return false;
  const QString good = goodCopyPath(c->path);
  const QString temp = folders::hiddenTempPath(good);
  if (!folders::createPrivateFile(temp)) return false;
  sqlite3* out = nullptr;
  int rc = sqlite3_open_v2(folders::encodeName(temp).constData(), &out, SQLITE_OPEN_READWRITE, nullptr);
  if (rc == SQLITE_OK) {
    sqlite3_exec(out, "PRAGMA journal_mode = OFF", nullptr, nullptr, nullptr);
    sqlite3_backup* b = sqlite3_backup_init(out, "main", c->db, "main");
    rc = b ? sqlite3_backup_step(b, -1) : sqlite3_errcode(out);
    if (b) sqlite3_backup_finish(b);
    if (rc == SQLITE_DONE) rc = sqlite3_exec(out, "PRAGMA journal_mode = DELETE", nullptr, nullptr, nullptr);
  }
  sqlite3_close_v2(out);
  const bool ok = rc == SQLITE_OK &&
                  ::rename(folders::encodeName(temp).constData(), folders::encodeName(good).constData()) == 0;
  if (!ok) {
    QFile::remove(temp);
    eventlog::logError(kModule, op, QStringLiteral("No good copy of the settings store was kept"));
  }
  return ok;
}

QStringList damagedCopies() {
  const QFileInfo store(folders::settingsStorePath());
  return store.absoluteDir().entryList({store.fileName() + QStringLiteral(".damaged-*")}, QDir::Files);
}

void closeConnection() {
  t_conn.close();
  t_conn.path.clear();
  t_conn.failed = false;
}

QString lastError() { return t_conn.lastError; }

WriteBatch::WriteBatch() {
  constexpr char op[] = "SettingWriteBatch";
  t_batch = Batch{true, true};
  Connection* c = connection(op, true);
  if (c && exec(*c, kBegin, op)) t_batch.failed = false;
}

WriteBatch::~WriteBatch() {
  if (!t_batch.open) return;
  if (t_conn.db && !sqlite3_get_autocommit(t_conn.db))
    sqlite3_exec(t_conn.db, "ROLLBACK", nullptr, nullptr, nullptr);
  t_batch = Batch{};
}

bool WriteBatch::ok() const { return t_batch.open && !t_batch.failed; }

bool WriteBatch::commit() {
  constexpr char op[] = "SettingWriteBatch";
  if (!t_batch.open) return false;
  bool ok = !t_batch.failed && t_conn.db && !sqlite3_get_autocommit(t_conn.db);
  if (ok) ok = exec(t_conn, kCommit, op);
  if (ok) t_conn.lastError.clear();
  if (!ok && t_conn.db && !sqlite3_get_autocommit(t_conn.db))
    sqlite3_exec(t_conn.db, "ROLLBACK", nullptr, nullptr, nullptr);
  t_batch = Batch{};
  return ok;
}
}  // namespace settingsstore

}  // namespace tarn
