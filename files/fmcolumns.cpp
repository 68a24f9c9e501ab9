#include "files/fmcolumns.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QtEndian>

#include "core/eventlog.h"
#include "core/settingkeys.h"
#include "support/strings/strings.h"

namespace tarn::fm {
namespace {
constexpr char kModule[] = "frmFManager";
constexpr int kCaptionBase = 8100;
// A choice lists each column at most once; allow for repeats written by other tools.
constexpr qint64 kMaxIds = 4 * kColumnCount;

void setError(QString* error, const QString& text) {
  if (error) *error = text;
}
}  // namespace

bool IsColumnId(int id) { return id >= 1 && id <= kColumnCount; }

QString ColumnCaption(int id) { return IsColumnId(id) ? Str(kCaptionBase + id) : QString(); }

CellType ColumnType(int id) {
  if (id <= 3) return CellType::Text;  // ID, name, sex
  if (id == 4) return CellType::ShortDate;
  if (id == 5) return CellType::Length;
  if (id <= 8) return CellType::GeneralDate;
  if (id <= 13) return CellType::Count;
  if (id <= 37) return (id - 14) % 2 == 0 ? CellType::ShortDate : CellType::Acuity;
  if (id == 38) return CellType::Count;
  if (id == 39) return CellType::Percent;
  if (id == 40) return CellType::StabClass;
  if (id <= 88) {
    static constexpr CellType parts[] = {CellType::ShortDate, CellType::Percent, CellType::StabClass};
    return parts[(id - 41) % 3];
  }
  if (id <= 100) {
    static constexpr CellType parts[] = {CellType::ShortDate, CellType::BMIValue, CellType::BMIClass};
    return parts[(id - 89) % 3];
  }
  return CellType::Text;
}

QVector<int> DefaultColumns() {
  QVector<int> ids(kColumnCount);
  for (int i = 0; i < kColumnCount; ++i) ids[i] = i + 1;
  return ids;
}

std::optional<QVector<int>> ReadColumnsList(const QString& path, QString* error) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) {
    setError(error, f.errorString());
    return std::nullopt;
  }
  if (f.size() < 4 || f.size() > 4 * (kMaxIds + 1) || f.size() % 4 != 0) {
    setError(error, QStringLiteral("the file has %1 bytes").arg(f.size()));
    return std::nullopt;
  }
  const QByteArray bytes = f.readAll();
  const auto* p = reinterpret_cast<const uchar*>(bytes.constData());
  const qint32 count = qFromLittleEndian<qint32>(p);
  if (count < 0 || 4 + 4 * qint64(count) != bytes.size()) {
    setError(error, QStringLiteral("the count %1 does not match the file's length").arg(count));
    return std::nullopt;
  }
  QVector<int> ids(count);
  for (qint32 i = 0; i < count; ++i) ids[i] = qFromLittleEndian<qint32>(p + 4 + 4 * i);
  return ids;
}

bool WriteColumnsList(const QString& path, const QVector<int>& ids, QString* error) {
  QByteArray bytes(4 + 4 * ids.size(), '\0');
  auto* p = reinterpret_cast<uchar*>(bytes.data());
  qToLittleEndian<qint32>(static_cast<qint32>(ids.size()), p);
  for (qsizetype i = 0; i < ids.size(); ++i) qToLittleEndian<qint32>(ids[i], p + 4 + 4 * i);
  QDir().mkpath(QFileInfo(path).absolutePath());
  QSaveFile f(path);
  if (!f.open(QIODevice::WriteOnly)) {
    setError(error, f.errorString());
    return false;
  }
  f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
  if (f.write(bytes) != bytes.size() || !f.commit()) {
    setError(error, f.errorString());
    return false;
  }
  return true;
}

bool CreateColumnsList(const QString& path, QString* error) {
  return WriteColumnsList(path, DefaultColumns(), error);
}

QVector<int> LoadColumnChoice(const QString& path) {
  if (!QFileInfo::exists(path)) {
    eventlog::logStep(kModule, "CreateColumnsList", QStringLiteral("Begin, File = ") + path);
    QString why;
    if (!CreateColumnsList(path, &why)) eventlog::logError(kModule, "CreateColumnsList", why);
  }
  QString why;
  const auto read = ReadColumnsList(path, &why);
  if (!read) {
    eventlog::logError(kModule, "ReadColumnsList", path + QStringLiteral(": ") + why);
    return DefaultColumns();
  }
  QVector<int> ids;
  bool seen[kColumnCount + 1] = {};
  for (int id : *read) {
    if (!IsColumnId(id) || seen[id]) continue;
    seen[id] = true;
    ids << id;
  }
  if (ids.size() != read->size())
    eventlog::logStep(
        kModule, "ReadColumnsList",
        QStringLiteral("%1 unknown or repeated columns left out").arg(read->size() - ids.size()));
  if (ids.isEmpty()) {
    eventlog::logStep(kModule, "ReadColumnsList", QStringLiteral("No known column: all columns shown"));
    return DefaultColumns();
  }
  return ids;
}

QString ColumnsFilePath() { return settings::read(settings::FManagerColumnsFile); }

}  // namespace tarn::fm
