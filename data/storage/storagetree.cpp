#include "data/storage/storagetree.h"

#include <sqlite3.h>
#include <sys/mman.h>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <new>

#include "core/clock.h"
#include "core/eventlog.h"
#include "core/folders.h"
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

// Every check of a file from elsewhere is bounded: a hostile file cannot hold the station up
// for more than this, whatever its contents make SQLite do. Counted in the thread's processor
// time (ms), so that a busy machine does not turn a sound file away, and growing with the size
// of the file, so that a slow one does not turn a large sound file away.
constexpr qint64 kCheckBudget = 500;
constexpr qint64 kCheckBudgetPerMiB = 20;

// Size of the blocks that hold the contents of streams read from a file (larger ones get their own).
// A large list fills dozens of them: each is one huge page where the system offers those, so it
// costs one page fault rather than 512.
constexpr qsizetype kArenaBytes = qsizetype(2) << 20;

// Asks for huge pages for the whole 2 MiB pages inside [p, p + bytes) that nothing touched yet.
void adviseHugePages(void* p, size_t bytes) {
#ifdef MADV_HUGEPAGE
  constexpr quintptr kHuge = quintptr(2) << 20;
  const quintptr from = (quintptr(p) + kHuge - 1) & ~(kHuge - 1);
  const quintptr to = (quintptr(p) + bytes) & ~(kHuge - 1);
  if (to > from) ::madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
#else
  Q_UNUSED(p);
  Q_UNUSED(bytes);
#endif
}

// A block of bytes bytes; a whole block (kArenaBytes) is aligned to and advised as a huge page.
std::shared_ptr<const char> newArena(qsizetype bytes) {
  void* p = nullptr;
  if (bytes == kArenaBytes) {
    if (::posix_memalign(&p, size_t(kArenaBytes), size_t(kArenaBytes)) != 0) p = nullptr;
    if (p) adviseHugePages(p, size_t(kArenaBytes));
  } else {
    p = std::malloc(size_t(bytes));
  }
  if (!p) throw std::bad_alloc();
  return std::shared_ptr<const char>(static_cast<const char*>(p),
                                     [](const char* q) { std::free(const_cast<char*>(q)); });
}

int pastDeadline(void* deadline) { return clock::threadCpuMs() > *static_cast<qint64*>(deadline); }

}  // namespace

QString errText(sqlite3* db, const char* what) {
  return QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromUtf8(sqlite3_errmsg(db)));
}

namespace {
// What every connection that reads a file gets: its bytes are untrusted input. Settings of the
// file itself (its journal) are left as they are.
void hardenReading(sqlite3* db) {
  sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_VIEW, 0, nullptr);
  sqlite3_limit(db, SQLITE_LIMIT_ATTACHED, 0);
  sqlite3_exec(db, "PRAGMA cell_size_check = ON", nullptr, nullptr, nullptr);
}

// The image an in-memory database holds, owned with it; empty (and why) when it cannot be had.
template <class Owner>
FileImage imageOf(std::shared_ptr<Owner> owner, sqlite3* db, QString* why) {
  FileImage image;
  sqlite3_int64 size = 0;
  image.bytes = sqlite3_serialize(db, "main", &size, SQLITE_SERIALIZE_NOCOPY);
  image.size = size;
  if (!image.bytes || size <= 0) {
    if (why) *why = QStringLiteral("out of memory preparing the file image");
    return FileImage();
  }
  image.owner = std::move(owner);
  return image;
}

// Owns one connection to an in-memory database.
class Connection {
 public:
  Connection() = default;
  ~Connection() {
    if (db_) sqlite3_close_v2(db_);
  }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  bool open() { return sqlite3_open_v2(":memory:", &db_, kOpenFlags, nullptr) == SQLITE_OK; }
  // The database file itself, as it is on disk (never created here).
  bool openFile(const QString& path) {
    const QByteArray name = path.toUtf8();
    return sqlite3_open_v2(name.constData(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) ==
           SQLITE_OK;
  }
  sqlite3* get() const { return db_; }

  // Settings every connection gets; opened files are untrusted input.
  void harden() {
    hardenReading(db_);
    exec("PRAGMA journal_mode = OFF", nullptr);
    exec("PRAGMA temp_store = MEMORY", nullptr);
  }

  bool exec(const char* sql, QString* why) {
    char* msg = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &msg) == SQLITE_OK) return true;
    if (why) *why = QString::fromUtf8(msg ? msg : sqlite3_errmsg(db_));
    sqlite3_free(msg);
    return false;
  }

  QString errText(const char* what) const { return stgdetail::errText(db_, what); }

  // A fresh file of this store's kind: header marks and the table, no rows.
  bool createSchema(QString* why) {
    const QByteArray init = QByteArray("PRAGMA application_id = ") + QByteArray::number(kApplicationId) +
                            ";PRAGMA user_version = " + QByteArray::number(kSchemaVersion) + ";" + kSchema;
    return exec(init.constData(), why);
  }

 private:
  sqlite3* db_ = nullptr;
};

// A prepared statement, finalised when leaving scope.
class Statement {
 public:
  Statement(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &s_, nullptr); }
  ~Statement() { sqlite3_finalize(s_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  sqlite3_stmt* get() const { return s_; }
  explicit operator bool() const { return s_ != nullptr; }

 private:
  sqlite3_stmt* s_ = nullptr;
};

QString schemaFingerprint(sqlite3* db) {
  Statement st(db, "SELECT type, name, tbl_name, sql FROM sqlite_schema ORDER BY type, name");
  if (!st) return QString();
  QString out;
  int rc;
  while ((rc = sqlite3_step(st.get())) == SQLITE_ROW) {
    for (int c = 0; c < 4; ++c) {
      const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(st.get(), c));
      out += QString::fromUtf8(t ? t : "<null>");
      out += QLatin1Char('|');
    }
    out += QLatin1Char('\n');
  }
  return rc == SQLITE_DONE ? out : QString();
}

