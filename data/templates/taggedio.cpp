#include "data/templates/taggedio.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>
#include <cstring>

#include "core/eventlog.h"
#include "core/folders.h"

namespace tarn::tagged {
namespace {

// 0x80..0x9F; zero marks a byte without a character.
constexpr char16_t kHigh[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char encodeOne(char32_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
  for (int i = 0; i < 32; ++i) {
    if (kHigh[i] != 0 && kHigh[i] == c) return static_cast<char>(0x80 + i);
  }
  return '?';
}

}  // namespace

QString fromCp1252(const char* bytes, int count) {
  QString s;
  s.reserve(count);
  for (int i = 0; i < count; ++i) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (b >= 0x80 && b < 0xA0) {
      const char16_t c = kHigh[b - 0x80];
      s.append(c != 0 ? QChar(c) : QChar(u'?'));
    } else {
      s.append(QChar(static_cast<char16_t>(b)));
    }
  }
  return s;
}

QByteArray toCp1252(const QString& text) {
  QByteArray out;
  out.reserve(text.size());
  for (char32_t c : text.toUcs4()) out.append(encodeOne(c));
  return out;
}

void Reader::fail(const QString& why) {
  if (failed_) return;
  failed_ = true;
  error_ = why;
}

bool Reader::take(void* out, qint64 n, const char* what) {
  if (failed_) return false;
  if (n < 0 || data_.size() - pos_ < n) {
    fail(QStringLiteral("the file ends inside a %1 at byte %2").arg(QLatin1String(what)).arg(pos_));
    return false;
  }
  std::memcpy(out, data_.constData() + pos_, static_cast<size_t>(n));
  pos_ += n;
  return true;
}

bool Reader::expectType(quint16 type, const char* what) {
  const qint64 at = pos_;
  quint16 t = 0;
  if (!take(&t, 2, what)) return false;
  t = qFromLittleEndian(t);
  if (t != type) {
    fail(QStringLiteral("expected a %1 (type %2) at byte %3 but found type %4")
             .arg(QLatin1String(what))
             .arg(type)
             .arg(at)
             .arg(t));
    return false;
  }
  return true;
}

bool Reader::readBareLong(qint32& v) {
  qint32 raw = 0;
  if (!take(&raw, 4, "Long")) return false;
  v = qFromLittleEndian(raw);
  return true;
}

bool Reader::readLong(qint32& v) { return expectType(kLong, "Long") && readBareLong(v); }

bool Reader::readDouble(double& v) {
  if (!expectType(kDouble, "Double")) return false;
  quint64 raw = 0;
  if (!take(&raw, 8, "Double")) return false;
  raw = qFromLittleEndian(raw);
  std::memcpy(&v, &raw, 8);
  return true;
}

bool Reader::readBoolean(bool& v) {
  if (!expectType(kBoolean, "Boolean")) return false;
  qint16 raw = 0;
  if (!take(&raw, 2, "Boolean")) return false;
  v = qFromLittleEndian(raw) != 0;
  return true;
}

bool Reader::readString(QString& v) {
  if (!expectType(kString, "String")) return false;
  quint16 n = 0;
  if (!take(&n, 2, "String")) return false;
  n = qFromLittleEndian(n);
  if (data_.size() - pos_ < n) {
    fail(QStringLiteral("a text of %1 characters at byte %2 runs past the end of the file").arg(n).arg(pos_));
    return false;
  }
  v = fromCp1252(data_.constData() + pos_, n);
  pos_ += n;
  return true;
}

void Writer::put(const void* p, int n) { out_.append(static_cast<const char*>(p), n); }

void Writer::putType(quint16 t) {
  t = qToLittleEndian(t);
  put(&t, 2);
}

void Writer::writeBareLong(qint32 v) {
  v = qToLittleEndian(v);
  put(&v, 4);
}

void Writer::writeLong(qint32 v) {
  putType(kLong);
  writeBareLong(v);
}

void Writer::writeDouble(double v) {
  putType(kDouble);
  quint64 raw = 0;
  std::memcpy(&raw, &v, 8);
  raw = qToLittleEndian(raw);
  put(&raw, 8);
}

void Writer::writeBoolean(bool v) {
  putType(kBoolean);
  qint16 raw = qToLittleEndian<qint16>(v ? -1 : 0);
  put(&raw, 2);
}

bool Writer::writeString(const QString& v) {
  const QByteArray b = toCp1252(v);
  if (b.size() > 0xFFFF) {
    if (!failed_) error_ = QStringLiteral("a text of %1 characters is longer than 65535").arg(b.size());
    failed_ = true;
    return false;
  }
  putType(kString);
  quint16 n = qToLittleEndian(static_cast<quint16>(b.size()));
  put(&n, 2);
  out_.append(b);
  return true;
}

bool readWholeFile(const QString& path, qint64 maxBytes, QByteArray& out, QString& error) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) {
    error = QStringLiteral("cannot open %1: %2").arg(path, f.errorString());
    return false;
  }
  if (f.size() > maxBytes) {
    error = QStringLiteral("%1 is %2 bytes, more than such a file can hold").arg(path).arg(f.size());
    return false;
  }
  out = f.read(maxBytes + 1);
  if (f.error() != QFileDevice::NoError || out.size() > maxBytes) {
    error = QStringLiteral("cannot read %1: %2").arg(path, f.errorString());
    return false;
  }
  return true;
}

bool writeFileAtomically(const QString& path, const QByteArray& bytes, QString& error) {
  // Deleting the old file before writing would lose the only good copy whenever the disk is
  // full or the write fails: a temporary file beside it is written, synced and renamed over it.
  return folders::writePrivateFile(path, bytes, &error);
}

bool readHead(Reader& in, qint32 version, const char* kind, FileHead& head) {
  qint32 found = 0;
  if (in.readBareLong(found) && found != version)
    in.fail(QStringLiteral("unknown %1 format %2").arg(QLatin1String(kind)).arg(found));
  in.readString(head.name);
  in.readBoolean(head.editable);
  in.readLong(head.count);
  return !in.failed();
}

void writeHead(Writer& out, qint32 version, const FileHead& head) {
  out.writeBareLong(version);
  out.writeString(head.name);
  out.writeBoolean(head.editable);
  out.writeLong(head.count);
}

bool loadFile(const ProcLog& log, const QString& path, qint64 maxBytes, QByteArray& bytes) {
  if (path.isEmpty() || !QFile::exists(path)) {
    log.step(QStringLiteral("File does not exist"));
    return false;
  }
  QString error;
  if (!readWholeFile(path, maxBytes, bytes, error)) {
    log.error(error);
    return false;
  }
  return true;
}

bool saveFile(const ProcLog& log, const QString& path, const Writer& out, const char* what) {
  if (path.isEmpty()) {
    log.error(QStringLiteral("No file name"));
    return false;
  }
  QString error = out.error();
  if (out.failed() || !writeFileAtomically(path, out.bytes(), error)) {
    log.error(QStringLiteral("%1 not saved: %2").arg(QLatin1String(what), error));
    return false;
  }
  return true;
}

}  // namespace tarn::tagged
