#include "data/storage/olestg_db.h"

#include <sqlite3.h>

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <cstring>
#include <limits>

#include "data/storage/olestg.h"

namespace tarn::stgdetail {
namespace {

// A connection is only ever used by one thread at a time, so SQLite's own locking is not needed.
constexpr int kOpenFlags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;

constexpr int kSchemaVersion = 1;

constexpr const char* kSchema =
    "CREATE TABLE elements("
    "id INTEGER PRIMARY KEY, "
    "parent INTEGER NOT NULL, "
    "name TEXT NOT NULL, "
    "name_key TEXT NOT NULL, "
    "kind INTEGER NOT NULL, "
    "data BLOB, "
    "UNIQUE(parent, name_key))";

// Children always carry a larger id than their parent (ids only grow), which also keeps every
// walk over a damaged file finite: a row claiming a later parent is never reached.
// Sorted by id afterwards in memory: cheaper than a temporary b-tree per listing.
constexpr const char* kChildren =
    "SELECT id, name, kind FROM elements WHERE parent = ?1 AND id > ?1 AND kind IN (1, 2)";
constexpr const char* kChildrenData =
    "SELECT id, name, kind, data FROM elements WHERE parent = ?1 AND id > ?1 AND kind IN (1, 2)";
constexpr const char* kSubtree =
    "WITH RECURSIVE sub(id) AS (SELECT ?1 UNION ALL "
    "SELECT e.id FROM elements e JOIN sub ON e.parent = sub.id WHERE e.id > sub.id) ";

QString schemaFingerprint(sqlite3* db) {
  sqlite3_stmt* st = nullptr;
  QString out;
  if (sqlite3_prepare_v2(db, "SELECT type, name, tbl_name, sql FROM sqlite_schema ORDER BY type, name", -1,
                         &st, nullptr) != SQLITE_OK) {
    sqlite3_finalize(st);
    return QString();
  }
  int rc;
  while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
    for (int c = 0; c < 4; ++c) {
      const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(st, c));
      out += QString::fromUtf8(t ? t : "<null>");
      out += QLatin1Char('|');
    }
    out += QLatin1Char('\n');
  }
  sqlite3_finalize(st);
  return rc == SQLITE_DONE ? out : QString();
}

// What sqlite_schema of a sound file reads; taken from a fresh database once.
const QString& expectedSchema() {
  static const QString fp = [] {
    QString why;
    auto db = Database::createEmpty(QStringLiteral("schema"), &why);
    return db ? schemaFingerprint(db->db) : QString();
  }();
  return fp;
}

void bindName(sqlite3_stmt* st, int col, const QString& s) {
  sqlite3_bind_text16(st, col, s.utf16(), int(s.size() * 2), SQLITE_TRANSIENT);
}

QString columnName(sqlite3_stmt* st, int col) {
  const void* p = sqlite3_column_text16(st, col);
  const int bytes = sqlite3_column_bytes16(st, col);
  return p ? QString(reinterpret_cast<const QChar*>(p), bytes / 2) : QString();
}

QByteArray columnBlob(sqlite3_stmt* st, int col) {
  const void* p = sqlite3_column_blob(st, col);
  const int n = sqlite3_column_bytes(st, col);
  return p && n > 0 ? QByteArray(static_cast<const char*>(p), n) : QByteArray();
}

// First column of the first row of a one-off query; false when there is none.
bool queryInt(sqlite3* db, const char* sql, qint64* out) {
  sqlite3_stmt* st = nullptr;
  const bool ok =
      sqlite3_prepare_v2(db, sql, -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW;
  if (ok) *out = sqlite3_column_int64(st, 0);
  sqlite3_finalize(st);
  return ok;
}

bool queryText(sqlite3* db, const char* sql, QString* out) {
  sqlite3_stmt* st = nullptr;
  const bool ok =
      sqlite3_prepare_v2(db, sql, -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW;
  if (ok) {
    const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
    *out = QString::fromUtf8(t ? t : "");
  }
  sqlite3_finalize(st);
  return ok;
}

}  // namespace

Stmt::~Stmt() { sqlite3_finalize(s_); }

bool Stmt::prepare(sqlite3* db, const char* sql) {
  sqlite3_finalize(s_);
  s_ = nullptr;
  return sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &s_, nullptr) == SQLITE_OK;
}

// Every use binds all parameters afresh, so clearing the old bindings would be wasted work.
void Stmt::reset() {
  if (s_) sqlite3_reset(s_);
}

ElementObject::ElementObject(Database* db, qint64 id) : db_(db), id_(id) { db_->live.insert(this); }
ElementObject::~ElementObject() { db_->live.erase(this); }

QString nameKey(const QString& name) {
  QString key = name;
  for (QChar& c : key) c = c.toUpper();
  return key;
}

