#pragma once
// Structured storage: named storages holding named streams of tagged values, nested to any depth,
// kept in one SQLite database per root. Memory roots are in-memory databases; storage files are
// read whole into memory when opened and written whole (temporary file, then rename) when their
// root is committed, so a file on disk is always either the old one or the complete new one. A
// memory root written back to the file it came from changes that file in one transaction.
//
// Names follow compound-file rules: 1 to 31 characters, none of / \ : !, unique within a storage
// without regard to case. Objects are handed out as shared pointers; an absent element opens as null.
#include <QByteArray>
#include <QHash>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QtEndian>
#include <QtGlobal>

#include <cstring>
#include <memory>
#include <stdexcept>
#include <unordered_map>
#include <vector>

namespace tarn {

// Open modes: flag words of the storage calls.
namespace stgmode {
constexpr int Read = 16;                  // read, exclusive
constexpr int ReadWrite = 18;             // read/write, exclusive
constexpr int CreateReplace = 4114;       // create or replace, read/write, exclusive
constexpr int PriorityDenyNone = 262208;  // priority, deny none: open a file only to copy it
}  // namespace stgmode

// Commit flags.
namespace stgcommit {
constexpr int Default = 0;
constexpr int Overwrite = 4;
}  // namespace stgcommit

// MoveElementTo flags.
namespace stgmove {
constexpr int Move = 0;
constexpr int Copy = 1;
}  // namespace stgmove

// What an enumeration step found.
enum class StgElementType { End = 0, Storage = 1, Stream = 2 };

// Tags of the values a stream holds. Error marks a failed read and is never stored.
enum class StgType : quint8 {
  Empty = 0,
  String = 1,
  Long = 2,     // signed 32-bit
  Integer = 3,  // signed 16-bit
  Single = 4,   // 32-bit float
  Double = 5,   // 64-bit float
  Date = 6,     // 64-bit float, days from 30 Dec 1899
  Boolean = 7,  // 16-bit, true = -1
  Error = 0xFF
};

const char* stgTypeName(StgType type);

class StorageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One tagged value. Conversions accept the value's own type and the exact widenings
// (Integer -> Long -> Double, Single -> Double, Date <-> Double, Boolean -> Integer/Long);
// anything else, and every conversion of an Error value, throws StorageError.
class StgValue {
 public:
  StgValue() = default;
  static StgValue fromString(const QString& s);
  static StgValue fromLong(qint32 v);
  static StgValue fromInteger(qint16 v);
  static StgValue fromSingle(float v);
  static StgValue fromDouble(double v);
  static StgValue fromDate(double dayCount);
  static StgValue fromBoolean(bool v);
  static StgValue error(const QString& why);

  StgType type() const { return type_; }
  bool isError() const { return type_ == StgType::Error; }
  bool isEmpty() const { return type_ == StgType::Empty; }
  QString errorText() const { return isError() ? text_ : QString(); }
  bool flagA() const { return flagA_; }
  bool flagB() const { return flagB_; }

  QString toString() const;
  qint32 toLong() const;
  qint16 toInteger() const;
  float toSingle() const;
  double toDouble() const;
  double toDate() const;
  bool toBool() const;
  qint16 toBoolean16() const { return toBool() ? -1 : 0; }

  bool operator==(const StgValue& o) const;

 private:
  friend class KMX_OLEStream;
  [[noreturn]] void fail(const char* wanted) const;

  StgType type_ = StgType::Empty;
  bool flagA_ = false;
  bool flagB_ = false;
  union {
    qint32 l;
    qint16 i;
    float f;
    double d;
  } num_ = {0};
  QString text_;  // String value, or the reason of an Error
};

namespace stgdetail {
struct Database;
// One element of an enumeration's snapshot.
struct EnumEntry {
  QString name;
  int kind;
  qint64 id;
};
}  // namespace stgdetail

class KMX_OLEStream;

class KMX_OLEStorage {
 public:
  KMX_OLEStorage(std::shared_ptr<stgdetail::Database> db, qint64 id, const QString& name, bool writable);
  ~KMX_OLEStorage();
  KMX_OLEStorage(const KMX_OLEStorage&) = delete;
  KMX_OLEStorage& operator=(const KMX_OLEStorage&) = delete;

  // Create (mode 4114 replaces a same-named element of either kind) or open (16 or 18).
  // Null when the name is invalid, the element is absent or of the other kind, or access is denied.
  std::shared_ptr<KMX_OLEStorage> CreateStorage(const QString& name, int mode = stgmode::CreateReplace);
  std::shared_ptr<KMX_OLEStream> CreateStream(const QString& name, int mode = stgmode::CreateReplace);
  std::shared_ptr<KMX_OLEStorage> OpenStorage(const QString& name, int mode = stgmode::Read);
  std::shared_ptr<KMX_OLEStream> OpenStream(const QString& name, int mode = stgmode::Read);

