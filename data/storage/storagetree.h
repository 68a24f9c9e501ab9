#pragma once
// Inside of the structured storage: the element tree of one root, held in memory while the root
// is open. A file is read whole into the tree when opened; the tree is written out as a fresh
// database, as a patched copy of the image it came from, or as a transaction on that very file.
// Not for callers; see olestg.h.
#include <QByteArray>
#include <QHash>
#include <QString>
#include <QtGlobal>

#include <functional>
#include <memory>
#include <vector>

struct sqlite3;

namespace tarn {
class KMX_OLEStream;

namespace stgdetail {
struct EnumEntry;

// Marks our files in the database header (offset 68), so foreign databases are told apart cheaply.
constexpr qint32 kApplicationId = 0x544E5354;
constexpr qint64 RootId = 1;
constexpr int KindNone = 0;  // an id never used, or an element destroyed
constexpr int KindStorage = 1;
constexpr int KindStream = 2;

struct ChildRow {
  qint64 id;
  QString name;
  int kind;
  QByteArray data;
};

// One element. Ids are indexes into the node table and are never reused, so an object holding
// the id of a destroyed element stays stale for good.
// A storage's children are linked in ascending ids (creation order), so that building a tree
// allocates nothing per storage.
struct Node {
  qint64 parent = 0;
  int kind = KindNone;
  qint32 kidCount = 0;  // a storage's children
  QString name;
  QByteArray data;      // a stream's contents
  qint64 firstKid = 0;  // a storage's first and last child; 0 when it has none
  qint64 lastKid = 0;
  qint64 nextSib = 0;  // the next and previous child of the same parent; 0 at either end
  qint64 prevSib = 0;
  qint64 row = 0;        // its row in the root's file image; 0 when not there
  bool changed = false;  // contents differ from its row in the file image
  bool indexed = false;  // a storage whose children are in the name index (it had many)
};

// Children by parent and name without regard to case: open addressing over (hash, id) pairs, the
// names themselves staying in the node table. No allocation per element. Only the children of
// storages with many of them are filed (a list's entries): the few children of the others are
// compared in place, which keeps the index small enough to stay in the processor's caches.
class NameIndex {
 public:
  static quint64 hash(qint64 parent, const QString& name);
  // The child's id, 0 when absent.
  qint64 find(const std::vector<Node>& nodes, qint64 parent, const QString& name, quint64 h) const;
  void add(quint64 h, qint64 id);
  void remove(quint64 h, qint64 id);

 private:
  struct Slot {
    quint64 hash;
    qint64 id;  // 0 never used, -1 removed
  };
  void grow();
  std::vector<Slot> slots_;
  size_t used_ = 0, removed_ = 0;
};

// A whole database file in memory, as SQLite made it; the bytes live as long as owner.
struct FileImage {
  std::shared_ptr<void> owner;
  const unsigned char* bytes = nullptr;
  qint64 size = 0;
};

struct Database {
  // A fresh empty tree in memory, or a tree read from a file image (validated; null when unfit).
  static std::shared_ptr<Database> createEmpty(const QString& label, QString* why);
  // Whole: the image also passes SQLite's structural check (files from elsewhere); Own: a file
  // the station wrote itself, whose damage costs only what it caches.
  enum class Check { Whole, Own };
  static std::shared_ptr<Database> openImage(const QByteArray& image, const QString& label, bool writable,
                                             QString* why, Check check = Check::Whole);
  // The same straight from a storage file the station wrote itself, through c, a connection to it
  // that holds a read transaction (its shared lock) for as long as this runs; bytes is the file's
  // size. The tree then knows the file as its image without holding its bytes.
  static std::shared_ptr<Database> openFile(sqlite3* c, qint64 bytes, const QString& label, bool writable,
                                            QString* why);

  // Errors come back as false / -1 with the reason in *why. Names compare without regard to case.
  // New element's id; 0 when the name is taken, -1 on error. data: a stream's contents.
  qint64 insert(qint64 parent, const QString& name, int kind, const QByteArray* data, QString* why);
  // id of a child by name, with its kind and (when asked) contents; 0 when absent. hint: the id the
  // child probably has (the element an enumeration just gave), tried before any search.
  qint64 find(qint64 parent, const QString& name, int* kind, QByteArray* data, qint64 hint = 0);
  bool setData(qint64 id, const QByteArray& data, QString* why);
  bool loadData(qint64 id, QByteArray* data, QString* why);
  bool children(qint64 parent, std::vector<ChildRow>* rows, bool withData, QString* why);
  // The children's names, kinds and ids alone, in creation order.
  bool childNames(qint64 parent, std::vector<EnumEntry>* names, QString* why) const;
  bool destroyTree(qint64 id, QString* why);
  bool isSameOrAncestor(qint64 ancestor, qint64 id) const;  // ancestor is id or above it
  bool alive(qint64 id) const {
    return id > 0 && id < qint64(nodes.size()) && nodes[size_t(id)].kind != KindNone;
  }
  // Counts removals of elements: an object that found its element alive while this stood still
  // need not look again.
  quint64 removals = 0;