QString checkName(const QString& name) {
  if (name.isEmpty()) return QStringLiteral("the name is empty");
  if (name.size() > 31) return QStringLiteral("the name \"%1\" is longer than 31 characters").arg(name);
  for (QChar c : name) {
    if (c == u'/' || c == u'\\' || c == u':' || c == u'!' || c == QChar(0))
      return QStringLiteral("the name \"%1\" contains one of / \\ : ! or a null character").arg(name);
  }
  return QString();
}

Database::~Database() {
  // Statements are finalised by their members afterwards; close_v2 waits for them.
  if (db) sqlite3_close_v2(db);
}

QString Database::errText(const char* what) const {
  return QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromUtf8(sqlite3_errmsg(db)));
}

bool Database::exec(const char* sql, QString* why) {
  char* msg = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &msg) == SQLITE_OK) return true;
  if (why) *why = QString::fromUtf8(msg ? msg : sqlite3_errmsg(db));
  sqlite3_free(msg);
  return false;
}

// Settings every connection gets; opened files are untrusted input.
bool Database::setup(QString* why) {
  sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_VIEW, 0, nullptr);
  sqlite3_limit(db, SQLITE_LIMIT_ATTACHED, 0);
  exec("PRAGMA cell_size_check = ON", nullptr);
  exec("PRAGMA journal_mode = MEMORY", nullptr);
  exec("PRAGMA temp_store = MEMORY", nullptr);
  if (!stInsert.prepare(db,
                        "INSERT INTO elements(id, parent, name, name_key, kind, data) "
                        "VALUES(?1, ?2, ?3, ?4, ?5, ?6)") ||
      !stFind.prepare(db,
                      "SELECT id, kind, data FROM elements WHERE parent = ?1 AND name_key = ?2 "
                      "AND id > ?1 AND kind IN (1, 2)") ||
      !stSetData.prepare(db, "UPDATE elements SET data = ?2 WHERE id = ?1 AND kind = 2") ||
      !stLoadData.prepare(db, "SELECT data FROM elements WHERE id = ?1 AND kind = 2") ||
      !stChildren.prepare(db, kChildren) || !stChildrenData.prepare(db, kChildrenData) ||
      !stParent.prepare(db, "SELECT parent FROM elements WHERE id = ?1")) {
    if (why) *why = errText("preparing statements");
    return false;
  }
  return true;
}

std::shared_ptr<Database> Database::createEmpty(const QString& label, QString* why) {
  auto d = std::make_shared<Database>();
  d->label = label;
  if (sqlite3_open_v2(":memory:", &d->db, kOpenFlags, nullptr) != SQLITE_OK) {
    if (why) *why = QStringLiteral("cannot open an in-memory database");
    return nullptr;
  }
  const QByteArray init = QByteArray("PRAGMA application_id = ") + QByteArray::number(kApplicationId) +
                          ";PRAGMA user_version = " + QByteArray::number(kSchemaVersion) + ";" + kSchema +
                          ";INSERT INTO elements VALUES(1, 0, 'Root Entry', 'ROOT ENTRY', 1, NULL)";
  if (!d->exec(init.constData(), why) || !d->setup(why)) return nullptr;
  return d;
}

std::shared_ptr<Database> Database::openImage(const QByteArray& image, const QString& label, bool writable,
                                              QString* why) {
  auto fail = [why](const QString& text) {
    if (why) *why = text;
    return nullptr;
  };
  if (image.size() < 512 || std::memcmp(image.constData(), "SQLite format 3", 16) != 0)
    return fail(QStringLiteral("not a storage file"));

  auto d = std::make_shared<Database>();
  d->label = label;
  d->writable = writable;
  if (sqlite3_open_v2(":memory:", &d->db, kOpenFlags, nullptr) != SQLITE_OK)
    return fail(QStringLiteral("cannot open an in-memory database"));
  const auto n = sqlite3_int64(image.size());
  auto* buf = static_cast<unsigned char*>(sqlite3_malloc64(sqlite3_uint64(n)));
  if (!buf) return fail(QStringLiteral("out of memory reading the file"));
  std::memcpy(buf, image.constData(), size_t(n));
  unsigned flags = SQLITE_DESERIALIZE_FREEONCLOSE | SQLITE_DESERIALIZE_RESIZEABLE;
  if (!writable) flags |= SQLITE_DESERIALIZE_READONLY;
  if (sqlite3_deserialize(d->db, "main", buf, n, n, flags) != SQLITE_OK)
    return fail(d->errText("reading the file"));

  // Header marks first: they are cheap and turn away other databases before anything else.
  qint64 appId = 0, version = 0;
  if (!queryInt(d->db, "PRAGMA application_id", &appId) || !queryInt(d->db, "PRAGMA user_version", &version))
    return fail(d->errText("damaged file"));
  if (appId != kApplicationId) return fail(QStringLiteral("not a storage file of this kind"));
  if (version != kSchemaVersion) return fail(QStringLiteral("unknown storage file version %1").arg(version));

  const QString schema = schemaFingerprint(d->db);
  if (schema.isEmpty() || schema != expectedSchema())
    return fail(QStringLiteral("damaged file: unexpected database layout"));

  QString check;
  if (!queryText(d->db, "PRAGMA quick_check(1)", &check) || check != QLatin1String("ok"))
    return fail(QStringLiteral("damaged file: %1").arg(check.isEmpty() ? d->errText("check") : check));

  if (!d->setup(why)) return nullptr;

  qint64 rootKind = 0, rootParent = -1, maxId = 0;
  const bool ok = queryInt(d->db, "SELECT kind FROM elements WHERE id = 1", &rootKind) &&
                  queryInt(d->db, "SELECT parent FROM elements WHERE id = 1", &rootParent) &&
                  queryInt(d->db, "SELECT max(id) FROM elements", &maxId);
  if (!ok || rootKind != KindStorage || rootParent != 0 || maxId < RootId ||
      maxId > std::numeric_limits<qint64>::max() / 2)
    return fail(QStringLiteral("damaged file: no root storage"));
  d->nextId = maxId + 1;
  return d;
}