// What sqlite_schema of a sound file reads; taken from a fresh database once.
const QString& expectedSchema() {
  static const QString fp = [] {
    Connection c;
    return c.open() && c.createSchema(nullptr) ? schemaFingerprint(c.get()) : QString();
  }();
  return fp;
}

void bindName(sqlite3_stmt* st, int col, const QString& s) {
  sqlite3_bind_text16(st, col, s.utf16(), int(s.size() * 2), SQLITE_STATIC);
}

// Names are nearly always ASCII: those are handed over as UTF-8 (the file's encoding) straight
// from buf, sparing SQLite a conversion and an allocation per value. Others go as UTF-16.
void bindNameFast(sqlite3_stmt* st, int col, const QString& s, std::string& buf) {
  buf.resize(size_t(s.size()));
  char* out = buf.data();
  for (const QChar c : s) {
    if (c.unicode() >= 0x80) return bindName(st, col, s);
    *out++ = char(c.unicode());
  }
  sqlite3_bind_text(st, col, buf.data(), int(buf.size()), SQLITE_STATIC);
}

// Names taken as the file holds them (UTF-8), sparing SQLite a conversion per row. Most repeat
// ("Version", "Data", "TestB 1"), so the last name met at each of a few places is kept and
// shared instead of made again.
class NameReader {
 public:
  // Valid until the next read.
  const QString& read(sqlite3_stmt* st, int col) {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st, col));
    const int bytes = sqlite3_column_bytes(st, col);
    if (!p) {
      other_ = QString();
      return other_;
    }
    quint32 h = 2166136261u;
    bool ascii = true;
    for (int i = 0; i < bytes; ++i) {
      const auto c = static_cast<unsigned char>(p[i]);
      ascii = ascii && c < 0x80;
      h = (h ^ c) * 16777619u;
    }
    if (!ascii) {
      other_ = QString::fromUtf8(p, bytes);
      return other_;
    }
    QString& slot = slots_[(h ^ (h >> 15)) % kSlots];
    const QLatin1StringView text(p, bytes);
    if (slot.size() != bytes || slot != text) slot = QString(text);
    return slot;
  }

 private:
  static constexpr quint32 kSlots = 251;
  QString slots_[kSlots];
  QString other_;
};

QByteArray columnBlob(sqlite3_stmt* st, int col) {
  const void* p = sqlite3_column_blob(st, col);
  const int n = sqlite3_column_bytes(st, col);
  return p && n > 0 ? QByteArray(static_cast<const char*>(p), n) : QByteArray();
}
// First column of the first row of a one-off query; false when there is none.
bool queryInt(sqlite3* db, const char* sql, qint64* out) {
  Statement st(db, sql);
  const bool ok = st && sqlite3_step(st.get()) == SQLITE_ROW;
  if (ok) *out = sqlite3_column_int64(st.get(), 0);
  return ok;
}

bool queryText(sqlite3* db, const char* sql, QString* out) {
  Statement st(db, sql);
  const bool ok = st && sqlite3_step(st.get()) == SQLITE_ROW;
  if (ok) {
    const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(st.get(), 0));
    *out = QString::fromUtf8(t ? t : "");
  }
  return ok;
}

}  // namespace

QString nameKey(const QString& name) {
  QString key = name;
  for (QChar& c : key) c = QChar(upperUnit(c.unicode()));
  return key;
}

bool sameKey(const QString& a, const QString& b) {
  const qsizetype n = a.size();
  if (b.size() != n) return false;
  const QChar* p = a.constData();
  const QChar* q = b.constData();
  if (p == q) return true;  // one shared text (names read from a file mostly are)
  for (qsizetype i = 0; i < n; ++i)
    if (p[i] != q[i] && upperUnit(p[i].unicode()) != upperUnit(q[i].unicode())) return false;
  return true;
}

// FNV-1a over the upper-cased UTF-16 units, seeded with the parent, then a 64-bit finaliser so
// that the many equal names under different parents ("Data", "Version") spread evenly.
quint64 NameIndex::hash(qint64 parent, const QString& name) {
  quint64 h = 0xcbf29ce484222325ULL ^ (quint64(parent) * 0x9e3779b97f4a7c15ULL);
  for (const QChar c : name) h = (h ^ upperUnit(c.unicode())) * 0x100000001b3ULL;
  h ^= h >> 33;
  h *= 0xff51afd7ed558ccdULL;
  h ^= h >> 33;
  return h;
}

qint64 NameIndex::find(const std::vector<Node>& nodes, qint64 parent, const QString& name, quint64 h) const {
  if (slots_.empty()) return 0;
  const size_t mask = slots_.size() - 1;
  for (size_t i = size_t(h) & mask;; i = (i + 1) & mask) {
    const Slot& s = slots_[i];
    if (s.id == 0) return 0;
    if (s.id > 0 && s.hash == h) {
      const Node& n = nodes[size_t(s.id)];
      if (n.parent == parent && sameKey(n.name, name)) return s.id;
    }
  }
}

void NameIndex::add(quint64 h, qint64 id) {
  if ((used_ + removed_ + 1) * 2 > slots_.size()) grow();
  const size_t mask = slots_.size() - 1;
  size_t i = size_t(h) & mask;
  while (slots_[i].id > 0) i = (i + 1) & mask;
  if (slots_[i].id < 0) --removed_;
  slots_[i] = Slot{h, id};
  ++used_;
}