  bool isEmptyTree() const { return liveCount == 1; }
  bool isFresh() const { return nodes.size() == 2; }  // a root that never held an element
  bool begin(QString* why);
  bool commitTransaction(QString* why);
  void flushAll();
  // Whole-tree copy into a root that never held anything; false when dest is not such a root.
  bool backupInto(Database& dest, QString* why);
  // rows (when given) receives each element's row in the image, by id.
  FileImage serialize(QString* why, std::vector<qint64>* rows = nullptr);
  // Writes the tree as the file at path, replaced whole. When the tree was read from that file
  // (or last written to it) and the file is still as it was then, only the elements changed
  // since are put into a copy of its image; otherwise the image is built anew.
  // inPlace: the changes go into the file itself instead, in one transaction of the file's own
  // database, and the image is no longer held in memory; whenever that cannot be done (the file
  // is not the image, or anything fails) the file is written whole as above.
  bool writeFile(const QString& path, QString* why, bool inPlace = false);
  // For tests: called on the file's connection with the changes made, before they are committed.
  static void setBeforeFileCommitHook(std::function<void(sqlite3*)> hook);
  // For tests: called with the path once a reader of a station's own file holds its shared lock.
  static void setAfterReadLockHook(std::function<void(const QString&)> hook);
  // Whether the next writeFile to path would only patch the image it holds.
  bool canPatch(const QString& path) const;
  // The file at path is the image of this tree as it is: nothing changed since it was read
  // from or written to it, on either side.
  bool isSavedIn(const QString& path) const;

  // Streams with values not yet handed to their element, written before anything reads the tree.
  void markDirty(KMX_OLEStream* s);
  void unmarkDirty(KMX_OLEStream* s);

  QString label;     // shown in the log
  QString filePath;  // set for storage-file roots: the file a root commit writes
  bool writable = true;
  bool inTransaction = false;

  std::vector<Node> nodes;  // index = id; 0 unused
  // Blocks that streams read from a file share instead of holding copies of their own (contents
  // handed in from elsewhere are always copied, see owned()).
  std::vector<std::shared_ptr<const char>> arenas;
  NameIndex index;
  qint64 liveCount = 0;
  std::vector<KMX_OLEStream*> dirty;

  // The file image the tree was read from or last written as; rows refer to it. Its path and
  // the file's stamp then tell whether the file on disk is still that image.
  FileImage base;
  QString basePath;
  QString baseStamp;
  std::vector<qint64> droppedRows;  // rows of the image whose elements were destroyed since
  std::vector<qint64> changedIds;   // elements added or whose contents changed since (repeats allowed)
  bool touched = false;             // an element added, changed or destroyed since the image was taken
  bool baseIsFile = false;          // the image is only the file at basePath (last written in place)
  static constexpr int kFileBusyMs = 10000;  // how long a write or locked read waits for another

 private:
  // Checks a database of bytes bytes on c and reads its elements; skippedRows counts the rows left
  // out (damage).
  static std::shared_ptr<Database> readRows(sqlite3* c, qint64 bytes, const QString& label, bool writable,
                                            QString* why, Check check, qint64& skippedRows);
  qint64 addNode(qint64 parent, const QString& name, int kind, const QByteArray& data);
  // The same, data kept as it is: only for bytes of this tree's own arenas.
  qint64 addNodeAsIs(qint64 parent, const QString& name, int kind, const QByteArray& data);
  // Contents that this tree can keep: bytes some other block holds are copied.
  static QByteArray owned(const QByteArray& data);
  // Links a node, already in the table, as the last child of its parent; unlinks it again.
  void link(qint64 id);
  void unlink(qint64 id);
  // The child of that name, 0 when there is none.
  qint64 child(qint64 parent, const QString& name) const;
  // Up to this many children are compared in place; a list entry of many tests stays below it, so
  // the index holds only the few large storages (a list's entries) and stays in the caches.
  static constexpr size_t kFewChildren = 64;
  FileImage patchBase(QString* why);
  bool patchFile(const QString& path, QString* why);
  // Deletes, updates and inserts the changed rows on c, in id order; inserted receives the new
  // elements' rows, by ascending id.
  bool applyChanges(sqlite3* c, std::vector<std::pair<qint64, qint64>>* inserted, QString* why);
  std::vector<qint64> patchedRows_;  // rows of the image patchBase made, by id
  void adoptAsBase(const FileImage& image, const QString& path, const std::vector<qint64>* rows);
  // After the changes went into the file at path itself: inserted gives the new elements' rows.
  void adoptChanges(const QString& path, const std::vector<std::pair<qint64, qint64>>& inserted);
};

// Upper-cases per UTF-16 unit, as compound-file names compare.
inline char16_t upperUnit(char16_t c) {
  if (c < 0x80) return c >= u'a' && c <= u'z' ? char16_t(c - 32) : c;
  return QChar(c).toUpper().unicode();
}
QString nameKey(const QString& name);
// "what: <SQLite's last error message on db>".
QString errText(sqlite3* db, const char* what);
// "dev:ino" of a file stamp: which file it is, whatever was written into it.
QStringView fileIdentity(const QString& stamp);
std::function<void(const QString&)>& afterReadLockHook();
bool sameKey(const QString& a, const QString& b);
// Empty when the name is acceptable, else the reason.
QString checkName(const QString& name);

}  // namespace stgdetail
}  // namespace tarn