  // Copies every element into dest; same-named elements there are replaced whole.
  bool CopyTo(KMX_OLEStorage& dest);
  // Copies (flags stgmove::Copy) or moves (stgmove::Move) one element into dest under newName
  // (blank: the same name), replacing a same-named element there.
  bool MoveElementTo(const QString& name, KMX_OLEStorage& dest, const QString& newName, int flags);
  bool CopyElementTo(const QString& name, KMX_OLEStorage& dest) {
    return MoveElementTo(name, dest, QString(), stgmove::Copy);
  }
  bool DestroyElement(const QString& name);

  // On a root: ends the pending transaction; a storage file is then written whole.
  bool Commit(int flags = stgcommit::Default);
  // On a root: writes everything below it as the storage file at path. When the root was read
  // from that file, or last written to it, and the file is still as it was then, only what changed
  // since goes into the file itself, in one transaction with a synced rollback journal (a crash
  // leaves the old file, put back by its next reader, or the new one). Otherwise, or when that
  // fails, the file is replaced whole (temporary file, then rename).
  bool WriteToFile(const QString& path);
  // On a root: the file at path holds exactly this root (read from or written to it, and neither
  // side changed since), so writing it again would give the same file.
  bool IsSavedIn(const QString& path) const;

  // next 0 starts over (taking a snapshot, so destroying elements meanwhile is safe), 1 goes on.
  // Gives the element's type and name; End with an empty name when there are no more.
  StgElementType EnumElements(int next, QString& name);

  // Summary-information property set: named text properties in the stream "\x05SummaryInformation".
  // Open reads it (absent: an empty set; false only when present but unreadable); Write stores it.
  bool OpenSummaryInfo();
  QString GetSummaryProperty(const QString& name) const;
  bool SetSummaryProperty(const QString& name, const QString& value);
  bool WriteSummaryInfo();
  static QString summaryInfoStreamName();

  QString name() const { return name_; }
  bool isRoot() const;
  bool isWritable() const { return writable_; }
  bool isReverted() const;

 private:
  std::shared_ptr<stgdetail::Database> db_;
  qint64 id_;
  QString name_;
  bool writable_;
  QList<QPair<QString, QString>> summary_;
  std::vector<stgdetail::EnumEntry> enumSnapshot_;
  // The id of the element the enumeration gave last when name is its name, else 0: what is
  // opened right after it is enumerated needs no search.
  qint64 enumeratedId(const QString& name) const;
  size_t enumPos_ = 0;
  bool enumStarted_ = false;
};

class KMX_OLEStream {
 public:
  KMX_OLEStream(std::shared_ptr<stgdetail::Database> db, qint64 id, const QString& name, bool writable,
                QByteArray content, bool loaded);
  ~KMX_OLEStream();  // writes pending values
  KMX_OLEStream(const KMX_OLEStream&) = delete;
  KMX_OLEStream& operator=(const KMX_OLEStream&) = delete;

  // The first write on a stream object replaces the stream's contents; later ones append.
  bool Write(const StgValue& value, bool flagA = true, bool flagB = false);
  // The next value in the order written; past the end or on damage an Error value.
  StgValue ReadNext(bool flagA = true, bool flagB = false);
  // As above, but a value of another type than asked is an Error value too (and is consumed).
  StgValue ReadNext(StgType asked, bool flagA = true, bool flagB = false);
  bool Commit(int flags = stgcommit::Default);

  // The next value straight into a member, converted as StgValue's conversions allow (Long from
  // Long, Integer or Boolean; Double from any number or a Date; Date from Date or Double). False,
  // with nothing consumed, when the next value is not one of those kinds or not there at all:
  // the caller then reads it with ReadNext to learn why. For loaders reading many values.
  bool ReadLong(qint32& v) {
    StgType t;
    const char* p = peek(t, 2);
    if (p && (t == StgType::Integer || t == StgType::Boolean)) {
      const auto x = fixed<qint16>(p);
      v = t == StgType::Boolean ? (x != 0 ? -1 : 0) : x;
      pos_ += 3;
      return true;
    }
    return p && t == StgType::Long && take(4, p, v);
  }
  bool ReadSingle(float& v) {
    StgType t;
    const char* p = peek(t, 4);
    return p && t == StgType::Single && take(4, p, v);
  }
  bool ReadDate(double& v) {
    StgType t;
    const char* p = peek(t, 8);
    return p && (t == StgType::Date || t == StgType::Double) && take(8, p, v);
  }
  bool ReadDouble(double& v);
  bool ReadBool(bool& v) {
    StgType t;
    const char* p = peek(t, 2);
    if (!p || t != StgType::Boolean) return false;
    v = fixed<qint16>(p) != 0;
    pos_ += 3;
    return true;
  }
  bool ReadString(QString& v);