void NameIndex::remove(quint64 h, qint64 id) {
  if (slots_.empty()) return;
  const size_t mask = slots_.size() - 1;
  for (size_t i = size_t(h) & mask; slots_[i].id != 0; i = (i + 1) & mask) {
    if (slots_[i].id == id) {
      slots_[i].id = -1;
      --used_;
      ++removed_;
      return;
    }
  }
}

void NameIndex::grow() {
  size_t size = 64;
  while (size < (used_ + 1) * 4) size *= 2;
  std::vector<Slot> old(size, Slot{0, 0});
  old.swap(slots_);
  removed_ = 0;
  const size_t mask = size - 1;
  for (const Slot& s : old) {
    if (s.id <= 0) continue;
    size_t i = size_t(s.hash) & mask;
    while (slots_[i].id != 0) i = (i + 1) & mask;
    slots_[i] = s;
  }
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

std::shared_ptr<Database> Database::createEmpty(const QString& label, QString* why) {
  Q_UNUSED(why);
  auto d = std::make_shared<Database>();
  d->label = label;
  d->nodes.resize(2);
  Node& root = d->nodes[RootId];
  root.kind = KindStorage;
  root.name = QStringLiteral("Root Entry");
  d->liveCount = 1;
  return d;
}

std::shared_ptr<Database> Database::openImage(const QByteArray& image, const QString& label, bool writable,
                                              QString* why, Check check) {
  if (image.size() < 512 || std::memcmp(image.constData(), "SQLite format 3", 16) != 0) {
    if (why) *why = QStringLiteral("not a storage file");
    return nullptr;
  }
  Connection c;
  if (!c.open()) {
    if (why) *why = QStringLiteral("cannot open an in-memory database");
    return nullptr;
  }
  c.harden();
  // Read in place: a read-only database never writes into the caller's bytes, which outlive c.
  const auto n = sqlite3_int64(image.size());
  auto* buf = reinterpret_cast<unsigned char*>(const_cast<char*>(image.constData()));
  if (sqlite3_deserialize(c.get(), "main", buf, n, n, SQLITE_DESERIALIZE_READONLY) != SQLITE_OK) {
    if (why) *why = c.errText("reading the file");
    return nullptr;
  }
  qint64 skippedRows = 0;
  auto d = readRows(c.get(), image.size(), label, writable, why, check, skippedRows);
  // Kept, when every row made it into the tree: a later write of the same file patches it.
  // Anything left out (a damaged file) goes when the file is next written whole.
  if (d && skippedRows == 0) {
    auto kept = std::make_shared<QByteArray>(image);
    d->base = FileImage{kept, reinterpret_cast<const unsigned char*>(kept->constData()), kept->size()};
  }
  return d;
}

std::shared_ptr<Database> Database::openFile(sqlite3* c, qint64 bytes, const QString& label, bool writable,
                                             QString* why) {
  hardenReading(c);
  // Each page is read once, in order: a small cache stays in the processor's caches.
  sqlite3_exec(c, "PRAGMA cache_size = -256", nullptr, nullptr, nullptr);
  qint64 skippedRows = 0;
  auto d = readRows(c, bytes, label, writable, why, Check::Own, skippedRows);
  // The file itself is then what a later write changes in place.
  if (d && skippedRows == 0) d->baseIsFile = true;
  return d;
}

std::shared_ptr<Database> Database::readRows(sqlite3* c, qint64 bytes, const QString& label, bool writable,
                                             QString* why, Check check, qint64& skippedRows) {
  auto fail = [why](const QString& text) {
    if (why) *why = text;
    return nullptr;
  };
  qint64 deadline = clock::threadCpuMs() + kCheckBudget + kCheckBudgetPerMiB * (bytes >> 20);
  sqlite3_progress_handler(c, 1000, pastDeadline, &deadline);
  const std::unique_ptr<sqlite3, void (*)(sqlite3*)> unhook(
      c, [](sqlite3* db) { sqlite3_progress_handler(db, 0, nullptr, nullptr); });

  // Header marks first: they are cheap and turn away other databases before anything else.
  qint64 appId = 0, version = 0;
  if (!queryInt(c, "PRAGMA application_id", &appId) || !queryInt(c, "PRAGMA user_version", &version))
    return fail(errText(c, "damaged file"));
  if (appId != kApplicationId) return fail(QStringLiteral("not a storage file of this kind"));
  if (version != kSchemaVersion) return fail(QStringLiteral("unknown storage file version %1").arg(version));

  const QString schema = schemaFingerprint(c);
  if (schema.isEmpty() || schema != expectedSchema())
    return fail(QStringLiteral("damaged file: unexpected database layout"));

  // The structural check costs as much as reading every row again. The station's own files skip
  // it: damage SQLite meets while reading still fails the open cleanly, and what such a file
  // caches can be made again.
  if (check == Check::Whole) {
    QString verdict;
    if (!queryText(c, "PRAGMA quick_check(1)", &verdict) || verdict != QLatin1String("ok"))
      return fail(QStringLiteral("damaged file: %1").arg(verdict.isEmpty() ? errText(c, "check") : verdict));
  }

  qint64 rootKind = 0, rootParent = -1;
  if (!queryInt(c, "SELECT kind FROM elements WHERE id = 1", &rootKind) ||
      !queryInt(c, "SELECT parent FROM elements WHERE id = 1", &rootParent) || rootKind != KindStorage ||
      rootParent != 0)
    return fail(QStringLiteral("damaged file: no root storage"));

  // One pass in id order. Children always carry a larger id than their parent (ids only grow), so
  // a parent is met before its children; rows whose parent is not a storage met earlier cannot be
  // reached and are left out, which also keeps every later walk finite. Ids are renumbered densely.
  auto d = std::make_shared<Database>();
  d->label = label;
  d->writable = writable;
  d->nodes.resize(1);
  // Room for every row at once (ids grow with rows, so the largest is a bound of their number):
  // the table is then never moved while it fills. A damaged file may claim anything.
  qint64 maxId = 0;
  if (queryInt(c, "SELECT max(id) FROM elements", &maxId) && maxId > 0) {
    d->nodes.reserve(size_t(std::min<qint64>(maxId, bytes / 16) + 1));
    adviseHugePages(d->nodes.data(), d->nodes.capacity() * sizeof(Node));
  }
  // The streams' contents go side by side into a few large blocks, which the streams then share:
  // no block of its own per stream to allocate and free.
  // A small file (a subject file) needs no more than its own size.
  const qsizetype arenaBytes = std::min<qsizetype>(kArenaBytes, std::max<qint64>(bytes, 4096));
  char* arenaNext = nullptr;
  char* arenaEnd = nullptr;
  skippedRows = 0;
  Statement st(c, "SELECT id, parent, name, kind, data FROM elements WHERE id >= 1 ORDER BY id");
  if (!st) return fail(errText(c, "reading the elements"));
  std::vector<std::pair<qint64, qint64>> storageIds;  // file id -> our id, ascending (rows come in id order)
  NameReader names;
  int rc;
  while ((rc = sqlite3_step(st.get())) == SQLITE_ROW) {
    const qint64 fileId = sqlite3_column_int64(st.get(), 0);
    const qint64 fileParent = sqlite3_column_int64(st.get(), 1);
    const int kind = sqlite3_column_int(st.get(), 3);
    ++skippedRows;  // until the row is taken
    if (kind != KindStorage && kind != KindStream) continue;
    qint64 parent = 0;
    if (fileId == RootId) {
      if (kind != KindStorage) continue;
    } else {
      if (fileParent >= fileId) continue;
      // Rows come in id order, so the parent is nearly always one of the last storages met.
      auto p = storageIds.end();
      for (int back = 0; back < 8 && p != storageIds.begin(); ++back)
        if ((--p)->first <= fileParent) break;
      if (p == storageIds.end() || p->first != fileParent)
        p = std::lower_bound(storageIds.begin(), storageIds.end(), std::make_pair(fileParent, qint64(0)));
      if (p == storageIds.end() || p->first != fileParent) continue;
      parent = p->second;
    }
    const QString& name = names.read(st.get(), 2);
    if (parent != 0 && d->child(parent, name) != 0) continue;  // a second row of one name: left out
    QByteArray data;
    if (kind == KindStream) {
      const void* p = sqlite3_column_blob(st.get(), 4);
      const int n = sqlite3_column_bytes(st.get(), 4);
      if (p && n > 0 && n <= arenaBytes / 8) {
        if (n > arenaEnd - arenaNext) {
          auto arena = newArena(arenaBytes);
          arenaNext = const_cast<char*>(arena.get());
          arenaEnd = arenaNext + arenaBytes;
          d->arenas.push_back(std::move(arena));
        }
        std::memcpy(arenaNext, p, size_t(n));
        data = QByteArray::fromRawData(arenaNext, n);
        arenaNext += n;
      } else {
        data = columnBlob(st.get(), 4);
      }
    }
    const qint64 id = d->addNodeAsIs(parent, name, kind, data);
    d->nodes[size_t(id)].row = fileId;
    if (kind == KindStorage) storageIds.push_back({fileId, id});
    --skippedRows;
  }
  if (rc != SQLITE_DONE)
    return fail(QStringLiteral("damaged file: %1").arg(errText(c, "reading the elements")));
  if (d->nodes.size() < 2 || d->nodes[RootId].kind != KindStorage)
    return fail(QStringLiteral("damaged file: no root storage"));
  return d;
}

QByteArray Database::owned(const QByteArray& data) {
  // Bytes that some other block holds (another tree's streams) may go with that block: copied.
  // Such bytes come without a block of their own, so no capacity.
  return data.isEmpty() || data.capacity() > 0 ? data : QByteArray(data.constData(), data.size());
}

qint64 Database::addNode(qint64 parent, const QString& name, int kind, const QByteArray& data) {
  return addNodeAsIs(parent, name, kind, owned(data));
}

qint64 Database::addNodeAsIs(qint64 parent, const QString& name, int kind, const QByteArray& data) {
  // Built apart first: the arguments may refer to texts inside the table, which can move.
  Node n;
  n.parent = parent;
  n.kind = kind;
  n.name = name;
  n.data = data;
  const auto id = qint64(nodes.size());
  nodes.push_back(std::move(n));
  if (parent != 0) {
    link(id);
    Node& p = nodes[size_t(parent)];
    if (p.indexed) {
      index.add(NameIndex::hash(parent, nodes[size_t(id)].name), id);
    } else if (size_t(p.kidCount) > kFewChildren) {
      // From now on this storage's children are found through the index.
      p.indexed = true;
      for (qint64 kid = p.firstKid; kid != 0; kid = nodes[size_t(kid)].nextSib)
        index.add(NameIndex::hash(parent, nodes[size_t(kid)].name), kid);
    }
  }
  ++liveCount;
  return id;
}

void Database::link(qint64 id) {
  Node& n = nodes[size_t(id)];
  Node& p = nodes[size_t(n.parent)];
  n.prevSib = p.lastKid;
  n.nextSib = 0;
  if (p.lastKid != 0)
    nodes[size_t(p.lastKid)].nextSib = id;
  else
    p.firstKid = id;
  p.lastKid = id;
  ++p.kidCount;
}

void Database::unlink(qint64 id) {
  Node& n = nodes[size_t(id)];
  Node& p = nodes[size_t(n.parent)];
  (n.prevSib != 0 ? nodes[size_t(n.prevSib)].nextSib : p.firstKid) = n.nextSib;
  (n.nextSib != 0 ? nodes[size_t(n.nextSib)].prevSib : p.lastKid) = n.prevSib;
  n.prevSib = n.nextSib = 0;
  --p.kidCount;
}

qint64 Database::child(qint64 parent, const QString& name) const {
  const Node& p = nodes[size_t(parent)];
  if (p.indexed) return index.find(nodes, parent, name, NameIndex::hash(parent, name));
  // A few children lie side by side in the table, and their names are mostly shared texts.
  for (qint64 kid = p.firstKid; kid != 0; kid = nodes[size_t(kid)].nextSib)
    if (sameKey(nodes[size_t(kid)].name, name)) return kid;
  return 0;
}

qint64 Database::insert(qint64 parent, const QString& name, int kind, const QByteArray* data, QString* why) {
  if (!begin(why)) return -1;
  if (!alive(parent) || nodes[size_t(parent)].kind != KindStorage) {
    if (why) *why = QStringLiteral("the storage no longer exists");
    return -1;
  }
  if (child(parent, name)) return 0;
  touched = true;
  const qint64 id = addNode(parent, name, kind, kind == KindStream && data ? *data : QByteArray());
  changedIds.push_back(id);
  return id;
}

qint64 Database::find(qint64 parent, const QString& name, int* kind, QByteArray* data, qint64 hint) {
  if (!alive(parent)) return 0;
  const bool hit = hint > 0 && alive(hint) && nodes[size_t(hint)].parent == parent &&
                   sameKey(nodes[size_t(hint)].name, name);
  const qint64 id = hit ? hint : child(parent, name);
  if (id == 0) return 0;
  const Node& n = nodes[size_t(id)];
  if (kind) *kind = n.kind;
  if (data) *data = n.data;
  return id;
}

bool Database::setData(qint64 id, const QByteArray& data, QString* why) {
  if (!begin(why)) return false;
  if (!alive(id) || nodes[size_t(id)].kind != KindStream) {
    if (why) *why = QStringLiteral("the stream no longer exists");
    return false;
  }
  Node& n = nodes[size_t(id)];
  n.data = owned(data);
  if (!n.changed) changedIds.push_back(id);
  n.changed = true;
  touched = true;
  return true;
}

bool Database::loadData(qint64 id, QByteArray* data, QString* why) {
  if (!alive(id) || nodes[size_t(id)].kind != KindStream) {
    if (why) *why = QStringLiteral("the stream no longer exists");
    return false;
  }
  *data = nodes[size_t(id)].data;
  return true;
}

bool Database::childNames(qint64 parent, std::vector<EnumEntry>* names, QString* why) const {
  if (!alive(parent)) {
    if (why) *why = QStringLiteral("the storage no longer exists");
    return false;
  }
  const Node& p = nodes[size_t(parent)];
  names->reserve(names->size() + size_t(p.kidCount));
  for (qint64 id = p.firstKid; id != 0; id = nodes[size_t(id)].nextSib)
    names->push_back(EnumEntry{nodes[size_t(id)].name, nodes[size_t(id)].kind, id});
  return true;
}

bool Database::children(qint64 parent, std::vector<ChildRow>* rows, bool withData, QString* why) {
  if (!alive(parent)) {
    if (why) *why = QStringLiteral("the storage no longer exists");
    return false;
  }
  const Node& p = nodes[size_t(parent)];
  rows->reserve(rows->size() + size_t(p.kidCount));
  for (qint64 id = p.firstKid; id != 0; id = nodes[size_t(id)].nextSib) {
    const Node& n = nodes[size_t(id)];
    rows->push_back(ChildRow{id, n.name, n.kind, withData ? n.data : QByteArray()});
  }
  return true;
}

bool Database::destroyTree(qint64 id, QString* why) {
  flushAll();
  if (!begin(why)) return false;
  if (id == RootId || !alive(id)) {
    if (why) *why = QStringLiteral("the element cannot be removed");
    return false;
  }
  unlink(id);
  touched = true;
  ++removals;
  // Without recursion: a tree read from a file may be nested arbitrarily deep. Each element goes
  // with whether its parent's children are in the index (the parent may be gone by then).
  std::vector<std::pair<qint64, bool>> pending{{id, nodes[size_t(nodes[size_t(id)].parent)].indexed}};
  while (!pending.empty()) {
    const auto [cur, inIndex] = pending.back();
    pending.pop_back();
    Node& n = nodes[size_t(cur)];
    if (inIndex) index.remove(NameIndex::hash(n.parent, n.name), cur);
    if (n.row > 0) droppedRows.push_back(n.row);
    for (qint64 kid = n.firstKid; kid != 0; kid = nodes[size_t(kid)].nextSib)
      pending.emplace_back(kid, n.indexed);
    n = Node{};  // kind None: objects still held for it go stale
    --liveCount;
  }
  return true;
}

bool Database::isSameOrAncestor(qint64 ancestor, qint64 id) const {
  while (alive(id)) {
    if (id == ancestor) return true;
    const qint64 parent = nodes[size_t(id)].parent;
    if (parent >= id) return false;
    id = parent;
  }
  return false;
}

bool Database::begin(QString* why) {
  if (inTransaction) return true;
  if (!writable) {
    if (why) *why = QStringLiteral("the storage is open for reading only");
    return false;
  }
  inTransaction = true;
  return true;
}

bool Database::commitTransaction(QString* why) {
  Q_UNUSED(why);
  flushAll();
  inTransaction = false;
  return true;
}

void Database::markDirty(KMX_OLEStream* s) {
  s->dirtyPos_ = dirty.size();
  dirty.push_back(s);
}

void Database::unmarkDirty(KMX_OLEStream* s) {
  if (s->dirtyPos_ >= dirty.size() || dirty[s->dirtyPos_] != s) return;
  KMX_OLEStream* last = dirty.back();
  dirty[s->dirtyPos_] = last;
  last->dirtyPos_ = s->dirtyPos_;
  dirty.pop_back();
  s->dirtyPos_ = size_t(-1);
}

void Database::flushAll() {
  while (!dirty.empty()) dirty.back()->flush();  // each flush takes its stream off the list
}

bool Database::backupInto(Database& dest, QString* why) {
  if (!commitTransaction(why) || !dest.commitTransaction(why)) return false;
  // Only into a root that never held an element: ids of elements destroyed there must stay unused.
  if (!dest.isFresh()) {
    if (why) *why = QStringLiteral("the destination is not a fresh root");
    return false;
  }
  dest.nodes = nodes;
  dest.arenas = arenas;  // the copied streams share them
  dest.index = index;
  dest.liveCount = liveCount;
  return true;
}

FileImage Database::serialize(QString* why, std::vector<qint64>* rows) {
  if (!commitTransaction(why)) return FileImage();
  auto owner = std::make_shared<Connection>();
  Connection& c = *owner;
  if (!c.open()) {
    if (why) *why = QStringLiteral("cannot open an in-memory database");
    return FileImage();
  }
  // Built in one growable block that is the file image itself, with a small page cache spilling
  // into it: the image is then never held twice. Our own rows into a fresh database need no
  // hardening, and no journal.
  // Sized from the tree with room to spare, so the block is not grown (and copied) along the way;
  // pages never written are never touched.
  qint64 estimate = 65536;
  for (const Node& n : nodes) estimate += n.data.size() + 2 * n.name.size() + 48;
  estimate += estimate / 4;
  auto* block = static_cast<unsigned char*>(sqlite3_malloc64(sqlite3_uint64(estimate)));
  if (!block ||
      sqlite3_deserialize(c.get(), "main", block, 0, estimate,
                          SQLITE_DESERIALIZE_FREEONCLOSE | SQLITE_DESERIALIZE_RESIZEABLE) != SQLITE_OK) {
    if (why) *why = c.errText("preparing the file image");
    return FileImage();
  }
  if (!c.exec("PRAGMA journal_mode = OFF; PRAGMA cache_size = -4096", why) || !c.createSchema(why) ||
      !c.exec("BEGIN", why))
    return FileImage();
  {
    // Many rows per statement: SQLite's cost per statement run is well above its cost per row.
    constexpr int kBatch = 64;
    auto insertSql = [](int rows) {
      QByteArray sql = "INSERT INTO elements(parent, name, name_key, kind, data) VALUES";
      for (int r = 0; r < rows; ++r) sql += r ? ",(?,?,?,?,?)" : "(?,?,?,?,?)";
      return sql;
    };
    Statement batch(c.get(), insertSql(kBatch).constData());
    Statement single(c.get(), insertSql(1).constData());
    if (!batch || !single) {
      if (why) *why = c.errText("preparing the file image");
      return FileImage();
    }
    // In id order, numbered 1, 2, ... as SQLite hands out row ids itself, so the table only
    // grows at its end and parents still come before their children.
    std::vector<size_t> ids;
    std::vector<qint64> fileIds(nodes.size(), 0);
    ids.reserve(size_t(liveCount));
    for (size_t id = RootId; id < nodes.size(); ++id) {
      if (nodes[id].kind == KindNone) continue;
      ids.push_back(id);
      fileIds[id] = qint64(ids.size());
    }
    if (rows) *rows = fileIds;
    // Texts bound without copying must stay put until their statement has run.
    std::vector<QString> keys(kBatch);
    std::vector<std::string> bufs(2 * kBatch);
    auto bindRow = [&](sqlite3_stmt* s, int row, size_t id) {
      const Node& n = nodes[id];
      QString& key = keys[size_t(row)];
      key.resize(n.name.size());
      QChar* k = key.data();
      for (const QChar ch : n.name) *k++ = QChar(upperUnit(ch.unicode()));
      const int col = row * 5;
      sqlite3_bind_int64(s, col + 1, n.parent == 0 ? 0 : fileIds[size_t(n.parent)]);
      bindNameFast(s, col + 2, n.name, bufs[size_t(2 * row)]);
      bindNameFast(s, col + 3, key, bufs[size_t(2 * row + 1)]);
      sqlite3_bind_int(s, col + 4, n.kind);
      if (n.kind != KindStream)
        sqlite3_bind_null(s, col + 5);
      else if (n.data.isEmpty())
        sqlite3_bind_zeroblob(s, col + 5, 0);
      else
        sqlite3_bind_blob64(s, col + 5, n.data.constData(), sqlite3_uint64(n.data.size()), SQLITE_STATIC);
    };
    auto run = [&](sqlite3_stmt* s) {
      const int rc = sqlite3_step(s);
      sqlite3_reset(s);
      if (rc == SQLITE_DONE) return true;
      if (why) *why = c.errText("preparing the file image");
      return false;
    };
    size_t i = 0;
    for (; i + kBatch <= ids.size(); i += kBatch) {
      for (int r = 0; r < kBatch; ++r) bindRow(batch.get(), r, ids[i + size_t(r)]);
      if (!run(batch.get())) return FileImage();
    }
    for (; i < ids.size(); ++i) {
      bindRow(single.get(), 0, ids[i]);
      if (!run(single.get())) return FileImage();
    }
  }
  if (!c.exec("COMMIT", why)) return FileImage();
  return imageOf(std::move(owner), c.get(), why);
}

bool Database::applyChanges(sqlite3* c, std::vector<std::pair<qint64, qint64>>* inserted, QString* why) {
  Statement del(c, "DELETE FROM elements WHERE id = ?");
  Statement ins(c, "INSERT INTO elements(parent, name, name_key, kind, data) VALUES (?,?,?,?,?)");
  Statement upd(c, "UPDATE elements SET data = ? WHERE id = ?");
  if (!del || !ins || !upd) {
    if (why) *why = errText(c, "preparing the file image");
    return false;
  }
  auto run = [&](sqlite3_stmt* st) {
    const int rc = sqlite3_step(st);
    sqlite3_reset(st);
    if (rc == SQLITE_DONE) return true;
    if (why) *why = errText(c, "patching the file image");
    return false;
  };
  auto bindData = [](sqlite3_stmt* st, int col, const Node& n) {
    if (n.kind != KindStream)
      sqlite3_bind_null(st, col);
    else if (n.data.isEmpty())
      sqlite3_bind_zeroblob(st, col, 0);
    else
      sqlite3_bind_blob64(st, col, n.data.constData(), sqlite3_uint64(n.data.size()), SQLITE_STATIC);
  };
  for (const qint64 row : droppedRows) {
    sqlite3_bind_int64(del.get(), 1, row);
    if (!run(del.get())) return false;
  }
  // Only what was added or changed, in id order, so that a new storage gets its row before its
  // children refer to it. The tree's own rows change only once the caller's transaction is in.
  std::sort(changedIds.begin(), changedIds.end());
  changedIds.erase(std::unique(changedIds.begin(), changedIds.end()), changedIds.end());
  inserted->clear();
  auto rowOf = [&](qint64 id) -> qint64 {
    if (nodes[size_t(id)].row > 0) return nodes[size_t(id)].row;
    const auto it = std::lower_bound(inserted->begin(), inserted->end(), std::make_pair(id, qint64(0)));
    return it != inserted->end() && it->first == id ? it->second : 0;
  };
  std::string nameBuf, keyBuf;
  for (const qint64 id : changedIds) {
    const Node& n = nodes[size_t(id)];
    if (n.kind == KindNone) continue;  // destroyed since
    if (n.row > 0) {
      if (!n.changed) continue;
      bindData(upd.get(), 1, n);
      sqlite3_bind_int64(upd.get(), 2, n.row);
      if (!run(upd.get())) return false;
      continue;
    }
    const QString key = nameKey(n.name);
    sqlite3_bind_int64(ins.get(), 1, n.parent == 0 ? 0 : rowOf(n.parent));
    bindNameFast(ins.get(), 2, n.name, nameBuf);
    bindNameFast(ins.get(), 3, key, keyBuf);
    sqlite3_bind_int(ins.get(), 4, n.kind);
    bindData(ins.get(), 5, n);
    if (!run(ins.get())) return false;
    inserted->emplace_back(id, sqlite3_last_insert_rowid(c));
  }
  return true;
}

FileImage Database::patchBase(QString* why) {
  if (!commitTransaction(why)) return FileImage();
  auto owner = std::make_shared<Connection>();
  Connection& c = *owner;
  // A writable copy of the image with room for what is added; it grows if that is not enough.
  qint64 added = 0;
  for (const Node& n : nodes)
    if (n.kind != KindNone && (n.row == 0 || n.changed)) added += n.data.size() + 2 * n.name.size() + 48;
  const qint64 capacity = base.size + added + added / 2 + 65536;
  auto* block = static_cast<unsigned char*>(sqlite3_malloc64(sqlite3_uint64(capacity)));
  if (!c.open() || !block) {
    sqlite3_free(block);
    if (why) *why = QStringLiteral("out of memory preparing the file image");
    return FileImage();
  }
  std::memcpy(block, base.bytes, size_t(base.size));
  if (sqlite3_deserialize(c.get(), "main", block, base.size, capacity,
                          SQLITE_DESERIALIZE_FREEONCLOSE | SQLITE_DESERIALIZE_RESIZEABLE) != SQLITE_OK ||
      !c.exec("PRAGMA journal_mode = OFF; BEGIN", why)) {
    if (why && why->isEmpty()) *why = c.errText("preparing the file image");
    return FileImage();
  }
  std::vector<std::pair<qint64, qint64>> inserted;
  if (!applyChanges(c.get(), &inserted, why)) return FileImage();
  if (!c.exec("COMMIT", why)) return FileImage();
  std::vector<qint64> rows(nodes.size(), 0);
  for (size_t id = RootId; id < nodes.size(); ++id) rows[id] = nodes[id].row;
  for (const auto& [id, row] : inserted) rows[size_t(id)] = row;
  FileImage image = imageOf(std::move(owner), c.get(), why);
  if (image.bytes) patchedRows_ = std::move(rows);
  return image;
}

void Database::adoptAsBase(const FileImage& image, const QString& path, const std::vector<qint64>* rows) {
  base = image;
  baseIsFile = !image.bytes;
  basePath = path;
  baseStamp = folders::fileStamp(path);
  droppedRows.clear();
  changedIds.clear();
  touched = false;
  for (size_t id = RootId; id < nodes.size(); ++id) {
    Node& n = nodes[id];
    n.changed = false;
    n.row = rows && id < rows->size() ? (*rows)[id] : 0;
  }
}

void Database::adoptChanges(const QString& path, const std::vector<std::pair<qint64, qint64>>& inserted) {
  base = FileImage();
  baseIsFile = true;
  basePath = path;
  baseStamp = folders::fileStamp(path);
  for (const qint64 id : changedIds) nodes[size_t(id)].changed = false;
  for (const auto& [id, row] : inserted) nodes[size_t(id)].row = row;
  droppedRows.clear();
  changedIds.clear();
  touched = false;
}

namespace {
std::function<void(sqlite3*)>& beforeFileCommitHook() {
  static std::function<void(sqlite3*)> hook;
  return hook;
}

}  // namespace

QStringView fileIdentity(const QString& stamp) {
  const qsizetype second = stamp.indexOf(QLatin1Char(':'), stamp.indexOf(QLatin1Char(':')) + 1);
  return second < 0 ? QStringView() : QStringView(stamp).left(second);
}

std::function<void(const QString&)>& afterReadLockHook() {
  static std::function<void(const QString&)> hook;
  return hook;
}

void Database::setAfterReadLockHook(std::function<void(const QString&)> hook) {
  afterReadLockHook() = std::move(hook);
}

void Database::setBeforeFileCommitHook(std::function<void(sqlite3*)> hook) {
  beforeFileCommitHook() = std::move(hook);
}

bool Database::patchFile(const QString& path, QString* why) {
  if (!commitTransaction(why)) return false;
  Connection c;
  if (!c.openFile(path)) {
    if (why) *why = c.errText("opening the file");
    return false;
  }
  // A real rollback journal, synced: a crash at any point leaves the old or the new file, and
  // the next reader of the file puts the old one back from the journal. Another writer waits.
  // The journal is kept (its header cleared at each commit): creating and deleting it every time
  // costs the file system's own journal a commit each, several times the write itself.
  sqlite3_busy_timeout(c.get(), kFileBusyMs);
  if (!c.exec("PRAGMA journal_mode = PERSIST; PRAGMA synchronous = FULL; BEGIN IMMEDIATE", why)) return false;
  // Checked again under the write lock: another writer may have got there first.
  if (folders::fileStamp(path) != baseStamp) {
    c.exec("ROLLBACK", nullptr);
    if (why) *why = QStringLiteral("the file was changed by another writer");
    return false;
  }
  std::vector<std::pair<qint64, qint64>> inserted;
  if (!applyChanges(c.get(), &inserted, why)) {
    c.exec("ROLLBACK", nullptr);
    return false;
  }
  if (beforeFileCommitHook()) beforeFileCommitHook()(c.get());
  if (!c.exec("COMMIT", why)) {
    c.exec("ROLLBACK", nullptr);
    return false;
  }
  const QString old = baseStamp;
  adoptChanges(path, inserted);
  if (fileIdentity(baseStamp) != fileIdentity(old)) {
    // Replaced meanwhile by a whole write: what we wrote went into a file nobody reads now.
    baseIsFile = false;
    if (why) *why = QStringLiteral("the file was replaced by another writer");
    return false;
  }
  return true;
}

bool Database::canPatch(const QString& path) const {
  return (base.bytes || baseIsFile) && !basePath.isEmpty() &&
         basePath == QFileInfo(path).absoluteFilePath() && !baseStamp.isEmpty() &&
         baseStamp == folders::fileStamp(basePath);
}

bool Database::isSavedIn(const QString& path) const { return !touched && dirty.empty() && canPatch(path); }

bool Database::writeFile(const QString& path, QString* why, bool inPlace) {
  const QString target = QFileInfo(path).absoluteFilePath();
  const bool patch = canPatch(target);
  if (patch && inPlace) {
    QString whyNot;
    if (patchFile(target, &whyNot)) return true;
    // The file is as it was, or not ours any more: it is written whole below.
    ProcLog log("KMOLEStg", "WriteToFile", QStringLiteral("File = %1").arg(target));
    log.step(QStringLiteral("Changes not written in place (%1): the file is written whole").arg(whyNot));
    baseIsFile = false;
    base = FileImage();
  }
  // A journal left beside the file belongs to the file being replaced: what it holds is put back
  // (a writer killed halfway) and it goes, under the file's write lock, so that no reader ever
  // applies it to the new file.
  Connection journalOwner;
  const QString journal = target + QStringLiteral("-journal");
  if (inPlace && QFileInfo::exists(journal) && journalOwner.openFile(target)) {
    sqlite3_busy_timeout(journalOwner.get(), kFileBusyMs);
    if (journalOwner.exec("BEGIN IMMEDIATE; SELECT count(*) FROM sqlite_schema", nullptr))
      QFile::remove(journal);
  }
  std::vector<qint64> rows;
  const bool copy = patch && base.bytes;
  const FileImage image = copy ? patchBase(why) : serialize(why, &rows);
  if (!image.bytes) return false;
  // A private temporary file beside the target, renamed over it only when every byte is on
  // disk; on failure the old file stays as it was.
  const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(image.bytes), image.size);
  if (!folders::writePrivateFile(target, bytes, why)) return false;
  if (copy) rows = std::move(patchedRows_);
  adoptAsBase(image, target, &rows);
  return true;
}

}  // namespace tarn::stgdetail
