#include "automation/activationfile.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include "automation/dbusrecords.h"
#include "core/folders.h"

namespace tarn::automation {

namespace {
// The bus splits Exec like a shell: a path with blanks or quotes is single-quoted.
QString shellQuoted(const QString& s) {
  static const QString plain = QStringLiteral("/._-+=:,@%");
  bool simple = !s.isEmpty();
  for (const QChar ch : s)
    if (!ch.isLetterOrNumber() && !plain.contains(ch)) simple = false;
  if (simple) return s;
  QString q = s;
  q.replace('\'', QLatin1String("'\\''"));
  return '\'' + q + '\'';
}
}  // namespace

QString activationFilePath() {
  const QByteArray home = qgetenv("TARNRQ_HOME");
  QString base;
  if (!home.isEmpty()) {
    base = QString::fromLocal8Bit(home) + QStringLiteral("/share");
  } else {
    base = QString::fromLocal8Bit(qgetenv("XDG_DATA_HOME"));
    if (base.isEmpty()) base = QDir::homePath() + QStringLiteral("/.local/share");
  }
  return base + QStringLiteral("/dbus-1/services/") + QLatin1String(kService) + QStringLiteral(".service");
}

QString activationFileText(const QString& executable) {
  return QStringLiteral("[D-BUS Service]\nName=%1\nExec=%2 %3\n")
      .arg(QLatin1String(kService), shellQuoted(executable), QLatin1String(kActivatedArgument));
}

bool installActivationFile(const QString& executable, QString* error) {
  const QString path = activationFilePath();
  auto fail = [&](const QString& why) {
    if (error) *error = why;
    return false;
  };
  if (!folders::ensureFolder(QFileInfo(path).absolutePath()))
    return fail("Cannot create " + QFileInfo(path).absolutePath());
  QSaveFile f(path);
  if (!f.open(QIODevice::WriteOnly)) return fail(f.errorString());
  f.write(activationFileText(executable).toUtf8());
  if (!f.commit()) return fail(f.errorString());
  return true;
}

}  // namespace tarn::automation
