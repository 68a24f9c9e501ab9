#include "core/app/templatekinds.h"

#include <QFile>
#include <QtEndian>

namespace tarn::app {
namespace {

// Sequential little-endian tagged values; every read checks length and type code.
class TaggedReader {
 public:
  explicit TaggedReader(const QByteArray& d) : d_(d) {}
  bool bareLong(qint32& v) { return raw(&v, 4) && (v = qFromLittleEndian(v), true); }
  bool tagged(quint16 type, qint64 size) {
    quint16 t = 0;
    if (!raw(&t, 2) || qFromLittleEndian(t) != type) return fail();
    return pos_ + size <= d_.size() ? (pos_ += size, true) : fail();
  }
  bool longValue(qint32& v) {
    quint16 t = 0;
    if (!raw(&t, 2) || qFromLittleEndian(t) != 3) return fail();
    return bareLong(v);
  }
  bool skipString() {
    quint16 t = 0, n = 0;
    if (!raw(&t, 2) || qFromLittleEndian(t) != 8 || !raw(&n, 2)) return fail();
    n = qFromLittleEndian(n);
    return pos_ + n <= d_.size() ? (pos_ += n, true) : fail();
  }
  bool ok() const { return ok_; }

 private:
  bool raw(void* out, qint64 n) {
    if (!ok_ || pos_ + n > d_.size()) return fail();
    memcpy(out, d_.constData() + pos_, size_t(n));
    pos_ += n;
    return true;
  }
  bool fail() { return ok_ = false; }
  const QByteArray& d_;
  qint64 pos_ = 0;
  bool ok_ = true;
};

constexpr qint64 kMaxTemplateBytes = 4 * 1024 * 1024;  // a template is a few hundred bytes
constexpr qint32 kMaxItems = 10000;

}  // namespace

std::optional<TemplateTestKinds> readTemplateTestKinds(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly) || f.size() > kMaxTemplateBytes) return std::nullopt;
  const QByteArray data = f.readAll();
  TaggedReader r(data);
  qint32 version = 0, count = 0;
  r.bareLong(version);
  r.skipString();   // sName
  r.tagged(11, 2);  // bEditable
  r.longValue(count);
  if (!r.ok() || count < 0 || count > kMaxItems) return std::nullopt;
  TemplateTestKinds kinds;
  for (qint32 i = 0; i < count; ++i) {
    qint32 itemVersion = 0, kind = 0, other = 0;
    r.longValue(itemVersion);
    r.skipString();
    r.longValue(kind);
    for (int k = 0; k < 4; ++k) r.longValue(other);
    for (int k = 0; k < 5; ++k) r.tagged(5, 8);
    for (int k = 0; k < 5; ++k) r.longValue(other);
    if (!r.ok()) return std::nullopt;
    if (kind == 1) ++kinds.vision;
    if (kind == 2) ++kinds.balance;
  }
  return kinds;
}

}  // namespace tarn::app