qint64 Database::insert(qint64 parent, const QString& name, const QString& key, int kind,
                        const QByteArray* data, QString* why) {
  if (!begin(why)) return -1;
  StmtUse st(stInsert);
  sqlite3_bind_int64(*st, 1, nextId);
  sqlite3_bind_int64(*st, 2, parent);
  bindName(*st, 3, name);
  bindName(*st, 4, key);
  sqlite3_bind_int(*st, 5, kind);
  if (kind == KindStream) {
    if (data && !data->isEmpty())
      sqlite3_bind_blob64(*st, 6, data->constData(), sqlite3_uint64(data->size()), SQLITE_TRANSIENT);
    else
      sqlite3_bind_zeroblob(*st, 6, 0);
  }
  const int rc = sqlite3_step(*st);
  if (rc == SQLITE_DONE) return nextId++;
  if (rc == SQLITE_CONSTRAINT) return 0;
  if (why) *why = errText("adding an element");
  return -1;
}

qint64 Database::find(qint64 parent, const QString& key, int* kind, QByteArray* data, QString* why) {
  StmtUse st(stFind);
  sqlite3_bind_int64(*st, 1, parent);
  bindName(*st, 2, key);
  const int rc = sqlite3_step(*st);
  if (rc == SQLITE_DONE) return 0;
  if (rc != SQLITE_ROW) {
    if (why) *why = errText("looking up an element");
    return -1;
  }
  if (kind) *kind = sqlite3_column_int(*st, 1);
  if (data) *data = columnBlob(*st, 2);
  return sqlite3_column_int64(*st, 0);
}

bool Database::setData(qint64 id, const QByteArray& data, QString* why) {
  if (!begin(why)) return false;
  StmtUse st(stSetData);
  sqlite3_bind_int64(*st, 1, id);
  sqlite3_bind_blob64(*st, 2, data.constData(), sqlite3_uint64(data.size()), SQLITE_STATIC);
  if (sqlite3_step(*st) != SQLITE_DONE) {
    if (why) *why = errText("writing a stream");
    return false;
  }
  if (sqlite3_changes(db) != 1) {
    if (why) *why = QStringLiteral("the stream no longer exists");
    return false;
  }
  return true;
}

bool Database::loadData(qint64 id, QByteArray* data, QString* why) {
  StmtUse st(stLoadData);
  sqlite3_bind_int64(*st, 1, id);
  const int rc = sqlite3_step(*st);
  if (rc == SQLITE_ROW) {
    *data = columnBlob(*st, 0);
    return true;
  }
  if (why)
    *why = rc == SQLITE_DONE ? QStringLiteral("the stream no longer exists") : errText("reading a stream");
  return false;
}

bool Database::children(qint64 parent, std::vector<ChildRow>* rows, bool withData, QString* why) {
  Stmt& which = withData ? stChildrenData : stChildren;
  StmtUse st(which);
  sqlite3_bind_int64(*st, 1, parent);
  int rc;
  while ((rc = sqlite3_step(*st)) == SQLITE_ROW) {
    ChildRow r{sqlite3_column_int64(*st, 0), columnName(*st, 1), sqlite3_column_int(*st, 2), QByteArray()};
    if (withData) r.data = columnBlob(*st, 3);
    rows->push_back(std::move(r));
  }
  if (rc != SQLITE_DONE) {
    if (why) *why = errText("listing elements");
    return false;
  }
  std::sort(rows->begin(), rows->end(), [](const ChildRow& a, const ChildRow& b) { return a.id < b.id; });
  return true;
}

