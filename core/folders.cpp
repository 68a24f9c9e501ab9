#include "core/folders.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace tarn::folders {
namespace {
constexpr char kProductPath[] = "Kamrith Labs/TARN RQ";
constexpr char kSharedCommonFolder[] = "/var/lib/kamrith-labs/tarnrq";

QString sandboxHome() {
  const QByteArray h = qgetenv("TARNRQ_HOME");
  if (h.isEmpty()) return QString();
  return QDir::cleanPath(QString::fromLocal8Bit(h));
}

QString firstLocation(QStandardPaths::StandardLocation loc, const QString& fallback) {
  const QString p = QStandardPaths::writableLocation(loc);
  return p.isEmpty() ? QDir::homePath() + fallback : p;
}
}  // namespace

QString documentsFolder() {
  const QString home = sandboxHome();
  const QString f =
      home.isEmpty() ? firstLocation(QStandardPaths::DocumentsLocation, "/Documents") : home + "/Documents";
  ensureFolder(f);  // the shell hands it out created
  return f;
}

QString userDataFolder() {
  const QString home = sandboxHome();
  if (!home.isEmpty()) return home + "/AppData/" + kProductPath;
  return firstLocation(QStandardPaths::GenericDataLocation, "/.local/share") + "/" + kProductPath;
}

QString commonDataFolder() {
  const QString home = sandboxHome();
  if (!home.isEmpty()) return home + "/CommonData/" + kProductPath;
  // A shared folder only when the installation provides one; a user cannot create it.
  if (::access(kSharedCommonFolder, W_OK | X_OK) == 0) return kSharedCommonFolder;
  QString state = QString::fromLocal8Bit(qgetenv("XDG_STATE_HOME"));
  if (state.isEmpty() || !QDir::isAbsolutePath(state)) state = QDir::homePath() + "/.local/state";
  return QDir::cleanPath(state) + "/" + kProductPath;
}

QString tempFolder() {
  const QString home = sandboxHome();
  const QString f =
      home.isEmpty() ? QDir::tempPath() + "/tarnrq-" + QString::number(::getuid()) : home + "/Temp";
  if (!QFileInfo::exists(f) && ensureFolder(f)) {
    // Temporary copies of subject files are personal data: owner only.
    QFile::setPermissions(f, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  }
  return f;
}

QString settingsStorePath() {
  const QString home = sandboxHome();
  if (!home.isEmpty()) return home + "/Config/settings.sqlite";
  return firstLocation(QStandardPaths::GenericConfigLocation, "/.config") + "/" + kProductPath +
         "/settings.sqlite";
}

QString programFolder() {
  if (QCoreApplication::instance()) return QCoreApplication::applicationDirPath();
  return QFileInfo(QFile::symLinkTarget("/proc/self/exe")).absolutePath();
}

QString withSlash(const QString& folder) {
  if (folder.isEmpty() || folder.endsWith('/') || folder.endsWith('\\')) return folder;
  return folder + '/';
}

bool ensureFolder(const QString& folder) {
  if (folder.isEmpty()) return false;
  return QDir().mkpath(folder);
}
}  // namespace tarn::folders
