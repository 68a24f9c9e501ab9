#pragma once
// Sequential tagged values of the template and comment files: little-endian, a 16-bit type code
// followed by the value. Texts are single-byte Windows-1252 with a 16-bit count.
#include <QByteArray>
#include <QString>
#include <QtGlobal>

namespace tarn {
class ProcLog;
}

namespace tarn::tagged {

enum TypeCode : quint16 { kLong = 3, kDouble = 5, kString = 8, kBoolean = 11 };

// Windows-1252 both ways; bytes without a character and characters without a byte become '?'.
QString fromCp1252(const char* bytes, int count);
QByteArray toCp1252(const QString& text);

// Reads from a byte buffer; every read checks the remaining length and the type code. After the
// first failure all reads fail and error() says why, so callers may check once at the end.
class Reader {
 public:
  explicit Reader(const QByteArray& data) : data_(data) {}
  bool readBareLong(qint32& v);
  bool readLong(qint32& v);
  bool readDouble(double& v);
  bool readBoolean(bool& v);
  bool readString(QString& v);
  qint64 remaining() const { return failed_ ? 0 : data_.size() - pos_; }
  qint64 position() const { return pos_; }
  bool failed() const { return failed_; }
  const QString& error() const { return error_; }
  void fail(const QString& why);

 private:
  bool take(void* out, qint64 n, const char* what);
  bool expectType(quint16 type, const char* what);
  const QByteArray& data_;
  qint64 pos_ = 0;
  bool failed_ = false;
  QString error_;
};

// Appends to a byte buffer; fails only on a text too long for its 16-bit count.
class Writer {
 public:
  void writeBareLong(qint32 v);
  void writeLong(qint32 v);
  void writeDouble(double v);
  void writeBoolean(bool v);
  bool writeString(const QString& v);
  const QByteArray& bytes() const { return out_; }
  bool failed() const { return failed_; }
  const QString& error() const { return error_; }

 private:
  void put(const void* p, int n);
  void putType(quint16 t);
  QByteArray out_;
  bool failed_ = false;
  QString error_;
};

// Reads a whole small file; false with a reason when it cannot be read or exceeds maxBytes.
bool readWholeFile(const QString& path, qint64 maxBytes, QByteArray& out, QString& error);
// Replaces the file with the bytes, or leaves the old file as it was.
bool writeFileAtomically(const QString& path, const QByteArray& bytes, QString& error);

// The head that template and comment files share: format version, name, editable flag, count.
struct FileHead {
  QString name;
  bool editable = true;
  qint32 count = 0;
};
// Fails the reader on a version other than `version`; `kind` names the file kind in that error.
bool readHead(Reader& in, qint32 version, const char* kind, FileHead& head);
void writeHead(Writer& out, qint32 version, const FileHead& head);

// The file side of a Load: false, logged on `log`, when the name is blank, the file is missing,
// cannot be read or is larger than maxBytes.
bool loadFile(const ProcLog& log, const QString& path, qint64 maxBytes, QByteArray& bytes);
// The file side of a Save: writes what `out` holds, or logs "<what> not saved: <why>".
bool saveFile(const ProcLog& log, const QString& path, const Writer& out, const char* what);

}  // namespace tarn::tagged