bool Database::destroyTree(qint64 id, QString* why) {
  flushAll();
  if (!begin(why)) return false;
  // Objects still held for anything in the subtree go stale rather than write into a reused place.
  if (live.size() > 0) {
    std::unordered_set<qint64> gone;
    sqlite3_stmt* st = nullptr;
    const QByteArray sql = QByteArray(kSubtree) + "SELECT id FROM sub";
    if (sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr) == SQLITE_OK) {
      sqlite3_bind_int64(st, 1, id);
      while (sqlite3_step(st) == SQLITE_ROW) gone.insert(sqlite3_column_int64(st, 0));
    }
    sqlite3_finalize(st);
    for (ElementObject* o : live)
      if (gone.count(o->id_)) o->reverted_ = true;
  }
  sqlite3_stmt* st = nullptr;
  const QByteArray sql = QByteArray(kSubtree) + "DELETE FROM elements WHERE id IN sub";
  bool ok = sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr) == SQLITE_OK;
  if (ok) {
    sqlite3_bind_int64(st, 1, id);
    ok = sqlite3_step(st) == SQLITE_DONE;
  }
  if (!ok && why) *why = errText("removing an element");
  sqlite3_finalize(st);
  return ok;
}

bool Database::isSameOrAncestor(qint64 ancestor, qint64 id) {
  while (id > 0) {
    if (id == ancestor) return true;
    StmtUse st(stParent);
    sqlite3_bind_int64(*st, 1, id);
    if (sqlite3_step(*st) != SQLITE_ROW) return false;
    const qint64 parent = sqlite3_column_int64(*st, 0);
    if (parent >= id) return false;
    id = parent;
  }
  return false;
}

bool Database::isEmptyTree() {
  qint64 empty = 0;
  return queryInt(db, "SELECT NOT EXISTS(SELECT 1 FROM elements WHERE id <> 1)", &empty) && empty != 0;
}

bool Database::begin(QString* why) {
  if (inTransaction) return true;
  if (!writable) {
    if (why) *why = QStringLiteral("the storage is open for reading only");
    return false;
  }
  if (!exec("BEGIN", why)) return false;
  inTransaction = true;
  return true;
}

bool Database::commitTransaction(QString* why) {
  flushAll();
  if (!inTransaction) return true;
  if (!exec("COMMIT", why)) return false;
  inTransaction = false;
  return true;
}

void Database::flushAll() {
  if (dirty.empty()) return;
  const std::vector<KMX_OLEStream*> pending(dirty.begin(), dirty.end());
  for (KMX_OLEStream* s : pending) s->flush();
}

bool Database::backupInto(Database& dest, QString* why) {
  // Pending work on either side must be finished first: a backup neither sees nor tolerates it.
  if (!commitTransaction(why) || !dest.commitTransaction(why)) return false;
  sqlite3_backup* b = sqlite3_backup_init(dest.db, "main", db, "main");
  if (!b) {
    if (why) *why = dest.errText("starting the copy");
    return false;
  }
  const int rc = sqlite3_backup_step(b, -1);
  sqlite3_backup_finish(b);
  if (rc != SQLITE_DONE) {
    if (why) *why = QStringLiteral("copying the database: %1").arg(QString::fromUtf8(sqlite3_errstr(rc)));
    return false;
  }
  dest.nextId = std::max(dest.nextId, nextId);
  return true;
}

QByteArray Database::serialize(QString* why) {
  if (!commitTransaction(why)) return QByteArray();
  sqlite3_int64 size = 0;
  unsigned char* p = sqlite3_serialize(db, "main", &size, 0);
  if (!p) {
    if (why) *why = QStringLiteral("out of memory preparing the file image");
    return QByteArray();
  }
  QByteArray out(reinterpret_cast<const char*>(p), qsizetype(size));
  sqlite3_free(p);
  return out;
}

bool Database::writeFile(const QString& path, QString* why) {
  const QByteArray image = serialize(why);
  if (image.isEmpty()) return false;
  // QSaveFile writes a temporary file beside the target and renames it over the target only
  // when every byte is on disk; on failure the old file stays as it was.
  QSaveFile f(path);
  f.setDirectWriteFallback(false);
  if (!f.open(QIODevice::WriteOnly)) {
    if (why) *why = QStringLiteral("cannot create %1: %2").arg(path, f.errorString());
    return false;
  }
  if (f.write(image) != image.size() || !f.commit()) {
    if (why) *why = QStringLiteral("cannot write %1: %2").arg(path, f.errorString());
    f.cancelWriting();
    return false;
  }
  return true;
}

}  // namespace tarn::stgdetail
