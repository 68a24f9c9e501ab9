#pragma once
// Inside of the structured storage: one SQLite connection per root, holding every element
// of the tree in one table. Not for callers; see olestg.h.
#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <memory>
#include <unordered_set>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace tarn {
class KMX_OLEStream;

namespace stgdetail {

// Marks our files in the database header (offset 68), so foreign databases are told apart cheaply.
constexpr qint32 kApplicationId = 0x544E5354;
constexpr qint64 RootId = 1;
constexpr int KindStorage = 1;
constexpr int KindStream = 2;

// A prepared statement, reset after every use.
class Stmt {
 public:
  Stmt() = default;
  ~Stmt();
  Stmt(const Stmt&) = delete;
  Stmt& operator=(const Stmt&) = delete;
  bool prepare(sqlite3* db, const char* sql);
  sqlite3_stmt* get() const { return s_; }
  void reset();

 private:
  sqlite3_stmt* s_ = nullptr;
};

// Resets its statement when leaving scope.
class StmtUse {
 public:
  explicit StmtUse(Stmt& s) : s_(s) {}
  ~StmtUse() { s_.reset(); }
  sqlite3_stmt* operator*() const { return s_.get(); }

 private:
  Stmt& s_;
};

struct Database;

// Something handed out that refers to an element; destroyed elements turn their objects stale.
class ElementObject {
 public:
  ElementObject(Database* db, qint64 id);
  ~ElementObject();
  ElementObject(const ElementObject&) = delete;
  ElementObject& operator=(const ElementObject&) = delete;
  qint64 id() const { return id_; }
  bool reverted() const { return reverted_; }

 private:
  friend struct Database;
  Database* db_;
  qint64 id_;
  bool reverted_ = false;
};

struct ChildRow {
  qint64 id;
  QString name;
  int kind;
  QByteArray data;
};

struct Database {
  ~Database();

  // A fresh empty tree in memory, or a tree read from a file image (validated; null when unfit).
  static std::shared_ptr<Database> createEmpty(const QString& label, QString* why);
  static std::shared_ptr<Database> openImage(const QByteArray& image, const QString& label, bool writable,
                                             QString* why);

  // Element rows. Errors come back as false / -1 with the reason in *why.
  // New element's id; 0 when the name is taken, -1 on error. data: a stream's contents.
  qint64 insert(qint64 parent, const QString& name, const QString& key, int kind, const QByteArray* data,
                QString* why);
  // id and kind of a child by name key; 0 when absent, -1 on error.
  qint64 find(qint64 parent, const QString& key, int* kind, QByteArray* data, QString* why);
  bool setData(qint64 id, const QByteArray& data, QString* why);
  bool loadData(qint64 id, QByteArray* data, QString* why);
  bool children(qint64 parent, std::vector<ChildRow>* rows, bool withData, QString* why);
  bool destroyTree(qint64 id, QString* why);
  bool isSameOrAncestor(qint64 ancestor, qint64 id);  // ancestor is id or above it

  bool isEmptyTree();
  bool begin(QString* why);
  bool commitTransaction(QString* why);
  void flushAll();
  // Whole-database copy into another (empty) tree; false when the engine refuses.
  bool backupInto(Database& dest, QString* why);
  QByteArray serialize(QString* why);
  bool writeFile(const QString& path, QString* why);

  sqlite3* db = nullptr;
  QString label;     // shown in the log
  QString filePath;  // set for storage-file roots: the file a root commit writes
  bool writable = true;
  qint64 nextId = RootId + 1;
  bool inTransaction = false;

  Stmt stInsert, stFind, stSetData, stLoadData, stChildren, stChildrenData, stParent;
  std::unordered_set<ElementObject*> live;
  std::unordered_set<KMX_OLEStream*> dirty;

 private:
  bool setup(QString* why);
  bool exec(const char* sql, QString* why);
  QString errText(const char* what) const;
};

// Upper-cases per UTF-16 unit, as compound-file names compare.
QString nameKey(const QString& name);
// Empty when the name is acceptable, else the reason.
QString checkName(const QString& name);

}  // namespace stgdetail
}  // namespace tarn
