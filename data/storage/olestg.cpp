#include "data/storage/olestg.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstring>

#include "core/eventlog.h"
#include "core/folders.h"
#include "data/storage/storagetree.h"

namespace tarn {

using namespace stgdetail;

namespace {

constexpr const char* kModule = "KMOLEStg";

// Bits of the open-mode words.
constexpr int kAccessMask = 0x3;
constexpr int kShareMask = 0x70;
constexpr int kCreate = 0x1000;
constexpr int kPriority = 0x40000;

// Value tags: the type in the low bits, the caller's two flags in the top bits.
constexpr quint8 kTypeMask = 0x0F;
constexpr quint8 kFlagA = 0x40;
constexpr quint8 kFlagB = 0x80;

// Deeper nesting than this is refused when copying, so a hostile file cannot exhaust the stack.
constexpr int kMaxDepth = 256;

void logError(const char* proc, const QString& text) {
  ProcLog log(kModule, proc);
  log.error(text);
}

bool validOpenMode(int mode) {
  return (mode & ~(kAccessMask | kShareMask)) == 0 && (mode & kAccessMask) != 3;
}

bool validCreateMode(int mode) {
  const int access = mode & kAccessMask;
  return (mode & ~(kAccessMask | kShareMask | kCreate)) == 0 && (access == 1 || access == 2);
}

template <typename T>
void put(QByteArray& out, T v) {
  v = qToLittleEndian(v);
  out.append(reinterpret_cast<const char*>(&v), sizeof v);
}

template <typename T>
T get(const char* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return qFromLittleEndian(v);
}

void encode(QByteArray& out, const StgValue& v, qint32 l, qint16 i, float f, double d, const QString& s,
            bool flagA, bool flagB) {
  out.append(char(quint8(v.type()) | (flagA ? kFlagA : 0) | (flagB ? kFlagB : 0)));
  switch (v.type()) {
    case StgType::String:
      put<quint32>(out, quint32(s.size()));
      if constexpr (Q_BYTE_ORDER == Q_LITTLE_ENDIAN) {
        out.append(reinterpret_cast<const char*>(s.utf16()), s.size() * 2);
      } else {
        for (QChar c : s) put<quint16>(out, c.unicode());
      }
      break;
    case StgType::Long:
      put<qint32>(out, l);
      break;
    case StgType::Integer:
    case StgType::Boolean:
      put<qint16>(out, i);
      break;
    case StgType::Single: {
      quint32 bits;
      std::memcpy(&bits, &f, 4);
      put<quint32>(out, bits);
      break;
    }
    case StgType::Double:
    case StgType::Date: {
      quint64 bits;
      std::memcpy(&bits, &d, 8);
      put<quint64>(out, bits);
      break;
    }
    default:
      break;
  }
}

// A text of units UTF-16 units stored little-endian at q. Records repeat their short texts (plate
// and test names, visit ids, version marks), so those are shared through a small table per thread
// instead of allocated each time they are read.
QString storedText(const char* q, quint32 units) {
  if constexpr (Q_BYTE_ORDER != Q_LITTLE_ENDIAN) {
    QString s(qsizetype(units), Qt::Uninitialized);
    QChar* d = s.data();
    for (quint32 k = 0; k < units; ++k) d[k] = QChar(get<quint16>(q + 2 * k));
    return s;
  }
  constexpr quint32 kShortUnits = 40;
  constexpr quint32 kSlots = 127;
  const size_t bytes = size_t(units) * 2;
  if (units == 0 || units > kShortUnits) return QString(reinterpret_cast<const QChar*>(q), qsizetype(units));
  // The length with the first and last eight bytes tell texts apart well enough for a table
  // that only spares allocations: a text met is always compared whole.
  quint64 head = 0, tail = 0;
  std::memcpy(&head, q, std::min<size_t>(bytes, 8));
  std::memcpy(&tail, q + bytes - std::min<size_t>(bytes, 8), std::min<size_t>(bytes, 8));
  quint64 h64 = (head * 0x9e3779b97f4a7c15ULL) ^ (tail + bytes) * 0xff51afd7ed558ccdULL;
  const auto h = quint32(h64 ^ (h64 >> 29));
  thread_local QString recent[kSlots];
  QString& slot = recent[h % kSlots];
  if (slot.size() != qsizetype(units) || std::memcmp(slot.constData(), q, bytes) != 0)
    slot = QString(reinterpret_cast<const QChar*>(q), qsizetype(units));
  return slot;
}

bool copyTree(Database& src, qint64 srcId, Database& dst, qint64 dstId, int depth, QString* why);

using LockedFile = std::unique_ptr<sqlite3, decltype(&sqlite3_close_v2)>;

// A connection to the database file at path holding its shared lock (a read transaction); the
// first one after a writer died puts the old file back from the journal. Null (and why) when the
// file cannot be read.
LockedFile lockForReading(const QString& path, QString* why) {
  sqlite3* c = nullptr;
  const int rc =
      sqlite3_open_v2(path.toUtf8().constData(), &c, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
  LockedFile locked(c, &sqlite3_close_v2);
  if (rc == SQLITE_OK) sqlite3_busy_timeout(c, Database::kFileBusyMs);
  if (rc != SQLITE_OK ||
      sqlite3_exec(c, "BEGIN; SELECT count(*) FROM sqlite_schema", nullptr, nullptr, nullptr) != SQLITE_OK) {
    *why = QStringLiteral("cannot read \"%1\": %2").arg(path, QString::fromUtf8(sqlite3_errmsg(c)));
    locked.reset();
  }
  return locked;
}

// A station's own file (the list file), read through a connection to it that holds the database's
// shared lock, page by page rather than copied whole into memory first: a writer in place is then
// never halfway, and the first reader after a crash puts the old file back from its journal. Null,
// with *retry set, when another writer renamed a new file over path meanwhile.
std::shared_ptr<Database> readOwnFile(const QString& path, const QString& label, bool writable, QString* why,
                                      bool* retry) {
  *retry = false;
  // The file as the name leads to it now, held open until the connection is closed (closing it
  // earlier would drop the connection's lock: locks belong to the process): its stamp is that of
  // the file the connection reads, as long as the name still leads to it once the lock is held.
  struct Held {
    int fd = -1;
    ~Held() {
      if (fd >= 0) ::close(fd);
    }
  } held;
  held.fd = ::open(folders::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
  const LockedFile locked = lockForReading(path, why);
  sqlite3* c = locked.get();
  if (!c) return nullptr;
  if (held.fd < 0) {
    *why = QStringLiteral("cannot open \"%1\"").arg(path);
    return nullptr;
  }
  if (afterReadLockHook()) afterReadLockHook()(path);
  // Taken under the lock, before reading: what is read is what the stamp says.
  const QString stamp = folders::fileStamp(held.fd);
  if (stamp.isEmpty() || fileIdentity(stamp) != fileIdentity(folders::fileStamp(path))) {
    *why = QStringLiteral("\"%1\" was replaced while it was opened").arg(path);
    *retry = true;
    return nullptr;
  }
  auto db = Database::openFile(c, QFileInfo(path).size(), label, writable, why);
  sqlite3_exec(c, "COMMIT", nullptr, nullptr, nullptr);
  if (!db) {
    *why = QStringLiteral("\"%1\": %2").arg(path, *why);
    return nullptr;
  }
  db->basePath = QFileInfo(path).absoluteFilePath();
  db->baseStamp = stamp;
  return db;
}

// The tree of the storage file at path, remembering which file it is the image of.
std::shared_ptr<Database> readImage(const QString& path, const QString& label, bool writable, QString* why,
                                    Database::Check check = Database::Check::Whole) {
  if (check == Database::Check::Own) {
    bool retry = true;
    std::shared_ptr<Database> db;
    for (int attempt = 0; attempt < 3 && retry; ++attempt)
      db = readOwnFile(path, label, writable, why, &retry);
    return db;
  }
  // A file whose writer died mid-transaction is read under the database's own shared lock: the
  // first reader after a crash puts the old file back from its journal.
  LockedFile locked(nullptr, &sqlite3_close_v2);
  if (QFileInfo::exists(path + QStringLiteral("-journal"))) {
    locked = lockForReading(path, why);
    if (!locked) return nullptr;
  }
  // Taken before reading: a file changed while it is read is then not taken for this image.
  const QString stamp = folders::fileStamp(path);
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) {
    *why = QStringLiteral("cannot open \"%1\": %2").arg(path, f.errorString());
    return nullptr;
  }
  const QByteArray image = f.readAll();
  // The lock goes first: closing a file drops every lock the process holds on it.
  locked.reset();
  f.close();
  auto db = Database::openImage(image, label, writable, why, check);
  if (!db) {
    *why = QStringLiteral("\"%1\": %2").arg(path, *why);
    return nullptr;
  }
  db->basePath = QFileInfo(path).absoluteFilePath();
  db->baseStamp = stamp;
  return db;
}

// Puts one element under parent in dst, replacing a same-named one, and copies what it holds.
qint64 placeCopy(Database& src, const ChildRow& row, const QString& name, Database& dst, qint64 parent,
                 int depth, QString* why) {
  qint64 id = dst.insert(parent, name, row.kind, &row.data, why);
  if (id == 0) {
    const qint64 old = dst.find(parent, name, nullptr, nullptr);
    if (old <= 0 || !dst.destroyTree(old, why)) return -1;
    id = dst.insert(parent, name, row.kind, &row.data, why);
    if (id == 0 && why) *why = QStringLiteral("the name \"%1\" is taken").arg(name);
  }
  if (id <= 0) return -1;
  if (row.kind == KindStorage && !copyTree(src, row.id, dst, id, depth + 1, why)) return -1;
  return id;
}

bool copyTree(Database& src, qint64 srcId, Database& dst, qint64 dstId, int depth, QString* why) {
  if (depth > kMaxDepth) {
    if (why) *why = QStringLiteral("storages nested too deeply");
    return false;
  }
  std::vector<ChildRow> rows;
  if (!src.children(srcId, &rows, true, why)) return false;
  for (const ChildRow& row : rows)
    if (placeCopy(src, row, row.name, dst, dstId, depth, why) < 0) return false;
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Storage

KMX_OLEStorage::KMX_OLEStorage(std::shared_ptr<Database> db, qint64 id, const QString& name, bool writable)
    : db_(std::move(db)), id_(id), name_(name), writable_(writable) {}

KMX_OLEStorage::~KMX_OLEStorage() = default;

bool KMX_OLEStorage::isRoot() const { return id_ == RootId; }
bool KMX_OLEStorage::isReverted() const { return !db_->alive(id_); }

QString KMX_OLEStorage::summaryInfoStreamName() { return QChar(5) + QStringLiteral("SummaryInformation"); }

namespace {
// Shared checks of the element calls; logs and answers false when the call cannot go on.
bool usable(const char* proc, const KMX_OLEStorage& s, bool needWrite, const QString& name) {
  if (s.isReverted()) {
    logError(proc, QStringLiteral("storage \"%1\" was destroyed").arg(s.name()));
    return false;
  }
  if (needWrite && !s.isWritable()) {
    logError(proc,
             QStringLiteral("storage \"%1\" is open for reading only (element \"%2\")").arg(s.name(), name));
    return false;
  }
  const QString bad = checkName(name);
  if (!bad.isEmpty()) {
    logError(proc, bad);
    return false;
  }
  return true;
}

// The id of a new element, replacing a same-named one when mode allows; -1 on failure (logged).
qint64 createElement(const char* proc, Database& db, qint64 parent, const QString& name, int kind, int mode) {
  QString why;
  qint64 id = db.insert(parent, name, kind, nullptr, &why);
  if (id == 0) {
    if (!(mode & kCreate)) {
      logError(proc, QStringLiteral("element \"%1\" exists already").arg(name));
      return -1;
    }
    const qint64 old = db.find(parent, name, nullptr, nullptr);
    if (old > 0 && db.destroyTree(old, &why)) id = db.insert(parent, name, kind, nullptr, &why);
    if (id == 0) why = QStringLiteral("the name is still taken");
  }
  if (id <= 0) {
    logError(proc, QStringLiteral("cannot create \"%1\": %2").arg(name, why));
    return -1;
  }
  return id;
}
}  // namespace

std::shared_ptr<KMX_OLEStorage> KMX_OLEStorage::CreateStorage(const QString& name, int mode) {
  if (!usable("CreateStorage", *this, true, name)) return nullptr;
  if (!validCreateMode(mode)) {
    logError("CreateStorage", QStringLiteral("mode %1 cannot create \"%2\"").arg(mode).arg(name));
    return nullptr;
  }
  const qint64 id = createElement("CreateStorage", *db_, id_, name, KindStorage, mode);
  return id > 0 ? std::make_shared<KMX_OLEStorage>(db_, id, name, true) : nullptr;
}

std::shared_ptr<KMX_OLEStream> KMX_OLEStorage::CreateStream(const QString& name, int mode) {
  if (!usable("CreateStream", *this, true, name)) return nullptr;
  if (!validCreateMode(mode)) {
    logError("CreateStream", QStringLiteral("mode %1 cannot create \"%2\"").arg(mode).arg(name));
    return nullptr;
  }
  const qint64 id = createElement("CreateStream", *db_, id_, name, KindStream, mode);
  return id > 0 ? std::make_shared<KMX_OLEStream>(db_, id, name, true, QByteArray(), true) : nullptr;
}

std::shared_ptr<KMX_OLEStorage> KMX_OLEStorage::OpenStorage(const QString& name, int mode) {
  const bool write = (mode & kAccessMask) != 0;
  if (!usable("OpenStorage", *this, write, name)) return nullptr;
  if (!validOpenMode(mode)) {
    logError("OpenStorage", QStringLiteral("mode %1 cannot open \"%2\"").arg(mode).arg(name));
    return nullptr;
  }
  int kind = 0;
  const qint64 id = db_->find(id_, name, &kind, nullptr, enumeratedId(name));
  if (id <= 0) return nullptr;  // absent: the caller decides whether to create it
  if (kind != KindStorage) {
    logError("OpenStorage", QStringLiteral("\"%1\" is a stream, not a storage").arg(name));
    return nullptr;
  }
  return std::make_shared<KMX_OLEStorage>(db_, id, name, write);
}

std::shared_ptr<KMX_OLEStream> KMX_OLEStorage::OpenStream(const QString& name, int mode) {
  const bool write = (mode & kAccessMask) != 0;
  if (!usable("OpenStream", *this, write, name)) return nullptr;
  if (!validOpenMode(mode)) {
    logError("OpenStream", QStringLiteral("mode %1 cannot open \"%2\"").arg(mode).arg(name));
    return nullptr;
  }
  int kind = 0;
  QByteArray data;
  // A stream opened for writing is usually rewritten whole, so its contents are read only on demand.
  const qint64 id = db_->find(id_, name, &kind, write ? nullptr : &data, enumeratedId(name));
  if (id <= 0) return nullptr;
  if (kind != KindStream) {
    logError("OpenStream", QStringLiteral("\"%1\" is a storage, not a stream").arg(name));
    return nullptr;
  }
  return std::make_shared<KMX_OLEStream>(db_, id, name, write, std::move(data), !write);
}

bool KMX_OLEStorage::CopyTo(KMX_OLEStorage& dest) {
  ProcLog log(kModule, "CopyTo", QStringLiteral("From = %1, To = %2").arg(db_->label, dest.db_->label));
  if (isReverted() || dest.isReverted() || !dest.isWritable()) {
    log.error(QStringLiteral("the source or destination storage is not usable"));
    return false;
  }
  QString why;
  if (db_ == dest.db_ && db_->isSameOrAncestor(id_, dest.id_)) {
    log.error(QStringLiteral("a storage cannot be copied into itself"));
    return false;
  }
  db_->flushAll();
  // A whole root into an empty root is a page-by-page database copy, far quicker than rows.
  if (isRoot() && dest.isRoot() && db_ != dest.db_ && dest.db_->isFresh()) {
    if (db_->backupInto(*dest.db_, &why)) {
      log.completed();
      return true;
    }
    log.step(QStringLiteral("Database copy not possible (%1), copying element by element").arg(why));
  }
  if (!dest.db_->begin(&why) || !copyTree(*db_, id_, *dest.db_, dest.id_, 0, &why)) {
    log.error(why);
    return false;
  }
  log.completed();
  return true;
}

bool KMX_OLEStorage::MoveElementTo(const QString& name, KMX_OLEStorage& dest, const QString& newName,
                                   int flags) {
  const char* proc = "MoveElementTo";
  const bool move = flags == stgmove::Move;
  if (flags != stgmove::Move && flags != stgmove::Copy) {
    logError(proc, QStringLiteral("unknown flags %1").arg(flags));
    return false;
  }
  if (!usable(proc, *this, move, name)) return false;
  const QString target = newName.isEmpty() ? name : newName;
  if (!usable(proc, dest, true, target)) return false;

  QString why;
  int kind = 0;
  QByteArray data;
  db_->flushAll();
  const qint64 id = db_->find(id_, name, &kind, &data, enumeratedId(name));
  if (id <= 0) {
    logError(proc, QStringLiteral("element \"%1\" not found").arg(name));
    return false;
  }
  if (db_ == dest.db_) {
    if (dest.id_ == id_ && sameKey(target, name)) return true;  // onto itself
    if (kind == KindStorage && db_->isSameOrAncestor(id, dest.id_)) {
      logError(proc, QStringLiteral("\"%1\" cannot be copied into itself").arg(name));
      return false;
    }
  }
  const ChildRow row{id, name, kind, data};
  if (!dest.db_->begin(&why) || placeCopy(*db_, row, target, *dest.db_, dest.id_, 0, &why) < 0 ||
      (move && !db_->destroyTree(id, &why))) {
    logError(proc, QStringLiteral("\"%1\": %2").arg(name, why));
    return false;
  }
  return true;
}

bool KMX_OLEStorage::DestroyElement(const QString& name) {
  if (!usable("DestroyElement", *this, true, name)) return false;
  QString why;
  const qint64 id = db_->find(id_, name, nullptr, nullptr, enumeratedId(name));
  if (id <= 0 || !db_->destroyTree(id, &why)) {
    logError("DestroyElement", id == 0 ? QStringLiteral("element \"%1\" not found").arg(name)
                                       : QStringLiteral("\"%1\": %2").arg(name, why));
    return false;
  }
  return true;
}

bool KMX_OLEStorage::Commit(int flags) {
  if (flags & ~0xF) {
    logError("Commit", QStringLiteral("unknown flags %1").arg(flags));
    return false;
  }
  if (isReverted()) {
    logError("Commit", QStringLiteral("storage \"%1\" was destroyed").arg(name_));
    return false;
  }
  db_->flushAll();
  if (!isRoot() || !db_->writable) return true;
  QString why;
  if (db_->filePath.isEmpty()) {
    if (db_->commitTransaction(&why)) return true;
    logError("Commit", QStringLiteral("%1: %2").arg(db_->label, why));
    return false;
  }
  ProcLog log(kModule, "Commit", QStringLiteral("File = %1").arg(db_->filePath));
  if (!db_->writeFile(db_->filePath, &why)) {
    log.error(why);
    return false;
  }
  log.completed();
  return true;
}

bool KMX_OLEStorage::WriteToFile(const QString& path) {
  ProcLog log(kModule, "WriteToFile", QStringLiteral("File = %1").arg(path));
  if (!isRoot() || isReverted() || path.trimmed().isEmpty()) {
    log.error(QStringLiteral("only a root can be written to a file"));
    return false;
  }
  QString why;
  if (!db_->writeFile(path, &why, true)) {
    log.error(why);
    return false;
  }
  log.completed();
  return true;
}

bool KMX_OLEStorage::IsSavedIn(const QString& path) const {
  return isRoot() && !isReverted() && db_->isSavedIn(path);
}

StgElementType KMX_OLEStorage::EnumElements(int next, QString& name) {
  name.clear();
  if (next == 0 || !enumStarted_) {
    enumStarted_ = true;
    enumSnapshot_.clear();
    enumPos_ = 0;
    QString why;
    if (isReverted()) {
      logError("EnumElements", QStringLiteral("storage \"%1\" was destroyed").arg(name_));
    } else if (!db_->childNames(id_, &enumSnapshot_, &why)) {
      logError("EnumElements", why);
    }
  }
  if (enumPos_ >= enumSnapshot_.size()) return StgElementType::End;
  const auto& e = enumSnapshot_[enumPos_++];
  name = e.name;
  return e.kind == KindStorage ? StgElementType::Storage : StgElementType::Stream;
}

qint64 KMX_OLEStorage::enumeratedId(const QString& name) const {
  if (enumPos_ == 0 || enumPos_ > enumSnapshot_.size()) return 0;
  const stgdetail::EnumEntry& e = enumSnapshot_[enumPos_ - 1];
  return sameKey(e.name, name) ? e.id : 0;
}

bool KMX_OLEStorage::OpenSummaryInfo() {
  summary_.clear();
  if (isReverted()) {
    logError("OpenSummaryInfo", QStringLiteral("storage \"%1\" was destroyed").arg(name_));
    return false;
  }
  auto s = OpenStream(summaryInfoStreamName(), stgmode::Read);
  if (!s) return true;  // none yet: an empty set
  QList<QPair<QString, QString>> props;
  while (!s->atEnd()) {
    const StgValue k = s->ReadNext(StgType::String);
    const StgValue v = s->ReadNext(StgType::String);
    if (k.isError() || v.isError()) {
      logError("OpenSummaryInfo", QStringLiteral("damaged summary information in \"%1\"").arg(name_));
      return false;
    }
    props.append({k.toString(), v.toString()});
  }
  summary_ = props;
  return true;
}

QString KMX_OLEStorage::GetSummaryProperty(const QString& name) const {
  for (const auto& p : summary_)
    if (p.first.compare(name, Qt::CaseInsensitive) == 0) return p.second;
  return QString();
}

bool KMX_OLEStorage::SetSummaryProperty(const QString& name, const QString& value) {
  if (name.trimmed().isEmpty()) {
    logError("SetSummaryProperty", QStringLiteral("a property needs a name"));
    return false;
  }
  for (auto& p : summary_) {
    if (p.first.compare(name, Qt::CaseInsensitive) == 0) {
      p.second = value;
      return true;
    }
  }
  summary_.append({name, value});
  return true;
}

bool KMX_OLEStorage::WriteSummaryInfo() {
  auto s = CreateStream(summaryInfoStreamName(), stgmode::CreateReplace);
  if (!s) return false;
  for (const auto& p : summary_) {
    if (!s->Write(StgValue::fromString(p.first)) || !s->Write(StgValue::fromString(p.second))) return false;
  }
  return s->Commit();
}

// ---------------------------------------------------------------------------------------------
// Stream

KMX_OLEStream::KMX_OLEStream(std::shared_ptr<Database> db, qint64 id, const QString& name, bool writable,
                             QByteArray content, bool loaded)
    : db_(std::move(db)),
      id_(id),
      name_(name),
      writable_(writable),
      content_(std::move(content)),
      loaded_(loaded),
      seenRemovals_(db_->removals) {}

KMX_OLEStream::~KMX_OLEStream() {
  flush();
  db_->unmarkDirty(this);
}

bool KMX_OLEStream::reverted() const { return !alive(); }

bool KMX_OLEStream::flush() {
  if (!dirty_) return true;
  dirty_ = false;
  db_->unmarkDirty(this);
  QString why;
  if (reverted()) why = QStringLiteral("the stream was destroyed");
  // The tree keeps these bytes while the root is open: without the slack left by appending.
  if (content_.capacity() > content_.size() + content_.size() / 4 + 16) content_.squeeze();
  if (reverted() || !db_->setData(id_, content_, &why)) {
    logError("Commit", QStringLiteral("stream \"%1\": %2").arg(name_, why));
    return false;
  }
  return true;
}

bool KMX_OLEStream::ensureLoaded() {
  if (loaded_) return true;
  QString why;
  if (!db_->loadData(id_, &content_, &why)) {
    logError("ReadNext", QStringLiteral("stream \"%1\": %2").arg(name_, why));
    return false;
  }
  loaded_ = true;
  return true;
}

bool KMX_OLEStream::Write(const StgValue& value, bool flagA, bool flagB) {
  if (reverted() || !writable_ || value.isError() || value.isEmpty()) {
    logError("Write", QStringLiteral("stream \"%1\": %2")
                          .arg(name_, reverted()   ? QStringLiteral("the stream was destroyed")
                                      : !writable_ ? QStringLiteral("open for reading only")
                                                   : QStringLiteral("no value to write")));
    return false;
  }
  if (!replaced_) {
    content_.clear();
    replaced_ = true;
    loaded_ = true;
    pos_ = 0;
  }
  encode(content_, value, value.num_.l, value.num_.i, value.num_.f, value.num_.d, value.text_, flagA, flagB);
  if (!dirty_) {
    dirty_ = true;
    db_->markDirty(this);
  }
  return true;
}

bool KMX_OLEStream::decode(StgValue& v) {
  const qsizetype n = content_.size();
  const char* p = content_.constData() + pos_;
  if (pos_ >= n) return false;
  const quint8 tag = quint8(*p);
  const auto type = StgType(tag & kTypeMask);
  const qsizetype after = n - pos_ - 1;  // bytes after the tag
  qsizetype size = 0;                    // of the value after its tag
  switch (type) {
    case StgType::String: {
      if (after < 4) return false;
      const quint32 units = get<quint32>(p + 1);
      if (qsizetype(units) > (after - 4) / 2) return false;
      v.text_ = storedText(p + 5, units);
      size = 4 + 2 * qsizetype(units);
      break;
    }
    case StgType::Long:
      if (after < 4) return false;
      v.num_.l = get<qint32>(p + 1);
      size = 4;
      break;
    case StgType::Integer:
      if (after < 2) return false;
      v.num_.i = get<qint16>(p + 1);
      size = 2;
      break;
    case StgType::Boolean:
      if (after < 2) return false;
      v.num_.i = get<qint16>(p + 1) != 0 ? -1 : 0;
      size = 2;
      break;
    case StgType::Single: {
      if (after < 4) return false;
      const quint32 bits = get<quint32>(p + 1);
      std::memcpy(&v.num_.f, &bits, 4);
      size = 4;
      break;
    }
    case StgType::Double:
    case StgType::Date: {
      if (after < 8) return false;
      const quint64 bits = get<quint64>(p + 1);
      std::memcpy(&v.num_.d, &bits, 8);
      size = 8;
      break;
    }
    default:
      return false;
  }
  v.type_ = type;
  v.flagA_ = (tag & kFlagA) != 0;
  v.flagB_ = (tag & kFlagB) != 0;
  pos_ += 1 + size;
  return true;
}

StgValue KMX_OLEStream::ReadNext(bool flagA, bool flagB) {
  Q_UNUSED(flagA);
  Q_UNUSED(flagB);
  StgValue v;
  if (reverted()) {
    v = StgValue::error(QStringLiteral("stream \"%1\" was destroyed").arg(name_));
  } else if (!ensureLoaded()) {
    v = StgValue::error(QStringLiteral("stream \"%1\" cannot be read").arg(name_));
  } else if (const bool past = pos_ >= content_.size(); past || !decode(v)) {
    // A damaged value ends the stream: nothing after it can be told apart.
    pos_ = content_.size();
    v = StgValue::error(past ? QStringLiteral("read past the end of stream \"%1\"").arg(name_)
                             : QStringLiteral("damaged value in stream \"%1\"").arg(name_));
    logError("ReadNext", v.errorText());
  }
  return v;
}

StgValue KMX_OLEStream::ReadNext(StgType asked, bool flagA, bool flagB) {
  StgValue v = ReadNext(flagA, flagB);
  if (v.isError() || v.type() == asked) return v;
  v = StgValue::error(
      QStringLiteral("stream \"%1\": expected %2, found %3")
          .arg(name_, QLatin1String(stgTypeName(asked)), QLatin1String(stgTypeName(v.type()))));
  logError("ReadNext", v.errorText());
  return v;
}

bool KMX_OLEStream::alive() const {
  // Elements only ever die by removal: while none was removed, the stream's element still lives.
  if (db_->removals == seenRemovals_) return true;
  if (!db_->alive(id_)) return false;
  seenRemovals_ = db_->removals;
  return true;
}

bool KMX_OLEStream::ReadDouble(double& v) {
  StgType t;
  if (!peek(t, 2)) return false;
  switch (t) {
    case StgType::Double:
    case StgType::Date:
      return ReadDate(v);
    case StgType::Single: {
      float f;
      if (!ReadSingle(f)) return false;
      v = double(f);
      return true;
    }
    case StgType::Long:
    case StgType::Integer: {
      qint32 x;
      if (!ReadLong(x)) return false;
      v = double(x);
      return true;
    }
    default:
      return false;
  }
}

bool KMX_OLEStream::ReadString(QString& v) {
  StgType t;
  const char* p = peek(t, 4);
  if (!p || t != StgType::String) return false;
  const quint32 units = get<quint32>(p);
  if (qsizetype(units) > (content_.size() - pos_ - 5) / 2) return false;
  v = storedText(p + 4, units);
  pos_ += 5 + 2 * qsizetype(units);
  return true;
}

bool KMX_OLEStream::Commit(int flags) {
  if (flags & ~0xF) {
    logError("Commit", QStringLiteral("unknown flags %1").arg(flags));
    return false;
  }
  return flush();
}

bool KMX_OLEStream::atEnd() {
  if (!ensureLoaded()) return true;
  return pos_ >= content_.size();
}

// ---------------------------------------------------------------------------------------------
// Listing

namespace {
QString describe(const StgValue& v) {
  switch (v.type()) {
    case StgType::String:
      return QStringLiteral("String \"%1\"").arg(v.toString());
    case StgType::Long:
      return QStringLiteral("Long %1").arg(v.toLong());
    case StgType::Integer:
      return QStringLiteral("Integer %1").arg(v.toInteger());
    case StgType::Boolean:
      return QStringLiteral("Boolean %1").arg(v.toBoolean16());
    case StgType::Single:
      return QStringLiteral("Single %1").arg(double(v.toSingle()), 0, 'g', 9);
    case StgType::Double:
      return QStringLiteral("Double %1").arg(v.toDouble(), 0, 'g', 17);
    case StgType::Date:
      return QStringLiteral("Date %1").arg(v.toDate(), 0, 'g', 17);
    default:
      return QStringLiteral("<%1>").arg(v.errorText());
  }
}

void listInto(KMX_OLEStorage& st, const QString& prefix, int depth, int maxDepth, QStringList& out) {
  QString name;
  for (StgElementType t = st.EnumElements(0, name); t != StgElementType::End; t = st.EnumElements(1, name)) {
    const QString path = prefix + name;
    if (t == StgElementType::Storage) {
      out << path + QLatin1Char('/');
      if (depth >= maxDepth) continue;
      if (auto sub = st.OpenStorage(name, stgmode::Read))
        listInto(*sub, path + QLatin1Char('/'), depth + 1, maxDepth, out);
      continue;
    }
    auto s = st.OpenStream(name, stgmode::Read);
    if (!s) {
      out << path + QStringLiteral(": <cannot open>");
      continue;
    }
    QStringList values;
    while (!s->atEnd()) {
      const StgValue v = s->ReadNext();
      values << describe(v);
      if (v.isError()) break;
    }
    out << path + QStringLiteral(": ") + values.join(QStringLiteral(", "));
  }
}
}  // namespace

QStringList StgListTree(KMX_OLEStorage& storage, int maxDepth) {
  QStringList out;
  listInto(storage, QString(), 0, maxDepth, out);
  return out;
}

// ---------------------------------------------------------------------------------------------
// Tool

KMX_OLEStgTool::KMX_OLEStgTool() = default;
KMX_OLEStgTool::~KMX_OLEStgTool() = default;

qint64 KMX_OLEStgTool::AllocMemoryBlock(qint64 size, int flags) {
  if (size <= 0 || flags != 0) {
    logError("AllocMemoryBlock", QStringLiteral("size %1, flags %2 not possible").arg(size).arg(flags));
    return 0;
  }
  const qint64 handle = nextHandle_++;
  blocks_[handle] = size;
  return handle;
}

bool KMX_OLEStgTool::ResizeMemoryBlock(qint64 handle, qint64 size) {
  auto it = blocks_.find(handle);
  if (it == blocks_.end() || size <= 0) {
    logError("ResizeMemoryBlock", QStringLiteral("handle %1, size %2 not possible").arg(handle).arg(size));
    return false;
  }
  it->second = size;
  return true;
}

std::shared_ptr<KMX_OLEStorage> KMX_OLEStgTool::CreateRootStorageOnMemory(const QString& name, int mode,
                                                                          qint64 handle, int reserved,
                                                                          bool deleteOnRelease) {
  Q_UNUSED(reserved);
  Q_UNUSED(deleteOnRelease);
  ProcLog log(kModule, "CreateRootStorageOnMemory", QStringLiteral("Name = %1").arg(name));
  if (!blocks_.count(handle)) {
    log.error(QStringLiteral("no memory block %1").arg(handle));
    return nullptr;
  }
  if (!validCreateMode(mode)) {
    log.error(QStringLiteral("mode %1 cannot create a storage").arg(mode));
    return nullptr;
  }
  QString why;
  auto db = Database::createEmpty(name, &why);
  if (!db) {
    log.error(why);
    return nullptr;
  }
  log.completed();
  return std::make_shared<KMX_OLEStorage>(std::move(db), RootId, name, true);
}

bool KMX_OLEStgTool::ReleaseMemoryBlock(qint64 handle) {
  if (blocks_.erase(handle) == 0) {
    logError("ReleaseMemoryBlock", QStringLiteral("no memory block %1").arg(handle));
    return false;
  }
  return true;
}

std::shared_ptr<KMX_OLEStorage> KMX_OLEStgTool::CreateStorageFile(const QString& path, int mode, int reserved,
                                                                  bool deleteOnRelease) {
  Q_UNUSED(reserved);
  Q_UNUSED(deleteOnRelease);
  ProcLog log(kModule, "CreateStorageFile", QStringLiteral("File = %1").arg(path));
  const QFileInfo fi(path);
  if (path.trimmed().isEmpty() || !validCreateMode(mode) || !(mode & kCreate)) {
    log.error(QStringLiteral("cannot create \"%1\" with mode %2").arg(path).arg(mode));
    return nullptr;
  }
  if (fi.isDir() || !fi.absoluteDir().exists()) {
    log.error(QStringLiteral("\"%1\" is a folder or its folder does not exist").arg(path));
    return nullptr;
  }
  QString why;
  auto db = Database::createEmpty(path, &why);
  if (!db) {
    log.error(why);
    return nullptr;
  }
  db->filePath = fi.absoluteFilePath();
  log.completed();
  return std::make_shared<KMX_OLEStorage>(std::move(db), RootId, fi.fileName(), true);
}

std::shared_ptr<KMX_OLEStorage> KMX_OLEStgTool::OpenStorageFile(const QString& path, int mode) {
  ProcLog log(kModule, "OpenStorageFile", QStringLiteral("File = %1, Mode = %2").arg(path).arg(mode));
  const int plain = mode & ~kPriority;
  if (!validOpenMode(plain) || ((mode & kPriority) && (plain & kAccessMask))) {
    log.error(QStringLiteral("mode %1 cannot open a storage file").arg(mode));
    return nullptr;
  }
  const bool writable = (plain & kAccessMask) != 0;
  QString why;
  auto db = readImage(path, path, writable, &why);
  if (!db) {
    log.error(why);
    return nullptr;
  }
  if (writable) db->filePath = db->basePath;
  log.completed();
  return std::make_shared<KMX_OLEStorage>(std::move(db), RootId, QFileInfo(path).fileName(), writable);
}

std::shared_ptr<KMX_OLEStorage> KMX_OLEStgTool::LoadRootStorageOnMemory(const QString& name, qint64 handle,
                                                                        const QString& path) {
  ProcLog log(kModule, "LoadRootStorageOnMemory", QStringLiteral("Name = %1, File = %2").arg(name, path));
  if (!blocks_.count(handle)) {
    log.error(QStringLiteral("no memory block %1").arg(handle));
    return nullptr;
  }
  QString why;
  auto db = readImage(path, name, true, &why, Database::Check::Own);
  if (!db) {
    log.error(why);
    return nullptr;
  }
  log.completed();
  return std::make_shared<KMX_OLEStorage>(std::move(db), RootId, name, true);
}

std::shared_ptr<KMX_OLEStorage> KMX_OLEStgTool::OpenStorageImage(const QByteArray& image,
                                                                 const QString& label) {
  QString why;
  auto db = Database::openImage(image, label, false, &why);
  if (!db) {
    logError("OpenStorageImage", QStringLiteral("\"%1\": %2").arg(label, why));
    return nullptr;
  }
  return std::make_shared<KMX_OLEStorage>(std::move(db), RootId, label, false);
}

bool KMX_OLEStgTool::IsStorageFile(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return false;
  const QByteArray head = f.read(100);
  if (head.size() < 100 || std::memcmp(head.constData(), "SQLite format 3", 16) != 0) return false;
  return qFromBigEndian<qint32>(head.constData() + 68) == kApplicationId;
}

}  // namespace tarn