  QString name() const { return name_; }
  bool isWritable() const { return writable_; }
  bool atEnd();

 private:
  friend struct stgdetail::Database;
  bool flush();
  bool ensureLoaded();
  // The value at the read position into v (empty before) and the position past it; false, with
  // nothing moved, when the bytes there do not hold a whole value.
  bool decode(StgValue& v);
  // The tag of the next value and the bytes after it, when at least need of them are there;
  // nullptr otherwise.
  const char* peek(StgType& type, qsizetype need) {
    if (!loaded_ || pos_ >= content_.size() || !alive()) return nullptr;
    const char* p = content_.constData() + pos_;
    type = StgType(quint8(*p) & 0x0F);
    return content_.size() - pos_ - 1 >= need ? p + 1 : nullptr;
  }
  // A little-endian value of the stream's bytes.
  template <typename T>
  static T fixed(const char* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return qFromLittleEndian(v);
  }
  // Takes a value of bytes bytes (4 or 8) at p when the stream holds all of them.
  template <typename T>
  bool take(qsizetype bytes, const char* p, T& v) {
    if (content_.size() - pos_ - 1 < bytes) return false;
    if constexpr (sizeof(T) == 4) {
      const auto bits = fixed<quint32>(p);
      std::memcpy(&v, &bits, 4);
    } else {
      const auto bits = fixed<quint64>(p);
      std::memcpy(&v, &bits, 8);
    }
    pos_ += 1 + bytes;
    return true;
  }
  bool alive() const;

  bool reverted() const;

  std::shared_ptr<stgdetail::Database> db_;
  qint64 id_;
  QString name_;
  bool writable_;
  QByteArray content_;
  bool loaded_;
  bool replaced_ = false;
  bool dirty_ = false;
  qsizetype pos_ = 0;
  size_t dirtyPos_ = size_t(-1);  // place in the root's list of streams with pending values
  mutable quint64 seenRemovals_;  // the root's removal count when the element was last seen alive
};

// A readable listing of everything below a storage, for diagnostics: one line per element,
// "path/" for a storage and "path: Type value, ..." for a stream (values as stored, damage noted).
// Storages nested deeper than maxDepth are listed but not entered.
QStringList StgListTree(KMX_OLEStorage& storage, int maxDepth = 64);

// The tool object: memory blocks, memory roots and storage files.
class KMX_OLEStgTool {
 public:
  static constexpr qint64 DefaultMemoryBlockSize = 10240000;

  KMX_OLEStgTool();
  ~KMX_OLEStgTool();

  // A memory block is a handle (never 0) carrying a size hint; images grow past it as needed.
  qint64 AllocMemoryBlock(qint64 size = DefaultMemoryBlockSize, int flags = 0);
  bool ResizeMemoryBlock(qint64 handle, qint64 size);
  // A fresh, empty in-memory root on the block; name is for the log ("MEM_" + path by convention).
  std::shared_ptr<KMX_OLEStorage> CreateRootStorageOnMemory(const QString& name, int mode, qint64 handle,
                                                            int reserved = 0, bool deleteOnRelease = true);
  // Drops the block; roots made on it stay usable until their last holder lets go.
  bool ReleaseMemoryBlock(qint64 handle);

  // A new, empty storage file root. Nothing reaches the disk until the root is committed, and then
  // the file at path is replaced whole.
  std::shared_ptr<KMX_OLEStorage> CreateStorageFile(const QString& path, int mode = stgmode::CreateReplace,
                                                    int reserved = 0, bool deleteOnRelease = true);
  // Reads the whole file into memory. Modes 16 and 262208 give a read-only root; 18 a writable
  // one that writes the file back whole on commit. Null for a missing, damaged or foreign file.
  std::shared_ptr<KMX_OLEStorage> OpenStorageFile(const QString& path, int mode);
  // A memory root holding the image of a storage file the station wrote itself (the list file),
  // read in one pass rather than copied element by element from a file root. Checked as above but for
  // the structural check of the whole database, which costs as much as reading it again: damage
  // met while reading still fails the open. Writable; null for a missing, damaged or foreign file.
  std::shared_ptr<KMX_OLEStorage> LoadRootStorageOnMemory(const QString& name, qint64 handle,
                                                          const QString& path);
  // The same from bytes already in memory (a read-only root).
  std::shared_ptr<KMX_OLEStorage> OpenStorageImage(const QByteArray& image, const QString& label);
  // Cheap header test: a database file of this store's kind.
  bool IsStorageFile(const QString& path);

 private:
  std::unordered_map<qint64, qint64> blocks_;  // handle -> size hint
  qint64 nextHandle_ = 1;
};

}  // namespace tarn
